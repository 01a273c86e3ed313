// Octree colour quantiser with Floyd-Steinberg error diffusion.
#include "codecs/quantizer.h"

#include <algorithm>
#include <array>

#include "base/error.h"

namespace brevane::codecs {
namespace {

constexpr int kDepth = 8;  // bits of colour resolution: leaves at level 8 hold exact colours

class Octree {
 public:
  explicit Octree(int maxColours) : m_max(maxColours) {
    m_nodes.reserve(4096);
    newNode(0);
  }

  void add(uint8_t r, uint8_t g, uint8_t b, uint32_t n) {
    int idx = 0;
    for (int level = 0;; ++level) {
      if (m_nodes[idx].leaf) {
        Node& leaf = m_nodes[idx];
        leaf.r += uint64_t{r} * n, leaf.g += uint64_t{g} * n, leaf.b += uint64_t{b} * n, leaf.count += n;
        break;
      }
      int c = childOf(r, g, b, level);
      int next = m_nodes[idx].child[c];
      if (next < 0) {
        next = newNode(level + 1);
        m_nodes[idx].child[c] = next;
      }
      idx = next;
    }
    while (m_leaves > m_max) reduce();
  }

  // Gives every leaf its palette index and colour (the mean of its pixels).
  std::vector<PaletteEntry> palette() {
    std::vector<PaletteEntry> out;
    for (Node& n : m_nodes) {
      if (!n.leaf || n.merged || n.count == 0) continue;
      n.index = static_cast<int>(out.size());
      auto mean = [&](uint64_t sum) { return static_cast<uint8_t>((sum + n.count / 2) / n.count); };
      out.push_back({mean(n.b), mean(n.g), mean(n.r), 0});
    }
    return out;
  }

  // The leaf a colour falls in, or -1 when its branch does not exist.
  int lookup(uint8_t r, uint8_t g, uint8_t b) const {
    int idx = 0;
    for (int level = 0;; ++level) {
      const Node& n = m_nodes[idx];
      if (n.leaf) return n.index;
      idx = n.child[childOf(r, g, b, level)];
      if (idx < 0) return -1;
    }
  }

 private:
  struct Node {
    uint64_t r = 0, g = 0, b = 0;
    uint64_t count = 0;
    std::array<int32_t, 8> child{-1, -1, -1, -1, -1, -1, -1, -1};
    int index = -1;
    bool leaf = false;
    bool merged = false;  // folded into its parent
  };

  static int childOf(uint8_t r, uint8_t g, uint8_t b, int level) {
    int bit = 7 - level;
    return (((r >> bit) & 1) << 2) | (((g >> bit) & 1) << 1) | ((b >> bit) & 1);
  }

  int newNode(int level) {
    int id = static_cast<int>(m_nodes.size());
    m_nodes.emplace_back();
    if (level == kDepth) {
      m_nodes.back().leaf = true;
      ++m_leaves;
    } else {
      m_reducible[level].push_back(id);
    }
    return id;
  }

  // Folds the children of the most recent node at the deepest level that has children; all of
  // them are leaves because nothing deeper is left to fold.
  void reduce() {
    int level = kDepth - 1;
    while (level > 0 && m_reducible[level].empty()) --level;
    if (m_reducible[level].empty()) return;
    int id = m_reducible[level].back();
    m_reducible[level].pop_back();
    int children = 0;
    Node& n = m_nodes[id];
    for (int32_t& c : n.child) {
      if (c < 0) continue;
      Node& child = m_nodes[c];
      n.r += child.r, n.g += child.g, n.b += child.b, n.count += child.count;
      child.merged = true;
      c = -1;
      ++children;
    }
    n.leaf = true;
    m_leaves -= children - 1;
  }

  int m_max;
  int m_leaves = 0;
  std::vector<Node> m_nodes;
  std::array<std::vector<int>, kDepth> m_reducible;
};

// Nearest palette colour for colours whose octree branch is missing (diffused errors can push
// a colour out of every populated cube), with a small direct-mapped cache.
class NearestCache {
 public:
  explicit NearestCache(const std::vector<PaletteEntry>& palette) : m_palette(palette), m_keys(kSize, 0) {
    m_values.resize(kSize);
  }
  int find(uint8_t r, uint8_t g, uint8_t b) {
    uint32_t key = (uint32_t{r} << 16 | uint32_t{g} << 8 | b) + 1;
    uint32_t slot = ((key * 2654435761u) >> 16) & (kSize - 1);
    if (m_keys[slot] == key) return m_values[slot];
    int best = 0;
    int bestDist = 1 << 30;
    for (size_t i = 0; i < m_palette.size(); ++i) {
      const PaletteEntry& e = m_palette[i];
      int dr = e.r - r, dg = e.g - g, db = e.b - b;
      int d = dr * dr + dg * dg + db * db;
      if (d < bestDist) bestDist = d, best = static_cast<int>(i);
    }
    m_keys[slot] = key;
    m_values[slot] = static_cast<uint8_t>(best);
    return best;
  }

 private:
  static constexpr uint32_t kSize = 1 << 16;
  const std::vector<PaletteEntry>& m_palette;
  std::vector<uint32_t> m_keys;
  std::vector<uint8_t> m_values;
};

}  // namespace

QuantizedImage quantizeOctree(const Bitmap& image, int maxColours, const std::vector<uint8_t>* mask) {
  Bitmap converted;
  const Bitmap* src = &trueColour(image, converted);
  const int w = src->width(), h = src->height();
  const int step = src->bitsPerPixel() / 8;
  maxColours = std::clamp(maxColours, 1, 256);
  auto masked = [&](size_t i) { return mask && (*mask)[i] != 0; };

  // Palette: every unmasked pixel goes into the tree; runs of one colour go in at once.
  Octree tree(maxColours);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = src->scanLine(y);
    size_t base = static_cast<size_t>(y) * w;
    int x = 0;
    while (x < w) {
      if (masked(base + x)) {
        ++x;
        continue;
      }
      const uint8_t* p = s + static_cast<size_t>(x) * step;
      int run = 1;
      while (x + run < w && !masked(base + x + run)) {
        const uint8_t* q = s + static_cast<size_t>(x + run) * step;
        if (q[0] != p[0] || q[1] != p[1] || q[2] != p[2]) break;
        ++run;
      }
      tree.add(p[2], p[1], p[0], static_cast<uint32_t>(run));
      x += run;
    }
  }

  QuantizedImage out;
  out.palette = tree.palette();
  out.indexes.resize(static_cast<size_t>(w) * h);
  const uint8_t maskIndex = static_cast<uint8_t>(std::min<size_t>(out.palette.size(), 255));
  if (out.palette.empty()) {
    std::fill(out.indexes.begin(), out.indexes.end(), maskIndex);
    return out;
  }
  NearestCache nearest(out.palette);

  // Floyd-Steinberg: errors in sixteenths, 7/16 right, 3/16 below left, 5/16 below, 1/16 below
  // right. The rows carry one guard pixel on each side.
  const size_t errLen = static_cast<size_t>(w + 2) * 3;
  std::vector<int32_t> errors(errLen * 2, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = src->scanLine(y);
    uint8_t* dst = out.indexes.data() + static_cast<size_t>(y) * w;
    int32_t* cur = errors.data() + (y & 1) * errLen;
    int32_t* next = errors.data() + ((y + 1) & 1) * errLen;
    std::fill(next, next + errLen, 0);
    for (int x = 0; x < w; ++x) {
      if (masked(static_cast<size_t>(y) * w + x)) {
        dst[x] = maskIndex;
        continue;
      }
      const uint8_t* p = s + static_cast<size_t>(x) * step;
      int32_t* e = &cur[static_cast<size_t>(x + 1) * 3];
      int v[3];
      for (int c = 0; c < 3; ++c) v[c] = std::clamp(p[2 - c] + ((e[c] + 8) >> 4), 0, 255);  // r, g, b
      int index = tree.lookup(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]));
      if (index < 0)
        index = nearest.find(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]));
      dst[x] = static_cast<uint8_t>(index);
      const PaletteEntry& q = out.palette[index];
      const int err[3] = {v[0] - q.r, v[1] - q.g, v[2] - q.b};
      int32_t* below = &next[static_cast<size_t>(x) * 3];
      for (int c = 0; c < 3; ++c) {
        e[3 + c] += err[c] * 7;
        below[c] += err[c] * 3;
        below[3 + c] += err[c] * 5;
        below[6 + c] += err[c];
      }
    }
  }
  return out;
}

}  // namespace brevane::codecs
