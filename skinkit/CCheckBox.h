#pragma once

// A check box: a two-half picture (unchecked, checked) with a caption drawn
// transparently beside it. A press or double-click flips it and notifies the
// parent at once.
//
// Threads: GUI thread, except getchecked (a lock-free atomic read).

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"
#include "skinkit/WindowsColor.h"

#include <QFont>
#include <QPixmap>
#include <QString>

#include <atomic>

class CCheckBox : public SkinControl
{
    Q_OBJECT

public:
    CCheckBox();
    ~CCheckBox() override;

    // Repaints; never notifies.
    void setchecked(bool checked);
    // Any thread: lock-free atomic reads.
    bool getchecked() const { return m_bChecked.load(std::memory_order_relaxed); }
    void settext(const QString& caption);
    QString text() const { return m_strCaption; }
    void setTextColor(skinkit::ColorRef colour);
    skinkit::ColorRef textColor() const { return m_nTextColor; }
    // A new font of the check box's face with the given weight and cell height.
    void setTextFont(int weight, int height);
    const QFont& textFont() const { return m_font; }
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }
    bool LoadPicture(const PictureModule& module, int bitmapId);

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void toggleByUser();

    QPixmap m_picture;
    std::atomic<bool> m_bChecked{false};
    QString m_strCaption;
    skinkit::ColorRef m_nTextColor;
    QFont m_font;
    int m_nFontHeight;
    QWidget* m_pNotifyHandle = nullptr;
};
