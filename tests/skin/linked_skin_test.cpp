#include <gtest/gtest.h>

#include <filesystem>

#include "skin/package/resource.h"
#include "skin/package/skin_package.h"
#include "tests/support/scratch_dir.h"
#include "tests/skin/zip_entries.h"

namespace {

namespace fs = std::filesystem;

TEST(LinkedSkin, UnpacksToTheSkinFolder) {
    const ResourceBytes resource = FindResource("skin.packed", "SKIN");
    ASSERT_TRUE(resource);
    EXPECT_FALSE(FindResource("skin.packed", "skin")) << "types are compared exactly";
    std::size_t length = 0;
    const auto archive = UnpackSkinPackage(resource.data, resource.size, length);
    ASSERT_NE(archive, nullptr);

    const auto entries = ZipEntries(archive.get(), length);
    ASSERT_TRUE(entries.count("style.xml"));
    ASSERT_TRUE(entries.count("DlgLogin.xml"));
    for (const auto& [name, contents] : entries) {
        EXPECT_NE(name.rfind("package/", 0), 0u) << name << ": packing code packed";
        EXPECT_NE(name, "CMakeLists.txt");
        EXPECT_EQ(contents, ReadBytes((fs::path(SKIN_SOURCE_DIR) / name).string())) << name;
    }
}

}  // namespace
