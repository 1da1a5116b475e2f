#pragma once
// A window system on the headless backend with an injected clock, made fresh for each test.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "clock/ManualClock.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

namespace vesk::ui::test {

// A top-level window whose modal loop ends when it is sent kDone.
constexpr UINT kDone = WM_USER + 100;
class EndsItsLoopOnDone : public Window {
public:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message == kDone) System::Current()->EndModalLoop(*this, 0);
        return 0;
    }
};

// Lets a test wait until a call from another thread has reached the queue.
class WatchedBackend : public headless::HeadlessBackend {
public:
    explicit WatchedBackend(headless::Options options = {}) : HeadlessBackend(std::move(options)) {}
    void Wake() override {
        HeadlessBackend::Wake();
        {
            std::lock_guard lock(m_mutex);
            ++m_wakes;
        }
        m_woken.notify_all();
    }
    int Wakes() {
        std::lock_guard lock(m_mutex);
        return m_wakes;
    }
    void WaitForWakes(int count) {
        std::unique_lock lock(m_mutex);
        m_woken.wait(lock, [&] { return m_wakes >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    int m_wakes = 0;
};

class UiFixture : public ::testing::Test {
protected:
    explicit UiFixture(headless::Options options = {})
        : UiFixture(std::make_unique<headless::HeadlessBackend>(std::move(options))) {}
    // For a test that watches the backend through a subclass of its own.
    explicit UiFixture(std::unique_ptr<headless::HeadlessBackend> backend) {
        clock::Install(&m_clock);
        m_backend = backend.get();
        m_system = std::make_unique<System>(std::move(backend));
    }
    ~UiFixture() override {
        m_system.reset();
        clock::Install(nullptr);
    }
    System& Sys() { return *m_system; }
    // The system goes while the test goes on, as at the end of the program.
    void EndSystem() { m_system.reset(); }
    headless::HeadlessBackend& Backend() { return *m_backend; }
    clock::ManualClock& Clock() { return m_clock; }
    gfx::Argb PixelOf(Window& topLevel, int x, int y) {
        const gfx::Surface* s = m_system->Composed(topLevel.GetHwnd());
        return s ? s->Pixel(x, y) : 0;
    }

private:
    clock::ManualClock m_clock;
    headless::HeadlessBackend* m_backend = nullptr;
    std::unique_ptr<System> m_system;
};

}  // namespace vesk::ui::test
