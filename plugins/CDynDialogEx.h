#pragma once

// CDynDialogEx: the small window a plug-in draws its own editor in, built
// at run time rather than from a dialog resource. The racks make it
// modeless, without OK/Cancel buttons, titled "VST Editor n"; the window
// manager draws the caption. Its editor area is a native child window
// whose id the plug-in's editor embeds into.
//
// Threads: GUI thread only.

#include <QDialog>
#include <QFont>
#include <QString>

class QDialogButtonBox;

class CDynDialogEx : public QDialog
{
    Q_OBJECT

public:
    explicit CDynDialogEx(QWidget* parent = nullptr);
    ~CDynDialogEx() override;

    void SetWindowTitle(const QString& caption);
    // OK and Cancel buttons under the editor area (true by default).
    void SetUseSystemButtons(bool use);
    // Modeless: DoModal shows the window and returns at once (false by default).
    void SetModeless(bool modeless);
    void SetFont(const QFont& font);

    // Shows the window: modeless, returns 1 when it is shown; modal, runs it
    // and returns its result.
    int DoModal();

    bool isModeless() const { return m_bModeless; }
    bool useSystemButtons() const { return m_bAddSystemButtons; }

    // The native child window the editor draws into, and its size (the
    // window follows it).
    QWidget& editorArea() { return *m_pEditorArea; }
    void setEditorSize(int width, int height);

signals:
    // The user closed the window.
    void windowClosed();

protected:
    void done(int result) override;

private:
    QWidget* m_pEditorArea = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    bool m_bAddSystemButtons = true;
    bool m_bModeless = false;
};
