# 32-bit Windows: the production target (the host is a 32-bit program).
set(DBUP_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
