// The settings-file layer: any bytes parse and come back byte-exact, a
// stored value reads back as written, and a document saved to disk loads
// back identical.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"
#include "platform/ProfileFile.h"

namespace {

std::string trimmed(const std::string& s) {
    const char* blanks = " \t\r\v\f";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::string scratchPath;

void removeScratchFile() {
    ::unlink(scratchPath.c_str());
}

std::string scratchFile() {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath = std::string(base) + "/tk-profile-fuzz-" + std::to_string(::getpid()) + ".ini";
    std::atexit(removeScratchFile);
    return scratchPath;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(16);
    const std::string key = in.ConsumeRandomLengthString(16);
    const std::string value = in.ConsumeRandomLengthString(32);
    const std::string file = in.ConsumeRemainingBytesAsString();

    platform::ProfileFile doc;
    doc.parse(file);
    FUZZ_CHECK(doc.bytes() == file);

    const std::string before = doc.bytes();
    if (doc.write(section, key, value)) {
        const auto back = doc.value(section, key);
        FUZZ_CHECK(back && *back == trimmed(value));
        platform::ProfileFile reparsed;
        reparsed.parse(doc.bytes());
        FUZZ_CHECK(reparsed.value(section, key) == back);
        // A second identical write changes nothing.
        const std::string once = doc.bytes();
        FUZZ_CHECK(doc.write(section, key, value) && doc.bytes() == once);
    } else {
        FUZZ_CHECK(doc.bytes() == before);
    }

    static const std::string path = scratchFile();
    if (doc.bytes().size() <= platform::ProfileFile::MaxFileBytes && doc.save(path)) {
        platform::ProfileFile loaded;
        FUZZ_CHECK(loaded.load(path) == platform::ProfileLoadResult::Loaded);
        FUZZ_CHECK(loaded.bytes() == doc.bytes());
        FUZZ_CHECK(loaded.save(path));
        platform::ProfileFile again;
        FUZZ_CHECK(again.load(path) == platform::ProfileLoadResult::Loaded &&
                   again.bytes() == doc.bytes());
    }
    return 0;
}
