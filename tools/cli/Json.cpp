#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include <nlohmann/json.hpp>

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

Value Value::bytes(std::string_view latin1) {
    return string(latin1ToUtf8(latin1));
}

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
    members.push_back(Member{std::move(key), std::move(v)});
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
        unsigned code = 0x100; // none
        if (c < 0x20 || c == 0x7F) {
            code = c;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            code = static_cast<unsigned char>(s[i + 1]);
            ++i;
        }
        if (code != 0x100) {
            switch (code) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
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
    case Value::Kind::Null:
        out += "null";
        break;
    case Value::Kind::Bool:
        out += v.boolean ? "true" : "false";
        break;
    case Value::Kind::Number:
        out += v.text;
        break;
    case Value::Kind::String:
        writeString(out, v.text);
        break;
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

// Builds a Value from the library's parse events, refusing duplicate keys
// (a key set per open object keeps that linear) and deep nesting.
class Builder {
  public:
    using Json = nlohmann::json;

    Builder(Value& root, const ReadLimits& limits) : root_(root), limits_(limits) {}

    bool null() { return put(Value::null()); }
    bool boolean(bool b) {
        Value v;
        v.kind = Value::Kind::Bool;
        v.boolean = b;
        return put(std::move(v));
    }
    bool number_integer(Json::number_integer_t n) {
        return put(Value::number(static_cast<std::int64_t>(n)));
    }
    bool number_unsigned(Json::number_unsigned_t n) {
        return put(Value::number(static_cast<std::uint64_t>(n)));
    }
    bool number_float(Json::number_float_t, const Json::string_t& written) {
        Value v;
        v.kind = Value::Kind::Number;
        v.text = written;
        return put(std::move(v));
    }
    bool string(Json::string_t& s) { return put(Value::string(std::move(s))); }
    bool binary(Json::binary_t&) { return fail("binary data"); }
    bool start_object(std::size_t) {
        keys_.emplace_back();
        return open(Value::object());
    }
    bool key(Json::string_t& k) {
        if (keys_.back().size() >= limits_.maxMembers) {
            return fail("more than " + std::to_string(limits_.maxMembers) +
                        " members in an object");
        }
        if (!keys_.back().insert(k).second) {
            return fail("duplicate key \"" + k + "\"");
        }
        key_ = std::move(k);
        return true;
    }
    bool end_object() {
        keys_.pop_back();
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        return limits_.arrays ? open(Value::array()) : fail("unexpected array");
    }
    bool end_array() {
        open_.pop_back();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 4: ..."
        const std::string what = e.what();
        const std::size_t at = what.find("line ");
        return fail(at == std::string::npos ? what : what.substr(at));
    }

    const std::string& error() const { return error_; }

  private:
    bool fail(std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
        }
        return false;
    }
    bool put(Value v) {
        place(std::move(v));
        return true;
    }
    Value& place(Value v) {
        if (open_.empty()) {
            root_ = std::move(v);
            return root_;
        }
        Value& parent = *open_.back();
        return parent.kind == Value::Kind::Object ? parent.add(std::move(key_), std::move(v))
                                                  : parent.push(std::move(v));
    }
    bool open(Value v) {
        if (open_.size() >= limits_.maxDepth) {
            return fail("nested too deeply");
        }
        open_.push_back(&place(std::move(v)));
        return true;
    }

    Value& root_;
    const ReadLimits limits_;
    std::vector<Value*> open_;
    std::vector<std::unordered_set<std::string>> keys_;
    std::string key_;
    std::string error_;
};

} // namespace

std::string write(const Value& v) {
    std::string out;
    writeValue(out, v, 0);
    out.push_back('\n');
    return out;
}

bool read(std::string_view text, Value& out, std::string& error, const ReadLimits& limits) {
    // A UTF-8 byte order mark is tolerated.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Value v;
    Builder builder(v, limits);
    const bool strict = true;
    const bool comments = false;
    if (!nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, strict,
                                   comments)) {
        error = builder.error().empty() ? std::string("invalid document") : builder.error();
        return false;
    }
    out = std::move(v);
    return true;
}

std::string oneLine(const std::string& written) {
    std::string out;
    bool inString = false;
    bool escaped = false;
    bool lineStart = false;
    for (char c : written) {
        if (inString) {
            out.push_back(c);
            inString = escaped || c != '"';
            escaped = !escaped && c == '\\';
            continue;
        }
        if (c == '\n') {
            lineStart = true;
            continue;
        }
        if (lineStart && c == ' ') {
            continue;
        }
        lineStart = false;
        inString = c == '"';
        out.push_back(c);
    }
    return out;
}

} // namespace tkcli::json
