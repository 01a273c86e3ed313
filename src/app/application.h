// The application object of the desktop program: every exception that escapes an event
// handler is appended as one line to the error log instead of ending the program.
#pragma once

#include <QApplication>
#include <string>

#include "base/datetime.h"

namespace brevane::app {

class BrevaneApplication : public QApplication {
  Q_OBJECT
 public:
  /// The log lies beside the executable (<executable>.error.log), or under
  /// $XDG_STATE_HOME/Brevane/ when that folder cannot be written.
  BrevaneApplication(int& argc, char** argv);

  /// Delivers the event; an exception that escapes the receiver's handler is logged and the
  /// event counts as not handled. Nothing is shown to the user.
  bool notify(QObject* receiver, QEvent* event) override;

  /// Where the lines go (tests point them at a temporary folder).
  void setErrorLogPaths(std::string primary, std::string fallback);
  const std::string& errorLogPath() const { return m_primary; }
  const std::string& errorLogFallbackPath() const { return m_fallback; }

  /// Appends one line for `message`; never throws.
  void logException(const char* message) noexcept;

 private:
  std::string m_primary;
  std::string m_fallback;
  DateTimeFormat m_format;
};

}  // namespace brevane::app
