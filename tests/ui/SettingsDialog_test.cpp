// The settings dialogs and the restart dialog, offscreen against the
// simulator over loopback TFTP and a pseudo-terminal: the shared pattern
// once (on the RTU master dialog), then what each dialog adds.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/SerialPort.h"
#include "tools/SimHarness.h"
#include "ui/Hlavni.h"
#include "ui/NastavHlavniLinka.h"
#include "ui/NastavLanParam.h"
#include "ui/NastavModbusTCP.h"
#include "ui/NastavServisniLinka.h"
#include "ui/NastavServisniLinkaUSB.h"
#include "ui/RestartZarizeni.h"
#include "ui/UiTestSupport.h"
#include "workflow/PripojeniLogika.h"

namespace {

constexpr int kComNumber = 42;

// Every text a status line was painted with, in order: each change must be
// repainted at once, before the transfer that follows it.
class PaintedTexts : public QObject {
  public:
    std::vector<QString> texts;
    void watch(QLabel* line) {
        line->installEventFilter(this);
        texts.clear();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const QString t = static_cast<QLabel*>(watched)->text();
            if (texts.empty() || texts.back() != t) {
                texts.push_back(t);
            }
        }
        return false;
    }
};

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.started()) << sim.error();
        uitest::resetConverter();
        platform::setSerialDeviceMap({{kComNumber, sim.pty()}});
        InitData(&data);
        data.Lang = LANG_EN;
    }
    void TearDown() override {
        uitest::resetConverter();
        platform::setSerialDeviceMap({});
    }

    void connectOver(std::int32_t rozhrani) {
        ConnectionControls c = ControlsForSettings(data.Pripojeni);
        c.Interface = rozhrani;
        c.IpAddress = sim.lan();
        c.LanTimeout = "300";
        c.Com = SerialControls{std::to_string(kComNumber), 2, PARITA_SUDA, "200", "247"};
        ConnectionHooks hooks;
        hooks.pause = [](std::uint32_t) {};
        ASSERT_EQ(InicializacePripojeni(c, &data, Konvertor, LANG_EN, hooks).Outcome,
                  ConnectionOutcome::Connected);
        sim.clearLog();
    }

    template <typename W> void show(W& d) {
        d.Dat = &data;
        d.show();
        painted.watch(d.StatusBar1);
    }

    // Writes the simulator saw, over either interface. Reads are left out:
    // the connection's last one may be logged late.
    std::size_t writes() { return sim.count("tftp: write ") + sim.count("rtu: 0x44"); }

    uitest::ScratchSettings settings;
    harness::Sim sim;
    PaintedTexts painted;
    TData data;
};

TCFG_UARTM uartmOf(harness::Sim& sim) {
    const std::vector<std::uint8_t> img = sim.model().read(tksim::SimFile::Uartm);
    TCFG_UARTM u;
    u.KodBaud = img.at(0);
    u.KodParita = img.at(1);
    u.Timeout = static_cast<std::uint16_t>(img.at(2) | img.at(3) << 8);
    u.Opakovani = img.at(4);
    return u;
}

class PatternTest : public SettingsTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(PatternTest, ReadThenWriteAndVerify) {
    connectOver(GetParam());
    TFormNastavHlavniLinka d;
    show(d);
    d.Button1->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Configuration read successfully"));
    EXPECT_EQ(d.Edit1->text(), QString::number(uartmOf(sim).Timeout));

    d.ComboBox1->setCurrentIndex(0);
    d.Edit1->setText(QStringLiteral("1234"));
    d.Edit2->setText(QStringLiteral("15"));
    painted.texts.clear();
    d.Button2->click();
    // The accepted fields clear the status line before the transfer.
    EXPECT_EQ(painted.texts,
              (std::vector<QString>{QStringLiteral(" "), QStringLiteral(" Write in progress ..."),
                                    QStringLiteral(" Read in progress ..."),
                                    QStringLiteral(" Configuration read successfully"),
                                    QStringLiteral(" Configuration write successfully")}));
    EXPECT_TRUE(uitest::waitUntil([&] { return writes() == 1; }, 2000));
    const TCFG_UARTM stored = uartmOf(sim);
    EXPECT_EQ(stored.KodBaud, 2);
    EXPECT_EQ(stored.Timeout, 1234);
    EXPECT_EQ(stored.Opakovani, 15);
    EXPECT_EQ(d.CFGTK.UARTM.Timeout, 1234);
    // Only OK changes the program's copy.
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());
    d.Button4->click();
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());
}

TEST_P(PatternTest, FailuresEndInTheStatusLineAndKeepTheWorkingCopy) {
    connectOver(GetParam());
    TFormNastavHlavniLinka d;
    show(d);

    tksim::Faults ignore;
    ignore.ignoreWrites = true;
    sim.sim().setFaults(ignore);
    d.Edit1->setText(QStringLiteral("4321"));
    d.Button2->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Write verification error"));
    EXPECT_EQ(d.CFGTK.UARTM.Timeout, 4321);

    tksim::Faults silent;
    silent.dropEvery = 1;
    sim.sim().setFaults(silent);
    d.Button2->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Converter connection error"));
    // A failed Read shows the working copy again: typed values are dropped.
    d.Edit1->setText(QStringLiteral("777"));
    d.Button1->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Converter connection error"));
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("4321"));
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());
}

INSTANTIATE_TEST_SUITE_P(Interfaces, PatternTest, ::testing::Values(ROZHRANI_LAN, ROZHRANI_COM));

TEST_F(SettingsTest, WithoutConnectionNothingIsSentAndOkStillAccepts) {
    TFormNastavHlavniLinka d;
    show(d);
    d.Edit1->setText(QStringLiteral("99"));
    d.Button1->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Connection not initialized"));
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("99"));
    d.Button2->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Connection not initialized"));

    // Default parameters touch the controls only.
    d.Button6->click();
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("330"));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("9600 Bd"));
    EXPECT_EQ(d.CFGTK, VychoziCFGTK());

    // A refused field keeps the dialog open; the fields before it are taken.
    d.Edit1->setText(QStringLiteral("500"));
    d.Edit2->setText(QStringLiteral("16"));
    d.Button3->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.StatusBar1->text(),
              QStringLiteral(" Invalid Number of retries on communication error (0-15)"));
    EXPECT_EQ(d.CFGTK.UARTM.Timeout, 500);
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());

    d.Edit2->setText(QStringLiteral("3"));
    d.Button3->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(data.CFGTK.UARTM.Opakovani, 3);
    EXPECT_EQ(data.CFGTK.UARTM.Timeout, 500);
    EXPECT_TRUE(sim.log().empty());
}

TEST_F(SettingsTest, ValidationFailureSendsNothing) {
    connectOver(ROZHRANI_LAN);
    TFormNastavHlavniLinka d;
    show(d);
    d.Edit1->setText(QStringLiteral("65536"));
    d.Button2->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Invalid External module timeout (1-65535)"));
    uitest::runEventsFor(50);
    EXPECT_EQ(writes(), 0u);
}

// While a transfer runs the window keeps processing events: further
// presses start nothing, and a close waits until the transfer returns.
TEST_F(SettingsTest, NothingStartsOrClosesWhileATransferRuns) {
    connectOver(ROZHRANI_COM);
    tksim::Faults slow;
    slow.delayMs = 300;
    sim.sim().setFaults(slow);
    TFormNastavHlavniLinka d;
    show(d);
    bool sawRunning = false;
    QTimer::singleShot(100, [&] {
        sawRunning = d.transferRunning();
        d.Edit1->setText(QStringLiteral("65536"));
        for (QPushButton* b : {d.Button1, d.Button2, d.Button3, d.Button6}) {
            b->click();
        }
        d.close();
        EXPECT_TRUE(d.isVisible());
    });
    d.Button1->click();
    EXPECT_TRUE(sawRunning);
    // The simulator logs a request once its answer has gone out.
    EXPECT_TRUE(uitest::waitUntil([&] { return sim.count("0x43") >= 1; }, 2000));
    uitest::runEventsFor(100);
    EXPECT_EQ(sim.count("0x43"), 1u);
    EXPECT_EQ(writes(), 0u);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());
}

// Codes without a list entry show no selection and survive OK unchanged.
TEST_F(SettingsTest, ListValuesWithoutAnEntryAreKept) {
    data.CFGTK.UARTM.KodBaud = 1;
    data.CFGTK.UARTM.KodParita = 7;
    data.CFGTK.UARTS.KodBaud = 8;
    data.CFGTK.UARTS.Repeater = 5;
    {
        TFormNastavHlavniLinka d;
        show(d);
        EXPECT_EQ(d.ComboBox1->currentIndex(), -1);
        EXPECT_EQ(d.ComboBox2->currentIndex(), -1);
        d.Button3->click();
    }
    {
        TFormNastavServisniLinka d;
        show(d);
        EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("115200 Bd"));
        EXPECT_EQ(d.ComboBox3->currentIndex(), -1);
        d.Button3->click();
    }
    EXPECT_EQ(data.CFGTK.UARTM.KodBaud, 1);
    EXPECT_EQ(data.CFGTK.UARTM.KodParita, 7);
    EXPECT_EQ(data.CFGTK.UARTS.Repeater, 5);
}

TEST_F(SettingsTest, LanDialogEnablingRuleAndHiddenIpv6) {
    data.CFGTK.LAN4.IP4_DHCP = 1;
    data.CFGTK.LAN6.IP6_GUA[15] = 0x42;
    TFormNastavLanParam d;
    show(d);
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("automatic (DHCP)"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{d.Label2, d.Edit1, d.Label3, d.Edit2, d.Label4, d.Edit3}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_FALSE(d.Edit5->isVisible());
    EXPECT_TRUE(d.Edit5->text().endsWith(QStringLiteral(":0042")));
    // A disabled field is still validated.
    d.Edit2->setText(QStringLiteral("255.255"));
    d.Button3->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Invalid IP4 mask"));
    d.Button6->click();
    EXPECT_EQ(d.ComboBox1->currentIndex(), 0);
    EXPECT_TRUE(d.Edit2->isEnabled());
    d.Edit1->setText(QStringLiteral("10.0.0.5"));
    d.Button3->click();
    EXPECT_EQ(data.CFGTK.LAN4.IP4_Adresa, (TAdresa4B{10, 0, 0, 5}));
    EXPECT_EQ(data.CFGTK.LAN4.IP4_DHCP, 0);
    EXPECT_EQ(data.CFGTK.LAN6.IP6_GUA[15], 0x42);
}

TEST_F(SettingsTest, ModbusTcpDialogFixedControls) {
    data.CFGTK.MBTCP.UnitID = 7;
    TFormNastavModbusTCP d;
    show(d);
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("255"));
    EXPECT_FALSE(d.Edit1->isEnabled());
    EXPECT_EQ(d.Edit2->text(), QStringLiteral("7"));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("enable"));
    EXPECT_FALSE(d.ComboBox1->isEnabled());
    EXPECT_TRUE(d.Label3->font().italic());
    d.Button6->click();
    EXPECT_EQ(d.Edit2->text(), QStringLiteral("255"));
    EXPECT_EQ(d.Edit3->text(), QStringLiteral("5"));
}

TEST_F(SettingsTest, UsbViewShowsItsFixedValuesWhateverTheConnection) {
    connectOver(ROZHRANI_COM);
    data.CFGTK.UARTS.Adresa = 12;
    TFormNastavServisniLinkaUSB d;
    show(d);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Modbus RTU slave (USB)"));
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("255"));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("115200 Bd"));
    EXPECT_EQ(d.ComboBox2->currentText(), QStringLiteral("even"));
    EXPECT_EQ(d.ComboBox3->currentText(), QStringLiteral("enable"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{d.Edit1, d.ComboBox1, d.ComboBox2, d.ComboBox3}) {
        EXPECT_FALSE(w->isEnabled());
    }
    for (QPushButton* b : {d.Button1, d.Button2, d.Button3, d.Button6}) {
        EXPECT_FALSE(b->isVisible());
    }
    // The lone Cancel is as large, and where, it is in the RS-485 window.
    TFormNastavServisniLinka rs485;
    show(rs485);
    EXPECT_EQ(d.Button4->geometry(), rs485.Button4->geometry());
    EXPECT_EQ(d.size(), rs485.size());
    rs485.close();
    const TData before = data;
    QTest::keyClick(&d, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(data.CFGTK, before.CFGTK);
    EXPECT_EQ(writes(), 0u);
}

// Every input is named by its label, Tab walks the inputs top to bottom,
// and Enter never writes.
TEST_F(SettingsTest, KeyboardAndScreenReaders) {
    connectOver(ROZHRANI_LAN);
    TFormNastavLanParam lan;
    TFormNastavModbusTCP tcp;
    TFormNastavHlavniLinka master;
    TFormNastavServisniLinka slave;
    for (SettingsDialog* d : std::initializer_list<SettingsDialog*>{&lan, &tcp, &master, &slave}) {
        show(*d);
        d->activateWindow();
        QWidget* previous = nullptr;
        int inputs = 0;
        for (QWidget* w = d->nextInFocusChain(); w != d; w = w->nextInFocusChain()) {
            if (!w->isVisible() || !(qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w))) {
                continue;
            }
            ++inputs;
            // Text fields carry the label as their name; lists name their
            // entry and point to the label, as desktops expect of them.
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            QString labelText;
            for (const auto& [other, relation] : a->relations(QAccessible::Label)) {
                labelText = other->text(QAccessible::Name);
            }
            EXPECT_FALSE(labelText.isEmpty()) << w->objectName().toStdString();
            EXPECT_EQ(w->accessibleName(), labelText) << w->objectName().toStdString();
            if (qobject_cast<QLineEdit*>(w)) {
                EXPECT_EQ(a->text(QAccessible::Name), labelText) << w->objectName().toStdString();
            }
            if (previous != nullptr) {
                EXPECT_GT(w->y(), previous->y()) << w->objectName().toStdString();
            }
            previous = w;
        }
        EXPECT_GE(inputs, 3);
        QLineEdit* first = d->findChild<QLineEdit*>();
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Return);
        EXPECT_FALSE(d->isVisible()) << d->objectName().toStdString();
    }
    EXPECT_EQ(writes(), 0u);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(master.Edit1)->text(QAccessible::Name),
              QStringLiteral("External module timeout [ms] (1-65535)"));
}

// An operator who Tabs to Write and presses Enter writes; Enter in a field
// means OK, which keeps the values and sends nothing.
TEST_F(SettingsTest, EnterPressesTheFocusedButtonAndMeansOkInAField) {
    connectOver(ROZHRANI_COM);
    TFormNastavHlavniLinka d;
    show(d);
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.Edit1->setText(QStringLiteral("1234"));
    d.Edit2->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 5 && QApplication::focusWidget() != d.Button2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), d.Button2);
    QTest::keyClick(d.Button2, Qt::Key_Return);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Configuration write successfully"));
    EXPECT_EQ(uartmOf(sim).Timeout, 1234);
    EXPECT_EQ(data.CFGTK, VychoziCFGTK());

    d.Edit2->setFocus(Qt::TabFocusReason);
    d.Edit2->setText(QStringLiteral("7"));
    QTest::keyClick(d.Edit2, Qt::Key_Enter);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(data.CFGTK.UARTM.Opakovani, 7);
    EXPECT_EQ(writes(), 1u);
}

class RestartTest : public SettingsTest {};

// The dialog opens on Cancel, so Enter at once restarts nothing; Enter on a
// focused Restart restarts.
TEST_F(RestartTest, EnterPressesTheFocusedButton) {
    connectOver(ROZHRANI_LAN);
    TFormRestart d;
    show(d);
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    ASSERT_EQ(QApplication::focusWidget(), d.Button2);
    QTest::keyClick(d.Button2, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(sim.model().restartCount(), 0u);

    show(d);
    d.Button1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(d.Button1, Qt::Key_Return);
    EXPECT_EQ(painted.texts.back(), QStringLiteral(" Converter restarted"));
    EXPECT_EQ(sim.model().restartCount(), 1u);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST_F(RestartTest, WithoutConnectionSendsNothing) {
    TFormRestart d;
    show(d);
    EXPECT_TRUE(d.StatusBar1->text().isEmpty());
    d.Button1->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Connection not initialized"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(sim.model().restartCount(), 0u);
}

TEST_F(RestartTest, RestartsShowsTheResultForASecondAndKeepsTheConnection) {
    connectOver(ROZHRANI_LAN);
    TFormRestart d;
    show(d);
    // Qt fires due timers in order, so this one always runs before the
    // dialog's own pause of SHOW_RESTARTED_MS can end.
    bool openMeanwhile = false;
    QTimer::singleShot(static_cast<int>(TFormRestart::SHOW_RESTARTED_MS * 8 / 10), &d,
                       [&] { openMeanwhile = d.isVisible(); });
    d.Button1->click();
    EXPECT_TRUE(openMeanwhile);
    EXPECT_EQ(painted.texts,
              (std::vector<QString>{QStringLiteral(" The converter is restarting ..."),
                                    QStringLiteral(" Converter restarted")}));
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(sim.model().restartCount(), 1u);
    EXPECT_TRUE(data.Init);
    EXPECT_TRUE(Konvertor.Init);
}

TEST_F(RestartTest, FailureKeepsTheDialogOpen) {
    connectOver(ROZHRANI_COM);
    tksim::Faults silent;
    silent.dropEvery = 1;
    sim.sim().setFaults(silent);
    TFormRestart d;
    show(d);
    d.Button1->click();
    EXPECT_EQ(d.StatusBar1->text(), QStringLiteral(" Converter connection error"));
    EXPECT_TRUE(d.isVisible());
}

TEST_F(SettingsTest, ConfigurationMenuOpensEachWindowWithTheProgramData) {
    TForm1 form;
    const QList<QAction*> items = form.MenuKonfigurace->actions();
    ASSERT_EQ(items.size(), 7);
    EXPECT_TRUE(items[5]->isSeparator());
    const QStringList texts = {QStringLiteral("LAN parameters"),
                               QStringLiteral("Modbus TCP server (LAN)"),
                               QStringLiteral("Modbus RTU master (RS-485)"),
                               QStringLiteral("Modbus RTU slave (RS-485)"),
                               QStringLiteral("Modbus RTU slave (USB)"),
                               QString(),
                               QStringLiteral("Converter restart")};
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->text(), texts[i]);
    }
    PData seen = nullptr;
    auto check = [&](auto* typeTag, QAction* command) {
        using W = std::remove_pointer_t<decltype(typeTag)>;
        seen = nullptr;
        uitest::whenModalShown<W>([&](W* w) {
            seen = w->Dat;
            w->reject();
        });
        command->trigger();
        EXPECT_EQ(seen, form.Dat) << command->text().toStdString();
    };
    check(static_cast<TFormNastavLanParam*>(nullptr), form.NastavLAN);
    check(static_cast<TFormNastavModbusTCP*>(nullptr), form.NastavModbusTCP);
    check(static_cast<TFormNastavHlavniLinka*>(nullptr), form.NastavHlavniLinkaRS485);
    check(static_cast<TFormNastavServisniLinka*>(nullptr), form.NastavServisniLinkaRS485);
    check(static_cast<TFormNastavServisniLinkaUSB*>(nullptr), form.NastavServisniLinkaUSB);
    check(static_cast<TFormRestart*>(nullptr), form.Restartzazen1);
}

} // namespace
