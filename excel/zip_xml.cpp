#include "excel/zip_xml.h"

#include <expat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

#include "excel/excel_dates.h"
#include "excel/workbook_data.h"

namespace {

// More unpacked bytes than any workbook the program can hold in memory.
constexpr zip_uint64_t kMaxUnpackedBytes = zip_uint64_t{1} << 30;
// Deflate expands a piece of data at most about 1032-fold.
constexpr zip_uint64_t kMaxDeflateRatio = 1032;
constexpr zip_uint64_t kDeflateSlack = 1024;
constexpr zip_uint64_t kSmallPartBytes = 16 << 20;

zip_t* OpenArchive(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error)
                            : nullptr;
    if (!archive && source) zip_source_free(source);
    zip_error_fini(&error);
    if (!archive) throw WorkbookError(WorkbookFault::Damaged, "zip directory damaged");
    return archive;
}

// A damaged or hostile entry could claim gigabytes: refused are a claim no entry can honour
// (packed bytes beyond the file, more unpacked than deflate expands, a stored entry grown) and
// a total over kMaxUnpackedBytes.
void CheckUnpackedSizes(zip_t* archive, std::size_t file_size) {
    zip_uint64_t total = 0;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t entry;
        zip_stat_init(&entry);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &entry) != 0)
            throw WorkbookError(WorkbookFault::Damaged, "zip directory damaged");
        const zip_uint64_t packed = entry.comp_size;
        const zip_uint64_t most = entry.comp_method == ZIP_CM_STORE
                                      ? packed
                                      : packed * kMaxDeflateRatio + kDeflateSlack;
        if (packed > file_size || entry.size > most)
            throw WorkbookError(WorkbookFault::Damaged, "zip entry larger than it can unpack to");
        total += entry.size;
        if (total > kMaxUnpackedBytes)
            throw WorkbookError(WorkbookFault::TooLarge, "workbook unpacks to too much");
    }
}

struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Forwards expat's callbacks to the handler; an exception stops the parser and is thrown again
// once expat has returned, so it never crosses expat's frames.
struct ParseState {
    XML_Parser parser;
    XmlHandler& handler;
    std::exception_ptr failure;

    template <class Call>
    static void Guarded(void* self, Call call) {
        auto* state = static_cast<ParseState*>(self);
        if (state->failure) return;
        try {
            call(state->handler);
        } catch (...) {
            state->failure = std::current_exception();
            XML_StopParser(state->parser, XML_FALSE);
        }
    }
};

void OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    ParseState::Guarded(self, [&](XmlHandler& h) { h.Start(name, attributes); });
}

void OnEnd(void* self, const XML_Char* name) {
    ParseState::Guarded(self, [&](XmlHandler& h) { h.End(name); });
}

void OnText(void* self, const XML_Char* text, int length) {
    ParseState::Guarded(self, [&](XmlHandler& h) { h.Text({text, static_cast<std::size_t>(length)}); });
}

// Workbook parts declare no entities; one that does is hostile (entity expansion).
void OnEntityDeclaration(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                         const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* state = static_cast<ParseState*>(self);
    state->failure = std::make_exception_ptr(
        WorkbookError(WorkbookFault::Damaged, "entity declared in a workbook part"));
    XML_StopParser(state->parser, XML_FALSE);
}

}  // namespace

std::string_view LocalName(std::string_view name) {
    const std::size_t bar = name.rfind('|');
    return bar == std::string_view::npos ? name : name.substr(bar + 1);
}

const char* FindAttribute(const char** attributes, std::string_view name) {
    const bool local = name.find('|') == std::string_view::npos;
    for (const char** at = attributes; at[0]; at += 2)
        if ((local ? LocalName(at[0]) : std::string_view(at[0])) == name) return at[1];
    return nullptr;
}

ZipPackage::ZipPackage(const std::string& bytes) : m_archive(OpenArchive(bytes), zip_close) {
    CheckUnpackedSizes(m_archive.get(), bytes.size());
}

bool ZipPackage::Has(const std::string& part) const {
    return zip_name_locate(m_archive.get(), part.c_str(), 0) >= 0;
}

void ZipPackage::Parse(const std::string& part, XmlHandler& handler) const {
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(m_archive.get(), part.c_str(), 0));
    if (!file) throw WorkbookError(WorkbookFault::Damaged, "workbook part missing: " + part);
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreateNS(nullptr, '|'),
                                                                   XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    ParseState state{parser.get(), handler, nullptr};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetEntityDeclHandler(parser.get(), OnEntityDeclaration);
    char buffer[1 << 16];
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
        if (got < 0) throw WorkbookError(WorkbookFault::Damaged, "workbook part damaged: " + part);
        const bool last = got == 0;
        const XML_Status status =
            XML_Parse(parser.get(), buffer, static_cast<int>(got), last ? XML_TRUE : XML_FALSE);
        if (state.failure) std::rethrow_exception(state.failure);
        if (status != XML_STATUS_OK)
            throw WorkbookError(WorkbookFault::Damaged, "workbook part not well-formed: " + part);
        if (last) return;
    }
}

std::string ZipPackage::ReadSmall(const std::string& part) const {
    zip_stat_t entry;
    zip_stat_init(&entry);
    if (zip_stat(m_archive.get(), part.c_str(), 0, &entry) != 0) return {};
    if (entry.size > kSmallPartBytes) throw WorkbookError(WorkbookFault::Damaged, "part too long: " + part);
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(m_archive.get(), part.c_str(), 0));
    std::string bytes(entry.size, '\0');
    if (!file || zip_fread(file.get(), bytes.data(), bytes.size()) != static_cast<zip_int64_t>(bytes.size()))
        throw WorkbookError(WorkbookFault::Damaged, "workbook part damaged: " + part);
    return bytes;
}

bool ParseXmlNumber(std::string_view text, double& number) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() &&
           std::isfinite(number);
}

bool ParseIsoDate(std::string_view text, double& serial) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, consumed = 0;
    double second = 0;
    const std::string terminated(text);
    if (std::sscanf(terminated.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3)
        return false;
    if (terminated[consumed] == 'T' &&
        std::sscanf(terminated.c_str() + consumed, "T%2d:%2d:%lf", &hour, &minute, &second) != 3)
        return false;
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, static_cast<int>(second));
    if (!SerialFromDateText(date, serial)) return false;
    serial += (second - static_cast<int>(second)) / 86400;
    return true;
}
