// The program's icons.
#include "icons.h"

#include <QFile>

namespace brevane::app {

namespace {

struct IconDrawing {
  const char* file;   // name of this program's icon under :/icons/
  const char* theme;  // freedesktop icon name that fits, or null
};

IconDrawing chosen(IconId id) {
  switch (id) {
    case IconId::kAddFolder: return {"add-folder", "folder-add"};
    case IconId::kAddFiles: return {"add-files", "list-add"};
    case IconId::kRemove: return {"remove", "list-remove"};
    case IconId::kConvert: return {"convert", nullptr};
    case IconId::kExit: return {"exit", "application-exit"};
    case IconId::kBrowse: return {"browse", "document-open-folder"};
    case IconId::kFont: return {"font", "preferences-desktop-font"};
    case IconId::kVariable: return {"variable", nullptr};
    case IconId::kPreview: return {"preview", "document-preview"};
  }
  return {"convert", nullptr};
}

QIcon ownIcon(const char* name) {
  QIcon icon;
  for (int size : {16, 32}) icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
  QString hot = QStringLiteral(":/icons/%1-hot-32.png").arg(name);
  if (QFile::exists(hot)) icon.addFile(hot, QSize(32, 32), QIcon::Active);
  return icon;
}

}  // namespace

QIcon commandIcon(IconId id) {
  IconDrawing s = chosen(id);
  if (s.theme && QIcon::hasThemeIcon(QString::fromLatin1(s.theme)))
    return QIcon::fromTheme(QString::fromLatin1(s.theme));
  return ownIcon(s.file);
}

QIcon programIcon() {
  QIcon own;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    own.addFile(QStringLiteral(":/icons/brevane-%1.png").arg(size), QSize(size, size));
  return QIcon::fromTheme(QStringLiteral("brevane"), own);
}

QPixmap programLogo(int size) {
  QPixmap p(QStringLiteral(":/icons/brevane-256.png"));
  return p.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace brevane::app
