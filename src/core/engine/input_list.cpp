// The input list's rows and rules.
#include "engine/input_list.h"

#include <algorithm>
#include <cstring>

#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/registry.h"

namespace brevane {

std::string sizeCell(int64_t bytes) { return std::to_string(bytes / 1024) + " KiB"; }

std::pair<int64_t, int64_t> parseImageSizeCell(const std::string& cell) {
  const std::pair<int64_t, int64_t> bad{-1, -1};
  if (cell.size() < 4) return bad;
  std::string t;
  for (char c : cell)
    if (c != ' ') t += c;
  size_t x = t.find('x');
  if (x == std::string::npos) return bad;
  std::string w = t.substr(0, x), h = t.substr(x + 1);
  if (size_t paren = h.find('('); paren != std::string::npos) h.erase(paren);
  auto number = [](const std::string& s, int64_t& out) {
    if (s.empty() || s.size() > 18) return false;
    out = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      out = out * 10 + (c - '0');
    }
    return true;
  };
  int64_t wv = 0, hv = 0;
  if (!number(w, wv) || !number(h, hv)) return bad;
  return {wv, hv};
}

std::pair<int, int> decodedPixelSize(const std::string& path) {
  try {
    codecs::DecodedImage image = codecs::loadImage(path);
    return {image.width, image.height};
  } catch (const std::exception&) {
    return {0, 0};
  }
}

InputList::InputList(PixelSizeFn pixelSize, Collate collate)
    : m_pixelSize(std::move(pixelSize)), m_collate(std::move(collate)) {
  if (!m_collate) m_collate = [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()); };
}

bool InputList::addfile(const std::string& fullPath) {
  InputRow row;
  row.path = folderPart(fullPath);
  row.name = namePart(fullPath);
  for (const InputRow& r : m_rows)
    if (r.path == row.path && r.name == row.name) return false;
  std::string ext = extensionOf(row.name);
  row.type = toUpper(ext.empty() ? ext : ext.substr(1));
  row.size = sizeCell(fileSize(fullPath));
  row.imageSize = "0x0";
  if (fileExists(fullPath) && !codecs::isRawExtension(ext) && m_pixelSize) {
    auto [w, h] = m_pixelSize(fullPath);
    if (w > 0 || h > 0) row.imageSize = std::to_string(w) + "x" + std::to_string(h);
  }
  m_rows.push_back(std::move(row));
  sortByPath();
  return true;
}

void InputList::removeRows(std::vector<size_t> indexes) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
    if (*it < m_rows.size()) m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(*it));
}

void InputList::sortByPath() {
  std::stable_sort(m_rows.begin(), m_rows.end(),
                   [this](const InputRow& a, const InputRow& b) { return m_collate(a.path, b.path) < 0; });
}

int InputList::compare(const InputRow& a, const InputRow& b, InputColumn column) const {
  auto sign = [](auto x, auto y) { return x > y ? 1 : (x < y ? -1 : 0); };
  switch (column) {
    case InputColumn::kPath: return sign(toUpper(a.path), toUpper(b.path));
    case InputColumn::kName: return sign(toUpper(a.name), toUpper(b.name));
    case InputColumn::kType: return sign(toUpper(a.type), toUpper(b.type));
    case InputColumn::kSize: {
      auto kib = [](const std::string& cell) {
        std::string t = cell;
        if (size_t p = t.find(" KiB"); p != std::string::npos) t.erase(p, 4);
        try {
          return std::stoll(t);
        } catch (const std::exception&) {
          return 0LL;
        }
      };
      return sign(kib(a.size), kib(b.size));
    }
    case InputColumn::kImageSize: {
      auto area = [](const std::string& cell) {
        auto [w, h] = parseImageSizeCell(cell);
        return w * h;
      };
      return sign(area(a.imageSize), area(b.imageSize));
    }
  }
  return 0;
}

void InputList::sortByColumn(InputColumn column) {
  m_direction = -m_direction;
  // The comparison returns the direction when the first key is greater: a row goes first
  // when the comparison with the other row is negative.
  std::stable_sort(m_rows.begin(), m_rows.end(), [&](const InputRow& a, const InputRow& b) {
    return m_direction * compare(a, b, column) < 0;
  });
}

std::vector<std::string> InputList::paths() const {
  std::vector<std::string> out;
  out.reserve(m_rows.size());
  for (const InputRow& r : m_rows) out.push_back(r.fullPath());
  return out;
}

std::string nameColumnHeader(const std::string& nameColumnText, size_t rows) {
  return nameColumnText + " (" + std::to_string(rows) + ")";
}

ListCommandState listCommandState(size_t rows, bool anySelected, bool adding, bool convertWasEnabled) {
  ListCommandState s;
  s.addFolder = !adding;
  s.convertToolButton = s.clearList = s.selectAll = rows > 0;
  if (rows == 0)
    s.convertButton = false;
  else
    s.convertButton = adding ? convertWasEnabled : true;
  s.deleteSelected = rows > 0 && anySelected;
  return s;
}

}  // namespace brevane
