#pragma once
// CTaskbarNotifier: a small notice that slides in next to the taskbar, stays a while and slides
// back out. TextTaskbarNotifier shows one text in it and frees itself when closed.
#include "uilib/dialog_wnd.h"

class CTaskbarNotifier : public CDialogWnd, public INotifyUI {
public:
    enum State { kHidden = 0, kAppearing = 1, kStaying = 2, kDisappearing = 3 };
    enum Direction { kNone = 0, kFromTop = 1, kFromLeft = 2, kFromRight = 3, kFromBottom = 4 };

    // Milliseconds of the slide in, the stay and the slide out.
    struct Timings {
        UINT showMs = 300;
        UINT stayMs = 3000;
        UINT hideMs = 300;
    };
    static constexpr int kStepPixels = 3;

    // Creates the (hidden) window; false when the layout cannot be built.
    bool CreateNotifier(HWND hOwner = nullptr);
    // Slides in from the taskbar side, or keeps an already shown notice up for another stay.
    void Show();
    void Hide();

    State GetState() const { return m_state; }
    Direction GetDirection() const { return m_direction; }
    void SetTimings(const Timings& timings) { m_timings = timings; }

    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void StartSlideIn();
    // The mouse over the notice, or a new Show: it stays fully shown for another full stay.
    void KeepShown();
    void StayFullyShown();
    void RestartStay();
    void OnTimer(UINT nTimerID);
    void StepIn();
    void StepOut();
    // Milliseconds between two steps of a slide that lasts nTotalMs.
    UINT StepInterval(UINT nTotalMs) const;
    POINT FullyShownPos() const;
    void MoveTo(POINT pt);
    bool SlidesVertically() const { return m_direction == kFromTop || m_direction == kFromBottom; }
    void SetTimer(UINT nTimerID, UINT uElapse);
    void KillTimer(UINT nTimerID);

    Timings m_timings;
    SIZE m_size;
    RECT m_rcWork;
    State m_state = kHidden;
    Direction m_direction = kNone;
    POINT m_ptStart;
    POINT m_ptCurrent;
};

class TextTaskbarNotifier : public CTaskbarNotifier {
public:
    // Sets the notice's rich text (markup of labels allowed).
    void SetMessage(LPCTSTR pstrText);

    // Closes the notifier of hPrevious if it is still open, then opens a new one with the text.
    // Returns the new notifier's window, or null when it cannot be created.
    static HWND ShowMessage(HWND hPrevious, LPCTSTR pstrText, HWND hOwner = nullptr);

protected:
    void OnFinalMessage(HWND hWnd) override;
};
