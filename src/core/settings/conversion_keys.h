// Settings values as text: integers, one run option applied to the record, the font string.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/settings.h"

namespace brevane::settings {

/// Integer value of a settings text: decimal, or hexadecimal with "0x" or "$"; none when malformed.
std::optional<long long> parseIntegerValue(std::string_view text);

enum class ApplyResult { kApplied, kUnknownKey, kMalformed, kIgnored };

/// Applies one key of section "Settings" to the record, clamping to the control's range; a
/// list index outside its list is malformed. Keys of application state ("Language",
/// "Mainform_height", ...) are recognised and reported as kIgnored.
ApplyResult applySettingsKey(TConversionSettings& settings, std::string_view key, std::string_view value);

/// Reads a font string ("name,charset,color,size,style") onto a font: a field counts only when
/// a comma follows it, the fifth is the rest; empty or non-numeric fields leave the attribute.
void applyFontString(FontSpec& font, std::string_view text);
/// The font string of a font.
std::string fontString(const FontSpec& font);

}  // namespace brevane::settings
