#include "skinkit/CVUMeter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace
{
// The library's default strip: 64 needle pictures, 0 dB at picture 43.
constexpr int defaultStripId = 9018;
constexpr int defaultFrames = 64;
constexpr int defaultZeroFrame = 43;
// The needle's fall period.
constexpr int fallPeriodMs = 30;
} // namespace

CVUMeter::CVUMeter()
{
    LoadPicture(PictureModule::skinkit(), defaultStripId, defaultFrames, defaultZeroFrame);
    m_fallTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_fallTimer, &QTimer::timeout, this, &CVUMeter::fallTick);
    m_fallTimer.start(fallPeriodMs);
}

CVUMeter::~CVUMeter() = default;

bool CVUMeter::LoadPicture(const PictureModule& module, int bitmapId, int frames, int zeroFrame)
{
    QPixmap picture = module.load(bitmapId);
    if (picture.isNull() || frames <= 0 || picture.width() < frames || zeroFrame < 0 ||
        zeroFrame >= frames)
        return false;
    m_picture = picture;
    m_nFrames.store(frames, std::memory_order_relaxed);
    m_nZeroFrame.store(zeroFrame, std::memory_order_relaxed);
    m_nCurrentFrame.store(std::min(currentFrame(), frames - 1), std::memory_order_relaxed);
    requestResize();
    update();
    return true;
}

void CVUMeter::setdb(float x)
{
    if (std::isnan(x))
        return;
    const int frames = frameCount();
    const int zero = m_nZeroFrame.load(std::memory_order_relaxed);
    if (x < 0.0f)
    {
        const int minDb = getmindb();
        // At or below min dB the needle would not rise; this also keeps a huge
        // negative reading from overflowing the conversion.
        if (x <= static_cast<float>(minDb))
            return;
        const int b =
            zero - static_cast<int>(x / static_cast<float>(minDb) * static_cast<float>(zero));
        // The needle only rises below 0 dB.
        int current = currentFrame();
        while (b > current &&
               !m_nCurrentFrame.compare_exchange_weak(current, b, std::memory_order_relaxed))
        {
        }
        return;
    }
    const double steps = static_cast<double>(x) / maxDb * (frames - zero);
    // Beyond the strip (or infinite): the needle keeps its picture.
    if (steps >= frames)
        return;
    const int c = zero + static_cast<int>(steps) - 1;
    if (c < frames)
        m_nCurrentFrame.store(std::max(c, 0), std::memory_order_relaxed);
}

void CVUMeter::setmindb(int minDb)
{
    if (minDb < 0)
        m_nMinDb.store(minDb, std::memory_order_relaxed);
}

void CVUMeter::fallTick()
{
    int current = currentFrame();
    while (true)
    {
        if (current - m_nDecay > 0)
        {
            if (m_nCurrentFrame.compare_exchange_weak(current, current - m_nDecay,
                                                      std::memory_order_relaxed))
            {
                update();
                return;
            }
        }
        else
        {
            if (current == 0)
                return;
            update();
            if (m_nCurrentFrame.compare_exchange_weak(current, 0, std::memory_order_relaxed))
                return;
        }
    }
}

void CVUMeter::VuDriverProc()
{
    int current = currentFrame();
    while (!m_nCurrentFrame.compare_exchange_weak(current, std::max(current - m_nDecay, 0),
                                                  std::memory_order_relaxed))
    {
    }
    update();
}

QSize CVUMeter::sizeForPicture() const
{
    return m_picture.isNull() ? size()
                              : QSize(m_picture.width() / frameCount(), m_picture.height());
}

void CVUMeter::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    if (m_picture.isNull())
        return;
    const int frames = frameCount();
    const int frameWidth = m_picture.width() / frames;
    const int frame = std::clamp(currentFrame(), 0, frames - 1);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture, frame * frameWidth, 0, frameWidth, m_picture.height());
}
