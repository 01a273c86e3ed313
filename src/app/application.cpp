// The application object of the desktop program and its error log.
#include "application.h"

#include <cstdlib>
#include <exception>

#include "base/platform.h"
#include "services/exception_log.h"

namespace brevane::app {

BrevaneApplication::BrevaneApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // QApplication has applied the session's locale to the C library by now.
  m_format = DateTimeFormat::fromCLocale();
  const std::string exe = applicationFilePath().toStdString();
  m_primary = services::exceptionLogPath(exe);
  m_fallback = services::exceptionLogFallbackPath(exe, std::getenv("XDG_STATE_HOME"), homeFolder());
}

void BrevaneApplication::setErrorLogPaths(std::string primary, std::string fallback) {
  m_primary = std::move(primary);
  m_fallback = std::move(fallback);
}

bool BrevaneApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    logException(e.what());
  } catch (...) {
    logException("Unknown exception");
  }
  return false;
}

void BrevaneApplication::logException(const char* message) noexcept {
  try {
    services::appendExceptionLog(m_primary, m_fallback, services::exceptionLogLine(localNow(), m_format, message));
  } catch (...) {
    // The log is the only trace; when even building the line fails there is nothing left to do.
  }
}

}  // namespace brevane::app
