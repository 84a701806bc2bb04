# Windows-only parts of the build, included by the top-level CMakeLists.txt
# after the layers exist. The layers' own CMakeLists.txt stay platform-neutral.
#
# The product is two DLLs, as installed beside the host:
#   dbup.dll     the four exports, undecorated stdcall names (src/boundary/dbup.def);
#   dbupeng.dll  our dBASE engine, exporting the operations of e4api.h by name.
# dbup.dll imports the engine by name through an import library made by
# dlltool from a .def, exactly as it would import a vendor's engine DLL. The
# engine keeps a name of its own: the host ships its own engine DLL, which
# must never be replaced.
include(${CMAKE_CURRENT_LIST_DIR}/e4def.cmake)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_dbup_decorate ON)
  set(_dbup_dlltool_flags --kill-at -m i386)
else()
  set(_dbup_decorate OFF)
  set(_dbup_dlltool_flags -m i386:x86-64)
endif()

# --- platform: the Win32 backends beside the POSIX ones ----------------------
set(_dbup_platform_win32 env_win32.cc)
foreach(_pair registry.h:registry_win32.cc profile.h:profile_win32.cc
              version_resource.h:version_resource_win32.cc)
  string(REPLACE ":" ";" _pair "${_pair}")
  list(GET _pair 0 _header)
  list(GET _pair 1 _source)
  if(EXISTS ${PROJECT_SOURCE_DIR}/src/platform/${_header})
    list(APPEND _dbup_platform_win32 ${_source})
  endif()
endforeach()
list(TRANSFORM _dbup_platform_win32 PREPEND ${PROJECT_SOURCE_DIR}/src/platform/)
target_sources(dbup_platform PRIVATE ${_dbup_platform_win32})
target_link_libraries(dbup_platform PUBLIC advapi32 version)

# --- the engine DLL and its import library -----------------------------------
if(TARGET dbup_engine)
  set(_eng_def ${CMAKE_BINARY_DIR}/dbupeng.def)
  dbup_write_engine_def(${PROJECT_SOURCE_DIR}/src/engine/e4api.h dbupeng.dll ${_eng_def}
                        ${_dbup_decorate})

  add_library(dbupeng SHARED ${PROJECT_SOURCE_DIR}/src/engine/e4dll_win32.cc ${_eng_def})
  set_target_properties(dbupeng PROPERTIES PREFIX "" OUTPUT_NAME dbupeng)
  target_link_libraries(dbupeng PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,dbup_engine>")
  target_link_options(dbupeng PRIVATE LINKER:--kill-at LINKER:--no-undefined)

  set(_eng_implib ${CMAKE_BINARY_DIR}/import/libdbupeng.a)
  add_custom_command(
    OUTPUT ${_eng_implib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/import
    COMMAND ${DBUP_DLLTOOL} ${_dbup_dlltool_flags} -d ${_eng_def} -D dbupeng.dll -l ${_eng_implib}
    DEPENDS ${_eng_def}
    COMMENT "Import library of dbupeng.dll from its .def")
  add_custom_target(dbupeng_implib DEPENDS ${_eng_implib})

  # What a library that imports the engine links instead of dbup_engine.
  add_library(dbup_engine_import INTERFACE)
  target_include_directories(dbup_engine_import INTERFACE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(dbup_engine_import INTERFACE ${_eng_implib} dbup_platform)
  add_dependencies(dbup_engine_import dbupeng_implib dbupeng)
endif()

# --- dbup.dll -----------------------------------------------------------------
if(TARGET dbup AND TARGET dbupeng)
  set(_dbup_def ${CMAKE_BINARY_DIR}/dbup.def)
  file(READ ${PROJECT_SOURCE_DIR}/src/boundary/dbup.def _def_text)
  if(NOT _dbup_decorate)
    string(REGEX REPLACE "@[0-9]+" "" _def_text "${_def_text}")
  endif()
  file(CONFIGURE OUTPUT ${_dbup_def} CONTENT "${_def_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/src/boundary/dbup.def)
  target_sources(dbup PRIVATE ${_dbup_def} ${PROJECT_SOURCE_DIR}/src/boundary/dllmain_win32.cc)
  set_target_properties(dbup PROPERTIES PREFIX "" OUTPUT_NAME dbup)
  target_link_options(dbup PRIVATE LINKER:--kill-at LINKER:--no-undefined)

  # Every layer links dbup_engine for its tests; for the DLL the engine comes
  # from dbupeng.dll instead. The choice is made per linked target: a target
  # with DBUP_IMPORTS_ENGINE set gets the import library, all others the
  # static engine.
  set_property(TARGET dbup PROPERTY DBUP_IMPORTS_ENGINE ON)
  set(_engine_choice
      "$<IF:$<BOOL:$<TARGET_PROPERTY:DBUP_IMPORTS_ENGINE>>,dbup_engine_import,dbup_engine>")
  foreach(_dir platform xbase engine maintenance convert update boundary)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${_dir}/CMakeLists.txt)
      continue()
    endif()
    get_property(_targets DIRECTORY ${PROJECT_SOURCE_DIR}/src/${_dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(_t IN LISTS _targets)
      if(_t STREQUAL "dbup_engine" OR _t STREQUAL "dbupeng")
        continue()
      endif()
      foreach(_prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(_libs ${_t} ${_prop})
        if(_libs AND "dbup_engine" IN_LIST _libs)
          list(TRANSFORM _libs REPLACE "^dbup_engine$" "${_engine_choice}")
          set_property(TARGET ${_t} PROPERTY ${_prop} "${_libs}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endif()

# --- header-only packages of the build machine ----------------------------------
# Their CMake packages point at /usr/include, which holds the build machine's C
# library headers too; the cross compiler must see only the packages' own.
set(_dbup_host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(_pkg nlohmann_json::nlohmann_json=nlohmann CLI11::CLI11=CLI)
  string(REPLACE "=" ";" _pkg "${_pkg}")
  list(GET _pkg 0 _target)
  list(GET _pkg 1 _dir)
  if(TARGET ${_target})
    get_target_property(_inc ${_target} INTERFACE_INCLUDE_DIRECTORIES)
    if(_inc)
      list(GET _inc 0 _inc)
    endif()
    if(_inc AND EXISTS ${_inc}/${_dir} AND NOT EXISTS ${_dbup_host_headers}/${_dir})
      file(MAKE_DIRECTORY ${_dbup_host_headers})
      file(CREATE_LINK ${_inc}/${_dir} ${_dbup_host_headers}/${_dir} SYMBOLIC)
    endif()
    set_target_properties(${_target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_dbup_host_headers})
  endif()
endforeach()
