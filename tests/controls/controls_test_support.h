#pragma once
// What the tests of the program's own windows share: the repository's skin and a way to act
// from inside a modal loop.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "tests/guisupport/gui_support.h"
#include "uilib/uilib.h"

namespace controlstest {

// The repository's skin with its "light blue" style, for the fixture's lifetime.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        guisupport::EnsureApplication();
        m_skin.AddDirectory(guisupport::SkinSourceDir());
        ASSERT_TRUE(m_skin.Install());
        ASSERT_TRUE(CStyleManagerUI::Instance()->ApplyStyle("light blue"));
    }
    void TearDown() override { guisupport::ProcessMessages(); }

private:
    guisupport::SkinArchive m_skin;
};

// Runs a function on the UI thread once the running loop (a modal one included) gets to it.
class Soon : public CWindowWnd {
public:
    explicit Soon(std::function<void()> fn) : m_fn(std::move(fn)) {
        Create(nullptr, "soon", UI_WNDSTYLE_POPUP);
        PostMessage(kRun);
    }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == kRun && m_fn) std::exchange(m_fn, nullptr)();
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    static constexpr UINT kRun = WM_USER + 1;
    std::function<void()> m_fn;
};

inline POINT CenterOf(CPaintManagerUI& pm, const char* name) {
    pm.UpdateLayout();
    CControlUI* control = pm.FindControl(name);
    return control ? guisupport::CenterOf(control->GetPos()) : POINT{-1, -1};
}

}  // namespace controlstest
