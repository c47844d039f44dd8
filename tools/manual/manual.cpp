// tk7713t-manual: turns one manual source (Markdown with a few "% key: value"
// lines in front) into an A4 PDF with a title page, a table of contents,
// page numbers and the program's screenshots.
//
//   tk7713t-manual [--optional IMAGE]... SOURCE.md IMAGE_FOLDER OUTPUT.pdf
//
// An image the source names must lie in IMAGE_FOLDER, otherwise the run
// fails, so a build never ships a manual with a hole in it. Images named
// with --optional are left out with a warning while they are missing.
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "BuildInfo.h"

namespace {

// Page geometry in PDF device pixels at 96 dpi: a screenshot pixel is a
// screen pixel, so the windows appear at their real size.
constexpr int kDpi = 96;
constexpr qreal kMargin = 72;      // about 19 mm
constexpr qreal kFooterSpace = 40; // below the text area, above the margin
constexpr qreal kBodyPointSize = 10;

struct Heading {
    int level;
    QString text;
    int page; // 0-based, within the body
};

struct Manual {
    std::map<QString, QString> front; // the "% key: value" lines
    QString markdown;
};

void warn(const QString& text) {
    std::fprintf(stderr, "tk7713t-manual: %s\n", qPrintable(text));
}

bool readManual(const QString& path, Manual& m) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        warn(QStringLiteral("cannot read %1").arg(path));
        return false;
    }
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("@VERSION@"), QString::fromLatin1(buildinfo::kVersion));
    QStringList body;
    bool inFront = true;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (inFront && line.startsWith(QLatin1Char('%'))) {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (colon > 1) {
                m.front[line.mid(1, colon - 1).trimmed()] = line.mid(colon + 1).trimmed();
            }
            continue;
        }
        inFront = false;
        body << line;
    }
    m.markdown = body.join(QLatin1Char('\n'));
    return true;
}

// Loads every image the source names; drops the missing optional ones from
// the source. False when a required one is missing.
bool loadImages(Manual& m, std::map<QString, QImage>& loaded, const QDir& images,
                const QStringList& optional) {
    static const QRegularExpression imageRef(QStringLiteral(R"(!\[([^\]]*)\]\(([^)\s]+)\))"));
    bool ok = true;
    QString kept;
    qsizetype from = 0;
    for (auto it = imageRef.globalMatch(m.markdown); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(2);
        kept += m.markdown.mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        QImage image(images.filePath(name));
        if (!image.isNull()) {
            loaded[name] = image;
            kept += match.captured(0);
        } else if (optional.contains(name)) {
            warn(QStringLiteral("optional screenshot %1 is missing: left out").arg(name));
        } else {
            warn(QStringLiteral("screenshot %1 is missing in %2").arg(name, images.path()));
            ok = false;
        }
    }
    kept += m.markdown.mid(from);
    m.markdown = kept;
    return ok;
}

// Screenshots at their own size unless wider than the text, each on a
// centred line; tables with thin rules; chapters on a new page.
void styleBody(QTextDocument& doc, qreal textWidth) {
    struct Image {
        int position;
        QTextImageFormat format;
    };
    std::vector<Image> found;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat bf = b.blockFormat();
        bool hasImage = false;
        for (auto f = b.begin(); !f.atEnd(); ++f) {
            if (f.fragment().charFormat().isImageFormat()) {
                found.push_back(
                    {f.fragment().position(), f.fragment().charFormat().toImageFormat()});
                hasImage = true;
            }
        }
        if (hasImage) {
            bf.setAlignment(Qt::AlignHCenter);
            bf.setTopMargin(6);
            bf.setBottomMargin(10);
        }
        if (bf.headingLevel() == 1 && b.position() > 0) {
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        }
        QTextCursor(b).setBlockFormat(bf);
    }
    for (Image& i : found) {
        const QImage image =
            doc.resource(QTextDocument::ImageResource, QUrl(i.format.name())).value<QImage>();
        const qreal width = std::min<qreal>(image.width(), textWidth - 8);
        i.format.setWidth(width);
        i.format.setHeight(image.height() * width / std::max(1, image.width()));
        QTextCursor c(&doc);
        c.setPosition(i.position);
        c.setPosition(i.position + 1, QTextCursor::KeepAnchor);
        c.setCharFormat(i.format);
    }
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            QTextTableFormat tf = table->format();
            tf.setBorder(1);
            tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            tf.setBorderBrush(QColor(0x80, 0x80, 0x80));
            tf.setBorderCollapse(true);
            tf.setCellPadding(3);
            tf.setCellSpacing(0);
            tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            tf.setTopMargin(4);
            tf.setBottomMargin(8);
            table->setFormat(tf);
        }
    }
}

std::vector<Heading> headings(QTextDocument& doc, qreal pageHeight) {
    std::vector<Heading> out;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level >= 1 && level <= 2) {
            const int page = static_cast<int>(layout->blockBoundingRect(b).top() / pageHeight);
            out.push_back({level, b.text(), page});
        }
    }
    return out;
}

// The table of contents as its own document; bodyFirstPage is the printed
// number of the body's first page.
std::unique_ptr<QTextDocument> contents(const QString& caption, const std::vector<Heading>& hs,
                                        int bodyFirstPage, const QFont& font,
                                        const QSizeF& pageSize) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(font);
    doc->setPageSize(pageSize);
    QTextCursor c(doc.get());
    QTextBlockFormat title;
    title.setHeadingLevel(1);
    title.setBottomMargin(12);
    QTextCharFormat titleChars;
    QFont big = font;
    big.setPointSizeF(font.pointSizeF() * 2);
    big.setBold(true);
    titleChars.setFont(big);
    c.setBlockFormat(title);
    c.setCharFormat(titleChars);
    c.insertText(caption);

    QTextTableFormat tf;
    tf.setBorder(0);
    tf.setCellPadding(2);
    tf.setCellSpacing(0);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                  QTextLength(QTextLength::PercentageLength, 10)});
    c.movePosition(QTextCursor::End);
    QTextTable* table = c.insertTable(static_cast<int>(hs.size()), 2, tf);
    for (int row = 0; row < static_cast<int>(hs.size()); ++row) {
        const Heading& h = hs[static_cast<std::size_t>(row)];
        QTextCharFormat chars;
        QFont f = font;
        f.setBold(h.level == 1);
        chars.setFont(f);
        QTextCursor left = table->cellAt(row, 0).firstCursorPosition();
        QTextBlockFormat indent;
        indent.setLeftMargin(h.level == 1 ? 0 : 18);
        indent.setTopMargin(h.level == 1 ? 6 : 0);
        left.setBlockFormat(indent);
        left.insertText(h.text, chars);
        QTextCursor right = table->cellAt(row, 1).firstCursorPosition();
        QTextBlockFormat alignRight;
        alignRight.setAlignment(Qt::AlignRight);
        alignRight.setTopMargin(indent.topMargin());
        right.setBlockFormat(alignRight);
        right.insertText(QString::number(bodyFirstPage + h.page), chars);
    }
    return doc;
}

void drawPage(QPainter& p, QTextDocument& doc, int page, const QRectF& area) {
    p.save();
    p.translate(area.left(), area.top() - page * area.height());
    doc.drawContents(&p, QRectF(0, page * area.height(), area.width(), area.height()));
    p.restore();
}

void drawFooter(QPainter& p, const QRectF& area, const QString& left, int number,
                const QFont& font) {
    p.save();
    QFont f = font;
    f.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(f);
    p.setPen(QColor(0x60, 0x60, 0x60));
    const QRectF line(area.left(), area.bottom() + kFooterSpace / 2, area.width(),
                      kFooterSpace / 2);
    p.drawLine(line.topLeft(), line.topRight());
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, left);
    p.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QString::number(number));
    p.restore();
}

void drawTitlePage(QPainter& p, const QRectF& area, const Manual& m, const QFont& font) {
    p.save();
    QFont title = font;
    title.setPointSizeF(font.pointSizeF() * 3);
    title.setBold(true);
    QFont subtitle = font;
    subtitle.setPointSizeF(font.pointSizeF() * 1.8);
    QFont small = font;
    small.setPointSizeF(font.pointSizeF() * 1.2);
    const qreal top = area.top() + area.height() * 0.28;
    p.setPen(QColor(0x2B, 0x57, 0x9A));
    p.fillRect(QRectF(area.left(), top - 24, area.width(), 6), QColor(0x2B, 0x57, 0x9A));
    p.setFont(title);
    p.drawText(QRectF(area.left(), top, area.width(), 80), Qt::AlignLeft | Qt::AlignVCenter,
               m.front.at(QStringLiteral("title")));
    p.setPen(Qt::black);
    p.setFont(subtitle);
    p.drawText(QRectF(area.left(), top + 90, area.width(), 50), Qt::AlignLeft | Qt::AlignVCenter,
               m.front.at(QStringLiteral("subtitle")));
    p.setFont(small);
    QRectF rest(area.left(), top + 160, area.width(), area.bottom() - top - 160);
    p.drawText(rest, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               m.front.at(QStringLiteral("note")));
    p.restore();
}

int generate(const QString& source, const QDir& images, const QString& output,
             const QStringList& optional) {
    Manual m;
    if (!readManual(source, m)) {
        return 1;
    }
    for (const char* key : {"title", "subtitle", "note", "contents"}) {
        if (m.front.count(QString::fromLatin1(key)) == 0) {
            warn(QStringLiteral("%1: the line \"% %2: ...\" is missing")
                     .arg(source, QString::fromLatin1(key)));
            return 1;
        }
    }

    QPdfWriter writer(output);
    writer.setResolution(kDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(m.front.at(QStringLiteral("title")) + QStringLiteral(" - ") +
                    m.front.at(QStringLiteral("subtitle")));
    writer.setCreator(QStringLiteral("tk7713t-manual ") + QString::fromLatin1(buildinfo::kVersion));
    const QRectF paper(0, 0, writer.width(), writer.height());
    const QRectF area = paper.adjusted(kMargin, kMargin, -kMargin, -kMargin - kFooterSpace);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(kBodyPointSize);
    // No ligatures: the text layer must read "fi" as two letters, for
    // search and for copy and paste.
    font.setStyleStrategy(QFont::PreferNoShaping);

    QTextDocument body;
    body.setDefaultFont(font);
    std::map<QString, QImage> loaded;
    if (!loadImages(m, loaded, images, optional)) {
        QFile::remove(output);
        return 1;
    }
    // After the text: setting it clears the document's resources.
    body.setMarkdown(m.markdown, QTextDocument::MarkdownDialectGitHub);
    for (const auto& [name, image] : loaded) {
        body.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    body.setPageSize(area.size());
    styleBody(body, area.width());
    const std::vector<Heading> hs = headings(body, area.height());

    // The contents' own length decides where the body starts.
    int contentsPages = 1;
    std::unique_ptr<QTextDocument> toc;
    for (int attempt = 0; attempt < 3; ++attempt) {
        toc = contents(m.front.at(QStringLiteral("contents")), hs, 2 + contentsPages, font,
                       area.size());
        if (toc->pageCount() == contentsPages) {
            break;
        }
        contentsPages = toc->pageCount();
    }

    QPainter p;
    if (!p.begin(&writer)) {
        warn(QStringLiteral("cannot write %1").arg(output));
        return 1;
    }
    const QString footer = m.front.at(QStringLiteral("title")) + QStringLiteral(" - ") +
                           m.front.at(QStringLiteral("subtitle"));
    drawTitlePage(p, area, m, font);
    int number = 1;
    for (QTextDocument* doc : {toc.get(), &body}) {
        for (int page = 0; page < doc->pageCount(); ++page) {
            writer.newPage();
            ++number;
            drawPage(p, *doc, page, area);
            drawFooter(p, area, footer, number, font);
        }
    }
    p.end();
    std::printf("%s: %d pages\n", qPrintable(output), number);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QStringList optional;
    while (args.size() >= 2 && args.front() == QStringLiteral("--optional")) {
        optional << args.at(1);
        args = args.mid(2);
    }
    if (args.size() != 3) {
        std::fprintf(
            stderr,
            "usage: tk7713t-manual [--optional IMAGE]... SOURCE.md IMAGE_FOLDER OUTPUT.pdf\n");
        return 2;
    }
    return generate(args.at(0), QDir(args.at(1)), args.at(2), optional);
}
