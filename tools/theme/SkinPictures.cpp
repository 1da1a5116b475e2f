// Snapshots of the skinned boxes for the README, made on the headless backend from a demo
// installation's theme and string table: the error and question boxes, in English and German.
//   skin_pictures PROGRAM_FOLDER OUT_FOLDER
#include <cstdio>
#include <string>

#include "SkinSource.h"
#include "StringTable.h"
#include "UIMessageBox.h"
#include "UIMessageBoxYN.h"
#include "clock/ManualClock.h"
#include "fs/Paths.h"
#include "ui/System.h"
#include "ui/headless/HeadlessBackend.h"

using namespace vesk;

namespace {

constexpr const wchar_t* kStringTable = L"VeskClient_String_Table.dat";

// Boxes are shown for real so they can be photographed.
class ShowingBackend : public ui::headless::HeadlessBackend {
public:
    std::optional<int> AnswerBox(const ui::BoxInfo&) override { return std::nullopt; }
};

// What the window shows: its region of the last composition.
bool Save(ui::Window& window, const std::string& path) {
    const gfx::Surface* composed = ui::System::Current()->Composed(window.GetHwnd());
    if (!composed) return false;
    const gfx::Rect shown = window.GetWindowRegion().value_or(window.GetClientRect());
    gfx::Surface out(shown.Width(), shown.Height());
    gfx::Canvas(out).Copy({0, 0, shown.Width(), shown.Height()},
                          gfx::Canvas(const_cast<gfx::Surface&>(*composed)), shown.TopLeft());
    return out.SavePng(path);
}

// Runs the box until its fade has ended, photographs it and closes it.
template <class Box>
bool PhotographBox(Box& box, const std::string& path) {
    bool saved = false, done = false;
    ui::System::Current()->SetIdleObserver([&] {
        if (done || !box.IsCreated() || !box.IsWindowVisible() || box.GetAlpha() != 255) return;
        done = true;
        saved = Save(box, path);
        box.PostMessage(ui::WM_KEYDOWN, ui::VK_ESCAPE);
    });
    box.DoModal();
    ui::System::Current()->SetIdleObserver({});
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skin_pictures PROGRAM_FOLDER OUT_FOLDER\n");
        return 2;
    }
    const std::wstring folder = fs::WidePath(std::string(argv[1]) + "/");
    const std::string out = std::string(argv[2]) + "/";
    clock::ManualClock time;
    clock::Install(&time);
    ui::System system(std::make_unique<ShowingBackend>());
    bool ok = true;
    for (const auto& [language, tag] : {std::pair{1, "en"}, std::pair{2, "de"}}) {
        CStringTable table;
        if (!table.Load(folder + kStringTable, language - 1)) {
            std::fprintf(stderr, "skin_pictures: cannot read the string table\n");
            return 1;
        }
        SetSkinSource(
            {[&table](std::wstring_view key) { return table.GetString(key); }, folder, language});
        const SkinSource& skin = TheSkinSource();
        CUIMessageBox error(nullptr, skin.Text(L"IDS_POPDLG_ERROR_UPTFAILED"),
                            skin.Text(L"IDS_POPDLG_ERROR_TITLE"));
        ok &= PhotographBox(error, out + "error-box-" + tag + ".png");
        CUIMessageBoxYN question(nullptr, skin.Text(L"IDS_POPDLG_RETRY_TEXT") + L"Web Browser",
                                 skin.Text(L"IDS_POPDLG_RETRY_TITLE"));
        ok &= PhotographBox(question, out + "question-box-" + tag + ".png");
    }
    SetSkinSource({});
    clock::Install(nullptr);
    if (!ok) std::fprintf(stderr, "skin_pictures: a picture could not be made\n");
    return ok ? 0 : 1;
}
