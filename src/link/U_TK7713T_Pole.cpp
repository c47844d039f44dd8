#include "link/U_TK7713T_Pole.h"

namespace tk7713t {

std::span<const Field> fields(FileId id) {
    // In FileId order.
    static constexpr std::span<const Field> kTables[] = {
        {},
        FileFields<FileId::Sys>::table,
        FileFields<FileId::Ctrl>::table,
        {},
        {},
        FileFields<FileId::Lan4>::table,
        FileFields<FileId::Mbtcp>::table,
        FileFields<FileId::Uartm>::table,
        FileFields<FileId::Uarts>::table,
    };
    static_assert(std::size(kTables) == std::tuple_size_v<std::decay_t<decltype(catalogue())>>);
    return kTables[static_cast<std::size_t>(id)];
}

} // namespace tk7713t
