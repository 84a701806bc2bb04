/* The library's whole public surface: four operations the host calls, one
 * at a time, each with a pointer to its parameter block. Each returns 0 on
 * success and -1 on failure, when the block holds the failure's text under
 * the key "%DBUP_ERR%". No exception or other error ever crosses this line.
 */
#ifndef DBUP_BOUNDARY_DBUP_H_
#define DBUP_BOUNDARY_DBUP_H_

#include <stdint.h>

#include "boundary/param_block.h"

#if defined(_WIN32)
#define DBUP_CALL __stdcall
#if defined(DBUP_BUILDING_LIBRARY)
#define DBUP_EXPORT __declspec(dllexport)
#else
#define DBUP_EXPORT
#endif
#else
#define DBUP_CALL
#define DBUP_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Brings every table up to the structure the host's version expects. */
DBUP_EXPORT int32_t DBUP_CALL UpdateDatabaseStructures(TParamBlock* params);
/* Repairs the header and rebuilds the index of every table and archive. */
DBUP_EXPORT int32_t DBUP_CALL ReindexAllDatabaseFiles(TParamBlock* params);
/* Saves the revenue code charges to the dump file before the host replaces
 * the revenue code table, and writes them back afterwards. */
DBUP_EXPORT int32_t DBUP_CALL BackupRevenueCodeChargeData(TParamBlock* params);
DBUP_EXPORT int32_t DBUP_CALL RestoreRevenueCodeChargeData(TParamBlock* params);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // DBUP_BOUNDARY_DBUP_H_
