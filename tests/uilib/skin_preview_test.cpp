// Every layout of the program's skin is well-formed, and each that makes a window is saved as a
// picture (the program's own control classes are left out, so pages show their library parts).
#include <filesystem>

#include "tests/uilib/ui_test_support.h"

namespace {

class SkinPreviewTest : public uitest::SkinTest {};

std::vector<std::string> SkinLayouts() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(guisupport::SkinSourceDir())) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".xml" && name != "style.xml") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SkinPreviewTest, EveryLayoutReadsAndThoseWithControlsArePictured) {
    for (const std::string& name : SkinLayouts()) {
        CDialogBuilder reader;
        EXPECT_TRUE(reader.Load(name.c_str())) << reader.GetLastErrorMessage().GetData();
        uitest::TestDialog wnd;
        // Template files and layouts made of the program's own classes make no window here.
        if (!wnd.Create(nullptr, name.c_str(), name.c_str())) continue;
        wnd.ShowWindow();
        wnd.GetPaintManager().UpdateLayout();
        uitest::Screenshot(wnd.GetHWND(), ("skin_" + name.substr(0, name.size() - 4)).c_str());
        wnd.DestroyWindow();
    }
}

}  // namespace
