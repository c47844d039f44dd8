#include "link/M_ModbusRTU.h"

#include <algorithm>
#include <cstddef>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

std::uint16_t MBRTU_CRC16(const std::uint8_t* Data, std::uint32_t Pocet) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint32_t i = 0; i < Pocet; ++i) {
        crc ^= Data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool out = (crc & 1u) != 0;
            crc >>= 1;
            if (out) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::int32_t MBRTU_Rychlost(std::int32_t KodBaud) {
    switch (KodBaud) {
    case 0:
        return 600;
    case 1:
        return 1200;
    case 2:
        return 2400;
    case 3:
        return 4800;
    case 4:
        return 9600;
    case 5:
        return 19200;
    case 6:
        return 38400;
    case 7:
        return 57600;
    case 8:
        return 115200;
    default:
        return 9600;
    }
}

std::uint32_t MBRTU_TichoMs(std::int32_t KodBaud) {
    switch (KodBaud) {
    case 2:
        return 19;
    case 3:
        return 13;
    case 4:
        return 10;
    case 5:
        return 7;
    default:
        return 4;
    }
}

namespace {

constexpr std::uint32_t kMsPerDay = 86400000;
// One read takes at most this many bytes; whatever exceeds the answer
// buffer is only counted.
constexpr std::size_t kReadChunk = 1061;
constexpr std::uint8_t kFunctionReadBlock = 0x43;
constexpr std::uint8_t kFunctionWriteBlock = 0x44;
constexpr std::uint8_t kFunctionMessage = 0x45;
constexpr std::uint8_t kFileAccessMarker = 0xFE;

// The last two of length bytes are the CRC of those before them.
bool crcMatches(const std::uint8_t* frame, std::uint32_t length) {
    const std::uint16_t crc = MBRTU_CRC16(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

bool portOpen(const TMBRTU& MB) {
    return MB.ID.HNDL != platform::kNoSerialPort && platform::serialIsOpen(MB.ID.HNDL);
}

} // namespace

std::int32_t MBRTU_Init(std::int32_t CisloCOM, std::int32_t KodBaud, std::int32_t KodParita,
                        std::uint32_t Timeout, TMBRTU& MB) {
    platform::SerialLineSettings settings;
    settings.baudRate = MBRTU_Rychlost(KodBaud);
    settings.parityCode = KodParita;
    const platform::SerialHandle handle = platform::serialOpen(CisloCOM, settings);
    if (handle == platform::kNoSerialPort) {
        MB.ID.HNDL = platform::kNoSerialPort;
        return 1;
    }
    MB.ID.HNDL = handle;
    platform::requestTimerResolution();
    MB.CFG.CisloCOM = CisloCOM;
    MB.CFG.KodBaud = KodBaud;
    MB.CFG.KodParita = KodParita;
    MB.CFG.Timeout = Timeout;
    MB.CFG.Adresa = 1;
    return 0;
}

void MBRTU_Zavri(TMBRTU& MB) {
    // Only the close that really ends an opening gives back that opening's
    // timer resolution request: closing a closed record, or a second copy
    // of a record, leaves the requests balanced.
    if (MB.ID.HNDL != platform::kNoSerialPort) {
        const bool closed = platform::serialClose(MB.ID.HNDL);
        MB.ID.HNDL = platform::kNoSerialPort;
        if (closed) {
            platform::releaseTimerResolution();
        }
    }
}

std::uint16_t MBRTU_ExpectedAnswerLength(const std::uint8_t* Dotaz, std::uint16_t DelkaDotazu) {
    if (Dotaz == nullptr || DelkaDotazu < 7) {
        return 0;
    }
    switch (Dotaz[1]) {
    case kFunctionReadBlock:
        return static_cast<std::uint16_t>(Dotaz[6] + 3u);
    case kFunctionWriteBlock:
        return 3;
    default:
        return 0;
    }
}

std::uint32_t MBRTU_CompleteAnswer(std::uint16_t Expected, const std::uint8_t* Answer,
                                   std::uint32_t Count) {
    constexpr std::uint32_t kExceptionFrame = 5;
    std::uint32_t frame = 0;
    if (Count >= 2 && Answer[1] >= 0x80) {
        frame = kExceptionFrame;
    } else if (Expected != 0) {
        frame = Expected + 2u;
    }
    if (frame == 0 || frame >= MBRTU_MAX_ODPOVED || Count < frame) {
        return 0;
    }
    return crcMatches(Answer, frame) ? frame : 0;
}

namespace {

constexpr std::uint32_t kMaxWaitMs = 10;

// How the receive loop of one attempt ended.
enum class AnswerEnd { Complete, Silence, Overrun, Timeout, Aborted, PortGone };

// One request (requestLength bytes and the CRC after them) written and its
// answer collected. portGone: the attempt failed because the system
// reported the device gone.
std::int32_t exchange(TMBRTU& MB, const std::uint8_t* frame, std::uint16_t requestLength,
                      std::uint16_t expected, std::uint16_t& DelkaOdpovedi,
                      std::array<std::uint8_t, MBRTU_MAX_ODPOVED>& Odpoved, bool& portGone) {
    portGone = false;
    // Leftovers of an earlier answer would corrupt this one.
    platform::serialDiscardInput(MB.ID.HNDL);
    platform::serialWrite(MB.ID.HNDL, frame, requestLength + 2u);

    const std::uint64_t silenceUs = std::uint64_t{MBRTU_TichoMs(MB.CFG.KodBaud)} * 1000u;
    const std::uint64_t timeoutUs = std::uint64_t{MB.CFG.Timeout} * 1000u;
    std::array<std::uint8_t, kReadChunk> chunk;
    std::uint32_t count = 0;
    std::uint32_t complete = 0;
    const std::uint64_t tStart = platform::monotonicUs();
    std::uint64_t tLast = tStart;
    std::uint64_t elapsed = 0;
    std::uint64_t quiet = 0;
    AnswerEnd end = AnswerEnd::Timeout;
    for (;;) {
        platform::pumpEvents();
        if (MB.ID.Transfer.AbortRequested) {
            end = AnswerEnd::Aborted;
            break;
        }
        const std::size_t got = platform::serialRead(MB.ID.HNDL, chunk.data(), chunk.size());
        for (std::size_t i = 0; i < got; ++i) {
            if (count < MBRTU_MAX_ODPOVED) {
                Odpoved[count] = chunk[i];
            }
            ++count;
        }
        const std::uint64_t now = platform::monotonicUs();
        if (got > 0) {
            tLast = now;
            complete = MBRTU_CompleteAnswer(expected, Odpoved.data(),
                                            std::min<std::uint32_t>(count, MBRTU_MAX_ODPOVED));
        }
        elapsed = now - tStart;
        quiet = now - tLast;
        // Whatever follows a complete answer is stale and goes with the
        // next request's flush.
        if (complete != 0) {
            end = AnswerEnd::Complete;
            break;
        }
        if (count >= MBRTU_MAX_ODPOVED) {
            end = AnswerEnd::Overrun;
            break;
        }
        // Silence ends only a frame that checks: a fragment waits for its
        // rest, which a chunking adapter may deliver after a long gap.
        if (count >= 4 && quiet > silenceUs && crcMatches(Odpoved.data(), count)) {
            end = AnswerEnd::Silence;
            break;
        }
        if (got == 0 && platform::serialGone(MB.ID.HNDL)) {
            end = AnswerEnd::PortGone;
            break;
        }
        if (elapsed > timeoutUs) {
            break;
        }
        // Sleep until bytes arrive or the next moment at which silence or
        // timeout can be judged; the user interface is still served at
        // least every kMaxWaitMs.
        std::uint64_t nextUs = timeoutUs + 1 - std::min(elapsed, timeoutUs);
        if (count > 0 && quiet <= silenceUs) {
            nextUs = std::min(nextUs, silenceUs + 1 - quiet);
        }
        const std::uint64_t nextMs = (nextUs + 999) / 1000;
        platform::serialWaitReadable(
            MB.ID.HNDL,
            static_cast<std::uint32_t>(std::clamp<std::uint64_t>(nextMs, 1, kMaxWaitMs)));
    }

    std::uint32_t length = 0;
    switch (end) {
    case AnswerEnd::Aborted:
    case AnswerEnd::Overrun:
        return MBRTU_CHYBA_ODPOVEDI;
    case AnswerEnd::Timeout:
        // A frame that fell silent without checking is noise or a torn
        // answer; one still arriving is not complete.
        return count >= 4 && quiet > silenceUs ? MBRTU_CHYBA_CRC : MBRTU_CHYBA_ODPOVEDI;
    case AnswerEnd::PortGone:
        // No more bytes can come: what arrived counts if it checks.
        if (count < 4 || !crcMatches(Odpoved.data(), count)) {
            portGone = true;
            return MBRTU_CHYBA_ODPOVEDI;
        }
        length = count - 2;
        break;
    case AnswerEnd::Complete:
        length = complete - 2;
        break;
    case AnswerEnd::Silence:
        length = count - 2;
        break;
    }
    // An answer completed in the pass in which the timeout passed is late.
    if (elapsed > timeoutUs) {
        return MBRTU_CHYBA_ODPOVEDI;
    }
    // An answer with another function belongs to another request. The
    // address is left unchecked: a converter on its USB port may answer
    // with an address of its own.
    const bool ownFunction =
        requestLength >= 2 && (Odpoved[1] == frame[1] || Odpoved[1] == (frame[1] | 0x80));
    if (!ownFunction) {
        return MBRTU_CHYBA_ODPOVEDI;
    }
    DelkaOdpovedi = static_cast<std::uint16_t>(length);
    return Odpoved[1] >= 0x80 ? MBRTU_VYJIMKA : MBRTU_OK;
}

} // namespace

void MBRTU_Abort(TMBRTU& MB) {
    requestAbort(MB.ID.Transfer);
}

std::int32_t MBRTU_Transakce(TMBRTU& MB, const std::uint8_t* Dotaz, std::uint16_t DelkaDotazu,
                             std::uint16_t& DelkaOdpovedi,
                             std::array<std::uint8_t, MBRTU_MAX_ODPOVED>& Odpoved) {
    // An event handled during the wait must not start a transaction inside this one.
    if (MB.ID.Transfer.Busy || !portOpen(MB) || DelkaDotazu == 0 || DelkaDotazu > MBRTU_MAX_DOTAZ ||
        Dotaz == nullptr) {
        return MBRTU_CHYBA_DOTAZU;
    }
    const TransferScope scope(MB.ID.Transfer);
    std::array<std::uint8_t, MBRTU_MAX_DOTAZ + 2> request;
    std::copy(Dotaz, Dotaz + DelkaDotazu, request.begin());
    const std::uint16_t crc = MBRTU_CRC16(Dotaz, DelkaDotazu);
    request[DelkaDotazu] = static_cast<std::uint8_t>(crc & 0xFF);
    request[DelkaDotazu + 1] = static_cast<std::uint8_t>(crc >> 8);
    const std::uint16_t expected = MBRTU_ExpectedAnswerLength(Dotaz, DelkaDotazu);

    bool portGone = false;
    std::int32_t code =
        exchange(MB, request.data(), DelkaDotazu, expected, DelkaOdpovedi, Odpoved, portGone);
    // A USB port re-created by a restarting converter leaves the old handle
    // hung up: open the port again and try once more. A timeout or a bad
    // answer never gets here.
    if (portGone && !MB.ID.Transfer.AbortRequested && platform::serialReopen(MB.ID.HNDL)) {
        code =
            exchange(MB, request.data(), DelkaDotazu, expected, DelkaOdpovedi, Odpoved, portGone);
    }
    return code;
}

std::int32_t MBRTU_PrectiBlok(TMBRTU& MB, std::uint8_t Soubor, std::uint16_t Blok, std::uint8_t n,
                              std::uint8_t* Buffer) {
    const std::array<std::uint8_t, 7> request = {MB.CFG.Adresa,
                                                 kFunctionReadBlock,
                                                 kFileAccessMarker,
                                                 Soubor,
                                                 static_cast<std::uint8_t>(Blok >> 8),
                                                 static_cast<std::uint8_t>(Blok & 0xFF),
                                                 n};
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer;
    std::uint16_t length = 0;
    if (MBRTU_Transakce(MB, request.data(), request.size(), length, answer) != MBRTU_OK) {
        return 1;
    }
    if (length != n + 3u) {
        return 2;
    }
    std::copy(answer.begin() + 3, answer.begin() + 3 + n, Buffer);
    return 0;
}

std::int32_t MBRTU_ZapisBlok(TMBRTU& MB, std::uint8_t Soubor, std::uint16_t Blok, std::uint8_t n,
                             const std::uint8_t* Data) {
    std::array<std::uint8_t, 7 + 255> request;
    request[0] = MB.CFG.Adresa;
    request[1] = kFunctionWriteBlock;
    request[2] = kFileAccessMarker;
    request[3] = Soubor;
    request[4] = static_cast<std::uint8_t>(Blok >> 8);
    request[5] = static_cast<std::uint8_t>(Blok & 0xFF);
    request[6] = n;
    std::copy(Data, Data + n, request.begin() + 7);
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer;
    std::uint16_t length = 0;
    if (MBRTU_Transakce(MB, request.data(), static_cast<std::uint16_t>(n + 7u), length, answer) !=
        MBRTU_OK) {
        return 1;
    }
    if (length != 3) {
        return 2;
    }
    return answer[2] != 0 ? 3 : 0;
}

std::int32_t MBRTU_Zprava(TMBRTU* MB, TMBRTU_Zprava& Zprava) {
    Zprava.DelkaOdpovedi = 0;
    if (MB == nullptr) {
        return 1;
    }
    if (!portOpen(*MB)) {
        return 2;
    }
    if (Zprava.DelkaDat > MBRTU_MAX_ZPRAVA) {
        return 3;
    }
    std::array<std::uint8_t, MBRTU_MAX_ZPRAVA + 4> request;
    request[0] = MB->CFG.Adresa;
    request[1] = kFunctionMessage;
    request[2] = static_cast<std::uint8_t>(Zprava.DelkaDat >> 8);
    request[3] = static_cast<std::uint8_t>(Zprava.DelkaDat & 0xFF);
    std::copy(Zprava.Data.begin(), Zprava.Data.begin() + Zprava.DelkaDat, request.begin() + 4);
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer;
    std::uint16_t length = 0;
    if (MBRTU_Transakce(*MB, request.data(), static_cast<std::uint16_t>(Zprava.DelkaDat + 4u),
                        length, answer) != MBRTU_OK) {
        return 3;
    }
    if (length >= 4) {
        std::copy(answer.begin() + 4, answer.begin() + length, Zprava.Odpoved.begin());
        Zprava.DelkaOdpovedi = static_cast<std::uint16_t>(length - 4);
    }
    return 0;
}

std::uint32_t MBRTU_CasMs() {
    const platform::TimeOfDay now = platform::localTimeOfDay();
    return ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.millisecond;
}

std::uint32_t MBRTU_UplynuloMs(std::uint32_t t0) {
    std::uint32_t t = MBRTU_CasMs();
    if (t > kMsPerDay) {
        t = kMsPerDay;
    }
    return t >= t0 ? t - t0 : t + kMsPerDay - t0;
}
