# SPDX-License-Identifier: MIT
# What both mingw-w64 toolchain files share. The including file sets
# CMAKE_SYSTEM_PROCESSOR and QUILLSTASH_MINGW_TRIPLE first.
# POSIX thread model (std::thread through winpthreads); test programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUILLSTASH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLSTASH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLSTASH_MINGW_TRIPLE}-windres)

# Libraries built by scripts/build-windows-deps land in this prefix.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLSTASH_MINGW_TRIPLE} ${CMAKE_CURRENT_LIST_DIR}/../../build/windows-deps/${QUILLSTASH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs on a bare Windows: no libgcc, libstdc++ or winpthread DLLs,
# and zlib (Debian's libz-mingw-w64-dev) linked from its static library.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QUILLSTASH_WINE wine)
if(QUILLSTASH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLSTASH_WINE})
endif()
