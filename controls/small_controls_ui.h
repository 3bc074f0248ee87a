#pragma once
// Small controls the pages create by class name: an edit that looks like a label, the combo
// box under the name the layouts use for it, and an option that slides to a new place.
#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"

// An edit drawn like a label (no frame, no background) for editing a cell in place. Enter,
// Escape, Tab, Up and Down hand the focus back to the window, which ends the edit; the library
// then sends "editclosed". Escape first puts back the text the edit began with. In a list row
// the keyboard goes to the list.
class CEditAbleLabelUI : public CEditUI {
public:
    CEditAbleLabelUI();
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

protected:
    bool OnEditKey(UINT vk, UINT keyState) override;

private:
    CControlUI* EnclosingList() const;
};

// The library's combo box; the pages let it stay without a choice.
class CEmptySelectableComboUI : public CComboUI {
public:
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;
};

// An option that slides vertically to a target top margin, one step per timer tick; within
// 19 pixels of the target it lands there and stops.
class CMovableOptionUI : public COptionUI {
public:
    ~CMovableOptionUI() override;
    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Starts sliding towards nTargetTop, nStep pixels per tick of uElapse milliseconds.
    void SlideTo(int nTargetTop, int nStep, UINT uElapse = 15);
    bool IsSliding() const { return m_bRunning; }
    int GetTargetTop() const { return m_nTarget; }

    void DoEvent(TEventUI& event) override;

private:
    void SlideStep();
    void StopSliding();

    int m_nTarget = 0;
    int m_nStep = 0;
    bool m_bRunning = false;
};
