#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qnx-kodo.h"
#include "test-support.h"

class Threads : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        ResetTestProg();
        ASSERT_TRUE(StartEngine());
    }
    void TearDown() override {
        if (kd_state.initialised) StopEngine();
    }
};

TEST_F(Threads, NamedMutexesAreSharedByNameOnly) {
    kd_mutex_t* a = kd->GetMutex("A");
    EXPECT_EQ(kd->GetMutex("A"), a);
    EXPECT_NE(kd->GetMutex("B"), a);
    kd_mutex_t* n1 = kd->GetMutex(nullptr);
    kd_mutex_t* n2 = kd->GetMutex(nullptr);
    EXPECT_NE(n1, n2);
    kd->LockMutex(a);
    EXPECT_TRUE(a->locked);
    kd->UnlockMutex(a);
    EXPECT_FALSE(a->locked);
    kd->LockMutex(nullptr);  // ignored
    kd->ReleaseMutex(a);
    EXPECT_NE(kd->GetMutex("A"), nullptr);
}

TEST_F(Threads, CoreMutexNamesAndEarlyLocks) {
    EXPECT_STREQ(KDI_GetCoreMutexName(0), "PRINT");
    EXPECT_STREQ(KDI_GetCoreMutexName(9), "MAIN_LOOP");
    EXPECT_STREQ(KDI_GetCoreMutexName(12), "CORE_IMP");
    EXPECT_STREQ(KDI_GetCoreMutexName(13), "UNKNOWN");
    // Before pre-initialisation the core mutexes do not exist yet, and the
    // first lines are printed then: printing takes PRINT, which must pass
    // as a no-op and lose nothing.
    kd_mutex_t* saved = kd_state.core_mutexes[KD_MUTEX_PRINT];
    kd_state.core_mutexes[KD_MUTEX_PRINT] = nullptr;
    LogCapture log;
    KD_PrintDebugf(3, "printed before the locks exist\n");
    kd_state.core_mutexes[KD_MUTEX_PRINT] = saved;
    EXPECT_TRUE(log.Contains("printed before the locks exist"));
    // Once they exist, the same calls lock for real.
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    EXPECT_TRUE(saved->locked);
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    EXPECT_FALSE(saved->locked);
}

static std::atomic<int> worker_runs{0};
static std::atomic<bool> release_worker{false};
static void Worker(void*) {
    worker_runs++;
    while (!release_worker) KDT_Sleep(1);
}

TEST_F(Threads, ThreadsAreCountedWhileTheyRun) {
    release_worker = false;
    worker_runs = 0;
    int engine_threads = KDT_GetNumberOfThreadsRunning();  // the sound feeder
    EXPECT_EQ(kd->CreateThread("bad", Worker, nullptr, 1), (unsigned long)-1);
    unsigned long id = kd->CreateThread("worker", Worker, nullptr, 0);
    EXPECT_NE(id, (unsigned long)-1);
    for (int i = 0; i < 500 && worker_runs == 0; i++) KDT_Sleep(1);
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), engine_threads + 1);
    EXPECT_TRUE(KDT_KillThread(id));  // a probe only: the thread still exists
    EXPECT_FALSE(KDT_KillThread(0));
    release_worker = true;
    for (int i = 0; i < 500 && KDT_GetNumberOfThreadsRunning() > engine_threads; i++) KDT_Sleep(1);
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), engine_threads);
}

TEST_F(Threads, ShutdownWaitsThreeSecondsForAThreadThatNeverEnds) {
    release_worker = false;
    int engine_threads = KDT_GetNumberOfThreadsRunning();  // the sound feeder, which ends with the quit
    kd->CreateThread("stuck", Worker, nullptr, 0);
    for (int i = 0; i < 500 && KDT_GetNumberOfThreadsRunning() == engine_threads; i++) KDT_Sleep(1);
    LogCapture log;
    unsigned int t0 = KDT_GetTime();
    StopEngine();
    unsigned int waited = KDT_GetTime() - t0;
    EXPECT_GE(waited, 2900u);
    EXPECT_LT(waited, 6000u);
    EXPECT_TRUE(log.Contains("Waiting for threads to exit... (" + std::to_string(engine_threads + 1) + " threads)"));
    EXPECT_TRUE(log.Contains("Time out: 1 threads left running!"));
    EXPECT_TRUE(log.Contains("Closing File Openers..."));  // shutdown went on
    // The thread outlived the wait and ends after the shutdown: it removes
    // its own record then, under a lock that shutdown never destroys (the
    // sanitizer builds report any use of freed memory here).
    release_worker = true;
    for (int i = 0; i < 500 && KDT_GetNumberOfThreadsRunning() > 0; i++) KDT_Sleep(1);
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), 0);
}

// Counted from before it exists: a shutdown that comes before the new
// thread has run a line still waits for it.
static std::atomic<bool> late_done{false};
static void LateWorker(void*) {
    KDT_Sleep(100);
    late_done = true;
}

TEST_F(Threads, AThreadStartedJustBeforeShutdownIsWaitedFor) {
    late_done = false;
    LogCapture log;
    int engine_threads = KDT_GetNumberOfThreadsRunning();
    kd->CreateThread("late", LateWorker, nullptr, 0);
    StopEngine();
    EXPECT_TRUE(log.Contains("Waiting for threads to exit... (" + std::to_string(engine_threads + 1) + " threads)"));
    EXPECT_TRUE(late_done);
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), 0);
}

TEST_F(Threads, SleepSplitsSecondsAndMilliseconds) {
    unsigned int t0 = KDT_GetTime();
    KDT_Sleep(1200);
    unsigned int slept = KDT_GetTime() - t0;
    EXPECT_GE(slept, 1195u);
    EXPECT_LT(slept, 2500u);
}

// A worker that synchronises with the main thread runs only between frames.
static std::atomic<bool> in_frame{false};
static std::atomic<int> overlaps{0};
static std::atomic<int> sync_rounds{0};
static std::atomic<bool> stop_syncing{false};
static void MarkFrame(float) {
    in_frame = true;
    KDT_Sleep(2);
    in_frame = false;
}
static void Syncer(void*) {
    while (!stop_syncing) {
        KD_SynchronizeWithMainThreadBegin();
        if (in_frame) overlaps++;
        sync_rounds++;
        KD_SynchronizeWithMainThreadEnd();
        KDT_Sleep(1);
    }
}

TEST_F(Threads, SynchronizeWithMainThreadRunsBetweenFrames) {
    test_prog.on_update = MarkFrame;
    test_prog.on_draw = MarkFrame;
    kd_state.active = true;
    stop_syncing = false;
    overlaps = 0;
    sync_rounds = 0;
    kd->CreateThread("syncer", Syncer, nullptr, 0);
    for (int i = 0; i < 100; i++) KDI_Frame(8);
    // On the main thread the calls return at once and do not block a frame.
    KD_SynchronizeWithMainThreadBegin();
    KDI_Frame(8);
    KD_SynchronizeWithMainThreadEnd();
    stop_syncing = true;
    for (int i = 0; i < 1000 && KDT_GetNumberOfThreadsRunning() > 0; i++) KDT_Sleep(1);
    EXPECT_GT(sync_rounds.load(), 0);
    EXPECT_EQ(overlaps.load(), 0);
    test_prog.on_update = nullptr;
    test_prog.on_draw = nullptr;
}

TEST(ThreadInfo, RecordsAreCreatedOnDemandAndRemoved) {
    KDT_InitThreads();
    kd_thread_info_t* info = KDT_GetCurrentThreadInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->id, KDT_GetCurrentThreadId());
    EXPECT_EQ(KDT_GetCurrentThreadInfo(), info);
    KDT_RemoveThreadInfo(info);
    kd_date_t date;
    KDT_GetDate(&date);
    EXPECT_GE(date.year, 2024);
    EXPECT_GE(date.month, 1);
    EXPECT_LE(date.month, 12);
}
