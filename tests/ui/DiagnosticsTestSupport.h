// Shared pieces of the diagnostics window tests: a fixture with the
// simulator, connected over the LAN or a pseudo-terminal as the parameter
// says, and pressing a button while a tick's transfer waits.
#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTimer>

#include "tools/SimHarness.h"
#include "ui/UiTestSupport.h"

namespace uitest {

enum class Link { Lan, Serial };

inline std::string linkName(const ::testing::TestParamInfo<Link>& p) {
    return p.param == Link::Lan ? "Lan" : "Serial";
}

class DiagnosticsTest : public ::testing::TestWithParam<Link> {
  protected:
    void SetUp() override {
        resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
        ASSERT_TRUE(sim.started()) << sim.error();
    }
    void TearDown() override {
        resetConverter();
        platform::setSerialDeviceMap({});
    }
    void connect(std::uint32_t timeoutMs = 1000) {
        if (GetParam() == Link::Lan) {
            connectLan(data, sim.lan(), static_cast<std::int32_t>(timeoutMs));
        } else {
            ASSERT_TRUE(connectSerial(data, sim.pty(), sim.sim().rtuAddress(), timeoutMs));
        }
    }

    TData data;
    harness::Sim sim;
};

// Clicks `button` from an event the waiting link processes, once a tick's
// transfer of `w` runs, and starts `pressed` at that moment. The running
// tick holds the event loop, so a plain wait for it would never return.
template <typename W> void pressDuringTick(W* w, QAbstractButton* button, QElapsedTimer& pressed) {
    auto* poll = new QTimer(w);
    QObject::connect(poll, &QTimer::timeout, [w, poll, button, &pressed] {
        if (w->tickRunning()) {
            poll->stop();
            pressed.start();
            button->click();
        }
    });
    poll->start(20);
}

} // namespace uitest
