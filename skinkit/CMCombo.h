#pragma once

// A pop-up list selector: a black field showing the selected item, with an
// arrow button (two-half picture: normal, highlighted) at its right end. A
// press on the arrow pops up a menu of all items; item i has command id
// 300 + i. A choice, and setitemindex, select the item and notify the parent.
//
// Threads: GUI thread, except getitemindex and getcount (lock-free atomic
// reads).

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QFont>
#include <QPixmap>
#include <QStringList>

#include <atomic>

class QMenu;

class CMCombo : public SkinControl
{
    Q_OBJECT

public:
    // The menu command ids: item i is firstItemCommand + i.
    static constexpr int firstItemCommand = 300;
    static constexpr int lastItemCommand = 500;

    CMCombo();
    ~CMCombo() override;

    // Ignored unless 1 <= n <= 199; copies the first n strings. The selected
    // index is kept.
    void setitems(const QString* items, int n);
    void setitems(const QStringList& items)
    {
        setitems(items.constData(), static_cast<int>(items.size()));
    }
    // Any thread: lock-free atomic reads.
    int getcount() const { return m_nCount.load(std::memory_order_relaxed); }
    int getitemindex() const { return m_nIndex.load(std::memory_order_relaxed); }
    // Ignored if i < 0 or i >= count; otherwise selects i and notifies as a
    // user's choice does (also when i is already selected).
    void setitemindex(int i);
    QString itemText(int i) const;
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }
    // extra is stored only.
    bool LoadPicture(const PictureModule& module, int bitmapId, int extra = 0);

    // The menu of all items (command id in each action's data, the selected
    // one checked); the caller owns it.
    QMenu* buildPopupMenu();
    // A menu command 300..500: selects id - 300, notifies, repaints.
    void OnMenuCommand(int commandId);

    bool isHighlighted() const { return m_bHighlighted; }

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHighlighted(bool highlighted);

    QPixmap m_arrow;
    int m_nExtra = 0;
    QStringList m_items;
    std::atomic<int> m_nCount{0};
    std::atomic<int> m_nIndex{-1};
    bool m_bHighlighted = false;
    QFont m_font;
    QWidget* m_pNotifyHandle = nullptr;
};
