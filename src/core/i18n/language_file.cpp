// The language file reader, the lookup, flags and the lang.ini path.
#include "i18n/language_file.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"

namespace brevane::i18n {

LanguageFile LanguageFile::parse(std::string_view text) {
  LanguageFile file;
  std::unordered_map<std::string, std::string>* current = nullptr;
  for (std::string_view line : splitIniLines(text)) {
    IniLine l = classifyIniLine(line);
    if (l.kind == IniLineKind::kSection) {
      std::string folded = foldName(l.name);
      auto [it, added] = file.m_sections.try_emplace(folded);
      if (added) file.m_names.emplace_back(l.name);
      current = &it->second;
    } else if (l.kind == IniLineKind::kKey && current) {
      current->try_emplace(foldName(l.name), l.value);
    }
  }
  return file;
}

LanguageFile LanguageFile::load(const std::string& path) {
  if (!isRegularFile(path)) throw Error(std::string(kLanguageFileNotFound));
  std::vector<uint8_t> bytes;
  try {
    bytes = readFile(path);
  } catch (const Error&) {
    throw Error(std::string(kLanguageFileNotFound));
  }
  return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool LanguageFile::hasSection(std::string_view section) const {
  return m_sections.count(foldName(section)) != 0;
}

std::optional<std::string> LanguageFile::value(std::string_view section, std::string_view key) const {
  auto s = m_sections.find(foldName(section));
  if (s == m_sections.end()) return std::nullopt;
  auto k = s->second.find(foldName(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::string LanguageFile::GetLangStr(std::string_view section, std::string_view key) const {
  auto v = value(section, key);
  return v ? *v : std::string(kStringNotFound);
}

std::string LanguageFile::elementText(std::string_view section, std::string_view key,
                                      const std::string& current) const {
  auto v = value(section, key);
  return v ? *v : current;
}

std::vector<std::string> listItems(std::string_view text) {
  std::vector<std::string> items;
  while (!text.empty()) {
    size_t sep = text.find(';');
    items.emplace_back(text.substr(0, sep));
    if (sep == std::string_view::npos) break;
    text.remove_prefix(sep + 1);
  }
  return items;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0, padding = 0;
  size_t symbols = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') continue;
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else if (c == '=') {
      ++padding;
      ++symbols;
      continue;
    } else
      return std::nullopt;
    if (padding) return std::nullopt;  // data after padding
    ++symbols;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(acc >> bits));
    }
  }
  // Padded input comes in groups of four; unpadded input may stop after 2 or 3 symbols.
  if (padding > 2 || (padding && symbols % 4 != 0) || symbols % 4 == 1) return std::nullopt;
  return out;
}

namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, length);
  src->pos += length;
}

void ignoreWarning(png_structp, png_const_charp) {}

// libpng reports failures by longjmp; nothing with a destructor lives in this frame.
bool pngHeaderReadable(MemorySource* src) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, src, readFromMemory);
  png_read_info(png, info);
  bool ok = png_get_image_width(png, info) > 0 && png_get_image_height(png, info) > 0;
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

}  // namespace

std::vector<uint8_t> decodeFlag(std::string_view base64) {
  auto bytes = decodeBase64(base64);
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!bytes || bytes->size() < 8 || std::memcmp(bytes->data(), kSignature, 8) != 0)
    throw Error(std::string(kLanguageFileCorrupt));
  MemorySource src{bytes->data(), bytes->size(), 0};
  if (!pngHeaderReadable(&src)) throw Error(std::string(kLanguageFileCorrupt));
  return std::move(*bytes);
}

std::optional<std::vector<uint8_t>> sectionFlag(const LanguageFile& file, std::string_view section) {
  auto text = file.value(section, "Flag");
  if (!text || text->empty()) return std::nullopt;
  return decodeFlag(*text);
}

std::string findLanguageFile(const std::string& programFolder) {
  for (const std::string& candidate : {programFolder + std::string(kLanguageFileName),
                                       programFolder + "../share/brevane/" + std::string(kLanguageFileName)})
    if (isRegularFile(candidate)) return candidate;
  return {};
}

std::string languageFilePath() {
  return findLanguageFile(programFolder());
}

}  // namespace brevane::i18n
