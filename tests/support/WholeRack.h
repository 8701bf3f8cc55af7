#pragma once

// The whole program in one test process: Corvane's real main window and rack,
// built exactly as the program builds them, driven through the widgets a
// person uses (clicks on the panels' controls, choices in the selectors'
// pop-up menus, keys typed into the main window, paths typed into the real
// file dialog), with the Virtual Device writing what the rack plays into a
// WAV file. Every unit is tested here as well as in its own chain.
//
// Threads: GUI thread (the test's own).

#include "support/RackTest.h"
#include "support/Tones.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class CAmpRack;
class CCorvaneView;
class CMCombo;
class CMP3Rack;
class CMainFrame;
class CMixerRack;
class QWidget;

namespace wholerack
{

using testkit::readWav;
using testkit::Recording;

class WholeRackTest : public testkit::RackTest
{
protected:
    // A fresh settings folder; the Virtual Device writes to deviceOutput().
    void SetUp() override;
    void TearDown() override;

    // Builds (or rebuilds, as at a restart) and shows Corvane's window.
    void start();
    // Closes the window as a person does, answering the exit question.
    // Returns whether the window closed.
    bool closeAnswering(bool yes);

    CMainFrame& frame() { return *m_frame; }
    CCorvaneView& view();
    CAmpRack& amplifier();
    CMixerRack& mixer();
    CMP3Rack& mp3Player();

    // A left click in the middle of a control.
    static void click(QWidget& control);
    // A left-button drag from `from` to `to` in `moves` equal mouse moves.
    static void drag(QWidget& control, QPoint from, QPoint to, int moves = 1);
    // Opens the selector's pop-up menu with a click on its arrow, walks to
    // `item` with the arrow keys and takes it with Return. False when the
    // menu has no such item.
    static bool choose(CMCombo& selector, const QString& item);
    // Key presses sent to the main window as typed (letters as keys).
    void typeToMainWindow(const QString& keys);
    // Clicks `opener`, types `typed` into the name field of the file dialog
    // that opens and presses Return. False when no file dialog opened.
    bool typeIntoFileDialog(QWidget& opener, const QString& typed);
    // Quoted names for a file dialog's name field: "a" "b".
    static QString quotedPaths(const std::vector<std::string>& paths);

    // Selects the device and rate on the amplifier and presses POWER.
    bool powerOn(const QString& device, const QString& rate);
    void powerOff();
    // Runs the GUI event loop for a while (timers, posted news, workers).
    static void waitMs(int milliseconds);
    // Has the Virtual Device read one second of `tones` (level / count each)
    // on input 1 of four, at `rate`; false when the file was not written.
    bool tonesOnInputOne(const std::vector<double>& tones, double level, int rate = 48000);
    // Powers on the Virtual Device at `rate`, plays `milliseconds` and powers
    // off: what the device wrote to output 1 (empty when nothing).
    std::vector<float> playOutputOne(int milliseconds, const QString& rate = "48000HZ");

    std::string deviceOutput() const { return m_folder.filePath("device.wav").toStdString(); }
    std::string mediaPath(const std::string& name) const
    {
        return m_folder.filePath(QString::fromStdString(name)).toStdString();
    }
    // The "Mixer" section as the mixer would save it now.
    std::string mixerSnapshot();

    QTemporaryDir m_folder;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace wholerack
