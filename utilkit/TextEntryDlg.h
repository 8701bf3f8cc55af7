#pragma once

// CTextEntryDlg: a modal one-line text prompt (preset names and the like).
// Threads: GUI thread only.

#include <QString>

class QWidget;

class CTextEntryDlg
{
public:
    CTextEntryDlg();
    ~CTextEntryDlg();

    // Returns 1 when the user confirmed, 0 when cancelled. hideText shows the
    // entry as a password field.
    int Show(QWidget* parent, const QString& title, const QString& prompt,
             const QString& initialText, bool hideText);
    QString GetText() const { return m_strText; }

private:
    QString m_strText;
};
