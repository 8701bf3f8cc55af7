#include "skinkit/CLED.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

namespace
{
// The library's default strip: 13 cells, resource 9005.
constexpr int defaultStripId = 9005;
constexpr int defaultCells = 13;
// Strip cells: 0 blank, 1-10 the digits, 11 minus.
constexpr int blankStripCell = 0;
constexpr int firstDigitStripCell = 1;
constexpr int minusStripCell = 11;
} // namespace

CLED::CLED(int value, int minimum, int maximum)
    : m_nValue(value), m_nMinimum(minimum), m_nMaximum(maximum)
{
    initarray();
    LoadPicture(PictureModule::skinkit(), defaultStripId, defaultCells);
    writeDigits(value);
}

CLED::~CLED() = default;

bool CLED::LoadPicture(const PictureModule& module, int bitmapId, int cells)
{
    QPixmap strip = module.load(bitmapId);
    if (strip.isNull() || cells <= 0 || strip.width() < cells)
        return false;
    m_strip = strip;
    m_nCells = cells;
    buildMinusCell();
    requestResize();
    update();
    return true;
}

int CLED::cellWidth() const
{
    return m_nCells > 0 ? m_strip.width() / m_nCells : 0;
}

void CLED::buildMinusCell()
{
    m_composedMinus = QPixmap();
    if (m_nCells > minusStripCell || m_nCells <= firstDigitStripCell + 8)
        return;
    // The minus is the middle bar: what the digit 8 lights and 0 does not.
    const int width = cellWidth();
    const QImage strip = m_strip.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage eight = strip.copy((firstDigitStripCell + 8) * width, 0, width, strip.height());
    const QImage zero = strip.copy(firstDigitStripCell * width, 0, width, strip.height());
    QImage minus = strip.copy(blankStripCell * width, 0, width, strip.height());
    for (int y = 0; y < minus.height(); ++y)
        for (int x = 0; x < width; ++x)
            if (eight.pixel(x, y) != zero.pixel(x, y))
                minus.setPixel(x, y, eight.pixel(x, y));
    m_composedMinus = QPixmap::fromImage(minus);
}

void CLED::initarray()
{
    m_digitCells.fill(emptyCell);
}

void CLED::writeDigits(int v)
{
    m_nDigitCount = 0;
    initarray();
    if (v == 0)
    {
        m_digitCells[0] = 0;
        m_nDigitCount = 1;
        return;
    }
    long long magnitude = std::llabs(static_cast<long long>(v));
    while (magnitude > 0 && m_nDigitCount < maximumCells)
    {
        m_digitCells[m_nDigitCount++] = static_cast<int>(magnitude % 10);
        magnitude /= 10;
    }
    if (v < 0 && m_nDigitCount < maximumCells)
        m_digitCells[m_nDigitCount++] = minusCell;
}

void CLED::setvalue(int v)
{
    if (v <= m_nMaximum && v >= m_nMinimum)
    {
        m_nValue.store(v, std::memory_order_relaxed);
        writeDigits(v);
        update();
    }
    // Every call notifies, after the change, so the handler reads the value
    // the display now shows.
    notifyParent(this);
}

void CLED::setnumblank(int places)
{
    if (places < 0 || places >= maximumCells)
        return;
    m_nPlaces = places;
    requestResize();
    update();
}

void CLED::setIncrement(int step)
{
    if (step > 0)
        m_nStep = step;
}

int CLED::stripCellAt(int place) const
{
    const int content = m_digitCells[static_cast<size_t>(m_nPlaces - 1 - place)];
    if (content == emptyCell)
        return m_bLeadingZeros ? firstDigitStripCell : blankStripCell;
    if (content == minusCell)
        return minusStripCell;
    return content + firstDigitStripCell;
}

QSize CLED::sizeForPicture() const
{
    return m_strip.isNull() ? size() : QSize(cellWidth() * m_nPlaces, m_strip.height());
}

void CLED::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    if (m_strip.isNull())
        return;
    const int width = cellWidth();
    QPainter painter(this);
    for (int place = 0; place < m_nPlaces; ++place)
    {
        const int cell = stripCellAt(place);
        if (cell >= m_nCells)
        {
            if (cell == minusStripCell && !m_composedMinus.isNull())
                painter.drawPixmap(place * width, 0, m_composedMinus);
            else
                painter.drawPixmap(place * width, 0, m_strip, blankStripCell, 0, width,
                                   m_strip.height());
            continue;
        }
        painter.drawPixmap(place * width, 0, m_strip, cell * width, 0, width, m_strip.height());
    }
}

void CLED::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_nLastY = static_cast<int>(event->position().y());
    update();
}

void CLED::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::LeftButton ||
        (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0)
        return;
    if (m_bReadOnly)
    {
        update();
        return;
    }
    // Up counts up; every event is one step, whatever its distance.
    const int y = static_cast<int>(event->position().y());
    if (y < m_nLastY)
        setvalue(getvalue() + m_nStep);
    else if (y > m_nLastY)
        setvalue(getvalue() - m_nStep);
    m_nLastY = y;
    notifyParent(m_pNotifyHandle);
}

void CLED::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        update();
}

void CLED::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
