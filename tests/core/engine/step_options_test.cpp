// The options of the conversion steps as the pipeline and the overlay preview build them.
#include "engine/step_options.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(StepOptions, SelectedModeValues) {
  EXPECT_EQ(resizeModeOf(0), imaging::ResizeMode::kNone);
  EXPECT_EQ(resizeModeOf(1), imaging::ResizeMode::kWidthHeight);
  EXPECT_EQ(resizeModeOf(2), imaging::ResizeMode::kPercent);
  EXPECT_EQ(resizeModeOf(3), imaging::ResizeMode::kNone);
  EXPECT_EQ(resizeModeOf(-1), imaging::ResizeMode::kNone);
}

TEST(StepOptions, EachStepTakesItsOwnFields) {
  TConversionSettings s;
  s.Selected_mode = 2;
  s.Resize_width = 11, s.Resize_height = 22, s.Resize_percent = 33;
  s.Resize_proportional = false, s.EnlargeIfSmall = true, s.SmartCrop_enable = true;
  s.Resampling_filter = 1;
  imaging::ResizeOptions r = resizeOptions(s);
  EXPECT_EQ(r.mode, imaging::ResizeMode::kPercent);
  EXPECT_EQ(r.width, 11);
  EXPECT_EQ(r.height, 22);
  EXPECT_EQ(r.percent, 33);
  EXPECT_FALSE(r.proportional);
  EXPECT_TRUE(r.enlarge);
  EXPECT_TRUE(r.smartCrop);
  EXPECT_EQ(r.kernel, 1);

  s.Text_Font.size = 40, s.Text_position = 2, s.Text_opacity = 30, s.Text_Shadow = false;
  s.Img_path = "/w.png", s.Img_position = 4;
  imaging::OverlayPreviewOptions none = overlayPreviewOptions(s);
  EXPECT_FALSE(none.text);
  EXPECT_FALSE(none.watermark);
  s.Watermark_enable = s.Img_watermark_enabled = true;
  imaging::OverlayPreviewOptions both = overlayPreviewOptions(s);
  ASSERT_TRUE(both.text && both.watermark);
  EXPECT_EQ(both.text->font, s.Text_Font);
  EXPECT_EQ(both.text->position, 2);
  EXPECT_EQ(both.text->opacity, 30);
  EXPECT_FALSE(both.text->shadow);
  EXPECT_EQ(both.watermark->path, "/w.png");
  EXPECT_EQ(both.watermark->position, 4);

  s.JPG_quality = 12, s.JPG_progressive = true, s.Png_interlace = true, s.Png_filter = false;
  s.PNG_compression = 3, s.J2K_quality = 44, s.J2K_Lossless = true;
  codecs::EncodeOptions e = encodeOptions(s);
  EXPECT_EQ(e.jpegQuality, 12);
  EXPECT_TRUE(e.jpegProgressive);
  EXPECT_TRUE(e.png.interlace);
  EXPECT_FALSE(e.png.allFilters);
  EXPECT_EQ(e.png.level, 3);
  EXPECT_EQ(e.jpeg2000Quality, 44);
  EXPECT_TRUE(e.jpeg2000Lossless);
}

}  // namespace
}  // namespace brevane
