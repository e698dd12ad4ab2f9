# Cross build for 64-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The -posix compilers are named explicitly: the -win32 variant has no std::thread or
# std::mutex, and once installed it takes over the plain compiler names.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NB_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NB_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NB_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NB_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${NB_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${NB_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "Archive indexer")

set(CMAKE_FIND_ROOT_PATH /usr/${NB_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the Windows system DLLs at run time: the C++ runtime and zlib are linked in.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and test discovery run the Windows programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
