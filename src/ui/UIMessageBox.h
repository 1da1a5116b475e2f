#pragma once
// The skinned error box (template 129): a title, a body text and one close text button; the
// close text button and the close image button both end it with IDOK, Escape with IDCANCEL.
// The minimise button stays hidden. UI thread only.

#include "GdipButton.h"
#include "SkinnedBox.h"
#include "UIButton.h"
#include "UIHMXStatic.h"

class CUIMessageBox : public CSkinnedBox {
public:
    enum { IDD = 129, IDC_CLOSE_TEXT = 1002, IDC_CLOSE = 1122, IDC_MIN = 1043 };
    enum { IDC_TITLE = 1133, IDC_TEXT = 1135 };

    CUIMessageBox(vesk::ui::Window* parent, const std::wstring& text, const std::wstring& caption);

    bool OnCommand(int id, int code) override;

    CUIButton m_btnCloseText;
    CGdipButton m_btnClose;
    CUIButton m_btnMin;
    CUIHMXStatic m_stTitle;
    CUIHMXStatic m_stText;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
};
