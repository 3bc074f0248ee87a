#include "excel/workbook_reader.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const std::string kCompoundFileMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZipMagic("PK\x03\x04", 4);

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WorkbookError("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr long long kMaxMergedCells = 100000;

}  // namespace

void detail::FillMergedRange(SheetData& sheet, const MergedRange& range) {
    const CellValue first = sheet.cell(range.first_row, range.first_column);
    if (first.kind == CellValue::Kind::Empty) return;
    const int last_row = std::min(range.last_row, sheet.last_used_row());
    const int last_column = std::min(range.last_column, sheet.last_used_column());
    if (last_row < range.first_row || last_column < range.first_column) return;
    const long long cells = (static_cast<long long>(last_row) - range.first_row + 1) *
                            (static_cast<long long>(last_column) - range.first_column + 1);
    if (cells > kMaxMergedCells) return;
    for (int row = range.first_row; row <= last_row; ++row)
        for (int column = range.first_column; column <= last_column; ++column)
            if (row != range.first_row || column != range.first_column)
                sheet.set_cell(row, column, first);
}

namespace {

// The cells of a workbook as bytes through a pipe: counts and lengths as 32-bit numbers, texts as
// their bytes, in the child's and the parent's common layout (they are one program).
void PutNumber(std::string& out, uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::string& text) {
    PutNumber(out, static_cast<uint32_t>(text.size()));
    out += text;
}

std::string Serialized(const WorkbookData& book) {
    std::string out;
    PutNumber(out, static_cast<uint32_t>(book.size()));
    for (const SheetData& sheet : book) {
        PutText(out, sheet.name());
        PutNumber(out, static_cast<uint32_t>(sheet.rows().size()));
        for (const auto& [row, cells] : sheet.rows()) {
            PutNumber(out, static_cast<uint32_t>(row));
            PutNumber(out, static_cast<uint32_t>(cells.size()));
            for (const auto& [column, value] : cells) {
                PutNumber(out, static_cast<uint32_t>(column));
                PutNumber(out, static_cast<uint32_t>(value.kind));
                out.append(reinterpret_cast<const char*>(&value.number), sizeof value.number);
                PutText(out, value.text);
            }
        }
    }
    return out;
}

class SerializedReader {
public:
    explicit SerializedReader(const std::string& in) : m_in(in) {}
    uint32_t Number() {
        uint32_t value = 0;
        std::memcpy(&value, Take(sizeof value), sizeof value);
        return value;
    }
    double Real() {
        double value = 0;
        std::memcpy(&value, Take(sizeof value), sizeof value);
        return value;
    }
    std::string Text() {
        const uint32_t length = Number();
        return std::string(Take(length), length);
    }

private:
    const char* Take(std::size_t length) {
        if (length > m_in.size() - m_at) throw WorkbookError("workbook cut short in reading");
        const char* at = m_in.data() + m_at;
        m_at += length;
        return at;
    }
    const std::string& m_in;
    std::size_t m_at = 0;
};

WorkbookData Deserialized(const std::string& in) {
    SerializedReader reader(in);
    WorkbookData book;
    for (uint32_t sheets = reader.Number(); sheets > 0; --sheets) {
        SheetData& sheet = book.emplace_back(reader.Text());
        for (uint32_t rows = reader.Number(); rows > 0; --rows) {
            const int row = static_cast<int>(reader.Number());
            for (uint32_t cells = reader.Number(); cells > 0; --cells) {
                const int column = static_cast<int>(reader.Number());
                CellValue value;
                value.kind = static_cast<CellValue::Kind>(reader.Number());
                value.number = reader.Real();
                value.text = reader.Text();
                sheet.set_cell(row, column, std::move(value));
            }
        }
    }
    return book;
}

WorkbookData ReadInThisProcess(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    if (bytes.compare(0, kCompoundFileMagic.size(), kCompoundFileMagic) == 0)
        return detail::ReadXlsWorkbook(path, bytes);
    if (bytes.compare(0, kZipMagic.size(), kZipMagic) == 0)
        return detail::ReadZippedWorkbook(bytes);
    throw WorkbookError("not a workbook: " + path);
}

void WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

bool ExitedCleanly(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// The file-format libraries can crash on a damaged file (liborcus aborts on some damaged .ods
// styles), so a child process reads it and hands the cells back; a child that dies is a file
// that cannot be read.
WorkbookData ReadWorkbookFile(const std::string& path) {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw WorkbookError("no pipe to read the workbook through");
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        std::string out;
        try {
            out = "1" + Serialized(ReadInThisProcess(path));
        } catch (const std::exception&) {
            out = "0";
        }
        WriteAll(pipe_ends[1], out);
        _exit(0);
    }
    close(pipe_ends[1]);
    if (child < 0) {
        close(pipe_ends[0]);
        throw WorkbookError("no process to read the workbook in");
    }
    const std::string in = ReadAll(pipe_ends[0]);
    close(pipe_ends[0]);
    if (!ExitedCleanly(child) || in.empty() || in[0] != '1')
        throw WorkbookError("cannot read " + path);
    return Deserialized(in.substr(1));
}
