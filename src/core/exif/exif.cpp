// Exif carry-over into JPEG output and the Exif date of a source. The TIFF structure is read
// and written with Exiv2; the JPEG segments are walked and spliced by jpeg_segments.cpp.
// Exiv2 keeps shared state (its log level, tag tables), so every call here runs under
// ConversionLock, taken by the callers.
#include "exif/exif.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <new>
#include <optional>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "exif/jpeg_segments.h"
#include "exif/maker_note.h"
#include "exif/privacy.h"

namespace brevane::exif {

namespace {

// Exiv2 reports damaged data on stderr unless told otherwise; its warnings are no failures.
void quietExiv2() {
  static std::once_flag once;
  std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

bool hasJpegExtension(const std::string& path) {
  std::string ext = toUpper(extensionOf(path));
  return ext == ".JPG" || ext == ".JPEG" || ext == ".JFIF";
}

// Runs an Exiv2 operation, turning its exceptions (and the standard ones it lets through on
// damaged data) into brevane::Error; running out of memory passes as itself.
template <class F>
auto withExiv2(F&& f) -> decltype(f()) {
  quietExiv2();
  try {
    return f();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const Exiv2::AnyError& e) {
    throw Error(std::string("Exif data cannot be read: ") + e.what());
  } catch (const std::exception& e) {
    throw Error(std::string("Exif data cannot be read: ") + e.what());
  }
}

// Reads up to `limit` bytes from the start of a file; `total` gets the file's size.
std::vector<uint8_t> readPrefix(int fd, size_t limit, size_t total) {
  size_t n = limit < total ? limit : total;
  std::vector<uint8_t> data(n);
  size_t got = 0;
  while (got < n) {
    ssize_t r = pread(fd, data.data() + got, n - got, static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw Error(std::strerror(errno));
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  data.resize(got);
  return data;
}

class FileHandle {
 public:
  explicit FileHandle(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (m_fd < 0) throw Error(std::strerror(errno));
  }
  ~FileHandle() { ::close(m_fd); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int fd() const { return m_fd; }
  size_t size() const {
    off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0) throw Error(std::strerror(errno));
    return static_cast<size_t>(end);
  }

 private:
  int m_fd;
};

// The source's first Exif block. Only the header part of the file is read: it starts with a
// first read of 256 KiB, grown while the header has not ended and the file goes on.
SourceExif readFromOpenFile(const FileHandle& file) {
  const size_t total = file.size();
  for (size_t limit = size_t(256) << 10;; limit *= 4) {
    std::vector<uint8_t> data = readPrefix(file.fd(), limit, total);
    if (!startsLikeJpeg(data)) throw Error("JPEG header is not valid");
    JpegHeader header = walkJpegHeader(data);
    if (header.reachedScan || data.size() >= total || findExifTiff(header)) {
      SourceExif result;
      if (auto tiff = findExifTiff(header)) {
        result.present = true;
        result.tiff.assign(tiff->begin(), tiff->end());
      }
      return result;
    }
  }
}

std::string dateTimeText(const LocalDateTime& t) {
  char b[64];
  std::snprintf(b, sizeof b, "%.4d:%.2d:%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

// An Exif ASCII value ends with a zero byte that its count includes; readers may refuse one
// without it. (Exiv2's AsciiValue adds the zero in read(), not in its constructor.)
void setAscii(Exiv2::ExifData& ed, const char* key, const std::string& text) {
  Exiv2::AsciiValue value;
  value.read(text + '\0');
  ed[key].setValue(&value);
}

// Sets a pixel dimension, keeping the tag's type when it is SHORT and the value fits.
void setDimension(Exiv2::ExifData& ed, const char* key, int v, bool preferShort) {
  auto it = ed.findKey(Exiv2::ExifKey(key));
  bool shortType = it != ed.end() ? it->typeId() == Exiv2::unsignedShort : preferShort;
  if (shortType && v <= 0xFFFF) {
    Exiv2::UShortValue value;
    value.value_.push_back(static_cast<uint16_t>(v));
    ed[key].setValue(&value);
  } else {
    Exiv2::ULongValue value;
    value.value_.push_back(static_cast<uint32_t>(v));
    ed[key].setValue(&value);
  }
}

// Drops the padding tag 0xEA1C that some writers reserve room with: undefined data of more
// than one byte that starts with its own id; at most one per directory.
void dropFillers(Exiv2::ExifData& ed, Exiv2::ByteOrder order) {
  std::set<int> done;
  for (auto it = ed.begin(); it != ed.end();) {
    bool filler = false;
    if (it->tag() == 0xEA1C && it->typeId() == Exiv2::undefined && it->count() > 1 && !done.count(it->ifdId())) {
      std::vector<Exiv2::byte> data(static_cast<size_t>(it->size()));
      it->copy(data.data(), order);
      filler = data.size() >= 2 && ((data[0] == 0x1C && data[1] == 0xEA) || (data[0] == 0xEA && data[1] == 0x1C));
    }
    if (filler) {
      done.insert(it->ifdId());
      it = ed.erase(it);
    } else {
      ++it;
    }
  }
}

// Entries of a damaged directory can carry a type that TIFF does not have; written back, they
// make readers reject the whole directory.
void dropInvalidTypes(Exiv2::ExifData& ed) {
  for (auto it = ed.begin(); it != ed.end();) {
    int type = it->typeId();
    if (type < Exiv2::unsignedByte || type > Exiv2::tiffIfd)
      it = ed.erase(it);
    else
      ++it;
  }
}

// Tags that Exiv2 leaves out on its own when a block comes out too large for one segment.
bool isLargeTag(const Exiv2::Exifdatum& d) {
  return d.size() > 4096 || d.sizeDataArea() > 32768;
}

// Exiv2 copies maker notes it does not know byte for byte to wherever the rewritten block puts
// them; offsets inside them that count from the TIFF header then point beside their data.
void keepMakerNoteReadable(std::vector<uint8_t>& tiff, const std::vector<uint8_t>& original) {
  auto before = findMakerNote(original);
  auto after = findMakerNote(tiff);
  if (!before || !after || before->size != after->size || before->offset == after->offset) return;
  if (!std::equal(original.begin() + before->offset, original.begin() + before->offset + before->size,
                  tiff.begin() + after->offset))
    return;  // Exiv2 rewrote it (a maker note it knows) and set its offsets itself
  relocateMakerNote(tiff, *after, before->offset);
}

// The TIFF structure of `ed`, or nothing when it does not fit one APP1 segment whole. Exiv2
// quietly drops large tags from a block that does not fit; that counts as not fitting.
std::optional<std::vector<uint8_t>> encodeWhole(const Exiv2::ExifData& ed, Exiv2::ByteOrder order,
                                                const std::vector<uint8_t>& original) {
  std::vector<uint8_t> inPlace = original;  // updated in place when Exiv2 can
  Exiv2::Blob blob;
  Exiv2::WriteMethod method = Exiv2::ExifParser::encode(blob, inPlace.empty() ? nullptr : inPlace.data(),
                                                        static_cast<uint32_t>(inPlace.size()), order, ed);
  std::vector<uint8_t> tiff =
      method == Exiv2::wmNonIntrusive ? std::move(inPlace) : std::vector<uint8_t>(blob.begin(), blob.end());
  if (tiff.empty() || tiff.size() > kMaxExifTiffSize) return std::nullopt;
  if (method != Exiv2::wmNonIntrusive) keepMakerNoteReadable(tiff, original);
  Exiv2::ExifData check;
  Exiv2::ExifParser::decode(check, tiff.data(), static_cast<uint32_t>(tiff.size()));
  for (const Exiv2::Exifdatum& d : ed)
    if (isLargeTag(d) && check.findKey(Exiv2::ExifKey(d.key())) == check.end()) return std::nullopt;
  return tiff;
}

std::vector<uint8_t> encodeFitting(Exiv2::ExifData& ed, Exiv2::ByteOrder order, const std::vector<uint8_t>& original) {
  if (auto tiff = encodeWhole(ed, order, original)) return *tiff;
  // Too large: the thumbnail goes first.
  Exiv2::ExifThumb(ed).erase();
  if (auto tiff = encodeWhole(ed, order, original)) return *tiff;
  throw Error("The Exif data is too large for a JPEG file");
}

// The photo options' changes: orientation, private tags, thumbnail.
void applyEdits(Exiv2::ExifData& ed, const CarryOverEdits& edits) {
  if (edits.stripPrivate) stripPrivateTags(ed);
  if (edits.orientationApplied) {
    auto it = ed.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it != ed.end()) {
      Exiv2::UShortValue upright;
      upright.value_.push_back(1);
      it->setValue(&upright);
    }
  }
  if (edits.thumbnail) {
    Exiv2::ExifThumb thumb(ed);
    if (edits.thumbnail->empty())
      thumb.erase();
    else
      thumb.setJpegThumbnail(edits.thumbnail->data(), static_cast<long>(edits.thumbnail->size()));
  }
}

// Milliseconds of a sub-second text: its digits are a decimal fraction of a second.
int subSecondMilliseconds(const std::string& text) {
  int ms = 0, digits = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (digits < 3) ms = ms * 10 + (c - '0');
    ++digits;
  }
  for (int d = digits; d < 3 && digits > 0; ++d) ms *= 10;
  return ms;
}

}  // namespace

SourceExif readSourceExif(const std::string& sourcePath) {
  if (!hasJpegExtension(sourcePath)) return {};
  FileHandle file(sourcePath);
  return readFromOpenFile(file);
}

std::optional<std::vector<uint8_t>> jpegThumbnail(const SourceExif& source) {
  if (!source.present || source.tiff.empty()) return std::nullopt;
  return withExiv2([&]() -> std::optional<std::vector<uint8_t>> {
    Exiv2::ExifData ed;
    Exiv2::ExifParser::decode(ed, source.tiff.data(), static_cast<uint32_t>(source.tiff.size()));
    Exiv2::ExifThumbC thumb(ed);
    if (std::string(thumb.mimeType()) != "image/jpeg") return std::nullopt;
    Exiv2::DataBuf data = thumb.copy();
    if (!data.pData_ || data.size_ <= 0) return std::nullopt;
    return std::vector<uint8_t>(data.pData_, data.pData_ + data.size_);
  });
}

namespace {

// The source's tags with this program's changes and the photo options' `edits`, for an output
// of `size` pixels (the pixel dimensions are only updated when the source has them), as a TIFF
// structure that fits one JPEG APP1 segment.
std::vector<uint8_t> buildBlock(const SourceExif& source, const LocalDateTime& now, std::optional<FrameSize> size,
                                const CarryOverEdits& edits) {
  Exiv2::ExifData ed;
  Exiv2::ByteOrder order = Exiv2::littleEndian;
  if (source.present && !source.tiff.empty()) {
    Exiv2::ByteOrder read = Exiv2::ExifParser::decode(ed, source.tiff.data(), static_cast<uint32_t>(source.tiff.size()));
    if (read != Exiv2::invalidByteOrder) order = read;
  }
  setAscii(ed, "Exif.Image.Software", softwareValue());
  setAscii(ed, "Exif.Image.DateTime", dateTimeText(now));
  // Three digits: the tag is a decimal fraction of a second, so 5 ms is "005", not "5".
  if (ed.findKey(Exiv2::ExifKey("Exif.Photo.SubSecTime")) != ed.end())
    setAscii(ed, "Exif.Photo.SubSecTime", format("%03d", now.millisecond));
  applyEdits(ed, edits);

  bool hasX = ed.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension")) != ed.end();
  bool hasY = ed.findKey(Exiv2::ExifKey("Exif.Photo.PixelYDimension")) != ed.end();
  if ((hasX || hasY) && size) {
    auto typeOf = [&](const char* key) { return ed.findKey(Exiv2::ExifKey(key))->typeId(); };
    bool preferShort =
        typeOf(hasX ? "Exif.Photo.PixelXDimension" : "Exif.Photo.PixelYDimension") == Exiv2::unsignedShort;
    setDimension(ed, "Exif.Photo.PixelXDimension", size->width, preferShort);
    setDimension(ed, "Exif.Photo.PixelYDimension", size->height, preferShort);
  }
  dropFillers(ed, order);
  dropInvalidTypes(ed);

  std::vector<uint8_t> original = source.present ? source.tiff : std::vector<uint8_t>{};
  return encodeFitting(ed, order, original);
}

}  // namespace

std::vector<uint8_t> carryOver(std::span<const uint8_t> jpeg, const SourceExif& source, const LocalDateTime& now,
                               const CarryOverEdits& edits) {
  return withExiv2([&] {
    if (!startsLikeJpeg(jpeg)) throw Error("JPEG header is not valid");
    JpegHeader header = walkJpegHeader(jpeg);
    std::vector<uint8_t> tiff = buildBlock(source, now, frameSize(header), edits);
    return spliceExif(jpeg, header, tiff);
  });
}

std::vector<uint8_t> exifBlock(const SourceExif& source, const LocalDateTime& now, int width, int height,
                               const CarryOverEdits& edits) {
  return withExiv2([&] { return buildBlock(source, now, FrameSize{width, height}, edits); });
}

std::string softwareValue() {
  return std::string("Brevane v") + BREVANE_VERSION_STRING;
}

bool parseExifDateTime(const std::string& text, LocalDateTime& out) {
  if (text.size() != 19 || text[4] != ':' || text[7] != ':') return false;
  auto number = [&](size_t pos, size_t n, int& v) {
    v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      v = v * 10 + (text[i] - '0');
    }
    return true;
  };
  LocalDateTime t;
  if (!number(0, 4, t.year) || !number(5, 2, t.month) || !number(8, 2, t.day) || !number(11, 2, t.hour) ||
      !number(14, 2, t.minute) || !number(17, 2, t.second))
    return false;
  if (!isValidDateTime(t)) return false;  // an all-zero date is no date either
  out = t;
  return true;
}

ExifDate readExifDate(const std::string& sourcePath) {
  FileHandle file(sourcePath);
  ExifDate result;
  if (!hasJpegExtension(sourcePath)) return result;
  result.kind = ExifDate::Kind::kNone;
  SourceExif source = readFromOpenFile(file);
  if (!source.present) return result;
  return withExiv2([&] {
    Exiv2::ExifData ed;
    Exiv2::ExifParser::decode(ed, source.tiff.data(), static_cast<uint32_t>(source.tiff.size()));
    auto it = ed.findKey(Exiv2::ExifKey("Exif.Image.DateTime"));
    if (it == ed.end() || !parseExifDateTime(it->toString(), result.value)) return result;
    auto sub = ed.findKey(Exiv2::ExifKey("Exif.Photo.SubSecTime"));
    if (sub != ed.end()) result.value.millisecond = subSecondMilliseconds(sub->toString());
    result.kind = ExifDate::Kind::kDate;
    return result;
  });
}

}  // namespace brevane::exif
