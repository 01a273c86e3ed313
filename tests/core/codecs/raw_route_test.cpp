// The RAW route through a stand-in library with a known BMP block, a missing library, and the
// project's rawdll.so on the corpus's camera files.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "base/error.h"
#include "codecs/raw_route.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

// Keeps the stand-in loaded across decodeRaw's own load and unload, so its counter survives.
class StandIn {
 public:
  StandIn() : m_handle(dlopen(BREVANE_RAW_STANDIN, RTLD_NOW)) {}
  ~StandIn() {
    if (m_handle) dlclose(m_handle);
  }
  int freeCalls() const {
    auto fn = reinterpret_cast<int (*)()>(dlsym(m_handle, "StandinFreeCalls"));
    return fn ? fn() : -1;
  }
  bool loaded() const { return m_handle != nullptr; }

 private:
  void* m_handle;
};

TEST(RawRoute, BlockOfTheLibraryIsReadAsBitmap) {
  StandIn lib;
  ASSERT_TRUE(lib.loaded());
  int before = lib.freeCalls();
  RawDecodeResult r = decodeRaw("/photos/a.nef", BREVANE_RAW_STANDIN);
  EXPECT_EQ(r.blockSize, 70);
  EXPECT_EQ(r.image.kind, DecodedKind::kBitmap);
  ASSERT_EQ(r.image.bitmap.width(), 2);
  ASSERT_EQ(r.image.bitmap.height(), 2);
  EXPECT_EQ(r.image.width, 2);
  EXPECT_EQ(r.image.bitmap.pixel(0, 0), (Bgr{0, 0, 255}));
  EXPECT_EQ(r.image.bitmap.pixel(1, 0), (Bgr{0, 255, 0}));
  EXPECT_EQ(r.image.bitmap.pixel(0, 1), (Bgr{255, 0, 0}));
  EXPECT_EQ(r.image.bitmap.pixel(1, 1), (Bgr{255, 255, 255}));
  EXPECT_EQ(lib.freeCalls(), before + 1);
}

TEST(RawRoute, FailuresAfterLoadingAreOrdinaryErrorsAndStillFreeTheBlock) {
  StandIn lib;
  for (const char* path : {"/photos/fail.nef", "/photos/garbage.nef"}) {
    int before = lib.freeCalls();
    try {
      decodeRaw(path, BREVANE_RAW_STANDIN);
      ADD_FAILURE() << "no error for " << path;
    } catch (const RawLibraryMissing&) {
      ADD_FAILURE() << "reported as a missing library";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()), "rawdll.so error.");
    }
    EXPECT_EQ(lib.freeCalls(), before + 1) << path;
  }
}

TEST(RawRoute, MissingLibraryOrEntryPoints) {
  try {
    decodeRaw("/photos/a.nef", "/nonexistent/rawdll.so");
    FAIL() << "no error";
  } catch (const RawLibraryMissing& e) {
    EXPECT_STREQ(e.what(), "rawdll.so error.");
  }
  // A library without the entry points is loaded, so it fails as an ordinary error.
  try {
    decodeRaw("/photos/a.nef", "libz.so.1");
    FAIL() << "no error";
  } catch (const RawLibraryMissing&) {
    FAIL() << "reported as a missing library";
  } catch (const Error&) {
  }
}

TEST(RawRoute, ProjectLibraryDecodesCameraFiles) {
  BREVANE_REQUIRE_TESTDATA();
  RawDecodeResult r = decodeRaw(test::testdata("raw/exiv2/IMG_1361.dng"), BREVANE_RAWDLL);
  ASSERT_EQ(r.image.bitmap.bitsPerPixel(), 24);
  EXPECT_GT(r.image.width, 0);
  EXPECT_GT(r.image.height, 0);
  // A complete 24-bit BMP file: headers plus padded rows.
  size_t stride = (static_cast<size_t>(r.image.width) * 3 + 3) & ~size_t{3};
  EXPECT_EQ(static_cast<size_t>(r.blockSize), 54 + stride * static_cast<size_t>(r.image.height));
  // Stubs without raw data fail with LibRaw's own words.
  for (const char* stub : {"raw/exiftool/CanonRaw.cr2", "raw/file-type/fixture.orf", "damaged/exiv2/issue_1887_poc.crw",
                           "damaged/exiv2/issue_857_poc.raf"}) {
    try {
      decodeRaw(test::testdata(stub), BREVANE_RAWDLL);
      ADD_FAILURE() << stub << " decoded";
    } catch (const Error& e) {
      EXPECT_STRNE(e.what(), "RAW decoder returned no image") << stub;
    }
  }
}

}  // namespace
}  // namespace brevane::codecs
