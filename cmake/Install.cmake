# What `cmake --install` puts under the prefix: the tool, its man page, its
# documents, a CMake package (the imported executable Pelkaforge::Pelkaforge
# and pelkaforge_add_image) and GNU make rules. scripts/package makes the
# release artifacts from it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PELKAFORGE_PACKAGE_DIR lib/cmake/Pelkaforge)
# Debian looks for the copyright under the package's own, lower-case name.
set(PELKAFORGE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pelkaforge)

install(TARGETS Pelkaforge EXPORT PelkaforgeTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES doc/Pelkaforge.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE doc/copyright
        DESTINATION ${PELKAFORGE_DOC_DIR})
# The GNU make rules, which find the tool from their own place.
install(FILES mk/pelkaforge.mk
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/pelkaforge)

install(EXPORT PelkaforgeTargets NAMESPACE Pelkaforge::
        DESTINATION ${PELKAFORGE_PACKAGE_DIR})
# The package holds an executable only: a consumer of any architecture can
# run it.
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/PelkaforgeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES cmake/PelkaforgeConfig.cmake cmake/PelkaforgeAddImage.cmake
              cmake/PelkaforgeRunImage.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PelkaforgeConfigVersion.cmake
        DESTINATION ${PELKAFORGE_PACKAGE_DIR})
