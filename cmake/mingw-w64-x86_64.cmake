# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix): the posix
# thread model, because std::thread and std::mutex are what the libraries use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BACKUP_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BACKUP_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BACKUP_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BACKUP_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BACKUP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The static runtime: the programs need no libstdc++, libgcc or winpthread DLL beside them, only the
# client library that the server's installation brings.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Wine runs what the build makes (tests, and the test discovery of CTest) with a private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
