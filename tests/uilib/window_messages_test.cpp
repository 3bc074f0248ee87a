#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/guisupport/gui_support.h"
#include "uilib/window_wnd.h"

namespace {

constexpr UINT WM_TEST_PAYLOAD = WM_USER + 77;

// Records the messages its procedure receives and on which thread.
class RecordingWnd : public CWindowWnd {
public:
    struct Received {
        UINT msg;
        WPARAM wParam;
        std::thread::id thread;
    };
    std::vector<Received> received;
    bool finalMessageSeen = false;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg >= WM_USER) received.push_back({uMsg, wParam, std::this_thread::get_id()});
        if (uMsg == WM_TEST_PAYLOAD) delete reinterpret_cast<int*>(wParam);
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

protected:
    void OnFinalMessage(HWND) override { finalMessageSeen = true; }
};

class WindowMessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        guisupport::EnsureApplication();
        ASSERT_NE(wnd.Create(nullptr, "messages", UI_WNDSTYLE_FRAME), nullptr);
    }
    RecordingWnd wnd;
};

TEST_F(WindowMessagesTest, PostsFromWorkerThreadsArriveInOrderOnTheUiThread) {
    constexpr int kPerThread = 200;
    HWND hWnd = wnd.GetHWND();
    auto poster = [hWnd](WPARAM base) {
        for (int i = 0; i < kPerThread; ++i)
            ASSERT_TRUE(PostMessage(hWnd, WM_USER + 1, base + i, 0));
    };
    std::thread first(poster, 0), second(poster, 1000);
    first.join();
    second.join();
    ASSERT_TRUE(
        guisupport::ProcessMessagesUntil([&] { return wnd.received.size() == 2 * kPerThread; }));

    std::vector<WPARAM> fromFirst, fromSecond;
    for (const auto& r : wnd.received) {
        EXPECT_EQ(r.thread, std::this_thread::get_id());
        (r.wParam < 1000 ? fromFirst : fromSecond).push_back(r.wParam);
    }
    ASSERT_EQ(fromFirst.size(), static_cast<size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) {
        EXPECT_EQ(fromFirst[i], static_cast<WPARAM>(i));
        EXPECT_EQ(fromSecond[i], static_cast<WPARAM>(1000 + i));
    }
}

TEST_F(WindowMessagesTest, DestroyedWindowRefusesPostsAndItsHandleStaysDead) {
    HWND old = wnd.GetHWND();
    EXPECT_TRUE(IsWindow(old));
    wnd.DestroyWindow();
    EXPECT_TRUE(wnd.finalMessageSeen);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(PostMessage(old, WM_USER + 1, 0, 0));
    EXPECT_FALSE(IsWindow(nullptr));

    // A new window never reuses the handle of a dead one.
    RecordingWnd next;
    next.Create(nullptr, "next");
    EXPECT_NE(next.GetHWND(), old);
    EXPECT_FALSE(IsWindow(old));
}

TEST_F(WindowMessagesTest, PayloadOfMessageQueuedBeforeDestructionIsFreedByDropHandler) {
    std::atomic<int> dropped{0};
    int* payload = new int(5);
    ASSERT_TRUE(PostMessage(wnd.GetHWND(), WM_TEST_PAYLOAD, reinterpret_cast<WPARAM>(payload), 0,
                            [&dropped, payload] {
                                delete payload;
                                ++dropped;
                            }));
    wnd.DestroyWindow();
    guisupport::ProcessMessages();
    EXPECT_EQ(dropped.load(), 1);
    EXPECT_TRUE(wnd.received.empty());
}

TEST_F(WindowMessagesTest, DeliveredMessageNeverRunsDropHandler) {
    std::atomic<int> dropped{0};
    ASSERT_TRUE(PostMessage(wnd.GetHWND(), WM_TEST_PAYLOAD, reinterpret_cast<WPARAM>(new int(1)), 0,
                            [&dropped] { ++dropped; }));
    ASSERT_TRUE(guisupport::ProcessMessagesUntil([&] { return wnd.received.size() == 1; }));
    wnd.DestroyWindow();
    guisupport::ProcessMessages();
    EXPECT_EQ(dropped.load(), 0);
}

TEST_F(WindowMessagesTest, WindowDestroyedByItsOwnMessageStopsReceiving) {
    ASSERT_TRUE(wnd.PostMessage(WM_CLOSE, IDOK, 0));
    ASSERT_TRUE(wnd.PostMessage(WM_USER + 2, 0, 0));
    ASSERT_TRUE(guisupport::ProcessMessagesUntil([&] { return wnd.finalMessageSeen; }));
    guisupport::ProcessMessages();
    EXPECT_TRUE(wnd.received.empty());
    EXPECT_EQ(wnd.GetHWND(), nullptr);
}

}  // namespace
