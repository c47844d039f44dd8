#include "app/Dekl.h"

#include "platform/ProgramFolder.h"
#include "platform/SerialPort.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using support::readBytes;
using support::writeBytes;

// Every test gets its own settings folder and leaves the program-wide
// settings folder and serial device map as it found them.
class SettingsFile : public testing::Test {
  protected:
    void SetUp() override {
        temp_ = std::make_unique<support::TempFolder>("nastaveni");
        ASSERT_FALSE(temp_->path().empty());
        folder_ = temp_->path();
        SetSettingsFolder(folder_);
        // Never the real per-user folder, whatever a test provokes.
        SetUserSettingsFolder(folder_ + "/user");
        platform::setSerialDeviceMap({});
        InitData(&data_);
    }
    void TearDown() override {
        SetSettingsFolder("");
        SetUserSettingsFolder("");
        SetSettingsPerUser(false);
        platform::setSerialDeviceMap({});
        temp_.reset();
    }
    std::string iniPath() const { return folder_ + "/W_tk7713t.ini"; }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder_)) {
            out.push_back(e.path().filename().string());
        }
        return out;
    }

    std::unique_ptr<support::TempFolder> temp_;
    std::string folder_;
    TData data_;
};

const std::string DefaultsFile = "[Interface]\n"
                                 "Interface=0\n"
                                 "\n"
                                 "[LAN]\n"
                                 "IP address=192.168.0.99\n"
                                 "IP version=0\n"
                                 "Timeout=1000\n"
                                 "\n"
                                 "[COM]\n"
                                 "COM port=1\n"
                                 "Baud=4\n"
                                 "Parity=1\n"
                                 "Timeout=330\n"
                                 "Address=247\n"
                                 "\n"
                                 "[USB COM]\n"
                                 "COM port=1\n"
                                 "Baud=8\n"
                                 "Parity=1\n"
                                 "Timeout=330\n"
                                 "Address=255\n";

struct LoadCase {
    const char* name;
    std::string file; // empty: no file at all
    bool loaded;
    std::function<void(TPripojeni&)> expectedChange;
};

class SettingsLoad : public SettingsFile, public testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoad, ReadsWhatTheFileHoldsAndKeepsTheRest) {
    const LoadCase& c = GetParam();
    if (!c.file.empty()) {
        writeBytes(iniPath(), c.file);
    }
    data_.Lang = LANG_CZ;
    EXPECT_EQ(NactiNastaveni(&data_), c.loaded);
    TPripojeni expected = VychoziPripojeni();
    if (c.expectedChange) {
        c.expectedChange(expected);
    }
    EXPECT_EQ(data_.Pripojeni, expected);
    EXPECT_EQ(data_.Lang, LANG_CZ);
    EXPECT_EQ(data_.TypVerze, "???");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLoad,
    testing::Values(
        LoadCase{"NoFile", "", false, nullptr},
        LoadCase{"OnlyInterface", "[Interface]\nInterface=2\n", true,
                 [](TPripojeni& p) { p.Rozhrani = 2; }},
        LoadCase{"SentinelMeansNoSettings",
                 "[Interface]\nInterface=jkl\n[LAN]\nTimeout=5\n[COM]\nBaud=6\n", false, nullptr},
        LoadCase{"NoInterfaceKeyMeansNoSettings", "[LAN]\nTimeout=5\n[COM]\nBaud=6\n", false,
                 nullptr},
        LoadCase{"NonNumericInterfaceCountsAsPresent",
                 "[Interface]\nInterface=abc\n[COM]\nBaud=6\n", true,
                 [](TPripojeni& p) { p.COM_KodBaud = 6; }},
        LoadCase{"EmptyInterfaceCountsAsPresent", "[Interface]\nInterface=\n[LAN]\nTimeout=5\n",
                 true, [](TPripojeni& p) { p.LAN_Timeout = 5; }},
        LoadCase{"SentinelIsCaseSensitive", "[Interface]\nInterface=JKL\n[LAN]\nTimeout=5\n", true,
                 [](TPripojeni& p) { p.LAN_Timeout = 5; }},
        LoadCase{"HexBaudAndTimeoutWithUnit",
                 "[Interface]\nInterface=1\n[COM]\nBaud=0x8\nTimeout=330ms\n", true,
                 [](TPripojeni& p) {
                     p.Rozhrani = 1;
                     p.COM_KodBaud = 8;
                 }},
        LoadCase{"OutOfRangeInterfaceLoadsAsIs", "[Interface]\nInterface=7\n", true,
                 [](TPripojeni& p) { p.Rozhrani = 7; }},
        LoadCase{"EmptyAddressIsTaken", "[Interface]\nInterface=0\n[LAN]\nIP address=\n", true,
                 [](TPripojeni& p) { p.LAN_IP = ""; }},
        LoadCase{"EveryKey",
                 std::string() +
                     "[Interface]\nInterface=2\n[LAN]\nIP address=fe80::1\nIP version=1\n"
                     "Timeout=2500\n[COM]\nCOM port=12\nBaud=7\nParity=2\nTimeout=90\n"
                     "Address=17\n[USB COM]\nCOM port=255\nBaud=5\nParity=0\nTimeout=65535\n"
                     "Address=1\n",
                 true,
                 [](TPripojeni& p) {
                     p = TPripojeni{2, "fe80::1", 1, 2500, 12, 7, 2, 90, 17, 255, 5, 0, 65535, 1};
                 }},
        LoadCase{
            "IntegerForms",
            "[Interface]\nInterface=+2\n[LAN]\nIP version=-1\nTimeout=0X1f\n[COM]\n"
            "COM "
            "port=2147483647\nBaud=-2147483648\nParity=2147483648\nTimeout=0x\nAddress=0x7FFFFFFF\n"
            "[USB COM]\nCOM port=0x80000000\nBaud=1 2\nParity=007\nTimeout=-0x10\nAddress=$10\n",
            true,
            [](TPripojeni& p) {
                p.Rozhrani = 2;
                p.LAN_VerzeIP = -1;
                p.LAN_Timeout = 31;
                p.COM_CisloCOM = 2147483647;
                p.COM_KodBaud = INT32_MIN;
                p.COM_Adresa = 0x7FFFFFFF;
                p.USBCOM_KodParita = 7;
                p.USBCOM_Timeout = -16;
            }},
        LoadCase{"NamesInOtherCaseAndBlanks",
                 "[ interface ]\r\n interface = 1 \r\n[usb com]\r\nbaud\t=\t6\r\n", true,
                 [](TPripojeni& p) {
                     p.Rozhrani = 1;
                     p.USBCOM_KodBaud = 6;
                 }},
        LoadCase{
            "ByteOrderMarkAndGarbage",
            "\xEF\xBB\xBFjunk\x01\xFF\n[Interface]\nInterface=1\nno equals sign\n[LAN\nTimeout=9\n",
            true,
            // "[LAN" is no header: its Timeout line belongs to [Interface].
            [](TPripojeni& p) { p.Rozhrani = 1; }},
        LoadCase{"DuplicatesFirstWins",
                 "[Interface]\nInterface=1\nInterface=2\n[COM]\nBaud=5\n[COM]\nBaud=6\nParity=2\n",
                 true,
                 [](TPripojeni& p) {
                     p.Rozhrani = 1;
                     p.COM_KodBaud = 5;
                 }},
        LoadCase{"CzechAndInvalidUtf8InAddress",
                 "[Interface]\nInterface=0\n[LAN]\nIP address=p\xC5\x99\xC3\xADklad\xFF.local\n",
                 true, [](TPripojeni& p) { p.LAN_IP = "p\xC5\x99\xC3\xADklad\xFF.local"; }},
        LoadCase{"VeryLongLines",
                 std::string(200000, '#') + "\n[Interface]\nInterface=1\n[LAN]\nIP address=" +
                     std::string(100000, 'a') + "\n",
                 true,
                 [](TPripojeni& p) {
                     p.Rozhrani = 1;
                     p.LAN_IP = std::string(100000, 'a');
                 }}),
    [](const testing::TestParamInfo<LoadCase>& i) { return std::string(i.param.name); });

TEST_F(SettingsFile, NullPointers) {
    EXPECT_FALSE(NactiNastaveni(nullptr));
    EXPECT_FALSE(UlozNastaveni(nullptr));
    EXPECT_TRUE(folderNames().empty());
}

TEST_F(SettingsFile, UnreadableFileLoadsNothingAndIsNeverReplaced) {
    fs::create_directory(iniPath());
    writeBytes(iniPath() + "/inside", "x");
    EXPECT_FALSE(NactiNastaveni(&data_));
    EXPECT_EQ(data_.Pripojeni, VychoziPripojeni());
    EXPECT_FALSE(UlozNastaveni(&data_));
    EXPECT_EQ(readBytes(iniPath() + "/inside"), "x");
    EXPECT_EQ(folderNames(), std::vector<std::string>{"W_tk7713t.ini"});
}

// A file too large to read is still somebody's data: a save must not
// replace it by the fourteen keys alone.
TEST_F(SettingsFile, OversizedFileIsNeverReplaced) {
    writeBytes(iniPath(), "[Interface]\nInterface=1\n");
    fs::resize_file(iniPath(), 1024u * 1024u + 1u); // one byte over the cap
    EXPECT_FALSE(NactiNastaveni(&data_));
    EXPECT_EQ(data_.Pripojeni, VychoziPripojeni());
    EXPECT_FALSE(UlozNastaveni(&data_));
    EXPECT_EQ(fs::file_size(iniPath()), 1024u * 1024u + 1u);
    EXPECT_EQ(readBytes(iniPath()).substr(0, 12), "[Interface]\n");
}

TEST_F(SettingsFile, DefaultsMakeTheFourSectionsInOrder) {
    EXPECT_TRUE(UlozNastaveni(&data_));
    EXPECT_EQ(readBytes(iniPath()), support::withNativeLineBreaks(DefaultsFile));
    EXPECT_EQ(folderNames(), std::vector<std::string>{"W_tk7713t.ini"});
}

TEST_F(SettingsFile, SaveKeepsForeignLinesByteForByte) {
    const std::string before = "\xEF\xBB\xBF; written by hand\r\n"
                               "[Serial ports]\r\n"
                               "COM3=/dev/ttyUSB0\r\n"
                               "\r\n"
                               "[interface]\r\n"
                               "interface = 0\r\n"
                               "Extra=\xFF\xFE keep\r\n"
                               "[LAN]\r\n"
                               "IP address = 10.0.0.5   \r\n"
                               "; a comment inside\r\n"
                               "Timeout=1000\r\n"
                               "\r\n"
                               "[Mine]\r\n"
                               "Timeout=1\r\n"
                               "[COM]\r\n"
                               "Baud=4\r\n"
                               "Baud=99\r\n"
                               "garbage without equals\r\n"
                               "[COM]\r\n"
                               "Parity=2";
    writeBytes(iniPath(), before);
    ASSERT_TRUE(NactiNastaveni(&data_));
    data_.Pripojeni.Rozhrani = 1;
    data_.Pripojeni.LAN_IP = "10.0.0.5";
    data_.Pripojeni.COM_KodBaud = 6;
    ASSERT_TRUE(UlozNastaveni(&data_));
    const std::string after = "\xEF\xBB\xBF; written by hand\r\n"
                              "[Serial ports]\r\n"
                              "COM3=/dev/ttyUSB0\r\n"
                              "\r\n"
                              "[interface]\r\n"
                              "interface = 1\r\n"
                              "Extra=\xFF\xFE keep\r\n"
                              "[LAN]\r\n"
                              "IP address = 10.0.0.5   \r\n"
                              "; a comment inside\r\n"
                              "Timeout=1000\r\n"
                              "IP version=0\r\n"
                              "\r\n"
                              "[Mine]\r\n"
                              "Timeout=1\r\n"
                              "[COM]\r\n"
                              "Baud=6\r\n"
                              "Baud=99\r\n"
                              "COM port=1\r\n"
                              "Parity=1\r\n"
                              "Timeout=330\r\n"
                              "Address=247\r\n"
                              "garbage without equals\r\n"
                              "[COM]\r\n"
                              "Parity=2\r\n"
                              "\r\n"
                              "[USB COM]\r\n"
                              "COM port=1\r\n"
                              "Baud=8\r\n"
                              "Parity=1\r\n"
                              "Timeout=330\r\n"
                              "Address=255\r\n";
    EXPECT_EQ(readBytes(iniPath()), after);
}

TEST_F(SettingsFile, RoundTripKeepsEveryFieldIncludingCzechLetters) {
    data_.Pripojeni = TPripojeni{2, "převodník.local", 1, 65535, 255, 0, 2, 1, 1, 3, 8, 0, -5, 0};
    ASSERT_TRUE(UlozNastaveni(&data_));
    TData loaded;
    InitData(&loaded);
    ASSERT_TRUE(NactiNastaveni(&loaded));
    EXPECT_EQ(loaded.Pripojeni, data_.Pripojeni);

    data_.Pripojeni.LAN_IP = "";
    ASSERT_TRUE(UlozNastaveni(&data_));
    ASSERT_TRUE(NactiNastaveni(&loaded));
    EXPECT_EQ(loaded.Pripojeni.LAN_IP, "");
}

TEST_F(SettingsFile, UnchangedSettingsLeaveTheFileAlone) {
    ASSERT_TRUE(UlozNastaveni(&data_));
    // An old stamp shows whether the second save wrote the file again.
    const fs::file_time_type old = fs::last_write_time(iniPath()) - std::chrono::hours(24);
    fs::last_write_time(iniPath(), old);
    ASSERT_TRUE(UlozNastaveni(&data_));
    EXPECT_EQ(fs::last_write_time(iniPath()), old);
}

TEST_F(SettingsFile, FoldersThatAreFilesFailTheSaveAndLoseNothing) {
    writeBytes(folder_ + "/plain", "contents");
    SetSettingsFolder(folder_ + "/plain");
    SetUserSettingsFolder(folder_ + "/plain");
    EXPECT_FALSE(NactiNastaveni(&data_));
    EXPECT_FALSE(UlozNastaveni(&data_));
    EXPECT_EQ(readBytes(folder_ + "/plain"), "contents");
    EXPECT_EQ(folderNames(), std::vector<std::string>{"plain"});
}

TEST_F(SettingsFile, AddressWithALineBreakIsRefusedButTheRestIsSaved) {
    writeBytes(iniPath(), DefaultsFile);
    data_.Pripojeni.LAN_IP = "10.0.0.1\n[Interface]\nInterface=2";
    data_.Pripojeni.COM_Adresa = 12;
    EXPECT_FALSE(UlozNastaveni(&data_));
    TData loaded;
    InitData(&loaded);
    ASSERT_TRUE(NactiNastaveni(&loaded));
    TPripojeni expected = VychoziPripojeni();
    expected.COM_Adresa = 12;
    EXPECT_EQ(loaded.Pripojeni, expected);
}

TEST_F(SettingsFile, SerialDeviceMapIsLoadedAndSurvivesSaves) {
    const std::string serialSection = "[Serial ports]\n"
                                      "COM3=/dev/ttyUSB0\n"
                                      "com12 =  /dev/pts/7 \n"
                                      "COM0=/dev/zero0\n"
                                      "COM256=/dev/big\n"
                                      "COM03=/dev/padded\n"
                                      "COMx=/dev/x\n"
                                      "COM5=\n"
                                      "COM255=/dev/last\n";
    // The map is machine set-up, so it is loaded even from a file that
    // holds no connection settings.
    writeBytes(iniPath(), serialSection + "[Interface]\nInterface=jkl\n");
    EXPECT_FALSE(NactiNastaveni(&data_));
    EXPECT_EQ(platform::mappedSerialDevicePath(3), "/dev/ttyUSB0");
    EXPECT_EQ(platform::mappedSerialDevicePath(12), "/dev/pts/7");
    EXPECT_EQ(platform::mappedSerialDevicePath(255), "/dev/last");
    for (int n : {0, 1, 5, 256}) {
        EXPECT_EQ(platform::mappedSerialDevicePath(n), "") << n;
    }

    data_.Pripojeni.Rozhrani = 2;
    ASSERT_TRUE(UlozNastaveni(&data_));
    const std::string saved = readBytes(iniPath());
    EXPECT_EQ(saved.substr(0, serialSection.size()), serialSection);
    EXPECT_EQ(saved.find("[Serial ports]", 1), std::string::npos);
}

TEST_F(SettingsFile, FileWithoutSerialSectionLeavesTheMapAlone) {
    platform::setSerialDeviceMap({{4, "/dev/pts/99"}});
    writeBytes(iniPath(), "[Interface]\nInterface=1\n");
    EXPECT_TRUE(NactiNastaveni(&data_));
    EXPECT_EQ(platform::mappedSerialDevicePath(4), "/dev/pts/99");

    writeBytes(iniPath(), "[Serial ports]\n");
    EXPECT_FALSE(NactiNastaveni(&data_));
    EXPECT_EQ(platform::mappedSerialDevicePath(4), "");
}

TEST(SettingsFilePath, DefaultsToTheProgramFolder) {
    SetSettingsFolder("");
    EXPECT_EQ(SettingsFileLocation().place, SettingsPlace::BesideProgram);
    // Joined with the folder's own separator ("\\" on Windows).
    EXPECT_EQ(fs::path(SettingsFilePath()), fs::path(platform::programFolder()) / "W_tk7713t.ini");
    EXPECT_TRUE(fs::equivalent(platform::programFolder(), fs::path(TK_BINARY_DIR) / "tests"));
    // Asking whether the folder takes files leaves nothing behind.
    for (const auto& e : fs::directory_iterator(platform::programFolder())) {
        EXPECT_EQ(e.path().filename().string().find(".W_tk7713t-probe"), std::string::npos);
    }
}

// Where the file goes: an installed program per user, a copy beside
// itself, and per user when its folder cannot be written. The unwritable
// folder lies under a regular file, which stops a superuser too.
struct PlaceCase {
    const char* name;
    bool perUser;
    bool programFolderWritable;
    SettingsPlace place;
};

class SettingsPlaces : public SettingsFile, public testing::WithParamInterface<PlaceCase> {};

TEST_P(SettingsPlaces, LoadAndSaveUseTheChosenFileOnly) {
    const PlaceCase& c = GetParam();
    std::string program = folder_ + "/program";
    if (c.programFolderWritable) {
        fs::create_directory(program);
    } else {
        writeBytes(program, "not a folder");
        program += "/bin";
    }
    SetSettingsFolder(program);
    SetSettingsPerUser(c.perUser);
    const std::string userFile = folder_ + "/user/W_tk7713t/W_tk7713t.ini";
    const std::string besideFile = program + "/W_tk7713t.ini";
    const bool besides = c.place == SettingsPlace::BesideProgram;

    EXPECT_EQ(SettingsFileLocation().place, c.place);
    EXPECT_EQ(SettingsFileLocation().programFolder, program);
    EXPECT_EQ(SettingsFilePath(), besides ? besideFile : userFile);

    data_.Pripojeni.COM_CisloCOM = 5;
    ASSERT_TRUE(UlozNastaveni(&data_));
    EXPECT_EQ(fs::exists(besideFile), besides);
    EXPECT_EQ(fs::exists(userFile), !besides);

    // The device map is read from the same file.
    const std::string file = SettingsFilePath();
    writeBytes(file, readBytes(file) + "[Serial ports]\nCOM5=/dev/ttyUSB0\n");
    TData loaded;
    InitData(&loaded);
    ASSERT_TRUE(NactiNastaveni(&loaded));
    EXPECT_EQ(loaded.Pripojeni.COM_CisloCOM, 5);
    EXPECT_EQ(platform::mappedSerialDevicePath(5), "/dev/ttyUSB0");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsPlaces,
    testing::Values(PlaceCase{"CopyInItsOwnFolder", false, true, SettingsPlace::BesideProgram},
                    PlaceCase{"CopyInUnwritableFolder", false, false,
                              SettingsPlace::PerUserFallback},
                    PlaceCase{"Installed", true, true, SettingsPlace::PerUser},
                    PlaceCase{"InstalledInUnwritableFolder", true, false, SettingsPlace::PerUser}),
    [](const testing::TestParamInfo<PlaceCase>& i) { return std::string(i.param.name); });

// An installed program that finds no per-user file yet starts from the
// file beside it (an earlier version kept one there) and never changes it.
TEST_F(SettingsFile, PerUserFileStartsFromTheFileBesideTheProgram) {
    const std::string beside = "[Interface]\nInterface=1\n[Serial ports]\nCOM3=/dev/ttyACM0\n";
    writeBytes(iniPath(), beside);
    SetSettingsPerUser(true);
    ASSERT_TRUE(NactiNastaveni(&data_));
    EXPECT_EQ(data_.Pripojeni.Rozhrani, 1);
    EXPECT_EQ(platform::mappedSerialDevicePath(3), "/dev/ttyACM0");

    // Unchanged settings still make the per-user file, map included.
    ASSERT_TRUE(UlozNastaveni(&data_));
    const std::string saved = readBytes(SettingsFilePath());
    EXPECT_NE(saved.find("COM3=/dev/ttyACM0"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Interface=1"), std::string::npos) << saved;
    EXPECT_EQ(readBytes(iniPath()), beside);

    // From now on the per-user file alone counts.
    writeBytes(iniPath(), "[Interface]\nInterface=2\n");
    ASSERT_TRUE(NactiNastaveni(&data_));
    EXPECT_EQ(data_.Pripojeni.Rozhrani, 1);
}

TEST_F(SettingsFile, PerUserFolderThatCannotBeMadeFailsTheSave) {
    writeBytes(folder_ + "/user", "a file where the folder belongs");
    SetSettingsPerUser(true);
    EXPECT_FALSE(UlozNastaveni(&data_));
    EXPECT_EQ(readBytes(folder_ + "/user"), "a file where the folder belongs");
    EXPECT_EQ(folderNames(), std::vector<std::string>{"user"});
}

} // namespace
