// A small JSON document model for the command-line tool: enough to print
// its results and to read a configuration backup back. Reading goes through
// the nlohmann JSON library; printing stays here, as the library cannot
// escape C1 control characters without escaping every other letter too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tkcli::json {

struct Member;

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text; // Number: the number as written; String: UTF-8 contents
    std::vector<Value> items;
    std::vector<Member> members; // in document order

    static Value null();
    static Value number(std::int64_t v);
    static Value number(std::uint64_t v);
    static Value number(std::uint32_t v);
    static Value number(std::int32_t v);
    // Shortest text that reads back as the same double; infinities as
    // 1e999 / -1e999 (valid JSON that common readers take as infinity).
    static Value real(double v);
    static Value string(std::string utf8);
    // A converter text: one character per byte, byte value = code point.
    static Value bytes(std::string_view latin1);
    static Value array();
    static Value object();

    Value& add(std::string key, Value v); // object member, kept in order
    Value& push(Value v);                 // array item
    const Value* find(std::string_view key) const;

    bool isNumber() const { return kind == Kind::Number; }
    bool isString() const { return kind == Kind::String; }
    bool isObject() const { return kind == Kind::Object; }
};

// An object member; a struct rather than a pair, as a pair cannot hold the
// still incomplete Value.
struct Member {
    std::string first;
    Value second;
};

// Defined here, where Value is complete: a function returning a Value
// inside its own definition would need the member type complete too.
inline Value Value::null() {
    return Value{};
}
inline Value Value::number(std::uint32_t v) {
    return number(static_cast<std::uint64_t>(v));
}
inline Value Value::number(std::int32_t v) {
    return number(static_cast<std::int64_t>(v));
}

// Pretty-printed, two blanks per level, "\n" at the end. Control characters
// (U+0000-U+001F, U+007F-U+009F) are escaped as \u00XX.
std::string write(const Value& v);

// What a document may hold. A reader expecting a small, known shape refuses
// a huge or odd one while reading it, rather than building it first.
struct ReadLimits {
    std::size_t maxDepth = 64;                             // containers inside each other
    std::size_t maxMembers = static_cast<std::size_t>(-1); // per object
    bool arrays = true;
};

// Strict RFC 8259 reading (UTF-8 checked); duplicate keys and what passes
// the limits are errors. On failure returns false with a message, which
// names the line and column of a syntax error.
bool read(std::string_view text, Value& out, std::string& error, const ReadLimits& limits = {});

// Latin-1 bytes to UTF-8.
std::string latin1ToUtf8(std::string_view latin1);

// A written document on one line: line breaks and indentation outside
// strings dropped (strings hold no raw line break).
std::string oneLine(const std::string& written);

} // namespace tkcli::json
