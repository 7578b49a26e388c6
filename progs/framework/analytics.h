// Analytics: game events as an event name with key/value pairs. Each event
// goes to the platform as a comma-separated line (extension command
// "LogEvent"; ',', '\' and line ends inside a field are escaped with a
// '\'), to the player's play log "user://logs/playlog-<profile>.csv"
// (at most 1 MiB: the newest lines are kept) with the product feature
// "ANALYST_LOCAL_STORE", and, with "ANALYST_LIVELOGGER", to the analytics
// endpoint (the product value "analytics_url", the address up to and
// including its '?') by a short-lived upload thread. "AUTO_TESTING_MODE"
// silences it all.
//
// Part of the framework's start-up (manager.cpp): the start-up registers
// the script functions and switches the service on with the product
// feature "ANALYST"; the shutdown switches it off.
//
// Uploads: the request is built whole on the main thread (the profile and
// the program record belong to it) and the thread gets its own copy; the
// threads run one after another under the engine mutex "ANALYST_THREAD",
// and at most kMaxUploadsInFlight wait or run at once: past that an event
// is still sent to the platform and written to the play log, but not
// uploaded. Nothing is retried.
#ifndef FRAMEWORK_ANALYTICS_H
#define FRAMEWORK_ANALYTICS_H

#include <atomic>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class Analyst {
public:
    struct KeyValue {
        KeyValue() {}
        KeyValue(const char* k, const char* v) : key(k), value(v) {}
        nString key, value;
    };

    enum { kMaxQueryLength = 2047, kMaxUploadsInFlight = 4 };

    Analyst() {}
    Analyst(const Analyst&) = delete;
    Analyst& operator=(const Analyst&) = delete;

    bool Initialize();
    // Switches the service off and waits (a few seconds at most) for the
    // uploads in flight, which use the engine.
    void Shutdown();
    bool IsEnabled() const { return enabled; }
    void RegisterLuaFunctions();

    void LogEvent(const char* event);
    void LogEventWithKeyValue(const char* event, const char* key, const char* value);
    void LogEventWithKeyValues(const char* event, const nArray<KeyValue>& pairs);
    void LogEventLevelTime(const char* level, long time);

    // "<event>,<key>,<value>,..." (a null event is the empty text).
    static nString GetEventKeyValuePairsInCommaSeparatedFormat(const char* event, const nArray<KeyValue>& pairs);
    // "event_id=<event>&k[<key>]=<value>...", each name, key and value
    // percent-encoded (letters, digits and "-_.~" stay), at most
    // kMaxQueryLength characters: the pairs that do not fit are left out
    // (with a log line); null when not even the event name fits.
    static nString GetEventKeyValuePairsInVantreoAnalyticsFormat(const char* event, const nArray<KeyValue>& pairs);
    // Appends the line to the current profile's play log (with
    // "ANALYST_LOCAL_STORE").
    void AddLocalStoreLine(const char* line);

    int GetUploadsInFlight() const { return uploads_in_flight; }

private:
    static bool TrimPlayLog(const char* path, long adding);
    void Upload(const nString& query);
    static void LoggerThread(void* upload);

    bool enabled = false;
    kd_mutex_t* thread_mutex = nullptr;
    std::atomic<int> uploads_in_flight{0};
};

extern Analyst analyst;

#endif
