# 64-bit ARM Linux: Debian's g++-aarch64-linux-gnu, programs run under
# qemu-aarch64.
set(PELKAFORGE_CROSS_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
