#include "cli/commands/ModbusCommand.h"

namespace tkcli {

// Built without libmodbus: "modbus" is no command of this build.
bool IsModbusCommand(const std::vector<std::string>&) {
    return false;
}

int RunModbusCommand(Context&, const std::vector<std::string>&) {
    return 2;
}

} // namespace tkcli
