#include "ui/UtilisationChart.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/WindowSupport.h"

namespace {

constexpr qreal kMargin = 4;   // clear of the focus frame
constexpr qreal kLabelGap = 6; // between the plot and its labels
constexpr qreal kTitleGap = 4; // below the chart's title

QPen gridPen() {
    QPen pen(QColor(0xC8, 0xC8, 0xC8));
    pen.setStyle(Qt::DashLine);
    return pen;
}

// Screen readers announce it as a chart, not as an anonymous pane.
QAccessibleInterface* chartAccessible(const QString& key, QObject* object) {
    if (key == QLatin1String("UtilisationChart") && object != nullptr && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Chart);
    }
    return nullptr;
}

} // namespace

UtilisationChart::UtilisationChart(QWidget* parent)
    : QWidget(parent), labelFont_(ui::windowFont(10)), axisTitleFont_(ui::windowFont(10, true)),
      area_(kSamples + 2) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(chartAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateDescription();
}

void UtilisationChart::setSamples(const Samples& samples) {
    samples_ = samples;
    hasSamples_ = true;
    updateDescription();
    update();
}

void UtilisationChart::setTitle(const QString& title) {
    title_ = title;
    setAccessibleName(title);
    update();
}

void UtilisationChart::setAxisTitle(const QString& title) {
    axisTitle_ = title;
    update();
}

void UtilisationChart::setDescriptionTexts(const QString& noSamples, const QString& withSamples) {
    noSamplesText_ = noSamples;
    withSamplesText_ = withSamples;
    updateDescription();
}

void UtilisationChart::updateDescription() {
    QString description = noSamplesText_;
    if (hasSamples_) {
        const int highest = *std::max_element(samples_.begin(), samples_.end());
        description = withSamplesText_.arg(QString::number(samples_.back()),
                                           QString::number(highest), QString::number(kSamples));
    }
    // Unchanged text, no announcement.
    if (description != accessibleDescription()) {
        setAccessibleDescription(description);
    }
}

QRectF UtilisationChart::plotArea() const {
    const QFontMetricsF titleMetrics(font());
    const QFontMetricsF labels(labelFont_);
    const QFontMetricsF axis(axisTitleFont_);
    const qreal labelHeight = labels.height();
    // Whole pixels, so the grid lines stay sharp.
    const qreal top = std::ceil(
        kMargin + (title_.isEmpty() ? 0 : titleMetrics.height() + kTitleGap) + labelHeight / 2);
    const qreal left =
        std::ceil(kMargin + labels.horizontalAdvance(QString::number(kYMax)) + kLabelGap);
    // The label "0" is centred on the right edge.
    const qreal right = std::floor(
        width() - kMargin - std::max(labels.horizontalAdvance(QStringLiteral("0")) / 2, 4.0));
    const qreal bottom = std::floor(
        height() - kMargin - (axisTitle_.isEmpty() ? 0 : axis.height()) - labelHeight - kLabelGap);
    return QRectF(QPointF(left, top), QPointF(std::max(left, right), std::max(top, bottom)));
}

void UtilisationChart::draw(QPainter& painter) {
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size())), Qt::white);
    const QFontMetricsF titleMetrics(font());
    const QFontMetricsF labels(labelFont_);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(QRectF(0, kMargin, width(), titleMetrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, title_);

    const QRectF plot = plotArea();
    const auto xAt = [&plot](int index) {
        return plot.left() + plot.width() * index / (kSamples - 1);
    };
    const auto yAt = [&plot](int percent) {
        return plot.bottom() - plot.height() * percent / kYMax;
    };

    // The area, cut off at the plot's top: samples above 100 % go no higher.
    area_[0] = QPointF(xAt(0), plot.bottom());
    for (int i = 0; i < kSamples; ++i) {
        area_[i + 1] = QPointF(xAt(i), yAt(samples_[static_cast<std::size_t>(i)]));
    }
    area_[kSamples + 1] = QPointF(xAt(kSamples - 1), plot.bottom());
    painter.save();
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(areaColor());
    painter.drawPolygon(area_);
    painter.restore();

    // The grid over the fill, so it shows across the whole plot.
    painter.setPen(gridPen());
    for (int percent = 0; percent <= kYMax; percent += kYStep) {
        painter.drawLine(QPointF(plot.left(), yAt(percent)), QPointF(plot.right(), yAt(percent)));
    }
    for (const XLabel& label : kXLabels) {
        painter.drawLine(QPointF(xAt(label.at), plot.top()), QPointF(xAt(label.at), plot.bottom()));
    }

    painter.save();
    // A line at 0 % or 100 % keeps its full width.
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(lineColor(), 1));
    painter.drawPolyline(area_.constData() + 1, kSamples);
    painter.restore();

    // The vertical axis' line; the horizontal axis has none.
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));

    painter.setPen(QColor(0x40, 0x40, 0x44));
    painter.setFont(labelFont_);
    const qreal labelHeight = labels.height();
    for (int percent = 0; percent <= kYMax; percent += kYStep) {
        const QRectF box(kMargin, yAt(percent) - labelHeight / 2, plot.left() - kLabelGap - kMargin,
                         labelHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(percent));
    }
    // Every label while they fit side by side, else every second (fourth ...);
    // "0" at the newest sample always.
    const qreal labelWidth = labels.horizontalAdvance(QString::number(kSamples)) + kLabelGap;
    std::size_t step = 1;
    while (step < kXLabels.size() && xAt(kXLabels[step].at) - xAt(0) < labelWidth) {
        step *= 2;
    }
    const qreal labelTop = plot.bottom() + kLabelGap;
    const qreal newestX = xAt(kXLabels.back().at);
    for (std::size_t k = 0; k < kXLabels.size(); ++k) {
        const qreal x = xAt(kXLabels[k].at);
        const bool newest = k + 1 == kXLabels.size();
        if (!newest && (k % step != 0 || newestX - x < labelWidth)) {
            continue;
        }
        painter.drawText(QRectF(x - labelWidth, labelTop, 2 * labelWidth, labelHeight),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(kXLabels[k].secondsBack));
    }
    painter.setFont(axisTitleFont_);
    painter.drawText(QRectF(plot.left(), labelTop + labelHeight, plot.width(),
                            QFontMetricsF(axisTitleFont_).height()),
                     Qt::AlignHCenter | Qt::AlignTop, axisTitle_);
}

void UtilisationChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    draw(painter);
    // A plain frame: the style's focus rectangle may tint the whole chart.
    if (hasFocus()) {
        QPen frame(palette().color(QPalette::Highlight), 2);
        frame.setJoinStyle(Qt::MiterJoin);
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

QImage UtilisationChart::image() {
    const qreal ratio = devicePixelRatioF();
    QImage picture(size() * ratio, QImage::Format_RGB32); // opaque: drawn on white
    picture.setDevicePixelRatio(ratio);
    QPainter painter(&picture);
    draw(painter);
    return picture;
}

QSize UtilisationChart::sizeHint() const {
    return {400, 220};
}

QSize UtilisationChart::minimumSizeHint() const {
    return {240, 140};
}
