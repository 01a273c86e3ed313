// A source's ICC profile in a conversion, over Little CMS 2. Transforms are built once per
// profile and pixel layout and shared by the workers: cmsDoTransform keeps its one-pixel cache
// per call (Little CMS 2.3 and later), so one transform serves several threads at once; only
// the cache's table is locked.
#include "imaging/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string_view>

namespace brevane::imaging {

namespace {

// Little CMS reports through a handler of its context; the message of the last failure on this
// thread names the damage.
thread_local std::string tLastMessage;

void onLcmsError(cmsContext, cmsUInt32Number, const char* text) {
  tLastMessage = text ? text : "";
}

cmsContext lcmsContext() {
  static const cmsContext kContext = [] {
    cmsContext c = cmsCreateContext(nullptr, nullptr);
    cmsSetLogErrorHandlerTHR(c, onLcmsError);
    return c;
  }();
  return kContext;
}

// A grey profile's pixel read from the first byte of 3- or 4-byte pixels (their bytes are equal).
constexpr cmsUInt32Number kGreyOf24 = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);
constexpr cmsUInt32Number kGreyOf32 = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

using Transform = std::shared_ptr<void>;

// Transforms into sRGB (3 bytes per pixel, blue first) by profile and input layout, the most
// recently used first.
class TransformCache {
 public:
  static TransformCache& instance() {
    static TransformCache cache;
    return cache;
  }

  // The transform, or null with `problem` set when the profile is damaged.
  Transform get(std::span<const uint8_t> profile, cmsUInt32Number inFormat, std::string& problem) {
    const size_t hash =
        std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(profile.data()), profile.size()));
    if (Transform t = find(profile, inFormat, hash)) return t;
    Transform built = build(profile, inFormat, problem);
    if (!built) return nullptr;
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_entries)  // another worker may have built it meanwhile
      if (e.matches(profile, inFormat, hash)) return e.transform;
    m_entries.push_front({std::vector<uint8_t>(profile.begin(), profile.end()), inFormat, hash, built});
    if (m_entries.size() > kCapacity) m_entries.pop_back();
    return built;
  }

  void clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
  }
  size_t size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
  }

 private:
  // Enough for the profiles of one run's cameras and editors.
  static constexpr size_t kCapacity = 16;

  struct Entry {
    std::vector<uint8_t> profile;
    cmsUInt32Number inFormat;
    size_t hash;
    Transform transform;
    bool matches(std::span<const uint8_t> p, cmsUInt32Number f, size_t h) const {
      return hash == h && inFormat == f && profile.size() == p.size() &&
             std::equal(p.begin(), p.end(), profile.begin());
    }
  };

  Transform find(std::span<const uint8_t> profile, cmsUInt32Number inFormat, size_t hash) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
      if (!it->matches(profile, inFormat, hash)) continue;
      m_entries.splice(m_entries.begin(), m_entries, it);
      return it->transform;
    }
    return nullptr;
  }

  // Built outside the lock: a large profile takes a while, and other workers' profiles need not wait.
  static Transform build(std::span<const uint8_t> profile, cmsUInt32Number inFormat, std::string& problem) {
    cmsContext ctx = lcmsContext();
    tLastMessage.clear();
    cmsHPROFILE source = cmsOpenProfileFromMemTHR(ctx, profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    if (!source) {
      problem = "the colour profile cannot be read" + (tLastMessage.empty() ? "" : " (" + tLastMessage + ")");
      return nullptr;
    }
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(ctx);
    cmsHTRANSFORM t =
        srgb ? cmsCreateTransformTHR(ctx, source, inFormat, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0) : nullptr;
    if (srgb) cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    if (!t) {
      problem = "the colour profile cannot be used" + (tLastMessage.empty() ? "" : " (" + tLastMessage + ")");
      return nullptr;
    }
    return Transform(t, [](void* p) { cmsDeleteTransform(static_cast<cmsHTRANSFORM>(p)); });
  }

  mutable std::mutex m_mutex;
  std::list<Entry> m_entries;
};

// The colour space named by a profile's header (bytes 16-19), 0 when it is too short to have one.
uint32_t headerColourSpace(std::span<const uint8_t> profile) {
  if (profile.size() < 128) return 0;
  return (uint32_t{profile[16]} << 24) | (uint32_t{profile[17]} << 16) | (uint32_t{profile[18]} << 8) | profile[19];
}

bool hasPalette(const Bitmap& b) {
  return b.bitsPerPixel() <= 8 && !b.palette().empty();
}

// The input layout of the pixels for a profile of `space`, or 0 when the profile does not fit them.
cmsUInt32Number inputFormat(const codecs::DecodedImage& image, uint32_t space) {
  const Bitmap& b = image.bitmap;
  if (image.cmykInks) return space == cmsSigCmykData ? TYPE_CMYK_8 : 0;
  if (space == cmsSigRgbData) {
    if (hasPalette(b) || b.bitsPerPixel() == 32) return TYPE_BGRA_8;
    if (b.bitsPerPixel() == 24) return TYPE_BGR_8;
  }
  if (space == cmsSigGrayData) {
    if (hasPalette(b)) return TYPE_GRAY_8;
    if (b.bitsPerPixel() == 24) return kGreyOf24;
    if (b.bitsPerPixel() == 32) return kGreyOf32;
  }
  return 0;
}

// One colour through the transform, for a palette entry or the transparent-colour mark.
Bgr convertColour(cmsHTRANSFORM t, cmsUInt32Number inFormat, Bgr c) {
  uint8_t in[4] = {c.b, c.g, c.r, 255};
  if (inFormat == TYPE_GRAY_8 || T_COLORSPACE(inFormat) == PT_GRAY) in[0] = c.g;
  uint8_t out[3];
  cmsDoTransform(t, in, out, 1);
  return {out[0], out[1], out[2]};
}

void convertPixels(Bitmap& b, cmsHTRANSFORM t, cmsUInt32Number inFormat, bool inks) {
  if (b.transparent() && !b.transparentAuto()) b.setTransparentColor(convertColour(t, inFormat, b.transparentColor()));
  if (hasPalette(b)) {
    for (PaletteEntry& e : b.palette()) {
      Bgr c = convertColour(t, inFormat, {e.b, e.g, e.r});
      e.b = c.b, e.g = c.g, e.r = c.r;
    }
    return;
  }
  const int w = b.width();
  const size_t step = b.bitsPerPixel() / 8;
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  for (int y = 0; y < b.height(); ++y) {
    uint8_t* p = b.scanLine(y);
    cmsDoTransform(t, p, row.data(), static_cast<cmsUInt32Number>(w));
    if (step == 3) {
      std::memcpy(p, row.data(), row.size());
      continue;
    }
    // Four bytes: the alpha stays; inks become an opaque colour.
    for (int x = 0; x < w; ++x, p += 4) {
      std::memcpy(p, &row[static_cast<size_t>(x) * 3], 3);
      if (inks) p[3] = 255;
    }
  }
}

}  // namespace

ColourOutcome applyColourOptions(codecs::DecodedImage& image, const ColourOptions& options) {
  ColourOutcome outcome;
  auto plainInks = [&] {
    if (!image.cmykInks) return;
    codecs::cmykInksToBgra(image.bitmap);
    image.cmykInks = false;
  };
  const std::vector<uint8_t>& profile = image.iccProfile;
  if (profile.empty() || (!options.keepProfile && !options.convertToSrgb)) {
    plainInks();
    return outcome;
  }
  if (profile.size() < 128) {
    outcome.problem = "the colour profile is damaged (too short)";
    plainInks();
    return outcome;
  }
  const uint32_t space = headerColourSpace(profile);
  if (!options.convertToSrgb) {
    // Kept only as a description of RGB pixels, the only kind the outputs store; the check is
    // the one a conversion would make, so that no output carries a profile a reader chokes on.
    if (space != cmsSigRgbData || image.cmykInks) {
      plainInks();
      return outcome;
    }
    if (TransformCache::instance().get(profile, TYPE_BGR_8, outcome.problem)) outcome.outputProfile = profile;
    return outcome;
  }

  Bitmap& b = image.bitmap;
  // Layouts without a palette other than 24 and 32 bits (5-5-5) are widened first.
  if (!image.cmykInks && !hasPalette(b) && b.bitsPerPixel() != 24 && b.bitsPerPixel() != 32 &&
      inputFormat(image, space) == 0 && (space == cmsSigRgbData || space == cmsSigGrayData))
    b.convertTo24();
  const cmsUInt32Number format = inputFormat(image, space);
  if (format == 0) {
    plainInks();
    return outcome;
  }
  Transform t = TransformCache::instance().get(profile, format, outcome.problem);
  if (!t) {
    plainInks();
    return outcome;
  }
  convertPixels(b, static_cast<cmsHTRANSFORM>(t.get()), format, image.cmykInks);
  image.cmykInks = false;
  return outcome;
}

void clearColourTransformCache() {
  TransformCache::instance().clear();
}

size_t colourTransformCacheSize() {
  return TransformCache::instance().size();
}

}  // namespace brevane::imaging
