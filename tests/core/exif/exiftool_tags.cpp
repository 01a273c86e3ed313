// exiftool as an independent reader of the Exif tests, and the camera JPEGs of the corpus.
#include "core/exif/exiftool_tags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/strings.h"
#include "support/test_support.h"

namespace brevane::test {

namespace {

// A small reader for exiftool's JSON: an array of flat objects. Strings are unescaped; numbers,
// literals, arrays and objects are kept as their text.
class Json {
 public:
  explicit Json(const std::string& text) : m_s(text) {}
  using Object = ExiftoolTags;

  bool parseArray(std::vector<Object>& out) {
    skip();
    if (!eat('[')) return false;
    skip();
    if (eat(']')) return true;
    for (;;) {
      Object o;
      if (!parseObject(o)) return false;
      out.push_back(std::move(o));
      skip();
      if (eat(']')) return true;
      if (!eat(',')) return false;
    }
  }

 private:
  bool parseObject(Object& o) {
    skip();
    if (!eat('{')) return false;
    skip();
    if (eat('}')) return true;
    for (;;) {
      std::string key, value;
      skip();
      if (!parseString(key)) return false;
      skip();
      if (!eat(':')) return false;
      skip();
      if (!parseValue(value)) return false;
      o.emplace_back(std::move(key), std::move(value));
      skip();
      if (eat('}')) return true;
      if (!eat(',')) return false;
    }
  }
  bool parseValue(std::string& v) {
    if (m_p < m_s.size() && m_s[m_p] == '"') return parseString(v);
    size_t start = m_p;
    int depth = 0;
    bool inString = false;
    for (; m_p < m_s.size(); ++m_p) {
      char c = m_s[m_p];
      if (inString) {
        if (c == '\\')
          ++m_p;
        else if (c == '"')
          inString = false;
        continue;
      }
      if (c == '"')
        inString = true;
      else if (c == '[' || c == '{')
        ++depth;
      else if (c == ']' || c == '}') {
        if (depth == 0) break;
        --depth;
      } else if (c == ',' && depth == 0)
        break;
    }
    v = m_s.substr(start, m_p - start);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\n' || v.back() == '\r')) v.pop_back();
    return true;
  }
  bool parseString(std::string& v) {
    if (!eat('"')) return false;
    v.clear();
    while (m_p < m_s.size() && m_s[m_p] != '"') {
      char c = m_s[m_p++];
      if (c == '\\' && m_p < m_s.size()) {
        char e = m_s[m_p++];
        switch (e) {
          case 'n': v += '\n'; break;
          case 't': v += '\t'; break;
          case 'r': v += '\r'; break;
          case 'b': v += '\b'; break;
          case 'f': v += '\f'; break;
          case 'u': v += "\\u" + m_s.substr(m_p, 4), m_p += 4; break;  // kept escaped: compared, not shown
          default: v += e; break;
        }
      } else {
        v += c;
      }
    }
    return eat('"');
  }
  void skip() {
    while (m_p < m_s.size() && (m_s[m_p] == ' ' || m_s[m_p] == '\n' || m_s[m_p] == '\r' || m_s[m_p] == '\t')) ++m_p;
  }
  bool eat(char c) {
    if (m_p < m_s.size() && m_s[m_p] == c) {
      ++m_p;
      return true;
    }
    return false;
  }
  const std::string& m_s;
  size_t m_p = 0;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

bool haveExiftool() {
  return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

std::map<std::string, ExiftoolTags> readTags(const std::vector<std::string>& files) {
  std::string cmd = "exiftool -j -G0:1 -a -s -n -b -q -q";
  for (const std::string& f : files) cmd += " " + quote(f);
  cmd += " 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
  }
  std::vector<ExiftoolTags> objects;
  std::map<std::string, ExiftoolTags> result;
  if (!Json(out).parseArray(objects)) {
    ADD_FAILURE() << "exiftool gave no readable JSON";
    return result;
  }
  for (ExiftoolTags& o : objects) {
    auto source = std::find_if(o.begin(), o.end(), [](const auto& kv) { return kv.first == "SourceFile"; });
    if (source != o.end()) result[source->second] = std::move(o);
  }
  return result;
}

std::vector<std::string> cameraFiles() {
  std::vector<std::string> files;
  std::string root = test::testdata("exif");
  if (root.empty() || !std::filesystem::is_directory(root)) return files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::string path = e.path().string();
    std::string ext = toUpper(e.path().extension().string());
    // preview/ holds thumbnails extracted from the camera files, not camera files.
    if ((ext == ".JPG" || ext == ".JPEG") && path.find("/preview/") == std::string::npos) files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string tagValue(const ExiftoolTags& tags, const std::string& key) {
  for (const auto& kv : tags)
    if (kv.first == key) return kv.second;
  return "<absent>";
}

}  // namespace brevane::test
