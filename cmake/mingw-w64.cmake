# Cross build for Windows with Debian's mingw-w64 (posix thread model).
# Included by mingw-w64-i686.cmake and mingw-w64-x86_64.cmake, which set
# DBUP_MINGW_ARCH first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DBUP_MINGW_ARCH})

set(_triple ${DBUP_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR /usr/bin/${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${_triple}-ranlib CACHE FILEPATH "")
set(DBUP_DLLTOOL ${_triple}-dlltool)
set(DBUP_OBJDUMP ${_triple}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Header-only packages (nlohmann_json, CLI11) come from the build machine's
# /usr/share; nothing compiled is taken from there (GTest is built from source).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Every binary carries its C and C++ run-time, so a DLL imports system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
