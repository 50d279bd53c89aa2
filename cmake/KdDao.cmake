# Project-wide compile settings: warnings, sanitizers, Windows linking.

if(WIN32)
  enable_language(RC)
  # Binaries must run on a bare Windows (or Wine) without the mingw runtime DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # __USE_MINGW_ANSI_STDIO: the printf family with the C99 conversions (%zu, %llu).
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601
                          __USE_MINGW_ANSI_STDIO=1)
endif()

if(KD_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "KD_SANITIZE is for the native build")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build (fuzz/, clang only): every library instrumented for
# libFuzzer's coverage, under AddressSanitizer and UndefinedBehaviorSanitizer;
# the targets link libFuzzer's main themselves.
option(KD_FUZZ "Build the fuzz targets (clang: libFuzzer, ASan, UBSan)" OFF)
if(KD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KD_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer
                      -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/coverage_ignore.txt)
  add_link_options(-fsanitize=address,undefined)
endif()

# The thread build: ThreadSanitizer over the concurrency tests.
option(KD_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
if(KD_SANITIZE_THREAD)
  if(WIN32 OR KD_SANITIZE OR KD_FUZZ)
    message(FATAL_ERROR "KD_SANITIZE_THREAD is for the native build, without the other sanitizers")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# kd_warnings(target): the warning set every project target is built with.
function(kd_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KD_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kd_library(name SOURCES...): a static library of the project, its folder's
# parent on the include path so that headers are included as "folder/file.h"
# (installed, include/kddao: cmake/KdDaoInstall.cmake).
function(kd_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  kd_warnings(${name})
endfunction()

# kd_platform_sources(var BASE...): for each BASE, BASE_win32.cpp on Windows and
# BASE_posix.cpp elsewhere.
function(kd_platform_sources var)
  set(result)
  foreach(base ${ARGN})
    if(WIN32)
      list(APPEND result ${base}_win32.cpp)
    else()
      list(APPEND result ${base}_posix.cpp)
    endif()
  endforeach()
  set(${var} ${result} PARENT_SCOPE)
endfunction()
