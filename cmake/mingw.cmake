# Cross-compiling for Windows with Debian's mingw-w64 (POSIX thread model: GoogleTest needs
# std::mutex, which the win32 thread model lacks). Included by the toolchain file of each CPU,
# which sets QM_MINGW_CPU.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QM_MINGW_CPU})
set(QM_MINGW_TRIPLET ${QM_MINGW_CPU}-w64-mingw32)
set(CMAKE_C_COMPILER ${QM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
