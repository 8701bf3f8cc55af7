// The remote port on a real MIDI system: three JACK clients of the test send
// controllers; the view opens the port its settings name, follows a change
// of port, leaves a port it cannot find closed, and learns through the setup
// dialog while its port is reopened under a stream of messages.

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "midiremote/CMidiSetupDlg.h"
#include "mixer/MixerRack.h"
#include "support/JackMidiSender.h"
#include "support/RackTest.h"

#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

namespace
{

using testkit::JackMidiSender;

class RemotePortsJackTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        testkit::RackTest::SetUp();
        for (JackMidiSender* sender : {&a, &b, &c})
            ASSERT_NE(sender->client, nullptr) << "the test JACK server is not running";
        CIni settings(settingsPath());
        settings.WriteInt("MIDIC", "0", 7); // CC 7 drives channel 1's fader
    }

    void choosePort(const JackMidiSender& sender)
    {
        CIni settings(settingsPath());
        remote::SavePort(settings, {sender.deviceIndex(), sender.portName()});
    }

    // Sends CC 7 until channel 1's fader shows `expected` (true) or 1 s passed.
    bool faderFollows(JackMidiSender& sender, int value, int expected)
    {
        const std::vector<unsigned char> message{0xB0, 7, static_cast<unsigned char>(value)};
        for (int attempt = 0; attempt < 50; ++attempt)
        {
            sender.send({message});
            QTest::qWait(20);
            if (mixer().channelFader(0).getvalue() == expected)
                return true;
        }
        return false;
    }

    CMixerRack& mixer() { return *frame->view()->mixer(); }

    JackMidiSender a{"corvane-remote-a"};
    JackMidiSender b{"corvane-remote-b"};
    JackMidiSender c{"corvane-remote-c"};
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(RemotePortsJackTest, OnlyTheChosenPortDrivesAndAMissingPortStaysClosed)
{
    choosePort(a);
    frame = std::make_unique<CMainFrame>();
    frame->view()->OnInitialUpdate();
    EXPECT_EQ(frame->view()->remotePort(), a.deviceIndex());
    ASSERT_TRUE(faderFollows(a, 127, 110));

    // A → B → A: only the port chosen last drives.
    choosePort(b);
    frame->view()->openRemotePort();
    EXPECT_FALSE(faderFollows(a, 0, 0)) << "the old port still drives";
    EXPECT_TRUE(faderFollows(b, 64, 55));
    choosePort(a);
    frame->view()->openRemotePort();
    EXPECT_FALSE(faderFollows(b, 0, 0));
    EXPECT_TRUE(faderFollows(a, 0, 0));

    // A stored index beyond the devices, without a name, stays closed and stored.
    {
        CIni settings(settingsPath());
        settings.WriteInt("MIDIC", "port", 99);
        settings.WriteString("MIDIC", "portname", "");
    }
    frame->view()->openRemotePort();
    EXPECT_EQ(frame->view()->remotePort(), -1);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "port", 0), 99);
}

// Learning through the real port while the dialog reopens it under a
// 1000-messages-per-second stream: nothing hangs, the binding is stored.
TEST_F(RemotePortsJackTest, LearningWhileThePortIsReopenedNeverHangs)
{
    choosePort(a);
    frame = std::make_unique<CMainFrame>();
    frame->view()->OnInitialUpdate();

    std::atomic<bool> streaming{true};
    std::thread stream(
        [&]
        {
            for (int n = 0; streaming.load(); ++n)
            {
                a.send({{0xB3, 10, static_cast<unsigned char>(n % 128)}});
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    bool learned = false;
    std::function<void()> drive;
    drive = [&]
    {
        auto* dialog = qobject_cast<CMidiSetupDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
        {
            QTimer::singleShot(50, drive); // a loaded machine shows it later
            return;
        }
        dialog->selectFunction(14);
        learned = QTest::qWaitFor([&] { return dialog->bindingShown(14) == "Pan position"; }, 5000);
        // B, then back to A, while A streams.
        dialog->portSelector().OnMenuCommand(CMCombo::firstItemCommand + b.deviceIndex() + 1);
        QTest::qWait(100);
        dialog->portSelector().OnMenuCommand(CMCombo::firstItemCommand + a.deviceIndex() + 1);
        QTest::qWait(100);
        dialog->accept();
    };
    QTimer::singleShot(50, drive);
    frame->view()->runMidiSetup();
    streaming.store(false);
    stream.join();
    EXPECT_TRUE(learned);
    EXPECT_EQ(CIni(settingsPath()).GetInt("MIDIC", "14", -1), 10);
    EXPECT_EQ(frame->view()->remoteDispatcher().binding(14), 10) << "read again at the end";
    EXPECT_EQ(frame->view()->remotePort(), a.deviceIndex());
}

// Closing Corvane under a stream of bound controllers: the port closes before
// any unit goes, so no message reaches a destroyed control (ASan checks).
TEST_F(RemotePortsJackTest, TheViewGoesAwayCleanlyDuringAStream)
{
    choosePort(a);
    frame = std::make_unique<CMainFrame>();
    frame->view()->OnInitialUpdate();
    std::atomic<bool> streaming{true};
    std::thread stream(
        [&]
        {
            for (int n = 0; streaming.load(); ++n)
            {
                a.send({{0xB0, 7, static_cast<unsigned char>(n % 128)}});
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    EXPECT_TRUE(QTest::qWaitFor([&] { return mixer().channelFader(0).getvalue() > 0; }, 5000));
    frame.reset();
    QTest::qWait(50);
    streaming.store(false);
    stream.join();
}

} // namespace
