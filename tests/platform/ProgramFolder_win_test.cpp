// The user's settings folder on Windows: %APPDATA% as UTF-8, the roaming
// application data folder without it.
#include "platform/ProgramFolder.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(UserConfigFolder, IsAppDataAsUtf8AndTheKnownFolderWithoutIt) {
    const DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    std::vector<wchar_t> old(size > 0 ? size : 1, L'\0');
    const bool had = size > 0 && GetEnvironmentVariableW(L"APPDATA", old.data(), size) > 0;

    ASSERT_TRUE(
        SetEnvironmentVariableW(L"APPDATA", L"C:\\Users\\Ji\u0159\u00ed\\AppData\\Roaming"));
    EXPECT_EQ(platform::userConfigFolder(), "C:\\Users\\Ji\xC5\x99\xC3\xAD\\AppData\\Roaming");

    ASSERT_TRUE(SetEnvironmentVariableW(L"APPDATA", nullptr));
    const std::string known = platform::userConfigFolder();
    EXPECT_FALSE(known.empty());

    SetEnvironmentVariableW(L"APPDATA", had ? old.data() : nullptr);
}

} // namespace
