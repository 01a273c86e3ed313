// The settings file with the Windows profile-file semantics.
#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/ini_syntax.h"
#include "base/platform.h"
#include "base/strings.h"

namespace brevane::settings {

std::optional<long long> parseIntegerValue(std::string_view text) {
  std::string_view t = trim(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  } else if (!t.empty() && t[0] == '$') {
    base = 16;
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  long long v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return std::nullopt;
  }
  // Hexadecimal texts are 32-bit patterns: $FFFFFFFF reads as -1.
  if (base == 16 && v > 0x7FFFFFFFLL) v -= 0x100000000LL;
  return negative ? -v : v;
}

namespace {

// One line of the raw text: its bytes with the line break, and its content for parsing.
struct RawLine {
  size_t begin = 0, end = 0;  // [begin, end) including the line break
  std::string_view content;   // without line break (and without a BOM on the first line)
  bool hasBreak = false;
};

std::vector<RawLine> rawLines(std::string_view text) {
  std::vector<RawLine> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    RawLine l;
    l.begin = pos;
    l.end = nl == std::string_view::npos ? text.size() : nl + 1;
    l.hasBreak = nl != std::string_view::npos;
    std::string_view c = text.substr(pos, (l.hasBreak ? nl : text.size()) - pos);
    if (!c.empty() && c.back() == '\r') c.remove_suffix(1);
    if (pos == 0) c = skipUtf8Bom(c);
    l.content = c;
    lines.push_back(l);
    pos = l.end;
  }
  return lines;
}

}  // namespace

std::optional<std::string> findIniValue(std::string_view text, std::string_view section, std::string_view key) {
  bool inSection = false, seenSection = false;
  std::string wantSection = foldName(section), wantKey = foldName(key);
  for (std::string_view line : splitIniLines(text)) {
    IniLine l = classifyIniLine(line);
    if (l.kind == IniLineKind::kSection) {
      // The first section of a name is the one that counts.
      if (inSection) return std::nullopt;
      inSection = !seenSection && foldName(l.name) == wantSection;
      seenSection = seenSection || inSection;
    } else if (inSection && l.kind == IniLineKind::kKey && foldName(l.name) == wantKey) {
      return std::string(l.value);
    }
  }
  return std::nullopt;
}

std::string setIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  std::vector<RawLine> lines = rawLines(text);
  size_t firstBreak = text.find('\n');
  const char* eol =
      firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r' ? "\r\n" : "\n";
  std::string newLine = std::string(key) + "=" + std::string(value);
  std::string wantSection = foldName(section), wantKey = foldName(key);

  size_t sectionLine = lines.size();  // index of the section header
  size_t lastContent = 0;             // last non-blank line inside the section
  for (size_t i = 0; i < lines.size(); ++i) {
    IniLine l = classifyIniLine(lines[i].content);
    if (sectionLine == lines.size()) {
      if (l.kind == IniLineKind::kSection && foldName(l.name) == wantSection) {
        sectionLine = i;
        lastContent = i;
      }
      continue;
    }
    if (l.kind == IniLineKind::kSection) break;
    if (l.kind == IniLineKind::kKey && foldName(l.name) == wantKey) {
      // Replace this line's content, keeping its line break (and a byte-order mark before it).
      size_t contentBegin = static_cast<size_t>(lines[i].content.data() - text.data());
      std::string out(text.substr(0, contentBegin));
      out += newLine;
      out += text.substr(contentBegin + lines[i].content.size());
      return out;
    }
    if (l.kind != IniLineKind::kBlank) lastContent = i;
  }

  std::string out;
  if (sectionLine == lines.size()) {
    out = std::string(text);
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + std::string(section) + "]" + eol + newLine + eol;
    return out;
  }
  const RawLine& after = lines[lastContent];
  out = std::string(text.substr(0, after.end));
  if (!after.hasBreak) out += eol;
  out += newLine + eol;
  out += text.substr(after.end);
  return out;
}

IniFile::IniFile(std::string path, Writer writer) : m_path(std::move(path)), m_writer(std::move(writer)) {
  if (!m_writer) m_writer = writeSettingsBytes;
}

const std::string& IniFile::contents() const {
  struct stat st;
  if (::stat(m_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    m_version = {};
    m_text.clear();
    m_index.clear();
    return m_text;
  }
  Version now{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
              static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec)};
  if (now == m_version) return m_text;
  try {
    std::vector<uint8_t> bytes = readFile(m_path);
    m_text.assign(bytes.begin(), bytes.end());
    m_version = now;
  } catch (const Error&) {
    m_version = {};
    m_text.clear();  // an unreadable file reads as defaults, like a missing one
  }
  m_index.clear();
  std::unordered_map<std::string, std::string>* current = nullptr;
  for (std::string_view line : splitIniLines(m_text)) {
    IniLine l = classifyIniLine(line);
    if (l.kind == IniLineKind::kSection) {
      auto [it, added] = m_index.try_emplace(foldName(l.name));
      current = added ? &it->second : nullptr;  // a later section of the same name does not count
    } else if (current && l.kind == IniLineKind::kKey) {
      current->try_emplace(foldName(l.name), l.value);
    }
  }
  return m_text;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  contents();
  auto s = m_index.find(foldName(section));
  if (s == m_index.end()) return std::nullopt;
  auto k = s->second.find(foldName(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const {
  auto v = value(section, key);
  return v ? *v : std::string(def);
}

int32_t IniFile::readInteger(std::string_view section, std::string_view key, int32_t def) const {
  auto v = value(section, key);
  if (!v) return def;
  auto n = parseIntegerValue(*v);
  if (!n || *n < INT32_MIN || *n > INT32_MAX) return def;
  return static_cast<int32_t>(*n);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
  auto v = value(section, key);
  if (!v) return def;
  auto n = parseIntegerValue(*v);
  if (!n || *n < INT32_MIN || *n > INT32_MAX) return def;
  return *n != 0;
}

LocalDateTime IniFile::readDate(std::string_view section, std::string_view key, const LocalDateTime& def,
                                const DateTimeFormat& fs) const {
  auto v = value(section, key);
  LocalDateTime out;
  if (!v || v->empty() || !parseShortDate(*v, fs, out)) return def;
  return out;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  std::string text = setIniValue(contents(), section, key, value);
  m_writer(m_path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int32_t value) {
  writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
  writeString(section, key, value ? "1" : "0");
}

void IniFile::writeDate(std::string_view section, std::string_view key, const LocalDateTime& value,
                        const DateTimeFormat& fs) {
  writeString(section, key, formatShortDate(value, fs));
}

void writeSettingsBytes(const std::string& path, std::span<const uint8_t> bytes) {
  if (fileExists(path) && ::access(path.c_str(), W_OK) != 0) throw Error(std::strerror(errno));
  writeFileAtomic(path, bytes, true);
}

}  // namespace brevane::settings
