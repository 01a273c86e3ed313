// The decoder registry: extension -> decoder, and the accepted-extension lists.
#include "codecs/registry.h"

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"

namespace brevane::codecs {

const std::vector<LoaderEntry>& loaderList() {
  static const std::vector<LoaderEntry> kList = {
      {"bmp", &kBmpCodec},   {"ico", &kIcoCodec},   {"wmf", &kMetafileCodec}, {"emf", &kMetafileCodec},
      {"jfif", &kJpegCodec}, {"jpg", &kJpegCodec},  {"jpe", &kJpegCodec},     {"jpeg", &kJpegCodec},
      {"rle", &kBmpCodec},   {"dib", &kBmpCodec},   {"win", &kTgaCodec},      {"vst", &kTgaCodec},
      {"vda", &kTgaCodec},   {"tga", &kTgaCodec},   {"icb", &kTgaCodec},      {"tiff", &kTiffCodec},
      {"tif", &kTiffCodec},  {"fax", &kTiffCodec},  {"eps", &kEpsCodec},      {"pcx", &kPcxCodec},
      {"pcc", &kPcxCodec},   {"scr", &kPcxCodec},   {"rpf", &kRlaCodec},      {"rla", &kRlaCodec},
      {"sgi", &kSgiCodec},   {"rgba", &kSgiCodec},  {"rgb", &kSgiCodec},      {"bw", &kSgiCodec},
      {"psd", &kPsdCodec},   {"pdd", &kPsdCodec},   {"ppm", &kPnmCodec},      {"pgm", &kPnmCodec},
      {"pbm", &kPnmCodec},   {"cel", &kCelCodec},   {"pic", &kCelCodec},      {"pcd", &kPcdCodec},
      {"cut", &kCutCodec},   {"psp", &kPspCodec},
  };
  return kList;
}

namespace {

// Decoders outside the loader's list.
const std::vector<LoaderEntry>& otherDecoders() {
  static const std::vector<LoaderEntry> kList = {
      {"png", &kPngCodec}, {"gif", &kGifCodec}, {"jp2", &kJpeg2000Codec},
      {"j2k", &kJpeg2000Codec}, {"jpc", &kJpeg2000Codec},
  };
  return kList;
}

}  // namespace

const std::vector<LoaderEntry>& appendedDecoders() {
  static const std::vector<LoaderEntry> kList = {
      {"webp", &kWebpCodec}, {"avif", &kAvifCodec}, {"heic", &kHeifCodec},
      {"heif", &kHeifCodec}, {"jxl", &kJxlCodec},
  };
  return kList;
}

const std::vector<std::string>& supportedRaws() {
  static const std::vector<std::string> kRaws = {".crw", ".cr2", ".nef", ".orf", ".raf", ".dng",
                                                 ".mrw", ".pef", ".srf", ".arw", ".rw2"};
  return kRaws;
}

const std::vector<std::string>& initialExts() {
  static const std::vector<std::string> kExts = [] {
    std::vector<std::string> exts = supportedRaws();
    for (const char* e : {".jpg", ".bmp", ".gif", ".png", ".jpeg", ".tif", ".tiff", ".ico", ".emf", ".wmf",
                          ".jp2", ".j2k", ".jpc"})
      exts.emplace_back(e);
    return exts;
  }();
  return kExts;
}

const std::vector<std::string>& supportedExts() {
  static const std::vector<std::string> kExts = [] {
    std::vector<std::string> exts = initialExts();
    for (const std::string& e : dialogExtensions(loaderList(), supportedRaws(), appendedDecoders()))
      exts.push_back("." + e);
    return exts;
  }();
  return kExts;
}

const std::vector<std::string>& ExtDesc() {
  static const std::vector<std::string> kDesc = [] {
    std::vector<std::string> desc = {"gif=Graphics Interchange Format", "jp2=JPEG 2000", "j2k=JPEG 2000",
                                     "jpc=JPEG 2000"};
    for (const std::string& raw : supportedRaws()) desc.push_back(raw.substr(1) + "=RAW Images");
    for (const char* d : {"webp=WebP images", "avif=AVIF images", "heic=HEIF images", "heif=HEIF images",
                          "jxl=JPEG XL images"})
      desc.emplace_back(d);
    return desc;
  }();
  return kDesc;
}

std::string descriptionIn(const std::vector<std::string>& extDesc, std::string_view extension) {
  for (const std::string& pair : extDesc) {
    size_t eq = pair.find('=');
    if (eq != std::string::npos && std::string_view(pair).substr(0, eq) == extension) return pair.substr(eq + 1);
  }
  return "";
}

std::vector<std::string> dialogExtensions(const std::vector<LoaderEntry>& loader, const std::vector<std::string>& raws,
                                          const std::vector<LoaderEntry>& appended) {
  std::vector<std::string> exts;
  for (const LoaderEntry& entry : loader) exts.emplace_back(entry.extension);
  for (const char* e : {"gif", "jp2", "j2k", "jpc"}) exts.emplace_back(e);
  for (const std::string& raw : raws) exts.push_back(raw.size() > 1 && raw[0] == '.' ? raw.substr(1) : raw);
  for (const LoaderEntry& entry : appended) exts.emplace_back(entry.extension);
  return exts;
}

std::string buildOpenDialogFilter(const std::vector<std::string>& initial, const std::vector<LoaderEntry>& loader,
                                  const std::vector<std::string>& raws, const std::vector<std::string>& extDesc,
                                  const std::vector<LoaderEntry>& appended) {
  std::string filter = "All|";
  for (const std::string& e : initial) filter += "*" + e + ";";
  const std::vector<std::string> exts = dialogExtensions(loader, raws, appended);
  for (const std::string& e : exts) filter += "*." + e + ";";
  for (const std::string& e : exts) {
    std::string description;
    bool found = false;
    for (const LoaderEntry& entry : loader)
      if (entry.extension == e && entry.codec) {
        description = std::string(entry.codec->description);
        found = true;
        break;
      }
    if (!found) description = descriptionIn(extDesc, toLower(e));
    filter += "|." + toUpper(e) + " (" + description + ")|*" + e;
  }
  return filter;
}

std::string openDialogFilter() {
  return buildOpenDialogFilter(initialExts(), loaderList(), supportedRaws(), ExtDesc(), appendedDecoders());
}

bool isAcceptedExtension(std::string_view extensionWithDot) {
  for (const std::string& e : supportedExts())
    if (equalsIgnoreCase(e, extensionWithDot)) return true;
  return false;
}

bool isRawExtension(std::string_view extensionWithDot) {
  for (const std::string& e : supportedRaws())
    if (equalsIgnoreCase(e, extensionWithDot)) return true;
  return false;
}

const CodecDescriptor* findDecoder(std::string_view extension) {
  for (const LoaderEntry& entry : loaderList())
    if (equalsIgnoreCase(entry.extension, extension)) return entry.codec;
  for (const LoaderEntry& entry : otherDecoders())
    if (equalsIgnoreCase(entry.extension, extension)) return entry.codec;
  for (const LoaderEntry& entry : appendedDecoders())
    if (equalsIgnoreCase(entry.extension, extension)) return entry.codec;
  return nullptr;
}

namespace {

const CodecDescriptor& decoderFor(const std::string& path) {
  std::string ext = extensionOf(path);
  if (!ext.empty()) ext.erase(0, 1);
  const CodecDescriptor* codec = findDecoder(ext);
  if (!codec || !codec->decode) throw Error(format("Unknown picture file extension (.%s)", ext.c_str()));
  return *codec;
}

}  // namespace

DecodedImage decodeBytes(const std::string& path, std::span<const uint8_t> data) {
  const CodecDescriptor& codec = decoderFor(path);
  DecodeContext context{path};
  DecodedImage image = codec.decode(data, context);
  if (image.kind != DecodedKind::kMetafile) {
    image.width = image.bitmap.width();
    image.height = image.bitmap.height();
  }
  return image;
}

DecodedImage loadImage(const std::string& path, FileIdentity* identity) {
  decoderFor(path);  // an unknown extension fails before the file is read
  std::vector<uint8_t> data = readFile(path, identity);
  return decodeBytes(path, data);
}

}  // namespace brevane::codecs
