// Help, key listing, settings file, manual page and bash completion, all made from the option
// table and the table of settings keys so that a new row shows up everywhere.
#include "cli/option_docs.h"

#include <algorithm>
#include <map>

#include "cli/options.h"
#include "settings/settings_store.h"

namespace brevane::cli {
namespace {

constexpr const char* kSummary =
    "Converts image files, and the images in folders (with their subfolders), into one output folder.";
constexpr const char* kExitStatus =
    "Exit status: 0 when no file reported an error, 1 when any did (the lines are on the error output), 2 for "
    "bad usage or a run that could not start.";
constexpr const char* kOrder =
    "Options apply from left to right over the defaults (or over the file of --settings); a later option wins. "
    "Each plain option stands for settings keys, which --set reaches directly.";

// The names of an option as written in listings: "-f, --format".
std::string optionNames(const OptionEntry& o) {
  std::string names = o.shortName ? std::string("-") + o.shortName + ", " : "";
  return names + "--" + std::string(o.longName);
}

// The one-line help with its words filled in.
std::string helpOf(const OptionEntry& o) {
  std::string text(o.help);
  size_t at = text.find("{words}");
  if (at != std::string::npos) text.replace(at, 7, wordList(o));
  return text;
}

// The words of `text` in lines of at most `width` columns; the first line starts at column
// `firstColumn`, the others after `indent`.
std::string wrap(const std::string& text, size_t width, const std::string& indent, size_t firstColumn) {
  std::string out;
  size_t column = firstColumn;
  bool lineHasWord = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = std::min(text.find(' ', pos), text.size());
    std::string word = text.substr(pos, end - pos);
    pos = end + 1;
    if (word.empty()) continue;
    if (lineHasWord && column + 1 + word.size() > width) {
      out += "\n" + indent;
      column = indent.size();
      lineHasWord = false;
    }
    if (lineHasWord) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    lineHasWord = true;
  }
  return out;
}

std::string_view typeName(settings::ValueType type) {
  switch (type) {
    case settings::ValueType::kInteger: return "integer";
    case settings::ValueType::kBoolean: return "boolean";
    case settings::ValueType::kString: return "text";
    case settings::ValueType::kDate: return "date";
    case settings::ValueType::kCounter: return "counter";
  }
  return "";
}

// The run options: the keys --set takes.
std::vector<const settings::SettingsKey*> runKeys() {
  std::vector<const settings::SettingsKey*> keys;
  for (const settings::SettingsKey& k : settings::settingsKeys())
    if (!settings::isApplicationStateKey(k)) keys.push_back(&k);
  return keys;
}

// For each key, the options that set it.
std::map<std::string, std::vector<const OptionEntry*>> optionsByKey() {
  std::map<std::string, std::vector<const OptionEntry*>> byKey;
  for (const OptionEntry& o : optionTable())
    for (const std::string& k : keysOf(o)) byKey[k].push_back(&o);
  return byKey;
}

std::string joinNames(const std::vector<const OptionEntry*>& options) {
  std::string text;
  for (const OptionEntry* o : options) text += (text.empty() ? "" : ", ") + optionNames(*o);
  return text;
}

constexpr const char* kFontMeaning =
    "font of the text stamp: NAME,CHARSET,COLOR,SIZE,STYLE (colour 0xBBGGRR in decimal, size in points, style "
    "bold 1 + italic 2 + underline 4 + strike-out 8)";

// Text for troff: backslashes, minus signs and a leading control character escaped.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string manRange(const settings::SettingsKey& key) {
  if (key.maximum == settings::kMaxIsCpuCount)
    return std::to_string(key.minimum) + " to the number of logical processors";
  settings::Environment env;
  return settings::rangeText(key, env);
}

}  // namespace

std::string versionText() {
  return std::string("brevane-batch ") + BREVANE_VERSION_STRING;
}

std::string helpText() {
  std::string text = "Usage: brevane-batch [OPTION]... PATH...\n" + std::string(kSummary) + "\n\nOptions:\n";
  constexpr size_t kColumn = 30;
  for (const OptionEntry& o : optionTable()) {
    std::string left = "  " + optionNames(o);
    if (!o.valueName.empty()) left += " " + std::string(o.valueName);
    if (left.size() + 2 > kColumn) {
      text += left + "\n" + std::string(kColumn, ' ');
    } else {
      text += left + std::string(kColumn - left.size(), ' ');
    }
    text += wrap(helpOf(o), 80, std::string(kColumn, ' '), kColumn) + "\n";
  }
  text += "\n" + wrap(kOrder, 80, "", 0) + "\n\n" + wrap(kExitStatus, 80, "", 0) + "\n";
  return text;
}

std::string listOptionsText(const settings::Environment& env) {
  std::string text =
      "Settings keys of a run, as --set KEY=VALUE and section [Settings] of a settings file take them.\n"
      "Integers are decimal (or hexadecimal after 0x or $); booleans are 1 or 0.\n\n";
  auto byKey = optionsByKey();
  size_t nameWidth = 0;
  for (const settings::SettingsKey* k : runKeys()) nameWidth = std::max(nameWidth, k->name.size());
  for (const settings::SettingsKey* k : runKeys()) {
    std::string head = std::string(k->name) + std::string(nameWidth + 2 - k->name.size(), ' ');
    head += std::string(typeName(k->type));
    std::string range = settings::rangeText(*k, env);
    if (!range.empty() && k->type != settings::ValueType::kBoolean) head += " " + range;
    std::string def = settings::valueText(settings::defaultValue(*k, env), env);
    if (k->type == settings::ValueType::kString) def = "\"" + def + "\"";
    head += ", default " + def;
    if (k->defaultRule != settings::DefaultRule::kText) head += " (" + settings::defaultDescription(*k) + ")";
    std::string meaning(k->meaning);
    if (auto it = byKey.find(std::string(k->name)); it != byKey.end()) meaning += " [" + joinNames(it->second) + "]";
    text += head + "\n    " + wrap(meaning, 100, "    ", 4) + "\n";
  }
  std::string fontName(settings::kFontSection);
  text += fontName + std::string(nameWidth + 2 - fontName.size(), ' ') + "font, default \"" +
          std::string(settings::kDefaultFontText) + "\"\n    " + wrap(kFontMeaning, 100, "    ", 4) + "\n";
  return text;
}

std::string settingsFileText(const TConversionSettings& s, const settings::Environment& env) {
  // A line break would end the value in the file, as a save does.
  auto line = [](std::string_view name, std::string value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    return std::string(name) + "=" + value + "\n";
  };
  std::string text = "[" + std::string(settings::kSettingsSection) + "]\n";
  for (const settings::SettingsKey* k : runKeys())
    text += line(k->name, settings::valueText(settings::settingsValueOf(s, *k), env));
  text +=
      "[" + std::string(settings::kFontSection) + "]\n" + line(settings::kFontKey, settings::fontString(s.Text_Font));
  return text;
}

std::string manPage() {
  std::string m;
  m += ".TH BREVANE\\-BATCH 1 \"\" \"" + roff(versionText()) + "\" \"User Commands\"\n";
  m += ".SH NAME\nbrevane\\-batch \\- convert batches of image files\n";
  m += ".SH SYNOPSIS\n.B brevane\\-batch\n[\\fIOPTION\\fR]... \\fIPATH\\fR...\n";
  m += ".SH DESCRIPTION\n" + roff(kSummary) + "\n";
  m += "Folders are scanned with their subfolders for accepted image files; folders whose names begin with a "
       "dot are not entered. Files named on the command line are taken whatever their extension.\n.PP\n";
  m += roff(kOrder) + "\n";
  m += ".SH OPTIONS\n";
  for (const OptionEntry& o : optionTable()) {
    m += ".TP\n";
    if (o.shortName) m += "\\fB\\-" + std::string(1, o.shortName) + "\\fR, ";
    m += "\\fB\\-\\-" + roff(o.longName) + "\\fR";
    if (!o.valueName.empty()) m += " \\fI" + roff(o.valueName) + "\\fR";
    m += "\n" + roff(helpOf(o));
    std::vector<std::string> keys = keysOf(o);
    if (!keys.empty() && o.kind != ValueKind::kCommand) {
      std::string joined;
      for (const std::string& k : keys) joined += (joined.empty() ? "" : ", ") + k;
      m += " (" + roff(joined) + ")";
    }
    m += "\n";
  }
  m += ".SH SETTINGS KEYS\n" +
       roff(
           "The keys --set takes, with their type, range and default. Integers are decimal (or hexadecimal "
           "after 0x or $); booleans are 1 or 0.") +
       "\n";
  auto byKey = optionsByKey();
  for (const settings::SettingsKey* k : runKeys()) {
    m += ".TP\n\\fB" + roff(k->name) + "\\fR (" + std::string(typeName(k->type));
    std::string range = manRange(*k);
    if (!range.empty() && k->type != settings::ValueType::kBoolean) m += ", " + roff(range);
    m += "; default: " + roff(settings::defaultDescription(*k)) + ")\n" + roff(k->meaning);
    if (auto it = byKey.find(std::string(k->name)); it != byKey.end()) m += " [" + roff(joinNames(it->second)) + "]";
    m += "\n";
  }
  m += ".TP\n\\fB" + roff(settings::kFontSection) + "\\fR (font; default: \"" + roff(settings::kDefaultFontText) +
       "\")\n" + roff(kFontMeaning) + "\n";
  m += ".SH FILES\n.TP\n.I $XDG_CONFIG_HOME/Brevane/Settings.ini\n" +
       roff(
           "The desktop program's settings, read by --settings app ($HOME/.config when XDG_CONFIG_HOME is not "
           "set).") +
       "\n";
  m += ".SH EXIT STATUS\n" + roff(kExitStatus) + "\n";
  m += ".SH EXAMPLES\n.nf\n" +
       roff(
           "brevane-batch -f png --resize 800x600 -o out ~/Pictures\n"
           "brevane-batch --percent 50 -q 80 --rename '[N]_small' --dry-run photos/\n"
           "brevane-batch --settings app --overwrite scans/") +
       "\n.fi\n";
  return m;
}

std::string bashCompletion() {
  // Value completions by the kind of value: words, folders, files, settings keys, or nothing.
  std::map<std::string, std::vector<std::string>> cases;  // completion -> option patterns
  std::vector<std::string> all;
  for (const OptionEntry& o : optionTable()) {
    std::vector<std::string> names = {"--" + std::string(o.longName)};
    if (o.shortName) names.insert(names.begin(), std::string("-") + o.shortName);
    all.insert(all.end(), names.begin(), names.end());
    if (o.valueName.empty()) continue;
    std::string completion;
    if (!o.words.empty()) {
      std::string words;
      for (const OptionWord& w : o.words) words += (words.empty() ? "" : " ") + w.word;
      completion = "COMPREPLY=($(compgen -W '" + words + "' -- \"$cur\"))";
    } else if (o.valueName == "DIR") {
      completion = "COMPREPLY=($(compgen -d -- \"$cur\"))";
    } else if (o.longName == "settings") {
      completion = "COMPREPLY=($(compgen -W 'app' -- \"$cur\") $(compgen -f -- \"$cur\"))";
    } else if (o.valueName == "FILE") {
      completion = "COMPREPLY=($(compgen -f -- \"$cur\"))";
    } else if (o.longName == "set") {
      std::string keys;
      for (const settings::SettingsKey* k : runKeys()) keys += std::string(k->name) + "= ";
      keys += std::string(settings::kFontSection) + "=";
      completion = "COMPREPLY=($(compgen -W '" + keys + "' -- \"$cur\")); compopt -o nospace 2>/dev/null";
    } else {
      completion = "COMPREPLY=()";
    }
    for (const std::string& n : names) cases[completion].push_back(n);
  }
  std::string s =
      "# bash completion for brevane-batch\n"
      "_brevane_batch()\n{\n"
      "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      "    case $prev in\n";
  for (const auto& [completion, patterns] : cases) {
    std::string joined;
    for (const std::string& p : patterns) joined += (joined.empty() ? "" : "|") + p;
    s += "        " + joined + ")\n            " + completion + "\n            return ;;\n";
  }
  std::string words;
  for (const std::string& n : all) words += (words.empty() ? "" : " ") + n;
  s += "    esac\n"
       "    if [[ $cur == -* ]]; then\n"
       "        COMPREPLY=($(compgen -W '" +
       words +
       "' -- \"$cur\"))\n"
       "        return\n"
       "    fi\n"
       "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
       "}\n"
       "complete -o filenames -F _brevane_batch brevane-batch\n";
  return s;
}

}  // namespace brevane::cli
