// Analytics: see analytics.h.
#include "analytics.h"

#include <stdlib.h>
#include <string.h>

#include <string>

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

// The play log's file name part: the profile's name with everything but
// letters, digits, '-' and '_' made '_', so that a name such as "../x"
// stays a name inside the logs folder; 64 characters at most.
std::string PlayLogName(const char* profile) {
    std::string out;
    for (const char* p = profile ? profile : ""; *p && out.size() < 64; p++) {
        char c = *p;
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += keep ? c : '_';
    }
    return out;
}

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
    std::string line = event ? event : "";
    for (int i = 0; i < pairs.count; i++) {
        line += ",";
        line += pairs[i].key.text ? pairs[i].key.text : "";
        line += ",";
        line += pairs[i].value.text ? pairs[i].value.text : "";
    }
    return nString(line.c_str());
}

nString Analyst::GetEventKeyValuePairsInVantreoAnalyticsFormat(const char* event, const nArray<KeyValue>& pairs) {
    std::string query = std::string("event_id=") + (event ? event : "");
    if (query.size() > (size_t)kMaxQueryLength) {
        kd->PrintDebugf(KD_LOG_WARNING, "Analyst: the event name '%.64s...' is too long to upload.\n", event);
        return nString();
    }
    for (int i = 0; i < pairs.count; i++) {
        std::string pair = std::string("&k[") + (pairs[i].key.text ? pairs[i].key.text : "") +
                           "]=" + (pairs[i].value.text ? pairs[i].value.text : "");
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
    kd_file_t* f = kd->OpenFile(path.text, "a");
    if (!f) {
        kd->PrintDebugf(KD_LOG_WARNING, "Unable to append playlog to '%s'.\n", path.text);
        return;
    }
    std::string text = std::string(line ? line : "") + "\n";
    kd->WriteFile(text.data(), (unsigned)text.size(), f);
    kd->CloseFile(f);
}

void Analyst::LogEventWithKeyValues(const char* event, const nArray<KeyValue>& pairs) {
    if (!enabled || feature_man.ProductFeatureExists("AUTO_TESTING_MODE")) return;
    if (prof && prof->GetAnalyticsId() == 0) prof->SetAnalyticsId((uint32_t)rand());
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
    std::string url =
        std::string(endpoint) + "app_id=" + app_id + "&version=" + version + "&udid=" + udid + "&" + query.text;

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
