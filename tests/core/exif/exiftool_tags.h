// exiftool as an independent reader of the Exif tests (every tag of a set of files, read from
// its JSON output), and the camera JPEGs of the shared corpus.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace brevane::test {

/// The tags of one file: "-G0:1" names (EXIF:IFD0:Make) with their plain ("-n") values, binary
/// data in base64, duplicates too, in exiftool's order.
using ExiftoolTags = std::vector<std::pair<std::string, std::string>>;

/// True when exiftool runs.
bool haveExiftool();
/// Every tag of every file as exiftool reads it, keyed by the file's path.
std::map<std::string, ExiftoolTags> readTags(const std::vector<std::string>& files);
/// The camera JPEGs under testdata/exif (thumbnails extracted into preview/ left out), sorted;
/// empty when the corpus is absent.
std::vector<std::string> cameraFiles();
/// The value of a tag, or "<absent>".
std::string tagValue(const ExiftoolTags& tags, const std::string& key);

}  // namespace brevane::test
