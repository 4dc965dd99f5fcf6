# One place for the warning set, so every target is held to the same bar.
add_library(zel_warnings INTERFACE)
if(MSVC)
  target_compile_options(zel_warnings INTERFACE /W4)
else()
  target_compile_options(zel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    -Wimplicit-fallthrough)
  # GCC 12 at -O3 reports overlapping copies inside std::string's own
  # operator+ (a known false positive of its inliner), not in our code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(zel_warnings INTERFACE -Wno-restrict)
  endif()
endif()
if(ZEL_WERROR)
  if(MSVC)
    target_compile_options(zel_warnings INTERFACE /WX)
  else()
    target_compile_options(zel_warnings INTERFACE -Werror)
  endif()
endif()
