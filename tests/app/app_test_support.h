// Helpers of the desktop program's tests: temporary program and settings folders, answered
// message boxes, the shipped language file.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mainform.h"
#include "message_box.h"

/// QString in test messages as its text.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace brevane::app::test {

/// The repository's data/lang.ini.
std::string shippedLanguageFile();

/// A program folder (with or without lang.ini) and a settings file in a temporary folder.
class Sandbox {
 public:
  explicit Sandbox(bool withLanguageFile = true);
  std::string folder() const { return m_dir.path().toStdString() + "/"; }
  std::string programFolder() const { return folder() + "program/"; }
  std::string settingsFile() const { return folder() + "config/Brevane/Settings.ini"; }
  /// Writes a file under the sandbox (folders created).
  std::string write(const std::string& relative, const std::string& content) const;
  /// Writes a 2 x 2 PNG picture under the sandbox; returns its path.
  std::string writePng(const std::string& relative) const;
  /// A context for a main window of this sandbox.
  MainformContext context(const QStringList& arguments = {}) const;
  /// The value of a key of Settings.ini, or none.
  std::optional<std::string> setting(const std::string& section, const std::string& key) const;

 private:
  QTemporaryDir m_dir;
};

/// Records the message boxes the program asks for and answers them in turn (kYes or kOk when
/// no answer is queued).
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  void answer(BoxAnswer a) { m_answers.push_back(a); }
  const std::vector<BoxRequest>& boxes() const { return m_boxes; }

 private:
  std::vector<BoxRequest> m_boxes;
  std::deque<BoxAnswer> m_answers;
};

/// Processes events until `done` holds or `timeoutMs` has passed; true when it holds.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

}  // namespace brevane::app::test
