// The converter access object: the two generic transfers (whole-file read,
// whole-file write) and the file operations built on them.
#include "link/U_TK7713T.h"

#include <algorithm>

TTK7713T Konvertor;

namespace tk7713t {

namespace {

using Image = std::array<std::uint8_t, kImageCapacity>;

bool readable(const ConverterFile& f) {
    return f.direction != Direction::Write;
}
bool writable(const ConverterFile& f) {
    return f.direction != Direction::Read;
}

// The whole file into a fixed buffer; length set only on Done.
Transfer readInto(TTK7713T& TK, const ConverterFile& f, Image& buf, std::size_t& length) {
    if (!TK.Init) {
        return Transfer::NotInitialised;
    }
    if (!readable(f)) {
        return Transfer::Failed;
    }
    switch (TK.Rozhrani) {
    case ROZHRANI_LAN: {
        std::int32_t got = 0;
        if (!TFTP_PrectiSoubor(TK.TFTP, std::string(f.name), buf.data(), got)) {
            return Transfer::Failed;
        }
        if (got < 0) {
            got = 0;
        }
        length = std::min<std::size_t>(static_cast<std::size_t>(got), kImageCapacity);
        return Transfer::Done;
    }
    case ROZHRANI_COM:
    case ROZHRANI_USBCOM: {
        std::size_t at = 0;
        for (std::uint8_t b = 0; b < f.blockCount; ++b) {
            const std::uint8_t n = f.blockSizes[b];
            if (MBRTU_PrectiBlok(TK.MBRTU, f.number, b, n, buf.data() + at) != 0) {
                return Transfer::Failed; // later blocks are not asked for
            }
            at += n;
        }
        length = at;
        return Transfer::Done;
    }
    default:
        return Transfer::Failed;
    }
}

// Read operation: transfer, decode, Status. A short image fails like a
// failed transfer so that no record is ever half decoded.
template <class Record>
bool readOperation(TTK7713T& TK, FileId id, Record& rec,
                   bool (*decode)(const std::uint8_t*, std::size_t, Record&)) {
    Image buf;
    std::size_t length = 0;
    switch (readInto(TK, file(id), buf, length)) {
    case Transfer::NotInitialised:
        return false;
    case Transfer::Done:
        if (decode(buf.data(), length, rec)) {
            rec.Status = 0;
            return true;
        }
        break;
    case Transfer::Failed:
        break;
    }
    rec.Status = 1;
    return false;
}

template <class Record, std::size_t N>
bool writeOperation(TTK7713T& TK, FileId id, Record& rec,
                    std::array<std::uint8_t, N> (*encode)(const Record&)) {
    if (!TK.Init) {
        return false;
    }
    const std::array<std::uint8_t, N> image = encode(rec);
    if (writeImage(TK, file(id), image.data(), N) != Transfer::Done) {
        rec.Status = 1;
        return false;
    }
    rec.Status = 0;
    return true;
}

} // namespace

Transfer readImage(TTK7713T& TK, const ConverterFile& f, std::vector<std::uint8_t>& image) {
    Image buf;
    std::size_t length = 0;
    const Transfer t = readInto(TK, f, buf, length);
    if (t == Transfer::Done) {
        image.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return t;
}

Transfer writeImage(TTK7713T& TK, const ConverterFile& f, const std::uint8_t* data,
                    std::size_t length) {
    if (!TK.Init) {
        return Transfer::NotInitialised;
    }
    if (!writable(f)) {
        return Transfer::Failed;
    }
    switch (TK.Rozhrani) {
    case ROZHRANI_LAN:
        // The link would silently cut a longer file; refuse instead of losing its tail.
        if (length > kImageCapacity) {
            return Transfer::Failed;
        }
        return TFTP_ZapisSoubor(TK.TFTP, std::string(f.name), data,
                                static_cast<std::int32_t>(length))
                   ? Transfer::Done
                   : Transfer::Failed;
    case ROZHRANI_COM:
    case ROZHRANI_USBCOM:
        // One block only; its length is one byte and no block exceeds kMaxBlock.
        if (length > kMaxBlock) {
            return Transfer::Failed;
        }
        return MBRTU_ZapisBlok(TK.MBRTU, f.number, 0, static_cast<std::uint8_t>(length), data) == 0
                   ? Transfer::Done
                   : Transfer::Failed;
    default:
        return Transfer::Failed;
    }
}

} // namespace tk7713t

using tk7713t::FileId;

void TK7713T_Reset() {
    // Initial state only; an earlier link is not released here.
    Konvertor.Init = false;
    Konvertor.Rozhrani = ROZHRANI_COM;
    Konvertor.TFTP.ID.IdTrivialFTP1 = nullptr;
    Konvertor.MBRTU.ID.HNDL = 0;
}

void TK7713T_Abort(TTK7713T& TK) {
    TFTP_Abort(TK.TFTP);
    MBRTU_Abort(TK.MBRTU);
}

bool TK7713T_PrectiInfo(TTK7713T& TK, TTK7713T_InfoTxt& Info) {
    return tk7713t::readOperation(TK, FileId::Info, Info, &tk7713t::decodeInfo);
}

bool TK7713T_PrectiSys(TTK7713T& TK, TTK7713T_SysBin& Sys) {
    return tk7713t::readOperation(TK, FileId::Sys, Sys, &tk7713t::decodeSys);
}

bool TK7713T_PrectiMmrd(TTK7713T& TK, TTK7713T_MmrdBin& Mmrd) {
    return tk7713t::readOperation(TK, FileId::Mmrd, Mmrd, &tk7713t::decodeMmrd);
}

bool TK7713T_PrectiMmrgv(TTK7713T& TK, TTK7713T_MmrgvBin& Mmrgv) {
    return tk7713t::readOperation(TK, FileId::Mmrgv, Mmrgv, &tk7713t::decodeMmrgv);
}

bool TK7713T_PrectiLan4(TTK7713T& TK, TTK7713T_Lan4Cfg& Lan4) {
    return tk7713t::readOperation(TK, FileId::Lan4, Lan4, &tk7713t::decodeLan4);
}

bool TK7713T_PrectiMbtcp(TTK7713T& TK, TTK7713T_MbtcpCfg& Mbtcp) {
    return tk7713t::readOperation(TK, FileId::Mbtcp, Mbtcp, &tk7713t::decodeMbtcp);
}

bool TK7713T_PrectiUarts(TTK7713T& TK, TTK7713T_UartsCfg& Uarts) {
    return tk7713t::readOperation(TK, FileId::Uarts, Uarts, &tk7713t::decodeUarts);
}

bool TK7713T_PrectiUartm(TTK7713T& TK, TTK7713T_UartmCfg& Uartm) {
    return tk7713t::readOperation(TK, FileId::Uartm, Uartm, &tk7713t::decodeUartm);
}

bool TK7713T_ZapisCtrl(TTK7713T& TK, TTK7713T_CtrlBin& Ctrl) {
    return tk7713t::writeOperation(TK, FileId::Ctrl, Ctrl, &tk7713t::encodeCtrl);
}

bool TK7713T_ZapisLan4(TTK7713T& TK, TTK7713T_Lan4Cfg& Lan4) {
    return tk7713t::writeOperation(TK, FileId::Lan4, Lan4, &tk7713t::encodeLan4);
}

bool TK7713T_ZapisMbtcp(TTK7713T& TK, TTK7713T_MbtcpCfg& Mbtcp) {
    return tk7713t::writeOperation(TK, FileId::Mbtcp, Mbtcp, &tk7713t::encodeMbtcp);
}

bool TK7713T_ZapisUarts(TTK7713T& TK, TTK7713T_UartsCfg& Uarts) {
    return tk7713t::writeOperation(TK, FileId::Uarts, Uarts, &tk7713t::encodeUarts);
}

bool TK7713T_ZapisUartm(TTK7713T& TK, TTK7713T_UartmCfg& Uartm) {
    return tk7713t::writeOperation(TK, FileId::Uartm, Uartm, &tk7713t::encodeUartm);
}

namespace {

bool sendCommand(TTK7713T& TK, TTK7713T_CtrlBin command, std::int32_t& Status) {
    if (!TK.Init) {
        return false; // out Status stays unset
    }
    const bool ok = TK7713T_ZapisCtrl(TK, command);
    Status = command.Status;
    return ok;
}

} // namespace

bool TK7713T_Restart(TTK7713T& TK, std::int32_t& Status) {
    return sendCommand(TK, tk7713t::restartCommand(), Status);
}

bool TK7713T_VymazStatistiku(TTK7713T& TK, std::int32_t& Status) {
    return sendCommand(TK, tk7713t::clearStatisticsCommand(), Status);
}
