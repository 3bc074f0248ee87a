#pragma once
// Helpers for tests that open real windows on Qt's offscreen platform. No Qt in this header.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "uilib/ui_types.h"

namespace guisupport {

// Creates the application on the offscreen platform unless another platform was asked for.
void EnsureApplication();

// Handles pending window messages once.
void ProcessMessages();

// Handles window messages until done() holds or timeoutMs passes; returns done().
bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs = 3000);

// The repository's skin folder.
std::string SkinSourceDir();

// A skin archive built in memory with libzip and installed as the window library's resources
// for the object's lifetime (layouts, style.xml, images).
class SkinArchive {
public:
    SkinArchive() = default;
    ~SkinArchive();
    SkinArchive(const SkinArchive&) = delete;
    SkinArchive& operator=(const SkinArchive&) = delete;

    SkinArchive& Add(const std::string& name, const std::string& content);
    // Every file of a folder, named by its path relative to the folder.
    SkinArchive& AddDirectory(const std::string& folder);
    // Packs the files, hands the archive to the library and loads "style.xml" if present,
    // applying its default style. Returns false when packing fails.
    bool Install();

private:
    std::map<std::string, std::string> m_files;
    std::string m_archive;
    bool m_installed = false;
};

// Where pictures go: $LEDGERDESK_SCREENSHOTS (set by CTest), else "" (none are saved).
std::string ScreenshotFolder();
// Saves a PNG of the window into ScreenshotFolder() (created if needed) as <name>.png.
// Returns the path, or "" when there is no folder or saving fails.
std::string SaveScreenshot(HWND hWnd, const std::string& name);
// The same with pop-ups (menus, drop-downs) painted over the window where they stand.
std::string SaveScreenshot(HWND hWnd, const std::string& name, const std::vector<HWND>& popups);

// Input delivered to a window as the desktop would (client coordinates, MK_ key state).
void Click(HWND hWnd, POINT pt, UINT keyState = 0);
void RightClick(HWND hWnd, POINT pt, UINT keyState = 0);
void DoubleClick(HWND hWnd, POINT pt);
void MoveMouse(HWND hWnd, POINT pt);
void MouseDown(HWND hWnd, POINT pt, UINT keyState = 0);
void MouseUp(HWND hWnd, POINT pt, UINT keyState = 0);
void PressKey(HWND hWnd, UINT vk, UINT keyState = 0);
// A key typed at the keyboard: it goes where the desktop sends typed keys, to the focus widget of
// the active window (the active window itself when nothing in it has the focus).
void TypeKey(UINT vk, UINT keyState = 0);
// The window that has the keyboard, null when none has.
HWND ActiveWindow();
// Types GBK text into the edit being edited in the window (its native line edit).
bool TypeText(HWND hWnd, const char* text);
// The selected text of the edit being edited in the window (GBK), "" when none is.
std::string SelectedText(HWND hWnd);
// The window's title as the desktop shows it (GBK, like every text of the program).
std::string WindowTitle(HWND hWnd);
// How the desktop treats the window.
struct WindowTraits {
    bool takesInput = false;    // clicks land on it rather than passing through
    bool takesFocus = false;    // it can become the active window
    bool listedAsApp = false;   // the taskbar and window lists show it
};
WindowTraits TraitsOf(HWND hWnd);
// The window's picture inside rc (client coordinates), row by row, as ARGB.
std::vector<std::uint32_t> PixelsOf(HWND hWnd, const RECT& rc);

// Runs `action`, then the window's events for a moment; true when the window painted some part
// of rc (client coordinates) meanwhile. Pending paints are done before `action`.
bool RepaintsWhile(HWND hWnd, const RECT& rc, const std::function<void()>& action);

// Centre of a control, client coordinates.
POINT CenterOf(const RECT& rc);

}  // namespace guisupport
