// MIDI remote control without a MIDI system: the function and controller
// names, stored bindings and ports, the dispatcher fed from a second thread
// as the device's delivery thread feeds it, and learning in the setup dialog.
// (tests/app/MidiRemoteJourneyTest drives every function on the real units.)

#include "midiremote/CMidiSetupDlg.h"
#include "midiremote/RemoteDispatcher.h"
#include "platform/GuiThread.h"
#include "support/RackTest.h"
#include "utilkit/midi/ShortMsg.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <thread>
#include <utility>
#include <vector>

namespace
{

using midi::CShortMsg;

constexpr unsigned char kControlChange = 0xB0;
constexpr unsigned char kProgramChange = 0xC0;
constexpr unsigned char kNoteOn = 0x90;

// Sends messages from another thread, as the MIDI device's delivery thread
// does, then lets the GUI thread drain them.
void sendFromMidiThread(midi::CMIDIReceiver& receiver, const std::vector<std::uint32_t>& messages)
{
    std::thread sender(
        [&]
        {
            for (std::uint32_t message : messages)
                receiver.ReceiveMsg(message, 0);
        });
    sender.join();
    QTest::qWait(3 * remote::RemoteDispatcher::kDrainFloorMs);
}

std::uint32_t cc(int channel, int controller, int value)
{
    return CShortMsg::Pack(static_cast<unsigned char>(kControlChange | channel),
                           static_cast<unsigned char>(controller),
                           static_cast<unsigned char>(value));
}

std::uint32_t program(int channel, int number)
{
    return CShortMsg::Pack(static_cast<unsigned char>(kProgramChange | channel),
                           static_cast<unsigned char>(number), 0);
}

using RemoteControlTest = testkit::RackTest;

TEST_F(RemoteControlTest, FunctionsAndControllersAreNamedAsStored)
{
    const std::vector<std::pair<int, const char*>> functions = {{0, "Channel 1 Level"},
                                                                {13, "Channel 7 Gain"},
                                                                {14, "Channel 1 Pan"},
                                                                {27, "Channel 7 Pre AUX Level"},
                                                                {28, "Channel 1 Post AUX Level"},
                                                                {38, "Bus 4 Master Level"},
                                                                {39, "Pre AUX Return Level"},
                                                                {41, "Rec Out Level"},
                                                                {42, "CD Rack Track select"},
                                                                {43, "CD Rack Pitch Control"},
                                                                {46, "CD Rack Pause"},
                                                                {47, "Recoder Rack Rec"},
                                                                {49, "Recoder Rack Pause"},
                                                                {50, "MP3 Rack 1 Play"},
                                                                {52, "MP3 Rack 1 Pause"},
                                                                {53, "Not defined"},
                                                                {-1, "Not defined"}};
    for (const auto& [function, name] : functions)
        EXPECT_EQ(remote::functionName(function), name) << function;

    const std::vector<std::pair<int, const char*>> controllers = {
        {-1, "Not Assigned"},
        {7, "Volume"},
        {10, "Pan position"},
        {16, "General Purpose Slider 1"},
        {19, "General Purpose Slider 4"},
        {75, "Sound Control 6"},
        {79, "Sound Control 10"},
        {83, "General Purpose Button 4 (on/off)"},
        {92, "Tremulo Level"},
        {3, "Unknown"},
        {128, "Unknown"}};
    for (const auto& [controller, name] : controllers)
        EXPECT_EQ(remote::controllerName(controller), name) << controller;
    EXPECT_EQ(remote::bindingText(4108), "programe change to 12");
    EXPECT_EQ(remote::bindingText(-1), "Not Assigned");
}

TEST_F(RemoteControlTest, StoredBindingsAndPortsAreReadSafely)
{
    {
        CIni settings(settingsPath());
        for (auto [key, value] :
             {std::pair{"0", 7}, {"1", 200}, {"2", 4095}, {"3", 4223}, {"4", 4224}, {"5", -5}})
            settings.WriteInt("MIDIC", key, value);
    }
    const CIni settings(settingsPath());
    const remote::Bindings bindings = remote::RestoreBindings(settings);
    EXPECT_EQ(bindings[0], 7);
    EXPECT_EQ(bindings[3], 4223);
    for (size_t unbound : {1u, 2u, 4u, 5u, 6u})
        EXPECT_EQ(bindings[unbound], -1) << unbound;
    EXPECT_EQ(settings.GetInt("MIDIC", "1", 0), 200) << "the file is left alone";

    // Ports are found by name, whatever the ALSA client:port numbers now.
    const std::vector<std::string> names = {"Midi Through:Midi Through Port-0 14:0",
                                            "Pads:Pads MIDI 1 24:0", "Keys:Keys MIDI 1 28:0"};
    EXPECT_EQ(remote::findPort(names, {1, "Keys:Keys MIDI 1 20:0"}), 2);
    EXPECT_EQ(remote::findPort(names, {1, "Gone:Gone MIDI 1 20:0"}), -1);
    EXPECT_EQ(remote::findPort(names, {1, ""}), 1) << "older files store only the index";
    EXPECT_EQ(remote::findPort(names, {3, ""}), -1);
    EXPECT_EQ(remote::findPort(names, {-1, "Pads:Pads MIDI 1 24:0"}), -1);
}

// The delivery thread only stores and queues; the GUI thread applies the
// latest values, then the presses in order.
TEST_F(RemoteControlTest, DispatcherAppliesOnTheGuiThreadCoalescedAndPressesOnly)
{
    QObject context;
    std::vector<std::pair<int, int>> applied;
    remote::RemoteDispatcher dispatcher(context,
                                        [&](int function, int value)
                                        {
                                            EXPECT_TRUE(platform::isGuiThread());
                                            applied.push_back({function, value});
                                        });
    remote::Bindings bindings;
    bindings.fill(remote::kUnbound);
    bindings[0] = 7; // two functions on one controller
    bindings[3] = 7;
    bindings[52] = 20; // a button on a controller
    bindings[44] = remote::kProgramChangeBase + 5;
    dispatcher.setBindings(bindings);

    sendFromMidiThread(dispatcher, {cc(0, 7, 127)});
    EXPECT_EQ(applied, (std::vector<std::pair<int, int>>{{0, 127}, {3, 127}}));

    // A press and its release: one Pause. A program change on two channels: two Plays.
    applied.clear();
    sendFromMidiThread(dispatcher, {cc(5, 20, 127), cc(5, 20, 0), program(0, 5), program(9, 5)});
    EXPECT_EQ(applied, (std::vector<std::pair<int, int>>{{52, 127}, {44, 127}, {44, 127}}));

    // A fast sweep ends on its last value, in a few drains.
    applied.clear();
    std::vector<std::uint32_t> sweep;
    for (int n = 0; n < 20000; ++n)
        sweep.push_back(cc(n % 16, 7, n % 128));
    sweep.push_back(cc(0, 7, 42));
    sendFromMidiThread(dispatcher, sweep);
    ASSERT_FALSE(applied.empty());
    EXPECT_EQ(applied.back(), std::make_pair(3, 42));
    EXPECT_LT(applied.size(), 100u);
}

TEST_F(RemoteControlTest, NotesGoToASharingInstrumentAndLearningIsPosted)
{
    struct Instrument : midi::CMIDIReceiver
    {
        void ReceiveMsg(std::uint32_t message, std::uint32_t) override { got.push_back(message); }
        void ReceiveMsg(unsigned char*, std::size_t, std::uint32_t) override {}
        std::vector<std::uint32_t> got;
    } instrument;
    QObject context;
    remote::RemoteDispatcher dispatcher(context, [](int, int) {});
    const std::uint32_t note = CShortMsg::Pack(kNoteOn, 60, 100);

    sendFromMidiThread(dispatcher, {note});
    EXPECT_TRUE(instrument.got.empty());
    dispatcher.setInstrument(&instrument);
    std::vector<std::pair<int, int>> learned;
    dispatcher.setLearner([&](int status, int data1) { learned.push_back({status, data1}); });
    sendFromMidiThread(dispatcher, {note, cc(2, 10, 5)});
    EXPECT_EQ(instrument.got, std::vector<std::uint32_t>{note})
        << "controllers stay with the remote";
    EXPECT_EQ(learned, (std::vector<std::pair<int, int>>{{0x90, 60}, {0xB2, 10}}));
}

TEST_F(RemoteControlTest, SetupDialogLearnsClearsAndKeepsAStoredPort)
{
    CIni settings(settingsPath());
    settings.WriteInt("MIDIC", "port", 9); // beyond the two devices
    CMidiSetupDlg dialog(settings, {"Pads 24:0", "Keys 28:0"}, -1);
    EXPECT_EQ(dialog.portSelector().getitemindex(), 0);
    EXPECT_EQ(dialog.portSelector().itemText(2), "Keys 28:0");
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "port", 0), 9) << "not written back as None";

    dialog.learn(0xB2, 10); // no row selected: nothing
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "3", 0), 0);
    dialog.selectFunction(3);
    dialog.learn(0xB2, 10);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "3", 0), 10);
    EXPECT_EQ(dialog.bindingShown(3), "Pan position");
    dialog.selectFunction(44);
    dialog.learn(0x95, 12); // a note: ignored
    dialog.learn(0xC5, 12);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "44", 0), 4108);
    EXPECT_EQ(dialog.bindingShown(44), "programe change to 12");

    QTest::mouseClick(&dialog.clearButton(), Qt::LeftButton);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "44", 0), -1);
    EXPECT_EQ(dialog.bindingShown(44), "Not Assigned");
    QTest::mouseClick(&dialog.clearAllButton(), Qt::LeftButton);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "3", 0), -1);
    EXPECT_EQ(dialog.bindingShown(3), "Not assigned");
    CMidiSetupDlg reopened(settings, {}, -1);
    EXPECT_EQ(reopened.bindingShown(3), "Not Assigned");

    // Choosing a port writes it by index and by name, and tells the view.
    int changes = 0;
    QObject::connect(&dialog, &CMidiSetupDlg::portChanged, [&] { ++changes; });
    dialog.portSelector().OnMenuCommand(CMCombo::firstItemCommand + 2);
    EXPECT_EQ(changes, 1);
    const remote::PortSetting port = remote::RestorePort(CIni(settingsPath()));
    EXPECT_EQ(port.index, 1);
    EXPECT_EQ(port.name, "Keys 28:0");
}

} // namespace
