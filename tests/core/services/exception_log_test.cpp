// The error log of the desktop program (paths, one line per exception, appending with a
// fallback folder) and the help pages' look-up.
#include "services/exception_log.h"

#include <gtest/gtest.h>

#include "base/platform.h"
#include "services/help_files.h"
#include "support/test_support.h"

namespace brevane::services {
namespace {

std::string readText(const std::string& path) {
  std::vector<uint8_t> b = test::readBytes(path);
  return std::string(b.begin(), b.end());
}

TEST(ExceptionLog, LiesBesideTheExecutableElseUnderTheStateFolder) {
  EXPECT_EQ(exceptionLogPath("/usr/bin/brevane"), "/usr/bin/brevane.error.log");
  EXPECT_EQ(exceptionLogPath("/opt/b.1/brevane"), "/opt/b.1/brevane.error.log");
  EXPECT_EQ(exceptionLogPath("/opt/b/brevane.bin"), "/opt/b/brevane.error.log");
  EXPECT_EQ(exceptionLogFallbackPath("/usr/bin/brevane", "/state/", "/home/u"), "/state/Brevane/brevane.error.log");
  // A relative XDG_STATE_HOME is ignored, as the XDG rules say.
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "state"})
    EXPECT_EQ(exceptionLogFallbackPath("/usr/bin/brevane", xdg, "/home/u"),
              "/home/u/.local/state/Brevane/brevane.error.log");
}

TEST(ExceptionLog, OneExceptionIsOneLine) {
  DateTimeFormat fs;
  fs.shortDate = "%d/%m/%Y";
  fs.dateSeparator = '.';
  const LocalDateTime t{2024, 3, 7, 9, 5, 1};
  EXPECT_EQ(exceptionLogLine(t, fs, "Access violation"), "07.03.2024 09:05:01 : Access violation\n");
  EXPECT_EQ(exceptionLogLine(t, fs, "two\nlines\r\nhere"), "07.03.2024 09:05:01 : two lines  here\n");
  // UTF-8 passes as it is.
  EXPECT_EQ(exceptionLogLine(t, fs, "Ошибка"), "07.03.2024 09:05:01 : Ошибка\n");
}

TEST(ExceptionLog, AppendsInOrderAndFallsBackWhenTheFolderIsNotWritable) {
  const std::string dir = test::makeTempDir("exlog");
  const std::string primary = dir + "brevane.error.log";
  const std::string fallback = dir + "state/Brevane/brevane.error.log";
  test::writeText(primary, "earlier line\n");
  EXPECT_EQ(appendExceptionLog(primary, fallback, "one\n"), primary);
  EXPECT_EQ(appendExceptionLog(primary, fallback, "two\n"), primary);
  EXPECT_EQ(readText(primary), "earlier line\none\ntwo\n");
  EXPECT_FALSE(fileExists(fallback));

  // A folder that cannot take the file (here: one that does not exist): the state folder,
  // made on the way.
  const std::string gone = dir + "no-such-folder/brevane.error.log";
  EXPECT_EQ(appendExceptionLog(gone, fallback, "three\n"), fallback);
  EXPECT_EQ(appendExceptionLog(gone, fallback, "four\n"), fallback);
  EXPECT_EQ(readText(fallback), "three\nfour\n");
  // Neither writable (the state folder's parent is a plain file): nothing, and no exception.
  test::writeText(dir + "plain-file", "x");
  EXPECT_EQ(appendExceptionLog(gone, dir + "plain-file/x/brevane.error.log", "five\n"), "");
}

TEST(HelpFiles, ThePageOfTheLanguageBesideTheProgramElseInTheShareFolder) {
  EXPECT_EQ(helpFileName("Russian"), "help_ru.html");
  for (const char* lang : {"English", "russian", "Deutsch", ""}) EXPECT_EQ(helpFileName(lang), "help_en.html") << lang;

  const std::string root = test::makeTempDir("help");
  const std::string bin = root + "bin/";
  createDirectories(bin);
  createDirectories(root + "share/brevane");
  EXPECT_EQ(findHelpFile(bin, "English"), "");
  test::writeText(root + "share/brevane/help_en.html", "<html></html>");
  EXPECT_EQ(findHelpFile(bin, "English"), bin + "../share/brevane/help_en.html");
  test::writeText(bin + "help_en.html", "<html></html>");
  EXPECT_EQ(findHelpFile(bin, "English"), bin + "help_en.html");
  EXPECT_EQ(findHelpFile(bin, "Russian"), "");
}

}  // namespace
}  // namespace brevane::services
