#include <signal.h>

#include <algorithm>
#include <filesystem>

#include <gmock/gmock.h>

#include "TempDir.h"
#include "UiFixture.h"
#include "gfx/Bitmap.h"
#include "text/Utf.h"
#include "ui/Dialog.h"

using namespace vesk::ui;

namespace {

class Box : public Dialog {
public:
    Box(std::wstring title, int safe) : Dialog(DialogTemplate{120, 60, title}), m_safe(safe) {}
    std::optional<BoxInfo> AsMessageBox() const override {
        return BoxInfo{GetWindowText(), L"Body of " + GetWindowText(), m_safe};
    }
    int m_safe;
};

// A base of its own, so the folder exists before the backend that writes into it; a fresh one
// for every run of the test.
struct SnapshotFolder {
    vesk::test::TempDir snapshots;
};

class Answers : protected SnapshotFolder, public vesk::ui::test::UiFixture {
protected:
    Answers() : UiFixture(headless::Options{snapshots.path().string(), "cancel, 6,bogus"}) {}
};

TEST_F(Answers, BoxesTakeScriptedAnswersThenTheirSafeDefault) {
    struct Row {
        const wchar_t* title;
        int safe;
        int expected;
    } rows[] = {
        {L"first", IDOK, IDCANCEL},       // scripted
        {L"second", IDCANCEL, 6},         // scripted by number
        {L"third", IDOK, IDOK},           // an unreadable answer falls back to the safe default
        {L"fourth", IDCANCEL, IDCANCEL},  // script used up
    };
    for (const Row& row : rows) {
        Box box(row.title, row.safe);
        testing::internal::CaptureStderr();
        EXPECT_EQ(box.DoModal(), row.expected) << row.title;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(vesk::text::WideToUtf8(row.title)), std::string::npos) << err;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(snapshots.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ(names[0], "001-first-shown.png");
    EXPECT_EQ(names[1], "002-first-closed.png");
}

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Painted : public Window {
public:
    void OnPaint(vesk::gfx::Canvas& dc) override { dc.FillRect(GetClientRect(), 0xFF204060); }
};

class SnapshotRequests : protected SnapshotFolder, public vesk::ui::test::UiFixture {
protected:
    SnapshotRequests()
        : UiFixture(std::make_unique<vesk::ui::test::WatchedBackend>(
              headless::Options{snapshots.path().string(), ""})) {}
    vesk::ui::test::WatchedBackend& Watched() {
        return static_cast<vesk::ui::test::WatchedBackend&>(Backend());
    }
};

// A request photographs every shown window, also one with nothing new to show, once; nothing
// half written is left behind.
TEST_F(SnapshotRequests, PhotographEveryShownWindowOnce) {
    Painted first, second, hidden;
    for (auto [window, title] :
         {std::pair{&first, L"first"}, {&second, L"second"}, {&hidden, L"hidden"}}) {
        ASSERT_TRUE(window->CreateTopLevel({0, 0, 40, 30}, title));
        window->ShowWindow(window != &hidden);
    }
    Sys().PumpUntilIdle();
    const int wakes = Watched().Wakes();
    raise(SIGUSR1);
    Watched().WaitForWakes(wakes + 1);  // the request has reached the queue
    Sys().PumpUntilIdle();
    first.Invalidate();  // no second picture without a second request
    Sys().PumpUntilIdle();
    second.DestroyWindow();
    const std::vector<std::string> names = FileNames(snapshots.path());
    ASSERT_EQ(names.size(), 5u) << testing::PrintToString(names);
    EXPECT_EQ(names[0].substr(3), "-first-shown.png");
    EXPECT_EQ(names[1].substr(3), "-second-shown.png");
    EXPECT_THAT(std::vector<std::string>(names.begin() + 2, names.begin() + 4),
                testing::UnorderedElementsAre(testing::EndsWith("-first-asked.png"),
                                              testing::EndsWith("-second-asked.png")));
    EXPECT_EQ(names[4], "005-second-closed.png");
    EXPECT_EQ(vesk::gfx::Bitmap::FromFile((snapshots.path() / names[2]).string()).Pixel(5, 5),
              0xFF204060u);
}

}  // namespace
