// The options of each conversion step, built from the options of a run.
#include "engine/step_options.h"

namespace brevane {

imaging::ResizeMode resizeModeOf(int selectedMode) {
  switch (selectedMode) {
    case 1: return imaging::ResizeMode::kWidthHeight;
    case 2: return imaging::ResizeMode::kPercent;
    default: return imaging::ResizeMode::kNone;
  }
}

imaging::ResizeOptions resizeOptions(const TConversionSettings& s) {
  imaging::ResizeOptions o;
  o.mode = resizeModeOf(s.Selected_mode);
  o.width = s.Resize_width;
  o.height = s.Resize_height;
  o.percent = s.Resize_percent;
  o.proportional = s.Resize_proportional;
  o.enlarge = s.EnlargeIfSmall;
  o.smartCrop = s.SmartCrop_enable;
  o.kernel = s.Resampling_filter;
  return o;
}

imaging::TextStampOptions textStampOptions(const TConversionSettings& s) {
  return {s.Text_Font, s.Text_position, s.Text_opacity, s.Text_Shadow};
}

imaging::WatermarkOptions watermarkOptions(const TConversionSettings& s) {
  return {s.Img_path, s.Img_position};
}

imaging::OverlayPreviewOptions overlayPreviewOptions(const TConversionSettings& s) {
  imaging::OverlayPreviewOptions o;
  if (s.Watermark_enable) o.text = textStampOptions(s);
  if (s.Img_watermark_enabled) o.watermark = watermarkOptions(s);
  return o;
}

PhotoOptions photoOptions(const TConversionSettings& s) {
  return {s.Auto_rotate, s.Keep_icc, s.Convert_srgb, s.Strip_private, s.Strip_metadata};
}

codecs::EncodeOptions encodeOptions(const TConversionSettings& s) {
  codecs::EncodeOptions o;
  o.jpegQuality = s.JPG_quality;
  o.jpegProgressive = s.JPG_progressive;
  o.png = {s.Png_interlace, s.Png_filter, s.PNG_compression};
  o.jpeg2000Quality = s.J2K_quality;
  o.jpeg2000Lossless = s.J2K_Lossless;
  o.webp = {s.WEBP_quality, s.WEBP_Lossless};
  o.avif = {s.AVIF_quality, s.AVIF_speed};
  o.jxl = {s.JXL_quality, s.JXL_Lossless};
  return o;
}

}  // namespace brevane
