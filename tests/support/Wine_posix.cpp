#include "support/Wine.h"

namespace support {

bool underWine() {
    return false;
}

} // namespace support
