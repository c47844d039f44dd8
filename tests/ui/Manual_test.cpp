// The user manuals the build writes beside the program: real PDFs with every
// heading of their source in the text layer (read back with poppler's
// pdftotext), found there by Help, and a generator that refuses a source
// naming a missing screenshot unless that screenshot is marked optional.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <set>

#include "ui/Hlavni.h"
#include "ui/RunProgram.h"

namespace {

const QString kBinaryDir = QStringLiteral(TK_BINARY_DIR);
const QString kSourceDir = QStringLiteral(TK_SOURCE_DIR);

// Runs of white space as one blank.
QString collapsed(QString text) {
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

// Heading texts of a manual source, outside indented code.
QStringList headingsOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('#'))) {
            out << line.section(QLatin1Char(' '), 1).trimmed();
        }
    }
    return out;
}

// The text layer page by page, each page as its non-empty lines; the last
// line of a page is its footer.
std::vector<QStringList> pagesOf(const QString& pdf) {
    const ProgramResult text = runProgram(QStringLiteral("pdftotext"),
                                          {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                           QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    EXPECT_EQ(text.status, 0) << pdf.toStdString();
    std::vector<QStringList> pages;
    for (const QString& page : text.out.split(QLatin1Char('\f'), Qt::SkipEmptyParts)) {
        QStringList lines;
        for (const QString& line : page.split(QLatin1Char('\n'))) {
            if (!line.trimmed().isEmpty()) {
                lines << collapsed(line.trimmed());
            }
        }
        pages.push_back(lines);
    }
    return pages;
}

// Page numbers (from 1) whose last line above the footer is one of `headings`.
std::vector<int> pagesEndingInAHeading(const std::vector<QStringList>& pages,
                                       const QStringList& headings) {
    std::vector<int> out;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const QStringList& lines = pages[i];
        if (lines.size() >= 2 && headings.contains(collapsed(lines[lines.size() - 2]))) {
            out.push_back(static_cast<int>(i) + 1);
        }
    }
    return out;
}

struct ManualCase {
    const char* language;
    const char* contents; // the contents page's caption
};

class Manual : public ::testing::TestWithParam<ManualCase> {};

TEST_P(Manual, IsAPdfWithEveryHeadingOfItsSource) {
    const QString name = QStringLiteral("W_tk7713t_%1").arg(QLatin1String(GetParam().language));
    const QString pdf = kBinaryDir + QStringLiteral("/src/") + name + QStringLiteral(".pdf");
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << pdf.toStdString();
    EXPECT_EQ(f.read(5), QByteArray("%PDF-"));

    const ProgramResult info = runProgram(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_EQ(info.status, 0);
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info.out);
    ASSERT_TRUE(pages.hasMatch());
    // Title page, contents and thirteen chapters, most of them with screenshots.
    EXPECT_GE(pages.captured(1).toInt(), 18);

    const ProgramResult text =
        runProgram(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_EQ(text.status, 0);
    // Letters, never ligatures (U+FB00 to U+FB06): "firmware" must be found
    // by a search and pasted as typed.
    EXPECT_FALSE(text.out.contains(QRegularExpression(QStringLiteral("[\\x{FB00}-\\x{FB06}]"))));
    const QString layer = collapsed(text.out);
    const QStringList headings =
        headingsOf(kSourceDir + QStringLiteral("/docs/manual/") + name + QStringLiteral(".md"));
    EXPECT_GE(headings.size(), 30);
    for (const QString& heading : headings) {
        EXPECT_TRUE(layer.contains(collapsed(heading))) << heading.toStdString();
    }
    EXPECT_TRUE(layer.contains(QLatin1String(GetParam().contents)));

    // Help of the program in the build tree, started from elsewhere, finds it.
    QTemporaryDir elsewhere;
    EXPECT_EQ(Hlavni::FindHelpDocument(name + QStringLiteral(".pdf"),
                                       Hlavni::HelpDocumentFolders(
                                           kBinaryDir + QStringLiteral("/src"), elsewhere.path())),
              pdf);
}

// A heading always has the start of its section below it on its page.
TEST_P(Manual, NoPageEndsWithAHeading) {
    const QString name = QStringLiteral("W_tk7713t_%1").arg(QLatin1String(GetParam().language));
    QStringList headings;
    for (const QString& h :
         headingsOf(kSourceDir + QStringLiteral("/docs/manual/") + name + QStringLiteral(".md"))) {
        headings << collapsed(h);
    }
    const std::vector<QStringList> pages =
        pagesOf(kBinaryDir + QStringLiteral("/src/") + name + QStringLiteral(".pdf"));
    EXPECT_GE(pages.size(), 18u);
    EXPECT_EQ(pagesEndingInAHeading(pages, headings), std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(Languages, Manual,
                         ::testing::Values(ManualCase{"EN", "Contents"}, ManualCase{"CZ", "Obsah"}),
                         [](const ::testing::TestParamInfo<ManualCase>& i) {
                             return std::string(i.param.language);
                         });

// First cells of the rows of the table under a heading.
QStringList firstCellsUnder(const QString& path, const QString& heading) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList cells;
    bool inside = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('#'))) {
            inside = line.section(QLatin1Char(' '), 1).trimmed() == heading;
        } else if (inside && line.startsWith(QStringLiteral("| ")) &&
                   !line.startsWith(QStringLiteral("|---"))) {
            cells << line.section(QLatin1Char('|'), 1, 1).trimmed();
        }
    }
    return cells;
}

// The Czech manual's table of status texts gives, beside each Czech text,
// the English one the windows show by default, as the English manual lists
// it.
TEST(ManualStatusTexts, CzechRowsGiveTheEnglishTextOfTheEnglishManual) {
    const QString manuals = kSourceDir + QStringLiteral("/docs/manual/");
    const QStringList english = firstCellsUnder(manuals + QStringLiteral("W_tk7713t_EN.md"),
                                                QStringLiteral("Status texts"));
    const QStringList czech = firstCellsUnder(manuals + QStringLiteral("W_tk7713t_CZ.md"),
                                              QStringLiteral("Stavová hlášení"));
    ASSERT_GE(czech.size(), 16);
    EXPECT_EQ(czech.size(), english.size());
    for (qsizetype i = 1; i < czech.size(); ++i) { // row 0 is the header
        const bool paired = std::any_of(english.begin() + 1, english.end(), [&](const QString& e) {
            const QString suffix = QStringLiteral(" (%1)").arg(e);
            return czech[i].endsWith(suffix) && czech[i].size() > suffix.size();
        });
        EXPECT_TRUE(paired) << czech[i].toStdString();
    }
}

// The demo runs a copy of the program from a folder of its own; its Help,
// started from elsewhere, finds both manuals there.
TEST(DemoFolder, HoldsTheProgramWithBothManuals) {
    QTemporaryDir dir;
    const QString demo = dir.filePath(QStringLiteral("demo"));
    const ProgramResult fill =
        runProgram(QStringLiteral("bash"),
                   {kSourceDir + QStringLiteral("/scripts/demo-folder.sh"), kBinaryDir, demo});
    ASSERT_EQ(fill.status, 0) << fill.out.toStdString();
    QTemporaryDir elsewhere;
    for (const char* name : {"W_tk7713t_EN.pdf", "W_tk7713t_CZ.pdf"}) {
        EXPECT_EQ(Hlavni::FindHelpDocument(QLatin1String(name),
                                           Hlavni::HelpDocumentFolders(demo, elsewhere.path())),
                  QDir(demo).filePath(QLatin1String(name)));
    }
    EXPECT_EQ(
        runProgram(QDir(demo).filePath(QStringLiteral("W_tk7713t")), {QStringLiteral("--version")})
            .status,
        0);

    // A build without the manuals is refused, not turned into a demo whose
    // Help finds nothing.
    const ProgramResult refused =
        runProgram(QStringLiteral("bash"), {kSourceDir + QStringLiteral("/scripts/demo-folder.sh"),
                                            elsewhere.path(), demo});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.contains(QStringLiteral("tk7713t-manuals")))
        << refused.out.toStdString();
}

TEST(ManualGenerator, RefusesAMissingScreenshotUnlessOptional) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("m.md"));
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "% title: T\n% subtitle: S\n% note: N\n% contents: C\n\n# One\n\n![shot](absent.png)\n");
    f.close();
    const QString generator = kBinaryDir + QStringLiteral("/tools/manual/tk7713t-manual");
    const QString pdf = dir.filePath(QStringLiteral("m.pdf"));

    EXPECT_NE(runProgram(generator, {source, dir.path(), pdf}).status, 0);
    EXPECT_FALSE(QFile::exists(pdf));

    EXPECT_EQ(runProgram(generator, {QStringLiteral("--optional"), QStringLiteral("absent.png"),
                                     source, dir.path(), pdf})
                  .status,
              0);
    EXPECT_TRUE(QFile::exists(pdf));
}

// Sections of one to three lines after a screenshot that cannot stay on the
// page of its heading and introduction: wherever the page ends, a heading
// keeps its section's start below it, a paragraph of up to three lines is
// never split, and the screenshot moves with its heading.
TEST(ManualGenerator, KeepsHeadingsParagraphsAndScreenshotsTogether) {
    constexpr int kSections = 80;
    QTemporaryDir dir;
    QImage tall(400, 700, QImage::Format_RGB32);
    tall.fill(Qt::gray);
    ASSERT_TRUE(tall.save(dir.filePath(QStringLiteral("tall.png"))));
    QString md = QStringLiteral("% title: T\n% subtitle: S\n% note: N\n% contents: C\n\n# One\n\n");
    for (int i = 0; i < 30; ++i) {
        md += QStringLiteral("Filler %1.\n\n").arg(i);
    }
    md += QStringLiteral("## Shot\n\nIntroduction.\n\n![tall](tall.png)\n\n");
    QStringList headings{QStringLiteral("Shot")};
    for (int k = 0; k < kSections; ++k) {
        headings << QStringLiteral("Section %1").arg(k);
        md += QStringLiteral("## Section %1\n\n").arg(k);
        for (int w = 0; w < 10 + 26 * (k % 3); ++w) {
            md += QStringLiteral("t%1 ").arg(k);
        }
        md += QStringLiteral("\n\n");
    }
    QFile f(dir.filePath(QStringLiteral("m.md")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(md.toUtf8());
    f.close();
    const QString pdf = dir.filePath(QStringLiteral("m.pdf"));
    ASSERT_EQ(runProgram(kBinaryDir + QStringLiteral("/tools/manual/tk7713t-manual"),
                         {f.fileName(), dir.path(), pdf})
                  .status,
              0);

    const std::vector<QStringList> pages = pagesOf(pdf);
    EXPECT_EQ(pagesEndingInAHeading(pages, headings), std::vector<int>{});
    std::map<QString, std::set<std::size_t>> pagesOfWord;
    std::size_t shotHeading = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (const QString& line : pages[p]) {
            shotHeading = line == QStringLiteral("Shot") ? p + 1 : shotHeading;
            for (const QString& word : line.split(QLatin1Char(' '))) {
                pagesOfWord[word].insert(p);
            }
        }
    }
    for (int k = 0; k < kSections; ++k) {
        EXPECT_EQ(pagesOfWord[QStringLiteral("t%1").arg(k)].size(), 1u) << k;
    }
    // pdfimages lists each image with the page it is on.
    const ProgramResult images =
        runProgram(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    ASSERT_EQ(images.status, 0);
    const QStringList rows = images.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3); // two header lines and the screenshot
    EXPECT_EQ(rows[2].simplified().section(QLatin1Char(' '), 0, 0).toUInt(), shotHeading);
}

} // namespace
