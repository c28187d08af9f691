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
   latencies, counters, scheduled changes or handlers, and the default
   profile; the delivery queue is dropped, running callbacks are waited for,
   late releases are made at once and the library's threads end. Live objects
   and outstanding references are not counters: clients still hold them. */
void kelsimReset(void);

/* Drops the delivery queue, waits for running callbacks, ends the library's
   threads and releases every handler, late releases included, keeping the
   model and the profile. Unloading the library does the same without joining
   the threads (they run only while notifications or late releases are
   pending), giving a running callback or release a second to end. */
void kelsimShutdown(void);

/* Replace the whole model by a hardware description, and the profile by the
   description's "profile" when it has one. A rejected description changes
   nothing; the message reads "source:line:column: ...". */
int32_t kelsimLoadFile(const char* path, char* error, size_t errorSize);
int32_t kelsimLoadText(const char* text, const char* sourceName, char* error, size_t errorSize);

/* How the library behaves where its contract is silent, as a JSON object
   with any of "registrations" ("per-target" or "per-framework"), "removal"
   ("waits" or "does-not-wait"), "delivery" ("library-thread" or "inline"),
   "frameworks" ("new" or "shared"), "late-release-ms" (0 or more) and
   "notifications" ("supported" or "unsupported"); see
   docs/hardware-description.md. Members left out take their defaults, so
   "{}" is the default profile. It applies to what happens next; existing
   registrations stay, except that "unsupported" ends every registration
   as kelsimRestartService does. Under "unsupported" SetNotificationHandler
   answers E_NOTIMPL (0x80004001) to every call, registering and removing,
   and every change is dropped. A rejected profile changes nothing; the
   message reads "<profile>:line:column: ...". */
int32_t kelsimSetProfile(const char* profileJson, char* error, size_t errorSize);
/* The same, but members left out keep the values in force. */
int32_t kelsimChangeProfile(const char* profileJson, char* error, size_t errorSize);

/* The service restarts. Every framework object made before answers
   RPC_E_DISCONNECTED (0x80010108) to every call but QueryInterface, AddRef
   and Release (counted as calls and failures; a `detail` out parameter
   says why), and kelsysInstantiateFramework2 makes a new one, under the
   "shared" profile too. Every registration ends without a callback, its
   handler released as a removal would release it (waiting for a running
   callback and late as the profile says); queued notifications are dropped.
   Records and enumerators handed out keep working. Failures, latencies and
   scheduled changes stay. */
void kelsimRestartService(void);

/* Apply {"replace": [records]}, {"add": [records]} or {"remove": [resource
   names]} to a target ("" is the local machine) and notify every handler
   registered for the target: queued for the library's thread, or delivered
   before this returns under inline delivery. */
int32_t kelsimApplyChange(const char* target, const char* changeJson, const char* sourceName, char* error,
                          size_t errorSize);
/* The same change, checked now, applied inside the next call of `operation`
   (any operation, or "OnConfigurationChanged" for the next callback) after
   its latency and before its own work, on that call's thread, and notified
   as the profile says: under inline delivery before that call returns. A
   removal whose records have gone by then is dropped. */
int32_t kelsimApplyChangeDuring(const char* operation, const char* target, const char* changeJson,
                                const char* sourceName, char* error, size_t errorSize);

/* 1 once no notification is queued, no callback runs (but the caller's own)
   and no late release is pending; 0 on timeout. */
int32_t kelsimWaitIdle(uint32_t timeoutMs);

/* Latency in milliseconds, applied at the start of each call (0 removes it).
   For "OnConfigurationChanged" the library waits after a callback has begun,
   the handler referenced and the callback counted as running, and before it
   calls the handler. */
int32_t kelsimSetLatency(const char* operation, uint32_t milliseconds, char* error, size_t errorSize);
/* The nth call from now answers `result` (once), or every call when nth is 0
   (not for "OnConfigurationChanged", which is the handler's).
   Out parameters are null or zero then; a `detail` out parameter reads
   "injected failure of <operation>". */
int32_t kelsimSetFailure(const char* operation, uint32_t nth, int32_t result, char* error, size_t errorSize);
/* A failure for a while: the next `count` calls (1 or more), or every call
   for the next `milliseconds` (1 or more), answer `result`; then the
   operation answers as it did before (an every-call failure set by
   kelsimSetFailure included). A call due for a kelsimSetFailure of its own
   answers that; of several runs under way the one set last answers. */
int32_t kelsimSetFailureRun(const char* operation, uint32_t count, int32_t result, char* error, size_t errorSize);
int32_t kelsimSetFailureFor(const char* operation, uint32_t milliseconds, int32_t result, char* error,
                            size_t errorSize);
/* Ends every injected failure, runs included. */
void kelsimClearFailures(void);

/* Calls since the last reset; UINT64_MAX for a name that is no operation. */
uint64_t kelsimCallCount(const char* operation);
/* Calls answered with a failure since the last reset: injected ones, those
   of disconnected framework objects and every other failed call alike. */
uint64_t kelsimFailureCount(void);

/* Objects the library made and has not destroyed, and the references held on them. */
uint64_t kelsimLiveObjects(void);
uint64_t kelsimOutstandingReferences(void);

/* 1 when the target has at least one registration. */
int32_t kelsimHasHandler(const char* target);
/* Registrations held now, for every target and framework object. */
uint64_t kelsimRegistrations(void);
/* References the library holds now on handlers given to it: one per
   registration, per callback under way and per late release pending. */
uint64_t kelsimHandlerReferences(void);
/* Handlers whose last reference, as their Release told, the library dropped
   on a thread of its own (delivery, late release), since it was loaded. */
uint64_t kelsimLastReleasesOnLibraryThreads(void);
/* Handler calls made, and notifications dropped for want of a handler,
   since the last reset. */
uint64_t kelsimDeliveredNotifications(void);
uint64_t kelsimDroppedNotifications(void);
/* What the last handler call returned (0 before any). */
int32_t kelsimLastHandlerResult(void);

#ifdef __cplusplus
}
#endif

#endif
