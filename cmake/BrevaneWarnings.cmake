# Warning flags shared by every target of the project.
function(brevane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports false -Wrestrict overlaps inside std::string concatenation.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
