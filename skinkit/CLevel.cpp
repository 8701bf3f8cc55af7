#include "skinkit/CLevel.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace
{
// The library's default meter picture.
constexpr int defaultPictureId = 9001;
// How often the GUI thread shows what the audio thread wrote: one frame of a
// 50 Hz display, faster than the driver's 50 ms fall so rises show at once.
constexpr int refreshPeriodMs = 20;
} // namespace

CLevel::CLevel()
{
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
    m_nBarPosition.store(extent(), std::memory_order_relaxed);
    m_nHoldLine.store(extent(), std::memory_order_relaxed);

    m_holdTimer.setSingleShot(true);
    m_holdTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_holdTimer, &QTimer::timeout, this, [this] { setmaxlineposy(extent()); });

    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CLevel::applyAudioThreadChanges);
    m_refreshTimer.start(refreshPeriodMs);
}

CLevel::~CLevel() = default;

bool CLevel::LoadPicture(const PictureModule& module, int bitmapId)
{
    QPixmap picture = module.load(bitmapId);
    if (picture.isNull())
        return false;
    m_picture = picture;
    updateExtent();
    requestResize();
    update();
    return true;
}

void CLevel::updateExtent()
{
    const int newExtent =
        m_bVertical.load(std::memory_order_relaxed) ? m_picture.height() : m_picture.width() / 2;
    const int oldExtent = m_nExtent.exchange(newExtent, std::memory_order_relaxed);
    // An empty meter stays empty on its new scale.
    if (m_nBarPosition.load(std::memory_order_relaxed) >= oldExtent)
        m_nBarPosition.store(newExtent, std::memory_order_relaxed);
    if (m_nHoldLine.load(std::memory_order_relaxed) >= oldExtent)
        m_nHoldLine.store(newExtent, std::memory_order_relaxed);
    m_nBarPosition.store(std::min(m_nBarPosition.load(std::memory_order_relaxed), newExtent),
                         std::memory_order_relaxed);
    m_nHoldLine.store(std::min(m_nHoldLine.load(std::memory_order_relaxed), newExtent),
                      std::memory_order_relaxed);
}

void CLevel::setdb(float x)
{
    // A reading that is not a number shows nothing.
    if (std::isnan(x))
        return;
    if (x > 0.0f)
    {
        setdrawposy(0);
        return;
    }
    const int meterExtent = extent();
    const int minDb = getmindb();
    // At or below min dB nothing lights; checked first so a huge negative
    // reading cannot overflow the pixel conversion.
    if (x <= static_cast<float>(minDb))
        return;
    const int b = static_cast<int>(x / static_cast<float>(minDb) * static_cast<float>(meterExtent));

    // Rise only: the driver alone lowers the bar.
    int current = m_nBarPosition.load(std::memory_order_relaxed);
    const int target = std::clamp(b, 0, meterExtent);
    while (b < current)
    {
        if (m_nBarPosition.compare_exchange_weak(current, target, std::memory_order_relaxed))
        {
            setmaxlineposy(b);
            m_bRepaintPending.store(true, std::memory_order_relaxed);
            return;
        }
    }
}

void CLevel::setdrawposy(int position)
{
    m_nBarPosition.store(std::clamp(position, 0, extent()), std::memory_order_relaxed);
    m_bRepaintPending.store(true, std::memory_order_relaxed);
}

void CLevel::setmaxlineposy(int position)
{
    const int meterExtent = extent();
    const int line = std::clamp(position, 0, meterExtent);
    m_nHoldLine.store(line, std::memory_order_relaxed);
    // A line already at the bottom needs no timer to drop it.
    if (!m_bLedLadder.load(std::memory_order_relaxed) && line < meterExtent)
        m_bHoldRestartPending.store(true, std::memory_order_relaxed);
    m_bRepaintPending.store(true, std::memory_order_relaxed);
}

void CLevel::applyAudioThreadChanges()
{
    if (m_bHoldRestartPending.exchange(false, std::memory_order_relaxed))
        m_holdTimer.start(m_nDelay);
    if (m_bRepaintPending.exchange(false, std::memory_order_relaxed))
        update();
}

void CLevel::setmindb(int minDb)
{
    if (minDb < 0)
        m_nMinDb.store(minDb, std::memory_order_relaxed);
}

void CLevel::setdecay(int decay)
{
    if (decay > 0)
        m_nDecay = decay;
}

void CLevel::setdelay(int delay)
{
    if (delay > 0)
        m_nDelay = delay;
}

void CLevel::setvertical(bool vertical)
{
    m_bVertical.store(vertical, std::memory_order_relaxed);
    updateExtent();
    update();
}

void CLevel::setledladderstyle(bool ladder, unsigned count)
{
    m_bLedLadder.store(ladder, std::memory_order_relaxed);
    // A ladder of no LEDs would divide by zero; keep the last count.
    if (count > 0)
        m_nLedCount = count;
    if (ladder)
        m_holdTimer.stop();
    update();
}

void CLevel::LevelDriverProc()
{
    const int meterExtent = extent();
    int current = m_nBarPosition.load(std::memory_order_relaxed);
    while (current < meterExtent)
    {
        if (m_nBarPosition.compare_exchange_weak(current, std::min(current + m_nDecay, meterExtent),
                                                 std::memory_order_relaxed))
        {
            update();
            return;
        }
    }
}

QSize CLevel::sizeForPicture() const
{
    return m_picture.isNull() ? size() : QSize(m_picture.width() / 2, m_picture.height());
}

void CLevel::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    if (m_picture.isNull())
        return;
    const int width = m_picture.width();
    const int halfWidth = width / 2;
    const int height = m_picture.height();
    const int meterExtent = extent();
    const int count = static_cast<int>(m_nLedCount);
    const bool ladder = m_bLedLadder.load(std::memory_order_relaxed);
    int position = std::clamp(barPosition(), 0, meterExtent);
    const int holdLine = holdLinePosition();

    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture, 0, 0, halfWidth, height);
    if (m_bVertical.load(std::memory_order_relaxed))
    {
        // A ladder moves in whole LEDs, rounding toward more lit.
        const int top = ladder ? (position * count / height) * (height / count) : position;
        // (A zero source size would mean "all of it" to drawPixmap.)
        if (top < height)
            painter.drawPixmap(0, top, m_picture, halfWidth, top, halfWidth, height - top);
        if (!ladder && holdLine < height)
            painter.drawPixmap(0, holdLine, m_picture, halfWidth, holdLine, halfWidth, 1);
    }
    else
    {
        if (ladder)
            position = (2 * position * count / width) * (width / (2 * count));
        if (meterExtent - position > 0)
            painter.drawPixmap(0, 0, m_picture, halfWidth, 0, meterExtent - position, height);
        const int holdX = meterExtent - holdLine;
        if (!ladder && holdLine < meterExtent && holdX < halfWidth)
            painter.drawPixmap(holdX, 0, m_picture, halfWidth + holdX, 0, 1, height);
    }
}
