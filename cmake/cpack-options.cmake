# SPDX-License-Identifier: MIT
# cpack's CPACK_PROJECT_CONFIG_FILE (install.cmake): read for each generator
# after CPackConfig.cmake, with CPACK_GENERATOR set to that generator.

if(CPACK_GENERATOR STREQUAL "DEB")
  # Each Debian package has its own summary, the first line of its
  # component's description. CPackDeb would put the project's summary in
  # front of it, unless the summary is CMake's default.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY}")
endif()
