// Converter information window against the in-process simulator, over
// loopback TFTP and a pseudo-terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>

#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "ui/DiagSystem.h"
#include "ui/DiagnosticsTestSupport.h"

namespace {

// sys.bin with edge values: firmware text with a byte above 127, MAC bytes
// below 16, IP bytes without leading zeros, the largest run time.
std::vector<std::uint8_t> sysImage() {
    std::vector<std::uint8_t> b(392, 0);
    const std::string fw = "TK-7713T FW 1.05 \xE9";
    std::copy(fw.begin(), fw.end(), b.begin());
    const std::uint8_t mac[] = {0x0A, 0x00, 0x1B, 0xFF, 0x05, 0xC0};
    std::copy(std::begin(mac), std::end(mac), b.begin() + 120);
    const std::uint8_t ip[] = {10, 0, 0, 5};
    std::copy(std::begin(ip), std::end(ip), b.begin() + 128);
    for (int i = 0; i < 4; ++i) {
        b[240 + static_cast<std::size_t>(i)] = 0xFF;
    }
    return b;
}

class DiagSystemTest : public uitest::DiagnosticsTest {
  protected:
    static QString status(TFormDiagPrehled& w) { return w.StatusBar1->text(); }
    static QString value(TFormDiagPrehled& w, int row) {
        return w.StringGrid1->item(row, 1)->text();
    }
};

TEST_P(DiagSystemTest, ShowsTheFormattedRowsAndKeepsThemWhenAReadFails) {
    TFormDiagPrehled w;
    w.Dat = &data;
    w.show();
    EXPECT_EQ(w.StringGrid1->item(5, 0)->text(), QStringLiteral("Run time [sec]"));
    ASSERT_TRUE(uitest::waitUntil(
        [&] { return status(w) == QStringLiteral(" Connection not initialized"); }));
    EXPECT_EQ(value(w, 0), QString());

    sim.model().setImage(tksim::SimFile::Sys, sysImage());
    connect();
    ASSERT_TRUE(uitest::waitUntil([&] { return status(w) == QStringLiteral(" OK"); }));
    // Shown up to the zero bytes that pad it; the loader text is all zeros.
    EXPECT_EQ(value(w, 0), QString::fromLatin1("TK-7713T FW 1.05 \xE9"));
    EXPECT_EQ(value(w, 1), QString());
    EXPECT_EQ(value(w, 3), QStringLiteral("0A:00:1B:FF:05:C0"));
    EXPECT_EQ(value(w, 4), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(value(w, 5), QStringLiteral("4294967295 (49710:06:28:15)"));

    tksim::Faults f;
    f.refuseReadsOf = "sys.bin";
    sim.sim().setFaults(f);
    ASSERT_TRUE(uitest::waitUntil(
        [&] { return status(w) == QStringLiteral(" Converter connection error"); }));
    EXPECT_EQ(value(w, 3), QStringLiteral("0A:00:1B:FF:05:C0"));
    EXPECT_EQ(value(w, 5), QStringLiteral("4294967295 (49710:06:28:15)"));
    w.reject();
}

// Restarting the converter over its USB port re-creates the port. The
// polling window reports the error while the port is away and reads again,
// on the same connection, once a simulator is back on the same path.
TEST(DiagSystemRestartedPort, ReadsAgainOnceTheSimulatorIsBackOnItsLink) {
    char dir[] = "/tmp/tk_diag_restart_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tksim::Config config;
    config.tftp.enabled = false;
    config.rtu.linkPath = std::string(dir) + "/converter";
    auto sim = std::make_unique<harness::Sim>(config);
    ASSERT_TRUE(sim->started()) << sim->error();
    uitest::resetConverter();
    TData data;
    InitData(&data);
    data.Lang = LANG_EN;
    ASSERT_TRUE(uitest::connectSerial(data, config.rtu.linkPath, sim->sim().rtuAddress(), 300));
    const platform::SerialHandle handle = Konvertor.MBRTU.ID.HNDL;
    {
        TFormDiagPrehled w;
        w.Dat = &data;
        w.show();
        auto status = [&w] { return w.StatusBar1->text(); };
        EXPECT_TRUE(uitest::waitUntil([&] { return status() == QStringLiteral(" OK"); }));
        sim.reset();
        EXPECT_TRUE(uitest::waitUntil(
            [&] { return status() == QStringLiteral(" Converter connection error"); }));
        sim = std::make_unique<harness::Sim>(config);
        ASSERT_TRUE(sim->started()) << sim->error();
        EXPECT_TRUE(uitest::waitUntil([&] { return status() == QStringLiteral(" OK"); }));
        w.reject();
    }
    EXPECT_EQ(Konvertor.MBRTU.ID.HNDL, handle);
    uitest::resetConverter();
    platform::setSerialDeviceMap({});
    sim.reset();
    rmdir(dir);
}

INSTANTIATE_TEST_SUITE_P(Links, DiagSystemTest,
                         ::testing::Values(uitest::Link::Lan, uitest::Link::Serial),
                         uitest::linkName);

} // namespace
