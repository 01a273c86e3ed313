// Damaged Settings.ini and lang.ini files: binary garbage, a line of 100 MB, bytes that are not
// UTF-8, a byte-order mark cut short. A start never fails on them and reads every intact line.
#include <gtest/gtest.h>

#include <fstream>

#include "base/error.h"
#include "base/platform.h"
#include "i18n/language_file.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace brevane {
namespace {

struct Damage {
  const char* label;
  std::string before;  // bytes ahead of the intact lines
  std::string between; // bytes between the two intact lines
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.label; }

std::string garbage() {
  std::string g;
  uint32_t x = 12345;
  for (int i = 0; i < 4096; ++i) g += static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  return g;
}

const Damage kDamages[] = {
    {"binary_garbage", garbage() + "\n", garbage() + "\n"},
    {"nul_bytes", std::string("\0\0\0\n", 4), std::string("JPG_progressive\0=1\n\0\0\n", 22)},
    {"invalid_utf8", "\xff\xfe\xc3\n", "Rename_mask=\xc3\x28\xa0\xa1\xf0\x28\x8c\x28\n\xe0\x80\x80=1\n"},
    {"bom_cut_to_two_bytes", "\xEF\xBB", ""},
    {"bom_cut_to_one_byte", "\xEF", ""},
    {"two_marks", "\xEF\xBB\xBF\xEF\xBB\xBF\n", ""},
    {"lone_brackets_and_equals", "[\n]\n=\n==\n[[x]\n", "[\n=3\n"},
    {"utf16_lines", std::string("[\0S\0]\0\n", 7), std::string("K\0=\0\x31\0\n", 7)},
    {"carriage_returns_only", "\r\r\r", "\r\n\r\n"},
};

class DamagedFile : public ::testing::TestWithParam<Damage> {
 protected:
  std::string write(const std::string& sections) {
    std::string path = test::makeTempDir("cfg") + "file.ini";
    test::writeText(path, sections);
    return path;
  }
};

TEST_P(DamagedFile, SettingsReadTheIntactLines) {
  const Damage& d = GetParam();
  std::string path = write(d.before + "[Settings]\nJPG_quality=55\n" + d.between + "PNG_compression=3\n");
  settings::Environment env = settings::Environment::current();
  settings::AppSettings s = settings::loadSettings(settings::IniFile(path), env);
  EXPECT_EQ(s.conversion.JPG_quality, 55);
  EXPECT_EQ(s.conversion.PNG_compression, 3);
  EXPECT_EQ(s.conversion.Output_format, TConversionSettings::defaults().Output_format);
}

TEST_P(DamagedFile, LanguageFilesReadTheIntactLines) {
  const Damage& d = GetParam();
  std::string path = write(d.before + "[English]\nNoFiles=No files\n" + d.between + "Error=Oops\n");
  i18n::LanguageFile file = i18n::LanguageFile::load(path);
  EXPECT_EQ(file.GetLangStr("English", "NoFiles"), "No files");
  EXPECT_EQ(file.GetLangStr("English", "Error"), "Oops");
  for (const std::string& name : file.sectionNames()) {
    EXPECT_TRUE(file.hasSection(name));
    try {
      i18n::sectionFlag(file, name);
    } catch (const Error&) {
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedFile, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.label); });

// One file of both kinds with a line of 100 MB between intact lines; a key written afterwards
// keeps the long line as it was.
TEST(DamagedFileSize, ALineOfAHundredMegabytesIsSkippedOver) {
  std::string path = test::makeTempDir("cfg") + "big.ini";
  {
    std::ofstream f(path, std::ios::binary);
    f << "[Settings]\nJPG_quality=55\n";
    std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) f << chunk;
    f << "\nPNG_compression=3\n[English]\nNoFiles=No files\n";
  }
  settings::IniFile ini(path);
  settings::AppSettings s = settings::loadSettings(ini, settings::Environment::current());
  EXPECT_EQ(s.conversion.JPG_quality, 55);
  EXPECT_EQ(s.conversion.PNG_compression, 3);
  EXPECT_EQ(i18n::LanguageFile::load(path).GetLangStr("English", "NoFiles"), "No files");

  int64_t size = fileSize(path);
  ini.writeInteger("Settings", "JPG_quality", 60);
  EXPECT_EQ(ini.readInteger("Settings", "JPG_quality", 0), 60);
  EXPECT_EQ(ini.readInteger("Settings", "PNG_compression", 0), 3);
  EXPECT_EQ(fileSize(path), size);
}

}  // namespace
}  // namespace brevane
