#pragma once

#include <cstddef>
#include <string>

// Profile-string access to a plain INI file, with the behaviour settings files have always had:
// section and key names match without regard to ASCII case, values come back trimmed of
// surrounding blanks, then of one pair of surrounding double quotes, and cut to
// kMaxProfileValueLength bytes, and a write changes one line (or
// adds the key, or the section and the key) while every other byte of the file stays as it was.
// Text is handled as bytes; names and values are GBK like all narrow text of the client.
namespace ini {

constexpr std::size_t kMaxProfileValueLength = 1023;
// A settings file holds a few dozen short values; a larger file is not read nor written.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

// True when the file is there but larger than kMaxFileBytes.
bool IsTooLarge(const std::string& path);

// The value of section/key, or "" when the file, the section or the key is missing, or the file
// cannot be read or is too large.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key);

// Sets section/key to value, creating the file and the section when needed. The file is replaced
// through a temporary file in its folder, so it is never left half written. Returns false, with
// the file untouched, when it cannot be read or replaced or is too large, or when a name or the value cannot be
// stored on one line (line breaks, NUL, "]" in a section name, "=" in a key name).
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace ini
