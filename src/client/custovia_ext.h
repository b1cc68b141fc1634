/*
 * custovia_ext.h - libcustovia's functions beyond the core interface:
 * data at once, host health, change events and TLS peer checks.
 *
 * The same frame as custovia.h: C linkage, a status return, nothing thrown
 * across the boundary.
 *   1     success (or a count where a function says so)
 *   -202  a null handle, receiver or callback, a handle openCli() did not
 *         return, or an argument out of its range
 *   -302  the host is not connected
 *   -314  the time-out elapsed first
 *   -320  the service could not be reached (-3200 a failed transfer, and the
 *         other codes of the library's I/O failures)
 *
 * host: null or empty selects the first connected host (byte order), as in
 * custovia.h. Times are milliseconds since 1970-01-01 UTC; 0 means never.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/custovia.h"

/* --- Data at once ----------------------------------------------------------- */

/* Runs one full refresh cycle of the host on the calling thread, or, when a
 * cycle is already running for it, waits for that one to end: never two at a
 * time. Returns 1 when the cycle reached the service (every cached read
 * answers from then on), the failure's code when it did not, -314 when
 * timeoutMs (> 0) elapsed first; the transfer in flight is then aborted.
 * The timer's next cycle follows one period after the end of this one. */
CUSTOVIA_API int32_t CUSTOVIA_CALL refreshHost(CustoviaHandle handle, const char* host,
                                               int32_t timeoutMs);

/* --- Host health ------------------------------------------------------------- */

struct CustoviaHostHealth {
    std::string host;                /* the host name the handle keys it by */
    std::string url;                 /* the service address */
    bool reachable = true;           /* false after unreachableAfter failed cycles in a row */
    int64_t startedMs = 0;           /* when the host's client started */
    int64_t lastSuccessMs = 0;       /* end of the last cycle that reached the service */
    int64_t lastFailureMs = 0;       /* end of the last cycle that reached nothing */
    int32_t lastCycleMs = 0;         /* duration of the last cycle */
    int32_t consecutiveFailures = 0; /* failed cycles since the last good one */
    int32_t lastErrorCode = 0;       /* code of the last failed request, 0 when none */
    std::string lastError;           /* its text, as the error log line gives it */
    int64_t cycles = 0;              /* cycles run so far */
    int64_t requests = 0;            /* requests sent so far */
    int64_t connections = 0;         /* TCP connections opened so far */
};
typedef std::vector<CustoviaHostHealth> CustoviaHealthList;

/* The host's health record, read from memory without network. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getHostHealth(CustoviaHandle handle, const char* host,
                                                 CustoviaHostHealth* out);
/* Every connected host's record in host order; the list is replaced. Returns
 * the count. */
CUSTOVIA_API int32_t CUSTOVIA_CALL getHostHealthList(CustoviaHandle handle,
                                                     CustoviaHealthList* out);
/* How many failed cycles in a row make a host unreachable (>= 1, default 2),
 * for every host of the handle, connected now or later. */
CUSTOVIA_API int32_t CUSTOVIA_CALL setUnreachableAfter(CustoviaHandle handle, int32_t cycles);

/* --- Refresh period ---------------------------------------------------------- */

/* Milliseconds from the end of one refresh cycle of a host to the start of its
 * next (100 to 86,400,000; default 3000). Unlike elsewhere, a null or empty
 * host means every host of the handle, connected now or later, and drops an
 * earlier choice for a single host; a named host keeps its own period, also
 * when it is connected again. A change applies from the next wait; a longer
 * period also stretches the wait in progress. Each cycle costs the same CPU
 * time whatever the period, so the period sets a program's load. */
CUSTOVIA_API int32_t CUSTOVIA_CALL setRefreshPeriod(CustoviaHandle handle, const char* host,
                                                    int32_t milliseconds);

/* --- Change events ----------------------------------------------------------- */

enum class CustoviaEventKind : int32_t {
    deviceAppeared = 1, /* a unit is reported for the first time */
    deviceRemoved,      /* a unit is no longer reported */
    flagRaised,         /* a status flag turned on; name: the flag ("opBattery") */
    flagCleared,        /* a status flag turned off */
    failureRaised,      /* a failure turned on; name: the failure ("overload") */
    failureCleared,     /* a failure turned off */
    countdownStarted,   /* the leading countdown started; newValue: its cause */
    countdownChanged,   /* it goes on with another cause; oldValue, newValue */
    countdownStopped,   /* it ended or was cancelled; oldValue: its cause */
    hostUnreachable,    /* the host's cycles reach nothing */
    hostReachable,      /* the host answers again */
    settingsChanged     /* a unit's setting changed; name: "shutdown.counterManual", ... */
};

struct CustoviaEvent {
    uint64_t seq = 0;   /* per handle, from 1, one more for each event produced */
    int64_t timeMs = 0; /* when the change was seen */
    CustoviaEventKind kind = CustoviaEventKind::deviceAppeared;
    std::string kindName; /* the kind's name as above: "flagRaised" */
    std::string host;
    std::string computer; /* "localhost" for the service's own computer */
    std::string device;   /* empty for host events */
    std::string name;     /* flag, failure or settings member; empty where none */
    std::string oldValue;
    std::string newValue;
    std::string text;  /* for people: "UPS 3 (SIM2466394) is on battery" */
    uint64_t lost = 0; /* events dropped from a full queue just before this one */
};
typedef std::vector<CustoviaEvent> CustoviaEvents;

/* Runs on the handle's dispatcher thread, one event at a time, in order. */
typedef void(CUSTOVIA_CALL* CustoviaEventCallback)(const CustoviaEvent* event, void* context);

/* Moves the queued events into the caller's vector (appended), waiting up to
 * timeoutMs (>= 0) when there are none. Returns how many were moved. */
CUSTOVIA_API int32_t CUSTOVIA_CALL waitEvents(CustoviaHandle handle, CustoviaEvents* out,
                                              int32_t timeoutMs);
/* Registers a callback for every event from now on. Returns its id (>= 1). */
CUSTOVIA_API int32_t CUSTOVIA_CALL addEventCallback(CustoviaHandle handle,
                                                    CustoviaEventCallback callback, void* context);
/* Unregisters a callback; waits for a call of it in progress (unless called
 * from that callback). -302 for an unknown id. */
CUSTOVIA_API int32_t CUSTOVIA_CALL removeEventCallback(CustoviaHandle handle, int32_t id);
/* Bounds each event queue of the handle (>= 1, default 10000): when a queue
 * is full its oldest event goes, and the next event delivered counts it in
 * `lost`. */
CUSTOVIA_API int32_t CUSTOVIA_CALL setEventQueueLimit(CustoviaHandle handle, int32_t limit);

/* --- TLS peer checks ----------------------------------------------------------- */

/* For https:// hosts connected after this call: with a CA file (PEM) the
 * service's certificate must chain to it, and with verifyHost != 0 its name
 * must match the host. A null or empty caFile accepts any certificate, as
 * the library does by default. -202 when the file cannot be read. */
CUSTOVIA_API int32_t CUSTOVIA_CALL setTlsVerification(CustoviaHandle handle, const char* caFile,
                                                      int32_t verifyHost);
