// brevane-batch's options: one table row per option, and the parser over it.
#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "base/ini_syntax.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/output_formats.h"
#include "settings/settings_store.h"

namespace brevane::cli {
namespace {

// The words of --format: each output format by its code in lower case, then "auto".
std::vector<OptionWord> formatWords() {
  std::vector<OptionWord> words;
  for (const codecs::OutputFormatInfo& f : codecs::outputFormats())
    words.push_back({toLower(std::string(f.code)), {"Output_format=" + std::to_string(f.index()), "Auto_format=0"}});
  words.push_back({"auto", {"Auto_format=1"}});
  return words;
}

// The keys -q and --lossless reach for an output format; a format without its own quality
// key takes JPEG's (the automatic format writes JPEG or lossless PNG).
struct FormatKeys {
  codecs::OutputFormat format;
  std::string_view quality;
  std::string_view lossless;  // empty: the format has no lossless mode
};
constexpr FormatKeys kFormatKeys[] = {
    {codecs::OutputFormat::kJpeg, "JPG_quality", ""},
    {codecs::OutputFormat::kJpeg2000, "J2K_quality", "J2K_Lossless"},
    {codecs::OutputFormat::kWebp, "WEBP_quality", "WEBP_Lossless"},
    {codecs::OutputFormat::kAvif, "AVIF_quality", ""},
    {codecs::OutputFormat::kJxl, "JXL_quality", "JXL_Lossless"},
};

// The keys of the output format in effect.
FormatKeys formatKeys(const TConversionSettings& s) {
  if (!s.Auto_format)
    for (const FormatKeys& f : kFormatKeys)
      if (f.format == codecs::outputFormat(s.Output_format).id) return f;
  return kFormatKeys[0];
}

// The --format words of the formats with a lossless mode: "jp2, webp or jxl".
std::string losslessFormats() {
  std::vector<std::string> words;
  for (const FormatKeys& f : kFormatKeys)
    if (!f.lossless.empty()) words.push_back(toLower(std::string(codecs::outputFormat(f.format).code)));
  std::string list;
  for (size_t i = 0; i < words.size(); ++i) list += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return list;
}

// Words standing for the indexes 0, 1, ... of a list key.
std::vector<OptionWord> indexWords(const std::string& key, std::initializer_list<const char*> names) {
  std::vector<OptionWord> words;
  int index = 0;
  for (const char* name : names) words.push_back({name, {key + "=" + std::to_string(index++)}});
  return words;
}

std::vector<OptionWord> positionWords(const std::string& key) {
  return indexWords(key,
                    {"top-left", "top-center", "top-right", "center", "bottom-left", "bottom-center", "bottom-right"});
}

}  // namespace

const std::vector<OptionEntry>& optionTable() {
  using enum ValueKind;
  static const std::vector<OptionEntry> kTable = {
      {'o', "output", "DIR", kText, "Output_path", {}, {}, "the output folder"},
      {'f',
       "format",
       "FORMAT",
       kWord,
       "Output_format",
       {},
       formatWords(),
       "output format: {words} (auto: the smaller of JPEG and PNG for each file)"},
      {'q',
       "quality",
       "N",
       kQuality,
       "JPG_quality",
       {},
       {},
       "quality 1-100 of the output format: JPEG (also for auto), or JPEG 2000, WebP, AVIF or JPEG XL with "
       "--format jp2, webp, avif or jxl"},
      {0,
       "lossless",
       "",
       kLossless,
       "",
       {},
       {},
       "keep every pixel exactly: JPEG 2000, WebP or JPEG XL output (--format jp2, webp or jxl)"},
      {0,
       "speed",
       "N",
       kNumber,
       "AVIF_speed",
       {},
       {},
       "AVIF encoder speed 0-10: 0 slowest with the smallest files, 10 fastest"},
      {0,
       "resize",
       "WxH",
       kSize,
       "",
       {"Selected_mode=1", "Resize_proportional=1"},
       {},
       "fit into W x H pixels, keeping proportions"},
      {0,
       "stretch",
       "WxH",
       kSize,
       "",
       {"Selected_mode=1", "Resize_proportional=0"},
       {},
       "resize to exactly W x H pixels"},
      {0, "percent", "P", kNumber, "Resize_percent", {"Selected_mode=2"}, {}, "resize to P percent (1-200)"},
      {0,
       "crop",
       "",
       kSwitch,
       "",
       {"SmartCrop_enable=1"},
       {},
       "with --resize: first crop to the proportions of W x H (smart crop)"},
      {0, "enlarge", "", kSwitch, "", {"EnlargeIfSmall=1"}, {}, "with --resize: enlarge images smaller than W x H"},
      {0,
       "filter",
       "NAME",
       kWord,
       "Resampling_filter",
       {},
       indexWords("Resampling_filter", {"nearest", "bilinear", "hermite", "bell", "bspline", "lanczos3", "mitchell"}),
       "resampling filter: {words}"},
      {0,
       "rename",
       "MASK",
       kText,
       "Rename_mask",
       {"Rename_enabled=1"},
       {},
       "name the outputs by MASK: [N] name, [C] counter, [W] [H] size, [E] extension, [D] [T] date, time"},
      {0,
       "no-rename",
       "",
       kSwitch,
       "",
       {"Rename_enabled=0"},
       {},
       "keep the source names (the default mask is [N]_[C]_[W]x[H][E])"},
      {0,
       "text",
       "MASK",
       kText,
       "Watermark_text_mask",
       {"Watermark_enable=1"},
       {},
       "stamp a line of text made from MASK (the variables of --rename; [ET] [ED] Exif time, date)"},
      {0,
       "text-position",
       "POS",
       kWord,
       "Text_position",
       {},
       positionWords("Text_position"),
       "where the text goes: {words}"},
      {0,
       "watermark",
       "FILE",
       kText,
       "Img_path",
       {"Img_watermark_enabled=1"},
       {},
       "draw the image FILE on each picture"},
      {0,
       "watermark-position",
       "POS",
       kWord,
       "Img_position",
       {},
       positionWords("Img_position"),
       "where the watermark goes (the words of --text-position)"},
      {0, "overwrite", "", kSwitch, "", {"Overwrite=1"}, {}, "replace output files that exist"},
      {0,
       "unique",
       "",
       kSwitch,
       "",
       {"Unique_names=1"},
       {},
       "without --overwrite: give an output whose name is taken \" (2)\", \" (3)\", ... before its extension"},
      {0,
       "keep-folders",
       "",
       kSwitch,
       "",
       {"Keep_folders=1"},
       {},
       "keep the folder tree of the sources below their deepest common folder in the output folder"},
      {0,
       "max-size",
       "SIZE",
       kFileSize,
       "JPG_target_kb",
       {},
       {},
       "JPEG output of at most SIZE (500k, 2m; a plain number is KiB), Exif included: the highest quality up to "
       "--quality that fits (0: off)"},
      {0,
       "target-kb",
       "N",
       kNumber,
       "JPG_target_kb",
       {},
       {},
       "JPEG output of at most N KiB, Exif included: the highest quality up to --quality that fits (0: off)"},
      {0,
       "no-exif",
       "",
       kSwitch,
       "",
       {"Exif=0"},
       {},
       "do not carry Exif data over into JPEG, WebP, AVIF or JPEG XL output"},
      {0,
       "auto-rotate",
       "",
       kSwitch,
       "",
       {"Auto_rotate=1"},
       {},
       "turn pictures upright by their Exif or TIFF orientation before resizing"},
      {0, "no-icc", "", kSwitch, "", {"Keep_icc=0"}, {}, "do not embed the source's colour profile"},
      {0, "srgb", "", kSwitch, "", {"Convert_srgb=1"}, {}, "convert colours from the source's profile to sRGB"},
      {0,
       "strip-private",
       "",
       kSwitch,
       "",
       {"Strip_private=1"},
       {},
       "leave GPS position, owner, serial numbers and maker note out of the Exif"},
      {0, "strip", "", kSwitch, "", {"Strip_metadata=1"}, {}, "write no Exif, colour profile or XMP: smallest files"},
      {'j',
       "threads",
       "N",
       kNumber,
       "Threads",
       {},
       {},
       "convert N files at a time (more than the processors are capped)"},
      {0,
       "settings",
       "FILE",
       kCommand,
       "",
       {},
       {},
       "start from the options of a settings file; app: the desktop program's own"},
      {0, "set", "KEY=VALUE", kCommand, "", {}, {}, "set any settings key (see --list-options); later options win"},
      {0, "dry-run", "", kCommand, "", {}, {}, "print each source and the name it would get; write nothing"},
      {0, "quiet", "", kCommand, "", {}, {}, "no progress and no summary"},
      {0, "list-options", "", kCommand, "", {}, {}, "list every settings key: type, range, default and meaning"},
      {0, "print-settings", "", kCommand, "", {}, {}, "print the options of the run as a settings file"},
      {0, "version", "", kCommand, "", {}, {}, "print the version"},
      {'h', "help", "", kCommand, "", {}, {}, "print this help"},
  };
  return kTable;
}

const OptionEntry* findOption(std::string_view longName) {
  for (const OptionEntry& o : optionTable())
    if (o.longName == longName) return &o;
  return nullptr;
}

std::vector<std::string> keysOf(const OptionEntry& option) {
  std::vector<std::string> keys;
  auto add = [&](std::string_view key) {
    if (!key.empty() && std::find(keys.begin(), keys.end(), key) == keys.end()) keys.emplace_back(key);
  };
  auto addAssignment = [&](const std::string& a) { add(std::string_view(a).substr(0, a.find('='))); };
  add(option.key);
  for (const FormatKeys& f : kFormatKeys) {
    if (option.kind == ValueKind::kQuality) add(f.quality);
    if (option.kind == ValueKind::kLossless) add(f.lossless);
  }
  if (option.kind == ValueKind::kSize) {
    add("Resize_width");
    add("Resize_height");
  }
  for (const OptionWord& w : option.words)
    for (const std::string& a : w.assignments) addAssignment(a);
  for (const std::string& a : option.also) addAssignment(a);
  return keys;
}

std::string wordList(const OptionEntry& option, std::string_view lastJoiner) {
  std::string text;
  for (size_t i = 0; i < option.words.size(); ++i) {
    if (i > 0) text += i + 1 == option.words.size() ? std::string(lastJoiner) : std::string(", ");
    text += option.words[i].word;
  }
  return text;
}

std::string appSettingsPath() {
  return settings::settingsFolderFor(std::getenv("XDG_CONFIG_HOME"), homeFolder()) +
         std::string(settings::kSettingsFileName);
}

namespace {

// One option's contribution, applied in command-line order.
struct Step {
  std::string origin;                    // the option as given, for messages
  std::vector<std::string> assignments;  // "KEY=VALUE"
  std::optional<std::string> quality;    // -q: assigned to the quality key of the final format
  bool lossless = false;                 // --lossless: the lossless key of the final format set
};

std::string badValue(std::string_view key, std::string_view value, std::string_view origin, const std::string& takes) {
  return "invalid value '" + std::string(value) + "' for " + std::string(key) + " (" + std::string(origin) +
         "): it takes " + takes;
}

// What a key takes, with the items of a list.
std::string takesText(const settings::SettingsKey& key, const settings::Environment& env) {
  std::string text = settings::acceptedValues(key, env);
  if (key.range == settings::RangeRule::kListIndex || key.range == settings::RangeRule::kSelectOnly)
    text += " (" + std::string(key.meaning) + ")";
  return text;
}

// A whole number the key takes as it stands; above the processor count a thread count is
// capped rather than refused, so one script serves machines of any size.
void checkNumber(std::string_view keyName, const std::string& value, std::string_view origin,
                 const settings::Environment& env) {
  const settings::SettingsKey& key = *settings::findSettingsKey(keyName);
  bool taken = settings::takesValue(key, value, env);
  if (!taken && key.maximum == settings::kMaxIsCpuCount) {
    auto n = settings::parseIntegerValue(value);
    taken = n && *n >= key.minimum && *n <= INT32_MAX;
  }
  if (!taken) throw UsageError(badValue(key.name, value, origin, takesText(key, env)));
}

std::vector<std::string> withAlso(const OptionEntry& o, std::vector<std::string> more) {
  std::vector<std::string> all = o.also;
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

// The step of a plain option and its value; the value is checked against the key here.
Step plainStep(const OptionEntry& o, const std::string& origin, const std::string& value,
               const settings::Environment& env) {
  Step step{origin, o.also, std::nullopt};
  switch (o.kind) {
    case ValueKind::kSwitch:
    case ValueKind::kCommand: break;
    case ValueKind::kLossless: step.lossless = true; break;
    case ValueKind::kNumber:
      checkNumber(o.key, value, origin, env);
      step.assignments = withAlso(o, {std::string(o.key) + "=" + value});
      break;
    case ValueKind::kFileSize: {
      // "500k" and "500" are KiB, "2m" MiB; the result must be a value the key takes.
      std::string digits = value;
      uint64_t unit = 1;
      if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K')) digits.pop_back();
      else if (!digits.empty() && (digits.back() == 'm' || digits.back() == 'M')) {
        digits.pop_back();
        unit = 1024;
      }
      const settings::SettingsKey& key = *settings::findSettingsKey(o.key);
      bool plain = !digits.empty() && digits.size() <= 9 &&
                   std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
      std::string kib = plain ? std::to_string(std::stoull(digits) * unit) : std::string();
      if (!plain || !settings::takesValue(key, kib, env))
        throw UsageError(badValue(key.name, value, origin,
                                  "a size such as 500k or 2m (a plain number is KiB), at most " +
                                      std::to_string(key.maximum) + "k; 0 is off"));
      step.assignments = withAlso(o, {std::string(o.key) + "=" + kib});
      break;
    }
    case ValueKind::kQuality: step.quality = value; break;  // checked against the key of the final format
    case ValueKind::kSize: {
      size_t x = value.find_first_of("xX");
      std::string w = x == std::string::npos ? value : value.substr(0, x);
      std::string h = x == std::string::npos ? "" : value.substr(x + 1);
      const settings::SettingsKey& key = *settings::findSettingsKey("Resize_width");
      if (x == std::string::npos || !settings::takesValue(key, w, env) || !settings::takesValue(key, h, env))
        throw UsageError(badValue("Resize_width and Resize_height", value, origin,
                                  "WIDTHxHEIGHT, each " + settings::acceptedValues(key, env)));
      step.assignments = withAlso(o, {"Resize_width=" + w, "Resize_height=" + h});
      break;
    }
    case ValueKind::kText: step.assignments = withAlso(o, {std::string(o.key) + "=" + value}); break;
    case ValueKind::kWord: {
      auto w =
          std::find_if(o.words.begin(), o.words.end(), [&](const OptionWord& w) { return toLower(value) == w.word; });
      if (w == o.words.end()) throw UsageError(badValue(o.key, value, origin, wordList(o)));
      step.assignments = withAlso(o, w->assignments);
      break;
    }
  }
  return step;
}

// One KEY=VALUE as --set takes it: values are read as the settings file reads them (numbers
// brought into their range); the font is "Text_Font=NAME,CHARSET,COLOR,SIZE,STYLE".
void applyAssignment(TConversionSettings& s, const std::string& assignment, const std::string& origin,
                     const settings::Environment& env) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) throw UsageError("--set needs KEY=VALUE, got '" + assignment + "'");
  std::string key = assignment.substr(0, eq);
  std::string value = assignment.substr(eq + 1);
  if (sameIniName(key, settings::kFontSection) || sameIniName(key, settings::kFontKey)) {
    settings::applyFontString(s.Text_Font, value);
    return;
  }
  switch (settings::applySettingsKey(s, key, value, env)) {
    case settings::ApplyResult::kApplied: return;
    case settings::ApplyResult::kIgnored: throw UsageError("'" + key + "' is not a conversion option");
    case settings::ApplyResult::kUnknownKey:
      throw UsageError("unknown settings key '" + key + "' (see --list-options)");
    case settings::ApplyResult::kMalformed: {
      const settings::SettingsKey& def = *settings::findSettingsKey(key);
      throw UsageError(badValue(def.name, value, origin, takesText(def, env)));
    }
  }
}

// Section "Settings" and the font of a settings file onto the defaults, as the desktop
// program reads its own file: unknown keys and malformed values keep their defaults.
TConversionSettings readSettingsFile(const std::string& name, const settings::Environment& env) {
  bool app = name == "app";
  std::string path = app ? appSettingsPath() : name;
  std::ifstream in(path, std::ios::binary);
  int error = !in ? errno : isDirectory(path) ? EISDIR : 0;
  if (error) {
    std::string what = app ? "the desktop program's settings " : "settings file ";
    throw UsageError("cannot read " + what + path + ": " + std::strerror(error));
  }
  return settings::loadSettings(settings::IniFile(path), env).conversion;
}

}  // namespace

Options parseArguments(const std::vector<std::string>& args) {
  Options o;
  std::setlocale(LC_ALL, "");
  settings::Environment env = settings::Environment::current();
  env.dateFormat = DateTimeFormat::fromCLocale();

  std::vector<Step> steps;
  std::string settingsFile;
  bool onlyPaths = false, help = false, version = false, list = false, print = false, dryRun = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyPaths || a.size() < 2 || a[0] != '-') {
      o.paths.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyPaths = true;
      continue;
    }
    // The option, and a value given in the same argument ("--format=png", "-fpng").
    const OptionEntry* chosen = nullptr;
    std::optional<std::string> attached;
    if (a[1] == '-') {
      size_t eq = a.find('=');
      chosen = findOption(std::string_view(a).substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
      if (eq != std::string::npos) attached = a.substr(eq + 1);
    } else {
      for (const OptionEntry& s : optionTable())
        if (s.shortName == a[1]) chosen = &s;
      if (a.size() > 2) attached = a.substr(2);
    }
    if (!chosen || (attached && chosen->valueName.empty() && a[1] != '-')) throw UsageError("unknown option '" + a + "'");
    std::string origin = a[1] == '-' ? "--" + std::string(chosen->longName) : a.substr(0, 2);
    if (chosen->valueName.empty() && attached) throw UsageError(origin + " takes no value");
    std::string value;
    if (!chosen->valueName.empty()) {
      if (attached) {
        value = *attached;
      } else {
        if (i + 1 >= args.size()) throw UsageError(origin + " needs a value (" + std::string(chosen->valueName) + ")");
        value = args[++i];
      }
    }
    if (chosen->kind != ValueKind::kCommand) {
      steps.push_back(plainStep(*chosen, origin, value, env));
      continue;
    }
    std::string_view name = chosen->longName;
    if (name == "settings")
      settingsFile = value;
    else if (name == "set")
      steps.push_back({"--set", {value}, std::nullopt, false});
    else if (name == "dry-run")
      dryRun = true;
    else if (name == "quiet")
      o.quiet = true;
    else if (name == "list-options")
      list = true;
    else if (name == "print-settings")
      print = true;
    else if (name == "version")
      version = true;
    else if (name == "help")
      help = true;
  }
  o.action = help      ? Action::kHelp
             : version ? Action::kVersion
             : list    ? Action::kListOptions
             : print   ? Action::kPrintSettings
             : dryRun  ? Action::kDryRun
                       : Action::kRun;
  if (o.action == Action::kHelp || o.action == Action::kVersion || o.action == Action::kListOptions) return o;

  TConversionSettings base =
      settingsFile.empty() ? settings::AppSettings::defaults(env).conversion : readSettingsFile(settingsFile, env);
  // Two passes when -q or --lossless is given: their keys depend on the output format the
  // other options end with, and they take their places among them in command-line order.
  auto applyAll = [&](const std::optional<FormatKeys>& keys) {
    TConversionSettings s = base;
    for (const Step& step : steps) {
      for (const std::string& a : step.assignments) applyAssignment(s, a, step.origin, env);
      if (!keys) continue;
      if (step.quality) {
        checkNumber(keys->quality, *step.quality, step.origin, env);
        applyAssignment(s, std::string(keys->quality) + "=" + *step.quality, step.origin, env);
      }
      if (step.lossless) applyAssignment(s, std::string(keys->lossless) + "=1", step.origin, env);
    }
    return s;
  };
  o.settings = applyAll(std::nullopt);
  if (std::any_of(steps.begin(), steps.end(), [](const Step& s) { return s.quality || s.lossless; })) {
    FormatKeys keys = formatKeys(o.settings);
    bool lossless = std::any_of(steps.begin(), steps.end(), [](const Step& s) { return s.lossless; });
    if (lossless && keys.lossless.empty()) {
      std::string format = o.settings.Auto_format ? "auto" : toLower(std::string(formatCode(o.settings.Output_format)));
      throw UsageError("--lossless needs the output format " + losslessFormats() + " (the format is " + format + ")");
    }
    o.settings = applyAll(keys);
  }
  return o;
}

}  // namespace brevane::cli
