# Windows-only parts of the build, included by the top-level CMakeLists.txt
# after the layers exist. The layers' own CMakeLists.txt stay platform-neutral.

# The Win32 backends sit beside the POSIX ones and are compiled only here.
target_sources(dbup_platform PRIVATE
  ${PROJECT_SOURCE_DIR}/src/platform/env_win32.cc
)
