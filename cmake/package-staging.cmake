# SPDX-License-Identifier: MIT
# Run by cpack (CPACK_PRE_BUILD_SCRIPTS, set in install.cmake) once the files
# are installed into its staging directory and before they are packed:
#
#   - the manual pages and the Debian changelogs are compressed with
#     gzip -9n (no name, no time stamp: the same bytes on every build), as a
#     distribution ships them;
#   - in a Debian package, the programs lose their run path ($ORIGIN/../lib,
#     which a relocatable install needs): they find the libraries in /usr,
#     where the loader looks anyway, and Debian forbids a run path there;
#     and the programs and the libraries lose the sections .comment and
#     .note, which a plain strip leaves (the static libraries their debug
#     information too), as dh_strip does.
find_program(gzip_program gzip)

function(strip_sections file)
  if(CPACK_ROUGHPI_STRIP)
    execute_process(COMMAND "${CPACK_ROUGHPI_STRIP}" ${ARGN} --remove-section=.comment --remove-section=.note "${file}"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "package-staging: ${CPACK_ROUGHPI_STRIP} --remove-section=.comment ${file} failed")
    endif()
  endif()
endfunction()

file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  if(file MATCHES "/share/man/man[1-9]/[^/]+\\.[1-9]$"
     OR (CPACK_GENERATOR STREQUAL "DEB" AND file MATCHES "/share/doc/[^/]+/changelog$"))
    if(NOT gzip_program)
      message(FATAL_ERROR "package-staging: no gzip to compress ${file}")
    endif()
    execute_process(COMMAND "${gzip_program}" -9nf "${file}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "package-staging: gzip -9n ${file} failed")
    endif()
  elseif(CPACK_GENERATOR STREQUAL "DEB" AND file MATCHES "/bin/[^/]+$|/lib/(.*/)?[^/]+\\.so\\.[0-9.]+$")
    if(file MATCHES "/bin/[^/]+$")
      file(RPATH_REMOVE FILE "${file}")
    endif()
    strip_sections("${file}")
  elseif(CPACK_GENERATOR STREQUAL "DEB" AND file MATCHES "/lib/(.*/)?[^/]+\\.a$")
    strip_sections("${file}" --strip-debug --enable-deterministic-archives)
  endif()
endforeach()
