// The language file: an in-memory INI table of texts per language section, the lookup by key,
// the flag pictures and the place of lang.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brevane::i18n {

/// The text of a message key that the current language lacks.
inline constexpr std::string_view kStringNotFound = "!Строка не найдена!";
/// Built-in errors of the language file itself (English only).
inline constexpr std::string_view kLanguageFileNotFound = "Language file not found!";
inline constexpr std::string_view kLanguageFileCorrupt = "Language file is corrupt!";
inline constexpr std::string_view kLanguageFileName = "lang.ini";

/// A language file held in memory. Each section is a language; names of sections and keys
/// compare without regard to letter case; values are the raw text to the end of the line.
class LanguageFile {
 public:
  LanguageFile() = default;

  /// Reads UTF-8 text (a byte-order mark is skipped). Blank lines, lines whose first non-blank
  /// character is ";", lines without "=" and lines before the first section are ignored. A
  /// section named twice is one section; the first value of a key counts.
  static LanguageFile parse(std::string_view text);
  /// Reads a file; throws brevane::Error(kLanguageFileNotFound) when it cannot be read.
  static LanguageFile load(const std::string& path);

  /// Section names exactly as written, in file order.
  const std::vector<std::string>& sectionNames() const { return m_names; }
  bool hasSection(std::string_view section) const;
  /// The value of a key, or none when the section or the key is missing.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  /// The text of a message key: "!Строка не найдена!" when the section or the key is missing,
  /// an empty text for a key present with an empty value.
  std::string GetLangStr(std::string_view section, std::string_view key) const;
  /// The text of a window element: the key's value, or `current` when there is none.
  std::string elementText(std::string_view section, std::string_view key, const std::string& current) const;

 private:
  std::vector<std::string> m_names;
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_sections;  // folded names
};

/// The items of a ";"-separated list text ("FilterList", "PositionList"), as the list shows
/// them: one per separator, a trailing separator adds no empty item, an empty text none.
std::vector<std::string> listItems(std::string_view text);

/// Standard base64 with white space ignored; none when a character is outside the alphabet
/// or the length or padding is wrong.
std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text);

/// The PNG bytes of a "Flag" value. Throws brevane::Error(kLanguageFileCorrupt) when the
/// text is not base64 or the bytes are not a PNG picture whose header can be read.
std::vector<uint8_t> decodeFlag(std::string_view base64);

/// The flag of a section: none when the section has no (or an empty) "Flag" value; throws
/// like decodeFlag.
std::optional<std::vector<uint8_t>> sectionFlag(const LanguageFile& file, std::string_view section);

/// lang.ini in the program folder, else in ../share/brevane/ beside it; "" when neither exists.
std::string findLanguageFile(const std::string& programFolder);
/// findLanguageFile for the running executable.
std::string languageFilePath();

/// A built-in text in two versions: Russian only when `lang` is exactly "Russian".
inline std::string_view textForLanguage(std::string_view lang, std::string_view english, std::string_view russian) {
  return lang == "Russian" ? russian : english;
}

}  // namespace brevane::i18n
