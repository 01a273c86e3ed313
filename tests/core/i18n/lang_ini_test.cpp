// The shipped data/lang.ini: every key the program looks up exists in English and Russian.
#include <gtest/gtest.h>

#include <set>

#include "base/ini_syntax.h"
#include "base/platform.h"
#include "i18n/lang_keys.h"
#include "i18n/language_file.h"

namespace brevane::i18n {
namespace {

const std::string kPath = std::string(BREVANE_SOURCE_DIR) + "/data/lang.ini";

std::string fileText() {
  std::vector<uint8_t> bytes = readFile(kPath);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ShippedLanguageFile, HasEnglishAndRussianWithAByteOrderMark) {
  std::string text = fileText();
  EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  LanguageFile f = LanguageFile::parse(text);
  EXPECT_EQ(f.sectionNames(), (std::vector<std::string>{"English", "Russian"}));
}

TEST(ShippedLanguageFile, EveryProgramKeyExistsInBothSections) {
  LanguageFile f = LanguageFile::parse(fileText());
  std::vector<std::string> keys(messageKeys().begin(), messageKeys().end());
  for (const WindowTextKey& k : windowTextKeys()) keys.push_back(elementKey(k));
  for (const char* section : {"English", "Russian"}) {
    for (const std::string& key : keys) {
      auto v = f.value(section, key);
      EXPECT_TRUE(v && !v->empty()) << section << ": " << key;
    }
    EXPECT_EQ(listItems(f.GetLangStr(section, "FilterList")).size(), 7u) << section;
    EXPECT_EQ(listItems(f.GetLangStr(section, "PositionList")).size(), 7u) << section;
    auto flag = sectionFlag(f, section);
    EXPECT_TRUE(flag.has_value()) << section;
  }
}

TEST(ShippedLanguageFile, HoldsNoKeyTheProgramDoesNotKnow) {
  std::set<std::string> known = {foldName("Flag")};
  for (std::string_view k : messageKeys()) known.insert(foldName(k));
  for (const WindowTextKey& k : windowTextKeys()) known.insert(foldName(elementKey(k)));
  std::string section;
  const std::string text = fileText();  // the lines below are views into it
  for (std::string_view line : splitIniLines(text)) {
    IniLine l = classifyIniLine(line);
    if (l.kind == IniLineKind::kSection) section = l.name;
    if (l.kind == IniLineKind::kKey) {
      EXPECT_TRUE(known.count(foldName(l.name))) << section << ": " << l.name;
    }
    EXPECT_NE(l.kind, IniLineKind::kOther) << line;
  }
}

}  // namespace
}  // namespace brevane::i18n
