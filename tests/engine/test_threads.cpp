#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "kd-file.h"
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

// Threads that open files of packages none has opened yet, all at once
// after a barrier: each looks the package up, opens it and adds it to the
// opener's table while the others look theirs up, so the table grows under
// readers. Every reading thread's look-up comes after the barrier and
// before anything else orders it with another thread's addition, so
// ThreadSanitizer sees the two unordered on any schedule. Each thread
// walks the packages from its own starting point: most are asked for by
// several threads first, and each must still be opened once.
TEST_F(Threads, FilesOfPackagesOpenFromManyThreadsAtOnce) {
    const int kPaks = 48, kThreads = 8;
    std::filesystem::create_directories("app/native");
    for (int p = 0; p < kPaks; p++) {
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(KDPak_Build({{"f.txt", "pak " + std::to_string(p)}}, bytes));
        std::ofstream("app/native/p" + std::to_string(p) + ".pak", std::ios::binary)
            .write((const char*)bytes.data(), (std::streamsize)bytes.size());
    }
    int handles = kd_state.open_file_handles;
    LogCapture log;
    std::atomic<int> arrived{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            arrived++;
            while (arrived.load() < kThreads) std::this_thread::yield();
            for (int i = 0; i < kPaks; i++) {
                int p = (t * kPaks / kThreads + i) % kPaks;
                std::string name = "res://p" + std::to_string(p) + "/f.txt", want = "pak " + std::to_string(p);
                kd_file_t* f = kd->OpenFile(name.c_str(), "rb");
                char got[16] = {};
                if (!f || kd->ReadFile(got, sizeof got - 1, f) != want.size() || want != got) wrong++;
                kd->CloseFile(f);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    int opened = 0;
    for (const std::string& line : log.lines) opened += line.find("Opening new pak 'res://p") != std::string::npos;
    EXPECT_EQ(opened, kPaks);
    int kept = 0;
    const nMap<pak_t*>& paks = kd_pak_file_opener->paks;
    for (int i = 0; i < paks.pairs.count; i++)
        kept += paks.pairs[i].value && strncmp(paks.pairs[i].key, "res://p", 7) == 0;
    EXPECT_EQ(kept, kPaks);
    // Only the packages' own handles stay open (each counted by the engine
    // and by the file layer): a second copy of one was closed.
    EXPECT_EQ(kd_state.open_file_handles, handles + 2 * kPaks);
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
