# SPDX-License-Identifier: MIT
# Install rules and packaging, included by the top-level CMakeLists.txt when
# ROUGHPI_INSTALL is on.
#
#   cmake --install build --prefix P
#
# installs the program roughpi and its man page (and roughpi-mpi with its
# own, when it is built), the libraries roughpi and
# roughpi_parallel (static, or shared with -DBUILD_SHARED_LIBS=ON), the
# headers, the CMake package (find_package(roughpi) gives roughpi::roughpi,
# roughpi::core and roughpi::parallel), roughpi.pc and roughpi++.pc for
# pkg-config, and the licence, share/doc/roughpi/LICENSE.
#
# Every file belongs to one of three components, which `cpack -G DEB` packs
# as three Debian packages:
#
#   libroughpi      the shared libraries (libroughpi.so.0.3.0 and its soname
#                   link libroughpi.so.0.3, the same of roughpi_parallel);
#                   none in a static build, which has no such package
#   libroughpi-dev  the headers, the static libraries (in a static build),
#                   the links libroughpi.so (in a shared one), the CMake
#                   package and the pkg-config files
#   roughpi         the programs and their manual pages
#
# (and a fourth, license, for share/doc/roughpi/LICENSE, which the packages
# leave out: each has its Debian copyright file instead).

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
  if(TARGET roughpi)
    set_target_properties(roughpi PROPERTIES INSTALL_RPATH "${origin}/${bin_to_lib}")
  endif()
endif()

set(ROUGHPI_LICENSE MIT)

# The components, and the Debian packages made of them.
set(comp_lib libroughpi)
set(comp_dev libroughpi-dev)
set(comp_bin roughpi)

if(TARGET roughpi)
  install(TARGETS roughpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${comp_bin})
  if(TARGET roughpi-mpi)
    if(BUILD_SHARED_LIBS AND NOT WIN32)
      set_target_properties(roughpi-mpi PROPERTIES INSTALL_RPATH "${origin}/${bin_to_lib}")
    endif()
    install(TARGETS roughpi-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${comp_bin})
  endif()
endif()

# A shared library goes to the runtime package with its soname link; the
# link without a version, which only the linker reads, to the development
# package.
install(TARGETS roughpi_core roughpi_parallel roughpi_all
  EXPORT roughpiTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${comp_lib}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${comp_lib} NAMELINK_COMPONENT ${comp_dev}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${comp_dev})

# The public headers of both libraries, in one tree: roughpi.h at the top,
# the rest under roughpi/, with the version.hpp this build configured.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/core/include/ ${PROJECT_SOURCE_DIR}/parallel/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${comp_dev}
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
install(FILES ${PROJECT_BINARY_DIR}/core/include/roughpi/version.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/roughpi COMPONENT ${comp_dev})

# The CMake package.
install(EXPORT roughpiTargets
  NAMESPACE roughpi::
  FILE roughpiTargets.cmake
  DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR} COMPONENT ${comp_dev})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/roughpiConfig.cmake.in
  ${PROJECT_BINARY_DIR}/roughpiConfig.cmake
  INSTALL_DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR})
# Before 1.0, a minor version may change the interface (the shared libraries'
# soname carries major.minor): 0.3.x satisfies a request for 0.3, not 0.2.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/roughpiConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/roughpiConfig.cmake ${PROJECT_BINARY_DIR}/roughpiConfigVersion.cmake
  DESTINATION ${ROUGHPI_INSTALL_CMAKEDIR} COMPONENT ${comp_dev})

# roughpi.pc for pkg-config, for C, and roughpi++.pc, for C++, which adds
# -std=c++20 to its Cflags (doc/building.md). What the libraries need
# beyond themselves: the C++ runtime and the threads, the libraries the C++
# compiler links implicitly, less those of C. A shared library carries them
# itself (Libs.private, for pkg-config --static alone); a static one does
# not, so in a static build they are in Libs, and even a link without
# --static works.
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
list(JOIN runtime_libs " " roughpi_pc_runtime_libs)
if(CMAKE_USE_PTHREADS_INIT AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  string(APPEND roughpi_pc_runtime_libs " -pthread")
endif()
string(STRIP "${roughpi_pc_runtime_libs}" roughpi_pc_runtime_libs)
if(BUILD_SHARED_LIBS)
  set(roughpi_pc_libs "")
  set(roughpi_pc_libs_private "${roughpi_pc_runtime_libs}")
else()
  set(roughpi_pc_libs " ${roughpi_pc_runtime_libs}")
  set(roughpi_pc_libs_private "")
endif()
# The prefix is the one given at install time (cmake --install --prefix, or
# the package's /usr), so the files are written when they are installed.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(roughpi_pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(roughpi_pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(roughpi_pc_prefix "@ROUGHPI_INSTALL_PREFIX@")
foreach(pc roughpi roughpi++)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc.in @ONLY)
  install(CODE "
    file(READ \"${PROJECT_BINARY_DIR}/${pc}.pc.in\" roughpi_pc)
    string(REPLACE \"@ROUGHPI_INSTALL_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" roughpi_pc \"\${roughpi_pc}\")
    file(WRITE \"${PROJECT_BINARY_DIR}/${pc}.pc\" \"\${roughpi_pc}\")
  " COMPONENT ${comp_dev})
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${comp_dev})
endforeach()

# The manual pages.
if(TARGET roughpi)
  configure_file(${PROJECT_SOURCE_DIR}/cli/roughpi.1.in ${PROJECT_BINARY_DIR}/cli/roughpi.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/cli/roughpi.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${comp_bin})
endif()
if(TARGET roughpi-mpi)
  configure_file(${PROJECT_SOURCE_DIR}/mpi/roughpi-mpi.1.in ${PROJECT_BINARY_DIR}/mpi/roughpi-mpi.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/mpi/roughpi-mpi.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${comp_bin})
endif()

# The licence: share/doc/roughpi/LICENSE in a plain install.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)

# Packages: cpack -G DEB makes the three Debian packages (two of a static
# build, which has no shared libraries); cpack -G TGZ and the other archive
# generators one archive of everything that cmake --install installs.
set(roughpi_deb_components ${comp_dev})
if(TARGET roughpi)
  list(APPEND roughpi_deb_components ${comp_bin})
endif()
if(BUILD_SHARED_LIBS)
  list(PREPEND roughpi_deb_components ${comp_lib})
endif()

# Each Debian package has its copyright file (the machine-readable format,
# made from LICENSE) and its changelog (one entry, for this version) in
# share/doc/<package>/: installed only when the package's component is
# installed by itself, as cpack does, not by a plain cmake --install.
set(ROUGHPI_PACKAGE_MAINTAINER "The roughpi developers <roughpi@example.org>" CACHE STRING
    "The Debian packages' Maintainer, \"Name <address>\"")
set(ROUGHPI_PACKAGE_DISTRIBUTION "unstable" CACHE STRING "The distribution in the Debian packages' changelog")
mark_as_advanced(ROUGHPI_PACKAGE_MAINTAINER ROUGHPI_PACKAGE_DISTRIBUTION)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
list(FILTER license_lines EXCLUDE REGEX "^(MIT License|Copyright .*)$")
set(license_text "")
set(started FALSE)
foreach(line IN LISTS license_lines)
  if(line STREQUAL "")
    if(started)
      string(APPEND license_text " .\n")
    endif()
  else()
    set(started TRUE)
    string(APPEND license_text " ${line}\n")
  endif()
endforeach()
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright_line REGEX "^Copyright ")
string(REGEX REPLACE "^Copyright (\\(c\\) )?" "" copyright_holders "${copyright_line}")
# The date of the changelog's entry: the time of configuring, or
# SOURCE_DATE_EPOCH when it is set, for a reproducible package.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(component IN LISTS roughpi_deb_components)
  set(out ${PROJECT_BINARY_DIR}/package/${component})
  file(WRITE ${out}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: roughpi

Files: *
Copyright: ${copyright_holders}
License: ${ROUGHPI_LICENSE}

License: ${ROUGHPI_LICENSE}
${license_text}")
  file(WRITE ${out}/changelog
"roughpi (${PROJECT_VERSION}) ${ROUGHPI_PACKAGE_DISTRIBUTION}; urgency=medium

  * roughpi ${PROJECT_VERSION}.

 -- ${ROUGHPI_PACKAGE_MAINTAINER}  ${changelog_date}
")
  # (cpack's staging script, package-staging.cmake, compresses the
  # changelog, as it does the manual pages.)
  install(FILES ${out}/copyright ${out}/changelog
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${component}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_PACKAGE_NAME roughpi)
set(CPACK_PACKAGE_VENDOR "The roughpi developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prime counting pi(x) with almost no memory")
set(CPACK_PACKAGE_DESCRIPTION
    "roughpi counts the primes up to x, pi(x), for every x up to 2^63 - 1, without a sieve: from two fixed wheel tables of about 64 KB and a few kilobytes of stack, whatever x is. The package holds the command-line program roughpi, the C++ and C libraries, their headers, a CMake package and pkg-config files.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT "${ROUGHPI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Before the packing: the manual pages and the changelogs compressed
# (gzip -9n), and, in the Debian packages, the programs' run path dropped
# (they find the libraries in /usr, where the loader looks anyway) and the
# binaries stripped of their .comment and .note sections, as dh_strip does.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-staging.cmake)
set(CPACK_ROUGHPI_STRIP "${CMAKE_STRIP}")
# What differs between generators (cpack-options.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)

# The Debian packages.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${roughpi_deb_components})
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE roughpi)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shlibs file of libroughpi (libroughpi 0.3 libroughpi (>= 0.3.0)), and
# its trigger, which runs ldconfig once the package is in.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
file(WRITE ${PROJECT_BINARY_DIR}/package/triggers "activate-noawait ldconfig\n")

set(same_libroughpi "libroughpi (= ${PROJECT_VERSION})")
set(roughpi_deb_description
    "roughpi counts the primes up to x, pi(x), exactly, for every x up to\n2^63 - 1, without a sieve: from two fixed wheel tables of about 64 KB\nand a few kilobytes of stack, whatever x is, on every core.")

set(CPACK_DEBIAN_LIBROUGHPI_PACKAGE_NAME libroughpi)
set(CPACK_DEBIAN_LIBROUGHPI_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBROUGHPI_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package/triggers)
set(CPACK_COMPONENT_LIBROUGHPI_DESCRIPTION
    "prime counting pi(x) with almost no memory - shared libraries\n${roughpi_deb_description}\n\nThis package holds the shared libraries: libroughpi, the count on the\ncalling thread, and libroughpi_parallel, the count on threads and the\nn-th prime.")

set(CPACK_DEBIAN_LIBROUGHPI-DEV_PACKAGE_NAME libroughpi-dev)
set(CPACK_DEBIAN_LIBROUGHPI-DEV_PACKAGE_SECTION libdevel)
if(BUILD_SHARED_LIBS)
  set(CPACK_DEBIAN_LIBROUGHPI-DEV_PACKAGE_DEPENDS "${same_libroughpi}")
  set(dev_libraries "the links to the shared libraries")
else()
  set(dev_libraries "the static libraries")
endif()
set(CPACK_COMPONENT_LIBROUGHPI-DEV_DESCRIPTION
    "prime counting pi(x) with almost no memory - development files\n${roughpi_deb_description}\n\nThis package holds what a program that uses the libraries is built with:\nthe C++20 and C headers, ${dev_libraries}, the CMake package\n(find_package(roughpi)) and the pkg-config files roughpi (C) and\nroughpi++ (C++).")

set(CPACK_DEBIAN_ROUGHPI_PACKAGE_NAME roughpi)
set(CPACK_DEBIAN_ROUGHPI_PACKAGE_SECTION math)
if(BUILD_SHARED_LIBS)
  set(CPACK_DEBIAN_ROUGHPI_PACKAGE_DEPENDS "${same_libroughpi}")
endif()
set(CPACK_COMPONENT_ROUGHPI_DESCRIPTION
    "prime counting pi(x) with almost no memory - command-line program\n${roughpi_deb_description}\n\nThis package holds the command-line program roughpi, which counts pi(x),\nthe n-th prime and the estimates li(x) and R(x), with checkpoints for the\nlong counts.")
if(TARGET roughpi-mpi)
  string(APPEND CPACK_COMPONENT_ROUGHPI_DESCRIPTION " With it comes roughpi-mpi, the count shared out among the\nranks of an MPI job.")
endif()

# The packages' Depends from the libraries the programs and the shared
# libraries link to (libc6, libstdc++6, libgcc-s1), where dpkg-shlibdeps
# exists. It finds roughpi's own libraries in the build tree, and leaves
# them to the Depends above.
find_program(ROUGHPI_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ROUGHPI_DPKG_SHLIBDEPS)
if(ROUGHPI_DPKG_SHLIBDEPS AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "")
  foreach(lib roughpi_core roughpi_parallel)
    get_target_property(dir ${lib} LIBRARY_OUTPUT_DIRECTORY)
    if(NOT dir)
      get_target_property(dir ${lib} BINARY_DIR)
    endif()
    list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${dir})
  endforeach()
endif()
include(CPack)
