// The extra-format readers on damaged input: crafted bad headers and short data fail with their
// message, and truncated or corrupted real files fail only with brevane::Error (never a crash,
// a hang or another exception).
#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A 128-byte PCX header with the given fields (little-endian).
Bytes pcxHeader(int bits, int planes, int xmax, int ymax, int bytesPerLine, int encoding = 1) {
  Bytes h(128, 0);
  h[0] = 0x0A, h[1] = 5, h[2] = static_cast<uint8_t>(encoding), h[3] = static_cast<uint8_t>(bits);
  h[8] = xmax & 0xFF, h[9] = static_cast<uint8_t>(xmax >> 8), h[10] = ymax & 0xFF,
  h[11] = static_cast<uint8_t>(ymax >> 8);
  h[65] = static_cast<uint8_t>(planes);
  h[66] = bytesPerLine & 0xFF, h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
  return h;
}

// A 512-byte SGI header (big-endian).
Bytes sgiHeader(int storage, int bpc, int xs, int ys, int zs, uint32_t colormap = 0) {
  Bytes h(512, 0);
  h[0] = 0x01, h[1] = 0xDA, h[2] = static_cast<uint8_t>(storage), h[3] = static_cast<uint8_t>(bpc);
  h[5] = 3;
  h[6] = static_cast<uint8_t>(xs >> 8), h[7] = xs & 0xFF, h[8] = static_cast<uint8_t>(ys >> 8), h[9] = ys & 0xFF;
  h[11] = static_cast<uint8_t>(zs);
  h[107] = static_cast<uint8_t>(colormap);
  return h;
}

Bytes psdHeader(int channels, uint32_t height, uint32_t width, int depth, int mode, int version = 1) {
  Bytes h = {'8', 'B', 'P', 'S', 0, static_cast<uint8_t>(version), 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(channels)};
  for (uint32_t v : {height, width}) {
    h.push_back(static_cast<uint8_t>(v >> 24)), h.push_back(static_cast<uint8_t>(v >> 16));
    h.push_back(static_cast<uint8_t>(v >> 8)), h.push_back(static_cast<uint8_t>(v));
  }
  h.push_back(0), h.push_back(static_cast<uint8_t>(depth)), h.push_back(0), h.push_back(static_cast<uint8_t>(mode));
  h.resize(h.size() + 12, 0);  // empty colour data, resources, layer section
  return h;
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes rlaHeader(int colour, int matte, int bits) {
  Bytes h(740, 0);
  h[11] = 3, h[15] = 1;  // active window 0..3 x 0..1
  h[21] = static_cast<uint8_t>(colour), h[23] = static_cast<uint8_t>(matte);
  h[26] = 0xFF, h[27] = 0xFE;  // revision
  h[659] = static_cast<uint8_t>(bits), h[663] = 8;
  return h;
}

struct BadCase {
  const char* name;
  const char* file;
  Bytes bytes;
  const char* message;  // the error message begins with this
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

class ExtrasBadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(ExtrasBadInput, FailsWithItsMessage) {
  const BadCase& c = GetParam();
  try {
    decodeBytes(c.file, c.bytes);
    FAIL() << "decoded";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
  }
}

const char kPcd[] = "PCD_IPI";

INSTANTIATE_TEST_SUITE_P(
    Extras, ExtrasBadInput,
    ::testing::Values(
        BadCase{"pcx_short_header", "a.pcx", Bytes{0x0A, 5, 1, 8}, "PCX header is truncated"},
        BadCase{"pcx_not_pcx", "a.pcx", Bytes(128, 1), "Not a PCX file"},
        BadCase{"pcx_huge", "a.pcx", pcxHeader(8, 1, 65535, 65535, 65535), "Image is too large"},
        BadCase{"pcx_short_lines", "a.pcx", pcxHeader(8, 1, 9, 0, 4), "PCX file has too few bytes per line"},
        BadCase{"pcx_odd_depth", "a.pcx", pcxHeader(4, 3, 1, 1, 2), "PCX files of 4 bits with 3 planes"},
        BadCase{"pcx_rle_cut_short", "a.pcx", concat(pcxHeader(8, 1, 99, 9, 100), Bytes{0xC5, 1, 2, 3}), "PCX data is truncated"},
        BadCase{"pcx_rle_run_without_value", "a.pcx", concat(pcxHeader(8, 1, 3, 0, 4), Bytes{1, 0xC2}), "PCX data is truncated"},
        BadCase{"sgi_not_sgi", "a.sgi", Bytes(512, 0), "Not an SGI image file"},
        BadCase{"sgi_short", "a.rgb", Bytes{0x01, 0xDA, 0, 1}, "SGI header is truncated"},
        BadCase{"sgi_colormap", "a.sgi", sgiHeader(0, 1, 2, 2, 1, 3), "SGI colour-map"},
        BadCase{"sgi_sample_size", "a.sgi", sgiHeader(0, 3, 2, 2, 1), "SGI file has an unsupported sample size"},
        BadCase{"sgi_verbatim_short", "a.bw", concat(sgiHeader(0, 1, 4, 4, 1), Bytes(15, 0)), "SGI image data is truncated"},
        BadCase{"sgi_rle_tables_short", "a.rgba", concat(sgiHeader(1, 1, 4, 4, 4), Bytes(20, 0)), "SGI image data is truncated"},
        BadCase{"sgi_rle_row_outside", "a.sgi", concat(sgiHeader(1, 1, 4, 1, 1), Bytes{0, 0, 0x10, 0, 0, 0, 0, 9}), "SGI image data is truncated"},
        BadCase{"psd_not_psd", "a.psd", text("8BPX and more bytes than a header needs"), "Not a Photoshop file"},
        BadCase{"psd_version", "a.psd", psdHeader(3, 1, 1, 8, 3, 3), "Photoshop file has an unknown version"},
        BadCase{"psd_depth_32", "a.psd", psdHeader(3, 1, 1, 32, 3), "Photoshop images of 32 bits"},
        BadCase{"psd_no_channels", "a.pdd", psdHeader(0, 1, 1, 8, 3), "Photoshop file has an invalid channel count"},
        BadCase{"psd_mode_unknown", "a.psd", psdHeader(3, 1, 1, 8, 5), "Photoshop colour mode 5"},
        BadCase{"psd_too_few_channels", "a.psd", psdHeader(2, 1, 1, 8, 3), "Photoshop file has too few channels"},
        BadCase{"psd_huge", "a.psd", psdHeader(3, 300000, 300000, 8, 3), "Image is too large"},
        BadCase{"psd_zip", "a.psd", concat(psdHeader(3, 1, 1, 8, 3), Bytes{0, 2}), "Photoshop composite images compressed with ZIP"},
        BadCase{"psd_raw_short", "a.psd", concat(psdHeader(3, 2, 2, 8, 3), Bytes{0, 0, 1, 2, 3}), "Photoshop file is truncated"},
        BadCase{"psd_rle_counts_past_end", "a.psd", concat(psdHeader(1, 1, 4, 8, 1), Bytes{0, 1, 0x7F, 0xFF, 3}), "Photoshop file is truncated"},
        BadCase{"pnm_p7", "a.ppm", text("P7\nWIDTH 1\n"), "Not a portable map file"},
        BadCase{"pnm_no_maxval", "a.pgm", text("P2 2 2"), "Portable map data is truncated"},
        BadCase{"pnm_maxval_zero", "a.pgm", text("P5 1 1 0\n\x01"), "Portable map maximum value must be 1 to 65535"},
        BadCase{"pnm_maxval_large", "a.ppm", text("P6 1 1 70000\n"), "Portable map maximum value must be 1 to 65535"},
        BadCase{"pnm_zero_width", "a.pbm", text("P4 0 5\n"), "Invalid image size"},
        BadCase{"pnm_bad_number", "a.ppm", text("P6 x 1 255\n"), "Portable map has an invalid width"},
        BadCase{"pnm_raster_short", "a.ppm", text("P6 2 2 255\nabcdefghi"), "Portable map data is truncated"},
        BadCase{"pnm_plain_bad_digit", "a.pbm", text("P1 2 1 0 2 "), "Portable map has an invalid sample"},
        BadCase{"pnm_huge", "a.pgm", text("P5 99999999 99999999 255\n"), "Image is too large"},
        BadCase{"cel_softimage_pic", "a.pic", Bytes{0x53, 0x80, 0xF6, 0x34, 0, 0, 0, 0}, "Not an Autodesk Animator image"},
        BadCase{"cel_flic_short", "a.cel", Bytes{0, 0, 0, 0, 0x12, 0xAF, 0, 0}, "Autodesk image header is truncated"},
        BadCase{"cel_short_header", "a.cel", Bytes{0x19, 0x91, 4, 0}, "Autodesk image header is truncated"},
        BadCase{"pcd_not_pcd", "a.pcd", Bytes(4096, 0), "Not a Kodak Photo CD image pac"},
        BadCase{"pcd_no_base_image", "a.pcd", [] { Bytes b(100000, 0); std::copy(kPcd, kPcd + 7, b.begin() + 2048); return b; }(), "Photo CD file is truncated"},
        BadCase{"cut_short", "a.cut", Bytes{1, 0, 1}, "Dr. Halo header is truncated"},
        BadCase{"cut_zero_size", "a.cut", Bytes{0, 0, 4, 0, 0, 0}, "Dr. Halo file has an invalid image size"},
        BadCase{"cut_rows_missing", "a.cut", Bytes{4, 0, 200, 0, 0, 0, 3, 0, 0x84, 1, 0}, "Dr. Halo image data is truncated"},
        BadCase{"psp_not_psp", "a.psp", text("Paint Shop Pro Image Fil\n\x1a more bytes here."), "Not a Paintshop Pro image file"},
        BadCase{"psp_no_blocks", "a.psp", concat(text("Paint Shop Pro Image File\n\x1a"), Bytes{0, 0, 0, 0, 0, 10, 0, 0, 0}), "Paintshop Pro file has no image attributes"},
        BadCase{"rla_no_channels", "a.rpf", rlaHeader(0, 0, 8), "Alias/Wavefront file has no colour or matte channels"},
        BadCase{"rla_float", "a.rla", rlaHeader(3, 0, 32), "Alias/Wavefront images of more than 16 bits"},
        BadCase{"rla_offsets_short", "a.rla", rlaHeader(3, 0, 8), "Alias/Wavefront image data is truncated"},
        BadCase{"rla_header_short", "a.rla", Bytes(100, 0), "Alias/Wavefront header is truncated"},
        BadCase{"eps_not_postscript", "a.eps", text("GIF89a"), "Not an Encapsulated PostScript file"},
        BadCase{"eps_binary_header_short", "a.eps", Bytes{0xC5, 0xD0, 0xD3, 0xC6, 1}, "EPS binary header is truncated"},
        BadCase{"epsi_depth", "a.eps", text("%!PS\n%%BeginPreview: 2 2 3 1\n%00\n"), "EPS previews of 3 bits per sample"},
        BadCase{"epsi_bad_header", "a.eps", text("%!PS\n%%BeginPreview: 2\n"), "EPS preview header is not valid"},
        BadCase{"epsi_short", "a.eps", text("%!PS\n%%BeginPreview: 16 2 8 1\n%00112233445566778899AABBCCDDEEFF00\n%%EndPreview\n"), "EPS preview data is truncated"},
        BadCase{"epsi_huge", "a.eps", text("%!PS\n%%BeginPreview: 100000 100000 8 1\n"), "Image is too large"}));

TEST(ExtrasBadInput, InvertedPcxWindowFails) {
  Bytes h = pcxHeader(8, 1, 0, 0, 2);
  h[4] = 5;  // xmin above xmax
  EXPECT_THROW(decodeBytes("a.pcx", h), Error);
}

// Every truncation and a spread of single-byte corruptions of a valid file either decode or
// fail with brevane::Error.
void sweep(const std::string& name, const Bytes& good) {
  auto tryDecode = [&](const Bytes& bytes, const std::string& what) {
    try {
      decodeBytes(name, bytes);
    } catch (const Error&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << name << " " << what << ": " << e.what();
    }
  };
  for (size_t cut : {size_t{0}, size_t{1}, size_t{7}, size_t{31}, size_t{129}, size_t{513}, size_t{741},
                     good.size() / 3, good.size() / 2, good.size() - 1}) {
    if (cut >= good.size()) continue;
    tryDecode(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), "cut at " + std::to_string(cut));
  }
  uint32_t s = 12345;
  for (int i = 0; i < 24; ++i) {
    Bytes bad = good;
    s = s * 1103515245u + 12345u;
    // Half of the hits land in the first kilobyte, where the headers and tables are.
    size_t limit = i % 2 ? bad.size() : std::min<size_t>(bad.size(), 1024);
    size_t at = (s >> 8) % limit;
    bad[at] ^= static_cast<uint8_t>(1u << (s % 8)) | 0x80;
    tryDecode(bad, "byte " + std::to_string(at) + " changed");
  }
}

TEST(ExtrasBadInput, TruncatedAndCorruptedCorpusFilesFailCleanly) {
  BREVANE_REQUIRE_TESTDATA();
  for (const char* folder :
       {"pcx", "pcx/exiftool", "sgi", "psd", "psd/oiio", "psd/exiftool", "pnm", "other/rla", "other/exiftool", "eps"}) {
    for (const auto& entry : std::filesystem::directory_iterator(test::testdata(folder))) {
      if (!entry.is_regular_file()) continue;
      std::string path = entry.path().string();
      std::string ext = path.substr(path.rfind('.') + 1);
      if (!findDecoder(ext) || ext == "bmp" || ext == "png" || ext == "dcx") continue;
      if (entry.file_size() > 200000) continue;  // the large ones add time, not cases
      sweep("x." + ext, test::readBytes(path));
    }
  }
}

}  // namespace
}  // namespace brevane::codecs
