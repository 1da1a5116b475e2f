#include "ui/sdl/SdlBackend.h"

#include <SDL.h>

#include <climits>
#include <cstring>

#include "text/Utf.h"

namespace vesk::ui::sdl {

namespace {

SDL_HitTestResult HitTest(SDL_Window* window, const SDL_Point* area, void* data) {
    return static_cast<SdlBackend*>(data)->IsCaption(window, {area->x, area->y})
               ? SDL_HITTEST_DRAGGABLE
               : SDL_HITTEST_NORMAL;
}

bool SamePixels(const gfx::Surface& a, const gfx::Surface& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.Width()) * 4) != 0)
            return false;
    return true;
}

}  // namespace

SdlBackend::SdlBackend() {
    // A click that brings a window to the front also presses what it lands on, as users of the
    // system's own windows expect. Without this the display drops a click that it hands over
    // together with the window's focus, which a busy machine does often.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    m_started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!m_started) return;
    m_wakeEvent = SDL_RegisterEvents(1);
    m_arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    m_hand = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
}

SdlBackend::~SdlBackend() {
    if (!m_started) return;
    for (auto& [hwnd, shown] : m_windows) SDL_DestroyWindow(shown.window);
    if (m_arrow) SDL_FreeCursor(m_arrow);
    if (m_hand) SDL_FreeCursor(m_hand);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlBackend::SetCaptionTest(std::function<bool(Hwnd, gfx::Point)> test) {
    m_captionTest = std::move(test);
}

bool SdlBackend::IsCaption(SDL_Window* window, gfx::Point inWindow) {
    for (auto& [hwnd, shown] : m_windows)
        if (shown.window == window && m_captionTest)
            return m_captionTest(hwnd,
                                 {shown.view.screen.left + shown.view.region.left + inWindow.x,
                                  shown.view.screen.top + shown.view.region.top + inWindow.y});
    return false;
}

SdlBackend::Shown* SdlBackend::Ensure(const TopLevelView& view) {
    if (!m_started) return nullptr;
    Shown& shown = m_windows[view.hwnd];
    const gfx::Rect& r = view.region;
    const int x = view.screen.left + r.left, y = view.screen.top + r.top;
    if (!shown.window) {
        // Owned windows show in no task bar; one that takes no focus is a tooltip to the display.
        Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
        if (view.owner) flags |= SDL_WINDOW_SKIP_TASKBAR;
        if (!view.takesFocus) flags |= SDL_WINDOW_TOOLTIP;
        shown.window = SDL_CreateWindow(text::WideToUtf8(view.title).c_str(), x, y,
                                        std::max(r.Width(), 1), std::max(r.Height(), 1), flags);
        if (!shown.window) {
            m_windows.erase(view.hwnd);
            return nullptr;
        }
        SDL_SetWindowHitTest(shown.window, HitTest, this);
    } else {
        // Only a real change goes to the display: setting a fixed-size window's size raises it
        // there, and a window repainting behind its box would cover the box.
        const gfx::Rect& was = shown.view.region;
        if (x != shown.view.screen.left + was.left || y != shown.view.screen.top + was.top)
            SDL_SetWindowPosition(shown.window, x, y);
        if (r.Width() != was.Width() || r.Height() != was.Height())
            SDL_SetWindowSize(shown.window, std::max(r.Width(), 1), std::max(r.Height(), 1));
        if (view.title != shown.view.title)
            SDL_SetWindowTitle(shown.window, text::WideToUtf8(view.title).c_str());
    }
    SDL_SetWindowOpacity(shown.window, view.alpha / 255.0f);
    GiveIcon(shown, view.icon);
    if (view.visible && !shown.view.visible) SDL_ShowWindow(shown.window);
    if (!view.visible && shown.view.visible) SDL_HideWindow(shown.window);
    if (view.minimized && !shown.view.minimized) SDL_MinimizeWindow(shown.window);
    if (!view.minimized && shown.view.minimized) SDL_RestoreWindow(shown.window);
    shown.view = view;
    return &shown;
}

// Only a new icon goes to the display: giving one rewrites the window's icon property there.
void SdlBackend::GiveIcon(Shown& shown, const gfx::Surface* icon) {
    if (!icon || icon->IsEmpty() || SamePixels(*icon, shown.icon)) return;
    SDL_Surface* pixels = SDL_CreateRGBSurfaceWithFormatFrom(
        icon->Row(0), icon->Width(), icon->Height(), 32, icon->Stride(), SDL_PIXELFORMAT_ARGB8888);
    if (!pixels) return;
    SDL_SetWindowIcon(shown.window, pixels);
    SDL_FreeSurface(pixels);
    shown.icon = icon->Copy();
}

void SdlBackend::Present(const TopLevelView& view, const gfx::Surface& composed) {
    Shown* shown = Ensure(view);
    if (!shown || composed.IsEmpty()) return;
    SDL_Surface* target = SDL_GetWindowSurface(shown->window);
    if (!target) return;
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(composed.Row(0), composed.Width(), composed.Height(), 32,
                                           composed.Stride(), SDL_PIXELFORMAT_ARGB8888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_Rect from{view.region.left, view.region.top, view.region.Width(), view.region.Height()};
    SDL_BlitSurface(source, &from, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(shown->window);
    for (const char* moment : m_snapshots.Presented(view.hwnd))
        m_snapshots.Keep(view.title, moment,
                         [&](const std::string& path) { return SaveScreenshot(view.hwnd, path); });
}

void SdlBackend::Update(const TopLevelView& view) {
    Ensure(view);
}

void SdlBackend::Closed(const TopLevelView& view, const gfx::Surface&) {
    const auto it = m_windows.find(view.hwnd);
    if (it == m_windows.end()) return;
    if (m_snapshots.Closing(view.hwnd))
        m_snapshots.Keep(view.title, "closed",
                         [&](const std::string& path) { return SaveScreenshot(view.hwnd, path); });
    SDL_DestroyWindow(it->second.window);
    m_windows.erase(it);
}

void SdlBackend::SetCursor(Cursor cursor) {
    if (SDL_Cursor* c = cursor == Cursor::Hand ? m_hand : m_arrow) SDL_SetCursor(c);
}

gfx::Size SdlBackend::ScreenSize() {
    SDL_DisplayMode mode{};
    if (!m_started || SDL_GetDesktopDisplayMode(0, &mode) != 0) return {1024, 768};
    return {mode.w, mode.h};
}

void SdlBackend::Wake() {
    if (!m_started) return;
    SDL_Event event{};
    event.type = m_wakeEvent;
    SDL_PushEvent(&event);
}

SdlBackend::Shown* SdlBackend::ByWindowId(unsigned id) {
    SDL_Window* window = SDL_GetWindowFromID(id);
    for (auto& [hwnd, shown] : m_windows)
        if (shown.window == window) return &shown;
    return nullptr;
}

void SdlBackend::Translate(const SDL_Event& event, std::vector<InputEvent>& input) {
    using Kind = InputEvent::Kind;
    auto at = [&](unsigned windowId, int x, int y) -> std::optional<InputEvent> {
        Shown* shown = ByWindowId(windowId);
        if (!shown) return std::nullopt;
        const TopLevelView& v = shown->view;
        return InputEvent{Kind::MouseMove,
                          v.hwnd,
                          {v.screen.left + v.region.left + x, v.screen.top + v.region.top + y}};
    };
    if (event.type == SDL_MOUSEMOTION) {
        if (auto e = at(event.motion.windowID, event.motion.x, event.motion.y)) input.push_back(*e);
    } else if ((event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) &&
               event.button.button == SDL_BUTTON_LEFT) {
        if (auto e = at(event.button.windowID, event.button.x, event.button.y)) {
            e->kind = event.type == SDL_MOUSEBUTTONDOWN ? Kind::ButtonDown : Kind::ButtonUp;
            e->clicks = event.button.clicks == 2 ? 2 : 1;
            input.push_back(*e);
        }
    } else if (event.type == SDL_KEYDOWN) {
        const SDL_Keycode key = event.key.keysym.sym;
        const int vk = key == SDLK_RETURN || key == SDLK_KP_ENTER ? VK_RETURN
                       : key == SDLK_ESCAPE                       ? VK_ESCAPE
                                                                  : 0;
        if (vk) input.push_back({Kind::Key, 0, {}, 1, vk});
    } else if (event.type == SDL_WINDOWEVENT) {
        Shown* shown = ByWindowId(event.window.windowID);
        if (!shown) return;
        if (event.window.event == SDL_WINDOWEVENT_LEAVE) {
            input.push_back({Kind::PointerLeft, shown->view.hwnd});
        } else if (event.window.event == SDL_WINDOWEVENT_MOVED) {
            const gfx::Point corner{event.window.data1 - shown->view.region.left,
                                    event.window.data2 - shown->view.region.top};
            shown->view.screen = gfx::Rect::FromXywh(corner.x, corner.y, shown->view.screen.Width(),
                                                     shown->view.screen.Height());
            input.push_back({Kind::Moved, shown->view.hwnd, corner});
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            SDL_UpdateWindowSurface(shown->window);
        }
    }
}

std::vector<InputEvent> SdlBackend::Wait(std::optional<std::chrono::milliseconds> timeout) {
    std::vector<InputEvent> input;
    if (!m_started) return input;
    SDL_Event event;
    const long long ms = timeout ? timeout->count() : -1;
    const bool got = ms == 0 ? SDL_PollEvent(&event) != 0
                             : SDL_WaitEventTimeout(
                                   &event, static_cast<int>(std::min<long long>(ms, INT_MAX))) != 0;
    if (!got) return input;
    Translate(event, input);
    while (SDL_PollEvent(&event)) Translate(event, input);
    return input;
}

bool SdlBackend::SaveScreenshot(Hwnd hwnd, const std::string& path) {
    const auto it = m_windows.find(hwnd);
    if (it == m_windows.end()) return false;
    SDL_Surface* shown = SDL_GetWindowSurface(it->second.window);
    if (!shown) return false;
    gfx::Surface copy(shown->w, shown->h);
    if (copy.IsEmpty()) return false;
    SDL_Surface* into = SDL_CreateRGBSurfaceWithFormatFrom(
        copy.Row(0), copy.Width(), copy.Height(), 32, copy.Stride(), SDL_PIXELFORMAT_ARGB8888);
    if (!into) return false;
    SDL_BlitSurface(shown, nullptr, into, nullptr);
    SDL_FreeSurface(into);
    for (int y = 0; y < copy.Height(); ++y)
        for (int x = 0; x < copy.Width(); ++x) copy.SetPixel(x, y, copy.Pixel(x, y) | 0xFF000000u);
    return copy.SavePng(path);
}

}  // namespace vesk::ui::sdl
