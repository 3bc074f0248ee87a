#include "tests/guisupport/gui_support.h"

#include <zip.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "uilib/internal/native_window.h"
#include "uilib/internal/render_context.h"
#include "uilib/internal/text_codec.h"
#include "uilib/resource_manager_ui.h"
#include "uilib/style_manager_ui.h"
#include "uilib/ui_application.h"
#include "uilib/window_wnd.h"

namespace guisupport {

void EnsureApplication() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    UiEnsureApplication();
}

void ProcessMessages() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Deferred deletions run only from the event loop's own level.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs) {
    // processEvents with a time limit never sleeps: the wait would spin a core that the service
    // under test needs. The thread sleeps until an event, and the timer wakes it for conditions
    // that no event announces.
    constexpr int kRecheckMs = 5;
    QTimer recheck;
    recheck.start(kRecheckMs);
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::string SkinSourceDir() {
    return std::string(LEDGERDESK_SOURCE_DIR) + "/skin";
}

SkinArchive::~SkinArchive() {
    if (m_installed) CResourceManagerUI::SetResourceZipPtr(nullptr, 0);
}

SkinArchive& SkinArchive::Add(const std::string& name, const std::string& content) {
    m_files[name] = content;
    return *this;
}

SkinArchive& SkinArchive::AddDirectory(const std::string& folder) {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string relative = fs::relative(entry.path(), folder).generic_string();
        if (relative.rfind("package/", 0) == 0 || relative == "CMakeLists.txt") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        Add(relative, content.str());
    }
    return *this;
}

bool SkinArchive::Install() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* sink = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = sink ? zip_open_from_source(sink, ZIP_TRUNCATE, &error) : nullptr;
    if (!archive) return false;
    zip_source_keep(sink);
    for (const auto& file : m_files) {
        zip_source_t* data = zip_source_buffer(archive, file.second.data(), file.second.size(), 0);
        if (!data || zip_file_add(archive, file.first.c_str(), data, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(data);
            zip_discard(archive);
            zip_source_free(sink);
            return false;
        }
    }
    bool closed = zip_close(archive) == 0;
    if (closed && zip_source_open(sink) == 0) {
        zip_source_seek(sink, 0, SEEK_END);
        zip_int64_t size = zip_source_tell(sink);
        zip_source_seek(sink, 0, SEEK_SET);
        m_archive.resize(static_cast<std::size_t>(size));
        zip_source_read(sink, m_archive.data(), static_cast<zip_uint64_t>(size));
        zip_source_close(sink);
    }
    zip_source_free(sink);
    zip_error_fini(&error);
    if (!closed) return false;
    EnsureApplication();
    m_installed = CResourceManagerUI::SetResourceZipPtr(m_archive.data(),
                                                        static_cast<DWORD>(m_archive.size()));
    if (m_installed && m_files.count("style.xml"))
        CStyleManagerUI::Instance()->LoadStyles("style.xml");
    return m_installed;
}

std::string ScreenshotFolder() {
    const char* folder = std::getenv("LEDGERDESK_SCREENSHOTS");
    return folder ? folder : "";
}

std::string SaveScreenshot(HWND hWnd, const std::string& name) {
    return SaveScreenshot(hWnd, name, {});
}

std::string SaveScreenshot(HWND hWnd, const std::string& name, const std::vector<HWND>& popups) {
    std::string folder = ScreenshotFolder();
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (folder.empty() || !native) return "";
    QPixmap picture = native->grab();
    QPainter painter(&picture);
    for (HWND popup : popups) {
        auto* window = uilib_detail::NativeFromHandle(popup);
        if (window && window->isVisible())
            painter.drawPixmap(window->geometry().topLeft() - native->geometry().topLeft(),
                               window->grab());
    }
    painter.end();
    QDir().mkpath(QString::fromStdString(folder));
    std::string path = folder + "/" + name + ".png";
    return picture.save(QString::fromStdString(path), "PNG") ? path : "";
}

namespace {

Qt::KeyboardModifiers ModifiersOf(UINT keyState) {
    Qt::KeyboardModifiers modifiers;
    if (keyState & MK_SHIFT) modifiers |= Qt::ShiftModifier;
    if (keyState & MK_CONTROL) modifiers |= Qt::ControlModifier;
    if (keyState & MK_ALT) modifiers |= Qt::AltModifier;
    return modifiers;
}

void SendMouse(HWND hWnd, QEvent::Type type, POINT pt, Qt::MouseButton button, UINT keyState) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (!native) return;
    QPointF local(pt.x, pt.y);
    QWidget* target = native->childAt(QPoint(pt.x, pt.y));
    if (!target) target = native;
    QPointF inTarget =
        target == native ? local : QPointF(target->mapFrom(native, QPoint(pt.x, pt.y)));
    Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, inTarget, native->mapToGlobal(local), button, buttons,
                      ModifiersOf(keyState));
    QApplication::sendEvent(target, &event);
}

int QtKeyOf(UINT vk) {
    switch (vk) {
        case VK_RETURN:
            return Qt::Key_Return;
        case VK_ESCAPE:
            return Qt::Key_Escape;
        case VK_TAB:
            return Qt::Key_Tab;
        case VK_SPACE:
            return Qt::Key_Space;
        case VK_UP:
            return Qt::Key_Up;
        case VK_DOWN:
            return Qt::Key_Down;
        case VK_LEFT:
            return Qt::Key_Left;
        case VK_RIGHT:
            return Qt::Key_Right;
        case VK_HOME:
            return Qt::Key_Home;
        case VK_END:
            return Qt::Key_End;
        case VK_DELETE:
            return Qt::Key_Delete;
        case VK_BACK:
            return Qt::Key_Backspace;
        case VK_APPS:
            return Qt::Key_Menu;
        case VK_F10:
            return Qt::Key_F10;
        default:
            return static_cast<int>(vk);
    }
}

void SendKey(QWidget* target, UINT vk, UINT keyState) {
    if (!target) return;
    int key = QtKeyOf(vk);
    if (vk == VK_TAB && (keyState & MK_SHIFT)) key = Qt::Key_Backtab;
    QString text = vk == VK_SPACE ? QString(" ") : QString();
    QKeyEvent press(QEvent::KeyPress, key, ModifiersOf(keyState), text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, ModifiersOf(keyState), text);
    QApplication::sendEvent(target, &release);
}

QLineEdit* OpenLineEdit(HWND hWnd) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (!native) return nullptr;
    for (QLineEdit* edit : native->findChildren<QLineEdit*>())
        if (edit->isVisible()) return edit;
    return nullptr;
}

}  // namespace

void Click(HWND hWnd, POINT pt, UINT keyState) {
    MoveMouse(hWnd, pt);
    MouseDown(hWnd, pt, keyState);
    MouseUp(hWnd, pt, keyState);
}

void MouseDown(HWND hWnd, POINT pt, UINT keyState) {
    SendMouse(hWnd, QEvent::MouseButtonPress, pt, Qt::LeftButton, keyState);
}

void MouseUp(HWND hWnd, POINT pt, UINT keyState) {
    SendMouse(hWnd, QEvent::MouseButtonRelease, pt, Qt::LeftButton, keyState);
}

void RightClick(HWND hWnd, POINT pt, UINT keyState) {
    MoveMouse(hWnd, pt);
    SendMouse(hWnd, QEvent::MouseButtonPress, pt, Qt::RightButton, keyState);
    SendMouse(hWnd, QEvent::MouseButtonRelease, pt, Qt::RightButton, keyState);
}

void DoubleClick(HWND hWnd, POINT pt) {
    Click(hWnd, pt);
    SendMouse(hWnd, QEvent::MouseButtonDblClick, pt, Qt::LeftButton, 0);
    SendMouse(hWnd, QEvent::MouseButtonRelease, pt, Qt::LeftButton, 0);
}

void MoveMouse(HWND hWnd, POINT pt) {
    SendMouse(hWnd, QEvent::MouseMove, pt, Qt::NoButton, 0);
}

void PressKey(HWND hWnd, UINT vk, UINT keyState) {
    QWidget* target = OpenLineEdit(hWnd);
    if (!target) target = uilib_detail::NativeFromHandle(hWnd);
    SendKey(target, vk, keyState);
}

void TypeKey(UINT vk, UINT keyState) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    SendKey(target, vk, keyState);
}

HWND ActiveWindow() {
    auto* native = dynamic_cast<uilib_detail::NativeWindow*>(QApplication::activeWindow());
    return native && native->owner() ? native->owner()->GetHWND() : nullptr;
}

bool TypeText(HWND hWnd, const char* text) {
    QLineEdit* edit = OpenLineEdit(hWnd);
    if (!edit) return false;
    for (QChar c : uilib_detail::FromGbk(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
    return true;
}

std::string SelectedText(HWND hWnd) {
    QLineEdit* edit = OpenLineEdit(hWnd);
    return edit ? uilib_detail::ToGbk(edit->selectedText()) : std::string();
}

std::string WindowTitle(HWND hWnd) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    return native ? uilib_detail::ToGbk(native->windowTitle()) : std::string();
}

WindowTraits TraitsOf(HWND hWnd) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (!native) return WindowTraits{};
    Qt::WindowFlags flags = native->windowFlags();
    return WindowTraits{!(flags & Qt::WindowTransparentForInput),
                        !(flags & Qt::WindowDoesNotAcceptFocus),
                        !(flags & Qt::BypassWindowManagerHint) && !(flags & Qt::Tool)};
}

std::vector<std::uint32_t> PixelsOf(HWND hWnd, const RECT& rc) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (!native) return {};
    QImage image = native->grab(ToQRect(rc)).toImage();
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) pixels.push_back(image.pixel(x, y));
    return pixels;
}

namespace {

class PaintWatch : public QObject {
public:
    explicit PaintWatch(const QRect& rect) : m_rect(rect) {}
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint &&
            static_cast<QPaintEvent*>(event)->region().intersects(m_rect))
            painted = true;
        return false;
    }

private:
    QRect m_rect;
};

}  // namespace

bool RepaintsWhile(HWND hWnd, const RECT& rc, const std::function<void()>& action) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    if (!native) return false;
    ProcessMessages();
    PaintWatch watch(ToQRect(rc));
    native->installEventFilter(&watch);
    action();
    ProcessMessagesUntil([&] { return watch.painted; }, 300);
    native->removeEventFilter(&watch);
    return watch.painted;
}

POINT CenterOf(const RECT& rc) {
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

}  // namespace guisupport
