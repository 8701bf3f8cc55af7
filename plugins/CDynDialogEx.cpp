#include "plugins/CDynDialogEx.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace
{
// Before an editor reports its size.
constexpr int kDefaultWidth = 320;
constexpr int kDefaultHeight = 200;
} // namespace

CDynDialogEx::CDynDialogEx(QWidget* parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Made a native window (for a plug-in to draw into) only when an editor
    // is embedded: a native child made earlier, while the owner's panel is
    // being built, turns the panel's transparent text controls native too,
    // and they then draw black boxes.
    m_pEditorArea = new QWidget(this);
    m_pEditorArea->setFixedSize(kDefaultWidth, kDefaultHeight);
    layout->addWidget(m_pEditorArea);
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_pButtons);
}

CDynDialogEx::~CDynDialogEx() = default;

void CDynDialogEx::SetWindowTitle(const QString& caption)
{
    setWindowTitle(caption);
}

void CDynDialogEx::SetUseSystemButtons(bool use)
{
    m_bAddSystemButtons = use;
    m_pButtons->setVisible(use);
}

void CDynDialogEx::SetModeless(bool modeless)
{
    m_bModeless = modeless;
    setModal(!modeless);
}

void CDynDialogEx::SetFont(const QFont& font)
{
    setFont(font);
}

int CDynDialogEx::DoModal()
{
    m_pButtons->setVisible(m_bAddSystemButtons);
    if (!m_bModeless)
        return exec();
    show();
    return isVisible() ? 1 : 0;
}

void CDynDialogEx::setEditorSize(int width, int height)
{
    if (width > 0 && height > 0)
        m_pEditorArea->setFixedSize(width, height);
}

// Closing the window (its close box, Escape, OK, Cancel) ends here.
void CDynDialogEx::done(int result)
{
    const bool wasVisible = isVisible();
    QDialog::done(result);
    if (wasVisible && !isVisible())
        emit windowClosed();
}
