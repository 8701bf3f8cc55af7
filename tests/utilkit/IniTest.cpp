#include "utilkit/Ini.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace
{

class IniTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "corvane-ini-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string path(const std::string& name = "settings.ini") const
    {
        return (m_folder / name).string();
    }

    static void writeFile(const std::string& file, const std::string& contents)
    {
        std::ofstream(file, std::ios::binary) << contents;
    }

    static std::string readFile(const std::string& file)
    {
        std::ifstream stream(file, std::ios::binary);
        std::stringstream contents;
        contents << stream.rdbuf();
        return contents.str();
    }

    fs::path m_folder;
};

TEST_F(IniTest, EveryTypeRoundTrips)
{
    CIni ini(path());
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
    const std::string contents = readFile(path());
    EXPECT_NE(contents.find("fader1=75\n"), std::string::npos);
    EXPECT_EQ(contents.find("fader1=110"), std::string::npos);
    EXPECT_NE(contents.find("gain1=-12\n"), std::string::npos);
}

TEST_F(IniTest, SectionAndKeyNamesMatchWithoutRegardToCase)
{
    CIni ini(path());
    ini.WriteInt("SoundFX", "pos", 13);
    EXPECT_EQ(ini.GetInt("soundfx", "POS", 0), 13);
    ini.WriteInt("soundfx", "pos", 5);
    EXPECT_EQ(ini.GetInt("SoundFX", "pos", 0), 5);

    ini.WriteInt("LOOP", "pos", 11);
    ini.WriteInt("Loop", "curch", 3);
    EXPECT_EQ(ini.GetInt("loop", "pos", 0), 11);
    EXPECT_EQ(ini.GetInt("LOOP", "curch", 0), 3);

    // Both spellings met in one section: one header, no duplicated key.
    const std::string contents = readFile(path());
    EXPECT_EQ(contents.find("[soundfx]"), std::string::npos);
    EXPECT_EQ(contents.find("pos=13"), std::string::npos);
    EXPECT_EQ(contents.find("[Loop]"), std::string::npos);
}

TEST_F(IniTest, MissingFileSectionKeyOrBadValueGiveTheDefault)
{
    CIni missing(path("does-not-exist.ini"));
    EXPECT_EQ(missing.GetInt("amp", "pos", 7), 7);
    EXPECT_EQ(missing.GetString("amp", "asiodevice", "None"), "None");
    EXPECT_TRUE(missing.GetBool("amp", "x", true));
    EXPECT_FALSE(fs::exists(path("does-not-exist.ini"))) << "reading must not create the file";

    writeFile(path(), "[amp]\npos=abc\ncount=-4\nflag=maybe\n");
    CIni ini(path());
    EXPECT_EQ(ini.GetInt("amp", "pos", 3), 3);
    EXPECT_EQ(ini.GetUInt("amp", "count", 9), 9u);
    EXPECT_TRUE(ini.GetBool("amp", "flag", true));
    EXPECT_EQ(ini.GetInt("amp", "absent", 4), 4);
    EXPECT_EQ(ini.GetInt("nosection", "pos", 5), 5);
    // An out-of-range integer is clamped rather than wrapped.
    ini.WriteString("amp", "huge", "99999999999999999999");
    EXPECT_EQ(ini.GetInt("amp", "huge", 0), INT_MAX);
}

TEST_F(IniTest, EveryHolderSeesAnotherHoldersWritesAtOnce)
{
    CIni dialog(path());
    CIni view(path());
    dialog.WriteInt("MIDIC", "0", 21);
    EXPECT_EQ(view.GetInt("MIDIC", "0", -1), 21);
    view.WriteInt("MIDIC", "port", 2);
    dialog.WriteInt("MIDIC", "0", 22);
    EXPECT_EQ(view.GetInt("MIDIC", "0", -1), 22);
    EXPECT_EQ(dialog.GetInt("MIDIC", "port", -1), 2);
    view.DeleteKey("midic", "0");
    EXPECT_EQ(dialog.GetInt("MIDIC", "0", -1), -1);
    EXPECT_EQ(dialog.GetInt("MIDIC", "port", -1), 2);
}

TEST_F(IniTest, BareNameResolvesToTheConfigFolderCreatedOnFirstWrite)
{
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);

    CIni ini("rackdata5.ini");
    const fs::path expected = m_folder / "corvane" / "rackdata5.ini";
    EXPECT_EQ(ini.GetPathName(), expected.string());
    EXPECT_FALSE(fs::exists(expected.parent_path()));
    EXPECT_TRUE(ini.WriteInt("amp", "pos", 0));
    EXPECT_TRUE(fs::exists(expected));

    if (previous)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST_F(IniTest, HostileFilesAreReadWithoutHarmAndKeptOnWrite)
{
    const std::string longLine(1 << 20, 'x');
    writeFile(path(), std::string("\xEF\xBB\xBF[amp]\r\n") + "pos = 4 \r\n" +
                          "no equals sign here\r\n" + "=value without key\r\n" +
                          "[unterminated\r\n" + longLine + "\r\n" + "; comment=ignored\r\n" +
                          "[Mixer]\r\n" + "fader1=\"88\"\r\n" + std::string("\0\x01\xff", 3) +
                          "\r\n");
    CIni ini(path());
    EXPECT_EQ(ini.GetInt("amp", "pos", -1), 4);
    EXPECT_EQ(ini.GetInt("Mixer", "fader1", -1), 88);
    EXPECT_EQ(ini.GetString("amp", "comment", "none"), "none");

    EXPECT_TRUE(ini.WriteInt("amp", "samplerate", 1));
    EXPECT_EQ(ini.GetInt("amp", "pos", -1), 4);
    EXPECT_EQ(ini.GetInt("amp", "samplerate", -1), 1);
    EXPECT_EQ(ini.GetInt("Mixer", "fader1", -1), 88);
    // Lines the reader does not understand are kept, not dropped.
    EXPECT_NE(readFile(path()).find(longLine), std::string::npos);
}

TEST_F(IniTest, ValueWithLineBreaksCannotInjectKeys)
{
    CIni ini(path());
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
    for (const auto& entry : fs::directory_iterator(m_folder))
        EXPECT_EQ(entry.path().filename().string().find("folder.ini."), std::string::npos)
            << "left behind: " << entry.path();
}

TEST_F(IniTest, ReadersNeverSeeAHalfWrittenFile)
{
    // Many keys make each rewrite long enough that an in-place rewrite would
    // be caught half done by a concurrent reader.
    CIni writer(path());
    for (int index = 0; index < 200; ++index)
        writer.WriteInt("Mixer", "key" + std::to_string(index), index);

    std::atomic<bool> stop{false};
    std::atomic<int> tornReads{0};
    std::thread reader(
        [&]
        {
            CIni readerIni(path());
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

} // namespace
