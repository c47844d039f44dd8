// Main window: start, status panels after the connection dialog, closing,
// failure at start, Help and About.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "sim/Simulator.h"
#include "ui/About.h"
#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/GatewayTest.h"
#include "ui/Hlavni.h"
#include "ui/Pripojeni.h"
#include "ui/UiTestSupport.h"
#include "workflow/TextyOken.h"

namespace {

using uitest::RecordingShell;
using uitest::ScratchSettings;
using uitest::whenModalShown;

const QString kBarePanel0 = QStringLiteral("Converter : ");
const QString kBarePanel1 = QStringLiteral("Address : ");
const QString kConnected =
    QStringLiteral(" Connection successfully initialized. Connected converter :  TK-7713T  v.1.05");

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { uitest::resetConverter(); }
    void TearDown() override {
        Hlavni::setDataFactory(nullptr);
        uitest::resetConverter();
    }

    ScratchSettings settings;
    RecordingShell shell;
};

// Simulator on loopback: TFTP on a free port and a pseudo-terminal.
std::unique_ptr<tksim::Simulator> startSimulator() {
    tksim::Config c;
    c.tftp.address = "127.0.0.1";
    c.tftp.port = 0;
    auto sim = std::make_unique<tksim::Simulator>(c);
    std::string error;
    EXPECT_TRUE(sim->start(&error)) << error;
    return sim;
}

QString lanAddress(const tksim::Simulator& sim) {
    return QStringLiteral("127.0.0.1:%1").arg(sim.tftpPort());
}

// Opens the connection dialog from the menu, runs `inDialog` in it, then
// presses Cancel.
void connectionDialog(TForm1& form, const std::function<void(TFormPripojeni*)>& inDialog) {
    whenModalShown<TFormPripojeni>([inDialog](TFormPripojeni* d) {
        inDialog(d);
        QTest::mouseClick(d->Button2, Qt::LeftButton);
    });
    form.Pipojenmodulu1->trigger();
}

TEST_F(MainWindowTest, StartsWithoutSettingsFileInEnglishWithBareLabels) {
    TForm1 form;
    form.show();
    ASSERT_NE(form.Dat, nullptr);
    EXPECT_EQ(form.Dat->Lang, LANG_EN);
    EXPECT_EQ(form.Dat->Pripojeni, VychoziPripojeni());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("TK-7713T - converter configuration"));
    EXPECT_EQ(form.MenuPripojeni->title(), QStringLiteral("Connection"));
    EXPECT_EQ(form.Pipojenmodulu1->text(), QStringLiteral("Converter connect"));
    EXPECT_EQ(form.MenuNapoveda->title(), QStringLiteral("Help"));
    EXPECT_EQ(form.Npovda2->text(), QStringLiteral("Help"));
    EXPECT_EQ(form.Oprogramu1->text(), QStringLiteral("About W_tk7713t"));
    EXPECT_EQ(form.StatusPanel0->text(), kBarePanel0);
    EXPECT_EQ(form.StatusPanel1->text(), kBarePanel1);
    EXPECT_EQ(form.StatusPanel0->width(), 300);
    EXPECT_EQ(form.StatusPanel1->width(), 200);
    // Never below 640 x 480 with its frame (none offscreen), nor below the
    // client area 628 x 422 under the menu bar.
    const QSize frame = form.frameGeometry().size() - form.geometry().size();
    EXPECT_EQ((form.minimumSize() + frame).expandedTo(QSize(640, 480)), form.minimumSize() + frame);
    EXPECT_GE(form.minimumHeight(), 422 + form.menuBar()->sizeHint().height());
    EXPECT_GE(form.minimumWidth(), 628);
    // Help is the last menu of the one bar (keyboard and screen readers reach
    // it), right-justified after a separator.
    const QList<QAction*> bar = form.menuBar()->actions();
    ASSERT_GE(bar.size(), 3);
    EXPECT_EQ(bar.last(), form.MenuNapoveda->menuAction());
    EXPECT_TRUE(bar[bar.size() - 2]->isSeparator());
    EXPECT_GE(form.menuBar()->actionGeometry(bar.last()).right(), form.menuBar()->width() - 20);
    // No accelerator marks in any caption.
    for (QAction* a : {form.MenuPripojeni->menuAction(), form.Pipojenmodulu1,
                       form.MenuNapoveda->menuAction(), form.Npovda2, form.Oprogramu1}) {
        EXPECT_FALSE(a->text().contains(QLatin1Char('&'))) << a->text().toStdString();
        EXPECT_TRUE(a->isEnabled());
    }
    EXPECT_GE(platform::timerResolutionRequests(), 1u);
    EXPECT_FALSE(Konvertor.Init);
}

// What the panels show after a dialog that ended with a connection, for
// each interface and for a code outside the list.
struct PanelCase {
    std::int32_t rozhrani;
    QString panel1;
};

class StatusPanelTest : public MainWindowTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(StatusPanelTest, ShowsTypeAndAddressOfTheInterface) {
    TForm1 form;
    form.show();
    connectionDialog(form, [](TFormPripojeni* d) {
        // Stand in for a successful Connect.
        d->Dat->Init = true;
        d->Dat->TypVerze = "TK-7713T  v.1.05";
        d->Dat->Pripojeni.Rozhrani = GetParam().rozhrani;
        d->Dat->Pripojeni.LAN_IP = "10.1.2.3";
        d->Dat->Pripojeni.COM_Adresa = 247;
        d->Dat->Pripojeni.USBCOM_Adresa = 9;
    });
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Converter : TK-7713T  v.1.05"));
    EXPECT_EQ(form.StatusPanel1->text(), GetParam().panel1);
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, StatusPanelTest,
    ::testing::Values(PanelCase{ROZHRANI_LAN, QStringLiteral("Address : 10.1.2.3")},
                      PanelCase{ROZHRANI_COM, QStringLiteral("Address : 247")},
                      PanelCase{ROZHRANI_USBCOM, QStringLiteral("Address : 9")},
                      PanelCase{3, QString()}, PanelCase{-1, QString()}));

TEST_F(MainWindowTest, ConnectsOverLanToSimulatorAndShowsConverter) {
    auto sim = startSimulator();
    TForm1 form;
    form.show();
    QString status;
    connectionDialog(form, [&](TFormPripojeni* d) {
        d->ComboBox1->setCurrentIndex(ROZHRANI_LAN);
        d->Edit1->setText(lanAddress(*sim));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        status = d->Panel1->text();
    });
    EXPECT_EQ(status, kConnected);
    EXPECT_TRUE(form.Dat->Init);
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Converter : TK-7713T  v.1.05"));
    EXPECT_EQ(form.StatusPanel1->text(), QStringLiteral("Address : ") + lanAddress(*sim));
}

TEST_F(MainWindowTest, ConnectsOverPseudoTerminalMappedToComNumber) {
    auto sim = startSimulator();
    settings.write(QStringLiteral("[Interface]\nInterface=1\n[COM]\nCOM port=7\nAddress=247\n"
                                  "[Serial ports]\nCOM7=%1\n")
                       .arg(QString::fromStdString(sim->serialPath()))
                       .toUtf8());
    TForm1 form;
    form.show();
    QString status;
    connectionDialog(form, [&](TFormPripojeni* d) {
        EXPECT_EQ(d->ComboBox1->currentIndex(), ROZHRANI_COM);
        EXPECT_EQ(d->Edit3->text(), QStringLiteral("7"));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        status = d->Panel1->text();
    });
    EXPECT_EQ(status, kConnected);
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Converter : TK-7713T  v.1.05"));
    EXPECT_EQ(form.StatusPanel1->text(), QStringLiteral("Address : 247"));
    EXPECT_TRUE(platform::serialIsOpen(Konvertor.MBRTU.ID.HNDL));
}

TEST_F(MainWindowTest, FailedAttemptAfterSuccessFallsBackToBareLabels) {
    auto sim = startSimulator();
    TForm1 form;
    form.show();
    connectionDialog(form, [&](TFormPripojeni* d) {
        d->Edit1->setText(lanAddress(*sim));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
    });
    ASSERT_EQ(form.StatusPanel1->text(), QStringLiteral("Address : ") + lanAddress(*sim));
    const TPripojeni good = form.Dat->Pripojeni;

    // A loopback port where nobody answers.
    platform::UdpSocket silent;
    platform::UdpEndpoint local;
    local.address = {127, 0, 0, 1};
    ASSERT_TRUE(silent.openBound(local));
    QString status;
    connectionDialog(form, [&](TFormPripojeni* d) {
        d->Edit1->setText(QStringLiteral("127.0.0.1:%1").arg(silent.localPort()));
        d->Edit2->setText(QStringLiteral("50"));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
        status = d->Panel1->text();
    });
    EXPECT_EQ(status, QStringLiteral(" Converter connection error"));
    EXPECT_FALSE(form.Dat->Init);
    EXPECT_EQ(form.Dat->Pripojeni, good);
    EXPECT_EQ(form.StatusPanel0->text(), kBarePanel0);
    EXPECT_EQ(form.StatusPanel1->text(), kBarePanel1);
}

TEST_F(MainWindowTest, ClosingWithPortOpenClosesItAndWritesSettingsOnce) {
    auto sim = startSimulator();
    settings.write(QStringLiteral("[Serial ports]\nCOM9=%1\n")
                       .arg(QString::fromStdString(sim->serialPath()))
                       .toUtf8());
    const std::uint32_t requestsBefore = platform::timerResolutionRequests();
    platform::SerialHandle port = platform::kNoSerialPort;
    {
        TForm1 form;
        form.show();
        connectionDialog(form, [&](TFormPripojeni* d) {
            d->ComboBox1->setCurrentIndex(ROZHRANI_COM);
            d->Edit3->setText(QStringLiteral("9"));
            d->Edit5->setText(QStringLiteral("247"));
            QTest::mouseClick(d->Button1, Qt::LeftButton);
        });
        ASSERT_TRUE(form.Dat->Init);
        port = Konvertor.MBRTU.ID.HNDL;
        ASSERT_TRUE(platform::serialIsOpen(port));

        form.close();
        EXPECT_FALSE(platform::serialIsOpen(port));
        EXPECT_EQ(Konvertor.MBRTU.ID.HNDL, platform::kNoSerialPort);
        EXPECT_EQ(form.Dat, nullptr);
        const QByteArray saved = settings.contents();
        EXPECT_TRUE(saved.contains("[Interface]")) << saved.toStdString();
        EXPECT_TRUE(saved.contains("Interface=1")) << saved.toStdString();
        EXPECT_TRUE(saved.contains("COM port=9")) << saved.toStdString();
        EXPECT_TRUE(saved.contains("COM9=")) << "the device map section must survive";
        // A second close, and the destructor, must not write again.
        settings.write("marker");
        form.close();
    }
    EXPECT_EQ(settings.contents(), QByteArray("marker"));
    EXPECT_EQ(platform::timerResolutionRequests(), requestsBefore);
}

TEST_F(MainWindowTest, FailedDataCreationKeepsRunningAndReportsInEnglish) {
    Hlavni::setDataFactory([] { return std::unique_ptr<TData>(); });
    {
        TForm1 form;
        form.show();
        EXPECT_EQ(form.Dat, nullptr);
        EXPECT_EQ(form.StatusPanel0->text(),
                  QStringLiteral("Unable to create program data structures"));
        EXPECT_EQ(form.StatusPanel1->text(), QString());
        EXPECT_EQ(form.windowTitle(), QStringLiteral("TK-7713T - converter configuration"));

        // The connection command opens nothing without a record.
        bool opened = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                opened = true;
                m->close();
            }
        });
        form.Pipojenmodulu1->trigger();
        uitest::runEventsFor(1);
        EXPECT_FALSE(opened);

        // About still opens, in English.
        QString version;
        whenModalShown<TFormOProgramu>([&](TFormOProgramu* a) {
            version = a->LabelVerze->text();
            QTest::mouseClick(a->Button1, Qt::LeftButton);
        });
        form.Oprogramu1->trigger();
        EXPECT_EQ(version, QStringLiteral("Version  2.01"));

        // Help still answers, with the English document name.
        const QString before = QDir::currentPath();
        QDir::setCurrent(settings.folder());
        form.Npovda2->trigger();
        QDir::setCurrent(before);
        ASSERT_EQ(shell.messages.size(), 1u);
        EXPECT_EQ(shell.messages[0].text, QStringLiteral("File not found W_tk7713t_EN.pdf"));
        form.close();
    }
    EXPECT_FALSE(settings.exists());
}

TEST_F(MainWindowTest, HelpReportsMissingDocumentByName) {
    const QString before = QDir::currentPath();
    QDir::setCurrent(settings.folder());
    TForm1 form;
    form.Npovda2->trigger();
    QDir::setCurrent(before);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, QStringLiteral("File not found W_tk7713t_EN.pdf"));
    EXPECT_TRUE(shell.documents.empty());
}

TEST_F(MainWindowTest, HelpOpensDocumentFromWorkingFolder) {
    const QString before = QDir::currentPath();
    QDir::setCurrent(settings.folder());
    QFile doc(QDir(settings.folder()).filePath(QStringLiteral("W_tk7713t_EN.pdf")));
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    TForm1 form;
    form.Npovda2->trigger();
    QDir::setCurrent(before);
    EXPECT_TRUE(shell.messages.empty());
    ASSERT_EQ(shell.documents.size(), 1u);
    EXPECT_EQ(QFileInfo(shell.documents[0]).canonicalFilePath(),
              QFileInfo(doc).canonicalFilePath());
}

// An installed layout: the program in PREFIX/bin, the manuals in the
// package's documentation folder. Help takes the first place holding the
// document: beside the program, the working folder, the installed folder.
TEST_F(MainWindowTest, HelpLooksBesideProgramThenWorkingFolderThenInstalledDocuments) {
    QTemporaryDir prefix;
    QTemporaryDir working;
    const QString program = prefix.filePath(QStringLiteral("bin"));
    const QString installed = prefix.filePath(QStringLiteral("share/doc/w-tk7713t"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QDir().mkpath(installed));
    const QStringList folders = Hlavni::HelpDocumentFolders(program, working.path());
    ASSERT_EQ(folders, (QStringList{program, working.path(), installed}));

    const QString name = QStringLiteral("W_tk7713t_CZ.pdf");
    for (const QString& folder : folders) {
        QFile doc(QDir(folder).filePath(name));
        ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    }
    for (const QString& folder : folders) {
        EXPECT_EQ(Hlavni::FindHelpDocument(name, folders), QDir(folder).filePath(name));
        QFile::remove(QDir(folder).filePath(name));
    }
    EXPECT_EQ(Hlavni::FindHelpDocument(name, folders), QString());
    // Folders named like the document do not count, in any place.
    for (const QString& folder : folders) {
        ASSERT_TRUE(QDir(folder).mkdir(name));
    }
    EXPECT_EQ(Hlavni::FindHelpDocument(name, folders), QString());
}

// Where no application takes the manual, Help says so and names it.
TEST_F(MainWindowTest, HelpNamesTheManualWhenNoApplicationOpensIt) {
    const QString before = QDir::currentPath();
    QDir::setCurrent(settings.folder());
    QFile doc(QDir(settings.folder()).filePath(QStringLiteral("W_tk7713t_EN.pdf")));
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    shell.documentOpens = false;
    TForm1 form;
    form.Npovda2->trigger();
    QDir::setCurrent(before);
    ASSERT_EQ(shell.documents.size(), 1u);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text,
              QStringLiteral("No application opened the manual %1. Install a PDF "
                             "viewer or open the file by hand.")
                  .arg(shell.documents[0]));
}

// The desktop's opener is xdg-open, whose exit status is the only word that
// no application took the file: a stand-in on PATH answers as told.
TEST(DesktopShell, OpenDocumentReportsTheOpenersExitStatus) {
    QTemporaryDir bin;
    const QString argumentFile = bin.filePath(QStringLiteral("argument"));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);
    ui::resetDesktopShell();
    for (const int status : {0, 3, 4}) {
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                         .arg(argumentFile)
                         .arg(status)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        std::optional<bool> opened;
        const QString manual = bin.filePath(QStringLiteral("Příručka W_tk7713t_CZ.pdf"));
        ui::desktopShell().openDocument(manual, [&opened](bool ok) { opened = ok; });
        ASSERT_TRUE(uitest::waitUntil([&] { return opened.has_value(); }, 60000)) << status;
        EXPECT_EQ(*opened, status == 0) << status;
        QFile argument(argumentFile);
        ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(argument.readAll()), manual);
    }
    qputenv("PATH", oldPath);
}

// --lang cs: every caption in Czech, and Help asks for the Czech manual.
TEST_F(MainWindowTest, CzechStartGivesCzechWindowsAndTheCzechManual) {
    TForm1 form(nullptr, LANG_CZ);
    form.show();
    EXPECT_EQ(form.Dat->Lang, LANG_CZ);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("TK-7713T - konfigurace konvertoru"));
    EXPECT_EQ(form.MenuNapoveda->title(), QStringLiteral("Nápověda"));
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Konvertor : "));
    QString caption;
    connectionDialog(form, [&](TFormPripojeni* d) { caption = d->windowTitle(); });
    EXPECT_EQ(caption, QStringLiteral("Připojení konvertoru"));

    const QString before = QDir::currentPath();
    QDir::setCurrent(settings.folder());
    form.Npovda2->trigger();
    QDir::setCurrent(before);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, QStringLiteral("Soubor nenalezen W_tk7713t_CZ.pdf"));
}

// Where the settings go, and what the operator hears about it: nothing for
// a copy in its own folder or an installed program, one notice at start for
// a copy whose folder cannot be written, one message for a save that fails.
struct SettingsReportCase {
    const char* name;
    bool perUser;
    bool programFolderWritable;
    bool userFolderUsable;
    const char* expected; // %1 the program's folder, %2 the settings file
};

class SettingsReportTest : public MainWindowTest,
                           public ::testing::WithParamInterface<SettingsReportCase> {};

TEST_P(SettingsReportTest, SaysWhereOnceAndNeverWritesAnUnwritableFolder) {
    const SettingsReportCase& c = GetParam();
    QString program = settings.folder();
    if (!c.programFolderWritable) {
        // Under a regular file: no account writes there, a superuser neither.
        settings.write("not a folder");
        program = settings.filePath() + QStringLiteral("/bin");
    }
    const QString userBase = settings.userFolder() + QStringLiteral("/config");
    if (!c.userFolderUsable) {
        QFile blocker(userBase);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    SetSettingsFolder(program.toStdString());
    SetUserSettingsFolder(userBase.toStdString());
    SetSettingsPerUser(c.perUser);
    const QString path = QString::fromStdString(SettingsFilePath());
    const QByteArray programFolderBefore = settings.contents();
    {
        TForm1 form;
        form.show();
        QCoreApplication::processEvents();
        form.Dat->Pripojeni.COM_Adresa = 12;
        form.close();
    }
    std::vector<QString> texts;
    for (const auto& m : shell.messages) {
        texts.push_back(m.text);
    }
    std::vector<QString> expected;
    if (*c.expected != '\0') {
        expected.push_back(QString::fromUtf8(c.expected)
                               .replace(QStringLiteral("%1"), program)
                               .replace(QStringLiteral("%2"), path));
    }
    EXPECT_EQ(texts, expected);
    if (c.userFolderUsable) {
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_TRUE(saved.readAll().contains("Address=12"));
    }
    if (c.perUser) {
        EXPECT_EQ(settings.contents(), programFolderBefore);
        EXPECT_EQ(QDir(settings.folder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  (c.programFolderWritable ? QStringList()
                                           : QStringList{QStringLiteral("W_tk7713t.ini")}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, SettingsReportTest,
    ::testing::Values(
        SettingsReportCase{"CopyInItsOwnFolder", false, true, true, ""},
        SettingsReportCase{"Installed", true, true, true, ""},
        SettingsReportCase{
            "CopyInUnwritableFolder", false, false, true,
            "The program's folder %1 cannot be written. The connection settings are kept in %2."},
        SettingsReportCase{"InstalledWithoutUsableUserFolder", true, true, false,
                           "The connection settings could not be saved to %2."}),
    [](const ::testing::TestParamInfo<SettingsReportCase>& i) {
        return std::string(i.param.name);
    });

TEST_F(MainWindowTest, AboutShowsVersionAndOpensAddressOfItsLanguage) {
    TForm1 form;
    form.show();
    for (const std::int32_t lang : {LANG_EN, LANG_CZ}) {
        form.Dat->Lang = lang;
        QString caption, version, link;
        whenModalShown<TFormOProgramu>([&](TFormOProgramu* a) {
            caption = a->windowTitle();
            version = a->LabelVerze->text();
            link = a->LabelOdkaz->text();
            QTest::mouseClick(a->LabelOdkaz, Qt::LeftButton);
            QTest::mouseClick(a->Button1, Qt::LeftButton);
        });
        form.Oprogramu1->trigger();
        const std::string address = About::Text(About::TEXT_WEB_ADDRESS, lang);
        EXPECT_EQ(caption, QString::fromUtf8(About::Text(About::TEXT_CAPTION, lang)));
        EXPECT_EQ(version, QString::fromUtf8(lang == LANG_CZ ? "Verze  2.01" : "Version  2.01"));
        EXPECT_EQ(link.toStdString(), address);
        ASSERT_FALSE(shell.addresses.empty());
        EXPECT_EQ(shell.addresses.back().toStdString(), address);
    }
    EXPECT_EQ(shell.addresses.size(), 2u);
}

TEST_F(MainWindowTest, DiagnosticsMenuOpensAFreshWindowOfEachCommand) {
    TForm1 form;
    form.show();
    EXPECT_EQ(form.MenuDiagnostika->title(), QStringLiteral("Diagnostics"));
    EXPECT_EQ(form.MenuDiagnostika->actions(),
              (QList<QAction*>{form.Pehled1, form.RozhranRS4851, form.GatewayTest1}));
    EXPECT_EQ(form.Pehled1->text(), QStringLiteral("Converter information"));
    EXPECT_EQ(form.RozhranRS4851->text(), QStringLiteral("Modbus RTU master"));

    PData seen = nullptr;
    whenModalShown<TFormDiagPrehled>([&](TFormDiagPrehled* w) {
        seen = w->Dat;
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Converter information"));
        QTest::mouseClick(w->Button1, Qt::LeftButton);
    });
    form.Pehled1->trigger();
    EXPECT_EQ(seen, form.Dat);

    seen = nullptr;
    whenModalShown<TFormDiagRS485>([&](TFormDiagRS485* w) {
        seen = w->Dat;
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Modbus RTU master interface diagnostics"));
        QTest::mouseClick(w->Button2, Qt::LeftButton);
    });
    form.RozhranRS4851->trigger();
    EXPECT_EQ(seen, form.Dat);

    seen = nullptr;
    whenModalShown<TFormGatewayTest>([&](TFormGatewayTest* w) {
        seen = w->Dat;
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Modbus gateway test"));
        QTest::mouseClick(w->CancelButton, Qt::LeftButton);
    });
    form.GatewayTest1->trigger();
    EXPECT_EQ(seen, form.Dat);
    // No window outlives its command.
    EXPECT_TRUE(form.findChildren<QDialog*>().isEmpty());
}

} // namespace
