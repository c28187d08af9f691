#ifndef ZTRTSIM_H
#define ZTRTSIM_H
/*
 * Control API of the simulated Zentro run-time engine (ztrt.dll / libztrt.so),
 * for tests and tools. Plain C; every function is thread-safe.
 *
 * Ownership: handles from DSNewHClr, LStrFromPtr and ConvertUTF8StringToSystem
 * belong to the caller, who frees them with DSDisposeHandle. URL handles that
 * TargetURL hands out stay the engine's; DSDisposeHandle rejects them and the
 * engine frees them at reset or unload. Variants created by the attribute
 * setters are the engine's: ztrtsimDisposeNameList frees a delivered list
 * together with every variant in its element slots; ztrtsimReset (and unloading)
 * frees whatever is left.
 */
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the control API, and the non-zero statuses of the host functions. */
enum {
  ZTRTSIM_OK = 0,
  ZTRTSIM_ERR_ARGUMENT = 1,  /* null pointer, negative length, empty name, ... */
  ZTRTSIM_ERR_MEMORY = 2,    /* the engine ran out of memory */
  ZTRTSIM_ERR_HANDLE = 3,    /* not a live handle of the engine, or a malformed block */
  ZTRTSIM_ERR_ENCODING = 4,  /* invalid UTF-8, or a character the system encoding lacks */
  ZTRTSIM_ERR_APP_REF = 5,   /* application reference not in the URL table */
  ZTRTSIM_ERR_INJECTED = 6,  /* default status of an injected failure */
  ZTRTSIM_ERR_VARIANT = 7,   /* an element slot holds something that is no variant of the engine */
  ZTRTSIM_ERR_NOT_FOUND = 8, /* no such element or attribute */
  ZTRTSIM_ERR_TYPE = 9,      /* the attribute has the other type */
  ZTRTSIM_ERR_BUFFER = 10    /* the buffer is too small; nothing was copied */
};

/* The seven host functions, for failure injection and call counts. */
enum {
  ZTRTSIM_FN_TARGET_URL = 0,
  ZTRTSIM_FN_DS_NEW_H_CLR = 1,
  ZTRTSIM_FN_SET_STRING_ATTR = 2,
  ZTRTSIM_FN_SET_UI32_ATTR = 3,
  ZTRTSIM_FN_LSTR_FROM_PTR = 4,
  ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM = 5,
  ZTRTSIM_FN_DS_DISPOSE_HANDLE = 6,
  ZTRTSIM_FN_COUNT = 7
};

/* System encodings for ConvertUTF8StringToSystem. */
enum { ZTRTSIM_ENCODING_UTF8 = 0, ZTRTSIM_ENCODING_WINDOWS_1252 = 1 };

/* Frees every handle, URL handle and variant, empties the URL table, clears
 * injected failures and counters, and selects UTF-8. Handles held by callers
 * are invalid afterwards. */
void ztrtsimReset(void);

/* URL table. Setting an entry again replaces it; the URL handle handed out
 * before stays valid until reset. length < 0 or bytes == NULL with length > 0
 * is ZTRTSIM_ERR_ARGUMENT. */
int ztrtsimSetTargetURL(uint32_t appRef, const char* bytes, int32_t length);
/* TargetURL answers status 0 and a null handle. */
int ztrtsimSetTargetURLNull(uint32_t appRef);
/* TargetURL answers the given non-zero status and leaves the slot alone. */
int ztrtsimSetTargetURLFailure(uint32_t appRef, int32_t status);
/* The reference becomes unknown again (TargetURL answers ZTRTSIM_ERR_APP_REF). */
int ztrtsimRemoveTargetURL(uint32_t appRef);

int ztrtsimSetEncoding(int encoding);
int ztrtsimGetEncoding(void);

/* Makes the nth call of the function from now on fail (1 = the next call), or
 * every call when nth is 0, until cleared. A failing DSNewHClr returns null;
 * the others return status, or ZTRTSIM_ERR_INJECTED when status is 0, and
 * change nothing (a failing DSDisposeHandle frees nothing). One plan per
 * function; arming again replaces it. */
int ztrtsimFailCall(int function, uint32_t nth, int32_t status);
void ztrtsimClearFailures(void);

/* Calls of the function since reset, failed ones included; -1 for an unknown function. */
int64_t ztrtsimCallCount(int function);
/* Live handles owned by callers (URL handles not included). */
int64_t ztrtsimLiveHandles(void);
int64_t ztrtsimLiveVariants(void);
/* DSDisposeHandle calls refused because the handle was null, foreign, already
 * freed or the engine's own. */
int64_t ztrtsimRejectedDisposals(void);
/* Block size of a live handle (URL handles included), or -1. */
int64_t ztrtsimHandleSize(const void* handle);

/*
 * Name lists: a caller-owned handle whose block holds a signed 32-bit element
 * count, 4 bytes of padding, then pointer-sized element slots, each a variant
 * or zero. The element accessors accept every slot that fits in the block, so a
 * list whose count was never written can still be inspected.
 */
/* The count field, or -1 when list is no live handle or its block is shorter than 8 bytes. */
int32_t ztrtsimListCount(const void* list);
/* Number of element slots the block holds, or -1. */
int32_t ztrtsimListCapacity(const void* list);
/* Attributes of element index (0 for an empty slot), or -1 when the list, the
 * index or the variant is invalid. */
int32_t ztrtsimListElementAttrCount(const void* list, int32_t index);
/* Name of the position-th attribute in the order first set. The string
 * getters copy the bytes, add a terminating zero when there is room, and store
 * the byte count in *length (when length is not null) even when the buffer is
 * too small. */
int ztrtsimListGetAttrName(const void* list, int32_t index, int32_t position, char* buffer, size_t size,
                           size_t* length);
/* name is the attribute name as the engine read it, zero-terminated ("n", "id"). */
int ztrtsimListGetStringAttr(const void* list, int32_t index, const char* name, char* buffer, size_t size,
                             size_t* length);
int ztrtsimListGetUI32Attr(const void* list, int32_t index, const char* name, uint32_t* value);
/* Frees the variants in every element slot of the block and then the handle. */
int ztrtsimDisposeNameList(void* list);

#ifdef __cplusplus
}
#endif

#endif
