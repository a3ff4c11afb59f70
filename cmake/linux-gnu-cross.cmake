# Cross-compiles for another Linux architecture with Debian's cross compilers
# (g++-<arch>-linux-gnu), as cmake/<arch>-linux-gnu.cmake asks with
# PELKAFORGE_CROSS_ARCH. Programs are linked statically, so that qemu-user
# (Debian's qemu-user) runs them, tests included, without the target's
# libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${PELKAFORGE_CROSS_ARCH})

set(CMAKE_C_COMPILER ${PELKAFORGE_CROSS_ARCH}-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER ${PELKAFORGE_CROSS_ARCH}-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${PELKAFORGE_CROSS_ARCH})

set(CMAKE_FIND_ROOT_PATH /usr/${PELKAFORGE_CROSS_ARCH}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
