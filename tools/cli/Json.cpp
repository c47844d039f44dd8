#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_set>

namespace tkcli::json {

Value Value::number(std::int64_t v) {
    Value r;
    r.kind = Kind::Number;
    r.text = std::to_string(v);
    return r;
}

Value Value::number(std::uint64_t v) {
    Value r;
    r.kind = Kind::Number;
    r.text = std::to_string(v);
    return r;
}

Value Value::real(double v) {
    Value r;
    r.kind = Kind::Number;
    if (std::isnan(v)) {
        r.kind = Kind::Null;
    } else if (std::isinf(v)) {
        r.text = v > 0 ? "1e999" : "-1e999";
    } else {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, v);
        r.text.assign(buf, res.ptr);
    }
    return r;
}

Value Value::string(std::string utf8) {
    Value r;
    r.kind = Kind::String;
    r.text = std::move(utf8);
    return r;
}

Value Value::bytes(std::string_view latin1) { return string(latin1ToUtf8(latin1)); }

Value Value::array() {
    Value r;
    r.kind = Kind::Array;
    return r;
}

Value Value::object() {
    Value r;
    r.kind = Kind::Object;
    return r;
}

Value& Value::add(std::string key, Value v) {
    members.emplace_back(std::move(key), std::move(v));
    return members.back().second;
}

Value& Value::push(Value v) {
    items.push_back(std::move(v));
    return items.back();
}

const Value* Value::find(std::string_view key) const {
    for (const auto& m : members) {
        if (m.first == key) {
            return &m.second;
        }
    }
    return nullptr;
}

std::string latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {

void writeString(std::string& out, const std::string& s) {
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        unsigned code = 0x100;  // none
        if (c < 0x20 || c == 0x7F) {
            code = c;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            code = static_cast<unsigned char>(s[i + 1]);
            ++i;
        }
        if (code != 0x100) {
            switch (code) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out.push_back(hex[code >> 4]);
                out.push_back(hex[code & 0x0F]);
            }
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

// Short arrays of numbers go on one line.
bool flatArray(const Value& v) {
    for (const Value& item : v.items) {
        if (item.kind == Value::Kind::Array || item.kind == Value::Kind::Object) {
            return false;
        }
    }
    return true;
}

void writeValue(std::string& out, const Value& v, int depth) {
    const std::string pad(static_cast<std::size_t>(depth + 1) * 2, ' ');
    const std::string closePad(static_cast<std::size_t>(depth) * 2, ' ');
    switch (v.kind) {
    case Value::Kind::Null: out += "null"; break;
    case Value::Kind::Bool: out += v.boolean ? "true" : "false"; break;
    case Value::Kind::Number: out += v.text; break;
    case Value::Kind::String: writeString(out, v.text); break;
    case Value::Kind::Array:
        if (v.items.empty()) {
            out += "[]";
        } else if (flatArray(v)) {
            out.push_back('[');
            for (std::size_t i = 0; i < v.items.size(); ++i) {
                out += i == 0 ? "" : ", ";
                writeValue(out, v.items[i], depth + 1);
            }
            out.push_back(']');
        } else {
            out += "[\n";
            for (std::size_t i = 0; i < v.items.size(); ++i) {
                out += pad;
                writeValue(out, v.items[i], depth + 1);
                out += i + 1 < v.items.size() ? ",\n" : "\n";
            }
            out += closePad + "]";
        }
        break;
    case Value::Kind::Object:
        if (v.members.empty()) {
            out += "{}";
            break;
        }
        out += "{\n";
        for (std::size_t i = 0; i < v.members.size(); ++i) {
            out += pad;
            writeString(out, v.members[i].first);
            out += ": ";
            writeValue(out, v.members[i].second, depth + 1);
            out += i + 1 < v.members.size() ? ",\n" : "\n";
        }
        out += closePad + "}";
        break;
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    bool document(Value& out, std::string& error) {
        skipBlanks();
        if (!value(out, 0)) {
            error = error_;
            return false;
        }
        skipBlanks();
        if (pos_ != s_.size()) {
            fail("unexpected text after the document");
            error = error_;
            return false;
        }
        return true;
    }

private:
    static constexpr int kMaxDepth = 64;

    bool fail(const char* what) {
        if (error_.empty()) {
            std::size_t line = 1;
            std::size_t col = 1;
            for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i) {
                if (s_[i] == '\n') {
                    ++line;
                    col = 1;
                } else {
                    ++col;
                }
            }
            error_ = "line " + std::to_string(line) + ", column " + std::to_string(col) + ": " + what;
        }
        return false;
    }
    void skipBlanks() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) {
            return fail("invalid literal");
        }
        pos_ += word.size();
        return true;
    }
    bool value(Value& out, int depth) {
        if (depth > kMaxDepth) {
            return fail("nested too deeply");
        }
        if (pos_ >= s_.size()) {
            return fail("unexpected end");
        }
        const char c = s_[pos_];
        if (c == '{') {
            return object(out, depth);
        }
        if (c == '[') {
            return array(out, depth);
        }
        if (c == '"') {
            out = Value::string({});
            return string(out.text);
        }
        if (c == 't') {
            out.kind = Value::Kind::Bool;
            out.boolean = true;
            return literal("true");
        }
        if (c == 'f') {
            out.kind = Value::Kind::Bool;
            out.boolean = false;
            return literal("false");
        }
        if (c == 'n') {
            out = Value::null();
            return literal("null");
        }
        return number(out);
    }
    bool object(Value& out, int depth) {
        out = Value::object();
        ++pos_;
        skipBlanks();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        // Keys seen so far, so a document with many keys is checked in
        // linear time, not by searching the members for each new key.
        std::unordered_set<std::string> keys;
        for (;;) {
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] != '"') {
                return fail("expected a key");
            }
            std::string key;
            const std::size_t keyStart = pos_;
            if (!string(key)) {
                return false;
            }
            if (!keys.insert(key).second) {
                pos_ = keyStart;
                return fail("duplicate key");
            }
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] != ':') {
                return fail("expected ':'");
            }
            ++pos_;
            skipBlanks();
            Value v;
            if (!value(v, depth + 1)) {
                return false;
            }
            out.add(std::move(key), std::move(v));
            skipBlanks();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }
    bool array(Value& out, int depth) {
        out = Value::array();
        ++pos_;
        skipBlanks();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            Value v;
            if (!value(v, depth + 1)) {
                return false;
            }
            out.push(std::move(v));
            skipBlanks();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }
    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    bool hex4(std::uint32_t& v) {
        if (pos_ + 4 > s_.size()) {
            return fail("short \\u escape");
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            v <<= 4;
            if (c >= '0' && c <= '9') {
                v |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }
    bool string(std::string& out) {
        ++pos_;  // opening quote
        while (pos_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c < 0x20) {
                return fail("control character in a string");
            }
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                ++pos_;
                continue;
            }
            if (++pos_ >= s_.size()) {
                break;
            }
            const char e = s_[pos_++];
            switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                std::uint32_t cp = 0;
                if (!hex4(cp)) {
                    return false;
                }
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    std::uint32_t low = 0;
                    if (s_.substr(pos_, 2) != "\\u") {
                        return fail("lone surrogate");
                    }
                    pos_ += 2;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                        return fail("lone surrogate");
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return fail("lone surrogate");
                }
                appendUtf8(out, cp);
                break;
            }
            default: return fail("bad escape");
            }
        }
        return fail("unterminated string");
    }
    bool digits() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }
    bool number(Value& out) {
        const std::size_t start = pos_;
        if (s_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return fail("invalid value");
        }
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            if (!digits()) {
                return fail("invalid number");
            }
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return fail("invalid number");
            }
        }
        out.kind = Value::Kind::Number;
        out.text = std::string(s_.substr(start, pos_ - start));
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::string write(const Value& v) {
    std::string out;
    writeValue(out, v, 0);
    out.push_back('\n');
    return out;
}

bool read(std::string_view text, Value& out, std::string& error) {
    // A UTF-8 byte order mark is tolerated.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Parser p(text);
    Value v;
    if (!p.document(v, error)) {
        return false;
    }
    out = std::move(v);
    return true;
}

}  // namespace tkcli::json
