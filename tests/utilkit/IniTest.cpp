// CIni: values round-trip, names match without regard to case, every holder
// sees another's writes at once, and the file survives hostile contents,
// failed writes and concurrent rewrites.

#include "utilkit/Ini.h"

#include "support/RackTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Each test has a settings folder of its own; a bare name resolves into it.
class IniTest : public testkit::RackTest
{
protected:
    std::string path(const std::string& name) const
    {
        return m_config.filePath(QString::fromStdString(name)).toStdString();
    }

    static void writeFile(const std::string& file, const std::string& contents)
    {
        std::ofstream(file, std::ios::binary) << contents;
    }

    static std::string readFile(const std::string& file)
    {
        std::stringstream contents;
        contents << std::ifstream(file, std::ios::binary).rdbuf();
        return contents.str();
    }
};

TEST_F(IniTest, EveryTypeRoundTripsThroughTheConfigFolder)
{
    CIni ini("rackdata5.ini");
    EXPECT_EQ(ini.GetPathName(), settingsPath());
    EXPECT_FALSE(fs::exists(fs::path(settingsPath()).parent_path()));
    EXPECT_TRUE(ini.WriteInt("Mixer", "fader1", 110));
    EXPECT_TRUE(ini.WriteInt("Mixer", "gain1", -12));
    EXPECT_TRUE(ini.WriteInt("MP3", "count", 49));
    EXPECT_TRUE(ini.WriteBool("Mixer", "bus1", true));
    EXPECT_TRUE(ini.WriteBool("Mixer", "bus2", false));
    EXPECT_TRUE(ini.WriteString("MP3", "list1", "/home/dj/Music/Set One/track 01.mp3"));

    EXPECT_EQ(ini.GetInt("Mixer", "fader1", 0), 110);
    EXPECT_EQ(ini.GetInt("Mixer", "gain1", 0), -12);
    EXPECT_EQ(ini.GetUInt("MP3", "count", 0), 49u);
    EXPECT_TRUE(ini.GetBool("Mixer", "bus1", false));
    EXPECT_FALSE(ini.GetBool("Mixer", "bus2", true));
    EXPECT_EQ(ini.GetString("MP3", "list1", ""), "/home/dj/Music/Set One/track 01.mp3");

    // Overwriting keeps one line per key, and integers are plain decimal.
    EXPECT_TRUE(ini.WriteInt("Mixer", "fader1", 75));
    EXPECT_EQ(ini.GetInt("Mixer", "fader1", 0), 75);
    const std::string contents = readFile(settingsPath());
    EXPECT_NE(contents.find("fader1=75\n"), std::string::npos);
    EXPECT_EQ(contents.find("fader1=110"), std::string::npos);
    EXPECT_NE(contents.find("gain1=-12\n"), std::string::npos);
}

// The pad unit writes its position to "SoundFX" and reads "soundfx", the
// loop unit keeps "LOOP" and "Loop"; the MIDI dialog and the view each hold
// the file and must see each other's writes without a restart.
TEST_F(IniTest, HoldersShareOneFileWhoseNamesMatchWithoutCase)
{
    CIni dialog(path("settings.ini"));
    CIni view(path("settings.ini"));
    dialog.WriteInt("SoundFX", "pos", 13);
    EXPECT_EQ(view.GetInt("soundfx", "POS", 0), 13);
    view.WriteInt("soundfx", "pos", 5);
    EXPECT_EQ(dialog.GetInt("SoundFX", "pos", 0), 5);
    dialog.WriteInt("LOOP", "pos", 11);
    view.WriteInt("Loop", "curch", 3);
    EXPECT_EQ(dialog.GetInt("loop", "pos", 0), 11);
    EXPECT_EQ(dialog.GetInt("LOOP", "curch", 0), 3);
    // Both spellings met in one section: one header, no duplicated key.
    const std::string contents = readFile(path("settings.ini"));
    EXPECT_EQ(contents.find("[soundfx]"), std::string::npos);
    EXPECT_EQ(contents.find("pos=13"), std::string::npos);
    EXPECT_EQ(contents.find("[Loop]"), std::string::npos);

    view.DeleteKey("loop", "POS");
    EXPECT_EQ(dialog.GetInt("LOOP", "pos", -1), -1);
    EXPECT_EQ(dialog.GetInt("LOOP", "curch", -1), 3);
}

// A missing file, section or key or a bad value gives the default (reading
// never creates the file). A byte-order mark, CRLF line ends, lines without
// '=' or key, an unterminated section, a megabyte-long line, comments,
// quotes and control bytes: what can be read is read, the rest is kept on
// write, and a value with line breaks cannot inject keys.
TEST_F(IniTest, MissingAndHostileFilesAreReadWithoutHarmAndKeptOnWrite)
{
    CIni missing(path("does-not-exist.ini"));
    EXPECT_EQ(missing.GetInt("amp", "pos", 7), 7);
    EXPECT_EQ(missing.GetString("amp", "asiodevice", "None"), "None");
    EXPECT_FALSE(fs::exists(path("does-not-exist.ini")));

    const std::string longLine(1 << 20, 'x');
    writeFile(path("settings.ini"),
              std::string("\xEF\xBB\xBF[amp]\r\n") + "pos = 4 \r\n" + "no equals sign here\r\n" +
                  "=value without key\r\n" + "[unterminated\r\n" + longLine + "\r\n" +
                  "; comment=ignored\r\n" + "bad=abc\r\ncount=-4\r\nflag=maybe\r\n" +
                  "[Mixer]\r\n" + "fader1=\"88\"\r\n" + std::string("\0\x01\xff", 3) + "\r\n");
    CIni ini(path("settings.ini"));
    EXPECT_EQ(ini.GetInt("amp", "pos", -1), 4);
    EXPECT_EQ(ini.GetInt("Mixer", "fader1", -1), 88);
    EXPECT_EQ(ini.GetString("amp", "comment", "none"), "none");
    EXPECT_EQ(ini.GetInt("amp", "bad", 3), 3);
    EXPECT_EQ(ini.GetUInt("amp", "count", 9), 9u);
    EXPECT_TRUE(ini.GetBool("amp", "flag", true));
    EXPECT_EQ(ini.GetInt("amp", "absent", 4), 4);
    EXPECT_EQ(ini.GetInt("nosection", "pos", 5), 5);
    // An out-of-range integer is clamped rather than wrapped.
    ini.WriteString("amp", "huge", "99999999999999999999");
    EXPECT_EQ(ini.GetInt("amp", "huge", 0), INT_MAX);

    EXPECT_TRUE(ini.WriteInt("amp", "samplerate", 1));
    EXPECT_EQ(ini.GetInt("amp", "pos", -1), 4);
    EXPECT_EQ(ini.GetInt("amp", "samplerate", -1), 1);
    EXPECT_EQ(ini.GetInt("Mixer", "fader1", -1), 88);
    EXPECT_NE(readFile(path("settings.ini")).find(longLine), std::string::npos);

    ini.WriteString("MP3", "name1", "evil\n[amp]\nasiodevice=9");
    EXPECT_EQ(ini.GetInt("amp", "asiodevice", -1), -1);
    EXPECT_EQ(ini.GetString("MP3", "name1", ""), "evil [amp] asiodevice=9");
}

TEST_F(IniTest, FailedWriteReportsFalseAndChangesNothing)
{
    // Parent "folder" is a regular file: nothing can be created there.
    writeFile(path("plain-file"), "x");
    CIni blocked(path("plain-file") + "/rackdata5.ini");
    EXPECT_FALSE(blocked.WriteInt("amp", "pos", 1));
    EXPECT_EQ(blocked.GetInt("amp", "pos", 7), 7);

    // Target is a folder: the replace fails and leaves no temporary file.
    fs::create_directory(path("folder.ini"));
    CIni folder(path("folder.ini"));
    EXPECT_FALSE(folder.WriteInt("amp", "pos", 1));
    for (const auto& entry : fs::directory_iterator(m_config.path().toStdString()))
        EXPECT_EQ(entry.path().filename().string().find("folder.ini."), std::string::npos)
            << "left behind: " << entry.path();
}

TEST_F(IniTest, ReadersNeverSeeAHalfWrittenFile)
{
    // Many keys make each rewrite long enough that an in-place rewrite would
    // be caught half done by a concurrent reader.
    CIni writer(path("settings.ini"));
    for (int index = 0; index < 200; ++index)
        writer.WriteInt("Mixer", "key" + std::to_string(index), index);

    std::atomic<bool> stop{false};
    std::atomic<int> tornReads{0};
    std::thread reader(
        [&]
        {
            CIni readerIni(path("settings.ini"));
            while (!stop.load())
            {
                if (readerIni.GetInt("Mixer", "key199", -1) != 199)
                    ++tornReads;
            }
        });
    for (int round = 0; round < 200; ++round)
        writer.WriteInt("Mixer", "key0", round);
    stop = true;
    reader.join();
    EXPECT_EQ(tornReads.load(), 0);
}

// A program killed while it saves (kill -9, a crash) leaves the settings file
// as it was before that save or after it, whole, never cut short.
TEST_F(IniTest, AKilledWriterLeavesTheOldOrTheNewFile)
{
    const std::string file = path("killed.ini");
    {
        CIni settings(file);
        for (int index = 0; index < 200; ++index)
            settings.WriteInt("Mixer", "key" + std::to_string(index), 0);
    }
    for (int kill = 0; kill < 5; ++kill)
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            CIni settings(file);
            for (int round = 1;; ++round)
                settings.WriteInt("Mixer", "key" + std::to_string(round % 200), round);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 17 * kill));
        ::kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const CIni settings(file);
        for (int index = 0; index < 200; ++index)
            ASSERT_NE(settings.GetInt("Mixer", "key" + std::to_string(index), -1), -1)
                << "key" << index << " is missing after kill " << kill;
    }
}

} // namespace
