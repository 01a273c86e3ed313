// The input list's rows and rules, without any window: duplicate suppression, the cells of a
// row, sorting by column and the enabled state of the list commands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brevane {

/// One row of the input list; its cells are the data.
struct InputRow {
  std::string path;       // the folder with its trailing "/"
  std::string name;       // the file name with extension
  std::string type;       // the extension without its dot, upper case
  std::string size;       // "N KiB"
  std::string imageSize;  // "WxH" or "0x0"
  /// The full path: Path cell followed by Name cell.
  std::string fullPath() const { return path + name; }
};

enum class InputColumn { kPath = 0, kName, kType, kSize, kImageSize };

/// "N KiB" for a size in bytes (-1, a file that cannot be read, shows 0 KiB).
std::string sizeCell(int64_t bytes);
/// Width and height read from an image-size cell: blanks removed, the width before the first
/// "x", the height after it up to an optional "(" or the end; -1 x -1 when shorter than 4
/// characters or unreadable.
std::pair<int64_t, int64_t> parseImageSizeCell(const std::string& cell);

/// Gives the pixel size of a file, or 0 x 0; the window first asks its own image reader for
/// the header and falls back to a full decode through the registry.
using PixelSizeFn = std::function<std::pair<int, int>(const std::string& path)>;
/// The registry fallback: the decoded size, or 0 x 0 when the file cannot be decoded (the row
/// is kept with "0x0").
std::pair<int, int> decodedPixelSize(const std::string& path);

/// The rows of the input list.
class InputList {
 public:
  /// Compares two Path cells (the window passes the locale's collation; the default compares
  /// with strcoll).
  using Collate = std::function<int(const std::string&, const std::string&)>;

  explicit InputList(PixelSizeFn pixelSize = decodedPixelSize, Collate collate = {});

  /// Adds a file by full path: nothing when a row has the same folder and name (exact, with
  /// case); otherwise a row is appended and the list is sorted by Path again. True when added.
  bool addfile(const std::string& fullPath);
  /// Removes the rows at the given indexes.
  void removeRows(std::vector<size_t> indexes);
  void clear() { m_rows.clear(); }

  /// A click on a column header: flips the shared direction, then sorts by that column.
  void sortByColumn(InputColumn column);
  /// +1 or -1; +1 at start, so the first click sorts descending.
  int sortDirection() const { return m_direction; }

  const std::vector<InputRow>& rows() const { return m_rows; }
  size_t size() const { return m_rows.size(); }
  bool empty() const { return m_rows.empty(); }
  /// The full paths of every row, in list order (what a run converts).
  std::vector<std::string> paths() const;

 private:
  void sortByPath();
  int compare(const InputRow& a, const InputRow& b, InputColumn column) const;

  std::vector<InputRow> m_rows;
  PixelSizeFn m_pixelSize;
  Collate m_collate;
  int m_direction = 1;
};

/// The Name column's header: the language text, " (", the row count and ")".
std::string nameColumnHeader(const std::string& nameColumnText, size_t rows);

/// The enabled state of the list commands.
struct ListCommandState {
  bool addFolder = false;
  bool convertButton = false;
  bool convertToolButton = false;
  bool clearList = false;
  bool selectAll = false;
  bool deleteSelected = false;
};
/// `adding`: a folder scan or drop is in progress; `convertWasEnabled`: the Convert button's
/// state before, kept while adding with rows present.
ListCommandState listCommandState(size_t rows, bool anySelected, bool adding, bool convertWasEnabled);

}  // namespace brevane
