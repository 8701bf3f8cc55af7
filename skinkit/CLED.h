#pragma once

// A numeric LED display drawn from a strip of N equal cells: cell 0 blank,
// cells 1-10 the digits 0-9, cell 11 the minus sign. It shows the last
// `places` digits of its value; with the read-only flag cleared the user
// changes it by dragging up or down, one step per mouse event.
//
// Threads: GUI thread, except getvalue (a lock-free atomic read).

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"

#include <QPixmap>

#include <array>
#include <atomic>

class CLED : public SkinControl
{
    Q_OBJECT

public:
    // Owners set the range they need; the defaults suit a two-place display.
    explicit CLED(int value = 0, int minimum = 0, int maximum = 99);
    ~CLED() override;

    // Every call notifies the parent with the display itself as the handle,
    // also when v is outside [minimum, maximum] and nothing changes.
    void setvalue(int v);
    // Any thread: lock-free atomic reads.
    int getvalue() const { return m_nValue.load(std::memory_order_relaxed); }
    void setminvalue(int minimum) { m_nMinimum = minimum; }
    int getminvalue() const { return m_nMinimum; }
    void setmaxvalue(int maximum) { m_nMaximum = maximum; }
    int getmaxvalue() const { return m_nMaximum; }
    // Places shown; taken only if 0 <= places < 100. Resizes and repaints.
    void setnumblank(int places);
    int getnumblank() const { return m_nPlaces; }
    // Stored only when > 0.
    void setIncrement(int step);
    int getIncrement() const { return m_nStep; }
    void initarray();
    void setparentwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }
    // cells: the number of equal cells of the strip (11 to 13 in use).
    bool LoadPicture(const PictureModule& module, int bitmapId, int cells);

    // The strip cell painted at place (0 = leftmost) of the display.
    int stripCellAt(int place) const;
    int digitCount() const { return m_nDigitCount; }

    // Owners set these directly: cleared, the display is adjustable by mouse;
    // set, empty places show zeros.
    bool m_bReadOnly = true;
    bool m_bLeadingZeros = false;

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Digit cell contents besides 0-9.
    static constexpr int emptyCell = -1;
    static constexpr int minusCell = 10;
    static constexpr int maximumCells = 100;

    void writeDigits(int v);
    void buildMinusCell();
    int cellWidth() const;

    QPixmap m_strip;
    int m_nCells = 13;
    // A strip too short for a minus cell gets one made from its digits.
    QPixmap m_composedMinus;
    std::atomic<int> m_nValue;
    int m_nMinimum;
    int m_nMaximum;
    int m_nPlaces = 2;
    int m_nStep = 1;
    std::array<int, maximumCells> m_digitCells{};
    int m_nDigitCount = 0;
    int m_nLastY = 0;
    QWidget* m_pNotifyHandle = nullptr;
};
