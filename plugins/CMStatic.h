#pragma once

// The one-line text display on the rack panels (plug-in, preset and file
// names): the text is drawn over a transparent background, so the panel shows
// around the letters, in the font and colour its owner chooses. A click sends
// the parent the command (child id | 0x14D) with the notification handle.
//
// Threads: SetText may be called from any thread (loader and player threads
// too); off the GUI thread the text is handed to the GUI thread and applied
// there, in order. Everything else runs on the GUI thread.

#include "skinkit/WindowsColor.h"

#include <QFont>
#include <QString>
#include <QWidget>

class CMStatic : public QWidget
{
    Q_OBJECT

public:
    // Click notifications carry the child id OR'ed with this.
    static constexpr int clickCommandFlag = 0x14D;

    CMStatic();
    ~CMStatic() override;

    // GUI thread. The window-creation step: a visible child of parent at rect.
    void create(QWidget* parent, const QRect& rect, int childId = 0);
    int childId() const { return m_nChildId; }

    // GUI thread. Replaces font and colour (the old font is released) and
    // redraws. height is the character-cell height in pixels, weight 100..900.
    void SetTextFont(const QString& face, int height, int weight, skinkit::ColorRef colour);
    // Any thread.
    void SetText(const QString& text);

    QString text() const { return m_strText; }
    const QFont& textFont() const { return m_font; }
    skinkit::ColorRef textColor() const { return m_nTextColor; }
    // The handle passed with the click notification; null by default.
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyText(const QString& text);

    QString m_strText;
    // White until the owner sets its colour (every owner does at once).
    skinkit::ColorRef m_nTextColor = skinkit::rgb(255, 255, 255);
    QFont m_font;
    int m_nChildId = 0;
    QWidget* m_pNotifyHandle = nullptr;
};
