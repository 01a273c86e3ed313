// The options of each conversion step, built from the options of a run.
#pragma once

#include "codecs/output_formats.h"
#include "engine/photo_steps.h"
#include "engine/settings.h"
#include "imaging/overlay_preview.h"
#include "imaging/resize.h"
#include "imaging/text_stamp.h"
#include "imaging/watermark.h"

namespace brevane {

/// The resize mode of a Selected_mode value; values outside 0-2 resize nothing.
imaging::ResizeMode resizeModeOf(int selectedMode);

/// Selected_mode, Resize_width/_height/_percent, Resize_proportional, EnlargeIfSmall,
/// SmartCrop_enable and Resampling_filter.
imaging::ResizeOptions resizeOptions(const TConversionSettings& settings);
/// Text_Font, Text_position, Text_opacity and Text_Shadow.
imaging::TextStampOptions textStampOptions(const TConversionSettings& settings);
/// Img_path and Img_position.
imaging::WatermarkOptions watermarkOptions(const TConversionSettings& settings);
/// The text stamp when Watermark_enable is on, the watermark when Img_watermark_enabled is on.
imaging::OverlayPreviewOptions overlayPreviewOptions(const TConversionSettings& settings);
/// Auto_rotate, Keep_icc, Convert_srgb, Strip_private and Strip_metadata.
PhotoOptions photoOptions(const TConversionSettings& settings);
/// JPG_quality, JPG_progressive, Png_interlace, Png_filter, PNG_compression, J2K_quality,
/// J2K_Lossless, WEBP_quality, WEBP_Lossless, AVIF_quality, AVIF_speed, JXL_quality and
/// JXL_Lossless; no Exif block and no ICC profile.
codecs::EncodeOptions encodeOptions(const TConversionSettings& settings);

}  // namespace brevane
