#include "utilkit/TextEntryDlg.h"

#include "platform/GuiThread.h"

#include <QInputDialog>
#include <QLineEdit>

CTextEntryDlg::CTextEntryDlg() = default;
CTextEntryDlg::~CTextEntryDlg() = default;

int CTextEntryDlg::Show(QWidget* parent, const QString& title, const QString& prompt,
                        const QString& initialText, bool hideText)
{
    CORVANE_ASSERT_GUI_THREAD();
    bool confirmed = false;
    const QString text = QInputDialog::getText(parent, title, prompt,
                                               hideText ? QLineEdit::Password : QLineEdit::Normal,
                                               initialText, &confirmed);
    if (!confirmed)
        return 0;
    m_strText = text;
    return 1;
}
