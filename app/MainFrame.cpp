#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/CorvaneView.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QUrl>

const char* const CMainFrame::kWebsite = "https://www.corvane.example/";
const char* const CMainFrame::kEmail = "support@corvane.example";

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    createMenus();
    m_pView = new CCorvaneView(this);
    setCentralWidget(m_pView);
    connect(this, &CMainFrame::midiSetupRequested, m_pView, &CCorvaneView::runMidiSetup);

    // Only the height can change.
    setMinimumWidth(kWidth);
    setMaximumWidth(kWidth);
    resize(kWidth, kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
    {
        const QRect desktop = screen->availableGeometry();
        move(desktop.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::createMenus()
{
    QMenu* corvaneMenu = menuBar()->addMenu(QStringLiteral("&Corvane"));
    corvaneMenu->addAction(QStringLiteral("E&xit Corvane"), this, &QWidget::close);

    QMenu* optionsMenu = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu->addAction(QStringLiteral("MIDI &Controller Setup ..."), this,
                           &CMainFrame::midiSetupRequested);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->addAction(QStringLiteral("Read the Manual (Chinese)"), this,
                        [this] { openManual(QStringLiteral("manualc.pdf")); });
    helpMenu->addAction(QStringLiteral("Read the Manual (English)"), this,
                        [this] { openManual(QStringLiteral("manuale.pdf")); });
    helpMenu->addSeparator();
    helpMenu->addAction(QStringLiteral("Go to Corvane's &Website"), this,
                        [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kWebsite))); });
    helpMenu->addAction(QStringLiteral("&E-Mail Us"), this,
                        [] {
                            QDesktopServices::openUrl(
                                QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kEmail)));
                        });
    helpMenu->addSeparator();
    helpMenu->addAction(QStringLiteral("&About"), this, &CMainFrame::showAbout);
}

void CMainFrame::openManual(const QString& fileName)
{
    // A missing manual or viewer is the desktop's own failure to report.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(fileName)));
}

void CMainFrame::showAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_pView->confirmExit())
        event->accept();
    else
        event->ignore();
}
