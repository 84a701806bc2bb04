# GoogleTest for a Windows cross build: Debian's prebuilt libraries are for
# the build machine, so it is compiled from the sources that libgtest-dev ships.
set(_gtest_src /usr/src/googletest)
if(NOT EXISTS ${_gtest_src}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${_gtest_src} (install libgtest-dev)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
# Third-party code: our warning flags are not its business.
add_subdirectory(${_gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(_t gtest gtest_main gmock gmock_main)
  if(TARGET ${_t})
    target_compile_options(${_t} PRIVATE -Wno-error)
  endif()
endforeach()
