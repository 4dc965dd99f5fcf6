# One place for the warning set, so every target is held to the same bar.
add_library(zel_warnings INTERFACE)
if(MSVC)
  target_compile_options(zel_warnings INTERFACE /W4)
else()
  target_compile_options(zel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    -Wimplicit-fallthrough)
endif()
if(ZEL_WERROR)
  if(MSVC)
    target_compile_options(zel_warnings INTERFACE /WX)
  else()
    target_compile_options(zel_warnings INTERFACE -Werror)
  endif()
endif()
