#include "workflow/PripojeniLogika.h"

#include <algorithm>
#include <array>

#include "platform/Clock.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace {

constexpr std::uint32_t PAUSE_AFTER_START_MS = 100;
constexpr std::int32_t KOD_BAUD_ZALOHA = 4; // 9600 Bd
constexpr std::int32_t USB_KOD_BAUD = 8;    // 115200 Bd, fixed in the USB column

// Item numbers of the five identification exchanges, in order.
constexpr std::array<std::uint8_t, 5> IDENTIFICATION_ITEMS = {0x00, 0x01, 0x02, 0x0A, 0x0B};
constexpr std::uint16_t IDENTIFICATION_LENGTH = 8;

// The messages and list corrections that differ between the COM port and
// the USB COM port.
struct SerialSide {
    Pripojeni::TextId invalidNumber;
    Pripojeni::TextId invalidTimeout;
    Pripojeni::TextId portError;
    std::optional<std::int32_t> ListCorrections::*baudCorrection;
    std::optional<std::int32_t> ListCorrections::*parityCorrection;
};

class Attempt {
  public:
    Attempt(const ConnectionHooks& hooks, std::int32_t lang, ConnectionResult& result)
        : hooks_(hooks), lang_(lang), result_(result) {}

    void show(const std::string& text, const std::string& converterText = {}) {
        result_.StatusTexts.push_back(text + converterText);
        if (hooks_.showStatus) {
            hooks_.showStatus(text, converterText);
        }
    }
    void pause(std::uint32_t ms) {
        if (hooks_.pause) {
            hooks_.pause(ms);
        } else {
            platform::pauseMs(ms);
        }
    }
    ConnectionResult& stop(ConnectionOutcome outcome, const std::string& text,
                           const std::string& converterText = {}) {
        result_.Outcome = outcome;
        show(text, converterText);
        return result_;
    }
    ConnectionResult& stopWith(ConnectionOutcome outcome, Pripojeni::TextId pripojeniText) {
        return stop(outcome, Pripojeni::Text(pripojeniText, lang_));
    }
    ConnectionResult& connectionError() {
        return stop(ConnectionOutcome::ConnectionError,
                    Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, lang_));
    }

  private:
    const ConnectionHooks& hooks_;
    std::int32_t lang_;
    ConnectionResult& result_;
};

} // namespace

bool IdentificationExchange(TTK7713T& tk, std::uint8_t address, std::uint8_t item,
                            std::string& fourChars, bool* echo) {
    TMBRTU_Zprava z;
    z.DelkaDat = IDENTIFICATION_LENGTH;
    z.Data[0] = address;
    z.Data[1] = 0xC8;
    z.Data[2] = item;
    if (MBRTU_Zprava(&tk.MBRTU, z) != MBRTU_OK || z.DelkaOdpovedi < IDENTIFICATION_LENGTH) {
        return false;
    }
    if (echo != nullptr) {
        *echo = z.DelkaOdpovedi == z.DelkaDat &&
                std::equal(z.Data.begin(), z.Data.begin() + z.DelkaDat, z.Odpoved.begin());
    }
    fourChars.clear();
    for (std::size_t i = 4; i < 8; ++i) {
        fourChars.push_back(static_cast<char>(z.Odpoved[i]));
    }
    return true;
}

ConnectionControls ControlsForSettings(const TPripojeni& p) {
    ConnectionControls c;
    c.Interface =
        p.Rozhrani >= ROZHRANI_LAN && p.Rozhrani <= ROZHRANI_USBCOM ? p.Rozhrani : ROZHRANI_LAN;
    c.IpAddress = p.LAN_IP;
    c.IpVersion = p.LAN_VerzeIP;
    c.LanTimeout = std::to_string(p.LAN_Timeout);
    c.Com.PortNumber = std::to_string(p.COM_CisloCOM);
    c.Com.Baud = BaudListPosition(p.COM_KodBaud);
    c.Com.Parity = ListPosition(p.COM_KodParita, PARITY_LIST_SIZE);
    c.Com.Timeout = std::to_string(p.COM_Timeout);
    c.Com.Address = std::to_string(p.COM_Adresa);
    c.UsbCom.PortNumber = std::to_string(p.USBCOM_CisloCOM);
    c.UsbCom.Baud = BaudListPosition(USB_KOD_BAUD);
    c.UsbCom.Parity = PARITA_SUDA;
    c.UsbCom.Timeout = "330";
    c.UsbCom.Address = "255";
    return c;
}

ConnectionResult InicializacePripojeni(const ConnectionControls& Ovladani, PData Dat, TTK7713T& TK,
                                       std::int32_t Lang, const ConnectionHooks& Hooks) {
    ConnectionResult result;
    if (Dat == nullptr) {
        return result;
    }
    Attempt a(Hooks, Lang, result);
    a.show(Pripojeni::Text(Pripojeni::TEXT_INITIALIZING, Lang));
    a.pause(PAUSE_AFTER_START_MS);

    Dat->Init = false;
    Dat->SPripojeni = Dekl::Text(Dekl::TEXT_NOT_INITIALIZED, Lang);
    Dat->Par.fill(0);

    TPripojeni P = Dat->Pripojeni;

    TK.Init = false;
    MBRTU_Zavri(TK.MBRTU);

    P.Rozhrani = Ovladani.Interface;
    if (P.Rozhrani < ROZHRANI_LAN || P.Rozhrani > ROZHRANI_USBCOM) {
        P.Rozhrani = ROZHRANI_LAN;
        result.Corrections.Interface = ROZHRANI_LAN;
    }

    std::string typ;
    std::string verze;
    std::string vyrCislo;

    if (P.Rozhrani == ROZHRANI_LAN) {
        if (Ovladani.IpAddress.empty()) {
            return a.stopWith(ConnectionOutcome::InvalidInput, Pripojeni::TEXT_INVALID_IP);
        }
        P.LAN_IP = Ovladani.IpAddress;
        P.LAN_VerzeIP = Ovladani.IpVersion;
        if (P.LAN_VerzeIP < VERZE_IP4 || P.LAN_VerzeIP > VERZE_IP6) {
            P.LAN_VerzeIP = VERZE_IP4;
            result.Corrections.IpVersion = VERZE_IP4;
        }
        if (!ParseWholeNumberIn(Ovladani.LanTimeout, 1, 65535, P.LAN_Timeout)) {
            return a.stopWith(ConnectionOutcome::InvalidInput, Pripojeni::TEXT_INVALID_LAN_TIMEOUT);
        }
        TTFTP tftp = TK.TFTP;
        TFTP_Init(tftp, P.LAN_IP, P.LAN_VerzeIP, P.LAN_Timeout);
        TK.TFTP = tftp;
        TK.Rozhrani = ROZHRANI_LAN;
        TK.Init = true;

        TTK7713T_InfoTxt info;
        if (!TK7713T_PrectiInfo(TK, info)) {
            return a.connectionError();
        }
        if (info.Text.empty()) {
            return a.stopWith(ConnectionOutcome::UnknownConverter,
                              Pripojeni::TEXT_UNKNOWN_CONVERTER);
        }
        RozdelInfoText(info.Text, typ, verze, vyrCislo);
    } else {
        const bool usb = P.Rozhrani == ROZHRANI_USBCOM;
        const SerialControls& c = usb ? Ovladani.UsbCom : Ovladani.Com;
        const SerialSide side =
            usb ? SerialSide{Pripojeni::TEXT_INVALID_USB_NUMBER,
                             Pripojeni::TEXT_INVALID_USB_TIMEOUT, Pripojeni::TEXT_USB_ERROR,
                             &ListCorrections::UsbBaud, &ListCorrections::UsbParity}
                : SerialSide{Pripojeni::TEXT_INVALID_COM_NUMBER,
                             Pripojeni::TEXT_INVALID_COM_TIMEOUT, Pripojeni::TEXT_COM_ERROR,
                             &ListCorrections::ComBaud, &ListCorrections::ComParity};
        std::int32_t& cislo = usb ? P.USBCOM_CisloCOM : P.COM_CisloCOM;
        std::int32_t& kodBaud = usb ? P.USBCOM_KodBaud : P.COM_KodBaud;
        std::int32_t& kodParita = usb ? P.USBCOM_KodParita : P.COM_KodParita;
        std::int32_t& timeout = usb ? P.USBCOM_Timeout : P.COM_Timeout;
        std::int32_t& adresa = usb ? P.USBCOM_Adresa : P.COM_Adresa;

        if (!ParseWholeNumberIn(c.PortNumber, 1, 255, cislo)) {
            return a.stopWith(ConnectionOutcome::InvalidInput, side.invalidNumber);
        }
        // A position outside the list (none selected included) falls back to
        // 9600 Bd and the list is set to show it, so the port never runs at a
        // rate the list does not show.
        if (ListPosition(c.Baud, BAUD_LIST_SIZE) >= 0) {
            kodBaud = PoziceNaKodBaud(c.Baud);
        } else {
            kodBaud = KOD_BAUD_ZALOHA;
            result.Corrections.*side.baudCorrection = BaudListPosition(KOD_BAUD_ZALOHA);
        }
        if (ListPosition(c.Parity, PARITY_LIST_SIZE) >= 0) {
            kodParita = c.Parity;
        } else {
            kodParita = PARITA_SUDA;
            result.Corrections.*side.parityCorrection = PARITA_SUDA;
        }
        if (!ParseWholeNumberIn(c.Timeout, 1, 65535, timeout)) {
            return a.stopWith(ConnectionOutcome::InvalidInput, side.invalidTimeout);
        }
        if (!ParseWholeNumberIn(c.Address, 1, 255, adresa)) {
            return a.stopWith(ConnectionOutcome::InvalidInput, Pripojeni::TEXT_INVALID_ADDRESS);
        }

        TMBRTU link;
        if (MBRTU_Init(cislo, kodBaud, kodParita, static_cast<std::uint32_t>(timeout), link) != 0) {
            return a.stopWith(ConnectionOutcome::PortError, side.portError);
        }
        link.CFG.Adresa = static_cast<std::uint8_t>(adresa);
        TK.MBRTU = link;
        TK.Rozhrani = P.Rozhrani;
        TK.Init = true;

        const auto address = static_cast<std::uint8_t>(adresa);
        std::string four;
        for (std::size_t i = 0; i < IDENTIFICATION_ITEMS.size(); ++i) {
            ++result.ExchangesSent;
            if (!IdentificationExchange(TK, address, IDENTIFICATION_ITEMS[i], four)) {
                return a.connectionError();
            }
            switch (i) {
            case 0:
                typ = four;
                break;
            case 1:
                typ += four;
                break;
            case 2:
                verze = four;
                break;
            case 3:
                vyrCislo = four;
                break;
            default:
                vyrCislo += four;
                break;
            }
            result.Type = typ;
            result.Version = verze;
            result.SerialNumber = vyrCislo;
        }
    }

    result.Type = typ;
    result.Version = verze;
    result.SerialNumber = vyrCislo;
    result.TypeAndVersion = TypeAndVersionText(typ, verze);
    if (!PodporovanyTyp(typ)) {
        return a.stop(ConnectionOutcome::UnsupportedType,
                      Pripojeni::Text(Pripojeni::TEXT_UNSUPPORTED_TYPE, Lang),
                      result.TypeAndVersion);
    }
    if (!PodporovanaVerze(typ, verze)) {
        return a.stop(ConnectionOutcome::UnsupportedVersion,
                      Pripojeni::Text(Pripojeni::TEXT_UNSUPPORTED_VERSION, Lang),
                      result.TypeAndVersion);
    }
    Dat->Init = true;
    Dat->SPripojeni = Dekl::Text(Dekl::TEXT_OK, Lang);
    Dat->Pripojeni = P;
    Dat->TypVerze = result.TypeAndVersion;
    Dat->TypModulu = typ;
    Dat->VerzeModulu = verze;
    Dat->VyrCislo = vyrCislo;
    return a.stop(ConnectionOutcome::Connected, Pripojeni::Text(Pripojeni::TEXT_CONNECTED, Lang),
                  result.TypeAndVersion);
}
