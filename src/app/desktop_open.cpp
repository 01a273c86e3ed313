// Opening addresses and files with the desktop's default handler.
#include "desktop_open.h"

#include <QDesktopServices>

namespace brevane::app {

namespace {

DesktopOpenHook& hook() {
  static DesktopOpenHook h;
  return h;
}

}  // namespace

void setDesktopOpenHook(DesktopOpenHook h) {
  hook() = std::move(h);
}

bool openDesktopUrl(const QUrl& url) {
  if (hook()) return hook()(url);
  return QDesktopServices::openUrl(url);
}

}  // namespace brevane::app
