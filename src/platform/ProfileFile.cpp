#include "platform/ProfileFile.h"

#include "platform/NativePath.h"

#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace platform {

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";
constexpr std::size_t npos = static_cast<std::size_t>(-1);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Name of a section header line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
    std::size_t valueStart;  // offset of the value's first byte after "=" and blanks
};

// Key and value of a key line, or nullopt for comments and lines without "=".
std::optional<KeyLine> keyLine(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') {
        return std::nullopt;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = trim(line.substr(0, eq));
    if (name.empty()) {
        return std::nullopt;
    }
    std::size_t start = eq + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return KeyLine{name, trim(line.substr(eq + 1)), start};
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool storableName(std::string_view s) {
    return !s.empty() && trim(s).size() == s.size() && !hasLineBreak(s);
}

}  // namespace

ProfileLoadResult ProfileFile::load(const std::string& path) {
    parse({});
    const std::filesystem::path p = nativePath(path);
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(p, ec);
    if (st.type() == std::filesystem::file_type::not_found) {
        return ProfileLoadResult::Missing;
    }
    if (ec || st.type() != std::filesystem::file_type::regular) {
        return ProfileLoadResult::Unreadable;
    }
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    if (ec || size > MaxFileBytes) {
        return ProfileLoadResult::Unreadable;
    }
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        return ProfileLoadResult::Unreadable;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || data.size() > MaxFileBytes) {
        return ProfileLoadResult::Unreadable;
    }
    parse(data);
    return ProfileLoadResult::Loaded;
}

void ProfileFile::parse(std::string_view bytes) {
    lines_.clear();
    bom_ = bytes.substr(0, Bom.size()) == Bom;
    if (bom_) {
        bytes.remove_prefix(Bom.size());
    }
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        Line line;
        if (nl == std::string_view::npos) {
            line.text = std::string(bytes);
            bytes = {};
        } else {
            std::size_t end = nl;
            if (end > 0 && bytes[end - 1] == '\r') {
                --end;
            }
            line.text = std::string(bytes.substr(0, end));
            line.eol = std::string(bytes.substr(end, nl + 1 - end));
            bytes.remove_prefix(nl + 1);
        }
        lines_.push_back(std::move(line));
    }
}

std::size_t ProfileFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i].text);
        if (name && sameName(*name, section)) {
            return i;
        }
    }
    return npos;
}

std::size_t ProfileFile::findKey(std::size_t header, std::string_view key) const {
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (sectionName(lines_[i].text)) {
            break;
        }
        const auto kl = keyLine(lines_[i].text);
        if (kl && sameName(kl->name, key)) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const {
    const std::size_t header = findSection(section);
    if (header == npos) {
        return std::nullopt;
    }
    const std::size_t at = findKey(header, key);
    if (at == npos) {
        return std::nullopt;
    }
    return std::string(keyLine(lines_[at].text)->value);
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    auto v = value(section, key);
    return v ? std::move(*v) : std::string(defaultValue);
}

bool ProfileFile::hasSection(std::string_view section) const { return findSection(section) != npos; }

std::string ProfileFile::lineBreak() const {
    for (const Line& line : lines_) {
        if (!line.eol.empty()) {
            return line.eol;
        }
    }
    return nativeLineBreak();
}

void ProfileFile::terminate(std::size_t index) {
    if (lines_[index].eol.empty()) {
        lines_[index].eol = lineBreak();
    }
}

bool ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    if (!storableName(section) || section.find(']') != std::string_view::npos) {
        return false;
    }
    if (!storableName(key) || key.find('=') != std::string_view::npos || key.front() == ';' ||
        key.front() == '[') {
        return false;
    }
    if (hasLineBreak(value)) {
        return false;
    }
    const std::string eol = lineBreak();
    const std::string keyText = std::string(key) + "=" + std::string(value);

    const std::size_t header = findSection(section);
    if (header == npos) {
        if (!lines_.empty()) {
            terminate(lines_.size() - 1);
            if (!trim(lines_.back().text).empty()) {
                lines_.push_back({"", eol});
            }
        }
        std::string headerText;
        headerText.reserve(section.size() + 2);
        headerText.append("[").append(section).append("]");
        lines_.push_back({std::move(headerText), eol});
        lines_.push_back({keyText, eol});
        return true;
    }

    const std::size_t at = findKey(header, key);
    if (at != npos) {
        const KeyLine kl = *keyLine(lines_[at].text);
        if (kl.value != value) {
            // Keep the key as spelled in the file and the spacing around "=".
            Line& line = lines_[at];
            line.text = line.text.substr(0, kl.valueStart) + std::string(value);
        }
        return true;
    }

    std::size_t last = header;
    for (std::size_t i = header + 1; i < lines_.size() && !sectionName(lines_[i].text); ++i) {
        if (keyLine(lines_[i].text)) {
            last = i;
        }
    }
    terminate(last);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1), Line{keyText, eol});
    return true;
}

std::string ProfileFile::bytes() const {
    std::string out;
    if (bom_) {
        out += Bom;
    }
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

bool ProfileFile::save(const std::string& path) const { return replaceFileContents(path, bytes()); }

}  // namespace platform
