// The texts of a run's progress: sizes in KiB or MiB, the output ratio, elapsed seconds.
#pragma once

#include <cstdint>
#include <string>

namespace brevane {

/// A number brought to the nearest hundredth (ties to even) in its shortest decimal form with
/// the given separator: 1.5, 2, 0.98.
std::string hundredthsText(long double value, char decimalSeparator);

/// A size in KiB: below 1002 "v" + " " + kibUnit, else v / 1024 in hundredths + " " + mibUnit
/// (1001 KiB, 0.98 MiB, 1 MiB at 1024). Also the lifetime total of the statistics dialog.
std::string sizeText(int64_t kib, char decimalSeparator, const std::string& kibUnit = "KiB",
                     const std::string& mibUnit = "MiB");

/// The output value of the progress dialog: size text + " (" + ratio + "%)".
std::string outputText(int32_t outputKib, int32_t inputKib, char decimalSeparator, const std::string& kibUnit = "KiB",
                       const std::string& mibUnit = "MiB");

/// Elapsed seconds in hundredths.
std::string secondsText(uint64_t elapsedMs, char decimalSeparator);

}  // namespace brevane
