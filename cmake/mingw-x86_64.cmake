# Cross build of a 64-bit Windows program with Debian's MinGW-w64: the same
# sources as the 32-bit release, for a Wine that runs only 64-bit programs.
set(ZEL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
