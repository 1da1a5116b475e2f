#pragma once
// Posts the manifest fetch's reports to the update window by handle; a report for a window
// that has gone is dropped.

#include "UpdateMessages.h"
#include "ui/WindowHandle.h"

class WindowMessageSink : public IUpdateMessageSink {
public:
    explicit WindowMessageSink(vesk::ui::WindowHandle window) : m_window(window) {}
    void PostUpdateMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        m_window.Post(message, wParam, lParam);
    }

private:
    const vesk::ui::WindowHandle m_window;
};
