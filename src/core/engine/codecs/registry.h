// The decoder registry and the accepted-extension lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/codecs/codec.h"

namespace brevane::codecs {

/// One row of the loader's registered-extension list.
struct LoaderEntry {
  std::string_view extension;  // lower case, without dot
  const CodecDescriptor* codec;
};

/// The loader's registered extensions in their order (bmp, ico, wmf, ... psp).
const std::vector<LoaderEntry>& loaderList();

/// The RAW extensions with their dot (".crw" ... ".rw2").
const std::vector<std::string>& supportedRaws();
/// Every accepted extension with its dot, in build order (may repeat).
const std::vector<std::string>& supportedExts();

/// Case-insensitive tests of an extension with its dot.
bool isAcceptedExtension(std::string_view extensionWithDot);
bool isRawExtension(std::string_view extensionWithDot);

/// The decoder for an extension without dot (any case), or nullptr.
const CodecDescriptor* findDecoder(std::string_view extension);

/// Registry load: reads the file and decodes it with the decoder of its extension. Throws
/// brevane::Error: "Unknown picture file extension (.%s)", the file system's message, or the
/// decoder's message.
DecodedImage loadImage(const std::string& path);
/// Decodes bytes already read with the decoder of `path`'s extension.
DecodedImage decodeBytes(const std::string& path, std::span<const uint8_t> data);

}  // namespace brevane::codecs
