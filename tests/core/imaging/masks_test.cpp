// The rename and text masks: substitution order, case, counter width, file and Exif dates.
#include "imaging/masks.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>

#include "core/exif/exif_test_support.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

const LocalDateTime kNow{2021, 3, 4, 9, 5, 30, 0};

DateTimeFormat textFormat() {
  DateTimeFormat fs;
  fs.shortDate = "%d/%m/%Y";
  fs.longTime = "%H:%M:%S";
  fs.dateSeparator = '.';
  fs.timeSeparator = ':';
  return fs;
}

// Sets a file's last write time to a local date and time.
void setFileTime(const std::string& path, const LocalDateTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900, tm.tm_mon = t.month - 1, tm.tm_mday = t.day;
  tm.tm_hour = t.hour, tm.tm_min = t.minute, tm.tm_sec = t.second, tm.tm_isdst = -1;
  timeval times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

struct NameCase {
  const char* name;
  const char* mask;
  const char* filename;
  const char* target;
  int index, width, height, counterLength;
  const char* expected;
};

class NameMask : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameMask, Expands) {
  const NameCase& c = GetParam();
  MaskInput in{c.filename, c.target, c.index, c.width, c.height};
  EXPECT_EQ(ExpandNameMask(c.mask, c.counterLength, in, textFormat().forFileNames(), kNow), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NameMask,
    ::testing::Values(
        NameCase{"default_mask", "[N]_[C]_[W]x[H][E]", "/in/IMG 7.png", "/out/IMG 7.JPG", 3, 800, 600, 3,
                 "/out/IMG 7_003_800x600.JPG"},
        NameCase{"guarded_lower_case", "[C]_[c]_x", "/in/a.png", "/out/a.JPG", 1, 1, 1, 3, "/out/001_001_x"},
        NameCase{"counter_longer_than_width", "[C]", "/in/a.png", "/out/a.JPG", 123, 1, 1, 2, "/out/123"},
        NameCase{"counter_width_10", "[C]", "/in/a.png", "/out/a.JPG", 1, 1, 1, 10, "/out/0000000001"},
        NameCase{"value_of_earlier_step_replaced", "[N]", "/in/shot[W].png", "/out/shot[W].JPG", 1, 640, 480, 3,
                 "/out/shot640"},
        NameCase{"last_extension_only", "[n][e]", "/in/a.b.jpg", "/out/a.b.PNG", 1, 1, 1, 3, "/out/a.b.PNG"},
        NameCase{"no_extension_added", "photo", "/in/a.png", "/out/a.JPG", 1, 1, 1, 3, "/out/photo"},
        NameCase{"tokens_in_the_folder", "[N]", "/in/a.png", "/out[C]/a.JPG", 7, 1, 1, 3, "/out007/a"},
        NameCase{"time_and_date_with_underscores", "[T] [D]", "/in/a.png", "/out/a.JPG", 1, 1, 1, 3,
                 "/out/09_05 04_03_2021"},
        NameCase{"date_token_in_source_name", "[N]", "/in/a[D].png", "/out/a[D].JPG", 1, 1, 1, 3, "/out/a04_03_2021"},
        NameCase{"exif_tokens_stay", "[ED]_[ET]_[X]", "/in/a.jpg", "/out/a.JPG", 1, 1, 1, 3, "/out/[ED]_[ET]_[X]"},
        NameCase{"missing_file_times_are_now", "[FCD]_[FCT]", "/nonexistent/a.png", "/out/a.JPG", 1, 1, 1, 3,
                 "/out/04_03_2021_09_05"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NameMaskFiles, FileDateAndTimeAreTheLastWriteTime) {
  std::string dir = test::makeTempDir("masks");
  test::writeBytes(dir + "src.png", {1, 2, 3});
  setFileTime(dir + "src.png", {2019, 12, 31, 23, 58, 10, 0});
  MaskInput in{dir + "src.png", "/out/src.JPG", 1, 1, 1};
  EXPECT_EQ(ExpandNameMask("[FCD] [FCT]", 3, in, textFormat().forFileNames(), kNow), "/out/31_12_2019 23_58");
  EXPECT_EQ(ExpandTextMask("[FCD] [FCT]", in, textFormat(), kNow), "31.12.2019 23:58");
}

struct TextCase {
  const char* name;
  const char* mask;
  const char* filename;
  int index, width, height;
  const char* expected;
};

class TextMask : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextMask, Expands) {
  const TextCase& c = GetParam();
  MaskInput in{c.filename, "/out/x.JPG", c.index, c.width, c.height};
  EXPECT_EQ(ExpandTextMask(c.mask, in, textFormat(), kNow), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TextMask,
    ::testing::Values(
        TextCase{"counter_plain", "#[C]", "/in/a.png", 3, 1, 1, "#3"},
        TextCase{"size_and_name", "[N] [W]x[H] [e]", "/in/IMG 7.png", 1, 800, 600, "IMG 7 800x600 .JPG"},
        TextCase{"time_with_locale_separator", "[D] - [T]", "/in/a.png", 1, 1, 1, "04.03.2021 - 09:05"},
        TextCase{"date_token_in_source_name", "[N]", "/in/a[D].png", 1, 1, 1, "a04.03.2021"},
        TextCase{"symbols_pass", "\xC2\xA9 [N] \xE2\x84\xA2", "/in/a.png", 1, 1, 1, "\xC2\xA9 a \xE2\x84\xA2"},
        TextCase{"missing_source_exif_is_now", "[ED] [ET]", "/nonexistent/a.jpg", 1, 1, 1, "04.03.2021 09:05"}),
    [](const auto& info) { return std::string(info.param.name); });

class TextMaskExif : public ::testing::Test {
 protected:
  std::string dir = test::makeTempDir("textexif");
  const LocalDateTime fileTime{2018, 7, 6, 5, 4, 3, 0};

  std::string jpegWithDate(const std::string& name, const char* dateTime) {
    Exiv2::ExifData ed;
    ed["Exif.Image.Make"] = "M";
    if (dateTime) ed["Exif.Image.DateTime"] = std::string(dateTime);
    std::vector<uint8_t> exif = test::exifPayload(test::encodeTiff(ed, Exiv2::littleEndian));
    std::string path = dir + name;
    test::writeBytes(path, test::makeJpeg(8, 8, {{JPEG_APP0 + 1, exif}}));
    setFileTime(path, fileTime);
    return path;
  }
  std::string expand(const std::string& path) {
    return ExpandTextMask("[ED] [ET]", MaskInput{path, "/out/x.JPG", 1, 8, 8}, textFormat(), kNow);
  }
};

TEST_F(TextMaskExif, ExifDateWithSecondsElseFileDateWithHourAndMinute) {
  EXPECT_EQ(expand(jpegWithDate("dated.jpg", "2010:11:12 13:14:15")), "12.11.2010 13:14:15");
  EXPECT_EQ(expand(jpegWithDate("dated.JFIF", "2010:11:12 13:14:15")), "12.11.2010 13:14:15");
  EXPECT_EQ(expand(jpegWithDate("zero.jpg", "0000:00:00 00:00:00")), "06.07.2018 05:04");
  EXPECT_EQ(expand(jpegWithDate("none.jpeg", nullptr)), "06.07.2018 05:04");
  // The same bytes under a PNG name are never read for Exif.
  EXPECT_EQ(expand(jpegWithDate("photo.png", "2010:11:12 13:14:15")), "06.07.2018 05:04");
  // A .jpg that is no JPEG: the current time.
  test::writeBytes(dir + "fake.jpg", {'n', 'o'});
  EXPECT_EQ(expand(dir + "fake.jpg"), "04.03.2021 09:05");
}

TEST_F(TextMaskExif, OrderAppliesToInsertedValues) {
  // "[N]" brings "[ET]" into the text, which the Exif step then replaces.
  std::string path = jpegWithDate("x[ET].jpg", "2010:11:12 13:14:15");
  EXPECT_EQ(ExpandTextMask("[N]", MaskInput{path, "/out/x.JPG", 1, 8, 8}, textFormat(), kNow), "x13:14:15");
}

TEST(UniqueNameGuard, PrefixesMasksWithoutExactCounterOrName) {
  EXPECT_EQ(uniqueNameGuard("photo"), "[C]_photo");
  EXPECT_EQ(uniqueNameGuard("[c]_x"), "[C]_[c]_x");
  EXPECT_EQ(uniqueNameGuard("[n]"), "[C]_[n]");
  EXPECT_EQ(uniqueNameGuard("[N]x"), "[N]x");
  EXPECT_EQ(uniqueNameGuard("a[C]"), "a[C]");
}

TEST(MaskSamples, UseFixedSampleValues) {
  DateTimeFormat tfs = textFormat();
  EXPECT_EQ(renameSample("[N]_[C]_[W]x[H][E]", 3, 1920, 1080, kNow, tfs.forFileNames()), "Filename_015_1920x1080.jpg");
  EXPECT_EQ(renameSample("[c]|[T]|[FCT]|[D]|[FCD]", 1, 1, 1, kNow, tfs.forFileNames()),
            "15|09_05|09_05|04_03_2021|04_03_2021");
  EXPECT_EQ(renameSample("[C]", 5, 1, 1, kNow, tfs.forFileNames()), "00015");
  EXPECT_EQ(renameSample("[ED]", 3, 1, 1, kNow, tfs.forFileNames()), "[ED]");
  EXPECT_EQ(textSample("[C] [N][E] [W]x[H]", 640, 480, kNow, tfs), "15 Filename.jpg 640x480");
  EXPECT_EQ(textSample("[T] [ET] [FCT] [D] [ED] [FCD]", 1, 1, kNow, tfs),
            "09:05 09:05 09:05 04.03.2021 04.03.2021 04.03.2021");
}

TEST(ReplaceToken, IgnoresCaseAndDoesNotRescanInsertedText) {
  EXPECT_EQ(replaceToken("[n][N]x[N", "[N]", "ab"), "ababx[N");
  EXPECT_EQ(replaceToken("[N]", "[N]", "[N][N]"), "[N][N]");
  EXPECT_EQ(replaceToken("", "[N]", "a"), "");
}

}  // namespace
}  // namespace brevane::imaging
