# Cross-compiles for i686 Windows with mingw-w64.
set(KZ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
