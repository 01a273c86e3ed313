// The accepted-extension lists, the descriptions, the open-dialog filter and the choice of
// decoder by extension.
#include <gtest/gtest.h>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

TEST(Registry, AcceptedExtensionsAreBuiltInOrder) {
  const std::vector<std::string> raws = {".crw", ".cr2", ".nef", ".orf", ".raf", ".dng",
                                         ".mrw", ".pef", ".srf", ".arw", ".rw2"};
  EXPECT_EQ(supportedRaws(), raws);
  const std::vector<std::string>& exts = supportedExts();
  ASSERT_EQ(exts.size(), 11u + 13u + 38u + 4u + 11u + 5u);
  EXPECT_EQ(std::vector<std::string>(exts.begin(), exts.begin() + 11), raws);
  EXPECT_EQ(exts[11], ".jpg");
  EXPECT_EQ(exts[23], ".jpc");
  EXPECT_EQ(exts[24], ".bmp");   // the loader's list starts
  EXPECT_EQ(exts[61], ".psp");   // and ends
  EXPECT_EQ(exts[62], ".gif");
  EXPECT_EQ(exts[65], ".jpc");
  EXPECT_EQ(exts[66], ".crw");
  EXPECT_EQ(exts[76], ".rw2");
  // The readers added later come last, in their order.
  EXPECT_EQ(std::vector<std::string>(exts.begin() + 77, exts.end()),
            (std::vector<std::string>{".webp", ".avif", ".heic", ".heif", ".jxl"}));
  EXPECT_EQ(std::vector<std::string>(initialExts().begin(), initialExts().end()),
            std::vector<std::string>(exts.begin(), exts.begin() + 24));
}

TEST(Registry, ExtensionTestsIgnoreCaseAndNeedTheDot) {
  for (const char* e : {".jpg", ".JPG", ".Jpe", ".tga", ".ICB", ".psp", ".CR2", ".jpc", ".WebP", ".heic", ".JXL"})
    EXPECT_TRUE(isAcceptedExtension(e)) << e;
  for (const char* e : {".xyz", "", ".", "jpg", ".jpgx", ".cr3"}) EXPECT_FALSE(isAcceptedExtension(e)) << e;
  EXPECT_TRUE(isRawExtension(".NEF"));
  EXPECT_TRUE(isRawExtension(".rw2"));
  EXPECT_FALSE(isRawExtension(".jpg"));
  EXPECT_FALSE(isRawExtension(".tif"));
}

TEST(Registry, EachExtensionHasItsDecoder) {
  EXPECT_EQ(findDecoder("JPE"), &kJpegCodec);
  EXPECT_EQ(findDecoder("fax"), &kTiffCodec);
  EXPECT_EQ(findDecoder("vda"), &kTgaCodec);
  EXPECT_EQ(findDecoder("emf"), &kMetafileCodec);
  EXPECT_EQ(findDecoder("j2k"), &kJpeg2000Codec);
  EXPECT_EQ(findDecoder("png"), &kPngCodec);
  EXPECT_EQ(findDecoder("HEIF"), &kHeifCodec);
  EXPECT_EQ(findDecoder("heic"), &kHeifCodec);
  EXPECT_EQ(findDecoder("avif"), &kAvifCodec);
  EXPECT_EQ(findDecoder("nef"), nullptr);  // RAW files take their own route
  EXPECT_EQ(findDecoder("xyz"), nullptr);
  EXPECT_EQ(kJpegCodec.description, "JPG images");
  EXPECT_EQ(kPngCodec.description, "");
}

TEST(Registry, ExtDescListsTheFormatsOutsideTheLoader) {
  const std::vector<std::string>& d = ExtDesc();
  ASSERT_EQ(d.size(), 4u + 11u + 5u);
  EXPECT_EQ(d[0], "gif=Graphics Interchange Format");
  EXPECT_EQ(d[1], "jp2=JPEG 2000");
  EXPECT_EQ(d[3], "jpc=JPEG 2000");
  EXPECT_EQ(d[4], "crw=RAW Images");
  EXPECT_EQ(d[14], "rw2=RAW Images");
  EXPECT_EQ(d[15], "webp=WebP images");
  EXPECT_EQ(d[19], "jxl=JPEG XL images");
  EXPECT_EQ(descriptionIn(d, "j2k"), "JPEG 2000");
  EXPECT_EQ(descriptionIn(d, "bmp"), "");
}

TEST(Registry, OpenDialogFilterFromSmallLists) {
  const std::vector<LoaderEntry> loader = {{"bmp", &kBmpCodec}, {"jpg", &kJpegCodec}};
  std::string filter = buildOpenDialogFilter({".crw", ".jpg"}, loader, {".crw"}, ExtDesc());
  EXPECT_EQ(filter,
            "All|*.crw;*.jpg;*.bmp;*.jpg;*.gif;*.jp2;*.j2k;*.jpc;*.crw;"
            "|.BMP (Windows bitmaps)|*bmp|.JPG (JPG images)|*jpg|.GIF (Graphics Interchange Format)|*gif"
            "|.JP2 (JPEG 2000)|*jp2|.J2K (JPEG 2000)|*j2k|.JPC (JPEG 2000)|*jpc|.CRW (RAW Images)|*crw");
  // An extension with no description at all gets empty brackets.
  EXPECT_EQ(buildOpenDialogFilter({}, {}, {".xyz"}, {}),
            "All|*.gif;*.jp2;*.j2k;*.jpc;*.xyz;|.GIF ()|*gif|.JP2 ()|*jp2|.J2K ()|*j2k|.JPC ()|*jpc|.XYZ ()|*xyz");
}

TEST(Registry, OpenDialogFilterOfThisBuild) {
  std::string filter = openDialogFilter();
  EXPECT_EQ(filter.rfind("All|*.crw;*.cr2;", 0), 0u);
  EXPECT_NE(filter.find("|.PSP (Paintshop Pro images)|*psp|.GIF (Graphics Interchange Format)|*gif|"), std::string::npos);
  EXPECT_NE(filter.find("|.TGA (Truevision images)|*tga|"), std::string::npos);
  EXPECT_NE(filter.find("|.RW2 (RAW Images)|*rw2|.WEBP (WebP images)|*webp|.AVIF (AVIF images)|*avif"
                        "|.HEIC (HEIF images)|*heic|.HEIF (HEIF images)|*heif|.JXL (JPEG XL images)|*jxl"),
            std::string::npos);
  EXPECT_NE(filter.find("*.rw2;*.webp;*.avif;*.heic;*.heif;*.jxl;|"), std::string::npos);
}

TEST(Registry, UnknownExtensionFailsBeforeReading) {
  try {
    loadImage("/nonexistent/picture.xyz");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_THROW(loadImage("/nonexistent/picture.png"), Error);  // the file system's message
}

TEST(Registry, TheExtensionNotTheContentChoosesTheDecoder) {
  std::vector<uint8_t> png = test::makePng(1, 1, 0, 8, {{7}});
  EXPECT_EQ(test::decodeAs("png", png).kind, DecodedKind::kPng);
  try {
    test::decodeAs("JPG", png);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace brevane::codecs
