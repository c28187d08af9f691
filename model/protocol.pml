/*
 * The plug-in's notification and lifetime protocol, for SPIN: the host calls,
 * the per-target cache and its refresh, the target's notification route, the
 * settler, and the configuration library with each of its open points.
 * scripts/model builds and checks it, and checks that every function the
 * table names still exists in its file: renaming one means a look here.
 *
 * One target, two host threads, two hardware changes. Host A asks once and
 * lets go; host B keeps asking until it has the last hardware state, then
 * lets go. Whether B's first call comes before or after A's release decides
 * between one cache and two in succession (the first one often still
 * refreshing when it is dropped).
 *
 * Table: process or label | function | file
 *   Host, Get_lock, Get_version, Get_snapshot, Get_refresh
 *                                  | GetIOControlNames                        | src/provider/registry.cpp
 *   Release_lock, Release_unlock   | ReleasingAppRef                          | src/provider/registry.cpp
 *   Release_batch, Release_batchClose
 *                                  | NotificationRoutes::SettlingBatch        | src/kronel/notification_routes.cpp
 *   RequestRefresh_lock            | MorrowCache::RequestRefresh              | src/kronel/morrow_cache.cpp
 *   Get_refresh                    | MorrowCache::RefreshIfIdle               | src/kronel/morrow_cache.cpp
 *   submitted[], settlerQueued     | platform::SubmitWork                     | src/platform/work_pool.h
 *   Route_lock (the cache's check), RequestRefresh_lock
 *                                  | MorrowCache::OnNotification              | src/kronel/morrow_cache.cpp
 *   Release_lock, Refresh_end, Callback_end (the last share), Leave_lock
 *                                  | MorrowCache::~MorrowCache                | src/kronel/morrow_cache.cpp
 *   Worker, Refresh_start, Refresh_discover, Refresh_commit, Refresh_leave,
 *   Refresh_stale, Refresh_end     | MorrowCache::Refresh                     | src/kronel/discovery.cpp
 *   Join_enter, Register_call, Join_hold
 *                                  | NotificationRoute::Join                  | src/kronel/notification_route.cpp
 *   Leave_lock, Refresh_leave      | MorrowCache::LeaveRoute                  | src/kronel/morrow_cache.cpp
 *   Leave_lock, Refresh_leave      | NotificationRoute::Leave                 | src/kronel/notification_route.cpp
 *   Join_hold, SettleIfIdle_lock, Settle_unregister, Settle_release
 *                                  | NotificationRoute::Settle                | src/kronel/notification_route.cpp
 *   SettleIfIdle_lock              | NotificationRoute::SettleIfIdle          | src/kronel/notification_route.cpp
 *   Route_lock, Callback_end       | NotificationRoute::OnNotification        | src/kronel/notification_route.cpp
 *   MarkDue_lock                   | NotificationRoutes::MarkDue              | src/kronel/notification_routes.cpp
 *   Settler, SettleDue_take        | NotificationRoutes::SettleDue            | src/kronel/notification_routes.cpp
 *   Register_call                  | FrameworkHandle::RegisterNotifications   | src/morrowkit/framework/framework_handle.cpp
 *   Settle_unregister, Unregister_wait
 *                                  | FrameworkHandle::UnregisterNotifications | src/morrowkit/framework/framework_handle.cpp
 * End of table. Hardware, LibraryThread and the library's state stand for
 * the configuration library (testbed/kelmorrow), not for src/.
 *
 * The library's open points, one -D each (without it, the first):
 *   registrations per target      | PER_FRAMEWORK: per framework object
 *   delivery on its own thread    | INLINE_DELIVERY: during the registration
 *                                 |   call, and on the thread applying a change
 *   removal waits for callbacks   | NO_WAIT_REMOVAL: returns at once; a callback
 *     under way on it             |   under way arrives late
 *   a new framework object each   | SHARED_FRAMEWORKS: one object while it lives
 * QUERY_FAILS: one FindHardware may throw, and the check of a lost update
 * becomes the failure's rule (Refresh_end). QUERY_FAILS_EARLY and
 * REGISTRATION_FAILS_EARLY: one FindHardware, or one registration, may throw
 * before the hardware changes; what changes after it must still arrive.
 * REGISTRATION_FAILS: one registration may throw at any time. A cache whose
 * registration threw leaves the route with that framework and registers
 * again with a new one, so a cache may make more than one framework over its
 * life (one at a time): handles are numbered apart from caches.
 * ABSORB_ANY_THREAD: a cache absorbs a change told on any thread while it
 * registers. Faults put back, each to be refuted: KEEP_FIRST_RECEIVER,
 * REGISTER_EVERY_JOIN, NO_SETTLE_AFTER_LEAVE, SETTLER_IGNORES_BUSY,
 * ABSORB_FIRST_REFRESH, RAW_RECEIVER, SETTLE_IN_LEAVE,
 * HOST_MARKS_RUNNING_STALE (a host request that found the cache stale marks
 * a running refresh stale, as RequestRefresh does), and
 * KEEP_FRAMEWORK_AFTER_FAILED_REGISTRATION (a cache whose registration threw
 * keeps its framework and its membership, upToDate as it is, and never
 * registers again). SEE_*: an assertion that a case is reached at all, for
 * SPIN to break, so that the checks are not passed for want of the case.
 *
 * Each lock is an atomic step holding what the code does under it. Two
 * neighbouring steps of one thread share a step where nothing another
 * thread does in between could change what they do (said where it is so).
 * Pool work runs on one process per cache (Worker) and one for settling
 * (Settler): a process per submission would pile up ended processes.
 */

#define NONE      255
#define CHANGES   2
#define FAILED    254  /* a FindHardware that threw */
#define JOIN_FAILED 253  /* a registration that threw, and Join with it */
#define HANDLES   3    /* one framework a cache, and one more after the failure */

/* Every process has a local isHost, 1 only in the host threads. */
#define NOT_HOST assert(!isHost)

/* The hardware: how many changes are applied. names[] hold a state read
 * from it plus one; 0 is the empty list a cache starts with. */
byte hardware;
bit hardwareDone;
bit libraryDone;               /* every change told, every callback made */

/* provider/registry.cpp */
bit registryMutex;
byte appRefs;                  /* one bit per application reference */
byte targetCaches = NONE;      /* the map's cache of the target; NONE: no map or no entry */
bit lastVersionCurrent;        /* GetVersion() == lastVersion; versions only grow, so a
                                  commit makes it false and a snapshot true */
byte delivered;                /* ghost: the names last written to the host */
byte nextCache;
byte hostsDone;
bit gotLast;                   /* ghost: host B has the last hardware state */

/* MorrowCache, per cache */
bit alive[2];
byte shares[2];                /* shared_ptr owners: the map, the worker, a callback */
bit upToDate[2];
bit refreshing[2];
byte names[2];
byte fw[2] = NONE;             /* the cache's framework handle; NONE: none */
bit madeOne[2];                /* the cache has made a framework before */
byte registeringThread[2] = NONE;
bit inRefresh[2];              /* ghost: a Refresh() body runs */
bit libraryFailed;             /* the one failure allowed has happened */
#ifdef QUERY_FAILS
byte began[2];                 /* ghost: the hardware as the refresh began */
byte owed[2];                  /* ghost: newest change since then told to the cache */
#endif
#if defined(QUERY_FAILS)
#define QUERY_MAY_FAIL 1
#elif defined(QUERY_FAILS_EARLY)
#define QUERY_MAY_FAIL (hardware == 0)
#endif
#if defined(REGISTRATION_FAILS)
#define REGISTRATION_MAY_FAIL 1
#elif defined(REGISTRATION_FAILS_EARLY)
#define REGISTRATION_MAY_FAIL (hardware == 0)
#endif

/* The target's NotificationRoute, never destroyed */
byte members;
byte current = NONE;           /* weak: good only while shares[current] > 0 */
byte currentGeneration;
bit busy;
byte holder = NONE;            /* handle the registration was made through */
byte departed;                 /* one bit per handle left behind, to release */

/* NotificationRoutes */
bit due;
bit settlerQueued;
byte deferring;

/* The pool */
bit submitted[2];              /* a Refresh() queued for the cache */
byte pendingWork;              /* ghost: work items queued or running */
byte tails;                    /* ghost: destructors under way */
bit over;                      /* ghost: no work can come any more */

/* The library. Cache c's first framework handle is handle c, a second one
 * (after its registration threw; one cache at most) handle 2; objOf[h] is
 * the library's framework object behind handle h, numbered as the handle
 * that made it. */
byte handleShares[HANDLES];
byte objOf[HANDLES];
byte objRefs[HANDLES];
bit registered[HANDLES];       /* per framework object; per target, one at most */
byte running[HANDLES];         /* callbacks under way, per registration */
#ifndef INLINE_DELIVERY
chan queue = [CHANGES] of { byte };
#endif

#define FRAMEWORK_LIVE(h) (handleShares[h] > 0 && objRefs[objOf[h]] > 0)

/* Nothing moves cache c any more unless a host asks. */
#define NOT_RUNNING (running[0] == 0 && running[1] == 0 && running[2] == 0)
#define NONE_REGISTERED (!registered[0] && !registered[1] && !registered[2])
#define QUIET(c) (libraryDone && NOT_RUNNING && !refreshing[c])

#if defined(ABSORB_ANY_THREAD) || defined(ABSORB_FIRST_REFRESH)
#define ABSORBS(c) (registeringThread[c] != NONE)
#else
#define ABSORBS(c) (registeringThread[c] == _pid)
#endif

#ifdef QUERY_FAILS
#define TOLD(c, n) if :: n > began[c] && n > owed[c] -> owed[c] = n :: else fi
#else
#define TOLD(c, n) skip
#endif

/* The last release of a handle releases the library's framework object. */
inline HandleRelease(h) {
  handleShares[h]--;
  if
  :: handleShares[h] == 0 -> objRefs[objOf[h]]--; objOf[h] = 0
  :: else
  fi
}

/* A shared_ptr to cache c goes; the last one destroys the cache, and one
 * that joined the route leaves it (dying: on this thread, next). */
#define SHARE_DROP(c) \
  shares[c]--; \
  if \
  :: shares[c] == 0 -> \
     alive[c] = 0; upToDate[c] = 0; names[c] = 0; \
     if :: fw[c] != NONE -> dying = c; tails++ :: else fi \
  :: else \
  fi

inline SubmitSettling() {
  if
  :: deferring == 0 && due && !settlerQueued -> settlerQueued = 1; pendingWork++
  :: else
  fi
}

/* Releases what the last round took, then takes what is due, or ends:
 * one lock of the route, inside the caller's atomic, with busy set. The
 * release comes after the unlock in the code; nothing another thread does
 * meanwhile reads what it changes. */
#define SETTLE_TAKE \
  if :: removing != NONE -> HandleRelease(removing); removing = NONE :: else fi; \
  if :: retired & 1 -> HandleRelease(0) :: else fi; \
  if :: retired & 2 -> HandleRelease(1) :: else fi; \
  if :: retired & 4 -> HandleRelease(2) :: else fi; \
  retired = 0; o = NONE; \
  if \
  :: (members == 0 && holder != NONE) || departed != 0 -> \
     if :: members == 0 && holder != NONE -> removing = holder; holder = NONE :: else fi; \
     retired = departed; departed = 0; settling = 1 \
  :: else -> busy = 0; settling = 0 \
  fi

/* The library's removal through handle h ends what the keying says. */
#ifdef PER_FRAMEWORK
#define UNREGISTER_CALL(h) NOT_HOST; assert(FRAMEWORK_LIVE(h)); o = objOf[h]; registered[o] = 0
#define REMOVAL_WAITED     (running[o] == 0)
#else
#define UNREGISTER_CALL(h) NOT_HOST; assert(FRAMEWORK_LIVE(h)); o = objOf[h]; registered[0] = 0; registered[1] = 0; registered[2] = 0
#define REMOVAL_WAITED     NOT_RUNNING
#endif

/* The rest of Settle: no lock is held across the library's removal, which
 * under "waits" waits for the callbacks under way on what it ended. */
inline SettleRest() {
  do
  :: atomic { settling && removing != NONE ->
Settle_unregister:
       UNREGISTER_CALL(removing) };
#ifndef NO_WAIT_REMOVAL
Unregister_wait:
     atomic { REMOVAL_WAITED -> NOT_HOST };
#endif
Settle_release:
     atomic { SETTLE_TAKE }
  :: atomic { settling && removing == NONE -> SETTLE_TAKE }
  :: atomic { !settling -> break }
  od
}

#define SUBMIT_REFRESH(c) \
  assert(shares[c] > 0);   /* every caller holds a share */ \
  refreshing[c] = 1; shares[c]++; submitted[c] = 1; pendingWork++

inline RequestRefresh(c) {
  assert(alive[c]);
  if
  :: refreshing[c] -> upToDate[c] = 0
  :: else -> SUBMIT_REFRESH(c)
  fi
}

/* A host's request: a running refresh reads the hardware after it began,
 * and marking it stale here could mark every refresh stale in turn. */
inline RefreshIfIdle(c) {
  assert(alive[c]);
  if
  :: refreshing[c] -> skip
  :: else -> SUBMIT_REFRESH(c)
  fi
}

/* A destructor's work ends with its Leave (ghost). */
#define TAIL_ENDS if :: dying != NONE -> dying = NONE; tails-- :: else fi

/* MorrowCache::LeaveRoute: cache c leaves the route with its framework
 * (Leave, then MarkDue), from its destructor (c is `dying`) or from a
 * refresh whose registration threw. */
inline Leave(c) {
  atomic {
    members--;
    departed = departed | (1 << fw[c]);   /* the framework's share goes along */
    fw[c] = NONE;
#ifdef NO_SETTLE_AFTER_LEAVE
    TAIL_ENDS
#endif
  };
#if defined(SETTLE_IN_LEAVE)
  atomic { !busy -> NOT_HOST; busy = 1; TAIL_ENDS; SETTLE_TAKE };
  SettleRest()
#elif !defined(NO_SETTLE_AFTER_LEAVE)
MarkDue_lock:
  atomic { due = 1; SubmitSettling(); TAIL_ENDS }
#endif
}

/* The rest of ~MorrowCache for cache `dying`: it leaves the route. */
#define Destroyed() Leave(dying)

/* The route's callback, up to the cache's check, inside the library's
 * atomic that began the call on registration o: takes the receiver
 * (current.lock(): a share while it lives), and the receiver absorbs the
 * change or marks itself stale. No other thread's step in between changes
 * the outcome: the receiver's registeringThread can only go, which the
 * check may as well see first. */
#ifdef RAW_RECEIVER
#define ROUTE_TAKE(n) \
  r = current; \
  if \
  :: r != NONE -> \
     assert(alive[r]); TOLD(r, n); \
     if :: ABSORBS(r) -> skip :: else -> upToDate[r] = 0; stale = 1 fi \
  :: else \
  fi
#else
#define ROUTE_TAKE(n) \
  r = current; \
  if \
  :: r != NONE && shares[r] > 0 -> \
     shares[r]++; \
     assert(alive[r]); TOLD(r, n); \
     if :: ABSORBS(r) -> skip :: else -> upToDate[r] = 0; stale = 1 fi \
  :: else -> r = NONE \
  fi
#endif

/* The callback's rest: the stale receiver asks for a refresh; the callback
 * returns, the receiver's share goes with it (maybe the last: the cache
 * ends inside the callback), and the library ends the call. */
inline CallbackRest() {
  if
  :: stale ->
RequestRefresh_lock:
     atomic { stale = 0; RequestRefresh(r) }
  :: else
  fi;
Callback_end:
  atomic {
#ifdef SEE_LATE_CALLBACK
    assert(objRefs[o] > 0);   /* still under way, its framework released */
#endif
#ifndef RAW_RECEIVER
    if :: r != NONE -> SHARE_DROP(r) :: else fi;
#endif
#ifdef SEE_DESTROYED_IN_CALLBACK
    assert(dying == NONE);
#endif
    running[o]--; o = NONE; r = NONE; n = 0
  };
  if
  :: dying != NONE ->
Leave_lock:
     Destroyed()
  :: else
  fi
}

/* The library calls the target's registration (one at most, as
 * Register_call asserts), looked up as the call begins. */
#define CALL_BEGINS \
  if \
  :: registered[0] -> o = 0; running[0]++ \
  :: registered[1] -> o = 1; running[1]++ \
  :: registered[2] -> o = 2; running[2]++ \
  :: else -> o = NONE \
  fi

/* NotificationRoute::Join, run by the refresh that made cache c's framework
 * fw[c]. The member
 * counts and the receiver moves in the same lock as the wait for !busy,
 * which lets go of it while it waits. */
inline Join(c) {
  atomic {
    members++;
#ifdef KEEP_FIRST_RECEIVER
    if
    :: current == NONE -> current = c; currentGeneration = c + 1
    :: else
    fi;
#else
    if
    :: c + 1 >= currentGeneration -> current = c; currentGeneration = c + 1
    :: else
    fi;
#endif
    !busy -> NOT_HOST;
#ifdef REGISTER_EVERY_JOIN
    busy = 1
#else
    if
    :: holder != NONE -> already = 1   /* registered already */
    :: else -> busy = 1
    fi
#endif
  };
  if
  :: already -> already = 0
  :: else ->
Register_call:
     atomic {
       NOT_HOST;
       assert(FRAMEWORK_LIVE(fw[c]));
       /* one registration per route, whatever the keying */
       assert(NONE_REGISTERED);
#ifdef REGISTRATION_MAY_FAIL
       if
       :: !libraryFailed && REGISTRATION_MAY_FAIL -> libraryFailed = 1; found = JOIN_FAILED   /* it throws */
       :: true   /* or it does not */
       fi;
#endif
       if
       :: found != JOIN_FAILED ->
          o = objOf[fw[c]];
#ifndef PER_FRAMEWORK
          registered[0] = 0; registered[1] = 0; registered[2] = 0;   /* a second one replaces the first */
#endif
          registered[o] = 1;
#ifdef INLINE_DELIVERY
          running[o]++   /* the new registration is called at once, on this thread */
#else
          o = NONE
#endif
       :: else
       fi
     };
#ifdef INLINE_DELIVERY
     if
     :: o != NONE ->
Route_lock:
        atomic { ROUTE_TAKE(0) };
        CallbackRest()
     :: else
     fi;
#endif
     /* holds the registration; on a throw it only settles, and rethrows */
Join_hold:
     atomic {
       if
       :: found != JOIN_FAILED ->
#ifdef REGISTER_EVERY_JOIN
          if
          :: holder != NONE -> HandleRelease(holder)
          :: else
          fi;
#endif
#ifdef SEE_REGISTERED_AGAIN
          assert(fw[c] != 2);   /* a cache registers with a second framework */
#endif
          holder = fw[c]; handleShares[fw[c]]++
       :: else
       fi;
       SETTLE_TAKE
     };
     SettleRest()
  fi
}

/* MorrowCache::Refresh: the pool work of cache c, holding a share. */
proctype Worker(byte c) {
  bit isHost;
  byte o = NONE, r = NONE, n, removing = NONE, retired, found, dying = NONE;
  bit already, joining, stale, settling;
Refresh_start:
  do
  :: atomic {
       submitted[c] -> submitted[c] = 0;
       NOT_HOST;
       assert(!inRefresh[c]);   /* one refresh per cache at a time */
       inRefresh[c] = 1;
       upToDate[c] = 1;
#ifdef QUERY_FAILS
       began[c] = hardware; owed[c] = 0;
#endif
       if
       :: fw[c] == NONE ->      /* the library instantiates a framework */
          if
          :: !madeOne[c] -> fw[c] = c
          :: else -> assert(handleShares[2] == 0); fw[c] = 2
          fi;
          madeOne[c] = 1;
#ifdef SHARED_FRAMEWORKS
          if   /* at most one object lives */
          :: objRefs[0] > 0 -> objOf[fw[c]] = 0
          :: objRefs[1] > 0 -> objOf[fw[c]] = 1
          :: objRefs[2] > 0 -> objOf[fw[c]] = 2
          :: else -> objOf[fw[c]] = fw[c]
          fi;
#else
          objOf[fw[c]] = fw[c];
#endif
          objRefs[objOf[fw[c]]]++;
          handleShares[fw[c]] = 1;
          registeringThread[c] = _pid; joining = 1
       :: else
       fi
     };
     if
     :: joining ->
        joining = 0;
Join_enter:
        Join(c)
     :: else
     fi;
     if
     :: atomic {
          found != JOIN_FAILED ->
Refresh_discover:
#ifndef ABSORB_FIRST_REFRESH
          registeringThread[c] = NONE;   /* Join has returned */
#endif
          NOT_HOST;
          assert(FRAMEWORK_LIVE(fw[c]));
#ifdef QUERY_MAY_FAIL
          if
          :: found = hardware + 1
          :: !libraryFailed && QUERY_MAY_FAIL -> libraryFailed = 1; found = FAILED
          fi
#else
          found = hardware + 1
#endif
        };
        if
        :: found == FAILED -> found = 0   /* the old names stand, upToDate as it is */
        :: else ->
Refresh_commit:
           atomic {
             names[c] = found;   /* and version += 1 */
             if :: c == targetCaches -> lastVersionCurrent = 0 :: else fi;
             found = 0
           }
        fi
     :: found == JOIN_FAILED ->   /* Join threw: no query */
        found = 0;
#ifndef KEEP_FRAMEWORK_AFTER_FAILED_REGISTRATION
        /* registered nowhere, the cache would never hear of a change: it
           leaves the route at once, its framework handed over as its
           destructor does, and stays stale, so that the next request joins
           and registers again with a new framework; the old names stand */
Refresh_leave:
        Leave(c);
Refresh_stale:
        upToDate[c] = 0;
#endif
        /* the rethrow leaves the block: Join has returned */
#ifndef ABSORB_FIRST_REFRESH
        registeringThread[c] = NONE
#else
        skip
#endif
     fi;
     /* refreshing = 0, then the work item ends with its share: nothing
        another thread does in between changes what either does */
Refresh_end:
     atomic {
       refreshing[c] = 0; inRefresh[c] = 0;
#ifdef ABSORB_FIRST_REFRESH
       registeringThread[c] = NONE;
#endif
#ifdef QUERY_FAILS
       /* a change made and told during the refresh is read, or leaves the
          cache stale: the failure's rule */
       assert(!(upToDate[c] && owed[c] > 0 && names[c] <= owed[c]));
       began[c] = 0; owed[c] = 0;
#endif
       SHARE_DROP(c);
#ifdef SEE_DESTROYED_BY_WORKER
       assert(dying == NONE);
#endif
       pendingWork--
     };
     if
     :: dying != NONE ->
Leave_lock:
        Destroyed()
     :: else
     fi
  :: over -> break
  od
}

/* NotificationRoutes::SettleDue: the pool work that settles due routes. */
proctype Settler() {
  bit isHost;
  byte o = NONE, removing = NONE, retired;
  bit settling;
SettleDue_take:
  do
  :: atomic {
       settlerQueued ->
       if
       :: due -> due = 0
       :: else -> settlerQueued = 0; pendingWork--; goto SettleDue_take
       fi
     };
SettleIfIdle_lock:
     atomic {
       NOT_HOST;
#ifdef SETTLER_IGNORES_BUSY
       /* takes what is due without the handshake, and leaves busy alone */
       if :: members == 0 && holder != NONE -> removing = holder; holder = NONE :: else fi;
       retired = departed; departed = 0
     };
     if
     :: removing != NONE -> atomic { UNREGISTER_CALL(removing) }
     :: else
     fi;
     atomic {
       if :: removing != NONE -> HandleRelease(removing); removing = NONE :: else fi;
       if :: retired & 1 -> HandleRelease(0) :: else fi;
       if :: retired & 2 -> HandleRelease(1) :: else fi;
       retired = 0; o = NONE
     }
#else
       if
       :: busy -> skip   /* whoever is busy settles on the way out */
       :: else -> busy = 1; SETTLE_TAKE
       fi
     };
     SettleRest()
#endif
  :: over -> break
  od
}

/* A host thread: A (app 0) asks once; B (app 1) keeps asking until it has
 * the last hardware state. Then each lets go of its application reference. */
proctype Host(byte app; bit keepsAsking) {
  bit isHost = 1;
  byte c = NONE, o = NONE, removing = NONE, retired, dying = NONE;
  bit settling;
  /* GetIOControlNames(app, slot, force = 0) */
Get_lock:
  atomic {
    registryMutex == 0 -> registryMutex = 1;
    appRefs = appRefs | (1 << app);
    if
    :: targetCaches == NONE ->
       c = nextCache; nextCache++; assert(c < 2);
#ifdef SEE_TWO_CACHES
       assert(!(c == 1 && alive[0]));
#endif
       alive[c] = 1; shares[c] = 1; names[c] = 0;
       targetCaches = c; lastVersionCurrent = 0; delivered = 0
    :: else -> c = targetCaches
    fi;
#ifndef QUERY_FAILS
    /* no lost update: once nothing moves it, a cache that says it is up to
       date holds the last hardware state (a failed query may leave it
       behind: see Refresh_end) */
    assert(!(QUIET(c) && upToDate[c] && names[c] != hardware + 1));
#endif
    if   /* IsUpToDate() */
    :: !upToDate[c] -> goto Get_refresh
    :: else
    fi;
    /* GetVersion() and CopySnapshot() take the cache's lock again: only a
       commit could come in between, and it may as well come before */
Get_version:
    if
    :: lastVersionCurrent -> skip   /* answer 1, unchanged */
    :: else ->
Get_snapshot:
       lastVersionCurrent = 1; delivered = names[c]   /* answer 0, written */
    fi;
    registryMutex = 0; c = NONE;
    if
    :: !keepsAsking -> goto Release_batch
    :: keepsAsking && hardwareDone && delivered == hardware + 1 -> gotLast = 1; goto Release_batch
    :: else -> goto Get_lock
    fi
  };
  /* RefreshIfIdle() takes the cache's lock again: a worker may start in
     between */
Get_refresh:
  atomic {
#ifdef HOST_MARKS_RUNNING_STALE
    RequestRefresh(c);
#else
    RefreshIfIdle(c);
#endif
    registryMutex = 0; c = NONE;   /* answer 2, pending */
    if
    :: keepsAsking -> goto Get_lock
    :: else -> goto Release_batch
    fi
  };
  /* ReleasingAppRef(app) */
Release_batch:
  deferring++;
Release_lock:
  atomic {
    registryMutex == 0 -> registryMutex = 1;
    appRefs = appRefs & ~(1 << app);
    if
    :: appRefs == 0 && targetCaches != NONE ->   /* the map goes, with its share */
       c = targetCaches; targetCaches = NONE; lastVersionCurrent = 0; delivered = 0;
       SHARE_DROP(c); c = NONE
    :: else
    fi
  };
  if
  :: dying != NONE ->
Leave_lock:
     Destroyed()
  :: else
  fi;
Release_unlock:
  registryMutex = 0;
Release_batchClose:
  atomic { deferring--; SubmitSettling(); hostsDone++ }
}

/* The hardware changes twice; the library tells each change to the
 * target's registration. */
proctype Hardware() {
  bit isHost;
  byte o = NONE, r = NONE, n, removing = NONE, retired, dying = NONE;
  bit stale, settling;
  do
  :: atomic { hardware < CHANGES -> hardware++ };
#ifdef INLINE_DELIVERY
Route_lock:
     atomic {
       n = hardware; CALL_BEGINS;
       if :: o != NONE -> ROUTE_TAKE(n) :: else -> n = 0 fi
     };
     if
     :: o != NONE -> CallbackRest()
     :: else
     fi
#else
     atomic {
       if
       :: !NONE_REGISTERED -> queue!hardware
       :: else   /* no registration: dropped */
       fi
     }
#endif
  :: atomic {
       hardware == CHANGES -> hardwareDone = 1;
#ifdef INLINE_DELIVERY
       libraryDone = 1
#endif
     };
     break
  od
}

#ifndef INLINE_DELIVERY
/* The library's delivery thread: looks the registration up as it begins a
 * call, and leaves a change with none. */
proctype LibraryThread() {
  bit isHost;
  byte o = NONE, r = NONE, n, removing = NONE, retired, dying = NONE;
  bit stale, settling;
Route_lock:
  do
  :: atomic {
       queue?n -> CALL_BEGINS;
       if :: o != NONE -> ROUTE_TAKE(n) :: else -> n = 0 fi
     };
     if
     :: o != NONE -> CallbackRest()
     :: else
     fi
  :: atomic { hardwareDone && len(queue) == 0 -> libraryDone = 1; break }
  od
}
#endif

init {
  atomic {
    run Host(0, 0);
    run Host(1, 1);
    run Hardware();
#ifndef INLINE_DELIVERY
    run LibraryThread();
#endif
    run Worker(0);
    run Worker(1);
    run Settler()
  }
  /* the hosts have let go, the library is quiet, the work handed over has run */
  atomic { hostsDone == 2 && libraryDone && pendingWork == 0 && tails == 0 -> over = 1 };
  _nr_pr == 1;
  /* no leak: the library holds no registration and no framework */
  assert(registered[0] == 0 && registered[1] == 0 && registered[2] == 0);
  assert(objRefs[0] == 0 && objRefs[1] == 0 && objRefs[2] == 0);
  assert(handleShares[0] == 0 && handleShares[1] == 0 && handleShares[2] == 0);
  assert(members == 0 && holder == NONE && departed == 0 && !busy);
  assert(!alive[0] && !alive[1]);
  assert(!due && !settlerQueued && deferring == 0)
}

/* A host that keeps asking gets the last hardware state. */
ltl lastState { <> gotLast }
