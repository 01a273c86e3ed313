// The input list's rows and rules.
#include "engine/input_list.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/registry.h"

namespace brevane {

namespace {

// A cell upper-cased letter by letter (any script the C library's locale knows, so Cyrillic
// names sort as their capitals do), as code points. Bytes that are not UTF-8 stand for
// themselves above the Unicode range, so every cell has a key.
std::u32string upperKey(const std::string& cell) {
  std::u32string out;
  out.reserve(cell.size());
  size_t i = 0;
  while (i < cell.size()) {
    auto b = static_cast<unsigned char>(cell[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    char32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1f) : extra == 2 ? (b & 0x0f) : (b & 0x07);
    bool ok = extra >= 0 && i + static_cast<size_t>(extra) < cell.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto c = static_cast<unsigned char>(cell[i + static_cast<size_t>(k)]);
      if ((c & 0xc0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3f);
    }
    if (!ok) {
      out.push_back(0x110000 + b);
      ++i;
      continue;
    }
    i += static_cast<size_t>(extra) + 1;
    out.push_back(static_cast<char32_t>(std::towupper(static_cast<wint_t>(cp))));
  }
  return out;
}

int64_t kibOf(const std::string& cell) {
  std::string t = cell;
  if (size_t p = t.find(" KiB"); p != std::string::npos) t.erase(p, 4);
  try {
    return std::stoll(t);
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t areaOf(const std::string& cell) {
  auto [w, h] = parseImageSizeCell(cell);
  return w * h;
}

template <typename T>
int sign(const T& x, const T& y) {
  return x > y ? 1 : (x < y ? -1 : 0);
}

}  // namespace

std::string sizeCell(int64_t bytes) {
  return std::to_string(bytes / 1024) + " KiB";
}

std::string imageSizeCell(int width, int height) {
  if (width < 0 || height < 0 || (width == 0 && height == 0)) return "0x0";
  return std::to_string(width) + "x" + std::to_string(height);
}

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
    if (s.empty() || s.size() > 9) return false;
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

bool wantsPixelSize(const std::string& fullPath) {
  // A FIFO or device named like a picture would block whoever opens it.
  return isRegularFile(fullPath) && !codecs::isRawExtension(extensionOf(namePart(fullPath)));
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
  if (!m_collate)
    m_collate = [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()); };
}

std::optional<size_t> InputList::addfile(const std::string& fullPath) {
  auto row = std::make_unique<InputRow>();
  row->path = folderPart(fullPath);
  row->name = namePart(fullPath);
  const std::string key = row->path + row->name;
  if (m_index.count(key)) return std::nullopt;
  std::string ext = extensionOf(row->name);
  row->type = toUpper(ext.empty() ? ext : ext.substr(1));
  row->size = sizeCell(isRegularFile(fullPath) ? fileSize(fullPath) : -1);
  if (!wantsPixelSize(fullPath)) {
    row->imageSize = "0x0";
  } else if (m_pixelSize) {
    auto [w, h] = m_pixelSize(fullPath);
    row->imageSize = imageSizeCell(w, h);
  }

  if (!m_sortedByPath) sortByPath();
  // After every row whose Path cell does not sort after this one: the rows of one folder stay
  // in the order they were added.
  auto at = std::upper_bound(
      m_rows.begin(), m_rows.end(), row->path,
      [this](const std::string& path, const std::unique_ptr<InputRow>& r) { return m_collate(path, r->path) < 0; });
  InputRow* raw = row.get();
  at = m_rows.insert(at, std::move(row));
  m_index.emplace(key, raw);
  return static_cast<size_t>(at - m_rows.begin());
}

bool InputList::setImageSize(const std::string& fullPath, int width, int height) {
  auto it = m_index.find(fullPath);
  if (it == m_index.end()) return false;
  it->second->imageSize = imageSizeCell(width, height);
  return true;
}

const InputRow* InputList::find(const std::string& fullPath) const {
  auto it = m_index.find(fullPath);
  return it == m_index.end() ? nullptr : it->second;
}

void InputList::removeRows(const std::vector<size_t>& indexes) {
  std::vector<bool> gone(m_rows.size(), false);
  for (size_t i : indexes)
    if (i < m_rows.size()) gone[i] = true;
  size_t out = 0;
  for (size_t i = 0; i < m_rows.size(); ++i) {
    if (gone[i]) {
      m_index.erase(m_rows[i]->fullPath());
    } else {
      m_rows[out++] = std::move(m_rows[i]);
    }
  }
  m_rows.resize(out);
}

void InputList::clear() {
  m_rows.clear();
  m_index.clear();
  m_sortedByPath = true;
}

void InputList::sortByPath() {
  std::stable_sort(m_rows.begin(), m_rows.end(),
                   [this](const std::unique_ptr<InputRow>& a, const std::unique_ptr<InputRow>& b) {
                     return m_collate(a->path, b->path) < 0;
                   });
  m_sortedByPath = true;
}

int compareRows(const InputRow& a, const InputRow& b, InputColumn column, int direction) {
  int c = 0;
  switch (column) {
    case InputColumn::kPath: c = sign(upperKey(a.path), upperKey(b.path)); break;
    case InputColumn::kName: c = sign(upperKey(a.name), upperKey(b.name)); break;
    case InputColumn::kType: c = sign(upperKey(a.type), upperKey(b.type)); break;
    case InputColumn::kSize: c = sign(kibOf(a.size), kibOf(b.size)); break;
    case InputColumn::kImageSize: c = sign(areaOf(a.imageSize), areaOf(b.imageSize)); break;
  }
  return c * direction;
}

void InputList::sortByColumn(InputColumn column) {
  m_direction = -m_direction;
  // Each row's key is computed once; a row goes first when the comparison with the other row
  // is negative, as compareRows gives it.
  struct Keyed {
    std::u32string text;
    int64_t number = 0;
    std::unique_ptr<InputRow> row;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(m_rows.size());
  for (auto& r : m_rows) {
    Keyed k;
    switch (column) {
      case InputColumn::kPath: k.text = upperKey(r->path); break;
      case InputColumn::kName: k.text = upperKey(r->name); break;
      case InputColumn::kType: k.text = upperKey(r->type); break;
      case InputColumn::kSize: k.number = kibOf(r->size); break;
      case InputColumn::kImageSize: k.number = areaOf(r->imageSize); break;
    }
    k.row = std::move(r);
    keyed.push_back(std::move(k));
  }
  const int d = m_direction;
  std::stable_sort(keyed.begin(), keyed.end(), [d](const Keyed& a, const Keyed& b) {
    int c = a.text != b.text ? sign(a.text, b.text) : sign(a.number, b.number);
    return c * d < 0;
  });
  for (size_t i = 0; i < keyed.size(); ++i) m_rows[i] = std::move(keyed[i].row);
  m_sortedByPath = false;
}

std::vector<std::string> InputList::paths() const {
  std::vector<std::string> out;
  out.reserve(m_rows.size());
  for (const auto& r : m_rows) out.push_back(r->fullPath());
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
