#include "cli/Console.h"

#include <exception>
#include <ostream>

namespace tkcli {

namespace {

constexpr char16_t Replacement = 0xFFFD;

// Length of the sequence a lead byte starts, 0 for a byte that starts none.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

int RunGuarded(const std::function<int()>& body, std::ostream& err) {
    try {
        return body();
    } catch (const std::exception& e) {
        err << "tk7713t: " << e.what() << "\n";
    } catch (...) {
        err << "tk7713t: unexpected failure\n";
    }
    err.flush();
    return 1;
}

Utf8ToUtf16Buf::int_type Utf8ToUtf16Buf::overflow(int_type ch) {
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        const char c = traits_type::to_char_type(ch);
        decode(std::string_view(&c, 1));
    }
    return traits_type::not_eof(ch);
}

std::streamsize Utf8ToUtf16Buf::xsputn(const char* s, std::streamsize n) {
    decode(std::string_view(s, static_cast<std::size_t>(n)));
    return n;
}

int Utf8ToUtf16Buf::sync() {
    return 0;
}

void Utf8ToUtf16Buf::decode(std::string_view bytes) {
    std::string data = pending_ + std::string(bytes);
    pending_.clear();
    std::u16string out;
    std::size_t i = 0;
    while (i < data.size()) {
        const auto lead = static_cast<unsigned char>(data[i]);
        const std::size_t length = sequenceLength(lead);
        if (length == 0) {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        if (i + length > data.size()) {
            // Only a complete prefix waits for the rest; a broken one is replaced now.
            bool prefix = true;
            for (std::size_t k = i + 1; k < data.size(); ++k) {
                prefix = prefix && (static_cast<unsigned char>(data[k]) & 0xC0) == 0x80;
            }
            if (prefix) {
                pending_ = data.substr(i);
                break;
            }
        }
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        std::size_t k = 1;
        for (; k < length && i + k < data.size(); ++k) {
            const auto b = static_cast<unsigned char>(data[i + k]);
            if ((b & 0xC0) != 0x80) {
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        if (k < length || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(Replacement);
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    if (!out.empty()) {
        sink_(out);
    }
}

} // namespace tkcli
