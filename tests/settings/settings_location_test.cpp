#include "settings/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/case_printing.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct LocationCase : testcases::NamedCase {
    bool programFolderWritable;
    const char* machineCopy;  // nullptr: none
    const char* ownCopy;      // nullptr: none yet
    const char* expectedPath;  // under the scratch folder
    const char* expectedBytes;  // nullptr: no file
};

class SettingsLocation : public testing::TestWithParam<LocationCase> {};

TEST_P(SettingsLocation, PicksTheFileAndSeedsAnOperatorsOwnOnce) {
    const LocationCase& c = GetParam();
    ScratchDir scratch;
    SettingsPlaces places;
    places.programFolder = scratch.file("bin");
    fs::create_directory(places.programFolder);
    places.programFolderWritable = c.programFolderWritable;
    places.configHome = scratch.file("config");
    places.machineCopy = scratch.file("machine.ini");
    if (c.machineCopy) WriteBytes(places.machineCopy, c.machineCopy);
    if (c.ownCopy) {
        fs::create_directories(scratch.path() / "config/ledgerdesk");
        WriteBytes(scratch.file("config/ledgerdesk/wlsetting.ini"), c.ownCopy);
    }
    const std::string path = SettingsFilePath(places);
    EXPECT_EQ(path, scratch.file(c.expectedPath));
    EXPECT_TRUE(fs::is_directory(fs::path(path).parent_path())) << "the first save needs it";
    EXPECT_EQ(fs::exists(path), c.expectedBytes != nullptr);
    if (c.expectedBytes) EXPECT_EQ(ReadBytes(path), c.expectedBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLocation,
    testing::Values(
        LocationCase{{"BesideAProgramThatCanWriteItsFolder"}, true, "[Db]\n", nullptr,
                     "bin/wlsetting.ini", nullptr},
        LocationCase{{"CopiedFromTheMachinesOnFirstStart"}, false, "[Db]\nIp=10.1.1.1\n", nullptr,
                     "config/ledgerdesk/wlsetting.ini", "[Db]\nIp=10.1.1.1\n"},
        LocationCase{{"AnOperatorsOwnIsKept"}, false, "[Db]\nIp=10.1.1.1\n", "[Db]\nIp=10.2.2.2\n",
                     "config/ledgerdesk/wlsetting.ini", "[Db]\nIp=10.2.2.2\n"},
        LocationCase{{"WithoutTheMachinesLeftToTheFirstSave"}, false, nullptr, nullptr,
                     "config/ledgerdesk/wlsetting.ini", nullptr}),
    testcases::kCaseName);

}  // namespace
