// Threads, mutexes and the clock.
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "kd-internal.h"

static nArray<kd_mutex_t*> named_mutexes;

// The thread records. Their lock lives as long as the process, not as long
// as the engine: a launched thread that outlives the engine's shutdown still
// removes its record under it afterwards.
static nArray<kd_thread_info_t*> thread_infos;
static pthread_mutex_t thread_info_lock = PTHREAD_MUTEX_INITIALIZER;
// Launched threads whose function has not returned, counted from before the
// thread is created, so that a shutdown right after KDT_CreateThread waits
// for it too.
static std::atomic<int> threads_running{0};
// Signalled when the count reaches zero, for KDT_WaitForThreads. Never
// destroyed: a thread that outlives the shutdown's wait still signals.
static std::mutex& ThreadsEndedMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}
static std::condition_variable& ThreadsEnded() {
    static std::condition_variable* c = new std::condition_variable;
    return *c;
}

kd_mutex_t* KDT_CreateMutex(const char* name) {
    kd_mutex_t* m = new kd_mutex_t;
    pthread_mutex_t* pm = (pthread_mutex_t*)malloc(sizeof(pthread_mutex_t));
    pthread_mutex_init(pm, nullptr);
    m->platform = pm;
    m->name = name ? nStringDuplicate(name) : nullptr;
    return m;
}

void KDT_DestroyMutex(kd_mutex_t* m) {
    if (!m) return;
    pthread_mutex_destroy((pthread_mutex_t*)m->platform);
    free(m->platform);
    free(m->name);
    delete m;
}

void KDT_LockMutex(kd_mutex_t* m) {
    if (!m) return;
    pthread_mutex_lock((pthread_mutex_t*)m->platform);
    m->locked = true;
}

void KDT_UnlockMutex(kd_mutex_t* m) {
    if (!m) return;
    m->locked = false;
    pthread_mutex_unlock((pthread_mutex_t*)m->platform);
}

void KD_LockMutex(kd_mutex_t* m) { KDT_LockMutex(m); }
void KD_UnlockMutex(kd_mutex_t* m) { KDT_UnlockMutex(m); }

kd_mutex_t* KD_GetMutex(const char* name) {
    if (!name) name = "";
    KDI_LockCoreMutex(KD_MUTEX_GET_MUTEX);
    if (*name) {
        for (int i = 0; i < named_mutexes.count; i++) {
            if (nStringsMatch(named_mutexes[i]->name, name)) {
                kd_mutex_t* found = named_mutexes[i];
                KDI_UnlockCoreMutex(KD_MUTEX_GET_MUTEX);
                return found;
            }
        }
    }
    kd_mutex_t* m = KDT_CreateMutex(name);
    named_mutexes.InsertLast(m);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_MUTEX);
    KD_Printf("Created Mutex '%s'..\n", name);
    return m;
}

void KD_ReleaseMutex(kd_mutex_t* m) {
    if (!m) return;
    KDI_LockCoreMutex(KD_MUTEX_GET_MUTEX);
    named_mutexes.Remove(m);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_MUTEX);
    KDT_DestroyMutex(m);
}

static const char* const core_mutex_names[KD_NUM_CORE_MUTEXES] = {
    "PRINT",    "GET_MUTEX", "CREATE_DIR", "GET_PATH",       "GET_BITMAP",    "GET_SOUND", "GET_FONT",
    "GET_SHADER", "GFX_HW",  "MAIN_LOOP",  "RESOURCE_QUEUE", "SHARED_BITMAP", "CORE_IMP",
};

const char* KDI_GetCoreMutexName(int index) {
    if (index < 0 || index >= KD_NUM_CORE_MUTEXES) return "UNKNOWN";
    return core_mutex_names[index];
}

void KDI_CreateCoreMutexes() {
    for (int i = 0; i < KD_NUM_CORE_MUTEXES; i++)
        if (!kd_state.core_mutexes[i]) kd_state.core_mutexes[i] = KDT_CreateMutex(KDI_GetCoreMutexName(i));
}

// Until pre-initialisation has created them, the core locks do nothing.
void KDI_LockCoreMutex(int index) {
    if (index < 0 || index >= KD_NUM_CORE_MUTEXES) return;
    KDT_LockMutex(kd_state.core_mutexes[index]);
}

void KDI_UnlockCoreMutex(int index) {
    if (index < 0 || index >= KD_NUM_CORE_MUTEXES) return;
    KDT_UnlockMutex(kd_state.core_mutexes[index]);
}

void KDI_DestroyMutexes() {
    for (int i = 0; i < KD_NUM_CORE_MUTEXES; i++) {
        kd_mutex_t* m = kd_state.core_mutexes[i];
        kd_state.core_mutexes[i] = nullptr;
        KDT_DestroyMutex(m);
    }
    for (int i = 0; i < named_mutexes.count; i++) KDT_DestroyMutex(named_mutexes[i]);
    named_mutexes.Free();
}

// The thread records need nothing set up; kept for the start-up order.
void KDT_InitThreads() {}

static void FreeThreadInfo(kd_thread_info_t* info) {
    free(info->name);
    free(info->extra);
    delete info;
}

void KDT_ShutdownThreads() {
    pthread_mutex_lock(&thread_info_lock);
    for (int i = 0; i < thread_infos.count; i++) {
        // A launched thread that outlived the shutdown wait still owns its
        // record and frees it when it returns.
        if (thread_infos[i]->launched) continue;
        FreeThreadInfo(thread_infos[i]);
    }
    thread_infos.Free();
    pthread_mutex_unlock(&thread_info_lock);
}

unsigned long KDT_GetCurrentThreadId() { return (unsigned long)pthread_self(); }
unsigned long KD_GetCurrentThreadId() { return KDT_GetCurrentThreadId(); }

bool KDT_IsMainThread() { return KDT_GetCurrentThreadId() == kd_state.main_thread_id; }
bool KD_IsMainThread() { return KDT_IsMainThread(); }

// The calling thread's record, created when missing. A launched thread's
// record gets its name and its launched mark before anyone else can see it.
static kd_thread_info_t* ThreadInfo(bool launched, char* launch_name) {
    unsigned long id = KDT_GetCurrentThreadId();
    pthread_mutex_lock(&thread_info_lock);
    kd_thread_info_t* info = nullptr;
    for (int i = 0; i < thread_infos.count && !info; i++)
        if (thread_infos[i]->id == id) info = thread_infos[i];
    if (!info) {
        info = new kd_thread_info_t;
        info->id = id;
        thread_infos.InsertLast(info);
    }
    if (launched) {
        free(info->name);
        info->name = launch_name;  // the record takes over the copy
        free(info->extra);
        info->extra = nullptr;
        info->launched = true;
    }
    pthread_mutex_unlock(&thread_info_lock);
    return info;
}

kd_thread_info_t* KDT_GetCurrentThreadInfo() { return ThreadInfo(false, nullptr); }

void KDT_RemoveThreadInfo(kd_thread_info_t* info) {
    if (!info) return;
    pthread_mutex_lock(&thread_info_lock);
    thread_infos.Remove(info);
    pthread_mutex_unlock(&thread_info_lock);
    FreeThreadInfo(info);
}

struct kd_launch_t {
    char* name;
    kd_thread_fn fn;
    void* arg;
};

static void* ThreadLauncher(void* p) {
    kd_launch_t* launch = (kd_launch_t*)p;
    kd_thread_info_t* info = ThreadInfo(true, launch->name);
    launch->name = nullptr;

    launch->fn(launch->arg);

    // The record goes before the count drops: once the count reaches zero
    // the shutdown may free every record that is left.
    KDT_RemoveThreadInfo(info);
    free(launch);
    int left = --threads_running;
    if (left < 0) KD_PrintDebugf(KD_LOG_WARNING, "Thread ref counter reporting %d\n", left);
    if (left == 0) {
        std::lock_guard<std::mutex> lock(ThreadsEndedMutex());
        ThreadsEnded().notify_all();
    }
    return nullptr;
}

unsigned long KDT_CreateThread(const char* name, kd_thread_fn fn, void* arg) {
    kd_launch_t* launch = (kd_launch_t*)calloc(1, sizeof(kd_launch_t));
    launch->name = nStringDuplicate(name);
    launch->fn = fn;
    launch->arg = arg;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    threads_running++;
    int rc = pthread_create(&thread, &attr, ThreadLauncher, launch);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        threads_running--;
        KD_PrintDebugf(KD_LOG_ERROR, "Unable to create thread '%s' (error %d).\n", launch->name, rc);
        free(launch->name);
        free(launch);
        return (unsigned long)-1;
    }
    return (unsigned long)thread;
}

unsigned long KD_CreateThread(const char* name, kd_thread_fn fn, void* arg, int flags) {
    if (flags != 0) {
        KD_Popupf(1, "KD_CreateThread flags parm must be set to zero - reserved for future use.\n");
        return (unsigned long)-1;
    }
    if (!fn) return (unsigned long)-1;
    return KDT_CreateThread(name, fn, arg);
}

int KDT_GetNumberOfThreadsRunning() { return threads_running.load(); }

bool KDT_WaitForThreads(int timeout_ms) {
    std::unique_lock<std::mutex> lock(ThreadsEndedMutex());
    return ThreadsEnded().wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [] { return threads_running.load() <= 0; });
}

bool KDT_KillThread(unsigned long id) {
    if (id == 0) return false;
    return pthread_kill((pthread_t)id, 0) == 0;
}

void KDT_SetThreadPriority(unsigned long id, unsigned int priority, bool) {}

// Other threads get the frame's mutex and so run only between frames.
void KD_SynchronizeWithMainThreadBegin() {
    if (KDT_IsMainThread()) return;
    KDI_LockCoreMutex(KD_MUTEX_MAIN_LOOP);
}

void KD_SynchronizeWithMainThreadEnd() {
    if (KDT_IsMainThread()) return;
    KDI_UnlockCoreMutex(KD_MUTEX_MAIN_LOOP);
}

unsigned int KDT_GetTime() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return (unsigned int)((unsigned long long)tv.tv_sec * 1000ull + (unsigned long long)tv.tv_usec / 1000ull);
}

unsigned int KD_GetTime() { return KDT_GetTime() - kd_state.start_time; }

void KDT_Sleep(int ms) {
    if (ms <= 0) return;
    if (ms >= 1000) sleep((unsigned)(ms / 1000));
    int rest = ms % 1000;
    if (rest) usleep((useconds_t)rest * 1000);
}

void KDT_GetDate(kd_date_t* date) {
    if (!date) return;
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    date->year = tmv.tm_year + 1900;
    date->month = tmv.tm_mon + 1;
    date->day = tmv.tm_mday;
    date->hour = tmv.tm_hour;
    date->minute = tmv.tm_min;
    date->second = tmv.tm_sec;
}
