#include "cli/commands/Connect.h"

#include "cli/Cli.h"
#include "cli/CliZaznamy.h"
#include "cli/commands/CommandSupport.h"
#include "link/M_TFTP.h"
#include "platform/SerialPort.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

Failure notForInterface(std::string_view name, std::int32_t lang) {
    return {Format(T_OPTION_NOT_FOR_INTERFACE, lang, {name})};
}

std::optional<Failure> lanOptions(const Arguments& a, std::int32_t lang, ConnectionControls& c) {
    if (const std::string* v = a.value("--lan")) {
        // A blank address is left to the dialog's own message; one that
        // cannot be an address is a typo, not a dead converter.
        if (v->find_first_not_of(" \t") != std::string::npos && !parseTftpServerAddress(*v).valid) {
            return Failure{Format(T_BAD_ADDRESS, lang, {*v, "--lan"})};
        }
        c.IpAddress = *v;
    }
    if (a.ipv6) {
        c.IpVersion = VERZE_IP6;
    }
    if (const std::string* v = a.value("--lan-timeout")) {
        c.LanTimeout = *v;
    }
    return std::nullopt;
}

// The list position of word in words; -1 when it is none of them.
template <class Words> std::int32_t positionOf(const std::string& word, const Words& words) {
    std::int32_t position = -1;
    std::int32_t i = 0;
    for (std::string_view w : words) {
        if (word == w) {
            position = i;
        }
        ++i;
    }
    return position;
}

// The device stands in for COM port N (--com) or COM1. An invalid --com is
// left to the connection's own message.
std::optional<Failure> mapDevice(const Arguments& a, Context& ctx, ConnectionControls& c) {
    const std::string* path = a.value("--device");
    std::int32_t number = 1;
    if (!a.given("--com")) {
        c.Com.PortNumber = std::to_string(number);
    } else if (!ParseWholeNumberIn(c.Com.PortNumber, 1, 255, number)) {
        return std::nullopt;
    }
    platform::setSerialDeviceMap({{number, *path}});
    ctx.deviceMapped = true;
    if (platform::serialDevicePath(number) != *path) {
        return Failure{Text(T_DEVICE_UNSUPPORTED, ctx.lang)};
    }
    return std::nullopt;
}

std::optional<Failure> comOptions(const Arguments& a, Context& ctx, ConnectionControls& c) {
    if (const std::string* v = a.value("--com")) {
        c.Com.PortNumber = *v;
    }
    if (const std::string* v = a.value("--baud")) {
        c.Com.Baud = positionOf(*v, kBaudWords);
        if (c.Com.Baud < 0) {
            return Failure{Format(T_BAD_BAUD, ctx.lang, {*v})};
        }
    }
    if (const std::string* v = a.value("--parity")) {
        c.Com.Parity = positionOf(*v, kParityWords);
        if (c.Com.Parity < 0) {
            return Failure{Format(T_BAD_PARITY, ctx.lang, {*v})};
        }
    }
    if (const std::string* v = a.value("--timeout")) {
        c.Com.Timeout = *v;
    }
    if (const std::string* v = a.value("--address")) {
        c.Com.Address = *v;
    }
    if (a.given("--device")) {
        return mapDevice(a, ctx, c);
    }
    return std::nullopt;
}

} // namespace

std::optional<Failure> ReadConnectionOptions(const Arguments& a, Context& ctx,
                                             ConnectionControls& c) {
    c = ControlsForSettings(VychoziPripojeni());
    const bool lan = a.given("--lan");
    const bool com = a.given("--com") || a.given("--device");
    const bool usb = a.given("--usb");
    if (int(lan) + int(com) + int(usb) > 1) {
        return Failure{Text(T_ONE_INTERFACE, ctx.lang)};
    }
    c.Interface = com ? ROZHRANI_COM : usb ? ROZHRANI_USBCOM : ROZHRANI_LAN;
    if (c.Interface != ROZHRANI_LAN) {
        if (a.ipv6) {
            return notForInterface("--ipv6", ctx.lang);
        }
        if (a.given("--lan-timeout")) {
            return notForInterface("--lan-timeout", ctx.lang);
        }
    }
    if (c.Interface != ROZHRANI_COM) {
        for (std::string_view o : {"--baud", "--parity", "--timeout", "--address"}) {
            if (a.given(o)) {
                return notForInterface(o, ctx.lang);
            }
        }
    }
    if (c.Interface == ROZHRANI_LAN) {
        return lanOptions(a, ctx.lang, c);
    }
    if (c.Interface == ROZHRANI_USBCOM) {
        c.UsbCom.PortNumber = *a.value("--usb");
        return std::nullopt;
    }
    return comOptions(a, ctx, c);
}

ConnectionResult OpenConnection(const ConnectionControls& c, TData& dat, TTK7713T& tk,
                                std::int32_t lang) {
    InitData(&dat);
    dat.Lang = lang;
    // The dialog pauses so its status line can be seen; a command-line call
    // has nothing to show and would only be slower.
    ConnectionHooks hooks;
    hooks.pause = [](std::uint32_t) {};
    return InicializacePripojeni(c, &dat, tk, lang, hooks);
}

std::string WithTypeAndVersion(const Context& ctx, const std::string& tableText) {
    return tableText + DisplayText(ctx.connection.TypeAndVersion);
}

int Connect(Context& ctx) {
    ctx.connection = OpenConnection(ctx.controls, ctx.dat, ctx.tk, ctx.lang);
    const std::vector<std::string>& texts = ctx.connection.StatusTexts;
    const std::string last = texts.empty() ? std::string() : texts.back();
    switch (ctx.connection.Outcome) {
    case ConnectionOutcome::Connected:
        return EXIT_OK;
    case ConnectionOutcome::InvalidInput:
        return Fail(ctx, EXIT_USAGE, last);
    case ConnectionOutcome::UnknownConverter:
        return Fail(ctx, EXIT_UNSUPPORTED, last);
    case ConnectionOutcome::UnsupportedType:
        return Fail(
            ctx, EXIT_UNSUPPORTED,
            WithTypeAndVersion(ctx, Pripojeni::Text(Pripojeni::TEXT_UNSUPPORTED_TYPE, ctx.lang)));
    case ConnectionOutcome::UnsupportedVersion:
        return Fail(ctx, EXIT_UNSUPPORTED,
                    WithTypeAndVersion(
                        ctx, Pripojeni::Text(Pripojeni::TEXT_UNSUPPORTED_VERSION, ctx.lang)));
    case ConnectionOutcome::NoData:
    case ConnectionOutcome::PortError:
    case ConnectionOutcome::ConnectionError:
        break;
    }
    return Fail(ctx, EXIT_FAILED, last);
}

int ReadFailed(const Context& ctx) {
    return Fail(ctx, EXIT_FAILED, ConnectionError(ctx.lang));
}

PortScope::~PortScope() {
    MBRTU_Zavri(ctx_.tk.MBRTU);
    if (ctx_.deviceMapped) {
        platform::setSerialDeviceMap({});
        ctx_.deviceMapped = false;
    }
}

} // namespace tkcli
