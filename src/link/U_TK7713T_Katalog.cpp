// The catalogue of the converter's files: names, serial file numbers and
// blocks, lengths and directions. Pure data, no transport needed.
#include "link/U_TK7713T.h"

namespace tk7713t {

namespace {

constexpr std::array<ConverterFile, 9> kCatalogue{{
    // id, name, number, blocks, block sizes, length, decoder needs, direction
    {FileId::Info, "info.txt", 0, 1, {31, 0}, 0, 0, Direction::Read}, // free length
    {FileId::Sys, "sys.bin", 2, 2, {240, 152}, 392, 392, Direction::Read},
    {FileId::Ctrl, "ctrl.bin", 3, 1, {23, 0}, 23, 22, Direction::Write},
    {FileId::Mmrd, "mmrd.bin", 6, 1, {240, 0}, 16, 16, Direction::Read},
    {FileId::Mmrgv, "mmrgv.bin", 7, 1, {240, 0}, 192, 192, Direction::Read},
    {FileId::Lan4, "lan4.cfg", 20, 1, {16, 0}, 16, 13, Direction::ReadWrite},
    {FileId::Mbtcp, "mbtcp.cfg", 22, 1, {3, 0}, 3, 2, Direction::ReadWrite},
    {FileId::Uartm, "uartm.cfg", 23, 1, {6, 0}, 6, 5, Direction::ReadWrite},
    {FileId::Uarts, "uarts.cfg", 24, 1, {5, 0}, 5, 4, Direction::ReadWrite},
}};

} // namespace

std::size_t ConverterFile::serialLength() const {
    std::size_t total = 0;
    for (std::uint8_t b = 0; b < blockCount; ++b) {
        total += blockSizes[b];
    }
    return total;
}

const std::array<ConverterFile, 9>& catalogue() {
    return kCatalogue;
}

const ConverterFile& file(FileId id) {
    return kCatalogue[static_cast<std::size_t>(id)];
}

const ConverterFile* findFile(std::string_view name) {
    for (const ConverterFile& f : kCatalogue) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

} // namespace tk7713t
