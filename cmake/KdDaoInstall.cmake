# Installing the C++ library: `cmake --install <build> --prefix P` puts
#   P/include/kddao/<folder>/*.h       the public headers, included as "folder/file.h"
#   P/lib/libkd_*.a                    the static libraries
#   P/lib/cmake/KdDao/                 the CMake package: targets KdDao::foundation,
#                                      KdDao::engine, KdDao::rawdb, KdDao::recordset,
#                                      KdDao::bitmap, with the links between them
#   P/lib/pkgconfig/kddao.pc           the same libraries for pkg-config
# Native builds only: a Windows program also needs the message table linked
# in as its own resource (kd_link_messages), which the package does not carry;
# the Windows deliverable is the automation server.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KD_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kddao)
set(KD_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KdDao)

if(WIN32)
  set(KD_INSTALL OFF)
else()
  set(KD_INSTALL ON)
endif()

# kd_install_library(target NAME HEADERS header...): the library `target`
# becomes KdDao::NAME (an alias in the tree, the exported name when
# installed); the headers listed, the public ones of the current folder, go
# to include/kddao/<folder>/. Headers that an installed header includes, and
# those that tools/ includes, must be listed too (scripts/check-install.sh
# checks both).
function(kd_install_library target name)
  cmake_parse_arguments(ARG "" "" "HEADERS" ${ARGN})
  add_library(KdDao::${name} ALIAS ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  # The headers are C++17: callers compile them as such.
  target_compile_features(${target} PUBLIC cxx_std_17)
  if(NOT KD_INSTALL)
    return()
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  install(TARGETS ${target} EXPORT KdDaoTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${KD_INSTALL_INCLUDEDIR})
  install(FILES ${ARG_HEADERS} DESTINATION ${KD_INSTALL_INCLUDEDIR}/${folder})
  set_property(GLOBAL APPEND PROPERTY KD_INSTALLED_LIBRARIES ${target})
endfunction()

# kd_install_package(library...): the CMake package and kddao.pc, after every
# kd_install_library. The libraries are listed in link order (each before the
# libraries it links), as the static link line of kddao.pc needs them.
function(kd_install_package)
  if(NOT KD_INSTALL)
    return()
  endif()
  get_property(installed GLOBAL PROPERTY KD_INSTALLED_LIBRARIES)
  set(ordered ${ARGN})
  list(SORT installed)
  list(SORT ordered)
  if(NOT installed STREQUAL ordered)
    message(FATAL_ERROR "kd_install_package(${ARGN}): the installed libraries are ${installed}")
  endif()

  # The link line: each library, then what it links that is not one of ours.
  # Anything of ours must come later in the list; a target from elsewhere
  # (Threads::Threads, ...) would need a find_dependency in KdDaoConfig.cmake
  # and its flags here, so it stops the configuration until both are added.
  set(libs)
  set(system_libs)
  set(earlier)
  foreach(target ${ARGN})
    list(APPEND earlier ${target})
    list(APPEND libs -l$<TARGET_FILE_BASE_NAME:${target}>)
    get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
    if(NOT links)
      set(links)
    endif()
    foreach(link ${links})
      if(link MATCHES "^\\$<LINK_ONLY:(.*)>$")
        set(link ${CMAKE_MATCH_1})
      endif()
      if(link IN_LIST installed)
        if(link IN_LIST earlier)
          message(FATAL_ERROR "kd_install_package: ${link} must come after ${target}, which links it")
        endif()
      elseif(TARGET ${link} OR link MATCHES "[$<>:/]")
        message(FATAL_ERROR "kd_install_package: ${target} links ${link}, which the installed "
          "package does not carry (cmake/KdDaoConfig.cmake.in, cmake/kddao.pc.in)")
      elseif(link MATCHES "^-")
        list(APPEND system_libs ${link})
      else()
        list(APPEND system_libs -l${link})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES system_libs)
  list(APPEND libs ${system_libs})
  list(JOIN libs " " KD_PC_LIBS)

  install(EXPORT KdDaoTargets NAMESPACE KdDao:: DESTINATION ${KD_INSTALL_CMAKEDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KdDaoConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KdDaoConfig.cmake INSTALL_DESTINATION ${KD_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/KdDaoConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/KdDaoConfig.cmake
    ${PROJECT_BINARY_DIR}/KdDaoConfigVersion.cmake DESTINATION ${KD_INSTALL_CMAKEDIR})

  # kddao.pc finds the prefix from its own place, so that it holds wherever
  # the files are installed (cmake --install --prefix).
  set(pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR} OR IS_ABSOLUTE ${CMAKE_INSTALL_INCLUDEDIR})
    message(FATAL_ERROR "kddao.pc needs a relative CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR")
  endif()
  file(RELATIVE_PATH KD_PC_UP /root/${pcdir} /root)
  string(REGEX REPLACE "/$" "" KD_PC_UP ${KD_PC_UP})
  set(KD_PC_INCLUDEDIR ${KD_INSTALL_INCLUDEDIR})
  set(KD_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/kddao.pc.in ${PROJECT_BINARY_DIR}/kddao.pc.in @ONLY)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/kddao.pc INPUT ${PROJECT_BINARY_DIR}/kddao.pc.in)
  install(FILES ${PROJECT_BINARY_DIR}/kddao.pc DESTINATION ${pcdir})
endfunction()
