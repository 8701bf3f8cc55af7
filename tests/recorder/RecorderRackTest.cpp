// The recorder's panel: built from its layout rows; Rec, Pause, Stop and the
// folder button drive the engine while the lamp, counter, meters and file
// name follow; the remote rows work from the MIDI thread; failures are told;
// a rate change or the panel going away finishes the file.

#include "recorder/RecorderRack.h"
#include "recorder/RecordedMp3.h"
#include "recorder/RecorderRemote.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/Tones.h"

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace
{

class RecorderRackTest : public testkit::RackTest
{
protected:
    std::unique_ptr<CRecorderRack> makeRack(const std::string& library = CLameEncoder::kLibraryName)
    {
        auto rack = std::make_unique<CRecorderRack>(nullptr, library);
        rack->setTellUser(false);
        rack->CreateControls();
        rack->SetSampleRate(44100.0f);
        rack->engine().setFolder(m_files.folder());
        return rack;
    }
    static void press(CMyButton& button)
    {
        QTest::mouseClick(&button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Record-feed blocks as the mixer hands them over: a 0.5 tone at 1 kHz.
    static void render(CRecorderRack& rack, long frames)
    {
        const std::vector<float> tone = testkit::makeStereoTone(44100, 512, 1000.0, 1000.0, 0.5);
        std::vector<float> left(512), right(512);
        for (long done = 0; done < frames; done += 512)
        {
            for (size_t frame = 0; frame < 512; ++frame)
            {
                left[frame] = tone[2 * frame];
                right[frame] = tone[2 * frame + 1];
            }
            float* feed[] = {left.data(), right.data()};
            rack.Process(feed, nullptr, 2, 0, 512);
        }
    }
    static void expectShown(CRecorderRack& rack, bool lit, const QString& file, int seconds)
    {
        EXPECT_EQ(rack.recordingLamp().getlightened(), lit);
        EXPECT_EQ(rack.fileNameDisplay().text(), file);
        EXPECT_EQ(rack.minutesDisplay().getvalue() * 60 + rack.secondsDisplay().getvalue(),
                  seconds);
    }
    testkit::TemporaryFolder m_files;
};

TEST_F(RecorderRackTest, ButtonsRecordAndTheDisplaysFollow)
{
    auto rack = makeRack();
    testkit::expectControlsOnTheirRows(recorder_layout::skinnedControls, rack->controlRefs());
    EXPECT_EQ(rack->fileNameDisplay().geometry(),
              panel_controls::rectOf(recorder_layout::controls[recorder_layout::FileNameDisplay]));
    expectShown(*rack, false, "No File", 0);

    // The folder button: the dialog starts in the folder; a chosen folder
    // that does not exist yet (two levels) is made at Rec; Cancel keeps it.
    const std::string chosen = m_files.path("sets/friday");
    QString dialogStart;
    rack->setFolderChooser(
        [&](QWidget*, const QString& start)
        {
            dialogStart = start;
            return QString::fromStdString(chosen);
        });
    press(rack->folderButton());
    EXPECT_EQ(dialogStart.toStdString(), m_files.folder());
    rack->setFolderChooser([](QWidget*, const QString&) { return QString(); });
    press(rack->folderButton());
    EXPECT_EQ(rack->engine().folder(), chosen);

    press(rack->recButton());
    ASSERT_EQ(rack->engine().state(), RecorderState::Recording)
        << rack->lastMessage().toStdString();
    const QString name = rack->fileNameDisplay().text();
    EXPECT_TRUE(QRegularExpression("^\\d{14}\\.mp3$").match(name).hasMatch()) << name.toStdString();
    render(*rack, 44100 * 5 / 2);
    rack->updateCounter();
    expectShown(*rack, true, name, 2);
    EXPECT_LT(rack->leftMeter().barPosition(), rack->leftMeter().extent()) << "the meter lights";

    press(rack->pauseButton());
    render(*rack, 44100);
    rack->updateCounter();
    expectShown(*rack, false, name, 2);
    press(rack->pauseButton());
    expectShown(*rack, true, name, 2);
    render(*rack, 44100);
    press(rack->stopButton());
    expectShown(*rack, false, "No File", 0);
    EXPECT_EQ(rack->lastMessage(), "");

    // 2.5 s + 1 s captured, the second of the pause not; 512-frame blocks.
    const recorded::DecodedMp3 decoded = recorded::decode(chosen + "/" + name.toStdString());
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.frames(), rack->engine().capturedFrames());
    EXPECT_EQ(decoded.frames(), 216u * 512u + 87u * 512u);
}

TEST_F(RecorderRackTest, RemoteRowsAreTheButtonsFromTheMidiThread)
{
    const RackRemoteTable<CRecorderRack> rows = recorderRemoteOperations();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_STREQ(rows[0].name, "Recoder Rack Rec");
    EXPECT_STREQ(rows[1].name, "Recoder Rack Stop");
    EXPECT_STREQ(rows[2].name, "Recoder Rack Pause");
    for (const auto& row : rows)
        EXPECT_EQ(row.count, 1) << row.name;

    auto rack = makeRack();
    const struct
    {
        size_t row;
        RecorderState state;
    } steps[] = {{2, RecorderState::Stopped},   {0, RecorderState::Recording},
                 {0, RecorderState::Recording}, {2, RecorderState::Paused},
                 {2, RecorderState::Recording}, {1, RecorderState::Stopped},
                 {1, RecorderState::Stopped}};
    for (const auto& step : steps)
    {
        SCOPED_TRACE(rows[step.row].name);
        std::thread([&] { rows[step.row].apply(*rack, 0, 127); }).join();
        QCoreApplication::processEvents();
        EXPECT_EQ(rack->engine().state(), step.state);
        EXPECT_EQ(rack->recordingLamp().getlightened(), step.state == RecorderState::Recording);
        render(*rack, 2048);
    }
    EXPECT_EQ(recorded::recordings(m_files.folder()).size(), 1u);
}

// What cannot work is told and leaves the recorder stopped; a new device
// rate and the panel's end both finish the open file.
TEST_F(RecorderRackTest, FailuresAreToldAndEndingsFinishTheFile)
{
    {
        auto rack = makeRack("libmp3lame-missing.so.0");
        EXPECT_EQ(rack->lastMessage(), "Can not find libmp3lame-missing.so.0");
        press(rack->recButton());
        expectShown(*rack, false, "No File", 0);
        EXPECT_EQ(rack->engine().state(), RecorderState::Stopped);
        EXPECT_TRUE(recorded::recordings(m_files.folder()).empty());
    }
    {
        auto rack = makeRack();
        std::ofstream(m_files.path("taken")) << "a file where the folder should be";
        rack->engine().setFolder(m_files.path("taken/recordings"));
        press(rack->recButton());
        EXPECT_EQ(rack->engine().state(), RecorderState::Stopped);
        EXPECT_TRUE(rack->lastMessage().startsWith(QString::fromStdString(
            "Can not create the folder " + m_files.path("taken/recordings"))))
            << rack->lastMessage().toStdString();
    }
    {
        auto rack = makeRack();
        press(rack->recButton());
        render(*rack, 4096);
        rack->SetSampleRate(48000.0f);
        QCoreApplication::processEvents();
        expectShown(*rack, false, "No File", 0);
        press(rack->recButton());
        render(*rack, 4096);
        EXPECT_EQ(rack->engine().state(), RecorderState::Recording);
    }
    const std::vector<std::string> files = recorded::recordings(m_files.folder());
    ASSERT_EQ(files.size(), 2u);
    // Both in one second, maybe: "-2" sorts before ".mp3", so by rate.
    std::vector<long> rates;
    for (const std::string& file : files)
    {
        const recorded::DecodedMp3 decoded = recorded::decode(file);
        EXPECT_EQ(decoded.frames(), 4096u) << file;
        rates.push_back(decoded.rate);
    }
    std::sort(rates.begin(), rates.end());
    EXPECT_EQ(rates, (std::vector<long>{44100, 48000}));
}

} // namespace
