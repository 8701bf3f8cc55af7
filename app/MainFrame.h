#pragma once

// CMainFrame: Corvane's window. 768 pixels wide, fixed; only the height can
// be dragged. Holds the rack view and the menus; closing asks the view first.
//
// Threads: GUI thread only.

#include <QMainWindow>

class CCorvaneView;

class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kWidth = 768;
    static constexpr int kHeight = 700;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CCorvaneView* view() const { return m_pView; }

    // Where Help leads; the manuals are looked for in the current folder.
    static const char* const kWebsite;
    static const char* const kEmail;

signals:
    // "MIDI Controller Setup ..." was chosen.
    void midiSetupRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void openManual(const QString& fileName);
    void showAbout();

    CCorvaneView* m_pView = nullptr;
};
