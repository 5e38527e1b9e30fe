# Cross-compiles for x86_64 Windows with mingw-w64.
set(KZ_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
