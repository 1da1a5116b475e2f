#pragma once
// The skinned yes/no box (template 130): a title, a body text, an OK text button (IDOK), a
// cancel text button and a close image button (both IDCANCEL); Escape gives IDCANCEL. Its OK
// button is wider in German. UI thread only.

#include "GdipButton.h"
#include "SkinnedBox.h"
#include "UIButton.h"
#include "UIHMXStatic.h"

class CUIMessageBoxYN : public CSkinnedBox {
public:
    enum { IDD = 130, IDC_CANCEL = 1073, IDC_OK = 1040, IDC_CLOSE = 1109 };
    enum { IDC_TITLE = 1120, IDC_TEXT = 1121 };

    CUIMessageBoxYN(vesk::ui::Window* parent, const std::wstring& text,
                    const std::wstring& caption);

    bool OnCommand(int id, int code) override;

    CUIButton m_btnCancel;
    CUIButton m_btnOK;
    CGdipButton m_btnClose;
    CUIHMXStatic m_stTitle;
    CUIHMXStatic m_stText;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
};
