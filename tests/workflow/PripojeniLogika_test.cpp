// The connection initialization against a scripted serial device (byte
// level) and a one-shot TFTP server on loopback.
#include "workflow/PripojeniLogika.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/Udp.h"
#include "support/FakeClock.h"
#include "support/ScriptedSerialPort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using support::ScriptedSerialPort;

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = MBRTU_CRC16(frame.data(), static_cast<std::uint32_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// A converter's answer to one identification request: four header bytes,
// then message bytes whose bytes 4-7 are the item's characters.
Bytes identificationAnswer(std::uint8_t address, std::uint8_t item, const std::string& chars,
                           std::size_t messageBytes = 8) {
    Bytes f{address, 0x45, 0x00, static_cast<std::uint8_t>(messageBytes)};
    Bytes msg{address, 0xC8, item, 0x00};
    for (char c : chars) {
        msg.push_back(static_cast<std::uint8_t>(c));
    }
    msg.resize(messageBytes, 0);
    f.insert(f.end(), msg.begin(), msg.end());
    return withCrc(f);
}

enum class Fault { None, Silent, Exception, BadCrc, ShortAnswer };

// Plays the converter: answers each 0x45 request from a table of items.
struct ScriptedConverter {
    std::map<std::uint8_t, std::string> items{
        {0x00, "TK-7"}, {0x01, "713T"}, {0x02, "1.05"}, {0x0A, "2407"}, {0x0B, "0001"}};
    int failAt = 0; // 1-based exchange that fails, 0 none
    Fault fault = Fault::None;
    int seen = 0;

    ScriptedSerialPort::Answer operator()(const Bytes& request) {
        ++seen;
        if (request.size() < 8 || request[1] != 0x45) {
            return {};
        }
        const std::uint8_t address = request[0];
        const std::uint8_t item = request[6];
        Bytes answer = identificationAnswer(address, item, items[item]);
        if (seen == failAt) {
            switch (fault) {
            case Fault::None:
                break;
            case Fault::Silent:
                return {};
            case Fault::Exception:
                answer = withCrc({address, 0xC5, 0x01});
                break;
            case Fault::BadCrc:
                answer.back() ^= 0xFF;
                break;
            case Fault::ShortAnswer:
                answer = identificationAnswer(address, item, items[item], 7);
                break;
            }
        }
        return {ScriptedSerialPort::Piece{3, answer}};
    }
};

Bytes hex(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) {
        b.push_back(static_cast<std::uint8_t>(x));
    }
    return b;
}

TPripojeni sentinelSettings() {
    TPripojeni p = VychoziPripojeni();
    p.Rozhrani = ROZHRANI_COM;
    p.LAN_IP = "127.0.0.9";
    p.LAN_Timeout = 777;
    p.COM_CisloCOM = 4;
    p.COM_KodBaud = 5;
    p.COM_KodParita = PARITA_LICHA;
    p.COM_Timeout = 111;
    p.COM_Adresa = 12;
    p.USBCOM_CisloCOM = 6;
    return p;
}

class ConnectionTest : public ::testing::Test {
  protected:
    support::FakeClock clock;
    support::UdpWaitsAdvance udpWaits{clock};
    ScriptedSerialPort port{clock};
    ScriptedConverter converter;
    TData dat;
    TTK7713T tk;
    std::vector<std::string> events;
    ConnectionHooks hooks;

    void SetUp() override {
        InitData(&dat);
        dat.Pripojeni = sentinelSettings();
        dat.TypVerze = "before";
        dat.TypModulu = "type before";
        dat.VerzeModulu = "v before";
        dat.VyrCislo = "sn before";
        dat.SPripojeni = "OK";
        dat.Init = true;
        dat.Par.fill(9);
        tk.TFTP.CFG.AdresaIP = "kept";
        port.setResponder(std::ref(converter));
        hooks.showStatus = [this](const std::string& s, const std::string& converterText) {
            events.push_back("show " + s + converterText);
        };
        hooks.pause = [this](std::uint32_t ms) {
            events.push_back("pause " + std::to_string(ms));
            clock.advance(ms);
        };
    }
    void TearDown() override { MBRTU_Zavri(tk.MBRTU); }

    ConnectionControls comControls() {
        ConnectionControls c = ControlsForSettings(dat.Pripojeni);
        c.Interface = ROZHRANI_COM;
        c.Com = SerialControls{"7", 6, PARITA_SUDA, "100", "1"};
        return c;
    }
    ConnectionResult run(const ConnectionControls& c, std::int32_t lang = LANG_EN) {
        return InicializacePripojeni(c, &dat, tk, lang, hooks);
    }
    // What every failed attempt must leave in TData.
    void expectFailedAttemptState() {
        EXPECT_FALSE(dat.Init);
        EXPECT_EQ(dat.SPripojeni, "Connection not initialized");
        EXPECT_EQ(dat.Par, TPar{});
        EXPECT_EQ(dat.Pripojeni, sentinelSettings());
        EXPECT_EQ(dat.TypVerze, "before");
        EXPECT_EQ(dat.TypModulu, "type before");
        EXPECT_EQ(dat.VerzeModulu, "v before");
        EXPECT_EQ(dat.VyrCislo, "sn before");
    }
};

TEST_F(ConnectionTest, ComSuccessSendsFiveExchangesAndSetsEveryField) {
    const ConnectionResult r = run(comControls());
    EXPECT_EQ(r.Outcome, ConnectionOutcome::Connected);
    const std::vector<Bytes> expected{
        hex({0x01, 0x45, 0x00, 0x08, 0x01, 0xC8, 0x00, 0, 0, 0, 0, 0, 0x32, 0x0C}),
        hex({0x01, 0x45, 0x00, 0x08, 0x01, 0xC8, 0x01, 0, 0, 0, 0, 0, 0x33, 0xDD}),
        hex({0x01, 0x45, 0x00, 0x08, 0x01, 0xC8, 0x02, 0, 0, 0, 0, 0, 0x33, 0xEE}),
        hex({0x01, 0x45, 0x00, 0x08, 0x01, 0xC8, 0x0A, 0, 0, 0, 0, 0, 0x32, 0xA6}),
        hex({0x01, 0x45, 0x00, 0x08, 0x01, 0xC8, 0x0B, 0, 0, 0, 0, 0, 0x33, 0x77})};
    EXPECT_EQ(port.writes(), expected);
    EXPECT_EQ(r.ExchangesSent, 5);
    EXPECT_EQ(port.lastComNumber(), 7);
    EXPECT_EQ(port.lastSettings().baudRate, 115200);
    EXPECT_EQ(port.lastSettings().parityCode, PARITA_SUDA);

    EXPECT_EQ(events, (std::vector<std::string>{
                          "show Initializing connection ...", "pause 100",
                          "show Connection successfully initialized. Connected converter :  "
                          "TK-7713T  v.1.05"}));
    EXPECT_EQ(r.StatusTexts.size(), 2u);
    EXPECT_TRUE(dat.Init);
    EXPECT_EQ(dat.SPripojeni, "OK");
    EXPECT_EQ(dat.TypVerze, "TK-7713T  v.1.05");
    EXPECT_EQ(dat.TypModulu, "TK-7713T");
    EXPECT_EQ(dat.VerzeModulu, "1.05");
    EXPECT_EQ(dat.VyrCislo, "24070001");
    EXPECT_EQ(dat.Par, TPar{});
    TPripojeni p = sentinelSettings();
    p.Rozhrani = ROZHRANI_COM;
    p.COM_CisloCOM = 7;
    p.COM_KodBaud = 8;
    p.COM_KodParita = PARITA_SUDA;
    p.COM_Timeout = 100;
    p.COM_Adresa = 1;
    EXPECT_EQ(dat.Pripojeni, p) << "the other interfaces' settings must be kept";

    EXPECT_TRUE(tk.Init);
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_COM);
    EXPECT_EQ(tk.MBRTU.CFG.Adresa, 1);
    EXPECT_NE(tk.MBRTU.ID.HNDL, 0u);
    EXPECT_EQ(tk.TFTP.CFG.AdresaIP, "kept");
    EXPECT_EQ(r.Corrections, ListCorrections{});
}

TEST_F(ConnectionTest, UsbSuccessUsesTheUsbColumnOnly) {
    ConnectionControls c = ControlsForSettings(dat.Pripojeni);
    c.Interface = ROZHRANI_USBCOM;
    c.UsbCom.PortNumber = "255";
    const ConnectionResult r = run(c);
    ASSERT_EQ(r.Outcome, ConnectionOutcome::Connected);
    EXPECT_EQ(port.lastComNumber(), 255);
    EXPECT_EQ(port.writes().front().front(), 0xFF) << "fixed USB address 255";
    TPripojeni p = sentinelSettings();
    p.Rozhrani = ROZHRANI_USBCOM;
    p.USBCOM_CisloCOM = 255;
    p.USBCOM_KodBaud = 8;
    p.USBCOM_KodParita = PARITA_SUDA;
    p.USBCOM_Timeout = 330;
    p.USBCOM_Adresa = 255;
    EXPECT_EQ(dat.Pripojeni, p);
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_USBCOM);
}

struct ExchangeFailure {
    int failAt;
    Fault fault;
};

std::string exchangeFailureName(const ::testing::TestParamInfo<ExchangeFailure>& info) {
    static const char* const faults[] = {"None", "Silent", "Exception", "BadCrc", "ShortAnswer"};
    return "Exchange" + std::to_string(info.param.failAt) +
           faults[static_cast<int>(info.param.fault)];
}

class FailingExchange : public ConnectionTest,
                        public ::testing::WithParamInterface<ExchangeFailure> {};

TEST_P(FailingExchange, StopsAtOnceAndKeepsTheIdentity) {
    converter.failAt = GetParam().failAt;
    converter.fault = GetParam().fault;
    const ConnectionResult r = run(comControls());
    EXPECT_EQ(r.Outcome, ConnectionOutcome::ConnectionError);
    EXPECT_EQ(r.StatusTexts.back(), "Converter connection error");
    EXPECT_EQ(port.writes().size(), static_cast<std::size_t>(GetParam().failAt))
        << "no exchange may follow a failed one";
    EXPECT_EQ(r.ExchangesSent, GetParam().failAt);
    expectFailedAttemptState();
    EXPECT_TRUE(tk.Init);
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_COM);
    EXPECT_NE(tk.MBRTU.ID.HNDL, 0u) << "the port stays open with the new settings";
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, FailingExchange,
    ::testing::Values(ExchangeFailure{3, Fault::Silent}, ExchangeFailure{1, Fault::Silent},
                      ExchangeFailure{5, Fault::Silent}, ExchangeFailure{3, Fault::Exception},
                      ExchangeFailure{2, Fault::BadCrc}, ExchangeFailure{1, Fault::ShortAnswer},
                      ExchangeFailure{4, Fault::ShortAnswer}),
    exchangeFailureName);

struct Reported {
    std::string type2; // characters 5-8 of the type
    std::string version;
    ConnectionOutcome outcome;
    std::string last;
};

class ReportedIdentity : public ConnectionTest, public ::testing::WithParamInterface<Reported> {};

TEST_P(ReportedIdentity, TypeThenVersionChecked) {
    converter.items[0x01] = GetParam().type2;
    converter.items[0x02] = GetParam().version;
    const ConnectionResult r = run(comControls());
    EXPECT_EQ(r.Outcome, GetParam().outcome);
    EXPECT_EQ(r.StatusTexts.back(), GetParam().last);
    EXPECT_EQ(port.writes().size(), 5u);
    if (GetParam().outcome != ConnectionOutcome::Connected) {
        expectFailedAttemptState();
        EXPECT_TRUE(tk.Init);
    }
}

const std::string kType = "The connected converter is not supported by the program - ";
const std::string kVersion =
    "The version of the connected converter is not supported by the program - ";
const std::string kOk = "Connection successfully initialized. Connected converter :  ";

INSTANTIATE_TEST_SUITE_P(
    Identities, ReportedIdentity,
    ::testing::Values(
        Reported{"713T", "1.10", ConnectionOutcome::UnsupportedVersion,
                 kVersion + "TK-7713T  v.1.10"},
        Reported{"713T", "3.00", ConnectionOutcome::UnsupportedVersion,
                 kVersion + "TK-7713T  v.3.00"},
        Reported{"713X", "1.05", ConnectionOutcome::UnsupportedType, kType + "TK-7713X  v.1.05"},
        Reported{"713X", "9.99", ConnectionOutcome::UnsupportedType, kType + "TK-7713X  v.9.99"},
        Reported{std::string("713\0", 4), "1.05", ConnectionOutcome::UnsupportedType,
                 kType + std::string("TK-7713\0  v.1.05", 16)},
        Reported{"713t", "1.05", ConnectionOutcome::UnsupportedType, kType + "TK-7713t  v.1.05"},
        Reported{"713T", "0.08", ConnectionOutcome::Connected, kOk + "TK-7713T  v.0.08"},
        Reported{"713T", "2.0x", ConnectionOutcome::Connected, kOk + "TK-7713T  v.2.0x"}));

TEST_F(ConnectionTest, PortThatCannotBeOpened) {
    port.setOpenable(false);
    ConnectionResult r = run(comControls());
    EXPECT_EQ(r.Outcome, ConnectionOutcome::PortError);
    EXPECT_EQ(r.StatusTexts.back(), "COM port error");
    ConnectionControls usb = comControls();
    usb.Interface = ROZHRANI_USBCOM;
    r = run(usb);
    EXPECT_EQ(r.StatusTexts.back(), "USB COM port error");
    EXPECT_TRUE(port.writes().empty());
    expectFailedAttemptState();
    EXPECT_FALSE(tk.Init);
    EXPECT_EQ(tk.MBRTU.ID.HNDL, 0u);
}

// ---- Validation: messages in the order of the fields ----

struct InvalidCase {
    const char* name;
    std::function<void(ConnectionControls&)> change;
    const char* message;
};

class InvalidInput : public ConnectionTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidInput, StopsWithTheFieldsMessageAndTouchesNoTransport) {
    // An earlier successful serial connection leaves a port open.
    ASSERT_EQ(run(comControls()).Outcome, ConnectionOutcome::Connected);
    const int opensBefore = port.openCount();
    const std::size_t writesBefore = port.writes().size();
    dat.Pripojeni = sentinelSettings();
    dat.TypVerze = "before";
    dat.TypModulu = "type before";
    dat.VerzeModulu = "v before";
    dat.VyrCislo = "sn before";
    events.clear();

    ConnectionControls c = comControls();
    GetParam().change(c);
    const ConnectionResult r = run(c);
    EXPECT_EQ(r.Outcome, ConnectionOutcome::InvalidInput);
    EXPECT_EQ(r.StatusTexts,
              (std::vector<std::string>{"Initializing connection ...", GetParam().message}));
    EXPECT_EQ(events.size(), 3u);
    expectFailedAttemptState();
    EXPECT_FALSE(tk.Init);
    EXPECT_EQ(tk.MBRTU.ID.HNDL, 0u) << "the earlier port must be closed";
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.openCount(), opensBefore);
    EXPECT_EQ(port.writes().size(), writesBefore);
    EXPECT_EQ(tk.TFTP.CFG.AdresaIP, "kept");
}

void lan(ConnectionControls& c, const char* ip, const char* timeout) {
    c.Interface = ROZHRANI_LAN;
    c.IpAddress = ip;
    c.LanTimeout = timeout;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, InvalidInput,
    ::testing::Values(
        InvalidCase{"EmptyIp", [](ConnectionControls& c) { lan(c, "", "1000"); },
                    "Invalid IP address"},
        InvalidCase{"EmptyIpBeforeTimeout", [](ConnectionControls& c) { lan(c, "", "x"); },
                    "Invalid IP address"},
        InvalidCase{"LanTimeout0", [](ConnectionControls& c) { lan(c, "127.0.0.1", "0"); },
                    "Invalid LAN timeout (1-65535 ms)"},
        InvalidCase{"LanTimeout65536", [](ConnectionControls& c) { lan(c, "127.0.0.1", "65536"); },
                    "Invalid LAN timeout (1-65535 ms)"},
        InvalidCase{"LanTimeoutNegative", [](ConnectionControls& c) { lan(c, "127.0.0.1", "-5"); },
                    "Invalid LAN timeout (1-65535 ms)"},
        InvalidCase{"LanTimeoutText", [](ConnectionControls& c) { lan(c, "127.0.0.1", "1s"); },
                    "Invalid LAN timeout (1-65535 ms)"},
        InvalidCase{"ComNumber0", [](ConnectionControls& c) { c.Com.PortNumber = "0"; },
                    "Invalid COM port number (1-255)"},
        InvalidCase{"ComNumber256", [](ConnectionControls& c) { c.Com.PortNumber = "256"; },
                    "Invalid COM port number (1-255)"},
        InvalidCase{"ComNumberFirst",
                    [](ConnectionControls& c) {
                        c.Com.PortNumber = "";
                        c.Com.Timeout = "0";
                        c.Com.Address = "0";
                    },
                    "Invalid COM port number (1-255)"},
        InvalidCase{"ComTimeout0", [](ConnectionControls& c) { c.Com.Timeout = "0"; },
                    "Invalid COM port timeout (1-65535 ms)"},
        InvalidCase{"ComTimeoutBeforeAddress",
                    [](ConnectionControls& c) {
                        c.Com.Timeout = "65536";
                        c.Com.Address = "0";
                    },
                    "Invalid COM port timeout (1-65535 ms)"},
        InvalidCase{"ComAddress0", [](ConnectionControls& c) { c.Com.Address = "0"; },
                    "Invalid converter address (1-255)"},
        InvalidCase{"ComAddress256", [](ConnectionControls& c) { c.Com.Address = "256"; },
                    "Invalid converter address (1-255)"},
        InvalidCase{"UsbNumber0",
                    [](ConnectionControls& c) {
                        c.Interface = ROZHRANI_USBCOM;
                        c.UsbCom.PortNumber = "0";
                    },
                    "Invalid USB COM port number (1-255)"},
        InvalidCase{"UsbTimeout",
                    [](ConnectionControls& c) {
                        c.Interface = ROZHRANI_USBCOM;
                        c.UsbCom.Timeout = "abc";
                    },
                    "Invalid USB COM port timeout (1-65535 ms)"},
        InvalidCase{"UsbAddress0",
                    [](ConnectionControls& c) {
                        c.Interface = ROZHRANI_USBCOM;
                        c.UsbCom.Address = "0";
                    },
                    "Invalid converter address (1-255)"},
        InvalidCase{"UsbIgnoresComColumn",
                    [](ConnectionControls& c) {
                        c.Interface = ROZHRANI_USBCOM;
                        c.Com.PortNumber = "x";
                        c.UsbCom.PortNumber = "300";
                    },
                    "Invalid USB COM port number (1-255)"},
        InvalidCase{"InterfaceOutOfRangeIsLan",
                    [](ConnectionControls& c) {
                        c.Interface = 7;
                        c.IpAddress = "";
                    },
                    "Invalid IP address"}),
    [](const ::testing::TestParamInfo<InvalidCase>& i) { return std::string(i.param.name); });

TEST_F(ConnectionTest, ListsOutsideTheirRangeFallBackAndAreCorrected) {
    ConnectionControls c = comControls();
    c.Interface = -1;
    c.IpAddress = "127.0.0.1";
    c.IpVersion = 4;
    c.LanTimeout = "0"; // stop after the version list was looked at
    ConnectionResult r = run(c);
    EXPECT_EQ(r.Corrections.Interface, 0);
    EXPECT_EQ(r.Corrections.IpVersion, 0);
    EXPECT_FALSE(r.Corrections.ComBaud.has_value());

    c = comControls();
    c.Com.Baud = -1;
    c.Com.Parity = 3;
    r = run(c);
    ASSERT_EQ(r.Outcome, ConnectionOutcome::Connected);
    EXPECT_EQ(r.Corrections.ComBaud, 2);
    EXPECT_EQ(r.Corrections.ComParity, 1);
    EXPECT_EQ(port.lastSettings().baudRate, 9600);
    EXPECT_EQ(port.lastSettings().parityCode, PARITA_SUDA);
    EXPECT_EQ(dat.Pripojeni.COM_KodBaud, 4);

    c = comControls();
    c.Interface = ROZHRANI_USBCOM;
    c.UsbCom.Baud = 9;
    c.UsbCom.Parity = -1;
    r = run(c);
    EXPECT_EQ(r.Corrections.UsbBaud, 2);
    EXPECT_EQ(r.Corrections.UsbParity, 1);
    EXPECT_FALSE(r.Corrections.ComBaud.has_value());
}

TEST_F(ConnectionTest, CzechTexts) {
    ConnectionResult r = run(comControls(), LANG_CZ);
    EXPECT_EQ(r.StatusTexts.front(), "Probíhá inicializace připojení ...");
    EXPECT_EQ(r.StatusTexts.back(),
              "Připojení úspěšně inicializováno. Připojený konvertor :  TK-7713T  v.1.05");
    ConnectionControls c = comControls();
    c.Com.Address = "0";
    r = run(c, LANG_CZ);
    EXPECT_EQ(r.StatusTexts.back(), "Neplatná adresa konvertoru (1-255)");
    EXPECT_EQ(dat.SPripojeni, "Připojení neinicializováno");
}

TEST_F(ConnectionTest, NoDataDoesNothing) {
    const ConnectionResult r = InicializacePripojeni(comControls(), nullptr, tk, LANG_EN, hooks);
    EXPECT_EQ(r.Outcome, ConnectionOutcome::NoData);
    EXPECT_TRUE(r.StatusTexts.empty());
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(port.openCount(), 0);
}

TEST_F(ConnectionTest, ControlsShownForSettings) {
    TPripojeni p = sentinelSettings();
    p.Rozhrani = 7;
    p.COM_KodBaud = 1;
    p.USBCOM_KodBaud = 4;
    const ConnectionControls c = ControlsForSettings(p);
    EXPECT_EQ(c.Interface, 0);
    EXPECT_EQ(c.IpAddress, "127.0.0.9");
    EXPECT_EQ(c.LanTimeout, "777");
    EXPECT_EQ(c.Com.PortNumber, "4");
    EXPECT_EQ(c.Com.Baud, -1);
    EXPECT_EQ(c.Com.Parity, PARITA_LICHA);
    EXPECT_EQ(c.Com.Timeout, "111");
    EXPECT_EQ(c.Com.Address, "12");
    EXPECT_EQ(c.UsbCom.PortNumber, "6");
    EXPECT_EQ(c.UsbCom.Baud, 6) << "the USB column always shows 115200 Bd";
    EXPECT_EQ(c.UsbCom.Parity, PARITA_SUDA);
    EXPECT_EQ(c.UsbCom.Timeout, "330");
    EXPECT_EQ(c.UsbCom.Address, "255");
}

// ---- LAN against a one-shot TFTP server on loopback ----

// Answers the first read request with one data block holding `payload`
// (empty = an empty file), or never answers when silent.
class OneShotTftp {
  public:
    OneShotTftp(std::string payload, bool silent) : payload_(std::move(payload)), silent_(silent) {
        platform::UdpEndpoint local;
        local.address = {127, 0, 0, 1};
        ok_ = socket_.openBound(local);
        port_ = socket_.localPort();
        thread_ = std::thread([this] { serve(); });
    }
    ~OneShotTftp() {
        stop_ = true;
        thread_.join();
    }
    std::uint16_t port() const { return port_; }
    bool ok() const { return ok_ && port_ != 0; }
    std::string requestedFile() const { return file_; }

  private:
    void serve() {
        std::uint8_t buf[1500];
        bool answered = false;
        while (!stop_) {
            std::size_t n = 0;
            bool truncated = false;
            platform::UdpEndpoint from;
            if (socket_.receiveFrom(buf, sizeof buf, n, truncated, from, 20) !=
                platform::UdpReceive::Datagram) {
                continue;
            }
            if (n < 4 || buf[1] != 1 || answered || silent_) {
                continue; // only the first read request is answered
            }
            file_.assign(reinterpret_cast<const char*>(buf + 2));
            answered = true;
            std::vector<std::uint8_t> data{0, 3, 0, 1};
            data.insert(data.end(), payload_.begin(), payload_.end());
            socket_.sendTo(from, data.data(), data.size());
        }
    }

    std::string payload_;
    bool silent_;
    platform::UdpSocket socket_;
    bool ok_ = false;
    std::uint16_t port_ = 0;
    std::string file_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct LanCase {
    const char* name;
    std::string info;
    bool silent;
    ConnectionOutcome outcome;
    std::string last;
};

class LanConnection : public ConnectionTest, public ::testing::WithParamInterface<LanCase> {};

TEST_P(LanConnection, OutcomeOfTheInfoText) {
    OneShotTftp server(GetParam().info, GetParam().silent);
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(run(comControls()).Outcome, ConnectionOutcome::Connected); // a port left open
    dat.Pripojeni = sentinelSettings();
    dat.TypVerze = "before";
    dat.TypModulu = "type before";
    dat.VerzeModulu = "v before";
    dat.VyrCislo = "sn before";

    ConnectionControls c = comControls();
    lan(c, ("127.0.0.1:" + std::to_string(server.port())).c_str(), "200");
    const ConnectionResult r = run(c);
    EXPECT_EQ(r.Outcome, GetParam().outcome);
    EXPECT_EQ(r.StatusTexts.back(), GetParam().last);
    EXPECT_EQ(r.ExchangesSent, 0);
    EXPECT_EQ(tk.MBRTU.ID.HNDL, 0u) << "choosing LAN closes the COM port";
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(tk.Init);
    EXPECT_EQ(tk.Rozhrani, ROZHRANI_LAN);
    EXPECT_EQ(tk.TFTP.CFG.Timeout, 200);
    if (!GetParam().silent) {
        EXPECT_EQ(server.requestedFile(), "info.txt");
    }
    if (r.Outcome == ConnectionOutcome::Connected) {
        TPripojeni p = sentinelSettings();
        p.Rozhrani = ROZHRANI_LAN;
        p.LAN_IP = c.IpAddress;
        p.LAN_Timeout = 200;
        EXPECT_EQ(dat.Pripojeni, p);
        EXPECT_EQ(dat.VyrCislo, "24070001");
        EXPECT_EQ(dat.TypVerze, "TK-7713T  v.1.05");
        EXPECT_TRUE(dat.Init);
    } else {
        expectFailedAttemptState();
    }
}

INSTANTIATE_TEST_SUITE_P(
    InfoTexts, LanConnection,
    ::testing::Values(LanCase{"Supported", "TK-7713T v.1.05.24070001)\r\n", false,
                              ConnectionOutcome::Connected, kOk + "TK-7713T  v.1.05"},
                      LanCase{"NoAnswer", "", true, ConnectionOutcome::ConnectionError,
                              "Converter connection error"},
                      LanCase{"EmptyFile", "", false, ConnectionOutcome::UnknownConverter,
                              "Unknown converter connected"},
                      LanCase{"OtherType", "TK-7710 v.1.05.1)", false,
                              ConnectionOutcome::UnsupportedType, kType + "TK-7710  v.1.05"},
                      LanCase{"OldVersion", "TK-7713T v.0.09.1)", false,
                              ConnectionOutcome::UnsupportedVersion,
                              kVersion + "TK-7713T  v.0.09"}),
    [](const ::testing::TestParamInfo<LanCase>& i) { return std::string(i.param.name); });

} // namespace
