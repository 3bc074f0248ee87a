// The settings-file reader over damaged copies of a settings file: a deterministic mutation loop
// (fixed seed, bounded rounds). Every read returns, and a write then reads back as written.
#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "tests/support/mutation.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kSeed =
    "[Import]\r\nFilePath=D:\\客户\\白名单.xlsx\r\nAutoStep=1\r\n\r\n[Excel]\r\n"
    "ExcelKey=车牌号码:客户姓名\r\nExcelMatchKey=PlateColor:车辆颜色\r\n"
    "ExcelMatchValue=PlateColor:红=红色,蓝=蓝色\r\n; note\r\n[Operation]\r\nExcelColunmTooFew=\"1\"\r\n";

TEST(IniFuzz, EveryMutationReadsAndTakesAWrite) {
    ScratchDir dir;
    const std::string path = dir.file("wlsetting.ini");
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = kSeed;
        Mutate(bytes, random);
        WriteBytes(path, bytes);
        for (const char* key : {"FilePath", "ExcelKey", "ExcelMatchValue", "ExcelColunmTooFew"})
            ini::ReadProfileString(path, "Excel", key);
        ASSERT_TRUE(ini::WriteProfileString(path, "Fuzz", "Key", "值")) << "round " << round;
        ASSERT_EQ(ini::ReadProfileString(path, "Fuzz", "Key"), "值") << "round " << round;
    }
}

}  // namespace
