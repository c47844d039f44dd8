#include "app/Dekl.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace {

constexpr const char* SectionInterface = "Interface";
constexpr const char* SectionLan = "LAN";
constexpr const char* SectionCom = "COM";
constexpr const char* SectionUsbCom = "USB COM";
constexpr const char* SectionSerialPorts = "Serial ports";
constexpr const char* NoSettings = "jkl";
constexpr int MaxComNumber = 255;

std::string settingsFolderOverride;
std::string userFolderOverride;
bool settingsPerUser = false;
std::optional<SettingsLocation> chosenLocation;

// One key of the file; exactly one of the two fields is set.
struct SettingKey {
    const char* section;
    const char* key;
    std::int32_t TPripojeni::*integer;
    std::string TPripojeni::*text;
};

// The fourteen keys in file order: a new file lists them this way.
const SettingKey SettingKeys[] = {
    {SectionInterface, "Interface", &TPripojeni::Rozhrani, nullptr},
    {SectionLan, "IP address", nullptr, &TPripojeni::LAN_IP},
    {SectionLan, "IP version", &TPripojeni::LAN_VerzeIP, nullptr},
    {SectionLan, "Timeout", &TPripojeni::LAN_Timeout, nullptr},
    {SectionCom, "COM port", &TPripojeni::COM_CisloCOM, nullptr},
    {SectionCom, "Baud", &TPripojeni::COM_KodBaud, nullptr},
    {SectionCom, "Parity", &TPripojeni::COM_KodParita, nullptr},
    {SectionCom, "Timeout", &TPripojeni::COM_Timeout, nullptr},
    {SectionCom, "Address", &TPripojeni::COM_Adresa, nullptr},
    {SectionUsbCom, "COM port", &TPripojeni::USBCOM_CisloCOM, nullptr},
    {SectionUsbCom, "Baud", &TPripojeni::USBCOM_KodBaud, nullptr},
    {SectionUsbCom, "Parity", &TPripojeni::USBCOM_KodParita, nullptr},
    {SectionUsbCom, "Timeout", &TPripojeni::USBCOM_Timeout, nullptr},
    {SectionUsbCom, "Address", &TPripojeni::USBCOM_Adresa, nullptr},
};

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

// Decimal with an optional sign, or hexadecimal with 0x; nothing else, and
// nothing outside the Integer range.
std::optional<std::int32_t> parseInteger(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) {
        return std::nullopt;
    }
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (char c : s) {
        const int d = digitValue(c);
        if (d >= base) {
            return std::nullopt;
        }
        value = value * base + d;
        if (value > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

// The map reaches the serial layer only when the file has the section, so a
// file without it leaves a map set by other means alone. The layer itself
// ignores the map where ports have names of their own (Windows).
void loadSerialDeviceMap(const platform::ProfileFile& file) {
    if (!file.hasSection(SectionSerialPorts)) {
        return;
    }
    std::map<int, std::string> map;
    for (int n = 1; n <= MaxComNumber; ++n) {
        const auto path = file.value(SectionSerialPorts, "COM" + std::to_string(n));
        if (path && !path->empty()) {
            map.emplace(n, *path);
        }
    }
    platform::setSerialDeviceMap(std::move(map));
}

// Joins with the separator the folder already uses, so a Windows path
// reads as one.
std::string joinPath(std::string folder, const std::string& name) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        const bool backslashes =
            folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
        folder += backslashes ? '\\' : '/';
    }
    return folder + name;
}

SettingsLocation chooseLocation() {
    SettingsLocation loc;
    loc.programFolder =
        settingsFolderOverride.empty() ? platform::programFolder() : settingsFolderOverride;
    const std::string userBase =
        userFolderOverride.empty() ? platform::userConfigFolder() : userFolderOverride;
    const std::string userPath =
        userBase.empty() ? std::string()
                         : joinPath(joinPath(userBase, SLOZKA_NASTAVENI), SOUBOR_NASTAVENI);
    if (settingsPerUser) {
        loc.place = SettingsPlace::PerUser;
        loc.path = userPath;
    } else if (userPath.empty() || platform::folderAcceptsNewFiles(loc.programFolder)) {
        loc.place = SettingsPlace::BesideProgram;
        loc.path = joinPath(loc.programFolder, SOUBOR_NASTAVENI);
    } else {
        loc.place = SettingsPlace::PerUserFallback;
        loc.path = userPath;
    }
    return loc;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Loads the settings file; a per-user file that does not exist yet starts
// from the one beside the program, read only. `fresh` tells whether the
// settings file itself was missing.
platform::ProfileLoadResult loadSettings(platform::ProfileFile& file, const SettingsLocation& loc,
                                         bool* fresh) {
    platform::ProfileLoadResult result = file.load(loc.path);
    if (fresh != nullptr) {
        *fresh = result == platform::ProfileLoadResult::Missing;
    }
    if (result == platform::ProfileLoadResult::Missing &&
        loc.place != SettingsPlace::BesideProgram) {
        result = file.load(joinPath(loc.programFolder, SOUBOR_NASTAVENI));
        if (result == platform::ProfileLoadResult::Unreadable) {
            // Only the per-user file counts: an unreadable starting point
            // is no reason to refuse saving there.
            result = platform::ProfileLoadResult::Missing;
        }
    }
    return result;
}

} // namespace

void SetSettingsPerUser(bool perUser) {
    settingsPerUser = perUser;
    chosenLocation.reset();
}

bool SettingsPerUser() {
    return settingsPerUser;
}

void SetSettingsFolder(const std::string& folder) {
    settingsFolderOverride = folder;
    chosenLocation.reset();
}

void SetUserSettingsFolder(const std::string& folder) {
    userFolderOverride = folder;
    chosenLocation.reset();
}

const SettingsLocation& SettingsFileLocation() {
    if (!chosenLocation) {
        chosenLocation = chooseLocation();
    }
    return *chosenLocation;
}

std::string SettingsFilePath() {
    return SettingsFileLocation().path;
}

bool NactiNastaveni(PData Dat) {
    if (Dat == nullptr) {
        return false;
    }
    platform::ProfileFile file;
    if (loadSettings(file, SettingsFileLocation(), nullptr) !=
        platform::ProfileLoadResult::Loaded) {
        return false;
    }
    loadSerialDeviceMap(file);
    if (file.readString(SectionInterface, "Interface", NoSettings) == NoSettings) {
        return false;
    }
    TPripojeni& p = Dat->Pripojeni;
    for (const SettingKey& k : SettingKeys) {
        auto value = file.value(k.section, k.key);
        if (!value) {
            continue;
        }
        if (k.text != nullptr) {
            p.*k.text = std::move(*value);
        } else if (const auto v = parseInteger(*value)) {
            p.*k.integer = *v;
        }
    }
    return true;
}

bool UlozNastaveni(PData Dat) {
    if (Dat == nullptr) {
        return false;
    }
    const SettingsLocation& loc = SettingsFileLocation();
    if (loc.path.empty()) {
        return false;
    }
    platform::ProfileFile file;
    bool fresh = false;
    const platform::ProfileLoadResult loaded = loadSettings(file, loc, &fresh);
    if (loaded == platform::ProfileLoadResult::Unreadable) {
        // Never replace a file whose contents could not be read.
        return false;
    }
    const std::string before = file.bytes();
    const TPripojeni& p = Dat->Pripojeni;
    // A value the file cannot hold (a line break in the address) keeps the
    // old value of its key; the other keys are still saved.
    bool all = true;
    for (const SettingKey& k : SettingKeys) {
        const std::string value = k.text != nullptr ? p.*k.text : std::to_string(p.*k.integer);
        all = file.write(k.section, k.key, value) && all;
    }
    if (!fresh && file.bytes() == before) {
        return all;
    }
    // The per-user folder may not exist yet; the program's folder does.
    if (loc.place != SettingsPlace::BesideProgram && !platform::makeFolders(folderOf(loc.path))) {
        return false;
    }
    return file.save(loc.path) && all;
}
