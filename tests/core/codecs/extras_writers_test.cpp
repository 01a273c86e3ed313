// The extra-format readers on files that independent programs write (netpbm, ImageMagick),
// compared with the image those programs were given or with their own decoding.
#include <gtest/gtest.h>

#include "core/codecs/extras_test_support.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

// A 13 x 5 source of eight colours (few enough for 4-plane PCX), as a binary PPM.
std::string writeSource(const std::string& dir, int colours = 8) {
  static const uint8_t kColours[8][3] = {{255, 0, 0}, {0, 255, 0},     {0, 0, 255},   {255, 255, 255},
                                         {0, 0, 0},   {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
  const int w = 13, h = 5;
  std::string text = "P6\n13 5\n255\n";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* c = kColours[(x * 3 + y * 5 + x / 4) % colours];
      bytes.insert(bytes.end(), c, c + 3);
    }
  std::string path = dir + "source.ppm";
  test::writeBytes(path, bytes);
  return path;
}

struct WriterCase {
  const char* name;
  const char* program;  // must be on PATH
  const char* command;  // %s: the source PPM; writes to standard output
  const char* extension;
  int colours = 8;              // of the source
  bool grey = false;            // compare with the source made grey
  bool viaImageMagick = false;  // compare with ImageMagick's decoding of the written file
  int tolerance = 0;
};

void PrintTo(const WriterCase& c, std::ostream* os) {
  *os << c.name;
}

class ExtrasWrittenFiles : public ::testing::TestWithParam<WriterCase> {};

TEST_P(ExtrasWrittenFiles, DecodeToTheirSource) {
  const WriterCase& c = GetParam();
  BREVANE_REQUIRE_PROGRAM(c.program);
  BREVANE_REQUIRE_PROGRAM("convert");
  std::string dir = test::makeTempDir("writer");
  std::string source = writeSource(dir, c.colours);
  std::string out = dir + "written." + c.extension;
  char command[512];
  std::snprintf(command, sizeof command, c.command, test::shellQuote(source).c_str());
  ASSERT_TRUE(test::run(std::string(command) + " > " + test::shellQuote(out))) << command;

  DecodedImage ours = loadImage(out);
  std::optional<test::Rgba> reference;
  if (c.viaImageMagick) {
    reference = test::imageMagickDecode(out);
  } else if (c.grey) {
    std::string grey = dir + "grey.pgm";
    ASSERT_TRUE(test::run("ppmtopgm " + test::shellQuote(source) + " > " + test::shellQuote(grey)));
    reference = test::readNetpbm(test::readBytes(grey));
  } else {
    reference = test::readNetpbm(test::readBytes(source));
  }
  ASSERT_TRUE(reference);
  EXPECT_TRUE(test::closePixels(test::toRgba(ours.bitmap), *reference, c.tolerance));
}

INSTANTIATE_TEST_SUITE_P(
    Extras, ExtrasWrittenFiles,
    ::testing::Values(
        WriterCase{"pcx_24bit", "ppmtopcx", "ppmtopcx -24bit %s", "pcx"},
        WriterCase{"pcx_8bit_vga_palette", "ppmtopcx", "ppmtopcx -8bit %s", "pcc"},
        WriterCase{"pcx_4_planes_ega_palette", "ppmtopcx", "ppmtopcx -planes 4 %s", "pcx"},
        WriterCase{"pcx_2_planes", "ppmtopcx", "ppmtopcx -planes 2 %s", "pcx", 4},
        WriterCase{"pcx_1_plane_mono", "ppmtopcx", "ppmtopcx -planes 1 %s", "scr", 2},
        WriterCase{"pcx_packed_4bit", "ppmtopcx", "ppmtopcx -packed %s", "pcx"},
        WriterCase{"pcx_packed_2bit", "ppmtopcx", "ppmtopcx -packed %s", "pcx", 4},
        WriterCase{"sgi_rle_rgb", "pnmtosgi", "pnmtosgi -rle %s", "sgi"},
        WriterCase{"sgi_verbatim_rgb", "pnmtosgi", "pnmtosgi -verbatim %s", "rgb"},
        WriterCase{"sgi_rle_grey", "pnmtosgi", "ppmtopgm %s | pnmtosgi -rle", "bw", 8, true},
        WriterCase{"sgi_rle_16bit", "pnmtosgi", "pamdepth 65535 %s | pnmtosgi -rle", "sgi"},
        WriterCase{"sgi_verbatim_16bit_grey", "pnmtosgi", "ppmtopgm %s | pamdepth 65535 | pnmtosgi -verbatim", "bw", 8,
                   true},
        WriterCase{"psd_rgb_raw", "convert", "convert %s -compress none psd:-", "psd"},
        WriterCase{"psd_rgb_rle", "convert", "convert %s -compress RLE psd:-", "pdd"},
        WriterCase{"psd_grey", "convert", "convert %s -colorspace Gray -compress RLE psd:-", "psd", 8, false, true},
        WriterCase{"psd_16bit", "convert", "convert %s -depth 16 -compress RLE psd:-", "psd"},
        WriterCase{"psd_rgba", "convert", "convert %s -alpha set -channel A -fx 'i%%2' +channel -compress RLE psd:-",
                   "psd", 8, false, true, 1},
        WriterCase{"psd_cmyk", "convert", "convert %s -colorspace CMYK -compress RLE psd:-", "psd", 8, false, true, 1},
        WriterCase{"psd_indexed", "convert", "convert %s -type Palette -compress RLE psd:-", "psd"},
        WriterCase{"psd_bitmap", "convert", "convert %s -monochrome psd:-", "psd", 8, false, true},
        WriterCase{"psd_lab", "convert", "convert %s -colorspace Lab -compress RLE psd:-", "psd", 8, false, true, 3},
        WriterCase{"pnm_plain_ppm", "pnmtoplainpnm", "pnmtoplainpnm %s", "ppm"},
        WriterCase{"pnm_plain_pgm", "pnmtoplainpnm", "ppmtopgm %s | pnmtoplainpnm", "pgm", 8, true},
        WriterCase{"pnm_raw_pbm", "ppmtopgm", "ppmtopgm %s | pgmtopbm -threshold", "pbm", 8, false, true},
        WriterCase{"pnm_plain_pbm", "ppmtopgm", "ppmtopgm %s | pgmtopbm -threshold | pnmtoplainpnm", "pbm", 8, false,
                   true}));

}  // namespace
}  // namespace brevane::codecs
