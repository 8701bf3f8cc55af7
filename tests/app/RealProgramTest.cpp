// The real corvane binary on a real X server (Xvfb) with a window manager
// (openbox), driven with xdotool as a person drives it: mouse clicks on the
// panels, the selectors' pop-up menus walked with the arrow keys, fader keys,
// a path typed into the Open dialog, Alt+F4 and the answer to the exit
// question. What it played is read from the Virtual Device's WAV file and
// what it kept from the settings file.
//
// Where each control sits on screen is read from the same window built in
// this process, so the test follows the panels' layout tables.

#include "PlaylistJourney.h"
#include "app/CorvaneApp.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerGainLaws.h"
#include "mixer/MixerRack.h"
#include "players/MP3Rack.h"
#include "plugins/EffectRack.h"
#include "support/WholeRack.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <filesystem>

namespace
{

constexpr int kStartMs = 20000;

// Runs a command to its end; returns its standard output, trimmed.
QString run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(kStartMs))
    {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class RealProgramTest : public wholerack::WholeRackTest
{
protected:
    void SetUp() override
    {
        wholerack::WholeRackTest::SetUp();
        ASSERT_TRUE(m_runtime.isValid());
        m_environment = QProcessEnvironment::systemEnvironment();
        startDisplay();
        m_environment.insert("DISPLAY", m_display);
        m_environment.insert("QT_QPA_PLATFORM", "xcb");
        m_environment.insert("QT_QPA_PLATFORMTHEME", "");
        m_environment.insert("XDG_CONFIG_HOME", m_config.path());
        m_environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_environment.insert("CORVANE_VIRTUAL_OUTPUT_FILE", QString::fromStdString(deviceOutput()));
        m_environment.insert("CORVANE_VIRTUAL_BLOCK_SIZE", "256");
        m_environment.remove("CORVANE_VIRTUAL_FAST");
        m_windowManager.setProcessEnvironment(m_environment);
        m_windowManager.start("openbox", {});
        ASSERT_TRUE(m_windowManager.waitForStarted());
    }

    void TearDown() override
    {
        for (QProcess* process : {&m_corvane, &m_windowManager, &m_server})
        {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(5000))
            {
                process->kill();
                process->waitForFinished();
            }
        }
        wholerack::WholeRackTest::TearDown();
    }

    // Xvfb picks a free display and tells its number.
    void startDisplay()
    {
        m_server.start("Xvfb",
                       {"-displayfd", "1", "-screen", "0", "1024x800x24", "-nolisten", "tcp"});
        ASSERT_TRUE(m_server.waitForStarted());
        ASSERT_TRUE(m_server.waitForReadyRead(kStartMs));
        m_display = ':' + QString::fromUtf8(m_server.readLine()).trimmed();
    }

    QString xdotool(const QStringList& arguments)
    {
        return run("xdotool", arguments, m_environment);
    }

    // Starts corvane and waits for its window; false when it never showed.
    bool startCorvane()
    {
        m_corvane.setProcessEnvironment(m_environment);
        m_corvane.setProcessChannelMode(QProcess::ForwardedChannels);
        m_corvane.start(QStringLiteral(CORVANE_BINARY), {});
        if (!m_corvane.waitForStarted())
            return false;
        m_window = xdotool({"search", "--sync", "--onlyvisible", "--name", "^Corvane$"})
                       .split('\n')
                       .value(0);
        if (m_window.isEmpty())
            return false;
        xdotool({"windowactivate", "--sync", m_window});
        return true;
    }

    // Clicks where `control` sits in the window (its centre, or `at` inside it).
    void clickOn(QWidget& control, QPoint at = {-1, -1})
    {
        if (at.x() < 0)
            at = control.rect().center();
        const QPoint inWindow = control.mapTo(&frame(), at);
        xdotool({"mousemove", "--window", m_window, QString::number(inWindow.x()),
                 QString::number(inWindow.y()), "click", "1"});
        QTest::qWait(150);
    }

    // Opens a selector's menu and walks to its item `index` with the keys.
    void chooseItem(CMCombo& selector, int index)
    {
        clickOn(selector, {selector.width() - 3, selector.height() / 2});
        QTest::qWait(300);
        QStringList keys{"key", "--delay", "40"};
        for (int step = 0; step <= index; ++step)
            keys << "Down";
        keys << "Return";
        xdotool(keys);
        QTest::qWait(150);
    }

    // With CORVANE_TEST_SCREENS=<folder>, keeps a picture of the screen at
    // each step (a PPM file Qt and any viewer read), for a person to look at.
    void screen(const QString& step)
    {
        const QString folder = qEnvironmentVariable("CORVANE_TEST_SCREENS");
        if (folder.isEmpty())
            return;
        run("sh",
            {"-c", QStringLiteral("xwd -root -silent | xwdtopnm > '%1/%2.ppm'").arg(folder, step)},
            m_environment);
    }

    static int itemIndex(CMCombo& selector, const QString& text)
    {
        for (int item = 0; item < selector.getcount(); ++item)
            if (selector.itemText(item) == text)
                return item;
        return -1;
    }

    QTemporaryDir m_runtime;
    QProcessEnvironment m_environment;
    QProcess m_server;
    QProcess m_windowManager;
    QProcess m_corvane;
    QString m_display;
    QString m_window;
};

TEST_F(RealProgramTest, APersonPlaysTwoFilesAndQuits)
{
    const std::string first = mediaPath(journey::kFirstTrack);
    const std::string second = mediaPath(journey::kSecondTrack);
    journey::writeTracks(first, second);

    // The same window in this process tells where every control sits.
    start();
    const int virtualDevice = itemIndex(amplifier().deviceSelector(), "Virtual Device");
    ASSERT_GT(virtualDevice, 0);

    ASSERT_TRUE(startCorvane()) << "corvane's window did not appear";
    chooseItem(amplifier().deviceSelector(), virtualDevice);
    chooseItem(amplifier().rateSelector(), itemIndex(amplifier().rateSelector(), "48000HZ"));
    chooseItem(mixer().sourceSelector(2), itemIndex(mixer().sourceSelector(2), "MP3 Player"));
    // Fader 3 and masters 1-2 up from the keyboard, 20 presses each.
    QStringList faderKeys{"key", "--delay", "20"};
    for (int press = 0; press < 20; ++press)
        faderKeys << "e"
                  << "i";
    xdotool(faderKeys);
    clickOn(amplifier().powerSwitch());
    screen("1-powered");

    // The Open dialog: type both names, Return.
    clickOn(mp3Player().openButton());
    QTest::qWait(1000);
    xdotool({"type", "--delay", "10", quotedPaths({first, second})});
    screen("2-typed");
    xdotool({"key", "Return"});
    QTest::qWait(500);

    clickOn(mp3Player().playAllSwitch());
    chooseItem(mp3Player().playlistSelector(), 1);
    clickOn(mp3Player().playButton());
    QTest::qWait(1000);
    screen("3-playing");
    QTest::qWait(3500);
    clickOn(mp3Player().stopButton());
    clickOn(amplifier().powerSwitch());

    // Alt+F4 asks; Y answers Yes.
    xdotool({"key", "alt+F4"});
    QTest::qWait(800);
    screen("4-asked");
    xdotool({"key", "y"});
    ASSERT_TRUE(m_corvane.waitForFinished(kStartMs)) << "corvane did not exit";
    EXPECT_EQ(m_corvane.exitCode(), 0);

    const CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("Mixer", "source3", -1), 1);
    EXPECT_EQ(settings.GetInt("Mixer", "fader3", -1), 100);
    EXPECT_EQ(settings.GetInt("Mixer", "bus1", -1), 100);
    EXPECT_EQ(settings.GetInt("Mixer", "fader1", -1), 0) << "a typed path moved a fader";
    EXPECT_EQ(settings.GetInt("amp", "samplerate", -1), 1);
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 2);
    EXPECT_EQ(settings.GetString("MP3", "list2", ""), second);

    const wholerack::Recording played = wholerack::readWav(deviceOutput());
    ASSERT_EQ(played.sampleRate, 48000);
    ASSERT_EQ(played.channels.size(), 4u);
    journey::expectPlayed(played.channels[0], mixer().engine().gainLaws());
    journey::expectPlayed(played.channels[1], mixer().engine().gainLaws());
}

// A real effect's editor from the rack: EDIT opens "VST Editor 1" at the
// editor's own size, the editor draws all of it (not only the corner a
// plug-in draws before its first idle call), closes with the window and
// opens again.
TEST_F(RealProgramTest, ARealEffectsEditorOpensDrawsClosesAndReopens)
{
    const std::string reverb = "/usr/lib/vst/MVerb-vst.so";
    if (!std::filesystem::exists(reverb))
        GTEST_SKIP() << "dpf-plugins-vst is not installed";
    {
        CIni settings(settingsPath());
        settings.WriteString("effect", "filename1", reverb);
    }
    start();
    auto* effect = dynamic_cast<CEffectRack*>(view().unit(rack::DualEffect));
    ASSERT_NE(effect, nullptr);
    ASSERT_TRUE(startCorvane()) << "corvane's window did not appear";
    QTest::qWait(1500);

    auto findEditor = [&] {
        return xdotool({"search", "--onlyvisible", "--name", "^VST Editor 1$"})
            .split('\n')
            .value(0);
    };
    auto openEditor = [&]
    {
        clickOn(effect->editorButton(0));
        QString editor;
        for (int step = 0; step < 50 && editor.isEmpty(); ++step, QTest::qWait(100))
            editor = findEditor();
        return editor;
    };
    const QString editor = openEditor();
    ASSERT_FALSE(editor.isEmpty()) << "no editor window";
    QTest::qWait(1500);
    screen("5-editor");
    const QString picture = QString::fromStdString(mediaPath("editor.ppm"));
    run("sh", {"-c", QStringLiteral("xwd -id %1 -silent | xwdtopnm > '%2'").arg(editor, picture)},
        m_environment);
    const QImage drawn(picture);
    ASSERT_FALSE(drawn.isNull());
    EXPECT_GT(drawn.width(), 200);
    EXPECT_GT(drawn.height(), 100);
    // The far quarter of the editor holds more than one colour.
    QSet<QRgb> colours;
    for (int y = drawn.height() / 2; y < drawn.height(); y += 3)
        for (int x = drawn.width() / 2; x < drawn.width(); x += 3)
            colours.insert(drawn.pixel(x, y));
    EXPECT_GT(colours.size(), 8);

    xdotool({"windowactivate", "--sync", editor});
    xdotool({"key", "alt+F4"});
    QTest::qWait(800);
    EXPECT_TRUE(findEditor().isEmpty()) << "the editor stayed on screen";
    const QString reopened = openEditor();
    EXPECT_FALSE(reopened.isEmpty()) << "the editor did not open again";
    screen("6-reopened");

    xdotool({"windowactivate", "--sync", m_window});
    xdotool({"key", "alt+F4"});
    QTest::qWait(800);
    xdotool({"key", "y"});
    ASSERT_TRUE(m_corvane.waitForFinished(kStartMs)) << "corvane did not exit";
    EXPECT_EQ(m_corvane.exitCode(), 0);
}

} // namespace
