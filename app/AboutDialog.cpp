#include "app/AboutDialog.h"

#include "app/MainFrame.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Corvane"));

    auto* icon = new QLabel(this);
    const QIcon programIcon =
        windowIcon().isNull() ? style()->standardIcon(QStyle::SP_MediaPlay) : windowIcon();
    icon->setPixmap(programIcon.pixmap(32, 32));

    auto* texts = new QVBoxLayout;
    for (const QString& line :
         {QStringLiteral("Corvane"), QStringLiteral("Version: 1.0"),
          QString::fromUtf8(CMainFrame::kWebsite), QString::fromUtf8(CMainFrame::kEmail),
          QStringLiteral("ASIO & VST tech by Steinberg Gmbh")})
        texts->addWidget(new QLabel(line, this));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
