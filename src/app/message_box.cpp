// Message boxes of the program, with a hook through which tests answer them.
#include "message_box.h"

#include <QMessageBox>

namespace brevane::app {

namespace {

MessageBoxHook& hook() {
  static MessageBoxHook h;
  return h;
}

}  // namespace

void setMessageBoxHook(MessageBoxHook h) {
  hook() = std::move(h);
}

BoxAnswer showMessageBox(const BoxRequest& r) {
  if (hook()) return hook()(r);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (r.icon) {
    case BoxIcon::kNone: break;
    case BoxIcon::kInformation: icon = QMessageBox::Information; break;
    case BoxIcon::kWarning: icon = QMessageBox::Warning; break;
    case BoxIcon::kError: icon = QMessageBox::Critical; break;
  }
  QMessageBox box(icon, r.caption, r.text,
                  r.buttons == BoxButtons::kYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, r.parent);
  int answer = box.exec();
  if (r.buttons == BoxButtons::kOk) return BoxAnswer::kOk;
  return answer == QMessageBox::Yes ? BoxAnswer::kYes : BoxAnswer::kNo;
}

}  // namespace brevane::app
