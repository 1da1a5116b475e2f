#include "ui/WindowHandle.h"

#include "ui/Dialog.h"
#include "ui/Static.h"
#include "ui/System.h"

namespace vesk::ui {

WindowHandle::WindowHandle(const Window& window) : m_hwnd(window.GetHwnd()) {}

WindowHandle WindowHandle::Main() {
    const auto queue = System::CurrentQueue();
    return WindowHandle(queue ? queue->MainWindow() : 0);
}

bool WindowHandle::Exists() const {
    const auto queue = System::CurrentQueue();
    return m_hwnd != 0 && queue && queue->Exists(m_hwnd);
}

// The work is tied to the window, so it runs only while the window exists; the window is found
// again by handle on the UI thread.
bool WindowHandle::Queue(std::function<void(Window&)> change) const {
    const auto queue = System::CurrentQueue();
    if (m_hwnd == 0 || !queue) return false;
    return queue->Post(m_hwnd, [hwnd = m_hwnd, change = std::move(change)] {
        if (Window* w = System::Current()->FromHwnd(hwnd)) change(*w);
    });
}

bool WindowHandle::Call(const std::function<bool(Window&)>& change) const {
    if (m_hwnd == 0) return false;
    if (System* system = System::Current(); system && system->IsUiThread()) {
        Window* w = system->FromHwnd(m_hwnd);
        return w && change(*w);
    }
    const auto queue = System::CurrentQueue();
    bool applied = false;
    const bool ran = queue && queue->PostAndWait(m_hwnd, [&] {
        if (Window* w = System::Current()->FromHwnd(m_hwnd)) applied = change(*w);
    });
    return ran && applied;
}

bool WindowHandle::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    const auto queue = System::CurrentQueue();
    if (m_hwnd == 0 || !queue) return false;
    return queue->Post(
        m_hwnd, [m = Message{m_hwnd, message, wParam, lParam}] { System::Current()->Dispatch(m); });
}

bool WindowHandle::Invalidate() const {
    return Queue([](Window& w) { w.Invalidate(); });
}

bool WindowHandle::SetAlpha(std::uint8_t alpha) const {
    return Queue([alpha](Window& w) { w.SetAlpha(alpha); });
}

bool WindowHandle::SetTimer(WPARAM id, std::chrono::milliseconds interval) const {
    return Queue([id, interval](Window& w) { w.SetTimer(id, interval); });
}

bool WindowHandle::KillTimer(WPARAM id) const {
    return Queue([id](Window& w) { w.KillTimer(id); });
}

bool WindowHandle::EndDialog(int result) const {
    return Queue([result](Window& w) { System::Current()->EndModalLoop(w, result); });
}

bool WindowHandle::SetText(const std::wstring& text) const {
    return Call([&text](Window& w) {
        w.SetWindowText(text);
        return true;
    });
}

bool WindowHandle::Show(bool show) const {
    return Call([show](Window& w) {
        w.ShowWindow(show);
        return true;
    });
}

bool WindowHandle::Move(const gfx::Rect& rect) const {
    return Call([&rect](Window& w) {
        w.MoveWindow(rect);
        return true;
    });
}

bool WindowHandle::Enable(bool enable) const {
    return Call([enable](Window& w) {
        w.EnableWindow(enable);
        return true;
    });
}

bool WindowHandle::SetAlignment(gfx::TextAlign align) const {
    return Call([align](Window& w) {
        auto* label = dynamic_cast<Static*>(&w);
        if (label) label->SetAlignment(align);
        return label != nullptr;
    });
}

int WindowHandle::RunBox(const BoxMaker& make) const {
    int result = -1;
    Call([&](Window& owner) {
        if (std::unique_ptr<Dialog> box = make(owner)) result = box->DoModal();
        return true;
    });
    return result;
}

}  // namespace vesk::ui
