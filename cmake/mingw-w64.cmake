# Cross-compiles for Windows on KZ_MINGW_ARCH (i686 or x86_64) with mingw-w64's posix
# thread-model compilers (std::thread and std::mutex need it), with the C and C++
# runtimes linked statically so the DLLs and programs need no runtime DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KZ_MINGW_ARCH})

set(CMAKE_C_COMPILER ${KZ_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${KZ_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${KZ_MINGW_ARCH}-w64-mingw32-windres)
set(KZ_WINDMC ${KZ_MINGW_ARCH}-w64-mingw32-windmc)
set(CMAKE_FIND_ROOT_PATH /usr/${KZ_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# printf and its kin follow C99 (%zu, %lld) instead of the old system runtime's rules.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
