// The user manuals the build writes beside the program: real PDFs with every
// heading of their source in the text layer (read back with poppler's
// pdftotext), found there by Help, and a generator that refuses a source
// naming a missing screenshot unless that screenshot is marked optional.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

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
                                       Hlavni::HelpDocumentFolders(kBinaryDir + QStringLiteral("/src"), elsewhere.path())),
              pdf);
}

INSTANTIATE_TEST_SUITE_P(Languages, Manual,
                         ::testing::Values(ManualCase{"EN", "Contents"}, ManualCase{"CZ", "Obsah"}),
                         [](const ::testing::TestParamInfo<ManualCase>& i) {
                             return std::string(i.param.language);
                         });

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

} // namespace
