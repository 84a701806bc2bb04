/* The engine operations that the library calls, as plain C functions.
 *
 * This is the whole surface of the dBASE engine as seen from above: the
 * update, conversion and maintenance code call nothing else of it. The names
 * and arguments are fixed so that on Windows the engine can live in a DLL of
 * its own that dbup imports by name.
 *
 * Handles are opaque; a null handle means failure. Positioning and writing
 * return 0 on success and 3 (r4eof) at end of file; negative values are
 * errors whose text error4text() gives.
 *
 * The session keeps a pending error code: a failed open, a failed index open
 * or a field look-up that finds nothing sets it negative, and while it is
 * negative further opens and look-ups fail, until code4errorCode(s, 0)
 * clears it. The library must reset it after every table job.
 *
 * A changed current record is stored when the table moves to another
 * record, is unlocked or is closed. Text returned by f4str/f4memoStr/f4name
 * stays valid only until the next call on the same table.
 */
#ifndef DBUP_ENGINE_E4API_H_
#define DBUP_ENGINE_E4API_H_

#if defined(_WIN32)
#define E4API __stdcall
#else
#define E4API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Code4Session Code4;
typedef struct Data4Table Data4;
typedef struct Field4Handle Field4;
typedef struct Index4File Index4;
typedef struct Tag4Handle Tag4;

/* Results. */
#define r4success 0
#define r4found 0
#define r4after 2
#define r4eof 3
#define r4bof 4
#define r4locked 50

/* Error codes (negative). */
#define e4open (-60)
#define e4read (-70)
#define e4write (-80)
#define e4create (-20)
#define e4data (-200)
#define e4fieldName (-210)
#define e4memo (-230)
#define e4index (-300)
#define e4tagName (-310)
#define e4expr (-400)
#define e4parm (-930)
#define e4info (-910)
#define e4memory (-920)

/* Session. */
Code4* E4API code4initP(void);
int E4API code4autoOpen(Code4* s, int value);
int E4API code4accessMode(Code4* s, int value);
int E4API code4optimizeWrite(Code4* s, int value);
/* Sets the pending error code and returns the previous one. */
int E4API code4errorCode(Code4* s, int value);
/* Closes every table still open and frees the session. */
int E4API code4initUndo(Code4* s);
const char* E4API error4text(Code4* s, int code);

/* Tables. */
Data4* E4API d4open(Code4* s, const char* path);
int E4API d4close(Data4* d);
int E4API d4top(Data4* d);
int E4API d4skip(Data4* d, long n);
int E4API d4go(Data4* d, long record);
int E4API d4deleted(Data4* d);
long E4API d4recNoLow(Data4* d);
long E4API d4recCount(Data4* d);
int E4API d4appendBlank(Data4* d);
int E4API d4writeLow(Data4* d, long record, int unlock, int do_lock);
int E4API d4lockInternal(Data4* d, long record, int lock_type, int do_wait);
int E4API d4unlock(Data4* d);
void E4API d4delete(Data4* d);
int E4API d4pack(Data4* d);
int E4API d4reindex(Data4* d);

/* Fields. */
Field4* E4API d4field(Data4* d, const char* name);
short E4API d4numFields(Data4* d);
Field4* E4API d4fieldJ(Data4* d, short j); /* 1-based */
const char* E4API f4name(Field4* f);
int E4API f4type(Field4* f);
int E4API f4len(Field4* f);
int E4API f4decimals(Field4* f);
const char* E4API f4str(Field4* f);
const char* E4API f4memoStr(Field4* f);
long E4API f4int(Field4* f);
int E4API f4double2(Field4* f, double* result);
void E4API f4assign(Field4* f, const char* value);
int E4API f4memoAssign(Field4* f, const char* value);
void E4API f4assignInt(Field4* f, int value);
void E4API f4assignDouble(Field4* f, double value);
void E4API f4assignField(Field4* to, Field4* from);

/* Indexes. */
Index4* E4API i4open(Data4* d, const char* path);
int E4API i4close(Index4* i);
Tag4* E4API i4tag(Index4* i, const char* name);
Tag4* E4API d4tag(Data4* d, const char* name);
void E4API d4tagSelectP(Data4* d, Tag4* t);
int E4API d4seek(Data4* d, const char* key);
int E4API d4seekNext(Data4* d, const char* key);

#ifdef __cplusplus
}
#endif

#endif /* DBUP_ENGINE_E4API_H_ */
