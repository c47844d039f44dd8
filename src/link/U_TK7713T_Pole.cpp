#include "link/U_TK7713T_Pole.h"

namespace tk7713t {

std::span<const Field> fields(FileId id) {
    switch (id) {
    case FileId::Lan4:
        return FileFields<FileId::Lan4>::table;
    case FileId::Mbtcp:
        return FileFields<FileId::Mbtcp>::table;
    case FileId::Uartm:
        return FileFields<FileId::Uartm>::table;
    case FileId::Uarts:
        return FileFields<FileId::Uarts>::table;
    case FileId::Sys:
        return FileFields<FileId::Sys>::table;
    case FileId::Ctrl:
        return FileFields<FileId::Ctrl>::table;
    default:
        return {};
    }
}

} // namespace tk7713t
