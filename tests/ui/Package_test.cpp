// The Debian package built from this build tree: it builds, lists every
// file the installed program and tools need, declares the Qt libraries they
// link, and once unpacked the program's Help finds the manual in it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BuildInfo.h"
#include "ui/Hlavni.h"
#include "ui/RunProgram.h"

namespace {

TEST(DebianPackage, BuildsWithEveryFileAndHelpFindsTheInstalledManual) {
    QTemporaryDir out;
    const ProgramResult cpack = runProgram(
        QStringLiteral("cpack"),
        {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
         QStringLiteral(TK_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out.path()});
    ASSERT_EQ(cpack.status, 0) << cpack.out.toStdString();
    const QStringList debs =
        QDir(out.path())
            .entryList(
                {QStringLiteral("w-tk7713t_%1_*.deb").arg(QLatin1String(buildinfo::kVersion))});
    ASSERT_EQ(debs.size(), 1) << cpack.out.toStdString();
    const QString deb = out.filePath(debs.front());

    const ProgramResult contents =
        runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
    ASSERT_EQ(contents.status, 0);
    for (const char* path :
         {"./usr/bin/W_tk7713t", "./usr/bin/tk7713t", "./usr/bin/tk7713t-sim",
          "./usr/share/doc/w-tk7713t/W_tk7713t_EN.pdf",
          "./usr/share/doc/w-tk7713t/W_tk7713t_CZ.pdf", "./usr/share/doc/w-tk7713t/copyright",
          "./usr/share/man/man1/W_tk7713t.1.gz", "./usr/share/man/man1/tk7713t.1.gz",
          "./usr/share/man/man1/tk7713t-sim.1.gz", "./usr/share/applications/w-tk7713t.desktop",
          "./usr/share/icons/hicolor/scalable/apps/w-tk7713t.svg"}) {
        EXPECT_TRUE(contents.out.contains(QLatin1String(path) + QLatin1Char('\n'))) << path;
    }
    const ProgramResult depends = runProgram(
        QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
    EXPECT_TRUE(depends.out.contains(QStringLiteral("libqt6widgets6")))
        << depends.out.toStdString();
    // The chart is drawn by the program itself.
    EXPECT_FALSE(depends.out.contains(QStringLiteral("libqt6charts6")))
        << depends.out.toStdString();
    // Purge takes the settings file earlier builds left beside the program.
    QTemporaryDir control;
    ASSERT_EQ(
        runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, control.path()}).status,
        0);
    QFile postrm(control.filePath(QStringLiteral("postrm")));
    ASSERT_TRUE(postrm.open(QIODevice::ReadOnly));
    EXPECT_TRUE(postrm.readAll().contains("rm -f /usr/bin/W_tk7713t.ini"));
    EXPECT_TRUE(postrm.permissions() & QFileDevice::ExeOwner);

    // Unpacked: the tools answer with the build's version, and Help, started
    // from an unrelated folder, finds the manual in the documentation folder.
    QTemporaryDir root;
    ASSERT_EQ(
        runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root.path()}).status, 0);
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    for (const char* program : {"W_tk7713t", "tk7713t", "tk7713t-sim"}) {
        const ProgramResult version =
            runProgram(QDir(bin).filePath(QLatin1String(program)), {QStringLiteral("--version")});
        EXPECT_EQ(version.out, QStringLiteral("%1 %2\n").arg(QLatin1String(program),
                                                             QLatin1String(buildinfo::kVersion)));
    }
    // The installed program keeps its settings per user, and its help and
    // manual page say so.
    const ProgramResult help =
        runProgram(QDir(bin).filePath(QStringLiteral("W_tk7713t")), {QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains(
        QStringLiteral("kept per user in\n$XDG_CONFIG_HOME/W_tk7713t/W_tk7713t.ini")))
        << help.out.toStdString();
    EXPECT_FALSE(help.out.contains(QStringLiteral("beside the program"))) << help.out.toStdString();
    const ProgramResult page =
        runProgram(QStringLiteral("zcat"),
                   {root.filePath(QStringLiteral("usr/share/man/man1/W_tk7713t.1.gz"))});
    EXPECT_TRUE(page.out.contains(QStringLiteral("XDG_CONFIG_HOME"))) << page.out.toStdString();
    EXPECT_TRUE(page.out.contains(QStringLiteral("\\-\\-lang"))) << page.out.toStdString();
    QTemporaryDir elsewhere;
    EXPECT_EQ(Hlavni::FindHelpDocument(QStringLiteral("W_tk7713t_EN.pdf"),
                                       Hlavni::HelpDocumentFolders(bin, elsewhere.path())),
              root.filePath(QStringLiteral("usr/share/doc/w-tk7713t/W_tk7713t_EN.pdf")));
}

} // namespace
