/* TParamBlock: the record the host passes to every export.
 *
 * Owned and allocated by the host; the library keeps nothing of it after a
 * call. On the host's own platform (32-bit Windows) the layout is fixed and
 * checked below; little-endian, 32-bit pointers:
 *
 *   offset  0, 4, 8  reserved (never read or written)
 *   offset 12  KeyWidth    distance in bytes from one key slot to the next
 *   offset 16  ValueWidth  distance in bytes from one value slot to the next
 *   offset 20  EntryCount  rows of the name/value table in use
 *   offset 24  Keys        key slot 0
 *   offset 28  Values      value slot 0
 *   offset 32, 36  reserved
 *   offset 40  VersionText zero-terminated version text, or null
 *
 * On a 64-bit target the same fields keep their order with native 8-byte
 * pointers: Keys at 24, Values at 32, the two reserved words at 40 and 44,
 * VersionText at 48 (also checked below).
 *
 * Each slot holds a zero-terminated ANSI string; a key is stored with a
 * percent sign before and after the name ("%DBUP_ERR%").
 */
#ifndef DBUP_BOUNDARY_PARAM_BLOCK_H_
#define DBUP_BOUNDARY_PARAM_BLOCK_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TParamBlock {
  int32_t Reserved0;
  int32_t Reserved1;
  int32_t Reserved2;
  int32_t KeyWidth;
  int32_t ValueWidth;
  int32_t EntryCount;
  char* Keys;
  char* Values;
  int32_t Reserved8;
  int32_t Reserved9;
  const char* VersionText;
} TParamBlock;

#ifdef __cplusplus
}  // extern "C"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(TParamBlock, KeyWidth) == 12);
static_assert(offsetof(TParamBlock, ValueWidth) == 16);
static_assert(offsetof(TParamBlock, EntryCount) == 20);
static_assert(offsetof(TParamBlock, Keys) == 24);
static_assert(offsetof(TParamBlock, Values) == 28);
static_assert(offsetof(TParamBlock, Reserved8) == 32);
static_assert(offsetof(TParamBlock, VersionText) == 40);
static_assert(sizeof(TParamBlock) == 44);
#else
static_assert(offsetof(TParamBlock, EntryCount) == 20);
static_assert(offsetof(TParamBlock, Keys) == 24);
static_assert(offsetof(TParamBlock, Values) == 32);
static_assert(offsetof(TParamBlock, VersionText) == 48);
#endif

#endif  // __cplusplus

#endif  // DBUP_BOUNDARY_PARAM_BLOCK_H_
