// The backup reader: a refused text leaves the document alone and says
// why; an accepted one prints as JSON that reads back to the same print,
// and no document nests deeper than the limit.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "cli/Json.h"

namespace {

using tkcli::json::Value;

std::size_t depth(const Value& v) {
    std::size_t deepest = 0;
    for (const Value& item : v.items) {
        deepest = std::max(deepest, depth(item) + 1);
    }
    for (const auto& member : v.members) {
        deepest = std::max(deepest, depth(member.second) + 1);
    }
    return deepest;
}

std::size_t values(const Value& v) {
    std::size_t count = 1;
    for (const Value& item : v.items) {
        count += values(item);
    }
    for (const auto& member : v.members) {
        count += values(member.second);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Value doc = Value::string("untouched");
    std::string error;
    if (!tkcli::json::read(text, doc, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(doc.isString() && doc.text == "untouched");
        return 0;
    }
    FUZZ_CHECK(depth(doc) <= 64);
    const std::string printed = tkcli::json::write(doc);
    Value again;
    FUZZ_CHECK(tkcli::json::read(printed, again, error));
    FUZZ_CHECK(tkcli::json::write(again) == printed);

    // With a backup's limits only a small document gets through.
    tkcli::json::ReadLimits limits;
    limits.maxDepth = 2;
    limits.maxMembers = 16;
    limits.arrays = false;
    Value small;
    if (tkcli::json::read(text, small, error, limits)) {
        FUZZ_CHECK(depth(small) <= 2 && values(small) <= 1 + 16 + 16 * 16);
        FUZZ_CHECK(tkcli::json::write(small) == printed);
    }
    return 0;
}
