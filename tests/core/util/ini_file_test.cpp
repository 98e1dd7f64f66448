#include "util/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/scoped_env.h"
#include "util/av_error.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

TEST(IniFile, LooksUpSectionsAndKeysIgnoringCaseAndKeepsValuesVerbatim) {
    const TIniFile ini = TIniFile::FromText(
        "\xEF\xBB\xBF; comment=not a key\r\n"
        "[ Profile ]\r\n"
        "  Description0 = \"quoted\" value  \r\n"
        "Empty0=\n"
        "Eq0=a=b\n"
        "Description0=second wins nothing\n"
        "[other]\n"
        "Description0=other section\n");
    EXPECT_EQ(ini.ReadString("PROFILE", "description0", "x"), " \"quoted\" value  ");
    EXPECT_EQ(ini.ReadString("profile", "EMPTY0", "x"), "");
    EXPECT_EQ(ini.ReadString("Profile", "Eq0", "x"), "a=b");
    EXPECT_EQ(ini.ReadString("Profile", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nowhere", "Description0", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Other", "Description0", ""), "other section");
    EXPECT_FALSE(ini.ValueExists("Profile", "; comment"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Profile", "other"}));
}

TEST(IniFile, NumbersBooleansAndFloats) {
    const TIniFile ini = TIniFile::FromText(
        "[s]\n"
        "i=-42\nhex=0x1F\ndollar=$10\nbad=12abc\nhuge=99999999999\nblank=\n"
        "t=1\nf=0\nt2=7\nword=true\n"
        "f1=12.2\nf2=1e3\nf3=12,2\nf4=1.2.3\n");
    EXPECT_EQ(ini.ReadInteger("s", "i", 0), -42);
    EXPECT_EQ(ini.ReadInteger("s", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("s", "dollar", 0), 16);
    EXPECT_EQ(ini.ReadInteger("s", "bad", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "huge", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "blank", 5), 5);
    EXPECT_TRUE(ini.ReadBool("s", "t", false));
    EXPECT_FALSE(ini.ReadBool("s", "f", true));
    EXPECT_TRUE(ini.ReadBool("s", "t2", false));
    EXPECT_FALSE(ini.ReadBool("s", "word", false));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f1", 0), 12.2);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f2", 0), 1000);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f3", 0), 12.2);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("s", "f4", 9), 9);
}

TEST(IniFile, WritesReplaceInPlaceAndAppendToTheRightSection) {
    TIniFile ini = TIniFile::FromText(
        "; head\n"
        "[A]\n"
        "x=1\n"
        "y=2\n"
        "\n"
        "[B]\n"
        "z=3\n");
    ini.WriteString("a", "X", "10");
    ini.WriteInteger("A", "w", 4);
    ini.WriteBool("b", "flag", true);
    ini.WriteFloat("C", "f", 0.1);
    ini.WriteString("C", "multi", "line1\r\nline2");
    EXPECT_EQ(ini.Text(),
              "; head\n"
              "[A]\n"
              "X=10\n"
              "y=2\n"
              "w=4\n"
              "\n"
              "[B]\n"
              "z=3\n"
              "flag=1\n"
              "\n"
              "[C]\n"
              "f=0.1\n"
              "multi=line1  line2\n");
}

TEST(IniFile, DeleteAndEraseAndKeyListing) {
    TIniFile ini = TIniFile::FromText("[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_EQ(ini.ReadSection("a"), (std::vector<std::string>{"x", "y"}));
    ini.DeleteKey("A", "X");
    EXPECT_FALSE(ini.ValueExists("A", "x"));
    EXPECT_TRUE(ini.ValueExists("A", "y"));
    ini.EraseSection("b");
    EXPECT_FALSE(ini.SectionExists("B"));
    EXPECT_EQ(ini.Text(), "[A]\ny=2\n");
}

TEST(IniFile, FileIsReadWrittenAndMissingFileIsEmpty) {
    test::TempFolder folder;
    const fs::path file = folder / "p.ini";
    TIniFile fresh(file);
    EXPECT_FALSE(fresh.SectionExists("Profile"));
    fresh.WriteString("Profile", "Description0", "Clip, \"one\"");
    fresh.UpdateFile();
    EXPECT_EQ(test::ReadFileBytes(file), "[Profile]\nDescription0=Clip, \"one\"\n");
    EXPECT_FALSE(fs::exists(folder / "p.ini.tmp"));

    const TIniFile again(file);
    EXPECT_EQ(again.ReadString("profile", "description0", ""), "Clip, \"one\"");
}

TEST(IniFile, UnwritableOrUnreadableFileRaises) {
    test::TempFolder folder;
    TIniFile ini(folder / "missing/dir/p.ini");
    ini.WriteInteger("A", "x", 1);
    EXPECT_THROW(ini.UpdateFile(), EAVError);
    fs::create_directory(folder / "dir.ini");
    EXPECT_THROW(TIniFile(folder / "dir.ini"), EAVError);
}

}  // namespace
}  // namespace tw
