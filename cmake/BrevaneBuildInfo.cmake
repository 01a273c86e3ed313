# Writes the source file that holds the build date (cmake -DOUTPUT=<file> -P this script). The
# file is rewritten only when its text changes, so only a new day recompiles it; string(TIMESTAMP)
# honours SOURCE_DATE_EPOCH for reproducible builds.
string(TIMESTAMP year "%Y" UTC)
string(TIMESTAMP month "%m" UTC)
string(TIMESTAMP day "%d" UTC)
# Leading zeros would make octal literals.
math(EXPR month "${month}")
math(EXPR day "${day}")
set(content "// Generated at build time by cmake/BrevaneBuildInfo.cmake; do not edit.
#include \"base/build_info.h\"

namespace brevane {

LocalDateTime buildDate() {
  LocalDateTime t;
  t.year = ${year};
  t.month = ${month};
  t.day = ${day};
  return t;
}

}  // namespace brevane
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
