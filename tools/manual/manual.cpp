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
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <set>
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

// A table's first row is its header: bold, one paragraph per cell. The
// Markdown reader puts an empty paragraph in front of the first header cell
// of a table that follows indented code, with the text in a plain one below.
void fixTableHeaders(QTextDocument& doc) {
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (table == nullptr) {
            continue;
        }
        for (int col = 0; col < table->columns(); ++col) {
            QTextCursor c = table->cellAt(0, col).firstCursorPosition();
            while (c.block().length() == 1 &&
                   c.block().next().position() <= table->cellAt(0, col).lastPosition()) {
                c.deleteChar();
            }
            c.setPosition(table->cellAt(0, col).lastPosition(), QTextCursor::KeepAnchor);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            c.mergeCharFormat(bold);
        }
    }
}

// Where a screenshot sits in the body, and its size before any shrinking.
struct Screenshot {
    int position;
    QSizeF natural;
};

// Screenshots at their own size unless wider than the text, each on a
// centred line; tables with thin rules.
std::vector<Screenshot> styleBody(QTextDocument& doc, qreal textWidth) {
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
            QTextCursor(b).setBlockFormat(bf);
        }
    }
    std::vector<Screenshot> shots;
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
        shots.push_back({i.position, QSizeF(i.format.width(), i.format.height())});
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
    return shots;
}

// The body is laid out as one long strip and cut into pages here, between
// slices: pieces a cut must not split.
struct Slice {
    qreal top = 0;
    qreal bottom = 0;
    int block = 0; // where it begins: block number and line
    int line = 0;
    bool newPage = false;   // a chapter begins here
    bool heading = false;   // begins with a heading
    bool continues = false; // begins inside a paragraph begun in an earlier slice
    bool row = false;       // a table row below another
    int shot = -1;          // the screenshot in it
    bool keepWithNext = false;
};

// Slices [first, last] from top to bottom of the strip.
struct Page {
    qreal top;
    qreal bottom;
    std::size_t first;
    std::size_t last;
};

// Pieces that begin a page on demand: block number and line.
using Breaks = std::set<std::pair<int, int>>;

constexpr qreal kMinShotScale = 0.6; // a smaller screenshot is hard to read
constexpr qreal kShortPage = 0.3;    // the last page of a chapter this full is a tail
constexpr int kMaxPasses = 40;

bool isCode(const QTextBlock& b) {
    return b.isValid() && b.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage);
}

std::vector<Slice> slicesOf(QTextDocument& doc, const std::vector<Screenshot>& shots,
                            const Breaks& breaks) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    std::vector<Slice> pieces;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            const QTextTableFormat tf = table->format();
            const qreal edge = tf.cellPadding() + tf.border();
            for (int row = 0; row < table->rows(); ++row) {
                Slice s;
                s.top = std::numeric_limits<qreal>::max();
                s.bottom = std::numeric_limits<qreal>::lowest();
                for (int col = 0; col < table->columns(); ++col) {
                    const QTextTableCell cell = table->cellAt(row, col);
                    const QTextBlock first = doc.findBlock(cell.firstPosition());
                    s.top = std::min(s.top, layout->blockBoundingRect(first).top());
                    s.bottom = std::max(
                        s.bottom,
                        layout->blockBoundingRect(doc.findBlock(cell.lastPosition())).bottom());
                    if (col == 0) {
                        s.block = first.blockNumber();
                    }
                }
                s.top -= edge;
                s.bottom += edge;
                s.row = row > 0;
                s.keepWithNext = row == 0; // the header stays with the first row
                pieces.push_back(s);
            }
            continue;
        }
        const QTextBlock b = it.currentBlock();
        // Asking for the block's place lays it out: the layout is lazy.
        const QRectF r = layout->blockBoundingRect(b);
        const int lines = b.isValid() ? b.layout()->lineCount() : 0;
        if (lines == 0) {
            continue;
        }
        const QTextBlockFormat bf = b.blockFormat();
        int shot = -1;
        for (std::size_t i = 0; i < shots.size(); ++i) {
            if (b.contains(shots[i].position)) {
                shot = static_cast<int>(i);
            }
        }
        // A split paragraph keeps two lines at least on either page.
        for (int line = 0; line < lines;) {
            const int count = lines <= 3 ? lines : (line == 0 || line == lines - 2) ? 2 : 1;
            const QTextLine last = b.layout()->lineAt(line + count - 1);
            Slice s;
            s.top = r.top() + b.layout()->lineAt(line).y();
            s.bottom = r.top() + last.y() + last.height();
            s.block = b.blockNumber();
            s.line = line;
            s.heading = line == 0 && bf.headingLevel() > 0;
            s.newPage = line == 0 && bf.headingLevel() == 1 && b.position() > 0;
            s.continues = line > 0;
            s.shot = shot;
            line += count;
            // A heading, a line of code or an introduction ending in a
            // colon stays with what follows.
            s.keepWithNext =
                line == lines && (bf.headingLevel() > 0 || (isCode(b) && isCode(b.next())) ||
                                  b.text().endsWith(QLatin1Char(':')));
            pieces.push_back(s);
        }
    }
    std::vector<Slice> out;
    for (Slice p : pieces) {
        p.newPage = p.newPage || breaks.count({p.block, p.line}) > 0;
        if (!out.empty() && out.back().keepWithNext && !p.newPage) {
            Slice& s = out.back();
            s.bottom = p.bottom;
            s.keepWithNext = p.keepWithNext;
            s.shot = s.shot >= 0 ? s.shot : p.shot;
        } else {
            out.push_back(p);
        }
    }
    return out;
}

qreal shotHeight(QTextDocument& doc, const Screenshot& shot) {
    QTextCursor c(&doc);
    c.setPosition(shot.position + 1);
    return c.charFormat().toImageFormat().height();
}

// Makes a screenshot `by` pixels lower, keeping its proportions; false when
// that would take it below the smallest readable size.
bool shrink(QTextDocument& doc, const Screenshot& shot, qreal by) {
    QTextCursor c(&doc);
    c.setPosition(shot.position);
    c.setPosition(shot.position + 1, QTextCursor::KeepAnchor);
    QTextImageFormat f = c.charFormat().toImageFormat();
    const qreal height = std::floor(f.height() - by - 1);
    const qreal scale = height / shot.natural.height();
    if (scale < kMinShotScale) {
        return false;
    }
    f.setWidth(shot.natural.width() * scale);
    f.setHeight(height);
    c.setCharFormat(f);
    return true;
}

enum class Cut { Done, Again };

// Cuts the strip into pages of `height`. With `adjust`, it may instead
// shrink a screenshot or add a break and answer Again: the body must then
// be sliced anew.
Cut paginate(QTextDocument& doc, const std::vector<Slice>& s, qreal height,
             const std::vector<Screenshot>& shots, Breaks& breaks, bool adjust,
             std::vector<Page>& pages) {
    pages.clear();
    for (std::size_t i = 0; i < s.size();) {
        const qreal top = s[i].top;
        std::size_t j = i; // the page's last slice
        while (j + 1 < s.size() && !s[j + 1].newPage && s[j + 1].bottom - top <= height) {
            ++j;
        }
        // A screenshot that does not fit the rest of the page gets smaller,
        // or goes to the next page together with the heading of its section.
        if (j + 1 < s.size() && !s[j + 1].newPage && s[j + 1].shot >= 0) {
            const Slice& next = s[j + 1];
            if (adjust && shrink(doc, shots[static_cast<std::size_t>(next.shot)],
                                 next.bottom - (top + height))) {
                return Cut::Again;
            }
            for (std::size_t k = j; k > i && !next.heading; --k) {
                if (s[k].heading) {
                    j = next.bottom - s[k].top <= height ? k - 1 : j;
                    break;
                }
            }
        }
        // Down to the last slice only: the next one's first pixel row must
        // not show at the foot.
        pages.push_back({top, s[j].bottom, i, j});
        i = j + 1;
    }
    if (!adjust) {
        return Cut::Done;
    }
    // A chapter's last page holding just a little: a smaller screenshot on
    // the page before makes room for it there, or else a paragraph split
    // over the two begins the page whole.
    for (std::size_t p = 1; p < pages.size(); ++p) {
        const Page& page = pages[p];
        const Page& before = pages[p - 1];
        const bool chapterEnds = page.last + 1 == s.size() || s[page.last + 1].newPage;
        if (s[page.first].newPage || !chapterEnds ||
            s[page.last].bottom - page.top > height * kShortPage) {
            continue;
        }
        int tallest = -1;
        qreal tallestHeight = 0;
        for (std::size_t k = before.first; k <= before.last; ++k) {
            if (s[k].shot >= 0) {
                const qreal h = shotHeight(doc, shots[static_cast<std::size_t>(s[k].shot)]);
                if (h > tallestHeight) {
                    tallest = s[k].shot;
                    tallestHeight = h;
                }
            }
        }
        if (tallest >= 0 && shrink(doc, shots[static_cast<std::size_t>(tallest)],
                                   s[page.last].bottom - before.top - height)) {
            return Cut::Again;
        }
        if (s[page.first].continues) {
            std::size_t k = page.first;
            while (k > before.first && s[k].continues && s[k].block == s[page.first].block) {
                --k;
            }
            if (k > before.first && s[page.last].bottom - s[k].top <= height) {
                breaks.insert({s[k].block, s[k].line});
                return Cut::Again;
            }
        }
    }
    return Cut::Done;
}

std::size_t pageAt(const std::vector<Page>& pages, qreal y) {
    std::size_t p = 0;
    while (p + 1 < pages.size() && pages[p + 1].top <= y + 0.5) {
        ++p;
    }
    return p;
}

std::vector<Heading> headings(QTextDocument& doc, const std::vector<Page>& pages) {
    std::vector<Heading> out;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level >= 1 && level <= 2) {
            out.push_back({level, b.text(),
                           static_cast<int>(pageAt(pages, layout->blockBoundingRect(b).top()))});
        }
    }
    return out;
}

// False, with a warning, when a heading is the last line of a page.
bool headingsLead(QTextDocument& doc, const std::vector<Page>& pages, int firstNumber) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    bool ok = true;
    for (QTextBlock b = doc.begin(); b.isValid() && b.next().isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0) {
            continue;
        }
        const std::size_t page = pageAt(pages, layout->blockBoundingRect(b).bottom() - 1);
        if (page != pageAt(pages, layout->blockBoundingRect(b.next()).top())) {
            warn(QStringLiteral("the heading \"%1\" ends page %2")
                     .arg(b.text())
                     .arg(firstNumber + static_cast<int>(page)));
            ok = false;
        }
    }
    return ok;
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

void drawPage(QPainter& p, QTextDocument& doc, const Page& page, const QRectF& area) {
    p.save();
    p.translate(area.left(), area.top() - page.top);
    doc.drawContents(&p, QRectF(0, page.top, area.width(), page.bottom - page.top));
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
    body.setTextWidth(area.width());
    fixTableHeaders(body);
    const std::vector<Screenshot> shots = styleBody(body, area.width());
    std::vector<Page> pages;
    Breaks breaks;
    for (int pass = 1;; ++pass) {
        const std::vector<Slice> slices = slicesOf(body, shots, breaks);
        if (paginate(body, slices, area.height(), shots, breaks, pass < kMaxPasses, pages) ==
            Cut::Done) {
            break;
        }
    }
    const std::vector<Heading> hs = headings(body, pages);

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

    if (!headingsLead(body, pages, 2 + contentsPages)) {
        QFile::remove(output);
        return 1;
    }

    QPainter p;
    if (!p.begin(&writer)) {
        warn(QStringLiteral("cannot write %1").arg(output));
        return 1;
    }
    const QString footer = m.front.at(QStringLiteral("title")) + QStringLiteral(" - ") +
                           m.front.at(QStringLiteral("subtitle"));
    drawTitlePage(p, area, m, font);
    std::vector<Page> tocPages;
    for (int page = 0; page < toc->pageCount(); ++page) {
        tocPages.push_back({page * area.height(), (page + 1) * area.height(), 0, 0});
    }
    int number = 1;
    for (auto [doc, docPages] : {std::pair(toc.get(), &tocPages), std::pair(&body, &pages)}) {
        for (const Page& page : *docPages) {
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
