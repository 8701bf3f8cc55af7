// A DJ plugs in a controller (a JACK MIDI client of the test), opens "MIDI
// Controller Setup ..." from the menu, picks the port, clicks "Channel 1
// Level", moves the knob, presses OK, and the knob then drives the fader.
// Bound from the settings, the controller drives all 53 functions on the
// real units, and a keyboard sharing its port plays the instrument.

#include "MP3TestFixtures.h"
#include "TestPlugins.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "midiremote/CMidiSetupDlg.h"
#include "midiremote/RemoteSettings.h"
#include "mixer/MixerRack.h"
#include "players/CDRack.h"
#include "players/MP3Rack.h"
#include "players/MP3Settings.h"
#include "plugins/InstrumentSettings.h"
#include "plugins/VSTiRack.h"
#include "recorder/RecordedMp3.h"
#include "recorder/RecorderRack.h"
#include "support/CDImages.h"
#include "support/JackMidiSender.h"
#include "support/PanelChecks.h"
#include "support/WholeRack.h"
#include "utilkit/Ini.h"

#include <QElapsedTimer>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <thread>

namespace
{

using wholerack::WholeRackTest;

constexpr const char* kController = "corvane-controller";

using testkit::waitFor;

// Clicks a menu bar entry, then an item of the menu it opens.
void clickMenu(QMainWindow& window, const QString& title, const QString& item)
{
    QMenuBar* bar = window.menuBar();
    for (QAction* entry : bar->actions())
    {
        if (entry->text() != title)
            continue;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(entry).center());
        QMenu* menu = entry->menu();
        if (!waitFor([menu] { return menu->isVisible(); }))
            return;
        for (QAction* action : menu->actions())
            if (action->text() == item)
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
}

TEST_F(WholeRackTest, AControllerIsLearnedInTheSetupDialogAndDrivesAFader)
{
    testkit::JackMidiSender controller(kController);
    ASSERT_NE(controller.client, nullptr) << "the test JACK server is not running";
    const QString port = QStringLiteral("JACK: %1:out").arg(kController);
    start();

    bool learned = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           CMidiSetupDlg* dialog = nullptr;
                           waitFor(
                               [&]
                               {
                                   dialog = qobject_cast<CMidiSetupDlg*>(
                                       QApplication::activeModalWidget());
                                   return dialog != nullptr;
                               });
                           if (dialog == nullptr)
                               return;
                           EXPECT_TRUE(choose(dialog->portSelector(), port));
                           QTreeWidget& list = dialog->list();
                           QTreeWidgetItem* row = list.topLevelItem(0);
                           QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                                             list.visualItemRect(row).center());
                           // The DJ turns the knob a little.
                           learned = waitFor(
                               [&]
                               {
                                   controller.send({{0xB0, 7, 1}});
                                   return row->text(1) == "Volume";
                               });
                           for (QPushButton* button : dialog->findChildren<QPushButton*>())
                               if (button->text() == "OK")
                                   click(*button);
                       });
    clickMenu(frame(), "&Options", "MIDI &Controller Setup ...");
    ASSERT_TRUE(learned) << "the knob was not learned";

    // From now on the knob drives channel 1's fader, on any MIDI channel.
    for (auto [value, fader] : {std::pair{127, 110}, {64, 55}, {0, 0}})
        EXPECT_TRUE(waitFor(
            [&]
            {
                controller.send({{static_cast<unsigned char>(0xB0 | (value % 16)), 7,
                                  static_cast<unsigned char>(value)}});
                return mixer().channelFader(0).getvalue() == fader;
            }))
            << "value " << value;

    ASSERT_TRUE(closeAnswering(true));
    const CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("MIDIC", "0", -1), 7);
    EXPECT_EQ(settings.GetString("MIDIC", "portname", ""), port.toStdString());
}

// Controller n drives function n. Each step is a batch of {function, value}
// and what the real unit then shows; it must not show it before the batch.
// The CD plays track 2 of a disc image, the MP3 player a tone, the recorder
// writes into the test's folder, all on the Virtual Device.
TEST_F(WholeRackTest, AJackControllerDrivesAllFiftyThreeFunctions)
{
    testkit::JackMidiSender controller(kController);
    ASSERT_NE(controller.client, nullptr) << "the test JACK server is not running";
    testkit::TemporaryFolder media;
    // 75 blocks a second: track 2 lasts 20 s, so it never ends under the
    // transport steps.
    const testkit::CdImage disc =
        testkit::writeCdImage(media, "set", {{75, 440.0, 440.0}, {1500, 1000.0, 1000.0}});
    const testkit::ScopedEnvironment drive(CD_DEVICE_VARIABLE, disc.cuePath);
    const std::string tone = media.path("tone.mp3");
    mp3test::writeFile(tone, mp3test::encodeTone(10.0, 440, 440).bytes);
    const std::string recordings = mediaPath("recordings");
    {
        CIni settings(settingsPath());
        ASSERT_TRUE(remote::SavePort(settings, {controller.deviceIndex(), controller.portName()}));
        for (int function = 0; function < remote::kFunctionCount; ++function)
            remote::SaveBinding(settings, function, function);
        SaveMP3Settings(settings, {tone, 1, 1, {"All", "tone.mp3"}, {"", tone}});
        settings.WriteInt("Mixer", "source3", 2); // CD Player
        settings.WriteInt("Mixer", "source4", 1); // MP3 Player
    }
    start();
    ASSERT_GE(view().remotePort(), 0);
    auto& cd = *static_cast<CCDRack*>(view().unit(rack::CDPlayer));
    auto& recorder = *static_cast<CRecorderRack*>(view().unit(rack::Recorder));
    CMP3Rack& mp3 = mp3Player();
    recorder.engine().setFolder(recordings);
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ")) << amplifier().powerFailure().toStdString();

    struct Step
    {
        std::vector<std::pair<int, int>> sent;
        std::function<bool()> shows;
    };
    std::vector<Step> steps;
    CMixerRack& mix = mixer();
    struct MixerFamily
    {
        int count;
        int full;
        std::function<int(int index)> read;
    };
    // Functions 0-41 in order, each at full scale: faders 110, gains 30, the
    // rest 100 (the masters and the record knob reach no further).
    const std::vector<MixerFamily> families = {
        {7, 110, [&](int i) { return mix.channelFader(i).getvalue(); }},
        {7, 30, [&](int i) { return mix.gainKnob(i).getvalue(); }},
        {7, 100, [&](int i) { return mix.panKnob(i).getvalue(); }},
        {7, 100, [&](int i) { return mix.preFaderSendKnob(i).getvalue(); }},
        {7, 100, [&](int i) { return mix.postFaderSendKnob(i).getvalue(); }},
        {4, 100, [&](int i) { return mix.masterSlider(i).getvalue(); }},
        {2, 100, [&](int i) { return mix.returnKnob(i).getvalue(); }},
        {1, 100, [&](int) { return mix.recordKnob().getvalue(); }},
    };
    for (const MixerFamily& family : families)
        for (int index = 0; index < family.count; ++index)
        {
            const int next = static_cast<int>(steps.size());
            steps.push_back(
                {{{next, 127}}, [&family, index] { return family.read(index) == family.full; }});
        }
    auto cdPlaying = [&] { return cd.playingLamp().getlightened(); };
    auto mp3Playing = [&] { return mp3.playingLamp().getlightened(); };
    steps.insert(
        steps.end(),
        {
            // The laws between the ends, truncating toward zero.
            {{{0, 64}}, [&] { return mix.channelFader(0).getvalue() == 55; }},
            {{{8, 62}}, [&] { return mix.gainKnob(1).getvalue() == 0; }},
            {{{8, 1}}, [&] { return mix.gainKnob(1).getvalue() == -29; }},
            {{{8, 0}}, [&] { return mix.gainKnob(1).getvalue() == -30; }},
            {{{14, 64}}, [&] { return mix.panKnob(0).getvalue() == 50; }},
            {{{35, 115}}, [&] { return mix.masterSlider(0).getvalue() == 99; }},
            {{{42, 127}}, [&] { return cd.trackSelector().getvalue() == 20; }},
            // Track 0 is below the selector: left alone.
            {{{42, 6}, {43, 0}},
             [&]
             { return cd.pitchDisplay().getvalue() == 50 && cd.trackSelector().getvalue() == 20; }},
            {{{42, 13}, {43, 127}},
             [&]
             { return cd.trackSelector().getvalue() == 2 && cd.pitchDisplay().getvalue() == 150; }},
            {{{44, 127}}, [&] { return cdPlaying() && cd.currentTrackDisplay().getvalue() == 2; }},
            // A button's release does nothing.
            {{{45, 0}, {43, 64}},
             [&] { return cd.pitchDisplay().getvalue() == 100 && cdPlaying(); }},
            {{{46, 127}}, [&] { return cd.pausedLamp().getlightened(); }},
            {{{45, 127}}, [&] { return !cdPlaying() && !cd.pausedLamp().getlightened(); }},
            {{{47, 127}},
             [&]
             {
                 return recorder.recordingLamp().getlightened() &&
                        recorded::recordings(recordings).size() == 1;
             }},
            {{{49, 127}}, [&] { return recorder.engine().state() == RecorderState::Paused; }},
            {{{48, 127}},
             [&]
             {
                 return recorder.engine().state() == RecorderState::Stopped &&
                        recorder.fileNameDisplay().text() == "No File";
             }},
            {{{50, 127}}, mp3Playing},
            {{{52, 127}}, [&] { return mp3.pausedLamp().getlightened(); }},
            {{{51, 127}}, [&] { return !mp3Playing() && !mp3.pausedLamp().getlightened(); }},
        });

    for (size_t step = 0; step < steps.size(); ++step)
    {
        const auto& [sent, shows] = steps[step];
        const int first = sent.front().first;
        ASSERT_FALSE(shows()) << "step " << step << " (function " << first << ") proves nothing";
        std::vector<std::vector<unsigned char>> batch;
        for (auto [bound, value] : sent) // on any MIDI channel
            batch.push_back({static_cast<unsigned char>(0xB0 | bound % 16),
                             static_cast<unsigned char>(bound), static_cast<unsigned char>(value)});
        // The first batch goes again until the port's connection carries it;
        // the others once, as a press sent twice would undo a pause.
        EXPECT_TRUE(waitFor(
            [&]
            {
                const bool accepted = controller.send(batch);
                return step == 0 ? shows() : accepted;
            },
            5000));
        EXPECT_TRUE(waitFor(shows, 5000))
            << remote::functionName(first) << " (step " << step << ") did not act";
    }
    EXPECT_EQ(recorder.lastMessage(), "");
    powerOff();
}

// The keyboard is also the controller: the remote and the instrument name
// the same port, so the remote opens it alone and passes the notes on. Each
// note plays the instrument once while a bound controller moves a fader,
// also while the GUI thread stalls; choosing "None" on the instrument ends
// the sharing.
TEST_F(WholeRackTest, NotesOnTheRemotePortPlayTheInstrumentOnce)
{
    testkit::JackMidiSender keyboard("corvane-keyboard-remote");
    ASSERT_NE(keyboard.client, nullptr) << "the test JACK server is not running";
    const std::string port = "JACK: corvane-keyboard-remote:out";
    const std::vector<std::string> names = midi::CMIDIInDevice::DeviceNames();
    const int index = remote::findPort(names, {0, port});
    ASSERT_GE(index, 0);
    {
        CIni settings(settingsPath());
        remote::SavePort(settings, {index, port});
        remote::SaveBinding(settings, 0, 7); // CC 7 drives channel 1's fader
        SaveInstrumentSettings(settings,
                               {testplugins::path(testplugins::kSynth), "", {index, port}});
    }
    start();
    auto* instrument = dynamic_cast<CVSTiRack*>(view().unit(rack::Instrument));
    ASSERT_NE(instrument, nullptr);
    ASSERT_TRUE(waitFor([&] { return instrument->nameDisplay().text() == "Test Sine"; }));
    EXPECT_EQ(instrument->midiPortName(), port);
    EXPECT_FALSE(instrument->engine().portOpen());
    ASSERT_TRUE(choose(mixer().sourceSelector(2), "VSTi"));
    ASSERT_TRUE(powerOn("Virtual Device", "48000HZ"));

    TestPluginCounts& synth = testplugins::counts(testplugins::kSynth);
    const int ons = synth.noteOns.load();
    constexpr int kNotes = 5;
    for (int note = 0; note < kNotes; ++note)
    {
        const auto key = static_cast<unsigned char>(60 + note);
        const auto value = static_cast<unsigned char>(20 * (note + 1));
        ASSERT_TRUE(waitFor(
            [&] {
                return keyboard.send({{0x90, key, 100}, {0xB0, 7, value}, {0x80, key, 0}});
            }));
        const int fader = static_cast<int>(110.0 * value / 127.0);
        EXPECT_TRUE(waitFor([&] { return mixer().channelFader(0).getvalue() == fader; }));
    }
    EXPECT_TRUE(waitFor([&] { return synth.noteOns.load() - ons >= kNotes; }));

    // A GUI thread stalled for 300 ms (a slow repaint) holds the fader back,
    // never a note: the notes play while it sleeps, and the fader catches up.
    std::thread keys(
        [&]
        {
            for (int note = 0; note < kNotes; ++note)
            {
                const auto key = static_cast<unsigned char>(72 + note);
                while (!keyboard.send({{0x90, key, 100}, {0xB0, 7, 127}, {0x80, key, 0}}))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    QElapsedTimer stalled;
    stalled.start();
    while (stalled.elapsed() < 300 ||
           (synth.noteOns.load() - ons < 2 * kNotes && stalled.elapsed() < 5000))
        QThread::msleep(5);
    keys.join();
    EXPECT_EQ(synth.noteOns.load() - ons, 2 * kNotes) << "notes waited for the GUI thread";
    EXPECT_TRUE(waitFor([&] { return mixer().channelFader(0).getvalue() == 110; }));
    waitMs(200);
    EXPECT_EQ(synth.noteOns.load() - ons, 2 * kNotes) << "a note played twice";
    powerOff();

    // Sharing ends: the instrument's port is closed and stays so.
    ASSERT_TRUE(choose(instrument->portSelector(), "None"));
    EXPECT_FALSE(instrument->engine().portOpen());
    EXPECT_EQ(CIni(settingsPath()).GetInt("VSTi", "midiin", -1), 0);
}

} // namespace
