#pragma once
// What the tests of the program's own windows share: the repository's skin and a way to act
// from inside a modal loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

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

// A window built from layout text through the program's control factory; it keeps the
// notifications it receives.
template <typename TFactory>
class LayoutWindow : public CDialogWnd, public INotifyUI {
public:
    struct Sent {
        std::string type;
        std::string sender;
        WPARAM wParam;
    };

    bool Open(const std::string& layout, int x = 100, int y = 100) {
        if (!Create(nullptr, "test", layout.c_str(), &m_factory)) return false;
        MoveWindow(RECT{x, y, x + m_pm.GetInitSize().cx, y + m_pm.GetInitSize().cy});
        ShowWindow(true, true);
        m_pm.UpdateLayout();
        return true;
    }
    void Notify(TNotifyUI& msg) override {
        m_sent.push_back(Sent{msg.sType.str(), msg.pSender ? msg.pSender->GetName().str() : "",
                              msg.wParam});
        CDialogWnd::Notify(msg);
    }
    template <typename T>
    T* Find(const char* name) {
        return dynamic_cast<T*>(m_pm.FindControl(name));
    }
    int Count(const std::string& type, const std::string& sender) const {
        int n = 0;
        for (const Sent& sent : m_sent) n += sent.type == type && sent.sender == sender;
        return n;
    }
    void Forget() { m_sent.clear(); }

private:
    TFactory m_factory;
    std::vector<Sent> m_sent;
};

}  // namespace controlstest
