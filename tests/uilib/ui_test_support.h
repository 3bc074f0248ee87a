#pragma once
// What the window library's tests share: a skin in memory and a recorder of notifications.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/guisupport/gui_support.h"
#include "uilib/uilib.h"

namespace uitest {

struct Recorded {
    std::string type;
    std::string sender;
    WPARAM wParam;
    LPARAM lParam;
};

class NotifyRecorder : public INotifyUI {
public:
    void Notify(TNotifyUI& msg) override {
        events.push_back({msg.sType.str(),
                          msg.pSender ? msg.pSender->GetName().str() : std::string(), msg.wParam,
                          msg.lParam});
    }
    // "type:sender" of every notification, in order, leaving out the focus ones.
    std::vector<std::string> Sequence() const {
        std::vector<std::string> sequence;
        for (const Recorded& r : events)
            if (r.type != "setfocus" && r.type != "killfocus")
                sequence.push_back(r.type + ":" + r.sender);
        return sequence;
    }
    std::vector<Recorded> OfType(const std::string& type) const {
        std::vector<Recorded> found;
        for (const Recorded& r : events)
            if (r.type == type) found.push_back(r);
        return found;
    }
    std::vector<Recorded> events;
};

// A dialog built from a layout of the test skin, shown, laid out and recording what it sends.
class TestDialog : public CDialogWnd, public INotifyUI {
public:
    void Notify(TNotifyUI& msg) override {
        recorder.Notify(msg);
        CDialogWnd::Notify(msg);
    }
    bool Open(const char* layout, DWORD style = UI_WNDSTYLE_DIALOG) {
        if (!Create(nullptr, "test", layout, nullptr, style)) return false;
        ShowWindow();
        GetPaintManager().UpdateLayout();
        return true;
    }
    template <typename T>
    T* Find(const char* name) {
        return static_cast<T*>(FindControl(name));
    }
    POINT Center(const char* name) { return guisupport::CenterOf(FindControl(name)->GetPos()); }
    NotifyRecorder recorder;
};

// Saves the window's picture; where the build asked for pictures, failing to save is a failure.
inline void Screenshot(HWND hWnd, const char* name) {
    std::string path = guisupport::SaveScreenshot(hWnd, name);
    if (!guisupport::ScreenshotFolder().empty()) {
        EXPECT_FALSE(path.empty()) << name;
    }
}

// Installs the repository's skin plus the test's own layouts for the fixture's lifetime.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        guisupport::EnsureApplication();
        m_skin.AddDirectory(guisupport::SkinSourceDir());
        for (const auto& layout : Layouts()) m_skin.Add(layout.first, layout.second);
        ASSERT_TRUE(m_skin.Install());
        ASSERT_TRUE(CStyleManagerUI::Instance()->ApplyStyle("light blue"));
    }
    void TearDown() override { guisupport::ProcessMessages(); }
    virtual std::vector<std::pair<std::string, std::string>> Layouts() const { return {}; }

private:
    guisupport::SkinArchive m_skin;
};

}  // namespace uitest
