// Fuzz target: the inputs of the desktop program's services that come from outside, the build
// time stamp walk over a PE image and the update server's reply.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "services/pe_timestamp.h"
#include "services/update_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brevane::services;
  if (auto stamp = peResourceTimestamp(std::span<const uint8_t>(data, size))) decodeDosDateTime(*stamp);
  std::string_view body(reinterpret_cast<const char*>(data), size);
  UpdateVerdict v = judgeUpdateReply(body, 1001);
  // A verdict needs a dotted version: never one for a reply with anything but digits and dots.
  if (v != UpdateVerdict::kUnreadable && body.find_first_not_of("0123456789.") != std::string_view::npos)
    __builtin_trap();
  return 0;
}
