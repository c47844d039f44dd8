// The connection initialization and the dialogs' write-and-verify against
// the converter simulator: over the LAN on a loopback port and over its
// pseudo-terminal mapped to a COM port number.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "sim/Simulator.h"
#include "workflow/NastaveniLogika.h"
#include "workflow/PripojeniLogika.h"

namespace {

constexpr int kComNumber = 42;

class SimulatorTest : public ::testing::Test {
  protected:
    void startSim(tksim::Config c = {}) {
        c.tftp.address = "127.0.0.1";
        c.tftp.port = 0;
        c.log = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        };
        sim_ = std::make_unique<tksim::Simulator>(c);
        std::string error;
        ASSERT_TRUE(sim_->start(&error)) << error;
        platform::setSerialDeviceMap({{kComNumber, sim_->serialPath()}});
        InitData(&dat);
        dat.TypVerze = "before";
        dat.Pripojeni.LAN_IP = "127.0.0.5";
        hooks.pause = [](std::uint32_t) {};
    }
    void TearDown() override {
        MBRTU_Zavri(tk.MBRTU);
        platform::setSerialDeviceMap({});
        sim_.reset();
    }
    std::size_t logged(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const std::string& l : log_) {
            n += l.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }
    ConnectionControls lan() {
        ConnectionControls c = ControlsForSettings(dat.Pripojeni);
        c.Interface = ROZHRANI_LAN;
        c.IpAddress = "127.0.0.1:" + std::to_string(sim_->tftpPort());
        c.LanTimeout = "300";
        return c;
    }
    ConnectionControls com() {
        ConnectionControls c = ControlsForSettings(dat.Pripojeni);
        c.Interface = ROZHRANI_COM;
        c.Com = SerialControls{std::to_string(kComNumber), 2, PARITA_SUDA, "200", "247"};
        return c;
    }
    ConnectionResult connect(const ConnectionControls& c) {
        return InicializacePripojeni(c, &dat, tk, LANG_EN, hooks);
    }

    std::unique_ptr<tksim::Simulator> sim_;
    std::mutex mutex_;
    std::vector<std::string> log_;
    TData dat;
    TTK7713T tk;
    ConnectionHooks hooks;
};

TEST_F(SimulatorTest, LanSuccessSetsEveryField) {
    startSim();
    dat.Par.fill(3);
    const ConnectionControls c = lan();
    const ConnectionResult r = connect(c);
    ASSERT_EQ(r.Outcome, ConnectionOutcome::Connected) << r.StatusTexts.back();
    EXPECT_EQ(r.StatusTexts,
              (std::vector<std::string>{
                  "Initializing connection ...",
                  "Connection successfully initialized. Connected converter :  TK-7713T  v.1.05"}));
    EXPECT_TRUE(dat.Init);
    EXPECT_EQ(dat.SPripojeni, "OK");
    EXPECT_EQ(dat.TypVerze, "TK-7713T  v.1.05");
    EXPECT_EQ(dat.TypModulu, "TK-7713T");
    EXPECT_EQ(dat.VerzeModulu, "1.05");
    EXPECT_EQ(dat.VyrCislo, "24070001");
    EXPECT_EQ(dat.Par, TPar{});
    EXPECT_EQ(dat.Pripojeni.Rozhrani, ROZHRANI_LAN);
    EXPECT_EQ(dat.Pripojeni.LAN_IP, c.IpAddress);
    EXPECT_EQ(dat.Pripojeni.LAN_Timeout, 300);
    EXPECT_TRUE(tk.Init);
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_LAN);
}

TEST_F(SimulatorTest, ComSuccessOverThePseudoTerminal) {
    startSim();
    const ConnectionResult r = connect(com());
    ASSERT_EQ(r.Outcome, ConnectionOutcome::Connected) << r.StatusTexts.back();
    EXPECT_EQ(dat.VyrCislo, "24070001");
    EXPECT_EQ(dat.Pripojeni.COM_CisloCOM, kComNumber);
    EXPECT_EQ(dat.Pripojeni.COM_Adresa, 247);
    EXPECT_EQ(logged("0x45 identify"), 5u);
}

TEST_F(SimulatorTest, UsbUsesAddress255) {
    tksim::Config c;
    c.rtu.address = 255;
    c.rtu.baudCode = 8;
    startSim(c);
    ConnectionControls u = ControlsForSettings(dat.Pripojeni);
    u.Interface = ROZHRANI_USBCOM;
    u.UsbCom.PortNumber = std::to_string(kComNumber);
    const ConnectionResult r = connect(u);
    ASSERT_EQ(r.Outcome, ConnectionOutcome::Connected) << r.StatusTexts.back();
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_USBCOM);
    EXPECT_EQ(dat.Pripojeni.USBCOM_CisloCOM, kComNumber);
}

TEST_F(SimulatorTest, FailingThirdExchangeSendsNoFourth) {
    tksim::Config c;
    c.faults.dropEvery = 3;
    startSim(c);
    const TPripojeni before = dat.Pripojeni;
    const ConnectionResult r = connect(com());
    EXPECT_EQ(r.Outcome, ConnectionOutcome::ConnectionError);
    EXPECT_EQ(r.StatusTexts.back(), "Converter connection error");
    EXPECT_EQ(r.ExchangesSent, 3);
    EXPECT_EQ(logged("identify item 10"), 0u);
    EXPECT_EQ(logged("identify item 11"), 0u);
    EXPECT_EQ(dat.TypVerze, "before");
    EXPECT_EQ(dat.Pripojeni, before);
    EXPECT_FALSE(dat.Init);
    EXPECT_TRUE(tk.Init) << "the port stays set up for the next attempt to close";
}

TEST_F(SimulatorTest, NoAnswerOnEitherInterface) {
    tksim::Config c;
    c.faults.dropEvery = 1;
    startSim(c);
    const TPripojeni before = dat.Pripojeni;
    EXPECT_EQ(connect(lan()).StatusTexts.back(), "Converter connection error");
    EXPECT_EQ(connect(com()).StatusTexts.back(), "Converter connection error");
    EXPECT_EQ(dat.Pripojeni, before);
    EXPECT_EQ(dat.SPripojeni, "Connection not initialized");
}

struct IdentityCase {
    tksim::Identity identity;
    ConnectionOutcome outcome;
    std::string last;
};

class ReportedBySimulator : public SimulatorTest,
                            public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(ReportedBySimulator, SameVerdictOnBothInterfaces) {
    tksim::Config c;
    c.model.identity = GetParam().identity;
    startSim(c);
    for (const ConnectionControls& controls : {lan(), com()}) {
        const ConnectionResult r = connect(controls);
        EXPECT_EQ(r.Outcome, GetParam().outcome);
        EXPECT_EQ(r.StatusTexts.back(), GetParam().last);
        EXPECT_EQ(dat.TypVerze, "before");
        EXPECT_FALSE(dat.Init);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Identities, ReportedBySimulator,
    ::testing::Values(
        IdentityCase{{"TK-7713T", "1.10", "1"},
                     ConnectionOutcome::UnsupportedVersion,
                     "The version of the connected converter is not supported by the program - "
                     "TK-7713T  v.1.10"},
        IdentityCase{
            {"TK-7711T", "1.05", "1"},
            ConnectionOutcome::UnsupportedType,
            "The connected converter is not supported by the program - TK-7711T  v.1.05"}));

// ---- Write-and-verify ----

TEST_F(SimulatorTest, WriteVerifiesOverBothInterfaces) {
    startSim();
    for (const ConnectionControls& controls : {lan(), com()}) {
        ASSERT_EQ(connect(controls).Outcome, ConnectionOutcome::Connected);
        TCFGTK cfg = VychoziCFGTK();
        ASSERT_TRUE(PrectiOkno(UartmControls{6, 0, "1000", "3"}, cfg, LANG_EN).Accepted);
        std::vector<std::string> shown;
        DialogHooks h;
        h.showStatus = [&](const std::string& s) { shown.push_back(s); };
        const WriteResult w = ZapisData(ConfigDialog::Uartm, cfg, &dat, tk, LANG_EN, h);
        EXPECT_EQ(w.Outcome, WriteOutcome::Written);
        EXPECT_EQ(shown,
                  (std::vector<std::string>{" Write in progress ...", " Read in progress ...",
                                            " Configuration read successfully",
                                            " Configuration write successfully"}));
        EXPECT_EQ(w.StatusLines, shown);
        EXPECT_EQ(w.ReadBack.UARTM, (TCFG_UARTM{8, 0, 1000, 3}));
        EXPECT_EQ(sim_->model().read(tksim::SimFile::Uartm),
                  (std::vector<std::uint8_t>{0x08, 0x00, 0xE8, 0x03, 0x03, 0x0A}));

        TCFGTK fresh = VychoziCFGTK();
        EXPECT_EQ(PrectiData(ConfigDialog::Uartm, fresh, &dat, tk, LANG_EN).Outcome,
                  ReadOutcome::Read);
        EXPECT_EQ(fresh.UARTM, cfg.UARTM);
        sim_->model().write(tksim::SimFile::Uartm,
                            std::vector<std::uint8_t>{0x04, 0x01, 0x4A, 0x01, 0x00, 0xB0});
    }
}

TEST_F(SimulatorTest, IgnoredWriteIsAVerificationError) {
    tksim::Config c;
    c.faults.ignoreWrites = true;
    startSim(c);
    ASSERT_EQ(connect(com()).Outcome, ConnectionOutcome::Connected);
    TCFGTK cfg = VychoziCFGTK();
    cfg.UARTS.Repeater = 1;
    const WriteResult w = ZapisData(ConfigDialog::Uarts, cfg, &dat, tk, LANG_EN);
    EXPECT_EQ(w.Outcome, WriteOutcome::VerificationError);
    EXPECT_EQ(w.StatusLines.back(), " Write verification error");
    EXPECT_TRUE(w.ReadBackDone);
    EXPECT_EQ(w.ReadBack.UARTS.Repeater, 0);
}

TEST_F(SimulatorTest, RefusedWriteIsAConnectionErrorWithoutReadBack) {
    tksim::Config c;
    c.faults.refuseWrites = true;
    startSim(c);
    ASSERT_EQ(connect(lan()).Outcome, ConnectionOutcome::Connected);
    const WriteResult w = ZapisData(ConfigDialog::Mbtcp, VychoziCFGTK(), &dat, tk, LANG_CZ);
    EXPECT_EQ(w.Outcome, WriteOutcome::ConnectionError);
    EXPECT_EQ(w.StatusLines,
              (std::vector<std::string>{" Probíhá zápis ...", " Chyba spojení s konvertorem"}));
    EXPECT_FALSE(w.ReadBackDone);
}

} // namespace
