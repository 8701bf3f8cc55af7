#include "app/CorvaneView.h"
#include "app/KeyboardMap.h"
#include "app/MainFrame.h"
#include "app/RackMessages.h"
#include "app/RackUnit.h"
#include "app/SingleInstance.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"
#include "players/SoundFxRack.h"
#include "support/RackTest.h"
#include "support/Tones.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace
{

using namespace rack;

using CorvaneViewTest = testkit::RackTest;

TEST_F(CorvaneViewTest, FirstStartWritesTheDefaultStackAndMovesAreKeptAcrossARestart)
{
    {
        CMainFrame frame;
        CCorvaneView* view = frame.view();
        view->OnInitialUpdate();
        CIni settings(settingsPath());
        for (std::size_t index = 0; index < RackUnitCount; ++index)
        {
            EXPECT_EQ(settings.GetInt(kRackUnits[index].readSection, "pos", -1),
                      kRackUnits[index].defaultPos);
            EXPECT_EQ(view->unit(index)->y(), kRackUnits[index].defaultPos * kSlotHeight);
        }
        // The effect rack asks, through its menu, to move up past the mixer.
        view->unit(DualEffect)->OnRackCommand(ID_RACK_MOVEUP);
        view->unit(GraphicEQ)->OnRackCommand(ID_RACK_MOVEDOWN); // bottom: stays
        QCoreApplication::processEvents();
        EXPECT_EQ(view->unit(DualEffect)->y(), 2 * kSlotHeight);
        EXPECT_EQ(view->unit(Mixer)->y(), 3 * kSlotHeight);
    }
    CMainFrame restarted;
    restarted.view()->OnInitialUpdate();
    EXPECT_EQ(restarted.view()->unit(DualEffect)->m_nPos, 2);
    EXPECT_EQ(restarted.view()->unit(Mixer)->m_nPos, 3);
    EXPECT_EQ(restarted.view()->unit(GraphicEQ)->m_nPos, 16);
}

TEST_F(CorvaneViewTest, WindowWidthIsFixedAndScrollingIsClampedAndMovesTheUnits)
{
    CMainFrame frame;
    CCorvaneView* view = frame.view();
    view->OnInitialUpdate();
    frame.show();
    view->resize(view->width(), 652);
    view->scrollTo(10000);
    EXPECT_EQ(view->scrollOffset(), kMaxScrollOffset);
    EXPECT_EQ(view->unit(GraphicEQ)->y(), 16 * kSlotHeight - kMaxScrollOffset);
    view->scrollTo(-5);
    EXPECT_EQ(view->scrollOffset(), 0);
    EXPECT_EQ(view->scrollBar()->maximum(), kMaxScrollOffset);
    frame.resize(900, 500);
    EXPECT_EQ(frame.width(), CMainFrame::kWidth);
    EXPECT_EQ(frame.height(), 500);
    EXPECT_EQ(frame.windowTitle(), "Corvane");
}

TEST_F(CorvaneViewTest, EveryKeyOnTheRackIsConsumedAndFaderKeysMoveTheFaders)
{
    CMainFrame frame;
    CCorvaneView* view = frame.view();
    view->OnInitialUpdate();
    // A control inside a unit, holding the focus, must not see rack keys.
    auto* control = new QLineEdit(view->unit(Mixer));
    frame.show();
    control->setFocus();
    QTest::keyClicks(control, "M P 1qa");
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_TRUE(control->text().isEmpty());
    // Consumed, yet bound to nothing: 9, M, P and the keypad's digits.
    for (const int key : {Qt::Key_9, Qt::Key_M, Qt::Key_P})
        EXPECT_EQ(keyActionFor(key, false).kind, KeyActionKind::None) << key;
    EXPECT_EQ(keyActionFor(Qt::Key_3, true).kind, KeyActionKind::None);

    // A mixer control has the focus: the rack acts on the key, not the knob.
    CKnob& panKnob = view->mixer()->panKnob(0);
    const int pan = panKnob.getvalue();
    for (int press = 0; press < 3; ++press)
        QTest::keyClick(&panKnob, Qt::Key_Q);
    QTest::keyClick(&panKnob, Qt::Key_A);
    EXPECT_EQ(view->mixer()->channelFader(0).getvalue(), 10);
    EXPECT_EQ(panKnob.getvalue(), pan);

    QTest::keyClick(view, Qt::Key_J); // channel 7 down at 0 stays 0
    EXPECT_EQ(view->mixer()->channelFader(6).getvalue(), 0);
    QTest::keyClick(view, Qt::Key_I);
    QTest::keyClick(view, Qt::Key_I);
    QTest::keyClick(view, Qt::Key_L);
    EXPECT_EQ(view->mixer()->masterSlider(0).getvalue(), 10);
    EXPECT_EQ(view->mixer()->masterSlider(1).getvalue(), 10);
    EXPECT_EQ(view->mixer()->masterSlider(2).getvalue(), 0);
    EXPECT_EQ(view->mixer()->masterSlider(3).getvalue(), 0);
}

TEST_F(CorvaneViewTest, ChainIsWiredAndExitStopsTheRunningEngine)
{
    setenv("CORVANE_VIRTUAL_FAST", "1", 1);
    auto frame = std::make_unique<CMainFrame>();
    CCorvaneView* view = frame->view();
    view->OnInitialUpdate();
    // Channel 3 selecting the MP3 player marks it routed.
    view->mixer()->sourceSelector(2).setitemindex(1);
    EXPECT_TRUE(view->mp3Player()->m_bRouted);

    CAmpRack* amp = view->amplifier();
    int virtualDevice = -1;
    for (int item = 0; item < amp->deviceSelector().getcount(); ++item)
        if (amp->deviceSelector().itemText(item) == "Virtual Device")
            virtualDevice = item;
    ASSERT_GT(virtualDevice, 0);
    amp->deviceSelector().setitemindex(virtualDevice);
    amp->rateSelector().setitemindex(1);
    amp->powerSwitch().SetStatus(true);
    amp->PowerOn();
    ASSERT_TRUE(amp->m_bRunning);
    EXPECT_TRUE(view->mixer()->m_bRunning);
    EXPECT_TRUE(view->mp3Player()->m_bRunning);
    EXPECT_FLOAT_EQ(view->mp3Player()->GetSampleRate(), 48000.0f);
    QTest::qWait(50);
    EXPECT_GT(amp->engine().blockCount(), 0u);

    // Yes at the question: the device stops before any unit is destroyed.
    view->m_askExit = [] { return true; };
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(amp->m_bRunning);
    EXPECT_FALSE(view->mixer()->m_bRunning);
    const auto blocks = amp->engine().blockCount();
    QTest::qWait(20);
    EXPECT_EQ(amp->engine().blockCount(), blocks);
    frame.reset();
    unsetenv("CORVANE_VIRTUAL_FAST");
}

// X repeats a held key as release and press with one timestamp, and Qt marks
// only some of those presses as repeats: a held pad key must fire once.
TEST_F(CorvaneViewTest, HeldPadKeysFireOnceWhileHeldFaderKeysRepeat)
{
    CMainFrame frame;
    frame.view()->OnInitialUpdate();
    CSoundFxRack& pads = *frame.view()->soundFx();
    testkit::TemporaryFolder media;
    testkit::writeWav(media.path("pad.wav"), {44100, {std::vector<float>(4410, 0.5f)}});
    ASSERT_TRUE(pads.engine().loadFile(0, media.path("pad.wav"), "pad"));
    pads.m_bRunning = pads.m_bRouted = true;

    auto send = [&](QEvent::Type type, int key, unsigned long timestamp, bool marked)
    {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), marked);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(&frame, &event);
    };
    // Held from 100 to 620 (repeats at 500 and 540, one of them unmarked),
    // pressed again at 900.
    auto hold = [&](int key)
    {
        send(QEvent::KeyPress, key, 100, false);
        send(QEvent::KeyRelease, key, 500, false);
        send(QEvent::KeyPress, key, 500, false);
        send(QEvent::KeyRelease, key, 540, true);
        send(QEvent::KeyPress, key, 540, true);
        send(QEvent::KeyRelease, key, 620, false);
        send(QEvent::KeyPress, key, 900, false);
        send(QEvent::KeyRelease, key, 950, false);
    };
    hold(Qt::Key_1);
    std::vector<float> left(64), right(64);
    float* out[2] = {left.data(), right.data()};
    pads.Process(nullptr, out, 0, 2, 64);
    EXPECT_EQ(pads.engine().activeVoices(), 2);

    hold(Qt::Key_Q);
    EXPECT_EQ(frame.view()->mixer()->channelFader(0).getvalue(), 20);
}

TEST_F(CorvaneViewTest, OnlyOneInstanceRuns)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    SingleInstance first;
    ASSERT_TRUE(first.acquire());
    SingleInstance second;
    EXPECT_FALSE(second.acquire());

    QString told;
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* box =
                               qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                           ASSERT_NE(box, nullptr);
                           told = box->text();
                           box->accept();
                       });
    SingleInstance third;
    EXPECT_FALSE(third.acquireOrTellUser());
    EXPECT_EQ(told, "Corvane is already running");
}

} // namespace
