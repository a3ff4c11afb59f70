# IBM Z Linux, a big-endian host: Debian's g++-s390x-linux-gnu, programs run
# under qemu-s390x.
set(PELKAFORGE_CROSS_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
