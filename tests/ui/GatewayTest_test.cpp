// The "Modbus gateway test" window against the simulator's gateway on
// loopback: Send fills the table, failures change nothing else, a serial
// connection is refused, Cancel ends a request to a silent unit at once,
// Repeat and Stop.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "tools/GatewayPeer.h"
#include "ui/GatewayTest.h"
#include "ui/UiTestSupport.h"

namespace {

class GatewayTestWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        uitest::resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
        ASSERT_TRUE(gateway.started()) << gateway.error();
    }
    void TearDown() override { uitest::resetConverter(); }

    // Connected over the LAN, as the connection dialog leaves it.
    void connect(std::int32_t timeoutMs = 2000) {
        uitest::connectLan(data, gateway.lan(), 1000);
        data.Pripojeni.Rozhrani = ROZHRANI_LAN;
        data.Pripojeni.LAN_IP = gateway.lan();
        data.Pripojeni.LAN_Timeout = timeoutMs;
    }
    // The master line's timeout, written to uartm.cfg as the dialog does.
    void setLineTimeout(std::uint16_t ms) {
        TTK7713T_UartmCfg u;
        ASSERT_TRUE(TK7713T_PrectiUartm(Konvertor, u));
        u.Timeout = ms;
        ASSERT_TRUE(TK7713T_ZapisUartm(Konvertor, u));
    }
    void open(TFormGatewayTest& w) {
        w.Dat = &data;
        w.show();
        w.PortEdit->setText(QString::number(gateway.mbtcpPort()));
    }
    static void send(TFormGatewayTest& w) { QTest::mouseClick(w.SendButton, Qt::LeftButton); }
    static QStringList row(TFormGatewayTest& w, int r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c) {
            cells << w.ResultTable->item(r, c)->text();
        }
        return cells;
    }

    TData data;
    harness::GatewayPeer gateway;
};

TEST_F(GatewayTestWindow, SendOverTheLanFillsTheTableAndAFailureChangesNothingElse) {
    connect();
    TFormGatewayTest w;
    open(w);
    send(w);
    EXPECT_EQ(w.StatusBar1->text(), QStringLiteral(" OK"));
    ASSERT_EQ(w.ResultTable->rowCount(), 10);
    EXPECT_EQ(row(w, 0), (QStringList{"0", "1000", "0x03E8"}));
    EXPECT_EQ(row(w, 9), (QStringList{"9", "1009", "0x03F1"}));
    EXPECT_EQ(w.RequestHex->text(), QStringLiteral("00 00 00 00 00 06 01 03 00 00 00 0A"));
    EXPECT_TRUE(
        w.AnswerHex->text().startsWith(QStringLiteral("00 00 00 00 00 17 01 03 14 03 E8 03 E9")));
    EXPECT_TRUE(w.RoundTripValue->text().endsWith(QStringLiteral(" ms")));

    w.AddressEdit->setText(QStringLiteral("995"));
    send(w);
    EXPECT_EQ(w.StatusBar1->text(), QStringLiteral(" Exception 0x02 (illegal data address)"));
    EXPECT_TRUE(w.Explanation->text().startsWith(QStringLiteral(
        "Exception 0x02 (illegal data address): The unit has no data at these addresses")));
    EXPECT_EQ(w.AnswerHex->text(), QStringLiteral("00 00 00 00 00 03 01 83 02"));
    EXPECT_EQ(row(w, 0), (QStringList{"0", "1000", "0x03E8"}));

    setLineTimeout(20);
    w.UnitEdit->setText(QStringLiteral("9"));
    w.AddressEdit->setText(QStringLiteral("0"));
    send(w);
    EXPECT_TRUE(w.Explanation->text().contains(QStringLiteral(
        "- the slave's speed, parity or address differ from the master line's settings "
        "(uartm.cfg: 9600 Bd, even parity, timeout 20 ms, 0 retries)")))
        << w.Explanation->text().toStdString();
    EXPECT_EQ(w.ResultTable->rowCount(), 10);

    w.UnitEdit->setText(QStringLiteral("0"));
    send(w);
    EXPECT_EQ(w.StatusBar1->text(),
              QStringLiteral(" Unit id 0 (broadcast) is for writes only (reads: 1-255)"));
    EXPECT_EQ(w.requestsSent(), 3u);
    w.reject();
}

TEST_F(GatewayTestWindow, RefusesWithoutTheLanConnection) {
    TFormGatewayTest w;
    open(w);
    send(w);
    EXPECT_EQ(w.StatusBar1->text(), QStringLiteral(" Connection not initialized"));
    // Connected over a COM port: the gateway test needs the LAN.
    Konvertor.Rozhrani = ROZHRANI_COM;
    Konvertor.Init = true;
    data.Init = true;
    send(w);
    EXPECT_EQ(w.StatusBar1->text(), QStringLiteral(" The gateway test needs the LAN connection"));
    QTest::mouseClick(w.RepeatButton, Qt::LeftButton);
    EXPECT_FALSE(w.repeating());
    EXPECT_EQ(w.RepeatButton->text(), QStringLiteral("Repeat"));
    EXPECT_EQ(w.requestsSent(), 0u);
    EXPECT_TRUE(w.RequestHex->text().isEmpty());
    w.reject();
}

// The master line waits a minute for unit 9; Cancel does not.
TEST_F(GatewayTestWindow, CancelWhileTheUnitIsSilentClosesAtOnce) {
    connect(65000);
    setLineTimeout(60000);
    TFormGatewayTest w;
    open(w);
    w.UnitEdit->setText(QStringLiteral("9"));
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&w, poll] {
        if (w.requestRunning()) {
            poll->stop();
            QTest::mouseClick(w.CancelButton, Qt::LeftButton);
        }
    });
    poll->start(20);
    send(w);
    EXPECT_EQ(w.lastStatus(), ModbusStatus::Aborted);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST_F(GatewayTestWindow, RepeatSendsUntilStop) {
    connect();
    TFormGatewayTest w;
    open(w);
    w.IntervalEdit->setText(QStringLiteral("10"));
    QTest::mouseClick(w.RepeatButton, Qt::LeftButton);
    EXPECT_EQ(w.RepeatButton->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(w.SendButton->isEnabled());
    ASSERT_TRUE(uitest::waitUntil([&] { return w.requestsSent() >= 3; }));
    QTest::mouseClick(w.RepeatButton, Qt::LeftButton);
    ASSERT_TRUE(uitest::waitUntil([&] { return !w.requestRunning(); }));
    const std::uint32_t sent = w.requestsSent();
    uitest::runEventsFor(100);
    EXPECT_EQ(w.requestsSent(), sent);
    EXPECT_FALSE(w.repeating());
    EXPECT_EQ(w.RepeatButton->text(), QStringLiteral("Repeat"));
    EXPECT_TRUE(w.SendButton->isEnabled());
    EXPECT_EQ(w.StatusBar1->text(), QStringLiteral(" OK"));
    w.reject();
}

} // namespace
