// The language file reader, the lookup, list texts, flags and where lang.ini is found.
#include "i18n/language_file.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/platform.h"
#include "support/test_support.h"

namespace brevane::i18n {
namespace {

constexpr const char* kText =
    "Orphan=before any section\n"
    "[English]\n"
    "; a comment\n"
    "  NoFiles =  No files here  \r\n"
    "Empty=\n"
    "Formula=a=b;c\n"
    "not a key line\n"
    "[Русский]\n"
    "NoFiles=Нет файлов\n"
    "[english]\n"
    "NoFiles=second value\n"
    "Extra=merged\n";

TEST(LanguageFile, SectionsKeysCommentsAndTrimming) {
  LanguageFile f = LanguageFile::parse(kText);
  EXPECT_EQ(f.sectionNames(), (std::vector<std::string>{"English", "Русский"}));
  EXPECT_EQ(f.GetLangStr("English", "NoFiles"), "No files here");
  EXPECT_EQ(f.GetLangStr("ENGLISH", "nofiles"), "No files here");
  EXPECT_EQ(f.GetLangStr("русский", "NOFILES"), "Нет файлов");
  EXPECT_EQ(f.GetLangStr("English", "Formula"), "a=b;c");
  EXPECT_EQ(f.GetLangStr("English", "Extra"), "merged");  // a repeated section adds to the first
  EXPECT_EQ(f.GetLangStr("English", "Empty"), "");
  EXPECT_EQ(f.GetLangStr("English", "Orphan"), kStringNotFound);
  EXPECT_EQ(f.GetLangStr("English", "; a comment"), kStringNotFound);
  EXPECT_EQ(f.GetLangStr("German", "NoFiles"), "!Строка не найдена!");
  EXPECT_EQ(f.elementText("English", "Missing", "built-in"), "built-in");
  EXPECT_EQ(f.elementText("English", "Empty", "built-in"), "");
}

TEST(LanguageFile, Utf8WithAndWithoutByteOrderMark) {
  std::string body = "[Russian]\nError=Ошибка\n";
  for (const std::string& text : {body, "\xEF\xBB\xBF" + body}) {
    LanguageFile f = LanguageFile::parse(text);
    ASSERT_EQ(f.sectionNames(), std::vector<std::string>{"Russian"});
    EXPECT_EQ(f.GetLangStr("Russian", "Error"), "Ошибка");
  }
}

TEST(LanguageFile, MissingFileIsReported) {
  std::string dir = test::makeTempDir("lang");
  try {
    LanguageFile::load(dir + "lang.ini");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Language file not found!");
  }
  test::writeText(dir + "lang.ini", "[A]\nK=v\n");
  EXPECT_EQ(LanguageFile::load(dir + "lang.ini").GetLangStr("a", "k"), "v");
}

TEST(LanguageFile, ListItems) {
  using V = std::vector<std::string>;
  EXPECT_EQ(listItems("a;b;c"), (V{"a", "b", "c"}));
  EXPECT_EQ(listItems("a;;b;"), (V{"a", "", "b"}));
  EXPECT_EQ(listItems(""), V{});
  EXPECT_EQ(listItems(kStringNotFound), V{std::string(kStringNotFound)});
}

// A 1 x 1 grey PNG.
constexpr const char* kTinyPng =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNoAAAAggCB\n  d81ytgAAAABJRU5ErkJggg==";

TEST(Flag, DecodesBase64WithWhiteSpaceIntoPng) {
  std::vector<uint8_t> png = decodeFlag(kTinyPng);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  LanguageFile f = LanguageFile::parse(
      std::string("[A]\nFlag=") +
      "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNoAAAAggCBd81ytgAAAABJRU5ErkJggg==" +
      "\n[B]\nName=x\n[C]\nFlag=\n");
  EXPECT_TRUE(sectionFlag(f, "A").has_value());
  EXPECT_FALSE(sectionFlag(f, "B").has_value());
  EXPECT_FALSE(sectionFlag(f, "C").has_value());
}

TEST(Flag, CorruptFlagsAreReported) {
  for (const char* text : {
           "not*base64",                                    // outside the alphabet
           "SGVsbG8gd29ybGQ=",                              // base64 of text, not a PNG
           "iVBORw0KGgoAAAANSUhEUgAA",                      // signature and a cut header
           "iVBORw0KGgoAAAANSUhEUgAAAAAAAAABCAAAAADVvPBr",  // zero width
           "iVBORw0KGgo=A",                                 // data after padding
       }) {
    try {
      decodeFlag(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Language file is corrupt!");
    }
  }
}

TEST(LanguageFilePath, ProgramFolderFirstThenShare) {
  std::string root = test::makeTempDir("langpath");
  std::string bin = root + "bin/";
  ASSERT_TRUE(createDirectories(root + "share/brevane"));
  ASSERT_TRUE(createDirectories(bin));
  EXPECT_EQ(findLanguageFile(bin), "");
  test::writeText(root + "share/brevane/lang.ini", "[E]\n");
  EXPECT_EQ(findLanguageFile(bin), bin + "../share/brevane/lang.ini");
  test::writeText(bin + "lang.ini", "[E]\n");
  EXPECT_EQ(findLanguageFile(bin), bin + "lang.ini");
}

}  // namespace
}  // namespace brevane::i18n
