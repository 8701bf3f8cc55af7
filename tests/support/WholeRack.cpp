#include "support/WholeRack.h"

#include "app/CorvaneApp.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "mixer/MixerSettings.h"
#include "players/MP3Rack.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMyButton.h"
#include "support/PanelChecks.h"
#include "utilkit/Ini.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <chrono>

namespace wholerack
{

namespace
{
// How long a pop-up or dialog may take to appear.
constexpr int kAppearMs = 5000;

using testkit::waitFor;
// What a window manager does with a new dialog or box: makes it active, so
// it has the keyboard.
void activate(QWidget* window)
{
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window, kAppearMs));
}
} // namespace

void WholeRackTest::SetUp()
{
    testkit::RackTest::SetUp();
    ASSERT_TRUE(m_folder.isValid());
    // The Virtual Device keeps real time unless a test asks otherwise, so the
    // players' workers see what a sound card would give them.
    unsetenv("CORVANE_VIRTUAL_FAST");
    unsetenv("CORVANE_VIRTUAL_OUTPUTS");
    setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", deviceOutput().c_str(), 1);
}

void WholeRackTest::TearDown()
{
    if (m_frame)
        closeAnswering(true);
    m_frame.reset();
    unsetenv("CORVANE_VIRTUAL_OUTPUT_FILE");
    unsetenv("CORVANE_VIRTUAL_INPUT_FILE");
}

void WholeRackTest::start()
{
    m_frame.reset();
    m_frame = createCorvaneWindow();
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    m_frame->activateWindow();
}

bool WholeRackTest::closeAnswering(bool yes)
{
    bool asked = false;
    QTimer::singleShot(
        0,
        [&]
        {
            waitFor([] { return QApplication::activeModalWidget() != nullptr; }, kAppearMs);
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            asked = true;
            activate(box);
            // Answered from the keyboard: the question has its keys.
            // Y and N are the buttons' mnemonics; a box takes them plain.
            QTest::keyClick(box, yes ? Qt::Key_Y : Qt::Key_N);
            waitFor([box] { return !box->isVisible(); }, 1000);
            if (box->isVisible())
            {
                ADD_FAILURE() << "the exit question did not take its keys";
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
    const bool closed = m_frame->close();
    EXPECT_TRUE(asked) << "closing did not ask \"Are sure to exit Corvane\"";
    if (closed)
        m_frame.reset();
    return closed;
}

CCorvaneView& WholeRackTest::view()
{
    return *m_frame->view();
}

CAmpRack& WholeRackTest::amplifier()
{
    return *view().amplifier();
}

CMixerRack& WholeRackTest::mixer()
{
    return *view().mixer();
}

CMP3Rack& WholeRackTest::mp3Player()
{
    return *view().mp3Player();
}

void WholeRackTest::click(QWidget& control)
{
    QTest::mouseClick(&control, Qt::LeftButton, {}, control.rect().center());
}

void WholeRackTest::drag(QWidget& control, QPoint from, QPoint to, int moves)
{
    const auto send =
        [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, at, control.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&control, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int move = 1; move <= moves; ++move)
        send(QEvent::MouseMove, from + (to - from) * move / moves, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

bool WholeRackTest::choose(CMCombo& selector, const QString& item)
{
    bool found = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           waitFor([] { return QApplication::activePopupWidget() != nullptr; },
                                   kAppearMs);
                           auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                           if (menu == nullptr)
                               return;
                           const int items = static_cast<int>(menu->actions().size());
                           for (int step = 0; step <= items; ++step)
                           {
                               const QAction* active = menu->activeAction();
                               if (active != nullptr && active->text() == item)
                               {
                                   found = true;
                                   QTest::keyClick(menu, Qt::Key_Return);
                                   return;
                               }
                               QTest::keyClick(menu, Qt::Key_Down);
                           }
                           QTest::keyClick(menu, Qt::Key_Escape);
                           // Keys that never reached the menu must not leave it open.
                           if (menu->isVisible())
                           {
                               ADD_FAILURE() << "the pop-up menu did not take its keys";
                               menu->close();
                           }
                       });
    // The arrow is the selector's right end.
    QTest::mouseClick(&selector, Qt::LeftButton, {},
                      QPoint(selector.width() - 3, selector.height() / 2));
    return found;
}

void WholeRackTest::typeToMainWindow(const QString& keys)
{
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr || target->window() != m_frame.get())
        target = m_frame.get();
    QTest::keyClicks(target, keys);
}

bool WholeRackTest::typeIntoFileDialog(QWidget& opener, const QString& typed)
{
    bool typedIn = false;
    QTimer::singleShot(
        0,
        [&]
        {
            waitFor(
                [] {
                    return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr;
                },
                kAppearMs);
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (name == nullptr)
            {
                dialog->reject();
                return;
            }
            typedIn = true;
            // Typed key by key into the focused field of the
            // active dialog, as a person does.
            activate(dialog);
            name->setFocus();
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClicks(focused ? focused : name, typed);
            QTest::keyClick(focused ? focused : name, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
    click(opener);
    // What the dialog gave reaches the panel through posted news.
    waitMs(100);
    return typedIn;
}

QString WholeRackTest::quotedPaths(const std::vector<std::string>& paths)
{
    QStringList quoted;
    for (const std::string& path : paths)
        quoted << '"' + QString::fromStdString(path) + '"';
    return quoted.join(' ');
}

bool WholeRackTest::powerOn(const QString& device, const QString& rate)
{
    CAmpRack& amp = amplifier();
    if (!choose(amp.deviceSelector(), device) || !choose(amp.rateSelector(), rate))
        return false;
    click(amp.powerSwitch());
    return amp.powerSwitch().getStatus() && amp.m_bRunning;
}

void WholeRackTest::powerOff()
{
    if (amplifier().powerSwitch().getStatus())
        click(amplifier().powerSwitch());
}

void WholeRackTest::waitMs(int milliseconds)
{
    QTest::qWait(milliseconds);
}

bool WholeRackTest::tonesOnInputOne(const std::vector<double>& tones, double level, int rate)
{
    const auto frames = static_cast<size_t>(rate);
    Recording input{rate, std::vector<std::vector<float>>(4, std::vector<float>(frames))};
    for (double frequency : tones)
    {
        const std::vector<float> tone =
            testkit::makeSine(rate, frames, frequency, level / static_cast<double>(tones.size()));
        for (size_t frame = 0; frame < frames; ++frame)
            input.channels[0][frame] += tone[frame];
    }
    const std::string path = mediaPath("input.wav");
    setenv("CORVANE_VIRTUAL_INPUT_FILE", path.c_str(), 1);
    return testkit::writeWav(path, input);
}

std::vector<float> WholeRackTest::playOutputOne(int milliseconds, const QString& rate)
{
    EXPECT_TRUE(powerOn("Virtual Device", rate)) << amplifier().powerFailure().toStdString();
    waitMs(milliseconds);
    powerOff();
    Recording played = readWav(deviceOutput());
    return played.channels.empty() ? std::vector<float>{} : std::move(played.channels[0]);
}

std::string WholeRackTest::mixerSnapshot()
{
    const QString path = m_folder.filePath("mixer-snapshot.ini");
    QFile::remove(path);
    CIni snapshot(path.toStdString());
    mixer_settings::SaveMixerSettings(snapshot, mixer().engine().controls());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

} // namespace wholerack
