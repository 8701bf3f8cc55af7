#include "skinkit/CWaveScope.h"

#include "platform/GuiThread.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// The library's default scope screen.
constexpr int defaultPictureId = 9012;
// The cache always holds 16-bit samples: full scale is 32767.
constexpr double kFullScale = 32767.0;
// The busy text sits 10 pixels in from the top left corner.
constexpr int kBusyTextInset = 10;
// A WAV format block the parser reads is at most 16 bytes (plain PCM).
constexpr uint32_t kLargestFormatBlock = 16;
constexpr uint16_t kSupportedBits = 16;

uint32_t little32(const unsigned char* at)
{
    return static_cast<uint32_t>(at[0] | (at[1] << 8) | (at[2] << 16)) |
           (static_cast<uint32_t>(at[3]) << 24);
}
} // namespace

namespace wavescope
{

WavCheck checkWavFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return {QStringLiteral("Can not open WAV File")};
    auto readBytes = [file](unsigned char* into, size_t count)
    { return std::fread(into, 1, count, file) == count; };
    WavCheck check;
    unsigned char riff[12] = {};
    unsigned char chunk[8] = {};
    unsigned char format[kLargestFormatBlock] = {};
    if (!readBytes(riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        check.message = QStringLiteral("Invalide WAV File");
    else if (!readBytes(chunk, sizeof chunk) || std::memcmp(chunk, "fmt ", 4) != 0)
        check.message = QStringLiteral("unsurported WAV");
    else if (little32(chunk + 4) > kLargestFormatBlock)
        check.silent = true;
    else if (!readBytes(format, little32(chunk + 4)) ||
             static_cast<uint16_t>(format[14] | (format[15] << 8)) != kSupportedBits)
        check.message = QStringLiteral("support only 16bit PCM");
    else if (!readBytes(chunk, sizeof chunk) || std::memcmp(chunk, "data", 4) != 0)
        check.message = QString::fromUtf8("WAV\u6587\u4ef6\u6570\u636e\u65e0\u6cd5\u8bfb\u53d6");
    std::fclose(file);
    return check;
}

} // namespace wavescope

CWaveScope::CWaveScope()
    : showMessage([this](const QString& text) { QMessageBox::critical(this, QString(), text); }),
      m_waveColour(skinkit::rgb(0x94, 0xA0, 0x9C)),
      m_selectionColour(skinkit::rgb(0x58, 0x64, 0x60)),
      m_playLineColour(skinkit::rgb(0xFF, 0xFF, 0xFF))
{
    LoadPicture(PictureModule::skinkit(), defaultPictureId);
    // Worker: hand the result to the GUI thread; dropped if the scope is gone.
    m_cache.finished = [this] { platform::postToGui(this, [this] { takeAnalysis(); }); };
}

CWaveScope::~CWaveScope()
{
    m_cache.cancel();
}

bool CWaveScope::LoadPicture(const PictureModule& module, int bitmapId)
{
    if (!replacePicture(m_picture, module, bitmapId))
        return false;
    m_columns[0].assign(static_cast<size_t>(m_picture.width()), wavescope::Peaks{});
    m_columns[1].assign(static_cast<size_t>(m_picture.width()), wavescope::Peaks{});
    return true;
}

QSize CWaveScope::sizeForPicture() const
{
    return m_picture.isNull() ? size() : m_picture.size();
}

void CWaveScope::SetColor(skinkit::ColorRef wave, skinkit::ColorRef selection,
                          skinkit::ColorRef playLine)
{
    m_waveColour = wave;
    m_selectionColour = selection;
    m_playLineColour = playLine;
    update();
}

bool CWaveScope::LibLoadWAVFile(const QString& path)
{
    return startAnalysis(path);
}

bool CWaveScope::LoadWAVFile(const QString& path)
{
    const wavescope::WavCheck check = wavescope::checkWavFile(path.toStdString());
    if (!check.ok())
    {
        if (!check.silent && showMessage)
            showMessage(check.message);
        return false;
    }
    // The same reader as for any file, so both give the same records.
    return startAnalysis(path);
}

bool CWaveScope::startAnalysis(const QString& path)
{
    CORVANE_ASSERT_GUI_THREAD();
    const int columns = m_picture.isNull() ? width() : m_picture.width();
    if (!m_cache.open(path.toStdString(), columns))
        return false;
    m_bStereo = m_cache.geometry().channels == 2;
    m_nViewStart = 0;
    m_nViewEnd = m_cache.geometry().points;
    ReSet();
    m_bBusyText = true;
    update();
    return true;
}

void CWaveScope::takeAnalysis()
{
    CORVANE_ASSERT_GUI_THREAD();
    if (m_cache.busy())
        return; // a newer analysis has started since
    m_columns = m_cache.columns();
    m_bIdle = true;
    m_bBusyText = false;
    update();
    emit analysisFinished();
}

void CWaveScope::setPlayLine(int x)
{
    if (x < 0 || x > width())
        return;
    if (x == m_nPlayLine)
        return;
    m_nPlayLine = x;
    update();
}

void CWaveScope::setPlayLineVisible(bool visible)
{
    m_bPlayLineVisible = visible;
    update();
}

void CWaveScope::setSelection(int first, int last)
{
    if (first >= 0 && last <= width() && m_bIdle)
    {
        m_nSelectionStart = first;
        m_nSelectionEnd = last;
    }
}

void CWaveScope::setScope(int first, int last)
{
    if (first >= 0 && last < m_cache.geometry().points && m_bIdle && width() >= last - first)
    {
        m_nViewStart = first;
        m_nViewEnd = last;
        update();
    }
}

void CWaveScope::setCofficient(unsigned gain, unsigned second)
{
    if (gain == 0 || second == 0)
        return;
    m_nGain = static_cast<int>(gain);
    m_nSecondCoefficient = static_cast<int>(second);
}

void CWaveScope::ReSet()
{
    for (auto& channel : m_columns)
        std::fill(channel.begin(), channel.end(), wavescope::Peaks{});
    m_bIdle = false;
    update();
}

void CWaveScope::ReDraw()
{
    if (!m_bIdle)
        return;
    if (m_cache.reloadColumns(m_nViewStart, m_nViewEnd, width()))
        m_columns = m_cache.columns();
    update();
}

void CWaveScope::paintEvent(QPaintEvent*)
{
    applyPendingResize();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    painter.setPen(skinkit::toQColor(m_waveColour));
    if (m_bBusyText)
        painter.drawText(kBusyTextInset, kBusyTextInset + painter.fontMetrics().ascent(),
                         QStringLiteral("Analyzing...."));

    if (m_bIdle)
    {
        const int channelHeight =
            m_bStereo ? height() / 2 - 2 * m_nMargin : height() - 2 * m_nMargin;
        const double halfHeight = channelHeight / 2.0;
        // A value's row: positive values above the channel's centre line,
        // negative below; 0 on the centre line.
        auto rowOf = [&](int value)
        {
            const double share = std::abs(value) / kFullScale;
            return static_cast<int>(value >= 0 ? halfHeight - share * halfHeight
                                               : (share + 1.0) * halfHeight);
        };
        const QPen wavePen(skinkit::toQColor(m_waveColour), 1);
        const QPen selectionPen(skinkit::toQColor(m_selectionColour), 1);
        const int channelCount = m_bStereo ? 2 : 1;
        for (int channel = 0; channel < channelCount; ++channel)
        {
            const auto& peaks = m_columns[static_cast<size_t>(channel)];
            const int offset = m_nMargin + channel * channelHeight;
            for (int column = 0; column < static_cast<int>(peaks.size()) && column < width();
                 ++column)
            {
                const auto& pair = peaks[static_cast<size_t>(column)];
                const int top =
                    rowOf(static_cast<int>(pair.maximum * static_cast<int64_t>(m_nGain) / 100));
                const int bottom =
                    rowOf(static_cast<int>(pair.minimum * static_cast<int64_t>(m_nGain) / 100));
                const bool selected = m_nSelectionStart <= column && column <= m_nSelectionEnd;
                painter.setPen(selected ? selectionPen : wavePen);
                painter.drawLine(column, top + offset, column, bottom + offset);
            }
        }
    }

    if (m_bPlayLineVisible && m_nPlayLine >= 0)
    {
        painter.setPen(QPen(skinkit::toQColor(m_playLineColour), 1));
        painter.drawLine(m_nPlayLine, 0, m_nPlayLine, height());
    }
}

void CWaveScope::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    grabMouse();
    notifyParent(m_pNotifyHandle);
}

void CWaveScope::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        releaseMouse();
}
