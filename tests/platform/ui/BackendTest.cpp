#include <filesystem>

#include "TempDir.h"
#include "UiFixture.h"
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

}  // namespace
