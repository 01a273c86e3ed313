// brevane-batch: converts files and folders headless with the engine's job.
#include "cli/batch.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/registry.h"
#include "engine/job.h"
#include "engine/progress_text.h"
#include "i18n/language_file.h"
#include "settings/conversion_keys.h"
#include "settings/settings_store.h"

namespace brevane::cli {
namespace {

constexpr const char* kUsage =
    "Usage: brevane-batch [--settings FILE] [--set KEY=VALUE]... [-o DIR] [--quiet] PATH...\n"
    "Converts image files, and the images in folders (with their subfolders), into one output folder.\n"
    "\n"
    "  --settings FILE   read the options of section [Settings] (and [Text_Font]) of an INI file\n"
    "  --set KEY=VALUE   set one option, named as in Settings.ini (repeatable; later wins);\n"
    "                    --set Text_Font=NAME,CHARSET,COLOR,SIZE,STYLE sets the stamp font\n"
    "  -o DIR            the output folder (the same as --set Output_path=DIR)\n"
    "  --quiet           no progress line and no summary\n"
    "  -h, --help        this text\n"
    "\n"
    "Exit status: 0 when no file reported an error, 1 when any did, 2 for bad usage or a run\n"
    "that could not start.\n";

// Reads section "Settings" and the font of an INI file through the settings store; unknown
// keys and malformed values keep their defaults, as loading Settings.ini does.
void readSettingsFile(const std::string& path, TConversionSettings& s) {
  std::ifstream in(path, std::ios::binary);
  if (!in || isDirectory(path)) throw UsageError("cannot read settings file " + path + ": " + std::strerror(errno));
  settings::Environment env = settings::Environment::current();
  env.dateFormat = s.textfs;
  TConversionSettings loaded = settings::loadSettings(settings::IniFile(path), env).conversion;
  loaded.textfs = s.textfs;
  loaded.filefs = s.filefs;
  s = std::move(loaded);
}

void applySet(TConversionSettings& s, const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError("--set needs KEY=VALUE, got '" + assignment + "'");
  std::string key = assignment.substr(0, eq);
  std::string value = assignment.substr(eq + 1);
  if (toLower(key) == "text_font" || toLower(key) == "font") {
    settings::applyFontString(s.Text_Font, value);
    return;
  }
  switch (settings::applySettingsKey(s, key, value)) {
    case settings::ApplyResult::kApplied: return;
    case settings::ApplyResult::kIgnored: throw UsageError("'" + key + "' is not a conversion option");
    case settings::ApplyResult::kUnknownKey: throw UsageError("unknown option key '" + key + "'");
    case settings::ApplyResult::kMalformed: throw UsageError("invalid value '" + value + "' for '" + key + "' (a number in its range, or an item of its list)");
  }
}

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

void scanFolder(const std::string& folder, std::vector<std::string>& files, std::vector<std::string>& warnings) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    warnings.push_back("cannot read folder " + folder + ": " + std::strerror(errno));
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
  for (const std::string& sub : subfolders) scanFolder(sub, files, warnings);
}

}  // namespace

Options parseArguments(const std::vector<std::string>& args) {
  Options o;
  o.settings = TConversionSettings::defaults();
  std::setlocale(LC_ALL, "");
  o.settings.textfs = DateTimeFormat::fromCLocale();
  o.settings.filefs = o.settings.textfs.forFileNames();
  std::vector<std::string> sets;
  std::string settingsFile;
  bool onlyPaths = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) {
      if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
      return args[++i];
    };
    if (onlyPaths || a.empty() || a[0] != '-' || a == "-") {
      o.paths.push_back(a);
    } else if (a == "--") {
      onlyPaths = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (a == "--settings") {
      settingsFile = value("--settings");
    } else if (a.rfind("--settings=", 0) == 0) {
      settingsFile = a.substr(11);
    } else if (a == "--set") {
      sets.push_back(value("--set"));
    } else if (a.rfind("--set=", 0) == 0) {
      sets.push_back(a.substr(6));
    } else if (a == "-o" || a == "--output") {
      sets.push_back("Output_path=" + value("-o"));
    } else {
      throw UsageError("unknown option '" + a + "'");
    }
  }
  if (!settingsFile.empty()) readSettingsFile(settingsFile, o.settings);
  for (const std::string& s : sets) applySet(o.settings, s);
  return o;
}

std::vector<std::string> collectInputs(const std::vector<std::string>& paths, std::vector<std::string>& warnings) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  auto add = [&](const std::string& p) {
    if (seen.insert(p).second) out.push_back(p);
  };
  for (std::string p : paths) {
    if (isDirectory(p)) {
      if (p.back() != '/') p += '/';
      std::vector<std::string> found;
      scanFolder(p, found, warnings);
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
    std::cerr << "brevane-batch: " << e.what() << "\n" << "Try 'brevane-batch --help'.\n";
    return 2;
  }
  if (o.help) {
    std::cout << kUsage;
    return 0;
  }
  if (o.paths.empty()) {
    std::cerr << "brevane-batch: no input files or folders\n" << kUsage;
    return 2;
  }
  std::vector<std::string> warnings;
  std::vector<std::string> files = collectInputs(o.paths, warnings);
  for (const std::string& w : warnings) std::cerr << "brevane-batch: " << w << "\n";

  BatchTexts texts;
  if (!texts.found()) std::cerr << "brevane-batch: " << i18n::kLanguageFileNotFound << "\n";
  BatchHost host(texts);
  ErrorLog log;
  LifetimeTotals totals;
  ConversionJob job(host, log, totals);
  bool live = !o.quiet && isatty(STDERR_FILENO);
  bool lineShown = false;
  log.setListener([&](const std::string& line) {
    if (lineShown) std::cerr << "\r\033[K";
    lineShown = false;
    std::cerr << line << "\n";
  });
  if (!job.start(o.settings, files)) return 2;

  char sep = o.settings.textfs.decimalSeparator;
  auto progress = [&] {
    if (!live) return;
    std::string text = "[" + std::to_string(job.counters.processed.load()) + "/" + std::to_string(job.total) + "] in " +
                       sizeText(job.counters.processedbytes.load(), sep) + ", out " +
                       sizeText(job.counters.outputbytes.load(), sep) + ", " + secondsText(job.elapsedMs(), sep) +
                       " s, " + std::to_string(job.thr.size()) + " running";
    std::cerr << "\r\033[K" << text << std::flush;
    lineShown = true;
  };
  job.runToCompletion(progress);
  if (lineShown) std::cerr << "\r\033[K";

  if (!o.quiet) {
    int32_t in = job.counters.processedbytes.load(), out = job.counters.outputbytes.load();
    std::string kib = texts.text("KiB"), mib = texts.text("MiB");
    std::string outText = in > 0 && out > 0 ? outputText(out, in, sep, kib, mib) : sizeText(out, sep, kib, mib);
    std::cerr << texts.text("AllProcessed") << " " << job.counters.processed.load() << " of " << job.total
              << ", input " << sizeText(in, sep, kib, mib) << ", output " << outText << ", "
              << secondsText(job.elapsedMs(), sep) << " " << texts.text("second") << " -> " << o.settings.Output_path
              << "\n";
  }
  return log.size() == 0 ? 0 : 1;
}

}  // namespace brevane::cli
