# Shared by the Windows toolchain files: EMBERLINE_MINGW_TRIPLE names the
# target (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)

# The posix-thread compilers: the win32-thread ones have no std::mutex or
# std::thread, which the workflows and GoogleTest need.
set(CMAKE_C_COMPILER ${EMBERLINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EMBERLINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${EMBERLINE_MINGW_TRIPLE}-windres)

# Never look at the build machine's headers, libraries or packages: Debian's
# CMake packages of header-only libraries add -isystem /usr/include, which
# hands glibc's headers to the Windows compiler.
set(CMAKE_FIND_ROOT_PATH /usr/${EMBERLINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked: the programs need only what every Windows has (kernel32,
# msvcrt, ole32 ...), no compiler runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
