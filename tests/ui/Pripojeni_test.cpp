// Connection dialog: filling from the settings, enabling rules, Cancel, and
// the behaviour while an attempt runs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <string>

#include "sim/Simulator.h"
#include "ui/Pripojeni.h"
#include "ui/UiTestSupport.h"

namespace {

class ConnectionDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        uitest::resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
    }
    void TearDown() override { uitest::resetConverter(); }

    // Shows the dialog without a modal loop, as the tests drive it directly.
    void show(TFormPripojeni& d) {
        d.Dat = &data;
        d.show();
    }

    uitest::ScratchSettings settings;
    TData data;
};

// Every control the enabling rules govern, and whether it is on for LAN,
// COM port and USB COM port.
struct EnablingRow {
    const char* control;
    bool lan, com, usb;
};

const EnablingRow kEnabling[] = {
    {"Label2", true, false, false},     {"Edit1", true, false, false},
    {"Label3", true, false, false},     {"Edit2", true, false, false},
    {"ComboBox2", true, false, false},  {"Label6", false, true, true},
    {"Label7", false, true, false},     {"Label8", false, true, false},
    {"Label9", false, true, false},     {"Label10", false, true, false},
    {"Label4", false, true, false},     {"Label5", false, false, true},
    {"Edit3", false, true, false},      {"ComboBox3", false, true, false},
    {"ComboBox4", false, true, false},  {"Edit4", false, true, false},
    {"Edit5", false, true, false},      {"Edit6", false, false, true},
    {"ComboBox5", false, false, false}, {"ComboBox6", false, false, false},
    {"Edit7", false, false, false},     {"Edit8", false, false, false},
};

class EnablingTest : public ConnectionDialogTest,
                     public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(EnablingTest, EnablesExactlyTheControlsOfTheInterface) {
    const std::int32_t rozhrani = GetParam();
    // Shown with another interface first, so the change applies the rules.
    data.Pripojeni.Rozhrani = (rozhrani + 1) % 3;
    TFormPripojeni d;
    show(d);
    d.ComboBox1->setCurrentIndex(rozhrani);
    for (const EnablingRow& row : kEnabling) {
        auto* w = d.findChild<QWidget*>(QString::fromLatin1(row.control));
        ASSERT_NE(w, nullptr) << row.control;
        const bool expected = rozhrani == ROZHRANI_LAN   ? row.lan
                              : rozhrani == ROZHRANI_COM ? row.com
                                                         : row.usb;
        EXPECT_EQ(w->isEnabled(), expected) << row.control << " interface " << rozhrani;
    }
    EXPECT_FALSE(d.ComboBox2->isVisible());
    EXPECT_TRUE(d.Button1->isEnabled());
    EXPECT_TRUE(d.Button2->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Interfaces, EnablingTest,
                         ::testing::Values(ROZHRANI_LAN, ROZHRANI_COM, ROZHRANI_USBCOM));

TEST_F(ConnectionDialogTest, FillsControlsFromSettingsWithFixedUsbValues) {
    data.Pripojeni.Rozhrani = ROZHRANI_USBCOM;
    data.Pripojeni.LAN_IP = "10.0.0.5";
    data.Pripojeni.LAN_Timeout = 1500;
    data.Pripojeni.COM_CisloCOM = 3;
    data.Pripojeni.COM_KodBaud = 4;
    data.Pripojeni.COM_KodParita = PARITA_LICHA;
    data.Pripojeni.COM_Timeout = 400;
    data.Pripojeni.COM_Adresa = 12;
    data.Pripojeni.USBCOM_CisloCOM = 5;
    data.Pripojeni.USBCOM_KodBaud = 4;
    data.Pripojeni.USBCOM_KodParita = PARITA_ZADNA;
    data.Pripojeni.USBCOM_Timeout = 999;
    data.Pripojeni.USBCOM_Adresa = 1;
    TFormPripojeni d;
    show(d);
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("USB COM port"));
    EXPECT_EQ(d.Edit1->text(), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(d.Edit2->text(), QStringLiteral("1500"));
    EXPECT_EQ(d.Edit3->text(), QStringLiteral("3"));
    EXPECT_EQ(d.ComboBox3->currentText(), QStringLiteral("9600 Bd"));
    EXPECT_EQ(d.ComboBox4->currentText(), QStringLiteral("odd"));
    EXPECT_EQ(d.Edit4->text(), QStringLiteral("400"));
    EXPECT_EQ(d.Edit5->text(), QStringLiteral("12"));
    EXPECT_EQ(d.Edit6->text(), QStringLiteral("5"));
    EXPECT_EQ(d.ComboBox5->currentText(), QStringLiteral("115200 Bd"));
    EXPECT_EQ(d.ComboBox6->currentText(), QStringLiteral("even"));
    EXPECT_EQ(d.Edit7->text(), QStringLiteral("330"));
    EXPECT_EQ(d.Edit8->text(), QStringLiteral("255"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Converter connect"));
    EXPECT_EQ(d.Button1->text(), QStringLiteral("Connect"));
    EXPECT_EQ(d.Button2->text(), QStringLiteral("Cancel"));
}

TEST_F(ConnectionDialogTest, InterfaceOutsideListShowsLanAndIsStoredAsLan) {
    data.Pripojeni.Rozhrani = 7;
    TFormPripojeni d;
    show(d);
    EXPECT_EQ(d.ComboBox1->currentIndex(), ROZHRANI_LAN);
    EXPECT_EQ(data.Pripojeni.Rozhrani, ROZHRANI_LAN);
    EXPECT_TRUE(d.Edit1->isEnabled());
}

TEST_F(ConnectionDialogTest, CzechLanguageKeepsItsLetters) {
    data.Lang = LANG_CZ;
    TFormPripojeni d;
    show(d);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Připojení konvertoru"));
    EXPECT_EQ(d.Label6->text(), QStringLiteral("Číslo COM portu"));
    EXPECT_EQ(d.ComboBox4->itemText(0), QStringLiteral("žádná"));
    EXPECT_EQ(d.ComboBox4->itemText(2), QStringLiteral("lichá"));
    EXPECT_EQ(d.Panel1->text(), QStringLiteral(" Připojení neinicializováno"));
    // List items are the same in both languages.
    EXPECT_EQ(d.ComboBox1->itemText(2), QStringLiteral("USB COM port"));
    EXPECT_EQ(d.ComboBox3->itemText(6), QStringLiteral("115200 Bd"));
}

TEST_F(ConnectionDialogTest, CancelRightAfterOpeningResetsConnectionState) {
    data.Init = true;
    data.SPripojeni = "OK";
    const TPripojeni before = data.Pripojeni;
    TFormPripojeni d;
    d.Dat = &data;
    uitest::whenModalShown<TFormPripojeni>(
        [](TFormPripojeni* w) { QTest::mouseClick(w->Button2, Qt::LeftButton); });
    d.exec();
    EXPECT_FALSE(data.Init);
    EXPECT_EQ(data.SPripojeni, "Connection not initialized");
    EXPECT_EQ(d.Panel1->text(), QStringLiteral(" Connection not initialized"));
    EXPECT_EQ(data.Pripojeni, before);
}

TEST_F(ConnectionDialogTest, ListFallBackIsShownAfterConnect) {
    // Baud code 0 has no list entry: the list shows nothing, and Connect
    // falls back to 9600 Bd and shows it.
    data.Pripojeni.Rozhrani = ROZHRANI_COM;
    data.Pripojeni.COM_KodBaud = 0;
    data.Pripojeni.COM_CisloCOM = 200; // nothing there: the port cannot be opened
    platform::setSerialDeviceMap({{200, settings.folder().toStdString() + "/no-such-device"}});
    TFormPripojeni d;
    show(d);
    EXPECT_EQ(d.ComboBox3->currentIndex(), -1);
    QTest::mouseClick(d.Button1, Qt::LeftButton);
    EXPECT_EQ(d.Panel1->text(), QStringLiteral(" COM port error"));
    EXPECT_EQ(d.ComboBox3->currentText(), QStringLiteral("9600 Bd"));
    EXPECT_FALSE(data.Init);
}

TEST_F(ConnectionDialogTest, WhileAttemptRunsButtonsAreOffAndClosingWaits) {
    tksim::Config c;
    c.tftp.enabled = false;
    c.faults.delayMs = 150; // every identification answer late
    std::atomic<int> requests{0};
    c.log = [&requests](const std::string&) { ++requests; };
    tksim::Simulator sim(c);
    std::string error;
    ASSERT_TRUE(sim.start(&error)) << error;
    platform::setSerialDeviceMap({{4, sim.serialPath()}});
    data.Pripojeni.Rozhrani = ROZHRANI_COM;
    data.Pripojeni.COM_CisloCOM = 4;
    data.Pripojeni.COM_Timeout = 1000;

    TFormPripojeni d;
    d.Dat = &data;
    int ticksDuringExchanges = 0;
    bool closeTried = false;
    bool buttonsOffDuringAttempt = true;
    bool stillOpenAfterClose = false;
    bool secondPressIgnored = false;
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!d.attemptRunning()) {
            return;
        }
        buttonsOffDuringAttempt =
            buttonsOffDuringAttempt && !d.Button1->isEnabled() && !d.Button2->isEnabled();
        if (requests > 0) {
            ++ticksDuringExchanges;
        }
        if (!closeTried) {
            closeTried = true;
            d.close();
            stillOpenAfterClose = d.isVisible();
            d.Button1Click(); // must not start a second attempt
            secondPressIgnored = d.attemptRunning() &&
                                 d.Panel1->text() == QStringLiteral(" Initializing connection ...");
        }
    });
    uitest::whenModalShown<TFormPripojeni>([&](TFormPripojeni* w) {
        ticker.start();
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        if (w->isVisible()) {
            w->reject(); // the close during the attempt never came
        }
    });
    d.exec();
    ticker.stop();

    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(stillOpenAfterClose);
    EXPECT_TRUE(buttonsOffDuringAttempt);
    EXPECT_TRUE(secondPressIgnored);
    // The window kept processing its events while the converter was being
    // asked (five answers of 150 ms each), not only during the first pause.
    EXPECT_GE(ticksDuringExchanges, 3);
    EXPECT_TRUE(data.Init);
    EXPECT_EQ(d.Panel1->text(),
              QStringLiteral(
                  " Connection successfully initialized. Connected converter :  TK-7713T  v.1.05"));
    EXPECT_TRUE(d.Button1->isEnabled());
    EXPECT_TRUE(d.Button2->isEnabled());
}

} // namespace

namespace {

// Converter texts are bytes: one above 127 must reach the panel as that
// character, joined to the UTF-8 table text without being garbled.
TEST_F(ConnectionDialogTest, ConverterTextWithHighByteShowsAsItsCharacter) {
    tksim::Config c;
    c.tftp.port = 0;
    c.rtu.enabled = false;
    c.model.identity.version = "1.0\xB5";
    tksim::Simulator sim(c);
    std::string error;
    ASSERT_TRUE(sim.start(&error)) << error;
    data.Pripojeni.Rozhrani = ROZHRANI_LAN;
    data.Pripojeni.LAN_IP = "127.0.0.1:" + std::to_string(sim.tftpPort());

    TFormPripojeni d;
    show(d);
    d.Button1Click();
    EXPECT_TRUE(data.Init);
    EXPECT_EQ(d.Panel1->text(),
              QStringLiteral(" Connection successfully initialized. Connected converter :  "
                             "TK-7713T  v.1.0") +
                  QChar(0xB5));
}

} // namespace
