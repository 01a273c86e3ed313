// Message boxes of the program, with a hook through which tests answer them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace brevane::app {

enum class BoxIcon { kNone, kInformation, kWarning, kError };
enum class BoxButtons { kOk, kYesNo };
enum class BoxAnswer { kOk, kYes, kNo };

/// One box as the program asks for it.
struct BoxRequest {
  QWidget* parent = nullptr;
  BoxIcon icon = BoxIcon::kNone;
  QString caption;
  QString text;
  BoxButtons buttons = BoxButtons::kOk;
};

using MessageBoxHook = std::function<BoxAnswer(const BoxRequest&)>;

/// Replaces the boxes by `hook` (empty: real boxes again). For tests.
void setMessageBoxHook(MessageBoxHook hook);

/// Shows a modal box and returns the answer (kOk for an OK box).
BoxAnswer showMessageBox(const BoxRequest& request);

inline BoxAnswer showMessageBox(QWidget* parent, BoxIcon icon, const QString& caption, const QString& text,
                                BoxButtons buttons = BoxButtons::kOk) {
  return showMessageBox(BoxRequest{parent, icon, caption, text, buttons});
}

}  // namespace brevane::app
