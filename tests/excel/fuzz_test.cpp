// Every reader over damaged copies of real workbooks (corpus/: written by openpyxl and by
// LibreOffice): a deterministic mutation loop changes one to four bytes of a seed per round, in
// the XML parts themselves for zip packages. A reader may refuse a file with WorkbookError; it
// never crashes, hangs or throws anything else, and under AddressSanitizer no access strays.
// Files it once mishandled stay in corpus/ as seeds.
#include <gtest/gtest.h>
#include <zip.h>

#include <functional>
#include <map>

#include "excel/compound_file.h"
#include "excel/workbook_reader.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/support/case_printing.h"
#include "tests/support/mutation.h"

namespace {

using Parts = std::map<std::string, std::string>;

std::string Corpus(const std::string& name) {
    return ReadBytes(std::string(LEDGERDESK_EXCEL_CORPUS) + "/" + name);
}

Parts Unzipped(const std::string& bytes) {
    zip_error_t error;
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    Parts parts;
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t entry;
        zip_stat_index(archive, i, 0, &entry);
        std::string content(entry.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, i, 0);
        zip_fread(file, content.data(), content.size());
        zip_fclose(file);
        parts[entry.name] = content;
    }
    if (archive) zip_discard(archive);
    return parts;
}

std::string Zipped(const Parts& parts, const std::string& scratch_file) {
    int error = 0;
    zip_t* archive = zip_open(scratch_file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, content] : parts) {
        const zip_int64_t index = zip_file_add(
            archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0),
            ZIP_FL_OVERWRITE);
        zip_set_file_compression(archive, index, ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    return ReadBytes(scratch_file);
}

struct FuzzCase : testcases::NamedCase {
    const char* seed;
    bool zipped;
    std::function<void(const std::string&)> read;
    int rounds;
};

class ReaderFuzz : public ::testing::TestWithParam<FuzzCase> {};

TEST_P(ReaderFuzz, RefusesOrReadsEveryMutationOfItsSeeds) {
    const FuzzCase& target = GetParam();
    ScratchDir scratch;
    const std::string seed = Corpus(target.seed);
    const Parts parts = target.zipped ? Unzipped(seed) : Parts{};
    std::mt19937 random(20261207);
    int refused = 0;
    for (int round = 0; round < target.rounds; ++round) {
        std::string bytes = seed;
        if (target.zipped) {
            Parts mutated = parts;
            auto part = std::next(mutated.begin(), random() % mutated.size());
            Mutate(part->second, random);
            bytes = Zipped(mutated, scratch.file("round.zip"));
        } else {
            Mutate(bytes, random);
        }
        try {
            target.read(bytes);
        } catch (const WorkbookError&) {
            ++refused;
        } catch (const std::exception& error) {
            ADD_FAILURE() << "round " << round << ": " << error.what();
            WriteBytes(scratch.file("failed"), bytes);
        }
    }
    EXPECT_LT(refused, target.rounds) << "no mutation read: the seed itself is refused";
}

const auto kReadXls = [](const std::string& bytes) { detail::ReadXlsWorkbook(bytes); };
const auto kReadZipped = [](const std::string& bytes) { detail::ReadZippedWorkbook(bytes); };
const auto kReadCompound = [](const std::string& bytes) { ReadCompoundStream(bytes, u"Workbook"); };

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderFuzz,
    ::testing::Values(FuzzCase{{"Xls"}, "libreoffice.xls", false, kReadXls, 4000},
                      FuzzCase{{"CompoundFile"}, "libreoffice.xls", false, kReadCompound, 4000},
                      FuzzCase{{"XlsxFromLibreOffice"}, "libreoffice.xlsx", true, kReadZipped, 250},
                      FuzzCase{{"XlsxFromOpenpyxl"}, "openpyxl.xlsx", true, kReadZipped, 250},
                      FuzzCase{{"Ods"}, "libreoffice.ods", true, kReadZipped, 250}),
    testcases::kCaseName);

}  // namespace
