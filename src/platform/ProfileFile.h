// Profile (INI) file access by section and key, kept as the file's own bytes
// so that a save changes only the lines that were written.
//
// Rules:
// - A section starts at a line "[name]" (blanks around it allowed); lines
//   before the first section belong to no section.
// - A key is a line "name=value" inside a section; a line starting with ";"
//   is a comment, a line without "=" is ignored.
// - Section and key names match without regard to ASCII letter case; names
//   and values are read with surrounding blanks removed.
// - With duplicate sections or keys the first one wins, for reading and
//   writing alike; later duplicates are left as they are.
// - A leading UTF-8 byte-order mark is kept; bytes are never re-encoded.
// - write() replaces a value in its line, adds a missing key after the last
//   key of its section and a missing section at the end; every other byte
//   stays as it was.
// - save() writes the complete file beside the old one and renames it over
//   the old one, so a failed save leaves the old file intact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ProfileLoadResult {
    Missing,    // no such file: the document is empty
    Loaded,     // the document holds the file's bytes
    Unreadable, // the file exists but cannot be read: the document is empty
};

class ProfileFile {
  public:
    // Files larger than this are refused as unreadable (and so never
    // replaced); a settings file is a few kilobytes.
    static constexpr std::size_t MaxFileBytes = 1024u * 1024u;

    // Replaces the document by the file at path (UTF-8).
    ProfileLoadResult load(const std::string& path);
    // Replaces the document by the given file contents.
    void parse(std::string_view bytes);

    // Value of the key, trimmed; nullopt when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    bool hasSection(std::string_view section) const;

    // Sets the key; false (document unchanged) when the name or value cannot
    // be stored: empty or blank-padded names, line breaks, "]" in a section
    // name, "=" in a key name, a key name starting with ";" or "[".
    bool write(std::string_view section, std::string_view key, std::string_view value);

    // The document as file contents.
    std::string bytes() const;
    // Atomically replaces the file at path by the document.
    bool save(const std::string& path) const;

  private:
    // The line's text without its line break.
    std::string_view lineText(std::size_t index) const;
    // Offset just past the line's break ("\n" or "\r\n"; none for an
    // unterminated last line).
    std::size_t lineEnd(std::size_t index) const;
    // Puts bytes at offset `at`, which starts line `index` (or ends the
    // document when index is the line count), as new lines.
    void insertLines(std::size_t index, std::size_t at, std::string_view bytes);

    // Index of the header line of the first matching section, or npos.
    std::size_t findSection(std::string_view section) const;
    // Index of the first matching key line after the header, or npos.
    std::size_t findKey(std::size_t header, std::string_view key) const;
    std::string lineBreak() const;
    void terminate(std::size_t index);

    bool bom_ = false;
    // The bytes after a byte-order mark and the offset where each line
    // starts: a file of empty lines costs a few times its size, not a
    // string per line.
    std::string text_;
    std::vector<std::uint32_t> starts_;
};

// Writes bytes to a new file beside path, flushes it to disk and renames it
// over path. On failure the new file is removed and path is untouched.
bool replaceFileContents(const std::string& path, std::string_view bytes);

// Whether a new file can be made in the folder now: one is made and removed
// again. False for a folder that does not exist.
bool folderAcceptsNewFiles(const std::string& folder);

// Makes the folder and any missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder);

// Line break used for lines added to a document that has none yet.
const char* nativeLineBreak();

} // namespace platform
