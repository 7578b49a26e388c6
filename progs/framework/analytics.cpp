// Analytics: see analytics.h.
#include "analytics.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "atomic-file.h"
#include "feature-manager.h"
#include "lua-args.h"
#include "manager.h"
#include "profiles.h"

Analyst analyst;

namespace {

// A fixed-size text field of the program record, which need not end in a
// zero byte.
template <size_t N>
std::string RecordText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

bool SafeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// The play log's file name part. A name of letters, digits, '-' and '_'
// (64 at most) is its own file name part. Any other name ("../x", "a b",
// "a.b") has the others made '_', cut at 64, and a hash of the whole name
// after a '.', which no name of the first kind holds: "a b", "a.b" and
// "a_b" each keep a log of their own, and none leaves the logs folder.
std::string PlayLogName(const char* profile) {
    const char* name = profile ? profile : "";
    std::string out;
    bool safe = strlen(name) <= 64;
    uint64_t hash = 14695981039346656037ull;
    for (const char* p = name; *p; p++) {
        if (!SafeChar(*p)) safe = false;
        if (out.size() < 64) out += SafeChar(*p) ? *p : '_';
        hash = (hash ^ (unsigned char)*p) * 1099511628211ull;
    }
    if (safe) return out;
    char tail[24];
    snprintf(tail, sizeof tail, ".%016llx", (unsigned long long)hash);
    return out + tail;
}

// Keys and values go into the query percent-encoded: a value holding '&'
// or '=' stays one value, and a blank does not break the request.
std::string QueryEncode(const char* text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char* p = (const unsigned char*)(text ? text : ""); *p; p++) {
        if (SafeChar((char)*p) || *p == '.' || *p == '~') {
            out += (char)*p;
        } else {
            out += '%';
            out += hex[*p >> 4];
            out += hex[*p & 15];
        }
    }
    return out;
}

// A field of the comma-separated line: ',' would start another field and
// a line end another line, so both are escaped (and the escape itself).
std::string LineField(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; p++) {
        if (*p == '\\' || *p == ',') out += '\\';
        if (*p == '\n') {
            out += "\\n";
        } else if (*p == '\r') {
            out += "\\r";
        } else {
            out += *p;
        }
    }
    return out;
}

// The analytics id: 31 random bits from the system, never 0. The C
// library's rand() is left alone, so that a seeded run stays the same.
uint32_t NewAnalyticsId() {
    uint32_t id = 0;
    for (int tries = 0; id == 0 && tries < 8; tries++) {
        if (getrandom(&id, sizeof id, 0) != (ssize_t)sizeof id) id = 0;
        id &= 0x7fffffffu;
    }
    if (id == 0) id = ((uint32_t)time(nullptr) ^ ((uint32_t)getpid() << 16)) & 0x7fffffffu;
    return id ? id : 1;
}

// The play log is capped: an append that would pass the cap drops the
// oldest whole lines, keeping the newest.
const long kPlayLogCap = 1 << 20;

int luaf_Analyst_LogEvent(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* event = a.Text(1);
    if (!a.Failed()) analyst.LogEvent(event);
    return 0;
}

int luaf_Analyst_LogEventLevelTime(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* level = a.Text(1);
    int time = a.Int(2);
    if (!a.Failed()) analyst.LogEventLevelTime(level, time);
    return 0;
}

const LuaBinding kAnalystBindings[] = {
    LUA_BINDING(Analyst_LogEvent),
    LUA_BINDING(Analyst_LogEventLevelTime),
};
static_assert(std::size(kAnalystBindings) == 2, "the Analyst_ script functions");

// What an upload thread owns: the whole URL and the counter it lowers.
struct UploadJob {
    nString url;
    std::atomic<int>* in_flight;
    kd_mutex_t* mutex;
};

}  // namespace

bool Analyst::Initialize() {
    enabled = true;
    if (!thread_mutex) thread_mutex = kd->GetMutex("ANALYST_THREAD");
    return true;
}

void Analyst::Shutdown() {
    enabled = false;
    // The engine's shutdown waits for the program's threads before the
    // program's own shutdown runs, so there is normally nothing to wait for.
    for (int i = 0; i < 300 && uploads_in_flight > 0; i++) kd->Sleep(20);
    if (uploads_in_flight > 0)
        kd->PrintDebugf(KD_LOG_WARNING, "Analyst: %d uploads still running at shutdown.\n", (int)uploads_in_flight);
    thread_mutex = nullptr;  // the engine's, gone with it
}

void Analyst::RegisterLuaFunctions() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Analyst::RegisterLuaFunctions.\n");
    lua_man.AddLuaFunctions(kAnalystBindings);
}

void Analyst::LogEvent(const char* event) {
    if (!enabled) return;
    nArray<KeyValue> none;
    LogEventWithKeyValues(event, none);
}

void Analyst::LogEventWithKeyValue(const char* event, const char* key, const char* value) {
    if (!enabled) return;
    nArray<KeyValue> pairs;
    pairs.InsertLast(KeyValue(key, value));
    LogEventWithKeyValues(event, pairs);
}

void Analyst::LogEventLevelTime(const char* level, long time) {
    if (!enabled) return;
    nArray<KeyValue> pairs;
    pairs.InsertLast(KeyValue("level", level));
    char text[32];
    snprintf(text, sizeof text, "%d", (int)time);
    pairs.InsertLast(KeyValue("time", text));
    LogEventWithKeyValues("LEVELTIME", pairs);
}

nString Analyst::GetEventKeyValuePairsInCommaSeparatedFormat(const char* event, const nArray<KeyValue>& pairs) {
    std::string line = LineField(event);
    for (int i = 0; i < pairs.count; i++)
        line += "," + LineField(pairs[i].key.text) + "," + LineField(pairs[i].value.text);
    return nString(line.c_str());
}

nString Analyst::GetEventKeyValuePairsInVantreoAnalyticsFormat(const char* event, const nArray<KeyValue>& pairs) {
    std::string query = "event_id=" + QueryEncode(event);
    if (query.size() > (size_t)kMaxQueryLength) {
        kd->PrintDebugf(KD_LOG_WARNING, "Analyst: the event name '%.64s...' is too long to upload.\n", event);
        return nString();
    }
    for (int i = 0; i < pairs.count; i++) {
        std::string pair = "&k[" + QueryEncode(pairs[i].key.text) + "]=" + QueryEncode(pairs[i].value.text);
        // Cut at a pair boundary: half a pair would be a wrong value.
        if (query.size() + pair.size() > (size_t)kMaxQueryLength) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "Analyst: the upload of '%s' keeps %d of its %d pairs (%d characters at most).\n", event, i,
                            pairs.count, (int)kMaxQueryLength);
            break;
        }
        query += pair;
    }
    return nString(query.c_str());
}

void Analyst::AddLocalStoreLine(const char* line) {
    if (!feature_man.ProductFeatureExists("ANALYST_LOCAL_STORE")) return;
    nString path;
    path.Format("user://logs/playlog-%s.csv", PlayLogName(prof ? prof->GetName() : nullptr).c_str());
    kd->CreateDirectory("user://logs");
    std::string text = std::string(line ? line : "") + "\n";
    if (!TrimPlayLog(path.text, (long)text.size())) return;
    kd_file_t* f = kd->OpenFile(path.text, "a");
    if (!f) {
        kd->PrintDebugf(KD_LOG_WARNING, "Unable to append playlog to '%s'.\n", path.text);
        return;
    }
    kd->WriteFile(text.data(), (unsigned)text.size(), f);
    kd->CloseFile(f);
}

// Makes room for `adding` bytes under the cap: the oldest whole lines go,
// and the rest is saved whole. False when the log could not be trimmed.
bool Analyst::TrimPlayLog(const char* path, long adding) {
    kd_file_t* f = kd->OpenFile(path, "rb");
    if (!f) return true;  // a new log
    long size = kd->SetFilePosition(f, 0, SEEK_END) ? kd->GetFilePosition(f) : 0;
    if (size + adding <= kPlayLogCap) {
        kd->CloseFile(f);
        return true;
    }
    std::string old((size_t)size, '\0');
    kd->SetFilePosition(f, 0, SEEK_SET);
    bool read = size == 0 || kd->ReadFile(&old[0], (unsigned)size, f) == (unsigned)size;
    kd->CloseFile(f);
    // The first line that starts at or after the bytes that must go.
    size_t from = adding >= kPlayLogCap ? old.size() : (size_t)(size + adding - kPlayLogCap);
    size_t end = from > 0 ? old.find('\n', from - 1) : 0;
    size_t cut = end == std::string::npos ? old.size() : from > 0 ? end + 1 : 0;
    if (!read || !AtomicWriteFile(path, old.data() + cut, (unsigned)(old.size() - cut))) {
        kd->PrintDebugf(KD_LOG_WARNING, "Unable to trim playlog '%s'; the event is not written.\n", path);
        return false;
    }
    return true;
}

void Analyst::LogEventWithKeyValues(const char* event, const nArray<KeyValue>& pairs) {
    if (!enabled || feature_man.ProductFeatureExists("AUTO_TESTING_MODE")) return;
    if (prof && prof->GetAnalyticsId() == 0) prof->SetAnalyticsId(NewAnalyticsId());
    nString line = GetEventKeyValuePairsInCommaSeparatedFormat(event, pairs);
    kd->CallExtension("LogEvent", line.text);
    AddLocalStoreLine(line.text);
    nString query = GetEventKeyValuePairsInVantreoAnalyticsFormat(event, pairs);
    if (query.text && feature_man.ProductFeatureExists("ANALYST_LIVELOGGER")) Upload(query);
}

// Builds the whole request here, on the main thread, and hands a copy to
// the upload thread.
void Analyst::Upload(const nString& query) {
    const char* endpoint = feature_man.GetProductValue("analytics_url");
    if (!endpoint || !*endpoint || !prof) return;  // nowhere, or nobody, to upload for
    if (uploads_in_flight >= kMaxUploadsInFlight) {
        kd->PrintDebugf(KD_LOG_WARNING, "Analyst: %d uploads in flight; this event is not uploaded.\n",
                        (int)uploads_in_flight);
        return;
    }
    kd_prog_t* record = Manager::GetProgramRecord();
    const char* app = feature_man.GetProductValue("analytics_id");
    std::string app_id = app ? app : record ? RecordText(record->id) : "";
    std::string version = record ? RecordText(record->version) : "";
    char udid[16];
    snprintf(udid, sizeof udid, "%d", (int)prof->GetAnalyticsId());
    std::string url = std::string(endpoint) + "app_id=" + QueryEncode(app_id.c_str()) +
                      "&version=" + QueryEncode(version.c_str()) + "&udid=" + udid + "&" + query.text;

    if (!thread_mutex) thread_mutex = kd->GetMutex("ANALYST_THREAD");
    UploadJob* job = new UploadJob;
    job->url.Set(url.c_str());
    job->in_flight = &uploads_in_flight;
    job->mutex = thread_mutex;
    uploads_in_flight++;
    if (kd->CreateThread("Analyst", LoggerThread, job, 0) == (unsigned long)-1) {
        uploads_in_flight--;
        delete job;
        kd->PrintDebugf(KD_LOG_WARNING, "Analyst: no upload thread could be started.\n");
    }
}

void Analyst::LoggerThread(void* arg) {
    UploadJob* job = (UploadJob*)arg;
    kd->LockMutex(job->mutex);
    kd->Printf("Sending event logs to Vantreo analytics..\n");
    kd->Printf("Constructed URL: '%s'\n", job->url.text);
    kd_buffer_t reply;
    memset(&reply, 0, sizeof reply);
    int option = 5;
    int ret = kd->SendHttpRequest(2, job->url.text, "application/x-www-form-urlencoded", nullptr, 0, &reply, &option);
    kd->Printf("ret:%d\n", ret);
    kd->FreeBuffer(&reply);
    kd->UnlockMutex(job->mutex);
    std::atomic<int>* in_flight = job->in_flight;
    delete job;
    (*in_flight)--;
}
