#include <signal.h>

#include <algorithm>
#include <filesystem>

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

// A request photographs every shown window at its next composition, once; a window not
// composed again is not photographed, and nothing half written is left behind.
TEST_F(Answers, RequestedSnapshotsComeAtTheNextComposition) {
    Painted first, second, still;
    for (auto [window, title] :
         {std::pair{&first, L"first"}, {&second, L"second"}, {&still, L"still"}}) {
        ASSERT_TRUE(window->CreateTopLevel({0, 0, 40, 30}, title));
        window->ShowWindow(true);
    }
    Sys().PumpUntilIdle();
    raise(SIGUSR1);
    first.Invalidate();
    second.Invalidate();
    Sys().PumpUntilIdle();
    first.Invalidate();  // no second picture without a second request
    Sys().PumpUntilIdle();
    second.DestroyWindow();
    const std::vector<std::string> names = FileNames(snapshots.path());
    ASSERT_EQ(names.size(), 6u) << testing::PrintToString(names);
    EXPECT_EQ(names[3], "004-first-asked.png");
    EXPECT_EQ(names[4], "005-second-asked.png");
    EXPECT_EQ(names[5], "006-second-closed.png");
    EXPECT_EQ(vesk::gfx::Bitmap::FromFile((snapshots.path() / names[3]).string()).Pixel(5, 5),
              0xFF204060u);
}

}  // namespace
