// The decoder registry and the accepted-extension lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "codecs/codec.h"

namespace brevane::codecs {

/// One row of the loader's registered-extension list.
struct LoaderEntry {
  std::string_view extension;  // lower case, without dot
  const CodecDescriptor* codec;
};

/// The loader's registered extensions in their order (bmp, ico, wmf, ... psp).
const std::vector<LoaderEntry>& loaderList();

/// Readers added after the RAW extensions (webp, avif, heic, heif, jxl), in their order: their
/// extensions end the accepted list and the open dialog's entries.
const std::vector<LoaderEntry>& appendedDecoders();

/// The RAW extensions with their dot (".crw" ... ".rw2").
const std::vector<std::string>& supportedRaws();
/// Every accepted extension with its dot, in build order (may repeat).
const std::vector<std::string>& supportedExts();

/// The RAW list followed by the fixed list (".jpg" ... ".jpc"): what `supportedExts` holds
/// before the loader's extensions are appended.
const std::vector<std::string>& initialExts();

/// Descriptions of extensions outside the loader's list, as "ext=description" (gif, jp2, j2k,
/// jpc, then each RAW extension with "RAW Images", then the appended readers' extensions).
const std::vector<std::string>& ExtDesc();
/// The value for an extension (without dot, lower case) in an "ext=description" list, or "".
std::string descriptionIn(const std::vector<std::string>& extDesc, std::string_view extension);

/// The extensions the open dialog lists one by one: the loader's, "gif", "jp2", "j2k", "jpc",
/// the RAW extensions without dot, then the appended readers' extensions.
std::vector<std::string> dialogExtensions(const std::vector<LoaderEntry>& loader, const std::vector<std::string>& raws,
                                          const std::vector<LoaderEntry>& appended = {});

/// The open dialog's filter: "All|" with a pattern for every extension, then one
/// "|.EXT (description)|*ext" entry per dialog extension. The description is the loader's,
/// else the extension's value in `extDesc`.
std::string buildOpenDialogFilter(const std::vector<std::string>& initial, const std::vector<LoaderEntry>& loader,
                                  const std::vector<std::string>& raws, const std::vector<std::string>& extDesc,
                                  const std::vector<LoaderEntry>& appended = {});
/// The filter of this build's lists.
std::string openDialogFilter();

/// Case-insensitive tests of an extension with its dot.
bool isAcceptedExtension(std::string_view extensionWithDot);
bool isRawExtension(std::string_view extensionWithDot);

/// The decoder for an extension without dot (any case), or nullptr.
const CodecDescriptor* findDecoder(std::string_view extension);

/// Registry load: reads the file and decodes it with the decoder of its extension. Throws
/// brevane::Error: "Unknown picture file extension (.%s)", the file system's message, or the
/// decoder's message. `identity`, when given, receives the file that was read.
DecodedImage loadImage(const std::string& path, FileIdentity* identity = nullptr);
/// Decodes bytes already read with the decoder of `path`'s extension.
DecodedImage decodeBytes(const std::string& path, std::span<const uint8_t> data);

}  // namespace brevane::codecs
