#pragma once
// A dialog built from a template in dialog units (base units 6 x 13 pixels), run modally until
// it ends with a result. Enter and Escape reach OnOK and OnCancel. A dialog that describes
// itself as a message box may be answered unseen by a backend without a display.
//
// A dialog with a parent is owned by the parent's top-level window: centred on it, above it, and
// ended when the owner's loop ends or the owner goes.
//
// Threads: UI thread only, like every window; a worker runs a box through WindowHandle::RunBox.

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

    // The dialog's result, or -1 when it could not run, or a quit, its destruction or the end of
    // its owner's loop ended it.
    int DoModal();
    // Ends the modal loop with the result, also when called from OnInitDialog.
    void EndDialog(int result);
    // Dialog units to pixels.
    static gfx::Rect MapDialogRect(const gfx::Rect& units);
    // The template's font as drawn: the logical shell dialog face becomes Tahoma.
    static gfx::FontSpec ResolveTemplateFont(gfx::FontSpec font);

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
