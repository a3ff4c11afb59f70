# The installed Pelkaforge: the imported executables Pelkaforge::Pelkaforge
# and Pelkaforge::pelkaforge-image, and pelkaforge_add_image().
include("${CMAKE_CURRENT_LIST_DIR}/PelkaforgeTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/PelkaforgeAddImage.cmake")
