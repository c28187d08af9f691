/*
 * The plug-in's notification and lifetime protocol, for SPIN: the host calls,
 * the per-target cache and its refresh with its failure policy, the target's
 * notification route, the settler, and the configuration library with each
 * of its open points and failures. scripts/model builds and checks it, and
 * checks that every function the table names still exists in its file and
 * that every label or process the table names exists here: renaming either
 * means a look at the other.
 *
 * One target, two host threads, two hardware changes. Host A asks once and
 * lets go; host B keeps asking until it has the last hardware state, then
 * lets go. Whether B's first call comes before or after A's release decides
 * between one cache and two in succession (the first one often still
 * refreshing when it is dropped).
 *
 * Table: labels or processes | function | file
 *   Host, Get_lock, Get_version, Get_snapshot, Get_refresh
 *                                  | GetIOControlNames                        | src/provider/registry.cpp
 *   Get_lock                       | MorrowCache::IsUpToDate                  | src/kronel/morrow_cache.cpp
 *   Get_due                        | MorrowCache::RefreshIfDue                | src/kronel/morrow_cache.cpp
 *   Get_refresh                    | MorrowCache::RefreshIfIdle               | src/kronel/morrow_cache.cpp
 *   RequestRefresh_lock            | MorrowCache::RequestRefresh              | src/kronel/morrow_cache.cpp
 *   Get_due, Get_refresh, RequestRefresh_lock
 *                                  | MorrowCache::Request                     | src/kronel/morrow_cache.cpp
 *   Get_due, Get_refresh, RequestRefresh_lock, MarkDue_lock, Release_batchClose
 *                                  | platform::SubmitWork                     | src/platform/work_pool.h
 *   Release_lock, Release_unlock   | ReleasingAppRef                          | src/provider/registry.cpp
 *   Release_batch, Release_batchClose
 *                                  | NotificationRoutes::SettlingBatch        | src/kronel/notification_routes.cpp
 *   Route_lock, RequestRefresh_lock
 *                                  | MorrowCache::OnNotification              | src/kronel/morrow_cache.cpp
 *   Release_lock, Refresh_end, Callback_end, Leave_lock
 *                                  | MorrowCache::~MorrowCache                | src/kronel/morrow_cache.cpp
 *   Worker, Refresh_start, Refresh_again, Refresh_end
 *                                  | MorrowCache::Refresh                     | src/kronel/refresh.cpp
 *   Refresh_discover, Refresh_commit, Refresh_giveBack
 *                                  | MorrowCache::TryRead                     | src/kronel/refresh.cpp
 *   Refresh_start, Refresh_again, Register_lock, Refresh_discover
 *                                  | MorrowCache::Connect                     | src/kronel/refresh.cpp
 *   Refresh_end                    | MorrowCache::EndAttempt                  | src/kronel/refresh.cpp
 *   Refresh_discover               | MorrowCache::Discover                    | src/kronel/discovery.cpp
 *   Refresh_giveBack               | MorrowCache::GiveBackFramework           | src/kronel/morrow_cache.cpp
 *   Refresh_start, Refresh_again   | NotificationRoute::Join                  | src/kronel/notification_route.cpp
 *   Register_lock, Register_unregister, Register_call, Register_hold
 *                                  | NotificationRoute::Register              | src/kronel/notification_route.cpp
 *   Register_tell                  | NotificationRoute::TellReceiver          | src/kronel/notification_route.cpp
 *   Refresh_giveBack               | NotificationRoute::GiveBack              | src/kronel/notification_route.cpp
 *   Leave_lock                     | NotificationRoute::Leave                 | src/kronel/notification_route.cpp
 *   Refresh_giveBack, Leave_lock, MarkDue_lock
 *                                  | NotificationRoute::Depart                | src/kronel/notification_route.cpp
 *   Register_hold, SettleIfIdle_lock, Settle_unregister, Settle_release
 *                                  | NotificationRoute::Settle                | src/kronel/notification_route.cpp
 *   SettleIfIdle_lock              | NotificationRoute::SettleIfIdle          | src/kronel/notification_route.cpp
 *   Route_lock, Callback_end, Callback_return
 *                                  | NotificationRoute::OnNotification        | src/kronel/notification_route.cpp
 *   Route_lock                     | CqvNotificationHandler::OnConfigurationChanged | src/morrowkit/framework/cqv_notification_handler.cpp
 *   MarkDue_lock                   | NotificationRoutes::MarkDue              | src/kronel/notification_routes.cpp
 *   Settler, SettleDue_take        | NotificationRoutes::SettleDue            | src/kronel/notification_routes.cpp
 *   Refresh_start, Refresh_again   | FrameworkHandle::FrameworkHandle         | src/morrowkit/framework/framework_handle.cpp
 *   Register_call                  | FrameworkHandle::RegisterNotifications   | src/morrowkit/framework/framework_handle.cpp
 *   Register_unregister, Settle_unregister, Unregister_wait
 *                                  | FrameworkHandle::UnregisterNotifications | src/morrowkit/framework/framework_handle.cpp
 *   Refresh_discover               | FrameworkHandle::FindHardware            | src/morrowkit/framework/framework_handle.cpp
 *   Clock, Refresh_end             | Backoff::Failed                          | src/kronel/retry_schedule.cpp
 *   Clock                          | platform::MonotonicMilliseconds          | src/platform/clock.h
 * End of table. Hardware, LibraryThread and the library's state stand for
 * the configuration library (testbed/kelmorrow), not for src/; Clock for
 * time passing.
 *
 * The library's open points, one -D each (without it, the first):
 *   registrations per target      | PER_FRAMEWORK: per framework object
 *   delivery on its own thread    | INLINE_DELIVERY: during the registration
 *                                 |   call, and on the thread applying a change
 *   removal waits for callbacks   | NO_WAIT_REMOVAL: returns at once; a callback
 *     under way on it             |   under way arrives late
 *   a new framework object each   | SHARED_FRAMEWORKS: one object while it lives
 *
 * The library's failures, each bounded, so that failures stop (but one):
 *   CREATE_FAILS                  one framework creation is refused
 *   REGISTRATION_REFUSED          one registration is refused
 *   REGISTRATION_REFUSED_FOREVER  every registration is refused
 *   QUERY_FAILS                   one FindHardware throws
 *   RESTART                       the service restarts once, while no refresh
 *                                 and no callback runs: every framework made
 *                                 before fails each call, and the
 *                                 registrations are gone without a word
 *
 * Time is abstract. sched[c] is what the last EndAttempt scheduled; when
 * it has come, the host's RefreshIfDue submits a read. In a safety run a
 * host call may find any scheduled read due or not, and a Connect may
 * find the registration's back-off (regWait[c]) passed or not. In a
 * progress run (PROGRESS) Clock, under weak fairness, sets readDue[c] once
 * a retry or the 5 s re-read of a cache registered nowhere is scheduled,
 * and ends every back-off; the 60 s re-read of a registered cache comes
 * so only with LONG_COMES, else a host call may or may not find it due.
 *
 * Faults put back, each to be refuted: KEEP_FIRST_RECEIVER,
 * REGISTER_WHILE_HELD, NO_SETTLE_AFTER_LEAVE, SETTLER_IGNORES_BUSY,
 * ABSORB_FIRST_REFRESH, RAW_RECEIVER, SETTLE_IN_LEAVE,
 * HOST_MARKS_RUNNING_STALE, NO_RETRY_AFTER_FAILURE (the old rule: a failed
 * read leaves the cache current and schedules nothing), REFUSAL_SKIPS_QUERY,
 * RETRY_KEEPS_FRAMEWORK, SETTLE_IN_CALLBACK (a leave not on a host's thread
 * settles at once), REGISTER_SKIPS_SETTLE, LIST_BEFORE_READ (IsUpToDate
 * without `attempted`), NAMES_FAILURE_DROPS (a notification whose names
 * cannot be read is not passed on), DISTRUST_OWN_ONLY (a failed read
 * distrusts the route's registration only when its own framework made it),
 * NO_TELL (a registration replaced without telling the receiver),
 * REGISTER_ONCE (Connect skips the route while the cache believes itself
 * registered). ABSORB_ANY_THREAD: an open question, a cache that absorbs a
 * change told on any thread while it registers. ONE_HOST: host B alone,
 * one cache. CHANGES=1: one hardware change. SEE_*: an assertion that a
 * case is reached at all, for SPIN to break, so that the checks are not
 * passed for want of the case.
 *
 * Each lock is an atomic step holding what the code does under it. Two
 * neighbouring steps of one thread share a step where nothing another
 * thread does in between could change what they do (said where it is so).
 * Pool work runs on one process per cache (Worker) and one for settling
 * (Settler): a process per submission would pile up ended processes.
 */

#define NONE      255
#ifndef CHANGES
#define CHANGES   2   /* hardware changes */
#endif
#define FAILED    254  /* a read that threw */
#define HANDLES   4    /* frameworks alive at once */

/* sched[c]: what EndAttempt scheduled */
#define NEVER 0        /* no attempt has ended: readDueMs is INT64_MAX */
#define RETRY 1        /* the read failed: its back-off */
#define SHORT 2        /* read, registered nowhere: 5 s, or the registration's retry */
#define LONG  3        /* read and registered: 60 s */

#ifdef CREATE_FAILS
#define CREATE_FAILURES 1
#else
#define CREATE_FAILURES 0
#endif
#if defined(REGISTRATION_REFUSED_FOREVER)
#define REFUSALS 255
#elif defined(REGISTRATION_REFUSED)
#define REFUSALS 1
#else
#define REFUSALS 0
#endif
#ifdef QUERY_FAILS
#define QUERY_FAILURES 1
#else
#define QUERY_FAILURES 0
#endif
#if defined(CREATE_FAILS) || defined(REGISTRATION_REFUSED) || defined(REGISTRATION_REFUSED_FOREVER) || defined(QUERY_FAILS) || defined(RESTART)
#define FAILURES 1
#endif

/* A case that SEE_* asks SPIN to reach: its message is "assertion violated 0". */
#define REACHED assert(false)

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
bit attempted[2];
bit refreshing[2];
byte names[2];
byte fw[2] = NONE;             /* the cache's framework handle; NONE: none */
bit cacheRegistered[2];        /* the cache's `registered` */
bit joined[2];
bit regWait[2];                /* registrationRetry is not due */
byte sched[2];
bit readDue[2];                /* readDueMs has passed */
byte registeringThread[2] = NONE;
bit inRefresh[2];              /* ghost: a Refresh() body runs */

/* The target's NotificationRoute, never destroyed */
byte members;
byte current = NONE;           /* weak: good only while shares[current] > 0 */
byte currentGeneration;
bit busy;
byte holder = NONE;            /* handle the registration was made through */
bit distrusted;                /* a member's read failed since the registration was made */
byte departed;                 /* one bit per handle left behind, to release */

/* NotificationRoutes */
bit routeDue;
bit settlerQueued;
byte deferring;

/* The pool */
bit submitted[2];              /* a Refresh() queued for the cache */
byte pendingWork;              /* ghost: work items queued or running */
byte tails;                    /* ghost: destructors under way */
bit over;                      /* ghost: no work can come any more */
byte marking;                  /* ghost: leaves between their lock and MarkDue */
bit taking;                    /* ghost: the settler between its take and SettleIfIdle */

/* The library. objOf[h] is the framework object behind handle h, numbered
 * as the handle that made it. Handles are numbered as made; past HANDLES
 * a number is used again once nothing refers to it (every reference holds
 * a share of the handle). */
byte nextHandle;
byte handleShares[HANDLES];
byte objOf[HANDLES];
byte objRefs[HANDLES];
bit dead[HANDLES];             /* an object made before the restart */
bit registered[HANDLES];       /* per framework object; per target, one at most */
byte running[HANDLES];         /* callbacks under way, per registration */
byte createFails;
byte refusals;
byte queryFails;
bit restarted;
bit unseen;                    /* ghost: restarted, and no read has failed since */
bit namesFailed;
#ifndef INLINE_DELIVERY
chan queue = [CHANGES] of { byte };
#endif

#define FRAMEWORK_LIVE(h) (handleShares[h] > 0 && objRefs[objOf[h]] > 0)
/* A number nothing refers to any more, for a new handle and its object. */
#define FREE_HANDLE(h) (handleShares[h] == 0 && objRefs[h] == 0 && !registered[h] && running[h] == 0)

#define NOT_RUNNING (running[0] == 0 && running[1] == 0 && running[2] == 0 && running[3] == 0)
#define NONE_REGISTERED (!registered[0] && !registered[1] && !registered[2] && !registered[3])
/* Nothing moves cache c any more unless a host asks. */
#define QUIET(c) (libraryDone && NOT_RUNNING && !refreshing[0] && !refreshing[1] && tails == 0)
/* The route holds a registration the library dropped without a word,
 * and no read has failed since to tell of it. */
#define UNTOLD_LOSS (unseen && holder != NONE && !registered[objOf[holder]])

/* What the route has left to do in the library, and who is on the way to
 * doing it: a thread that is busy settles on its way out. */
#define LEFT_TO_DO (departed != 0 || (members == 0 && holder != NONE))
#define ON_ITS_WAY (busy || routeDue || marking > 0 || taking)

#if defined(ABSORB_ANY_THREAD) || defined(ABSORB_FIRST_REFRESH)
#define ABSORBS(c) (registeringThread[c] != NONE)
#else
#define ABSORBS(c) (registeringThread[c] == _pid)
#endif

#ifdef LONG_COMES
#define COMES_DUE(c) (sched[c] != NEVER)
#else
#define COMES_DUE(c) (sched[c] == RETRY || sched[c] == SHORT)
#endif
#ifdef PROGRESS
#define BACKOFF_MAY_PASS skip
#else
#define BACKOFF_MAY_PASS if :: regWait[c] -> regWait[c] = 0 :: true fi
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
     if :: joined[c] -> dying = c; tails++ :: else fi \
  :: else \
  fi

inline SubmitSettling() {
  if
  :: deferring == 0 && routeDue && !settlerQueued -> settlerQueued = 1; pendingWork++
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
  if :: retired & 8 -> HandleRelease(3) :: else fi; \
  retired = 0; o = NONE; \
  if \
  :: LEFT_TO_DO -> \
     if \
     :: members == 0 && holder != NONE -> removing = holder; holder = NONE; distrusted = 0 \
     :: else \
     fi; \
     retired = departed; departed = 0; settling = 1 \
  :: else -> busy = 0; settling = 0 \
  fi

/* The library's removal through handle h ends what the keying says; through
 * a framework made before the restart it fails, and ends nothing. */
#ifdef PER_FRAMEWORK
#define UNREGISTER_CALL(h) \
  NOT_HOST; assert(FRAMEWORK_LIVE(h)); o = objOf[h]; \
  if :: dead[o] -> o = NONE :: else -> registered[o] = 0 fi
#define REMOVAL_WAITED     (o == NONE || running[o] == 0)
#else
#define UNREGISTER_CALL(h) \
  NOT_HOST; assert(FRAMEWORK_LIVE(h)); o = objOf[h]; \
  if :: dead[o] -> o = NONE \
     :: else -> registered[0] = 0; registered[1] = 0; registered[2] = 0; registered[3] = 0 \
  fi
#define REMOVAL_WAITED     (o == NONE || NOT_RUNNING)
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

/* NotificationRoute::Depart, then MarkDue: cache c gives its framework
 * back after a failed read (leaving 0), and stays a member; or leaves the
 * route, from its destructor (c is `dying`), with its framework if it has
 * one. A failed read distrusts the registration, whichever framework made
 * it: the next Register replaces it. */
inline Depart(c, leaving) {
  atomic {
    if :: leaving -> members--; joined[c] = 0 :: else -> unseen = 0 fi;
#ifdef DISTRUST_OWN_ONLY
    if :: !leaving && holder != NONE && holder == fw[c] -> distrusted = 1 :: else fi;
#else
    if :: !leaving && holder != NONE -> distrusted = 1 :: else fi;
#endif
    if
    :: fw[c] != NONE -> departed = departed | (1 << fw[c])   /* the framework's share goes along */
    :: else
    fi;
    fw[c] = NONE; cacheRegistered[c] = 0;
    marking++;
#ifdef NO_SETTLE_AFTER_LEAVE
    marking--; TAIL_ENDS
#endif
  };
#if defined(SETTLE_IN_LEAVE)
  atomic { !busy -> NOT_HOST; busy = 1; marking--; TAIL_ENDS; SETTLE_TAKE };
  SettleRest()
#elif defined(SETTLE_IN_CALLBACK)
  if
  :: isHost ->
MarkDue_lock:
     atomic { marking--; routeDue = 1; SubmitSettling(); TAIL_ENDS }
  :: else ->   /* SettleIfIdle, here and now */
     atomic {
       marking--; TAIL_ENDS;
       if :: busy -> settling = 0 :: else -> busy = 1; SETTLE_TAKE fi
     };
     SettleRest()
  fi
#elif !defined(NO_SETTLE_AFTER_LEAVE)
MarkDue_lock:
  atomic { marking--; routeDue = 1; SubmitSettling(); TAIL_ENDS }
#endif
}

/* The rest of ~MorrowCache for cache `dying`: it leaves the route. */
#define Destroyed() Depart(dying, 1)

/* The route's callback, up to the cache's check, inside the library's
 * atomic that began the call on registration o: takes the receiver
 * (current.lock(): a share while it lives), and the receiver absorbs the
 * change or marks itself stale. No other thread's step in between changes
 * the outcome: the receiver's registeringThread can only go, which the
 * check may as well see first. A change whose names cannot be read is
 * passed on all the same (NAMES_FAILURE_DROPS: once, it is not). */
#ifdef NAMES_FAILURE_DROPS
#define TELLS(r) \
  if \
  :: !namesFailed -> namesFailed = 1 \
  :: true -> \
     if :: ABSORBS(r) -> skip :: else -> upToDate[r] = 0; stale = 1 fi \
  fi
#elif defined(SEE_ABSORBED)
#define TELLS(r) if :: ABSORBS(r) -> REACHED :: else -> upToDate[r] = 0; stale = 1 fi
#else
#define TELLS(r) if :: ABSORBS(r) -> skip :: else -> upToDate[r] = 0; stale = 1 fi
#endif
#ifdef RAW_RECEIVER
#define ROUTE_TAKE \
  r = current; \
  if \
  :: r != NONE -> assert(alive[r]); TELLS(r) \
  :: else \
  fi
#else
#define ROUTE_TAKE \
  r = current; \
  if \
  :: r != NONE && shares[r] > 0 -> shares[r]++; assert(alive[r]); TELLS(r) \
  :: else -> r = NONE \
  fi
#endif

/* The callback's rest: the stale receiver asks for a refresh; the
 * receiver's share goes at the end of NotificationRoute::OnNotification,
 * inside the library's call (maybe the last: the cache ends there), and
 * then the library's call returns. */
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
    if :: o != NONE && objRefs[o] == 0 -> REACHED :: else fi;   /* under way, its framework released */
#endif
#ifndef RAW_RECEIVER
    if :: r != NONE -> SHARE_DROP(r) :: else fi;
#endif
#ifdef SEE_DESTROYED_IN_CALLBACK
    if :: dying != NONE -> REACHED :: else fi;
#endif
    r = NONE;
    if :: dying == NONE -> running[o]--; o = NONE :: else fi   /* returns at once */
  };
  if
  :: dying != NONE ->
Leave_lock:
     Destroyed();
Callback_return:
     atomic { running[o]--; o = NONE }
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
  :: registered[3] -> o = 3; running[3]++ \
  :: else -> o = NONE \
  fi

/* Connect's first part, in one step with Join: a cache without a
 * framework makes one (the creation may be refused: found = FAILED) and,
 * the first time, joins the route. Nothing another thread does between the
 * two changes what either does. Then whether Connect asks the route to
 * register: unless the registration's back-off has not passed (Clock
 * leaves regWait alone while the cache refreshes). */
#define CONNECT_MAKE \
  if \
  :: fw[c] == NONE -> \
     if \
     :: createFails < CREATE_FAILURES -> createFails++; found = FAILED \
     :: true -> \
        if \
        :: nextHandle < HANDLES -> fw[c] = nextHandle; nextHandle++ \
        :: nextHandle == HANDLES && FREE_HANDLE(0) -> fw[c] = 0 \
        :: nextHandle == HANDLES && !FREE_HANDLE(0) && FREE_HANDLE(1) -> fw[c] = 1 \
        :: nextHandle == HANDLES && !FREE_HANDLE(0) && !FREE_HANDLE(1) && FREE_HANDLE(2) -> fw[c] = 2 \
        :: nextHandle == HANDLES && !FREE_HANDLE(0) && !FREE_HANDLE(1) && !FREE_HANDLE(2) && FREE_HANDLE(3) -> fw[c] = 3 \
        :: else \
        fi; \
        assert(fw[c] < HANDLES); dead[fw[c]] = 0; \
        MAKE_OBJECT; \
        objRefs[objOf[fw[c]]]++; \
        handleShares[fw[c]] = 1; \
        if :: !joined[c] -> joined[c] = 1; members++; JOIN_RECEIVER :: else fi \
     fi \
  :: else \
  fi; \
  BACKOFF_MAY_PASS; \
  WANTS_REGISTRATION

#ifdef REGISTER_ONCE
#define WANTS_REGISTRATION wantsRegistration = (found != FAILED && !cacheRegistered[c] && !regWait[c])
#else
#define WANTS_REGISTRATION wantsRegistration = (found != FAILED && !regWait[c])
#endif

#ifdef SHARED_FRAMEWORKS
/* at most one object lives that works */
#define MAKE_OBJECT \
  if \
  :: objRefs[0] > 0 && !dead[0] -> objOf[fw[c]] = 0 \
  :: objRefs[1] > 0 && !dead[1] -> objOf[fw[c]] = 1 \
  :: objRefs[2] > 0 && !dead[2] -> objOf[fw[c]] = 2 \
  :: else -> objOf[fw[c]] = fw[c] \
  fi
#else
#define MAKE_OBJECT objOf[fw[c]] = fw[c]
#endif

#ifdef KEEP_FIRST_RECEIVER
#define JOIN_RECEIVER if :: current == NONE -> current = c; currentGeneration = c + 1 :: else fi
#else
#define JOIN_RECEIVER if :: c + 1 >= currentGeneration -> current = c; currentGeneration = c + 1 :: else fi
#endif

/* NotificationRoute::TellReceiver, as a callback with no names: the
 * receiver takes it as a change, unless it is the cache registering. */
#define TELL_TAKE \
  r = current; \
  if \
  :: r != NONE && shares[r] > 0 -> \
     shares[r]++; assert(alive[r]); \
     if :: ABSORBS(r) -> skip :: else -> upToDate[r] = 0; stale = 1 fi \
  :: else -> r = NONE \
  fi

inline TellRest() {
  if
  :: stale ->
Tell_refresh:
     atomic { stale = 0; RequestRefresh(r) }
  :: else
  fi;
Tell_end:
  atomic { if :: r != NONE -> SHARE_DROP(r) :: else fi; r = NONE };
  if
  :: dying != NONE ->
Tell_leave:
     Destroyed()
  :: else
  fi
}

/* NotificationRoute::Register through cache c's framework, from Connect,
 * which has set registeringThread: reg = 1 when the route holds a
 * registration after it, 2 when the library refused. The wait for !busy
 * lets go of the lock while it waits. A registration no longer trusted is
 * given up first, and the receiver told of it afterwards. */
inline Register(c) {
  atomic {
    !busy ->
Register_lock:
    NOT_HOST;
    registeringThread[c] = _pid;
#ifdef REGISTER_WHILE_HELD
    busy = 1;
    if :: distrusted -> givenUp = holder; holder = NONE; distrusted = 0 :: else fi
#else
    if
    :: holder != NONE && !distrusted -> reg = 1   /* the route holds one it trusts */
    :: else -> busy = 1; givenUp = holder; holder = NONE; distrusted = 0
    fi
#endif
    ;
    replacing = (givenUp != NONE)
  };
  if
  :: reg == 1
  :: else ->
     /* a registration given up goes first: a library keying by target
        would remove the new one with it */
     if
     :: givenUp != NONE ->
#ifdef SEE_GIVEN_UP_REMOVED
        REACHED;
#endif
Register_unregister:
        atomic { UNREGISTER_CALL(givenUp) };
#ifndef NO_WAIT_REMOVAL
        atomic { REMOVAL_WAITED -> NOT_HOST };
#endif
        atomic { HandleRelease(givenUp); givenUp = NONE; o = NONE }
     :: else
     fi;
Register_call:
     atomic {
       NOT_HOST;
       assert(FRAMEWORK_LIVE(fw[c]));
       /* one registration per route, whatever the keying */
       assert(NONE_REGISTERED);
       o = objOf[fw[c]];
       if
       :: dead[o] -> reg = 2; o = NONE   /* it throws */
#if defined(REGISTRATION_REFUSED_FOREVER)
       :: !dead[o] -> reg = 2; o = NONE
#else
#if defined(REGISTRATION_REFUSED)
       :: !dead[o] && refusals < REFUSALS -> refusals++; reg = 2; o = NONE
#endif
       :: !dead[o] ->
          reg = 1;
#ifndef PER_FRAMEWORK
          registered[0] = 0; registered[1] = 0; registered[2] = 0; registered[3] = 0;
#endif
          registered[o] = 1;
#ifdef INLINE_DELIVERY
          running[o]++   /* the new registration is called at once, on this thread */
#else
          o = NONE
#endif
#endif
       fi
     };
#ifdef INLINE_DELIVERY
     if
     :: o != NONE ->
Route_lock:
        atomic { ROUTE_TAKE };
        CallbackRest()
     :: else
     fi;
#endif
     /* holds the registration; on a throw it only settles, and rethrows */
Register_hold:
     atomic {
       if
       :: reg == 1 ->
#ifdef REGISTER_WHILE_HELD
          if :: holder != NONE -> HandleRelease(holder) :: else fi;
#endif
          holder = fw[c]; handleShares[fw[c]]++
       :: else
       fi;
#ifdef REGISTER_SKIPS_SETTLE
       busy = 0; settling = 0
#else
       SETTLE_TAKE
#endif
     };
     SettleRest()
  fi;
#ifndef NO_TELL
  if
  :: replacing ->
Register_tell:
     atomic { replacing = 0; TELL_TAKE };
     TellRest()
  :: else
  fi
#else
  replacing = 0
#endif
}

/* MorrowCache::Refresh: the pool work of cache c, holding a share. One
 * TryRead, and a second one at once when the first failed with a framework
 * an earlier refresh made (it may have gone with a restarted service). */
proctype Worker(byte c) {
  bit isHost;
  byte o = NONE, r = NONE, removing = NONE, retired, found, dying = NONE, givenUp = NONE, reg;
  bit stale, settling, hadFramework, read, wantsRegistration, wasRefused, again, replacing;
Refresh_start:
  do
  :: atomic {
       submitted[c] -> submitted[c] = 0;
       NOT_HOST;
       assert(!inRefresh[c]);   /* one refresh per cache at a time */
       inRefresh[c] = 1;
       upToDate[c] = 1;
       hadFramework = (fw[c] != NONE);
       CONNECT_MAKE
     };
     do
     :: /* TryRead */
        if
        :: wantsRegistration ->
           wantsRegistration = 0;
           Register(c)
        :: else
        fi;
        /* Connect's end (the registration's outcome, and Registering's
           destructor), then Discover */
Refresh_discover:
        atomic {
#ifndef ABSORB_FIRST_REFRESH
          registeringThread[c] = NONE;
#endif
          if
          :: reg == 1 -> cacheRegistered[c] = 1; regWait[c] = 0;
#ifdef SEE_REGISTERED_AFTER_REFUSAL
             if :: wasRefused -> REACHED :: else fi;
#endif
             skip
          :: reg == 2 -> regWait[c] = 1; wasRefused = 1; cacheRegistered[c] = 0;
#ifdef REFUSAL_SKIPS_QUERY
             found = FAILED;
#endif
             skip
          :: else
          fi;
          reg = 0;
          if
          :: found != FAILED ->
             NOT_HOST;
             assert(FRAMEWORK_LIVE(fw[c]));
             if
             :: dead[objOf[fw[c]]] -> found = FAILED   /* made before the restart */
             :: else ->
                if
                :: found = hardware + 1
                :: queryFails < QUERY_FAILURES -> queryFails++; found = FAILED
                fi
             fi
          :: else
          fi
        };
        if
        :: found == FAILED ->
           found = 0; read = 0;
#ifndef RETRY_KEEPS_FRAMEWORK
           /* the framework may be what broke: the next read makes a new one */
           if
           :: fw[c] != NONE ->
Refresh_giveBack:
              Depart(c, 0)
           :: else
           fi;
#endif
           if
           :: hadFramework ->
              hadFramework = 0; again = 1;
Refresh_again:
              atomic { CONNECT_MAKE }
           :: else -> break
           fi
        :: else ->
Refresh_commit:
           atomic {
             names[c] = found;   /* and version += 1 */
             if :: c == targetCaches -> lastVersionCurrent = 0 :: else fi;
             found = 0; read = 1;
#ifdef SEE_SECOND_READ
             if :: again -> REACHED :: else fi;
#endif
             again = 0
           };
           break
        fi
     od;
     /* EndAttempt, refreshing = 0, then the work item ends with its share:
        nothing another thread does in between changes what any does */
Refresh_end:
     atomic {
       if
       :: read && cacheRegistered[c] -> sched[c] = LONG
       :: read && !cacheRegistered[c] -> sched[c] = SHORT
#ifdef NO_RETRY_AFTER_FAILURE
       :: !read -> sched[c] = NEVER
#else
       :: !read -> sched[c] = RETRY
#endif
       fi;
       readDue[c] = 0; attempted[c] = 1; read = 0; again = 0;
       refreshing[c] = 0; inRefresh[c] = 0;
#ifdef ABSORB_FIRST_REFRESH
       registeringThread[c] = NONE;
#endif
       SHARE_DROP(c);
#ifdef SEE_DESTROYED_BY_WORKER
       if :: dying != NONE -> REACHED :: else fi;
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
       :: routeDue -> routeDue = 0; taking = 1
       :: else -> settlerQueued = 0; pendingWork--; goto SettleDue_take
       fi
     };
SettleIfIdle_lock:
     atomic {
       NOT_HOST; taking = 0;
#ifdef SETTLER_IGNORES_BUSY
       /* takes what is due without the handshake, and leaves busy alone */
       if
       :: members == 0 && holder != NONE -> removing = holder; holder = NONE; distrusted = 0
       :: else
       fi;
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
       if :: retired & 4 -> HandleRelease(2) :: else fi;
       if :: retired & 8 -> HandleRelease(3) :: else fi;
       retired = 0; o = NONE
     }
#else
       if
       :: busy ->   /* whoever is busy settles on the way out */
#ifdef SEE_SETTLER_SKIPS_BUSY
          REACHED;
#endif
          settling = 0
       :: else -> busy = 1; SETTLE_TAKE
       fi
     };
     SettleRest()
#endif
  :: over -> break
  od
}

/* Time passes, in a progress run, for the cache the host asks about: what
 * the last attempt scheduled comes due, and a registration's back-off
 * passes. While a refresh runs nothing reads either, and its end
 * schedules anew. */
proctype Clock() {
  do
  :: atomic { targetCaches == 0 && !refreshing[0] && !readDue[0] && COMES_DUE(0) -> readDue[0] = 1 }
  :: atomic { targetCaches == 1 && !refreshing[1] && !readDue[1] && COMES_DUE(1) -> readDue[1] = 1 }
  :: atomic { alive[0] && !refreshing[0] && regWait[0] -> regWait[0] = 0 }
  :: atomic { alive[1] && !refreshing[1] && regWait[1] -> regWait[1] = 0 }
  :: over -> break
  od
}

/* Nothing is left to do in the library with no one on the way to it
 * (a safety check: left out of the progress runs, where each process
 * costs a copy of the state space under weak fairness). */
proctype Monitor() {
  do
  :: atomic { LEFT_TO_DO && !ON_ITS_WAY -> assert(!LEFT_TO_DO || ON_ITS_WAY) }
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
       if :: c == 1 && alive[0] -> REACHED :: else fi;
#endif
       alive[c] = 1; shares[c] = 1; names[c] = 0;
       targetCaches = c; lastVersionCurrent = 0; delivered = 0
    :: else -> c = targetCaches
    fi;
    /* no lost update: once nothing moves it, a cache that read and is
       registered, and says it is up to date, holds the last hardware state;
       unless the library dropped the route's registration without a word (a
       restart) and no read has failed since, which the minute's re-read
       heals. A failed read or a cache registered nowhere is owed a read
       that comes due. */
    assert(!(QUIET(c) && upToDate[c] && sched[c] == LONG && !UNTOLD_LOSS && names[c] != hardware + 1));
    /* IsUpToDate(): false until a refresh has ended */
#ifdef LIST_BEFORE_READ
    if :: !upToDate[c] -> goto Get_refresh :: else fi;
#else
    if :: !(upToDate[c] && attempted[c]) -> goto Get_refresh :: else fi;
#endif
    /* RefreshIfDue(), GetVersion() and CopySnapshot() take the cache's lock
       again: only a commit could come in between, and one of a refresh
       already running may as well come before; one of the refresh this
       call submits would only show the host a newer list sooner */
Get_due:
    if
#ifdef PROGRESS
    :: readDue[c] && !refreshing[c] -> SUBMIT_REFRESH(c)
#ifndef LONG_COMES
    :: !readDue[c] && sched[c] == LONG && !refreshing[c] -> SUBMIT_REFRESH(c)   /* the minute has passed */
    :: !readDue[c] && sched[c] == LONG && !refreshing[c] -> skip                /* or not */
#endif
#else
    :: sched[c] != NEVER && !refreshing[c] -> SUBMIT_REFRESH(c)   /* its time has come */
    :: sched[c] != NEVER && !refreshing[c] -> skip                /* or not */
#endif
    :: else
    fi;
Get_version:
    if
    :: lastVersionCurrent -> skip   /* answer 1, unchanged */
    :: else ->
Get_snapshot:
       /* no list before the hardware was read: the list is one the cache
          read, or the empty one of a failed first attempt */
       assert(names[c] != 0 || attempted[c]);
#ifdef SEE_EMPTY_LIST
       if :: names[c] == 0 -> REACHED :: else fi;
#endif
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

/* The service restarts: what was made before fails from now on, and the
 * registrations are gone, without a word. */
inline Restart() {
  restarted = 1; unseen = 1;
  if :: objRefs[0] > 0 -> dead[0] = 1 :: else fi;
  if :: objRefs[1] > 0 -> dead[1] = 1 :: else fi;
  if :: objRefs[2] > 0 -> dead[2] = 1 :: else fi;
  if :: objRefs[3] > 0 -> dead[3] = 1 :: else fi;
  registered[0] = 0; registered[1] = 0; registered[2] = 0; registered[3] = 0
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
       CALL_BEGINS;
       if :: o != NONE -> ROUTE_TAKE :: else fi
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
#ifdef RESTART
  :: atomic { !restarted && !refreshing[0] && !refreshing[1] && NOT_RUNNING -> Restart() }
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
       if :: o != NONE -> ROUTE_TAKE :: else fi
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
#ifndef ONE_HOST
    run Host(0, 0);
#else
    hostsDone = 1;
#endif
    run Host(1, 1);
    run Hardware();
#ifndef INLINE_DELIVERY
    run LibraryThread();
#endif
    run Worker(0);
    run Worker(1);
    run Settler();
#ifdef PROGRESS
#if defined(FAILURES) || defined(LONG_COMES)
    run Clock();
#endif
#else
    run Monitor()
#endif
  }
  /* the hosts have let go, the library is quiet, the work handed over has run */
  atomic { hostsDone == 2 && libraryDone && pendingWork == 0 && tails == 0 -> over = 1 };
  _nr_pr == 1;
  /* no leak: the library holds no registration and no framework */
  assert(registered[0] == 0 && registered[1] == 0 && registered[2] == 0 && registered[3] == 0);
  assert(objRefs[0] == 0 && objRefs[1] == 0 && objRefs[2] == 0 && objRefs[3] == 0);
  assert(handleShares[0] == 0 && handleShares[1] == 0 && handleShares[2] == 0 && handleShares[3] == 0);
  assert(members == 0 && holder == NONE && !distrusted && departed == 0 && !busy);
  assert(!alive[0] && !alive[1]);
  assert(!routeDue && !settlerQueued && deferring == 0)
}

/* A host that keeps asking gets the last hardware state. */
ltl lastState { <> gotLast }
