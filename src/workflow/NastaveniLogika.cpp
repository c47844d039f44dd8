#include "workflow/NastaveniLogika.h"

#include <tuple>

#include "platform/Clock.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace {

constexpr std::uint32_t PAUSE_BEFORE_TRANSFER_MS = 32;

const ConfigDialogTextIds& idsOf(ConfigDialog d) {
    switch (d) {
    case ConfigDialog::Lan4:
        return NastavLanParam::IDS;
    case ConfigDialog::Mbtcp:
        return NastavModbusTCP::IDS;
    case ConfigDialog::Uartm:
        return NastavHlavniLinka::IDS;
    case ConfigDialog::Uarts:
        break;
    }
    return NastavServisniLinka::IDS;
}

// The ids come from the dialog's ConfigDialogTextIds, so they index its
// table by number.
std::string dialogText(ConfigDialog d, std::int32_t id, std::int32_t lang) {
    switch (d) {
    case ConfigDialog::Lan4:
        return ::Text(NastavLanParam::Texty(), id, lang);
    case ConfigDialog::Mbtcp:
        return ::Text(NastavModbusTCP::Texty(), id, lang);
    case ConfigDialog::Uartm:
        return ::Text(NastavHlavniLinka::Texty(), id, lang);
    case ConfigDialog::Uarts:
        break;
    }
    return ::Text(NastavServisniLinka::Texty(), id, lang);
}

using tk7713t::field;
using tk7713t::FileId;

// A text field's number within its field's range.
bool inRange(const std::string& text, const tk7713t::Field& f, std::int32_t& v) {
    return ParseWholeNumberIn(text, f.min, f.max, v);
}

Verdict refused(std::string message) {
    return Verdict{false, " " + message};
}
Verdict accepted() {
    return Verdict{true, " "};
}

// List positions: a position outside the list keeps the stored code.
void takeBaud(std::int32_t position, std::uint8_t& code) {
    if (ListPosition(position, BAUD_LIST_SIZE) >= 0) {
        code = static_cast<std::uint8_t>(PoziceNaKodBaud(position));
    }
}
void takeChoice(std::int32_t position, std::int32_t count, std::uint8_t& value) {
    if (ListPosition(position, count) >= 0) {
        value = static_cast<std::uint8_t>(position);
    }
}

// Shows a status line through the hook and records it.
class StatusLine {
  public:
    StatusLine(const DialogHooks& hooks, std::vector<std::string>& lines)
        : hooks_(hooks), lines_(lines) {}
    void show(const std::string& text) {
        lines_.push_back(" " + text);
        if (hooks_.showStatus) {
            hooks_.showStatus(lines_.back());
        }
    }
    void pause(std::uint32_t ms) {
        if (hooks_.pause) {
            hooks_.pause(ms);
        } else {
            platform::pauseMs(ms);
        }
    }

  private:
    const DialogHooks& hooks_;
    std::vector<std::string>& lines_;
};

// The access object's reads and writes, picked by record type.
constexpr std::tuple kReads{&TK7713T_PrectiLan4, &TK7713T_PrectiMbtcp, &TK7713T_PrectiUartm,
                            &TK7713T_PrectiUarts};
constexpr std::tuple kWrites{&TK7713T_ZapisLan4, &TK7713T_ZapisMbtcp, &TK7713T_ZapisUartm,
                             &TK7713T_ZapisUarts};
template <class Record> using Access = bool (*)(TTK7713T&, Record&);

// One read of the dialog's file into its part of cfg; false on a failed transfer.
bool readPart(ConfigDialog d, TTK7713T& tk, TCFGTK& cfg) {
    return WithPart(d, cfg, [&](auto file, auto& part) {
        typename decltype(file)::Record r;
        if (!std::get<Access<decltype(r)>>(kReads)(tk, r)) {
            return false;
        }
        file.members(part) = file.members(r);
        return true;
    });
}

bool writePart(ConfigDialog d, TTK7713T& tk, const TCFGTK& cfg) {
    return WithPart(d, cfg, [&](auto file, const auto& part) {
        typename decltype(file)::Record r;
        file.members(r) = file.members(part);
        return std::get<Access<decltype(r)>>(kWrites)(tk, r);
    });
}

} // namespace

Lan4Controls ZapisOkno(const TCFG_LAN4& LAN4) {
    return Lan4Controls{IP4NaText(LAN4.IP4_Adresa), IP4NaText(LAN4.IP4_Maska),
                        IP4NaText(LAN4.IP4_Brana),
                        ListPosition(LAN4.IP4_DHCP, ADDRESS_MODE_LIST_SIZE)};
}

MbtcpControls ZapisOkno(const TCFG_MBTCP& MBTCP) {
    return MbtcpControls{std::to_string(MBTCP.UnitID), std::to_string(MBTCP.Timeout)};
}

UartmControls ZapisOkno(const TCFG_UARTM& UARTM) {
    return UartmControls{BaudListPosition(UARTM.KodBaud),
                         ListPosition(UARTM.KodParita, PARITY_LIST_SIZE),
                         std::to_string(UARTM.Timeout), std::to_string(UARTM.Opakovani)};
}

UartsControls ZapisOkno(const TCFG_UARTS& UARTS) {
    return UartsControls{std::to_string(UARTS.Adresa), BaudListPosition(UARTS.KodBaud),
                         ListPosition(UARTS.KodParita, PARITY_LIST_SIZE),
                         ListPosition(UARTS.Repeater, ROUTING_LIST_SIZE)};
}

Lan4Controls DefaultLan4Controls() {
    return Lan4Controls{"192.168.0.99", "255.255.255.0", "192.168.0.200", 0};
}
MbtcpControls DefaultMbtcpControls() {
    return MbtcpControls{"255", "5"};
}
UartmControls DefaultUartmControls() {
    return UartmControls{2, 1, "330", "0"};
}
UartsControls DefaultUartsControls() {
    return UartsControls{"247", 2, 1, 0};
}

Verdict PrectiOkno(const Lan4Controls& Okno, TCFGTK& CFGTK, std::int32_t Lang) {
    TAdresa4B a{};
    if (!TextNaIP4(Okno.Address, a)) {
        return refused(NastavLanParam::Text(NastavLanParam::TEXT_INVALID_ADDRESS, Lang));
    }
    CFGTK.LAN4.IP4_Adresa = a;
    if (!TextNaIP4(Okno.Mask, a)) {
        return refused(NastavLanParam::Text(NastavLanParam::TEXT_INVALID_MASK, Lang));
    }
    CFGTK.LAN4.IP4_Maska = a;
    if (!TextNaIP4(Okno.Gateway, a)) {
        return refused(NastavLanParam::Text(NastavLanParam::TEXT_INVALID_GATEWAY, Lang));
    }
    CFGTK.LAN4.IP4_Brana = a;
    takeChoice(Okno.Mode, ADDRESS_MODE_LIST_SIZE, CFGTK.LAN4.IP4_DHCP);
    return accepted();
}

Verdict PrectiOkno(const MbtcpControls& Okno, TCFGTK& CFGTK, std::int32_t Lang) {
    std::int32_t v = 0;
    if (!inRange(Okno.AlternativeAddress, field<FileId::Mbtcp>("UnitID"), v)) {
        return refused(NastavModbusTCP::Text(NastavModbusTCP::TEXT_INVALID_ADDRESS, Lang));
    }
    CFGTK.MBTCP.UnitID = static_cast<std::uint8_t>(v);
    if (!inRange(Okno.Timeout, field<FileId::Mbtcp>("Timeout"), v)) {
        return refused(NastavModbusTCP::Text(NastavModbusTCP::TEXT_INVALID_TIMEOUT, Lang));
    }
    CFGTK.MBTCP.Timeout = static_cast<std::uint8_t>(v);
    return accepted();
}

Verdict PrectiOkno(const UartmControls& Okno, TCFGTK& CFGTK, std::int32_t Lang) {
    std::int32_t v = 0;
    if (!inRange(Okno.Timeout, field<FileId::Uartm>("Timeout"), v)) {
        return refused(NastavHlavniLinka::Text(NastavHlavniLinka::TEXT_INVALID_TIMEOUT, Lang));
    }
    CFGTK.UARTM.Timeout = static_cast<std::uint16_t>(v);
    if (!inRange(Okno.Retries, field<FileId::Uartm>("Opakovani"), v)) {
        return refused(NastavHlavniLinka::Text(NastavHlavniLinka::TEXT_INVALID_RETRIES, Lang));
    }
    CFGTK.UARTM.Opakovani = static_cast<std::uint8_t>(v);
    takeBaud(Okno.Baud, CFGTK.UARTM.KodBaud);
    takeChoice(Okno.Parity, PARITY_LIST_SIZE, CFGTK.UARTM.KodParita);
    return accepted();
}

Verdict PrectiOkno(const UartsControls& Okno, TCFGTK& CFGTK, std::int32_t Lang) {
    std::int32_t v = 0;
    if (!inRange(Okno.Address, field<FileId::Uarts>("Adresa"), v)) {
        return refused(NastavServisniLinka::Text(NastavServisniLinka::TEXT_INVALID_ADDRESS, Lang));
    }
    CFGTK.UARTS.Adresa = static_cast<std::uint8_t>(v);
    takeBaud(Okno.Baud, CFGTK.UARTS.KodBaud);
    takeChoice(Okno.Parity, PARITY_LIST_SIZE, CFGTK.UARTS.KodParita);
    takeChoice(Okno.Routing, ROUTING_LIST_SIZE, CFGTK.UARTS.Repeater);
    return accepted();
}

ReadResult PrectiData(ConfigDialog Dialog, TCFGTK& CFGTK, PData Dat, TTK7713T& TK,
                      std::int32_t Lang, const DialogHooks& Hooks) {
    ReadResult result;
    if (Dat == nullptr || !Dat->Init || !TK.Init) {
        return result;
    }
    const ConfigDialogTextIds& ids = idsOf(Dialog);
    StatusLine status(Hooks, result.StatusLines);
    status.show(dialogText(Dialog, ids.ReadInProgress, Lang));
    status.pause(PAUSE_BEFORE_TRANSFER_MS);
    if (readPart(Dialog, TK, CFGTK)) {
        result.Outcome = ReadOutcome::Read;
        status.show(dialogText(Dialog, ids.ReadDone, Lang));
    } else {
        result.Outcome = ReadOutcome::ConnectionError;
        status.show(Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, Lang));
    }
    return result;
}

WriteResult ZapisData(ConfigDialog Dialog, const TCFGTK& CFGTK, PData Dat, TTK7713T& TK,
                      std::int32_t Lang, const DialogHooks& Hooks) {
    WriteResult result;
    if (Dat == nullptr || !Dat->Init) {
        return result;
    }
    const ConfigDialogTextIds& ids = idsOf(Dialog);
    StatusLine status(Hooks, result.StatusLines);
    status.show(dialogText(Dialog, ids.WriteInProgress, Lang));
    status.pause(PAUSE_BEFORE_TRANSFER_MS);
    if (!writePart(Dialog, TK, CFGTK)) {
        result.Outcome = WriteOutcome::ConnectionError;
        status.show(Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, Lang));
        return result;
    }
    ReadResult back = PrectiData(Dialog, result.ReadBack, Dat, TK, Lang, Hooks);
    result.StatusLines.insert(result.StatusLines.end(), back.StatusLines.begin(),
                              back.StatusLines.end());
    result.ReadBackDone = back.Outcome == ReadOutcome::Read;
    if (result.ReadBackDone && SamePart(Dialog, CFGTK, result.ReadBack)) {
        result.Outcome = WriteOutcome::Written;
        status.show(dialogText(Dialog, ids.WriteDone, Lang));
    } else {
        result.Outcome = WriteOutcome::VerificationError;
        status.show(dialogText(Dialog, ids.VerificationError, Lang));
    }
    return result;
}

bool SamePart(ConfigDialog Dialog, const TCFGTK& a, const TCFGTK& b) {
    switch (Dialog) {
    case ConfigDialog::Lan4:
        return a.LAN4 == b.LAN4;
    case ConfigDialog::Mbtcp:
        return a.MBTCP == b.MBTCP;
    case ConfigDialog::Uartm:
        return a.UARTM == b.UARTM;
    case ConfigDialog::Uarts:
        break;
    }
    return a.UARTS == b.UARTS;
}
