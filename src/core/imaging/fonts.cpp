// The stamp font: fontconfig finds the face, HarfBuzz shapes the line, FreeType draws grey
// coverage. One mutex guards the FreeType library, the cached faces and the fontconfig calls:
// workers draw under ConversionLock, but the overlay preview draws on the main thread without
// it. The mutex is taken last and nothing else is locked while it is held.
#include "imaging/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <fontconfig/fontconfig.h>
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "base/error.h"

namespace brevane::imaging {

int pointsToPixels(int points) {
  return static_cast<int>(std::nearbyint(points * 96.0 / 72.0));
}

Bgr fontColor(const FontChoice& font) {
  if (font.color < 0) return {};
  auto c = static_cast<uint32_t>(font.color);
  return {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
}

std::string charsetLanguage(int charset) {
  switch (charset) {
    case 0: return "en";
    case 204: return "ru";
    case 161: return "el";
    case 162: return "tr";
    case 177: return "he";
    case 178: return "ar";
    case 128: return "ja";
    case 129: return "ko";
    case 134: return "zh-cn";
    case 136: return "zh-tw";
    case 222: return "th";
    case 238: return "pl";
    case 186: return "lt";
    case 163: return "vi";
    default: return "";
  }
}

namespace {

// Pixel sizes above this are refused: FreeType's limit is 0xFFFF, and a glyph of this size
// already takes hundreds of megabytes.
constexpr int kMaxPixelSize = 16384;
static_assert(kMaxFontPoints * 96 / 72 == kMaxPixelSize);
// Faces kept open; a run uses one or two, so the cache is simply emptied when it is full.
constexpr size_t kMaxCachedFaces = 16;

// Another face that covers characters the matched face lacks (a Greek or Hebrew file name in
// a Latin-only font), in fontconfig's order of preference.
struct Fallback {
  FontMatch font;
  FcCharSet* charset = nullptr;  // owned by the Match's font set
};

struct Match {
  FontMatch font;
  bool embolden = false;  // fontconfig asks for synthetic bold (no bold face exists)
  bool shear = false;     // fontconfig asks for synthetic oblique (no italic face exists)
  FT_Matrix matrix{0x10000, 0, 0, 0x10000};
  std::shared_ptr<FcFontSet> sorted;  // keeps the fallbacks' charsets alive
  std::vector<Fallback> fallbacks;
};

FcPattern* fontPattern(const FontChoice& font) {
  bool bold = (font.style & 1) != 0, italic = (font.style & 2) != 0;
  std::string lang = charsetLanguage(font.charset);
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) throw std::bad_alloc();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.name.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  if (!lang.empty()) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  return pattern;
}

FontMatch fontOf(FcPattern* p) {
  FontMatch m;
  FcChar8* text = nullptr;
  if (FcPatternGetString(p, FC_FILE, 0, &text) == FcResultMatch) m.file = reinterpret_cast<char*>(text);
  if (FcPatternGetString(p, FC_FAMILY, 0, &text) == FcResultMatch) m.family = reinterpret_cast<char*>(text);
  FcPatternGetInteger(p, FC_INDEX, 0, &m.index);
  return m;
}

class FontEngine {
 public:
  std::mutex mutex;

  FontEngine() {
    if (FT_Init_FreeType(&m_library) != 0) m_library = nullptr;
  }

  const Match& match(const FontChoice& font) {
    std::string key = font.name + '\x1f' + std::to_string(font.style & 3) + charsetLanguage(font.charset);
    auto it = m_matches.find(key);
    if (it != m_matches.end()) return it->second;

    FcPattern* pattern = fontPattern(font);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    Match m;
    if (sorted) {
      m.sorted.reset(sorted, &FcFontSetDestroy);
      for (int i = 0; i < sorted->nfont; ++i) {
        Fallback f{fontOf(sorted->fonts[i]), nullptr};
        FcBool scalable = FcFalse;
        if (FcPatternGetBool(sorted->fonts[i], FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable) continue;
        if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &f.charset) != FcResultMatch) continue;
        if (!f.font.file.empty()) m.fallbacks.push_back(std::move(f));
      }
    }
    if (!found) throw Error(format("No font is available for \"%s\"", font.name.c_str()));
    m.font = fontOf(found);
    FcBool flag = FcFalse;
    if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &flag) == FcResultMatch) m.embolden = flag != FcFalse;
    FcMatrix* matrix = nullptr;
    if (FcPatternGetMatrix(found, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix &&
        (matrix->xy != 0 || matrix->yx != 0 || matrix->xx != 1 || matrix->yy != 1)) {
      m.shear = true;
      m.matrix = {static_cast<FT_Fixed>(matrix->xx * 0x10000), static_cast<FT_Fixed>(matrix->xy * 0x10000),
                  static_cast<FT_Fixed>(matrix->yx * 0x10000), static_cast<FT_Fixed>(matrix->yy * 0x10000)};
    }
    FcPatternDestroy(found);
    if (m.font.file.empty()) throw Error(format("No font is available for \"%s\"", font.name.c_str()));
    return m_matches.emplace(key, std::move(m)).first->second;
  }

  // Closes the cached faces when there are too many. Called at the start of a request only,
  // so that faces handed out during one request stay open until it ends.
  void trimFaces() {
    if (m_faces.size() < kMaxCachedFaces) return;
    for (auto& entry : m_faces) FT_Done_Face(entry.second);
    m_faces.clear();
  }

  FT_Face face(const FontMatch& font) {
    if (!m_library) throw Error("The font library cannot be initialised");
    auto key = std::make_pair(font.file, font.index);
    auto it = m_faces.find(key);
    if (it != m_faces.end()) return it->second;
    FT_Face face = nullptr;
    FT_Error error = FT_New_Face(m_library, font.file.c_str(), font.index, &face);
    if (error != 0 || !face)
      throw Error(format("Cannot open the font file %s (FreeType error %d)", font.file.c_str(), error));
    if (!FT_IS_SCALABLE(face)) {
      FT_Done_Face(face);
      throw Error(format("The font %s is not scalable", font.file.c_str()));
    }
    m_faces.emplace(key, face);
    return face;
  }

 private:
  FT_Library m_library = nullptr;
  std::map<std::string, Match> m_matches;
  std::map<std::pair<std::string, int>, FT_Face> m_faces;
};

// Never destroyed: a worker may still draw while static destructors run at exit.
FontEngine& engine() {
  static FontEngine* instance = new FontEngine;
  return *instance;
}

constexpr int kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP;

struct ShapedGlyph {
  FT_Face face = nullptr;
  unsigned id = 0;
  int64_t x = 0, y = 0;  // glyph origin in 26.6 pixels, x right, y up from the baseline
  bool primary = true;   // drawn from the matched face (synthetic bold and oblique apply)
};

// A line shaped at one pixel size; everything the measuring and the drawing share.
struct ShapedLine {
  std::vector<ShapedGlyph> glyphs;
  int64_t advance = 0;              // 26.6
  int ascender = 0, descender = 0;  // whole pixels of the matched face, descender <= 0
  FT_Pos emboldenStrength = 0;      // 26.6, 0 without synthetic bold
};

void deleteBuffer(hb_buffer_t* b) {
  hb_buffer_destroy(b);
}
void deleteFont(hb_font_t* f) {
  hb_font_destroy(f);
}

// The code point at `i` (advanced past it); a malformed sequence reads as U+FFFD, one byte.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b = byte(i++);
  if (b < 0x80) return b;
  int extra = (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 0;
  if (extra == 0 || s.size() - i < static_cast<size_t>(extra)) return 0xFFFD;
  uint32_t cp = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += extra;
  return cp;
}

// Characters that never choose a face of their own: they stay in the run around them.
bool isNeutral(uint32_t cp) {
  return cp <= 0x20 || (cp >= 0x300 && cp <= 0x36F) || cp == 0x200C || cp == 0x200D || (cp >= 0xFE00 && cp <= 0xFE0F);
}

struct Run {
  FT_Face face;
  size_t start, length;
};

// Splits the line into runs of one face: the matched face where it has the character,
// otherwise the first fallback that covers it.
std::vector<Run> splitRuns(FontEngine& e, const Match& match, FT_Face primary, const std::string& line) {
  std::vector<Run> runs;
  FT_Face current = primary;
  size_t runStart = 0;
  for (size_t i = 0; i < line.size();) {
    size_t at = i;
    uint32_t cp = nextCodePoint(line, i);
    FT_Face want = current;
    if (!isNeutral(cp)) {
      want = primary;
      if (FT_Get_Char_Index(primary, cp) == 0) {
        for (const Fallback& f : match.fallbacks) {
          if (!FcCharSetHasChar(f.charset, cp)) continue;
          if (f.font.file == match.font.file && f.font.index == match.font.index) continue;
          FT_Face face = nullptr;
          try {
            face = e.face(f.font);
          } catch (const Error&) {
            continue;  // an unreadable fallback file is passed over
          }
          if (FT_Get_Char_Index(face, cp) != 0) {
            want = face;
            break;
          }
        }
      }
    }
    if (want != current) {
      if (at > runStart) runs.push_back({current, runStart, at - runStart});
      current = want;
      runStart = at;
    }
  }
  if (line.size() > runStart) runs.push_back({current, runStart, line.size() - runStart});
  return runs;
}

void setPixelSize(FT_Face face, int sizePoints) {
  int px = std::max(1, pointsToPixels(sizePoints));
  if (px > kMaxPixelSize) throw Error(format("Font size %d is too large", sizePoints));
  FT_Error error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px));
  if (error != 0) throw Error(format("Cannot set the font size %d (FreeType error %d)", sizePoints, error));
}

ShapedLine shapeLine(FontEngine& e, const Match& match, const FontChoice& font, int sizePoints, const std::string& line) {
  FT_Face primary = e.face(match.font);
  setPixelSize(primary, sizePoints);
  ShapedLine out;
  out.ascender = static_cast<int>((primary->size->metrics.ascender + 63) >> 6);
  out.descender = static_cast<int>(primary->size->metrics.descender >> 6);
  if (match.embolden) out.emboldenStrength = FT_MulFix(primary->units_per_EM, primary->size->metrics.y_scale) / 24;
  if (line.empty()) return out;
  if (line.size() > static_cast<size_t>(INT32_MAX / 2)) throw Error("The text line is too long");

  std::string lang = charsetLanguage(font.charset);
  int64_t penX = 0, penY = 0;
  for (const Run& run : splitRuns(e, match, primary, line)) {
    if (run.face != primary) setPixelSize(run.face, sizePoints);
    bool isPrimary = run.face == primary;
    std::unique_ptr<hb_font_t, decltype(&deleteFont)> font(hb_ft_font_create(run.face, nullptr), &deleteFont);
    hb_ft_font_set_load_flags(font.get(), kLoadFlags);
    std::unique_ptr<hb_buffer_t, decltype(&deleteBuffer)> buffer(hb_buffer_create(), &deleteBuffer);
    if (!hb_buffer_allocation_successful(buffer.get())) throw std::bad_alloc();
    // The whole line goes in as context, so that shaping at run edges sees the neighbours.
    hb_buffer_add_utf8(buffer.get(), line.data(), static_cast<int>(line.size()), static_cast<unsigned>(run.start),
                       static_cast<int>(run.length));
    if (!lang.empty()) hb_buffer_set_language(buffer.get(), hb_language_from_string(lang.c_str(), -1));
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(font.get(), buffer.get(), nullptr, 0);
    if (!hb_buffer_allocation_successful(buffer.get())) throw std::bad_alloc();

    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &count);
    FT_Pos extra = isPrimary ? out.emboldenStrength : 0;
    for (unsigned i = 0; i < count; ++i) {
      out.glyphs.push_back({run.face, info[i].codepoint, penX + pos[i].x_offset, penY + pos[i].y_offset, isPrimary});
      penX += pos[i].x_advance + extra;
      penY += pos[i].y_advance;
    }
  }
  out.advance = penX;
  return out;
}

int advancePixels(const ShapedLine& shaped) {
  return static_cast<int>(std::max<int64_t>(0, (shaped.advance + 32) >> 6));
}

struct GlyphImage {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

struct Box {
  int x0, y0, x1, y1;  // half-open
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

Box intersect(Box a, Box b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}
Box unite(Box a, Box b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// Underline and strike-out bars across the line's advance, from the face's own metrics.
std::vector<Box> decorationBars(FT_Face face, const FontChoice& font, const ShapedLine& shaped, int width) {
  std::vector<Box> bars;
  if (width <= 0 || (font.style & 12) == 0) return bars;
  FT_Fixed scale = face->size->metrics.y_scale;
  auto pixels = [](FT_Pos v26) { return std::nearbyint(static_cast<double>(v26) / 64.0); };
  double underlineThickness = std::max(1.0, pixels(FT_MulFix(face->underline_thickness, scale)));
  if (font.style & 4) {
    // The underline position is the centre of its stroke, negative below the baseline.
    double centre = shaped.ascender - static_cast<double>(FT_MulFix(face->underline_position, scale)) / 64.0;
    int top = static_cast<int>(std::floor(centre - underlineThickness / 2 + 0.5));
    // Kept inside the line box, as a face with a deep underline would otherwise lose it.
    top = std::min(top, shaped.ascender - shaped.descender - static_cast<int>(underlineThickness));
    bars.push_back({0, top, width, top + static_cast<int>(underlineThickness)});
  }
  if (font.style & 8) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    double position, thickness;
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
      position = pixels(FT_MulFix(os2->yStrikeoutPosition, scale));  // top of the stroke above the baseline
      thickness = std::max(1.0, pixels(FT_MulFix(os2->yStrikeoutSize, scale)));
    } else {
      thickness = underlineThickness;
      position = std::nearbyint(shaped.ascender * 0.3) + thickness / 2;
    }
    int top = shaped.ascender - static_cast<int>(position);
    bars.push_back({0, top, width, top + static_cast<int>(thickness)});
  }
  return bars;
}

GlyphImage renderGlyph(const Match& match, const ShapedLine& shaped, const ShapedGlyph& g) {
  GlyphImage out;
  if (FT_Load_Glyph(g.face, g.id, kLoadFlags) != 0) return out;
  FT_GlyphSlot slot = g.face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return out;
  if (match.shear && g.primary) FT_Outline_Transform(&slot->outline, &match.matrix);
  if (shaped.emboldenStrength > 0 && g.primary)
    FT_Outline_EmboldenXY(&slot->outline, shaped.emboldenStrength, shaped.emboldenStrength);
  // Origin in pixels, y down; the fraction is moved into the outline for sub-pixel placement.
  int64_t ox = g.x;
  int64_t oy = static_cast<int64_t>(shaped.ascender) * 64 - g.y;
  FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(ox & 63), -static_cast<FT_Pos>(oy & 63));
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return out;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) return out;
  out.left = static_cast<int>(ox >> 6) + slot->bitmap_left;
  out.top = static_cast<int>(oy >> 6) - slot->bitmap_top;
  out.width = static_cast<int>(bm.width);
  out.height = static_cast<int>(bm.rows);
  out.pixels.resize(static_cast<size_t>(out.width) * out.height);
  int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
  for (int y = 0; y < out.height; ++y) {
    const unsigned char* row = bm.pitch >= 0 ? bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch
                                             : bm.buffer + static_cast<ptrdiff_t>(out.height - 1 - y) * -bm.pitch;
    for (int x = 0; x < out.width; ++x) {
      unsigned v = row[x];
      out.pixels[static_cast<size_t>(y) * out.width + x] = static_cast<uint8_t>(levels == 255 ? v : v * 255 / levels);
    }
  }
  return out;
}

}  // namespace

FontMatch matchFont(const FontChoice& font) {
  FontEngine& e = engine();
  std::lock_guard lock(e.mutex);
  return e.match(font).font;
}

TextExtent measureText(const FontChoice& font, int sizePoints, const std::string& line) {
  FontEngine& e = engine();
  std::lock_guard lock(e.mutex);
  e.trimFaces();
  const Match& m = e.match(font);
  ShapedLine shaped = shapeLine(e, m, font, sizePoints, line);
  return {advancePixels(shaped), shaped.ascender - shaped.descender};
}

Coverage renderText(const FontChoice& font, int sizePoints, const std::string& line, const LineRect& window) {
  FontEngine& e = engine();
  std::lock_guard lock(e.mutex);
  e.trimFaces();
  const Match& m = e.match(font);
  ShapedLine shaped = shapeLine(e, m, font, sizePoints, line);
  FT_Face face = e.face(m.font);
  int width = advancePixels(shaped);
  Box clip{window.x, window.y, window.x + window.width, window.y + window.height};

  // A glyph's ink stays within a few em of its origin; glyphs farther outside the window
  // are not rendered at all.
  int64_t reach = (static_cast<int64_t>(face->size->metrics.x_ppem) * 4 + 4) * 64;
  std::vector<GlyphImage> glyphs;
  Box ink{0, 0, 0, 0};
  for (const ShapedGlyph& g : shaped.glyphs) {
    if (g.x + reach < static_cast<int64_t>(clip.x0) * 64 || g.x - reach > static_cast<int64_t>(clip.x1) * 64) continue;
    GlyphImage image = renderGlyph(m, shaped, g);
    Box box{image.left, image.top, image.left + image.width, image.top + image.height};
    if (image.pixels.empty() || intersect(box, clip).empty()) continue;
    ink = unite(ink, box);
    glyphs.push_back(std::move(image));
  }
  std::vector<Box> bars = decorationBars(face, font, shaped, width);
  for (const Box& bar : bars) ink = unite(ink, bar);

  Coverage out;
  Box area = intersect(ink, clip);
  if (area.empty()) return out;
  out.left = area.x0;
  out.top = area.y0;
  out.width = area.x1 - area.x0;
  out.height = area.y1 - area.y0;
  checkImageSize(out.width, out.height);
  out.data.assign(static_cast<size_t>(out.width) * out.height, 0);
  auto plot = [&](int x, int y, uint8_t v) {
    uint8_t& d = out.data[static_cast<size_t>(y - out.top) * out.width + (x - out.left)];
    d = std::max(d, v);  // overlapping glyphs cover what either covers
  };
  for (const GlyphImage& g : glyphs) {
    Box b = intersect({g.left, g.top, g.left + g.width, g.top + g.height}, area);
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) plot(x, y, g.pixels[static_cast<size_t>(y - g.top) * g.width + (x - g.left)]);
  }
  for (const Box& bar : bars) {
    Box b = intersect(bar, area);
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) plot(x, y, 255);
  }
  return out;
}

}  // namespace brevane::imaging
