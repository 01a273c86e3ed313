// The settings file: line editing that keeps the rest of the file, lookups and typed values.
#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error.h"
#include "support/test_support.h"

namespace brevane::settings {
namespace {

struct EditCase {
  const char* name;
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

class SetIniValueTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(SetIniValueTest, EditsOnlyTheKeyLine) {
  const EditCase& c = GetParam();
  EXPECT_EQ(setIniValue(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetIniValueTest,
    ::testing::Values(EditCase{"CreatesFile", "", "Settings", "Threads", "4", "[Settings]\nThreads=4\n"},
                      EditCase{"ReplacesWithoutCase", "; note\n[settings]\n  THREADS = 2\nExif=1\n", "Settings",
                               "Threads", "4", "; note\n[settings]\nThreads=4\nExif=1\n"},
                      EditCase{"AddsAfterLastKeyOfSection", "[Settings]\nA=1\n\n[Other]\nB=2\n", "Settings", "C", "3",
                               "[Settings]\nA=1\nC=3\n\n[Other]\nB=2\n"},
                      EditCase{"AppendsSection", "[Settings]\nA=1", "Text_Font", "Font", "Arial,0,0,1,0",
                               "[Settings]\nA=1\n[Text_Font]\nFont=Arial,0,0,1,0\n"},
                      EditCase{"KeepsCrlfAndBom", "\xEF\xBB\xBF[Settings]\r\nA=1\r\nB=2\r\n", "Settings", "A", "x",
                               "\xEF\xBB\xBF[Settings]\r\nA=x\r\nB=2\r\n"},
                      EditCase{"NewLineTakesCrlf", "[S]\r\nA=1\r\n", "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n"},
                      EditCase{"FirstSectionOfANameCounts", "[S]\nA=1\n[T]\n[s]\nA=2\n", "S", "A", "9",
                               "[S]\nA=9\n[T]\n[s]\nA=2\n"},
                      EditCase{"KeysBeforeAnySectionAreNotMatched", "A=0\n[S]\n", "S", "A", "1", "A=0\n[S]\nA=1\n"},
                      EditCase{"ValueIsRaw", "[S]\n", "S", "Output_path", "C:\\out\\ \"x\"=y",
                               "[S]\nOutput_path=C:\\out\\ \"x\"=y\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindIniValue, MatchesWithoutCaseAndReadsToTheEndOfTheLine) {
  const char* text = "\xEF\xBB\xBFTop=0\n[SETTINGS]\r\n rename_mask = [N]=x;y \r\n[Settings]\nExif=1\n";
  EXPECT_EQ(findIniValue(text, "settings", "Rename_Mask"), "[N]=x;y");
  EXPECT_EQ(findIniValue(text, "Settings", "Top"), std::nullopt);
  EXPECT_EQ(findIniValue(text, "Settings", "Exif"), std::nullopt);  // only the first [Settings] counts
  EXPECT_EQ(findIniValue(text, "Missing", "X"), std::nullopt);
}

TEST(IniFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  std::string dir = test::makeTempDir("ini");
  IniFile ini(dir + "Settings.ini");
  EXPECT_EQ(ini.readInteger("Settings", "Threads", 7), 7);
  EXPECT_EQ(ini.readString("Settings", "Output_path", "def"), "def");
  EXPECT_TRUE(ini.readBool("Settings", "Exif", true));
  ini.writeInteger("Settings", "Threads", 3);
  ini.writeString("Settings", "Output_path", "/home/u/Выход/\nInjected=1");
  std::vector<uint8_t> bytes = test::readBytes(dir + "Settings.ini");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[Settings]\nThreads=3\nOutput_path=/home/u/Выход/\n");
  EXPECT_EQ(ini.readInteger("settings", "threads", 7), 3);
  EXPECT_EQ(ini.readString("Settings", "Output_path", ""), "/home/u/Выход/");
  EXPECT_EQ(ini.value("Settings", "Injected"), std::nullopt);
}

struct TypedCase {
  const char* text;
  int32_t integer;  // readInteger with default -7
  int boolean;      // readBool with default true: 0, 1
};

class TypedReadTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedReadTest, IntegersAndBooleans) {
  std::string dir = test::makeTempDir("ini");
  test::writeText(dir + "s.ini", std::string("[S]\nK=") + GetParam().text + "\n");
  IniFile ini(dir + "s.ini");
  EXPECT_EQ(ini.readInteger("S", "K", -7), GetParam().integer);
  EXPECT_EQ(ini.readBool("S", "K", true), GetParam().boolean != 0);
}

INSTANTIATE_TEST_SUITE_P(Values, TypedReadTest,
                         ::testing::Values(TypedCase{"42", 42, 1}, TypedCase{"0", 0, 0}, TypedCase{"-12", -12, 1},
                                           TypedCase{"0x1F", 31, 1}, TypedCase{"$ff", 255, 1},
                                           TypedCase{"$FFFFFFFF", -1, 1}, TypedCase{"12a", -7, 1}, TypedCase{"", -7, 1},
                                           TypedCase{"0x", -7, 1}, TypedCase{"3000000000", -7, 1},
                                           TypedCase{"1.5", -7, 1}));

TEST(IniFile, DatesUseTheShortDateFormat) {
  std::string dir = test::makeTempDir("ini");
  IniFile ini(dir + "s.ini");
  DateTimeFormat fs;
  fs.shortDate = "%d/%m/%Y";
  fs.dateSeparator = '.';
  LocalDateTime t{2024, 3, 9, 15, 30, 5, 0};
  ini.writeDate("Settings", "LastUpdateDate", t, fs);
  EXPECT_EQ(ini.readString("Settings", "LastUpdateDate", ""), "09.03.2024");
  LocalDateTime read = ini.readDate("Settings", "LastUpdateDate", LocalDateTime{}, fs);
  EXPECT_EQ(read.year, 2024);
  EXPECT_EQ(read.month, 3);
  EXPECT_EQ(read.day, 9);
  EXPECT_EQ(read.hour, 0);
  LocalDateTime def{2000, 1, 2};
  ini.writeString("Settings", "LastUpdateDate", "31.02.2024");
  EXPECT_EQ(ini.readDate("Settings", "LastUpdateDate", def, fs).year, 2000);
  ini.writeString("Settings", "LastUpdateDate", "");
  EXPECT_EQ(ini.readDate("Settings", "LastUpdateDate", def, fs).year, 2000);
}

TEST(IniFile, WriteIntoAFolderThatIsAFileFails) {
  std::string dir = test::makeTempDir("ini");
  test::writeText(dir + "Brevane", "not a folder");
  IniFile ini(dir + "Brevane/Settings.ini");
  EXPECT_THROW(ini.writeInteger("Settings", "Threads", 1), Error);
  EXPECT_EQ(ini.readInteger("Settings", "Threads", 5), 5);
}

TEST(IniFile, ReadOnlyFileIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write read-only files";
  std::string dir = test::makeTempDir("ini");
  test::writeText(dir + "s.ini", "[Settings]\nThreads=2\n");
  ASSERT_EQ(chmod((dir + "s.ini").c_str(), 0444), 0);
  IniFile ini(dir + "s.ini");
  EXPECT_THROW(ini.writeInteger("Settings", "Threads", 4), Error);
  EXPECT_EQ(ini.readInteger("Settings", "Threads", 0), 2);
}

}  // namespace
}  // namespace brevane::settings
