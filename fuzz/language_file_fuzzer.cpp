// Fuzz target: the language file. Any bytes parse; every section named is found again by its
// name; lookups, list items and flags fail only with the language file's own error.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/error.h"
#include "i18n/language_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brevane::i18n;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  LanguageFile file = LanguageFile::parse(text);
  for (const std::string& name : file.sectionNames()) {
    if (!file.hasSection(name)) {
      std::fprintf(stderr, "language fuzzer: section not found by its own name\n");
      std::abort();
    }
    listItems(file.GetLangStr(name, "FilterList"));
    file.elementText(name, "BRVMainformN10", "current");
    try {
      sectionFlag(file, name);
    } catch (const brevane::Error&) {
    }
  }
  decodeBase64(text);
  return 0;
}
