#include "cli/commands/ModbusCommand.h"

namespace tkcli {

// Built without libmodbus: "modbus" is no command of this build.
bool IsModbusCommand(const std::vector<std::string>&) {
    return false;
}

int RunModbusCommand(const std::vector<std::string>&, std::ostream&, std::ostream&, std::int32_t,
                     bool) {
    return 2;
}

} // namespace tkcli
