#pragma once
// A window system on the headless backend with an injected clock, made fresh for each test.

#include <gtest/gtest.h>

#include "clock/ManualClock.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

namespace vesk::ui::test {

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
