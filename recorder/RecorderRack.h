#pragma once

// CRecorderRack: the recorder's panel, one rack slot high. Rec, Pause and
// Stop drive the RecorderEngine it owns, which records the mixer's record
// feed to "<folder>/YYYYMMDDhhmmss.mp3"; the folder button chooses the
// folder. It shows the recording lamp, the minutes and seconds captured, the
// two peak meters and the file being written ("No File" when stopped), and
// tells the user in a message box when a recording cannot start or go on.
//
// Threads: Process runs on the audio thread (forwards to the engine and feeds
// the meters through their lock-free setdb). Record/Pause/Stop may also come
// from the MIDI thread (RecorderRemote); they are then handed to the GUI
// thread, where every engine operation and widget change happens.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "plugins/CMStatic.h"
#include "recorder/RecorderEngine.h"
#include "recorder/RecorderLayout.h"
#include "recorder/RecorderListener.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"

#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

class CRecorderRack : public CommandReceiver<CRackUnit>, private RecorderListener
{
    Q_OBJECT

public:
    static constexpr int ID_PAUSE = recorder_layout::kPauseCommand;
    static constexpr int ID_REC = recorder_layout::kRecCommand;
    static constexpr int ID_STOP = recorder_layout::kStopCommand;
    static constexpr int ID_FOLDER = recorder_layout::kFolderCommand;

    // Asks the user for a folder: parent, folder to start in. Empty when
    // cancelled.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& startFolder)>;

    // encoderLibrary: the LAME library to load (tests name a missing one).
    explicit CRecorderRack(QWidget* parent = nullptr,
                           const std::string& encoderLibrary = CLameEncoder::kLibraryName);
    // Finishes a recording still open.
    ~CRecorderRack() override;

    // GUI thread, once: creates the controls; tells the user when the
    // encoder library is missing.
    void CreateControls() override;

    // Audio thread: the record feed into the engine, its peaks to the meters.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;
    // GUI thread, device stopped: a new rate finishes a recording first.
    void SetSampleRate(float rate) override;

    // The buttons and the remote operations ("Recoder Rack Rec/Pause/Stop").
    // GUI or MIDI thread; off the GUI thread they are handed to it.
    void Record();
    void Pause();
    void Stop();

    // GUI thread. The dialog behind the folder button; tests put their own
    // chooser here. An empty chooser restores the dialog.
    void setFolderChooser(FolderChooser chooser);
    // Whether messages also open a message box (tests read lastMessage).
    void setTellUser(bool tell) { m_bTellUser = tell; }
    const QString& lastMessage() const { return m_strLastMessage; }

    // GUI thread: one step of the counter (its timer runs it).
    void updateCounter();

    // For the view and tests.
    RecorderEngine& engine() { return m_engine; }
    CMyButton& pauseButton() { return m_pause; }
    CMyButton& stopButton() { return m_stop; }
    CMyButton& recButton() { return m_rec; }
    CMyButton& folderButton() { return m_folder; }
    CLEDLight& recordingLamp() { return m_lamp; }
    CLED& minutesDisplay() { return m_minutes; }
    CLED& secondsDisplay() { return m_seconds; }
    CLevel& leftMeter() { return m_leftMeter; }
    CLevel& rightMeter() { return m_rightMeter; }
    CMStatic& fileNameDisplay() { return m_fileName; }

    // The skinned controls in the layout table's row order (the rows of
    // recorder_layout::skinnedControls).
    std::array<PanelControlRef, recorder_layout::SkinnedControlCount> controlRefs();

protected:
    // GUI thread.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    // RecorderListener: GUI or encoder thread; each only posts to the GUI.
    void recorderStateChanged() override;
    void recorderFailed() override;

    // GUI thread.
    void showState();
    void tell(const QString& message);
    void tellFailure();
    void chooseFolder();

    CMyButton m_pause;
    CMyButton m_stop;
    CMyButton m_rec;
    CMyButton m_folder;
    CLEDLight m_lamp;
    CLED m_minutes;
    CLED m_seconds;
    CLevel m_leftMeter;
    CLevel m_rightMeter;
    CLevelDriver m_levelDriver;
    CMStatic m_fileName;
    QTimer m_counterTimer;
    FolderChooser m_folderChooser;
    QString m_strLastMessage;
    bool m_bTellUser = true;

    // Last member: destroyed first, so the recording is finished and its
    // worker joined before any control it reports to goes away.
    RecorderEngine m_engine;
};
