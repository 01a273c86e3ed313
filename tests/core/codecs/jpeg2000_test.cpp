// The JPEG 2000 reader on lossless files OpenJPEG writes here: file-type test, layouts by
// component count, byte placement, precision and sign, sub-sampling, YCC conversion, alpha.
#include <openjpeg.h>
#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;

struct Component {
  int precision = 8;
  bool sgnd = false;
  int dx = 1, dy = 1;
  bool alpha = false;
  std::vector<int> samples;  // row by row at the component's own size
};

// A lossless JP2 file (or raw codestream) of the components given, without colour transform.
std::vector<uint8_t> makeJ2k(int width, int height, OPJ_COLOR_SPACE space, const std::vector<Component>& comps,
                             bool jp2 = true) {
  std::vector<opj_image_cmptparm_t> params(comps.size());
  for (size_t i = 0; i < comps.size(); ++i) {
    params[i] = {};
    params[i].dx = static_cast<OPJ_UINT32>(comps[i].dx);
    params[i].dy = static_cast<OPJ_UINT32>(comps[i].dy);
    params[i].w = static_cast<OPJ_UINT32>((width + comps[i].dx - 1) / comps[i].dx);
    params[i].h = static_cast<OPJ_UINT32>((height + comps[i].dy - 1) / comps[i].dy);
    params[i].prec = static_cast<OPJ_UINT32>(comps[i].precision);
    params[i].sgnd = comps[i].sgnd ? 1 : 0;
  }
  opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(comps.size()), params.data(), space);
  image->x1 = static_cast<OPJ_UINT32>(width);
  image->y1 = static_cast<OPJ_UINT32>(height);
  for (size_t i = 0; i < comps.size(); ++i) {
    image->comps[i].alpha = comps[i].alpha ? 1 : 0;
    for (size_t k = 0; k < comps[i].samples.size(); ++k) image->comps[i].data[k] = comps[i].samples[k];
  }
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  cp.tcp_numlayers = 1;
  cp.tcp_rates[0] = 0;
  cp.cp_disto_alloc = 1;
  cp.numresolution = 1;
  cp.tcp_mct = 0;
  opj_codec_t* codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  EXPECT_TRUE(opj_setup_encoder(codec, &cp, image));
  std::string path = brevane::test::makeTempDir("j2k") + (jp2 ? "t.jp2" : "t.j2k");
  opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
  EXPECT_TRUE(opj_start_compress(codec, image, stream));
  EXPECT_TRUE(opj_encode(codec, stream));
  EXPECT_TRUE(opj_end_compress(codec, stream));
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  return brevane::test::readBytes(path);
}

Component flat(int value, int precision = 8, int count = 1) {
  Component c;
  c.precision = precision;
  c.samples.assign(static_cast<size_t>(count), value);
  return c;
}

void expectMessage(const std::vector<uint8_t>& bytes, const char* message) {
  try {
    decodeAs("jp2", bytes);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

TEST(Jpeg2000Reader, FileTypeComesFromTheFirstBytes) {
  expectMessage({0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20}, "Unknown JPEG 2000 file type");
  expectMessage({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, "Unknown JPEG 2000 file type");
  expectMessage({0xFF, 0x4F, 0xFF, 0x51, 0, 0, 0, 0, 0, 0}, "JPEG 2000 image decoding failed");
  // A codestream named .jp2 still decodes.
  auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_UNSPECIFIED, {flat(9)}, false));
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{9, 9, 9}));
  std::vector<uint8_t> cut = makeJ2k(4, 4, OPJ_CLRSPC_GRAY, {flat(1, 8, 16)});
  cut.resize(cut.size() - 20);
  expectMessage(cut, "JPEG 2000 image decoding failed");
}

TEST(Jpeg2000Reader, ThreeComponentsInSrgbAreRedGreenBlue) {
  auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_SRGB, {flat(10), flat(20), flat(30)}));
  EXPECT_EQ(img.kind, DecodedKind::kBitmap);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 24);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{30, 20, 10}));
}

TEST(Jpeg2000Reader, UnspecifiedComponentsGoInReverseOrderAndFourAreRgba) {
  auto three = decodeAs("j2k", makeJ2k(1, 1, OPJ_CLRSPC_UNSPECIFIED, {flat(10), flat(20), flat(30)}, false));
  EXPECT_EQ(three.bitmap.pixel(0, 0), (Bgr{30, 20, 10}));
  auto four = decodeAs("j2k", makeJ2k(1, 1, OPJ_CLRSPC_UNSPECIFIED, {flat(10), flat(20), flat(30), flat(40)}, false));
  ASSERT_EQ(four.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(four.bitmap.alphaMode(), AlphaMode::kStraight);
  EXPECT_EQ(bgraAt(four.bitmap, 0, 0), (test::Bgra{30, 20, 10, 40}));
}

TEST(Jpeg2000Reader, ChannelDefinitionAlphaGoesToTheFourthByte) {
  Component alpha = flat(77);
  alpha.alpha = true;
  auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_SRGB, {flat(1), flat(2), flat(3), alpha}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{3, 2, 1, 77}));
}

TEST(Jpeg2000Reader, OtherCountsUseTheFirstComponentAsGrey) {
  auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_GRAY, {flat(60), flat(200)}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{60, 60, 60}));
}

TEST(Jpeg2000Reader, PrecisionAndSignScaleToBytes) {
  Component deep;
  deep.precision = 12;
  deep.samples = {4095, 2048, 0};
  auto img = decodeAs("jp2", makeJ2k(3, 1, OPJ_CLRSPC_GRAY, {deep}));
  EXPECT_EQ(img.bitmap.pixel(0, 0).r, 255);
  EXPECT_EQ(img.bitmap.pixel(1, 0).r, 127);  // 2048 * 255 div 4095
  EXPECT_EQ(img.bitmap.pixel(2, 0).r, 0);
  Component sgnd;
  sgnd.sgnd = true;
  sgnd.samples = {-128, 0, 127};
  img = decodeAs("jp2", makeJ2k(3, 1, OPJ_CLRSPC_GRAY, {sgnd}));
  EXPECT_EQ(img.bitmap.pixel(0, 0).r, 0);
  EXPECT_EQ(img.bitmap.pixel(1, 0).r, 128);
  EXPECT_EQ(img.bitmap.pixel(2, 0).r, 255);
}

TEST(Jpeg2000Reader, SubsampledComponentsFillClippedBlocks) {
  // 3 x 3 image; green and blue at half resolution (2 x 2 samples).
  Component red;
  red.samples = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  Component green;
  green.dx = green.dy = 2;
  green.samples = {10, 20, 30, 40};
  Component blue = green;
  blue.samples = {50, 60, 70, 80};
  auto img = decodeAs("jp2", makeJ2k(3, 3, OPJ_CLRSPC_SRGB, {red, green, blue}));
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{50, 10, 1}));
  EXPECT_EQ(img.bitmap.pixel(1, 1), (Bgr{50, 10, 5}));
  EXPECT_EQ(img.bitmap.pixel(2, 0), (Bgr{60, 20, 3}));
  EXPECT_EQ(img.bitmap.pixel(2, 2), (Bgr{80, 40, 9}));
}

TEST(Jpeg2000Reader, YccIsConvertedWithRoundingAndClamping) {
  struct Case {
    int y, cb, cr;
  };
  for (Case c : {Case{100, 200, 50}, Case{128, 128, 128}, Case{255, 255, 255}, Case{0, 0, 0}, Case{77, 131, 99}}) {
    auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_SYCC, {flat(c.y), flat(c.cb), flat(c.cr)}));
    auto expect = [](double v) {
      double r = std::nearbyint(v);
      return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    };
    Bgr want{expect(c.y + 1.772 * (c.cb - 128)),
             expect(c.y - 0.34414 * (c.cb - 128) - 0.71414 * (c.cr - 128)),
             expect(c.y + 1.402 * (c.cr - 128))};
    EXPECT_EQ(img.bitmap.pixel(0, 0), want) << c.y << " " << c.cb << " " << c.cr;
  }
  // One case worked by hand: red clamps to 0.
  auto img = decodeAs("jp2", makeJ2k(1, 1, OPJ_CLRSPC_SYCC, {flat(100), flat(200), flat(50)}));
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{228, 131, 0}));
}

}  // namespace
}  // namespace brevane::codecs
