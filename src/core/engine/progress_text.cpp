// The texts of a run's progress.
#include "engine/progress_text.h"

#include <cmath>
#include <cstdio>

namespace brevane {

std::string hundredthsText(long double value, char decimalSeparator) {
  long double scaled = std::nearbyint(value * 100.0L);  // the default rounding mode: ties to even
  long long cents = static_cast<long long>(scaled);
  bool negative = cents < 0;
  if (negative) cents = -cents;
  std::string out = (negative ? "-" : "") + std::to_string(cents / 100);
  int frac = static_cast<int>(cents % 100);
  if (frac != 0) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02d", frac);
    std::string f = buf;
    if (f.back() == '0') f.pop_back();
    out += decimalSeparator;
    out += f;
  }
  return out;
}

std::string sizeText(int64_t kib, char decimalSeparator, const std::string& kibUnit, const std::string& mibUnit) {
  if (kib < 1002) return std::to_string(kib) + " " + kibUnit;
  return hundredthsText(static_cast<long double>(kib) / 1024.0L, decimalSeparator) + " " + mibUnit;
}

std::string outputText(int32_t outputKib, int32_t inputKib, char decimalSeparator, const std::string& kibUnit,
                       const std::string& mibUnit) {
  long double ratio = inputKib > 0 ? outputKib / (static_cast<long double>(inputKib) / 100.0L) : 0;
  return sizeText(outputKib, decimalSeparator, kibUnit, mibUnit) + " (" + hundredthsText(ratio, decimalSeparator) +
         "%)";
}

std::string secondsText(uint64_t elapsedMs, char decimalSeparator) {
  return hundredthsText(static_cast<long double>(elapsedMs) / 1000.0L, decimalSeparator);
}

}  // namespace brevane
