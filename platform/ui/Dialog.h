#pragma once
// A dialog built from a template in dialog units (base units 6 x 13 pixels), run modally until
// it ends with a result. Enter and Escape reach OnOK and OnCancel. A dialog that describes
// itself as a message box may be answered unseen by a backend without a display.
//
// Threads: DoModal is safe from any thread; from a worker the dialog runs on the UI thread
// while the worker waits for its result. EndDialog is safe from any thread and never blocks.
// A dialog may be deleted on any thread (see Window). Everything else is for the UI thread.

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ui/BackendOps.h"
#include "ui/Window.h"

namespace vesk::ui {

struct DialogItem {
    enum class Kind { Static, CenteredStatic, PushButton, OwnerDrawButton };
    int id = 0;
    Kind kind = Kind::Static;
    std::wstring text;
    gfx::Rect units;  // left, top, right, bottom in dialog units
    bool visible = true;
};

struct DialogTemplate {
    int width = 0;  // dialog units
    int height = 0;
    std::wstring title;
    gfx::FontSpec font;
    std::vector<DialogItem> items;
};

class Dialog : public Window {
public:
    explicit Dialog(DialogTemplate dialogTemplate, Window* parent = nullptr);
    ~Dialog() override;

    // The dialog's result, or -1 when it could not run or a quit ended it.
    int DoModal();
    // Ends the modal loop with the result, also when called from OnInitDialog; from a worker
    // when the UI thread gets to it.
    void EndDialog(int result);
    // Dialog units to pixels.
    static gfx::Rect MapDialogRect(const gfx::Rect& units);

    bool PreTranslateMessage(Message& message) override;
    bool OnCommand(int id, int code) override;
    void OnTimer(WPARAM id) override;

protected:
    // Binds the controls the subclass holds to their ids; called before they are created.
    virtual void DoDataExchange() {}
    void Bind(int id, Window& control);
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual std::optional<BoxInfo> AsMessageBox() const { return std::nullopt; }

private:
    bool Build();
    Window& ControlFor(const DialogItem& item);

    DialogTemplate m_template;
    Window* m_owner;
    std::map<int, Window*> m_bound;
    std::vector<std::unique_ptr<Window>> m_ownControls;
    std::optional<int> m_answer;
};

}  // namespace vesk::ui
