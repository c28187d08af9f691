/* Control of the simulated configuration library kelmorrow, for tests and
   tools. Plain C. Every function is safe to call from any thread, the
   library's delivery thread included.

   Functions that can fail answer 0 on success and -1 on failure, and then
   write a NUL-terminated message into `error` (cut to `errorSize` bytes;
   `error` may be null). Texts are UTF-8. Operations are named by their
   method name ("FindHardware", "Next", "GetString", "QueryInterface",
   "kelsysInstantiateFramework2", ...); "Next", "Skip", "Reset" and "Clone"
   cover both enumerators. AddRef and Release are no operations: they can
   neither fail nor wait, and the object counts below account for them. */
#ifndef KELMORROW_KELSIM_H
#define KELMORROW_KELSIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the state of a freshly loaded library: no records, failures,
   latencies, counters or handlers; the delivery queue is dropped, a running
   callback is waited for and the delivery thread ends. Live objects and
   outstanding references are not counters: clients still hold them. */
void kelsimReset(void);

/* Drops the delivery queue, waits for a running callback, ends the delivery
   thread and releases every handler, keeping the model. Unloading the
   library does the same without joining the thread (it runs only while
   notifications are pending), giving a running callback a second to end. */
void kelsimShutdown(void);

/* Replace the whole model by a hardware description. A rejected
   description changes nothing; the message reads "source:line:column: ...". */
int32_t kelsimLoadFile(const char* path, char* error, size_t errorSize);
int32_t kelsimLoadText(const char* text, const char* sourceName, char* error, size_t errorSize);

/* Apply {"replace": [records]}, {"add": [records]} or {"remove": [resource
   names]} to a target ("" is the local machine) and queue the notification
   for the target's handler. */
int32_t kelsimApplyChange(const char* target, const char* changeJson, const char* sourceName, char* error,
                          size_t errorSize);

/* 1 once no notification is queued or being delivered, 0 on timeout. */
int32_t kelsimWaitIdle(uint32_t timeoutMs);

/* Latency in milliseconds, applied at the start of each call (0 removes it). */
int32_t kelsimSetLatency(const char* operation, uint32_t milliseconds, char* error, size_t errorSize);
/* The nth call from now answers `result` (once), or every call when nth is 0.
   Out parameters are null or zero then; a `detail` out parameter reads
   "injected failure of <operation>". */
int32_t kelsimSetFailure(const char* operation, uint32_t nth, int32_t result, char* error, size_t errorSize);
void kelsimClearFailures(void);

/* Calls since the last reset; UINT64_MAX for a name that is no operation. */
uint64_t kelsimCallCount(const char* operation);
/* Calls answered with a failure since the last reset. */
uint64_t kelsimFailureCount(void);

/* Objects the library made and has not destroyed, and the references held on them. */
uint64_t kelsimLiveObjects(void);
uint64_t kelsimOutstandingReferences(void);

/* 1 when a notification handler is registered for the target. */
int32_t kelsimHasHandler(const char* target);
/* Notifications delivered, and dropped for want of a handler, since the last reset. */
uint64_t kelsimDeliveredNotifications(void);
uint64_t kelsimDroppedNotifications(void);
/* What the last handler call returned (0 before any). */
int32_t kelsimLastHandlerResult(void);

#ifdef __cplusplus
}
#endif

#endif
