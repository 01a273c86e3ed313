// What brevane-batch tells about itself: --list-options from the table of keys, the manual
// page and the bash completion made at build time.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "batch_runner.h"
#include "settings/settings_keys.h"
#include "support/test_support.h"

namespace brevane {
namespace {

std::string shareFile(const std::string& relative) {
  return folderPart(BREVANE_BATCH_EXE) + "../share/" + relative;
}

TEST(BatchDocs, ListOptionsShowsEveryRunKey) {
  test::BatchResult list = test::runBatch({"--list-options"});
  EXPECT_EQ(list.status, 0);
  for (const settings::SettingsKey& k : settings::settingsKeys())
    EXPECT_EQ(list.output.find("\n" + std::string(k.name) + " ") != std::string::npos,
              !settings::isApplicationStateKey(k))
        << k.name;
  EXPECT_NE(list.output.find("JPG_quality            integer 1-100, default 85\n    JPEG quality [-q, --quality]"),
            std::string::npos)
      << list.output;
}

TEST(BatchDocs, ManualPageIsBuiltAndReadsWithoutWarnings) {
  std::string page = shareFile("man/man1/brevane-batch.1");
  ASSERT_TRUE(std::filesystem::exists(page));
  std::vector<uint8_t> bytes = test::readBytes(page);
  std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("\\fB\\-\\-format\\fR \\fIFORMAT\\fR"), std::string::npos);
  EXPECT_NE(text.find("\\fBResize_percent\\fR (integer, 1\\-200; default: 50)"), std::string::npos);
  if (access("/usr/bin/groff", X_OK) != 0) GTEST_SKIP() << "groff is not installed";
  test::BatchResult check = test::runCommand("groff -man -ww -z " + test::shellQuote(page) + " 2>&1");
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.output, "");
}

TEST(BatchDocs, BashCompletesOptionsAndTheirWords) {
  std::string script = shareFile("bash-completion/completions/brevane-batch");
  ASSERT_TRUE(std::filesystem::exists(script));
  auto complete = [&](const std::string& words) {
    std::string cmd = "bash -c " + test::shellQuote("source " + test::shellQuote(script) + "; COMP_WORDS=(" + words +
                                                    "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _brevane_batch; "
                                                    "echo \"${COMPREPLY[*]}\"");
    return test::runCommand(cmd).output;
  };
  EXPECT_EQ(complete("brevane-batch -f j"), "jpg jp2 jxl\n");
  EXPECT_EQ(complete("brevane-batch --filter l"), "lanczos3\n");
  EXPECT_EQ(complete("brevane-batch --text-position bottom-r"), "bottom-right\n");
  EXPECT_EQ(complete("brevane-batch --fil"), "--filter\n");
  EXPECT_EQ(complete("brevane-batch --set Resize_p"), "Resize_percent= Resize_proportional=\n");
}

}  // namespace
}  // namespace brevane
