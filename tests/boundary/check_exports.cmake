# Checks that the shared library exports exactly the four operations.
# Usage: cmake -DLIBRARY=<path> -DNM=<nm> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(functions "")
foreach(line ${lines})
  # Every defined symbol counts (functions, weak template code, data), except
  # absolute ones: those name version nodes, not code.
  if(line MATCHES " ([A-Za-z]) ([^ ]+)$" AND NOT CMAKE_MATCH_1 STREQUAL "A")
    list(APPEND functions ${CMAKE_MATCH_2})
  endif()
endforeach()
list(SORT functions)
set(expected BackupRevenueCodeChargeData ReindexAllDatabaseFiles RestoreRevenueCodeChargeData
    UpdateDatabaseStructures)
if(NOT functions STREQUAL expected)
  message(FATAL_ERROR "exported functions: ${functions}\nexpected: ${expected}")
endif()
message(STATUS "exports ok: ${functions}")
