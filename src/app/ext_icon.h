// The file-type icons of the input list: one icon per extension, fetched once from the
// desktop's icon theme and kept in the list's image list.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace brevane::app {

/// The small icons of the input list's rows, addressed by index.
class TImageList {
 public:
  /// Appends an icon; its index.
  int add(const QIcon& icon);
  QIcon icon(int index) const { return index >= 0 && index < m_icons.size() ? m_icons[index] : QIcon(); }
  int count() const { return static_cast<int>(m_icons.size()); }

 private:
  QList<QIcon> m_icons;
};

/// One cached icon.
struct TExtFileIcon {
  QString fExtName;  // the lower-case extension with its dot
  QIcon fExtIcon;
  int fPosInImageList = -1;
};

/// The icon cache: one record per extension, its icon added once to the bound image list.
class TExtIconList {
 public:
  TImageList* ExtImageList() const { return fExtImageList; }
  void setExtImageList(TImageList* list) { fExtImageList = list; }

  /// The image-list index of the icon of `aExtname`'s extension (a file name or path); -1
  /// when no image list is bound.
  int GetPosInImageList(const QString& aExtname);
  int count() const { return static_cast<int>(m_records.size()); }

  /// The icon of a file type by its extension with dot: the theme's icon of its MIME type, its
  /// generic icon, else the plain file icon.
  static QIcon iconForExtension(const QString& extension);

 private:
  TImageList* fExtImageList = nullptr;
  std::vector<std::unique_ptr<TExtFileIcon>> m_records;
};

}  // namespace brevane::app
