// A DJ plugs in a controller (a JACK MIDI client of the test), opens "MIDI
// Controller Setup ..." from the menu, picks the port, clicks "Channel 1
// Level", moves the knob, presses OK, and the knob then drives the fader.

#include "TestPlugins.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "midiremote/CMidiSetupDlg.h"
#include "midiremote/RemoteSettings.h"
#include "mixer/MixerRack.h"
#include "plugins/InstrumentSettings.h"
#include "plugins/VSTiRack.h"
#include "support/JackMidiSender.h"
#include "support/PanelChecks.h"
#include "support/WholeRack.h"
#include "utilkit/Ini.h"

#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

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

// The keyboard is also the controller: the remote and the instrument name
// the same port, so the remote opens it alone and passes the notes on. Each
// note plays the instrument once while a bound controller moves a fader;
// choosing "None" on the instrument ends the sharing.
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
    waitMs(200);
    EXPECT_EQ(synth.noteOns.load() - ons, kNotes);
    powerOff();

    // Sharing ends: the instrument's port is closed and stays so.
    ASSERT_TRUE(choose(instrument->portSelector(), "None"));
    EXPECT_FALSE(instrument->engine().portOpen());
    EXPECT_EQ(CIni(settingsPath()).GetInt("VSTi", "midiin", -1), 0);
}

} // namespace
