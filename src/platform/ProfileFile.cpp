#include "platform/ProfileFile.h"

#include <algorithm>

#include "platform/NativePath.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";
constexpr std::size_t npos = static_cast<std::size_t>(-1);

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

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
    std::size_t valueStart; // offset of the value's first byte after "=" and blanks
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

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool storableName(std::string_view s) {
    return !s.empty() && trim(s).size() == s.size() && !hasLineBreak(s);
}

} // namespace

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
    bom_ = bytes.substr(0, Bom.size()) == Bom;
    if (bom_) {
        bytes.remove_prefix(Bom.size());
    }
    text_.assign(bytes);
    starts_.clear();
    starts_.reserve(static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\n')) + 1);
    for (std::size_t pos = 0; pos < text_.size();) {
        starts_.push_back(static_cast<std::uint32_t>(pos));
        const std::size_t nl = text_.find('\n', pos);
        pos = nl == std::string::npos ? text_.size() : nl + 1;
    }
}

std::size_t ProfileFile::lineEnd(std::size_t index) const {
    return index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
}

std::string_view ProfileFile::lineText(std::size_t index) const {
    const std::size_t start = starts_[index];
    std::size_t end = lineEnd(index);
    if (end > start && text_[end - 1] == '\n') {
        --end;
        if (end > start && text_[end - 1] == '\r') {
            --end;
        }
    }
    return std::string_view(text_).substr(start, end - start);
}

void ProfileFile::insertLines(std::size_t index, std::size_t at, std::string_view bytes) {
    text_.insert(at, bytes);
    for (std::size_t i = index; i < starts_.size(); ++i) {
        starts_[i] += static_cast<std::uint32_t>(bytes.size());
    }
    std::vector<std::uint32_t> added;
    for (std::size_t pos = 0; pos < bytes.size();) {
        added.push_back(static_cast<std::uint32_t>(at + pos));
        const std::size_t nl = bytes.find('\n', pos);
        pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
    }
    starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(index), added.begin(),
                   added.end());
}

std::size_t ProfileFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < starts_.size(); ++i) {
        const auto name = sectionName(lineText(i));
        if (name && sameName(*name, section)) {
            return i;
        }
    }
    return npos;
}

std::size_t ProfileFile::findKey(std::size_t header, std::string_view key) const {
    for (std::size_t i = header + 1; i < starts_.size(); ++i) {
        if (sectionName(lineText(i))) {
            break;
        }
        const auto kl = keyLine(lineText(i));
        if (kl && sameName(kl->name, key)) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> ProfileFile::value(std::string_view section,
                                              std::string_view key) const {
    const std::size_t header = findSection(section);
    if (header == npos) {
        return std::nullopt;
    }
    const std::size_t at = findKey(header, key);
    if (at == npos) {
        return std::nullopt;
    }
    return std::string(keyLine(lineText(at))->value);
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    auto v = value(section, key);
    return v ? std::move(*v) : std::string(defaultValue);
}

bool ProfileFile::hasSection(std::string_view section) const {
    return findSection(section) != npos;
}

std::string ProfileFile::lineBreak() const {
    const std::size_t nl = text_.find('\n');
    if (nl != std::string::npos) {
        return nl > 0 && text_[nl - 1] == '\r' ? "\r\n" : "\n";
    }
    return nativeLineBreak();
}

void ProfileFile::terminate(std::size_t index) {
    // Only the last line can lack its break, so no line after it moves.
    const std::size_t end = lineEnd(index);
    if (text_[end - 1] != '\n') {
        text_.insert(end, lineBreak());
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
    const std::string keyText = std::string(key) + "=" + std::string(value) + eol;

    const std::size_t header = findSection(section);
    if (header == npos) {
        std::string added;
        if (!starts_.empty()) {
            terminate(starts_.size() - 1);
            if (!trim(lineText(starts_.size() - 1)).empty()) {
                added += eol;
            }
        }
        added.append("[").append(section).append("]").append(eol).append(keyText);
        insertLines(starts_.size(), text_.size(), added);
        return true;
    }

    const std::size_t at = findKey(header, key);
    if (at != npos) {
        const std::string_view line = lineText(at);
        const KeyLine kl = *keyLine(line);
        // Values read back trimmed, so blanks around one never make it new.
        if (kl.value != trim(value)) {
            // Keep the key as spelled in the file and the spacing around "=".
            const std::size_t from = starts_[at] + kl.valueStart;
            const std::size_t count = line.size() - kl.valueStart;
            text_.replace(from, count, value);
            for (std::size_t i = at + 1; i < starts_.size(); ++i) {
                starts_[i] = static_cast<std::uint32_t>(starts_[i] - count + value.size());
            }
        }
        return true;
    }

    std::size_t last = header;
    for (std::size_t i = header + 1; i < starts_.size() && !sectionName(lineText(i)); ++i) {
        if (keyLine(lineText(i))) {
            last = i;
        }
    }
    terminate(last);
    insertLines(last + 1, lineEnd(last), keyText);
    return true;
}

std::string ProfileFile::bytes() const {
    std::string out;
    out.reserve(text_.size() + Bom.size());
    if (bom_) {
        out += Bom;
    }
    out += text_;
    return out;
}

bool ProfileFile::save(const std::string& path) const {
    return replaceFileContents(path, bytes());
}

bool makeFolders(const std::string& folder) {
    const std::filesystem::path p = nativePath(folder);
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    return std::filesystem::is_directory(p, ec);
}

} // namespace platform
