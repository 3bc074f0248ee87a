#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kNone = std::string::npos;

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t textEnd = 0;  // before the line break
    std::size_t end = 0;      // after the line break; equals textEnd on a last line without one
    LineKind kind = LineKind::Other;
    std::string name;  // section or key name, trimmed
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
};

struct Location {
    std::size_t section = kNone;
    std::size_t key = kNone;
    std::size_t lastOfSection = kNone;  // last key line of the section, or its header
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void Trim(const std::string& text, std::size_t& begin, std::size_t& end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
}

unsigned char LowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// ASCII letters match in either case; the trail byte of a double-byte GBK character can look like
// an ASCII letter, so double-byte characters are compared exactly.
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (IsGbkLeadByte(ca) && i + 1 < a.size()) {
            if (ca != cb || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (LowerAscii(ca) != LowerAscii(cb)) {
            return false;
        }
    }
    return true;
}

// Where a section name ends: the first "]" that is not the trail byte of a double-byte GBK
// character (many of them end in 0x5D), or the end of the line.
std::size_t SectionNameEnd(const std::string& text, std::size_t from, std::size_t end) {
    for (std::size_t i = from; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ']') return i;
        if (IsGbkLeadByte(c)) ++i;
    }
    return end;
}

// Every search stays inside the line, so reading a file is linear in its size.
void ClassifyLine(const std::string& text, std::size_t from, Line& line) {
    std::size_t begin = from, end = line.textEnd;
    Trim(text, begin, end);
    if (begin < end && text[begin] == '[') {
        std::size_t nameBegin = begin + 1;
        std::size_t nameEnd = SectionNameEnd(text, nameBegin, end);
        Trim(text, nameBegin, nameEnd);
        line.kind = LineKind::Section;
        line.name = text.substr(nameBegin, nameEnd - nameBegin);
        return;
    }
    // "=" (0x3D) is never a GBK trail byte.
    const std::size_t equals = std::string_view(text).substr(0, end).find('=', begin);
    if (equals == kNone) return;
    std::size_t nameEnd = equals;
    Trim(text, begin, nameEnd);
    line.kind = LineKind::Key;
    line.name = text.substr(begin, nameEnd - begin);
    line.valueBegin = equals + 1;
    line.valueEnd = line.textEnd;
    Trim(text, line.valueBegin, line.valueEnd);
}

// A line ends at CR LF, LF or a lone CR, as the profile functions end it.
std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        Line line;
        const std::size_t lineBreak = text.find_first_of("\r\n", begin);
        line.textEnd = lineBreak == kNone ? text.size() : lineBreak;
        line.end = line.textEnd;
        if (line.end < text.size() && text[line.end++] == '\r' && line.end < text.size() &&
            text[line.end] == '\n')
            ++line.end;
        const bool hasBom = begin == 0 && std::string_view(text).substr(0, 3) == kUtf8Bom;
        ClassifyLine(text, hasBom ? kUtf8Bom.size() : begin, line);
        begin = line.end;
        lines.push_back(std::move(line));
    }
    return lines;
}

Location Locate(const std::vector<Line>& lines, const std::string& section,
                const std::string& key) {
    Location at;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section) {
            if (at.section != kNone) break;
            if (SameName(line.name, section)) at.section = at.lastOfSection = i;
        } else if (at.section != kNone && line.kind == LineKind::Key) {
            at.lastOfSection = i;
            if (at.key == kNone && SameName(line.name, key)) at.key = i;
        }
    }
    return at;
}

// The line break the file already uses, so an added line matches its neighbours.
std::string LineBreakOf(const std::string& text) {
    const std::size_t lineBreak = text.find_first_of("\r\n");
    if (lineBreak == kNone || text[lineBreak] == '\n') return "\n";
    return text.compare(lineBreak, 2, "\r\n") == 0 ? "\r\n" : "\r";
}

void InsertLines(std::string& text, std::size_t at, const std::string& lines,
                 const std::string& lineBreak) {
    const bool afterUnbrokenLine = at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r';
    text.insert(at, (afterUnbrokenLine ? lineBreak : std::string()) + lines);
}

std::string WithKeySet(std::string text, const std::string& section, const std::string& key,
                       const std::string& value) {
    const std::vector<Line> lines = SplitLines(text);
    const Location at = Locate(lines, section, key);
    const std::string lineBreak = LineBreakOf(text);
    if (at.key != kNone) {
        const Line& line = lines[at.key];
        text.replace(line.valueBegin, line.textEnd - line.valueBegin, value);
    } else if (at.section != kNone) {
        InsertLines(text, lines[at.lastOfSection].end, key + "=" + value + lineBreak, lineBreak);
    } else {
        InsertLines(text, text.size(),
                    "[" + section + "]" + lineBreak + key + "=" + value + lineBreak, lineBreak);
    }
    return text;
}

bool FitsOnOneLine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == kNone;
}

bool CanStore(const std::string& section, const std::string& key, const std::string& value) {
    return !section.empty() && !key.empty() && FitsOnOneLine(section) && FitsOnOneLine(key) &&
           FitsOnOneLine(value) && SectionNameEnd(section, 0, section.size()) == section.size() &&
           key.find('=') == kNone && key.front() != '[';
}

// nullopt when the file exists but cannot be read or is larger than kMaxFileBytes; a missing
// file reads as empty. Reading stops past the limit, so no file can take the memory.
std::optional<std::string> ReadFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::string();
        return std::nullopt;
    }
    std::string bytes;
    char buffer[8192];
    ssize_t got = 0;
    while (bytes.size() <= kMaxFileBytes && (got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (got < 0 || bytes.size() > kMaxFileBytes) return std::nullopt;
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A settings file that is a symbolic link is replaced where the link points, keeping the link.
std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == kNone) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A file beside the target that becomes the target on Commit, or disappears.
class TempFile {
public:
    explicit TempFile(const std::string& target) : m_target(target) {
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_path = target + "." + std::to_string(::getpid()) + "." + std::to_string(s_counter++) +
                     ".tmp";
            m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST) break;
        }
        m_created = m_fd >= 0;
    }
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (m_created && !m_committed) ::unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Commit(const std::string& bytes) {
        if (m_fd < 0 || !WriteAll(m_fd, bytes)) return false;
        struct stat old;
        if (::stat(m_target.c_str(), &old) == 0) ::fchmod(m_fd, old.st_mode & 07777);
        const bool flushed = ::fsync(m_fd) == 0;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!flushed || !closed || ::rename(m_path.c_str(), m_target.c_str()) != 0) return false;
        m_committed = true;
        SyncDirectory();
        return true;
    }

private:
    // Makes the rename itself durable; the file is already complete either way.
    void SyncDirectory() const {
        const int dir = ::open(DirectoryOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return;
        ::fsync(dir);
        ::close(dir);
    }

    static inline unsigned s_counter = 0;
    std::string m_target;
    std::string m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_committed = false;
};

// One pair only: the quotes let a value keep blanks at its ends, and ""x"" reads as "x".
std::string WithoutSurroundingQuotes(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

bool IsTooLarge(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::size_t>(status.st_size) > kMaxFileBytes;
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key) {
    const std::string text = ReadFileBytes(path).value_or(std::string());
    const std::vector<Line> lines = SplitLines(text);
    const Location at = Locate(lines, section, key);
    if (at.key == kNone) return std::string();
    const Line& line = lines[at.key];
    std::string value = WithoutSurroundingQuotes(
        text.substr(line.valueBegin, line.valueEnd - line.valueBegin));
    value.resize(std::min({value.size(), value.find('\0'), kMaxProfileValueLength}));
    return value;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (!CanStore(section, key, value)) return false;
    const std::string target = ResolvedPath(path);
    const std::optional<std::string> text = ReadFileBytes(target);
    if (!text) return false;
    TempFile temp(target);
    return temp.Commit(WithKeySet(*text, section, key, value));
}

}  // namespace ini
