# Cross-compiles the Windows x64 binaries with mingw-w64 (POSIX thread model,
# which provides std::mutex and std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KD_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KD_MINGW_PREFIX}-windres)
set(KD_WIDL ${KD_MINGW_PREFIX}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine, in a prefix private to the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
