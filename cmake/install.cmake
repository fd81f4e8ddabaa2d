# Install rules and packaging, included by the top-level CMakeLists.txt when
# ROUGHPI_INSTALL is on.
#
#   cmake --install build --prefix P
#
# installs the program roughpi and its man page (and roughpi-mpi with its
# own, when it is built), the libraries roughpi and
# roughpi_parallel (static, or shared with -DBUILD_SHARED_LIBS=ON), the
# headers, the CMake package (find_package(roughpi) gives roughpi::roughpi,
# roughpi::core and roughpi::parallel) and roughpi.pc for pkg-config.
# `cpack -G DEB` in the build directory packs the same into a .deb.

include(CMakePackageConfigHelpers)

set(ROUGHPI_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/roughpi" CACHE STRING
    "Where to install roughpiConfig.cmake and its companions, relative to the prefix")
mark_as_advanced(ROUGHPI_INSTALL_CMAKEDIR)

# A shared build's program finds the libraries next to it, wherever the tree
# is installed (in a system directory the loader finds them anyway).
if(BUILD_SHARED_LIBS AND NOT WIN32)
  if(APPLE)
    set(origin "@loader_path")
  else()
    set(origin "$ORIGIN")
  endif()
  file(RELATIVE_PATH bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
  set_target_properties(roughpi PROPERTIES INSTALL_RPATH "${origin}/${bin_to_lib}")
endif()

install(TARGETS roughpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET roughpi-mpi)
  if(BUILD_SHARED_LIBS AND NOT WIN32)
    set_target_properties(roughpi-mpi PROPERTIES INSTALL_RPATH "${origin}/${bin_to_lib}")
  endif()
  install(TARGETS roughpi-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(TARGETS roughpi_core roughpi_parallel roughpi_all
  EXPORT roughpiTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

# The public headers of both libraries, in one tree: roughpi.h at the top,
# the rest under roughpi/, with the version.hpp this build configured.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/core/include/ ${PROJECT_SOURCE_DIR}/parallel/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
install(FILES ${PROJECT_BINARY_DIR}/core/include/roughpi/version.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/roughpi)

# The CMake package.
install(EXPORT roughpiTargets
  NAMESPACE roughpi::
  FILE roughpiTargets.cmake
  DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/roughpiConfig.cmake.in
  ${PROJECT_BINARY_DIR}/roughpiConfig.cmake
  INSTALL_DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR})
# Before 1.0, a minor version may change the interface (the shared libraries'
# soname carries major.minor): 0.3.x satisfies a request for 0.3, not 0.2.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/roughpiConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/roughpiConfig.cmake ${PROJECT_BINARY_DIR}/roughpiConfigVersion.cmake
  DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR})

# roughpi.pc for pkg-config. Linking the static libraries into a program that
# is not C++ (pkg-config --static) needs the C++ runtime and the threads too:
# the libraries the C++ compiler links implicitly, less those of C.
set(roughpi_pc_cflags "")
if(BUILD_SHARED_LIBS)
  set(roughpi_pc_cflags " -DROUGHPI_SHARED")
endif()
find_package(Threads REQUIRED)
set(runtime_libs "")
foreach(lib IN LISTS CMAKE_CXX_IMPLICIT_LINK_LIBRARIES)
  if(NOT lib MATCHES "^(c|gcc|gcc_s|gcc_eh|mingw32|mingwex|moldname|msvcrt|ucrt|kernel32|user32|advapi32|shell32|pthread)$")
    list(APPEND runtime_libs "-l${lib}")
  endif()
endforeach()
list(REMOVE_DUPLICATES runtime_libs)
list(JOIN runtime_libs " " roughpi_pc_libs_private)
if(CMAKE_USE_PTHREADS_INIT AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  string(APPEND roughpi_pc_libs_private " -pthread")
endif()
string(STRIP "${roughpi_pc_libs_private}" roughpi_pc_libs_private)
# The prefix is the one given at install time (cmake --install --prefix, or
# the package's /usr), so the file is written when it is installed.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(roughpi_pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(roughpi_pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(roughpi_pc_prefix "@ROUGHPI_INSTALL_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/roughpi.pc.in ${PROJECT_BINARY_DIR}/roughpi.pc.in @ONLY)
install(CODE "
  file(READ \"${PROJECT_BINARY_DIR}/roughpi.pc.in\" roughpi_pc)
  string(REPLACE \"@ROUGHPI_INSTALL_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" roughpi_pc \"\${roughpi_pc}\")
  file(WRITE \"${PROJECT_BINARY_DIR}/roughpi.pc\" \"\${roughpi_pc}\")
")
install(FILES ${PROJECT_BINARY_DIR}/roughpi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The manual pages.
configure_file(${PROJECT_SOURCE_DIR}/cli/roughpi.1.in ${PROJECT_BINARY_DIR}/cli/roughpi.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cli/roughpi.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET roughpi-mpi)
  configure_file(${PROJECT_SOURCE_DIR}/mpi/roughpi-mpi.1.in ${PROJECT_BINARY_DIR}/mpi/roughpi-mpi.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/mpi/roughpi-mpi.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Packages: cpack -G DEB (or TGZ, ...). One package holds the program, the
# libraries and the headers.
set(CPACK_PACKAGE_NAME roughpi)
set(CPACK_PACKAGE_VENDOR "roughpi")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prime counting pi(x) with almost no memory")
set(CPACK_PACKAGE_DESCRIPTION
    "roughpi counts the primes up to x, pi(x), for every x up to 2^63 - 1, without a sieve: from two fixed wheel tables of about 64 KB and a few kilobytes of stack, whatever x is. The package holds the command-line program roughpi, the C++ and C libraries, their headers, a CMake package and a pkg-config file.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "roughpi developers" CACHE STRING "The packages' contact (the .deb's Maintainer)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# The package's Depends from the libraries the program and the shared
# libraries link to (libc6, libstdc++6, libgcc-s1), where dpkg-shlibdeps exists.
find_program(ROUGHPI_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ROUGHPI_DPKG_SHLIBDEPS)
if(ROUGHPI_DPKG_SHLIBDEPS AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
