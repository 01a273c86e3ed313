// The program's icons: the desktop's icon theme where it has a fitting icon, else the small
// icons made for this program (data/icons, compiled in).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace brevane::app {

enum class IconId { kAddFolder, kAddFiles, kRemove, kConvert, kExit, kBrowse, kFont, kVariable, kPreview };

/// The icon of a command. Tool-bar icons of this program carry a lighter set for the mouse-over
/// state (QIcon::Active).
QIcon commandIcon(IconId id);
/// The application icon (theme "brevane" when installed, else the compiled-in one).
QIcon programIcon();
/// The program's logo at `size` pixels, shown by the preview area before a file is previewed.
QPixmap programLogo(int size);

}  // namespace brevane::app
