# Cross build of the 32-bit Windows program with Debian's MinGW-w64.
set(ZEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
