#include "ui/headless/HeadlessBackend.h"

#include <stdlib.h>

#include <cstdio>

#include "text/Number.h"
#include "text/Utf.h"
#include "ui/StandardErrorBox.h"

namespace vesk::ui::headless {

namespace {

constexpr const char* kAnswersVariable = "VESK_UI_ANSWERS";

std::optional<int> ParseAnswer(const std::string& word) {
    if (word == "ok" || word == "OK") return IDOK;
    if (word == "cancel") return IDCANCEL;
    if (word == "yes") return 6;
    if (word == "no") return 7;
    if (word.empty() || word.find_first_not_of("-0123456789") != std::string::npos)
        return std::nullopt;
    return std::atoi(word.c_str());
}

}  // namespace

Options OptionsFromEnvironment() {
    Options options;
    options.snapshotFolder = SnapshotFolderFromEnvironment();
    if (const char* answers = getenv(kAnswersVariable)) options.answers = answers;
    return options;
}

HeadlessBackend::HeadlessBackend(Options options)
    : m_options(std::move(options)), m_snapshots(m_options.snapshotFolder) {
    std::string word;
    for (char c : m_options.answers + ",") {
        if (c != ',') {
            if (c != ' ') word += c;
            continue;
        }
        if (!word.empty()) m_answers.push_back(word);
        word.clear();
    }
}

void HeadlessBackend::Inject(const InputEvent& event) {
    {
        std::lock_guard lock(m_mutex);
        m_input.push_back(event);
        m_woken = true;
    }
    m_wake.notify_all();
}

void HeadlessBackend::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

std::vector<InputEvent> HeadlessBackend::Wait(std::optional<std::chrono::milliseconds> timeout) {
    std::unique_lock lock(m_mutex);
    auto ready = [this] { return m_woken || !m_input.empty(); };
    if (!timeout)
        m_wake.wait(lock, ready);
    else if (timeout->count() > 0)
        m_wake.wait_for(lock, *timeout, ready);
    m_woken = false;
    std::vector<InputEvent> input;
    input.swap(m_input);
    return input;
}

const TopLevelView* HeadlessBackend::View(Hwnd hwnd) const {
    const auto it = m_views.find(hwnd);
    return it == m_views.end() ? nullptr : &it->second;
}

const gfx::Surface* HeadlessBackend::Icon(Hwnd hwnd) const {
    const auto it = m_icons.find(hwnd);
    return it == m_icons.end() ? nullptr : &it->second;
}

void HeadlessBackend::Record(const TopLevelView& window) {
    TopLevelView& kept = m_views[window.hwnd] = window;
    kept.icon = nullptr;
    if (!window.icon || window.icon->IsEmpty()) {
        m_icons.erase(window.hwnd);
        return;
    }
    gfx::Surface& icon = m_icons[window.hwnd];
    icon = window.icon->Copy();
    kept.icon = &icon;
}

void HeadlessBackend::Present(const TopLevelView& window, const gfx::Surface& composed) {
    Record(window);
    for (const char* moment : m_snapshots.Presented(window.hwnd)) Keep(window, composed, moment);
}

void HeadlessBackend::Update(const TopLevelView& window) {
    Record(window);
}

void HeadlessBackend::Closed(const TopLevelView& window, const gfx::Surface& composed) {
    if (m_snapshots.Closing(window.hwnd)) Keep(window, composed, "closed");
    m_views.erase(window.hwnd);
    m_icons.erase(window.hwnd);
}

void HeadlessBackend::Keep(const TopLevelView& window, const gfx::Surface& composed,
                           const char* moment) {
    if (composed.IsEmpty()) return;
    m_snapshots.Keep(window.title, moment,
                     [&composed](const std::string& path) { return composed.SavePng(path); });
}

std::optional<int> HeadlessBackend::AnswerBox(const BoxInfo& box) {
    int answer = box.safeDefault;
    if (!m_answers.empty()) {
        answer = ParseAnswer(m_answers.front()).value_or(box.safeDefault);
        m_answers.pop_front();
    }
    WriteBoxToStandardError(text::WideToUtf8(box.title), text::WideToUtf8(box.text));
    return answer;
}

}  // namespace vesk::ui::headless
