// Opening a web page, a mail address or a file with the desktop's default handler, with a hook
// through which tests see what would have been opened.
#pragma once

#include <QUrl>
#include <functional>

namespace brevane::app {

using DesktopOpenHook = std::function<bool(const QUrl&)>;

/// Replaces the desktop's handler by `hook` (empty: the desktop again). For tests.
void setDesktopOpenHook(DesktopOpenHook hook);

/// Opens `url` with the desktop's default handler (QDesktopServices); false when none took it.
bool openDesktopUrl(const QUrl& url);

}  // namespace brevane::app
