// The compression ratio handed to the JPEG 2000 encoder for a quality setting.
#pragma once

namespace brevane::codecs {

/// Ratio of the single quality layer for quality Q (1-100) and C components of a w x h image:
/// F = 100 / (115 - Q)^2, E = N * F + 550 + 142 * (C - 1), rate = 1 / (E / N) with N = w * h * C,
/// each step stored as a 32-bit float.
float jpeg2000Rate(int quality, int components, int width, int height);

}  // namespace brevane::codecs
