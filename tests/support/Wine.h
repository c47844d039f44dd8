// Known limits of Wine that are not faults of the program: tests that meet
// them are skipped under Wine and keep running elsewhere.
#pragma once

namespace support {

bool underWine();

} // namespace support

#define TK_SKIP_UNDER_WINE(reason)                                                                 \
    do {                                                                                           \
        if (::support::underWine()) {                                                              \
            GTEST_SKIP() << "under Wine: " << (reason);                                            \
        }                                                                                          \
    } while (false)
