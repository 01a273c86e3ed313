// The input list's rows and rules, without any window: duplicate suppression, the cells of a
// row, the order by folder, sorting by column and the enabled state of the list commands.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace brevane {

/// One row of the input list; its cells are the data.
struct InputRow {
  std::string path;       // the folder with its trailing "/"
  std::string name;       // the file name with extension
  std::string type;       // the extension without its dot, upper case
  std::string size;       // "N KiB"
  std::string imageSize;  // "WxH" or "0x0"; empty while the size is still being read
  /// The full path: Path cell followed by Name cell.
  std::string fullPath() const { return path + name; }
};

enum class InputColumn { kPath = 0, kName, kType, kSize, kImageSize };

/// "N KiB" for a size in bytes (-1, a file that cannot be read, shows 0 KiB).
std::string sizeCell(int64_t bytes);
/// "WxH", or "0x0" when both are 0 (or either is negative).
std::string imageSizeCell(int width, int height);
/// Width and height read from an image-size cell: blanks removed, the width before the first
/// "x", the height after it up to an optional "(" or the end; -1 x -1 when shorter than 4
/// characters or unreadable.
std::pair<int64_t, int64_t> parseImageSizeCell(const std::string& cell);

/// Whether a file's pixel size is read at all: only an existing regular file that is not a
/// RAW file (RAW files always show 0x0).
bool wantsPixelSize(const std::string& fullPath);

/// Gives the pixel size of a file, or 0 x 0.
using PixelSizeFn = std::function<std::pair<int, int>(const std::string& path)>;
/// The registry's full decode: the decoded size, or 0 x 0 when the file cannot be decoded (the
/// row is kept with "0x0").
std::pair<int, int> decodedPixelSize(const std::string& path);

/// The rows of the input list. Each added row goes after the rows of its folder and of the
/// folders before it (a binary search by the Path cell), so a list of n rows costs O(log n)
/// comparisons per add; duplicates are found through an index of full paths.
class InputList {
 public:
  /// Compares two Path cells (the default compares with strcoll, the user's locale).
  using Collate = std::function<int(const std::string&, const std::string&)>;

  /// With `pixelSize` empty, the image-size cell of a new row stays empty until setImageSize
  /// (the window reads sizes off its own thread).
  explicit InputList(PixelSizeFn pixelSize = decodedPixelSize, Collate collate = {});

  /// Adds a file by full path: nothing when a row has the same folder and name (exact, with
  /// case); otherwise the row is placed in Path order (after any column sort the list is put
  /// back in Path order first). The new row's index, or none for a duplicate.
  std::optional<size_t> addfile(const std::string& fullPath);
  bool contains(const std::string& fullPath) const { return m_index.count(fullPath) != 0; }
  /// Fills the image-size cell of the row of `fullPath`; false when no row has that path.
  bool setImageSize(const std::string& fullPath, int width, int height);

  /// Removes the rows at the given indexes (out-of-range and repeated indexes are ignored).
  void removeRows(const std::vector<size_t>& indexes);
  void clear();

  /// A click on a column header: flips the shared direction, then sorts by that column.
  void sortByColumn(InputColumn column);
  /// +1 or -1; +1 at start, so the first click sorts descending.
  int sortDirection() const { return m_direction; }
  /// False after a column sort until the next add.
  bool sortedByPath() const { return m_sortedByPath; }

  const InputRow& row(size_t index) const { return *m_rows[index]; }
  const InputRow* find(const std::string& fullPath) const;
  size_t size() const { return m_rows.size(); }
  bool empty() const { return m_rows.empty(); }
  /// The full paths of every row, in list order (what a run converts).
  std::vector<std::string> paths() const;

 private:
  void sortByPath();

  // Rows are held by pointer so that sorting and inserting move pointers, and the index can
  // point at a row wherever it sits.
  std::vector<std::unique_ptr<InputRow>> m_rows;
  std::unordered_map<std::string, InputRow*> m_index;
  PixelSizeFn m_pixelSize;
  Collate m_collate;
  int m_direction = 1;
  bool m_sortedByPath = true;
};

/// The comparison of one column as a header click sorts with it: the direction when `a`'s key
/// is greater, its negative when smaller, 0 when equal.
int compareRows(const InputRow& a, const InputRow& b, InputColumn column, int direction);

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
