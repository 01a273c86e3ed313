// The file-type icons of the input list.
#include "ext_icon.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace brevane::app {

int TImageList::add(const QIcon& icon) {
  m_icons.append(icon);
  return static_cast<int>(m_icons.size()) - 1;
}

int TExtIconList::GetPosInImageList(const QString& aExtname) {
  if (!fExtImageList) return -1;
  const QString name = QFileInfo(aExtname).fileName();
  const int dot = static_cast<int>(name.lastIndexOf('.'));
  const QString ext = dot < 0 ? QString() : name.mid(dot).toLower();
  for (const auto& r : m_records)
    if (r->fExtName == ext) return r->fPosInImageList;
  auto record = std::make_unique<TExtFileIcon>();
  record->fExtName = ext;
  record->fExtIcon = iconForExtension(ext);
  record->fPosInImageList = fExtImageList->add(record->fExtIcon);
  m_records.push_back(std::move(record));
  return m_records.back()->fPosInImageList;
}

QIcon TExtIconList::iconForExtension(const QString& extension) {
  static const QMimeDatabase db;
  const QMimeType mime = db.mimeTypeForFile(QStringLiteral("file") + extension, QMimeDatabase::MatchExtension);
  for (const QString& name : {mime.iconName(), mime.genericIconName()})
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  return QFileIconProvider().icon(QAbstractFileIconProvider::File);
}

}  // namespace brevane::app
