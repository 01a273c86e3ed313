# Global AddressSanitizer + UndefinedBehaviorSanitizer switch (fuzz smoke, debugging). Fuzz
# builds also instrument every library for libFuzzer's coverage.
if(BREVANE_SANITIZE OR BREVANE_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
if(BREVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
