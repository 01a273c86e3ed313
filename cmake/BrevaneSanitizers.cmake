# Global AddressSanitizer + UndefinedBehaviorSanitizer switch (fuzz smoke, debugging). Fuzz
# builds also instrument every library for libFuzzer's coverage.
if(BREVANE_SANITIZE OR BREVANE_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
if(BREVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
# ThreadSanitizer build of the multi-threaded tests (tools/tsan-smoke.sh).
option(BREVANE_TSAN "Build with ThreadSanitizer" OFF)
if(BREVANE_TSAN)
  if(BREVANE_SANITIZE OR BREVANE_FUZZ)
    message(FATAL_ERROR "BREVANE_TSAN cannot be combined with BREVANE_SANITIZE or BREVANE_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
endif()
