# What `cmake --install` puts under the prefix: the tool, its man page, its
# documents, and a CMake package (the imported executable
# Pelkaforge::Pelkaforge and pelkaforge_add_image). The top-level project
# also packages it with CPack: `cpack -G DEB` or `cpack -G TGZ` in the build
# directory.
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

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

set(PELKAFORGE_PACKAGE_MAINTAINER
    "Pelkaforge developers <pelkaforge@example.org>" CACHE STRING
    "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME pelkaforge)
set(CPACK_PACKAGE_VENDOR "Pelkaforge developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turns a raw firmware image into a C source file")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelkaforge converts one raw binary firmware image into\n\
SecondaryMicroImage.c: the image as a constant byte array in 512-byte\n\
blocks, its length in 256-byte units and its last byte as its version.\n\
Images that are not a multiple of 512 bytes are padded in place with 0xFF.\n\
Includes a CMake package with pelkaforge_add_image() for firmware builds.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PELKAFORGE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the binary needs, as dpkg-shlibdeps (dpkg-dev) finds
# them; without it, the ones a g++ build needs.
find_program(PELKAFORGE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PELKAFORGE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
