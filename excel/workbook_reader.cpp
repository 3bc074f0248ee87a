#include "excel/workbook_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

const std::string kCompoundFileMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZipMagic("PK\x03\x04", 4);

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WorkbookError("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void detail::FillMergedRange(SheetData& sheet, const MergedRange& range) {
    const CellValue first = sheet.cell(range.first_row, range.first_column);
    if (first.kind == CellValue::Kind::Empty) return;
    const int last_row = std::min(range.last_row, sheet.last_used_row());
    for (int row = range.first_row + 1; row <= last_row; ++row)
        sheet.set_cell(row, range.first_column, first);
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
    SerializedReader(const std::string& in, std::size_t from) : m_in(in), m_at(from) {}
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
    std::size_t m_at;
};

// The cells that follow the answer's first byte.
WorkbookData Deserialized(const std::string& in) {
    SerializedReader reader(in, 1);
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

// Limits of the reading: a file read whole, the cells handed back, and the reader child's address
// space and time. A file beyond them is too large, whatever it holds.
constexpr off_t kMaxFileBytes = off_t{256} << 20;
constexpr std::size_t kMaxCells = 5000000;
constexpr std::size_t kMaxResultBytes = std::size_t{512} << 20;
constexpr rlim_t kChildAddressSpace = rlim_t{1} << 30;
constexpr rlim_t kChildCpuSeconds = 20;
constexpr int kChildWallMilliseconds = 40000;

// What can be told without reading the file: it is missing, no file, empty or too large.
void CheckFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        throw WorkbookError(errno == ENOENT || errno == ENOTDIR ? WorkbookFault::NotFound
                                                                : WorkbookFault::Other,
                            "cannot open " + path);
    if (!S_ISREG(info.st_mode) || info.st_size == 0)
        throw WorkbookError(WorkbookFault::NotAWorkbook, "not a workbook file: " + path);
    if (info.st_size > kMaxFileBytes) throw WorkbookError(WorkbookFault::TooLarge, "file too large");
}

std::size_t CellCount(const WorkbookData& book) {
    std::size_t cells = 0;
    for (const SheetData& sheet : book)
        for (const auto& row : sheet.rows()) cells += row.second.size();
    return cells;
}

WorkbookData ReadInThisProcess(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    WorkbookData book;
    if (bytes.compare(0, kCompoundFileMagic.size(), kCompoundFileMagic) == 0)
        book = detail::ReadXlsWorkbook(bytes);
    else if (bytes.compare(0, kZipMagic.size(), kZipMagic) == 0)
        book = detail::ReadZippedWorkbook(bytes);
    else
        throw WorkbookError(WorkbookFault::NotAWorkbook, "not a workbook: " + path);
    if (CellCount(book) > kMaxCells) throw WorkbookError(WorkbookFault::TooLarge, "too many cells");
    return book;
}

// AddressSanitizer reserves terabytes of address space up front, so under it the address space
// is left unlimited; the time limit holds either way.
void LimitThisProcess() {
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory{kChildAddressSpace, kChildAddressSpace};
    setrlimit(RLIMIT_AS, &memory);
#endif
    const rlimit cpu{kChildCpuSeconds, kChildCpuSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
}

// The child's answer: "+" and the cells, or the fault's number.
std::string ReadForParent(const std::string& path) {
    WorkbookFault fault = WorkbookFault::Damaged;
    try {
        return "+" + Serialized(ReadInThisProcess(path));
    } catch (const WorkbookError& error) {
        if (error.fault() != WorkbookFault::Other) fault = error.fault();
    } catch (const std::bad_alloc&) {
        fault = WorkbookFault::TooLarge;
    } catch (const std::length_error&) {
        fault = WorkbookFault::TooLarge;
    } catch (const std::exception&) {
    }
    return std::string(1, static_cast<char>('0' + static_cast<int>(fault)));
}

void WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

// What the child sends before it ends, or nothing once it has taken too long or sent too much.
std::optional<std::string> ReadAllInTime(int fd) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kChildWallMilliseconds);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{fd, POLLIN, 0};
        const int polled = left.count() > 0 ? poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return std::nullopt;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > kMaxResultBytes) return std::nullopt;
    }
}

// The fault of a child that ended without answering: killed over its limits, or crashed.
WorkbookFault FaultOfEnd(int status) {
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        return WorkbookFault::TooLarge;
    return WorkbookFault::Damaged;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return 0;
    return status;
}

}  // namespace

// The file-format code runs on whatever a file holds, so a child process reads it, under limits
// of memory and time, and hands the cells back; a child that dies is a file that cannot be read.
WorkbookData ReadWorkbookFile(const std::string& path) {
    CheckFile(path);
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw WorkbookError("no pipe to read the workbook through");
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        LimitThisProcess();
        WriteAll(pipe_ends[1], ReadForParent(path));
        _exit(0);
    }
    close(pipe_ends[1]);
    if (child < 0) {
        close(pipe_ends[0]);
        throw WorkbookError("no process to read the workbook in");
    }
    const std::optional<std::string> in = ReadAllInTime(pipe_ends[0]);
    close(pipe_ends[0]);
    if (!in) kill(child, SIGKILL);
    const int status = WaitFor(child);
    if (!in) throw WorkbookError(WorkbookFault::TooLarge, "workbook too large to read in time");
    if (in->empty()) throw WorkbookError(FaultOfEnd(status), "the reader of " + path + " ended");
    if ((*in)[0] != '+')
        throw WorkbookError(static_cast<WorkbookFault>((*in)[0] - '0'), "cannot read " + path);
    return Deserialized(*in);
}
