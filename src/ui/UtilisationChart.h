// The master line's utilisation over the last 180 seconds: one filled area
// over fixed axes (0..100 % up, seconds back from the newest sample along),
// drawn with QPainter. It only shows; the owner adds its actions (context
// menu) and keeps the samples' source.
#pragma once

#include <QPolygonF>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

class QPainter;

class UtilisationChart : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kSamples = 180;
    static constexpr int kYMax = 100; // percent; higher samples are cut off
    static constexpr int kYStep = 20; // labels and grid lines
    using Samples = std::array<std::uint8_t, kSamples>;

    // A label of the horizontal axis: its text at sample index `at`.
    struct XLabel {
        int at;
        int secondsBack;
    };
    // "180" at 0, "170" at 10 ... "10" at 170, then "0" at the newest sample.
    static constexpr std::array<XLabel, 19> kXLabels = [] {
        std::array<XLabel, 19> labels{};
        for (int k = 0; k < 18; ++k) {
            labels[static_cast<std::size_t>(k)] = {10 * k, kSamples - 10 * k};
        }
        labels[18] = {kSamples - 1, 0};
        return labels;
    }();

    explicit UtilisationChart(QWidget* parent = nullptr);

    // Oldest first. Copies 180 bytes and schedules a repaint.
    void setSamples(const Samples& samples);
    const Samples& samples() const { return samples_; }

    // The title is the accessible name too.
    void setTitle(const QString& title);
    QString title() const { return title_; }
    void setAxisTitle(const QString& title);
    QString axisTitle() const { return axisTitle_; }
    // The accessible description before the first samples, and after:
    // `withSamples` takes %1 newest, %2 highest (percent), %3 sample count.
    void setDescriptionTexts(const QString& noSamples, const QString& withSamples);

    static QColor areaColor() { return {236, 245, 251}; }
    static QColor lineColor() { return {0, 128, 255}; }
    // Where the samples are drawn, in widget coordinates; the grid lines of
    // 0 % and 100 % are its bottom and top edges.
    QRectF plotArea() const;

    // The chart as shown, without the focus frame, at the screen's pixel ratio.
    QImage image();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void draw(QPainter& painter);
    void updateDescription();

    Samples samples_{};
    bool hasSamples_ = false;
    QString title_;
    QString axisTitle_;
    QString noSamplesText_;
    QString withSamplesText_;
    QFont labelFont_;
    QFont axisTitleFont_;
    // The area's outline, reused by every paint: the 180 points and the two
    // corners on the bottom edge.
    QPolygonF area_;
};
