// The compound document container at its boundaries: one sector, the mini-stream cut-off, and a
// stream too large for the header's FAT slots; broken containers are refused.
#include "excel/compound_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "excel/workbook_data.h"

namespace {

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 % 251);
    return bytes;
}

std::string BuildCompoundFile(const std::string& stream) {
    std::ostringstream file;
    WriteCompoundFile(file, u"Workbook", stream.size(), [&](std::ostream& out) { out << stream; });
    return file.str();
}

class CompoundFileSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CompoundFileSizes, ReadsBackTheStreamItHolds) {
    const std::string stream = Pattern(GetParam());
    const std::string file = BuildCompoundFile(stream);
    EXPECT_EQ(file.size() % 512, 0u);
    std::string read = ReadCompoundStream(file, u"Workbook");
    ASSERT_GE(read.size(), stream.size());
    EXPECT_EQ(read.substr(0, stream.size()), stream);
    EXPECT_EQ(read.find_first_not_of('\0', stream.size()), std::string::npos);  // padding only
}

// 110 FAT sectors are needed from about 7 MB on: the rest of their numbers go to a DIFAT sector.
INSTANTIATE_TEST_SUITE_P(Bytes, CompoundFileSizes,
                         ::testing::Values(0, 1, 512, 4095, 4096, 4097, 7 * 1024 * 1024 + 1));

TEST(CompoundFileTest, RefusesToWriteAStreamOfAnotherLengthThanAnnounced) {
    std::ostringstream file;
    EXPECT_THROW(WriteCompoundFile(file, u"Workbook", 5000, [](std::ostream& out) { out << "short"; }),
                 WorkbookError);
}

TEST(CompoundFileTest, RefusesBrokenContainers) {
    const std::string file = BuildCompoundFile(Pattern(10000));
    EXPECT_THROW(ReadCompoundStream(file, u"Book"), WorkbookError);
    EXPECT_THROW(ReadCompoundStream(file.substr(0, 511), u"Workbook"), WorkbookError);
    EXPECT_THROW(ReadCompoundStream(file.substr(0, 4096), u"Workbook"), WorkbookError);
    std::string bad_magic = file;
    bad_magic[0] = 'X';
    EXPECT_THROW(ReadCompoundStream(bad_magic, u"Workbook"), WorkbookError);
}

// One changed number in the FAT or the directory of a 20-sector stream (FAT in sector 20, the
// directory in 21) is refused as damaged rather than read as other cells.
struct DamageCase {
    const char* name;
    std::size_t at;
    uint32_t value;
};

class CompoundFileDamage : public ::testing::TestWithParam<DamageCase> {};

constexpr std::size_t kFatEntry = 21 * 512;
constexpr std::size_t kStreamSize = 22 * 512 + 128 + 120;

TEST_P(CompoundFileDamage, IsRefusedAsDamaged) {
    std::string file = BuildCompoundFile(Pattern(10000));
    for (int i = 0; i < 4; ++i) file[GetParam().at + i] = static_cast<char>(GetParam().value >> (8 * i));
    try {
        ReadCompoundStream(file, u"Workbook");
        ADD_FAILURE() << "read as valid";
    } catch (const WorkbookError& error) {
        EXPECT_EQ(error.fault(), WorkbookFault::Damaged) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CompoundFileDamage,
    ::testing::Values(DamageCase{"Loop", kFatEntry + 4 * 5, 2},
                      DamageCase{"FreeSectorInChain", kFatEntry + 4 * 5, 0xFFFFFFFF},
                      DamageCase{"ChainEndsEarly", kFatEntry + 4 * 5, 0xFFFFFFFE},
                      DamageCase{"ChainRunsIntoTheDirectory", kFatEntry + 4 * 19, 21},
                      DamageCase{"SizeBeyondTheChain", kStreamSize, 20000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
