#pragma once

// CWaveScope: the skinned waveform display. Given a sound file it has the
// file analysed once into a peak cache beside it (WaveScopeCache, on a worker
// thread) and draws one vertical min-to-max line per pixel column on its
// background picture, columns inside the selection in a second colour, and a
// vertical play line in a third. While the analysis runs it shows
// "Analyzing....". The cache also keeps the file's loop flag, which the loop
// player reads and writes through getLoop/setLoop.
//
// Threads: GUI thread. The analysis worker's news is posted to the GUI
// thread, so the widget is repainted only there; destroying the scope
// cancels a running analysis and joins its worker.

#include "skinkit/PictureModule.h"
#include "skinkit/SkinControl.h"
#include "skinkit/WaveScopeCache.h"
#include "skinkit/WindowsColor.h"

#include <QPixmap>
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace wavescope
{
// What the scope's own WAV parser found: "" for a 16-bit PCM RIFF WAVE file,
// else the message to show; `silent` when it fails without a message (a
// format block longer than 16 bytes).
struct WavCheck
{
    QString message;
    bool silent = false;
    bool ok() const { return message.isEmpty() && !silent; }
};
WavCheck checkWavFile(const std::string& path);
} // namespace wavescope

class CWaveScope : public SkinControl
{
    Q_OBJECT

public:
    CWaveScope();
    // Cancels a running analysis and joins its worker.
    ~CWaveScope() override;

    // The background picture; the scope takes its size.
    bool LoadPicture(const PictureModule& module, int bitmapId);
    // Wave, selection and play-line colours (Windows colour values).
    void SetColor(skinkit::ColorRef wave, skinkit::ColorRef selection, skinkit::ColorRef playLine);

    // Opens the file with libsndfile and starts its analysis. False (nothing
    // changed) when it cannot be opened or has no frames.
    bool LibLoadWAVFile(const QString& path);
    // The same for a 16-bit PCM WAV file checked by the scope's own parser;
    // shows the parser's message when the file is refused.
    bool LoadWAVFile(const QString& path);

    // 0 ≤ x ≤ width: moves the play line there and repaints; else ignored.
    void setPlayLine(int x);
    int getPlayLine() const { return m_nPlayLine; }
    // Whether the play line is drawn (off at first).
    void setPlayLineVisible(bool visible);

    // The file's loop flag from its cache (true when there is none).
    bool getLoop() const { return m_cache.loop(); }
    void setLoop(bool loop) { m_cache.setLoop(loop); }

    // Columns first..last drawn in the selection colour (while idle).
    void setSelection(int first, int last);
    // The points shown, first..last (while idle); they take effect at the next ReDraw.
    void setScope(int first, int last);
    // Vertical gain in percent, and a second coefficient that is only stored.
    void setCofficient(unsigned gain, unsigned second);
    // Clears the columns and leaves idle; repaints.
    void ReSet();
    // While idle: loads the columns from the cache again.
    void ReDraw();
    void setparenthwnd(QWidget* notifyHandle) { m_pNotifyHandle = notifyHandle; }

    // True when no analysis runs.
    bool isIdle() const { return m_bIdle; }
    bool showsBusyText() const { return m_bBusyText; }
    bool isStereo() const { return m_bStereo; }
    const WaveScopeCache& cache() const { return m_cache; }
    const std::array<std::vector<wavescope::Peaks>, 2>& columns() const { return m_columns; }

    // Shows a refusal of LoadWAVFile; a message box unless a test replaces it.
    std::function<void(const QString&)> showMessage;

signals:
    // GUI thread: an analysis has finished and the waveform is drawn.
    void analysisFinished();

protected:
    QSize sizeForPicture() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool startAnalysis(const QString& path);
    // GUI thread: the worker has finished.
    void takeAnalysis();

    QPixmap m_picture;
    std::array<std::vector<wavescope::Peaks>, 2> m_columns;
    skinkit::ColorRef m_waveColour;
    skinkit::ColorRef m_selectionColour;
    skinkit::ColorRef m_playLineColour;
    int m_nGain = 100;
    int m_nSecondCoefficient = 100;
    int m_nMargin = 1;
    int m_nSelectionStart = -1;
    int m_nSelectionEnd = -1;
    int m_nPlayLine = -1;
    bool m_bPlayLineVisible = false;
    int64_t m_nViewStart = 0;
    int64_t m_nViewEnd = 0;
    bool m_bIdle = true;
    bool m_bBusyText = false;
    bool m_bStereo = false;
    QWidget* m_pNotifyHandle = nullptr;
    // Last member: its worker is joined before the rest goes.
    WaveScopeCache m_cache;
};
