// brevane-batch: converts files and folders headless with the engine's job.
#include "cli/batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "cli/dry_run.h"
#include "cli/option_docs.h"
#include "cli/options.h"
#include "cli/progress_bar.h"
#include "codecs/registry.h"
#include "engine/error_codes.h"
#include "engine/job.h"
#include "engine/progress_text.h"
#include "i18n/language_file.h"

namespace brevane::cli {
namespace {

// Built-in English texts of the messages the batch command shows.
std::string builtinText(const std::string& key) {
  static const std::map<std::string, std::string> kTexts = {
      {"NoFiles", "The file list is empty. Add files to convert."},
      {"DirectoryCreateError", "The output folder cannot be created."},
      {"Error", "Error"},
      {"AllProcessed", "Files processed:"},
      {"KiB", "KiB"},
      {"MiB", "MiB"},
      {"second", "s"},
  };
  auto it = kTexts.find(key);
  return it == kTexts.end() ? key : it->second;
}

// The message texts: the "English" section of lang.ini when the file is found, else built in.
class BatchTexts {
 public:
  BatchTexts() {
    std::string path = i18n::languageFilePath();
    try {
      if (!path.empty()) {
        m_file = i18n::LanguageFile::load(path);
        m_found = true;
      }
    } catch (const Error&) {
    }
  }
  bool found() const { return m_found; }
  std::string text(const std::string& key) const {
    if (m_found)
      if (auto v = m_file.value("English", key)) return *v;
    return builtinText(key);
  }

 private:
  i18n::LanguageFile m_file;
  bool m_found = false;
};

class BatchHost : public RunHost {
 public:
  explicit BatchHost(const BatchTexts& texts) : m_texts(texts) {}
  void showMessage(const std::string& text, const std::string& caption, Icon) override {
    std::cerr << "brevane-batch: " << caption << ": " << text << "\n";
  }
  std::string langString(const std::string& key) override { return m_texts.text(key); }

 private:
  const BatchTexts& m_texts;
};

// A line as the terminal shows it: control characters of a file name (a line break, an escape
// sequence) are written as \n, \t or \xHH, so that every error stays one line and cannot
// drive the terminal.
std::string printableLine(const std::string& line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    auto b = static_cast<unsigned char>(c);
    if (b == '\n') out += "\\n";
    else if (b == '\t') out += "\\t";
    else if (b == '\\') out += "\\\\";
    else if (b < 0x20 || b == 0x7F) out += format("\\x%02X", b);
    else out += c;
  }
  return out;
}

// Why a file cannot be read, in the system's words; none when it can. Directories are the
// caller's to scan.
std::optional<std::string> fileProblem(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::nullopt;
  // A FIFO or a device would block the reader or never end.
  if (!S_ISREG(st.st_mode)) return "Not a regular file";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return std::nullopt;
}

void scanFolder(const std::string& folder, std::vector<std::string>& files, std::vector<PathProblem>& problems) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    problems.push_back({folder, std::strerror(errno), true});
    return;
  }
  std::vector<std::string> subfolders;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = folder + name;
    if (isDirectory(path)) {
      if (name[0] != '.') subfolders.push_back(path + "/");
    } else if (isRegularFile(path) && codecs::isAcceptedExtension(extensionOf(name))) {
      files.push_back(path);
    }
  }
  closedir(dir);
  for (const std::string& sub : subfolders) scanFolder(sub, files, problems);
}

int terminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The bar only where a person watches: a terminal that can move the cursor back.
bool drawsProgress(bool quiet) {
  const char* term = std::getenv("TERM");
  return !quiet && isatty(STDERR_FILENO) && !(term && std::string(term) == "dumb");
}

int dryRun(const Options& o, const std::vector<std::string>& files, bool problems) {
  int status = problems ? 1 : 0;
  for (const PlannedOutput& p : planOutputs(o.settings, files)) {
    if (!p.error.empty()) {
      std::cerr << "brevane-batch: " << p.source << ": " << p.error << "\n";
      status = 1;
      continue;
    }
    std::cout << p.source;
    for (const std::string& t : p.targets) std::cout << '\t' << t;
    std::cout << '\n';
  }
  return status;
}

int run(Options& o, const std::vector<std::string>& files, bool problems) {
  BatchTexts texts;
  if (!texts.found()) std::cerr << "brevane-batch: " << i18n::kLanguageFileNotFound << "\n";
  BatchHost host(texts);
  ErrorLog log;
  LifetimeTotals totals;
  ConversionJob job(host, log, totals);
  bool live = drawsProgress(o.quiet);
  int columns = live ? terminalColumns() : 80;
  // Error lines come from the workers, the progress line from this thread: one lock keeps
  // the terminal and `lineShown` consistent.
  std::mutex terminal;
  bool lineShown = false;
  log.setListener([&](const std::string& line) {
    std::lock_guard lock(terminal);
    if (lineShown) std::cerr << "\r\033[K";
    lineShown = false;
    std::cerr << printableLine(line) << "\n";
  });
  if (!job.start(o.settings, files)) return 2;

  RedrawLimiter limiter;
  auto progress = [&] {
    if (!live || !limiter.due(monotonicMs())) return;
    std::lock_guard lock(terminal);
    std::cerr << "\r\033[K" << progressBarLine(job.counters.processed.load(), job.total, job.elapsedMs(), columns)
              << std::flush;
    lineShown = true;
  };
  progress();
  job.runToCompletion(progress);
  if (lineShown) std::cerr << "\r\033[K" << std::flush;

  if (!o.quiet) {
    char sep = o.settings.textfs.decimalSeparator;
    int32_t in = job.counters.processedbytes.load(), out = job.counters.outputbytes.load();
    std::string kib = texts.text("KiB"), mib = texts.text("MiB");
    std::string outText = in > 0 && out > 0 ? outputText(out, in, sep, kib, mib) : sizeText(out, sep, kib, mib);
    std::cerr << texts.text("AllProcessed") << " " << job.counters.processed.load() << " of " << job.total << ", input "
              << sizeText(in, sep, kib, mib) << ", output " << outText << ", " << secondsText(job.elapsedMs(), sep)
              << " " << texts.text("second") << " -> " << o.settings.Output_path << "\n";
  }
  return log.size() == 0 && !problems ? 0 : 1;
}

}  // namespace

std::vector<std::string> collectInputs(const std::vector<std::string>& paths, std::vector<PathProblem>& problems) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  // Two spellings of one file (a symbolic link, "./", "a//b") are one entry: converted twice
  // with Overwrite into its own folder, the second pass would read the first one's output.
  auto add = [&](const std::string& p) {
    std::string key = p;
    if (char* real = ::realpath(p.c_str(), nullptr)) {
      key = real;
      std::free(real);
    }
    if (!seen.insert(key).second) return;
    if (auto problem = fileProblem(p))
      problems.push_back({p, *problem});
    else
      out.push_back(p);
  };
  for (std::string p : paths) {
    if (isDirectory(p)) {
      if (p.back() != '/') p += '/';
      std::vector<std::string> found;
      scanFolder(p, found, problems);
      std::sort(found.begin(), found.end());
      for (const std::string& f : found) add(f);
    } else {
      add(p);
    }
  }
  return out;
}

int runBatch(const std::vector<std::string>& args) {
  Options o;
  try {
    o = parseArguments(args);
  } catch (const UsageError& e) {
    std::cerr << "brevane-batch: " << e.what() << "\n"
              << "Try 'brevane-batch --help'.\n";
    return 2;
  }
  switch (o.action) {
    case Action::kHelp: std::cout << helpText(); return 0;
    case Action::kVersion: std::cout << versionText() << "\n"; return 0;
    case Action::kListOptions: std::cout << listOptionsText(settings::Environment::current()); return 0;
    case Action::kPrintSettings: {
      settings::Environment env = settings::Environment::current();
      env.dateFormat = o.settings.textfs;
      std::cout << settingsFileText(o.settings, env);
      return 0;
    }
    case Action::kRun:
    case Action::kDryRun: break;
  }
  if (o.paths.empty()) {
    std::cerr << "brevane-batch: no input files or folders\n"
              << "Try 'brevane-batch --help'.\n";
    return 2;
  }
  std::vector<PathProblem> problems;
  std::vector<std::string> files = collectInputs(o.paths, problems);
  // A file that cannot be opened gets the line a run gives such a file, in the system's words
  // rather than a decoder's; a folder that cannot be read gets the command's own line.
  for (const PathProblem& p : problems) {
    if (p.folder)
      std::cerr << printableLine("brevane-batch: cannot read folder " + p.path + ": " + p.message) << "\n";
    else
      std::cerr << printableLine(std::string(errorcode::kOpen) + p.path + ": " + p.message) << "\n";
  }
  // Every path named had a problem: they are reported, and there is no run to start.
  if (files.empty() && !problems.empty()) return 1;
  if (o.action == Action::kDryRun) {
    if (files.empty()) {
      BatchTexts texts;
      std::cerr << "brevane-batch: " << texts.text("NoFiles") << "\n";
      return 2;
    }
    return dryRun(o, files, !problems.empty());
  }
  return run(o, files, !problems.empty());
}

}  // namespace brevane::cli
