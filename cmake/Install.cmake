# What `cmake --install` puts under the prefix: the tool and its build step,
# their man pages, the documents, a CMake package (the imported executables
# Pelkaforge::Pelkaforge and Pelkaforge::pelkaforge-image, and
# pelkaforge_add_image), GNU make rules and an SCons tool module.
# scripts/package makes the release artifacts from it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PELKAFORGE_PACKAGE_DIR lib/cmake/Pelkaforge)
# Debian looks for the copyright under the package's own, lower-case name.
set(PELKAFORGE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pelkaforge)

install(TARGETS Pelkaforge pelkaforge-image EXPORT PelkaforgeTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES doc/Pelkaforge.1 doc/pelkaforge-image.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE doc/copyright
        DESTINATION ${PELKAFORGE_DOC_DIR})
# The pages the README links, where its links find them.
file(GLOB pages doc/*.md)
install(FILES ${pages} DESTINATION ${PELKAFORGE_DOC_DIR}/doc)
# The GNU make rules and the SCons tool, which find the build step from
# their own place.
install(FILES mk/pelkaforge.mk
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/pelkaforge)
install(FILES scons/pelkaforge.py
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/pelkaforge/scons)

install(EXPORT PelkaforgeTargets NAMESPACE Pelkaforge::
        DESTINATION ${PELKAFORGE_PACKAGE_DIR})
# The package holds executables only: a consumer of any architecture can
# run them.
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/PelkaforgeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES cmake/PelkaforgeConfig.cmake cmake/PelkaforgeAddImage.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PelkaforgeConfigVersion.cmake
        DESTINATION ${PELKAFORGE_PACKAGE_DIR})
