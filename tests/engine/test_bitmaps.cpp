// The bitmap table: counting by name (Get once, Load every call, '!'
// never), hibernation and release, lookups, the two queues and the upload
// budget, and lookups racing a load on another thread.
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "bitmap-fixture.h"

using namespace bmtest;

namespace {

using Bitmaps = BitmapTest;

TEST_F(Bitmaps, GetCountsOnceReleaseHibernatesAndGetLoadsAgain) {
    WritePng("img/a.png", 4, 2, 0xFF0000FF);
    LogCapture log;
    kd_bitmap_t* a = KD_GetBitmap("res://img/a.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->state, KD_BITMAP_READY);
    EXPECT_EQ(a->width, 4);
    EXPECT_TRUE(a->hw.loaded);
    EXPECT_EQ(a->pixels, nullptr);  // texture only: pixels dropped after the upload
    EXPECT_EQ(KD_GetBitmap("res://img/a.png"), a);
    EXPECT_EQ(a->ref_count, 1);  // the second Get adds nothing

    KD_ReleaseBitmap(a);
    EXPECT_EQ(a->ref_count, 0);
    EXPECT_TRUE(log.Contains("Releasing bitmap 'res://img/a.png' too many times"));
    EXPECT_TRUE(log.Contains("Hibernating bitmap 'res://img/a.png'.."));
    EXPECT_STREQ(a->name, "res://img/a.png");  // keeps its slot and name
    EXPECT_EQ(a->cache_mode, 0);
    EXPECT_EQ(a->state, KD_BITMAP_REGISTERED);
    EXPECT_FALSE(a->hw.loaded);
    EXPECT_EQ(renderer.frees, 1);

    // A hibernated bitmap counts its next Get caller again and reloads.
    EXPECT_EQ(KD_GetBitmap("res://img/a.png"), a);
    EXPECT_EQ(a->ref_count, 1);
    EXPECT_TRUE(a->hw.loaded);
    EXPECT_EQ(a->state, KD_BITMAP_READY);
    KD_ReleaseBitmap(a);
    KD_ReleaseBitmap(a);  // one too many
    EXPECT_EQ(a->ref_count, 0);
    EXPECT_TRUE(log.Contains("Bitmap 'res://img/a.png' reference count less than zero."));
}

TEST_F(Bitmaps, LoadCountsEveryCallAndCapsAt4096) {
    WritePng("img/b.png", 2, 2, 0x00FF00FF);
    LogCapture log;
    kd_bitmap_t* b = nullptr;
    for (int i = 0; i < 5000; i++) b = KD_LoadBitmap("res://img/b.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->ref_count, 4096);
    EXPECT_TRUE(log.Contains("Bitmap 'res://img/b.png' reference count suspiciously high: capping at 4096."));
    ASSERT_NE(b->pixels, nullptr);  // software: pixels kept
    EXPECT_EQ(b->pixels[0], 0);
    EXPECT_EQ(b->pixels[1], 255);
    for (int i = 0; i < 4095; i++) KD_ReleaseBitmap(b);
    EXPECT_EQ(b->ref_count, 1);
    EXPECT_NE(b->pixels, nullptr);
    KD_ReleaseBitmap(b);
    EXPECT_EQ(b->pixels, nullptr);  // hibernated
}

TEST_F(Bitmaps, LookupOnlyNeverCreatesOrCounts) {
    int before = kd_state.num_bitmaps;
    EXPECT_EQ(KD_GetBitmapEx("res://img/none.png", KD_CACHE_LOOKUP_ONLY), nullptr);
    EXPECT_EQ(KD_LoadBitmap("res://img/none.png", KD_CACHE_LOOKUP_ONLY), nullptr);
    EXPECT_EQ(kd_state.num_bitmaps, before);
    WritePng("img/c.png", 2, 2, 0x0000FFFF);
    kd_bitmap_t* c = KD_LoadBitmap("res://img/c.png", KD_CACHE_TEXTURE);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(KD_GetBitmapEx("res://img/c.png", KD_CACHE_LOOKUP_ONLY), c);
    EXPECT_EQ(KD_LoadBitmap("res://img/c.png", KD_CACHE_LOOKUP_ONLY), c);
    EXPECT_EQ(c->ref_count, 1);
    // Mode 0 registers a name without loading or counting it.
    kd_bitmap_t* d = KD_LoadBitmap("res://img/c-later.png", KD_CACHE_NOTHING);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ref_count, 0);
    EXPECT_EQ(d->state, KD_BITMAP_REGISTERED);
}

TEST_F(Bitmaps, BuiltInNamesAreNeverCountedLoadedOrReleased) {
    kd_bitmap_t* none = KD_GetBitmap(nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none->name, "!NONE");
    int count = none->ref_count;
    EXPECT_EQ(KD_LoadBitmap(nullptr, KD_CACHE_BOTH), none);
    EXPECT_EQ(KD_GetBitmapEx("!NONE", KD_CACHE_BOTH), none);
    EXPECT_EQ(none->ref_count, count);
    KD_ReleaseBitmap(none);
    KD_ReleaseBitmap(none);
    EXPECT_EQ(none->ref_count, count);
    EXPECT_STREQ(none->name, "!NONE");
    EXPECT_EQ(none->pixels, nullptr);
    EXPECT_EQ(renderer.loads, 0);
}

TEST_F(Bitmaps, LeadingSlashIsDroppedWithAPopup) {
    WritePng("img/s.png", 2, 2, 0xFFFFFFFF);
    LogCapture log;
    kd_bitmap_t* s = KD_GetBitmap("/res://img/s.png");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, "res://img/s.png");
    EXPECT_TRUE(log.Contains("Bitmap '/res://img/s.png' name path starting with '/'. Not allowed."));
    EXPECT_EQ(KD_GetBitmap("res://img/s.png"), s);
}

TEST_F(Bitmaps, NamesWithoutExtensionTryTheImageFormatsAndFailedLoadsStayReady) {
    WritePng("img/plain.png", 3, 3, 0x123456FF);
    kd_bitmap_t* p = KD_LoadBitmap("res://img/plain", KD_CACHE_SOFTWARE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->width, 3);
    ASSERT_NE(p->pixels, nullptr);
    EXPECT_EQ(p->pixels[0], 0x12);

    LogCapture log;
    kd_bitmap_t* m = KD_LoadBitmap("res://img/missing.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->state, KD_BITMAP_READY);
    EXPECT_EQ(m->pixels, nullptr);
    EXPECT_TRUE(log.Contains("Unable to load bitmap 'res://img/missing.png'."));
}

TEST_F(Bitmaps, OutOfSlotsGivesNull) {
    LogCapture log;
    kd_bitmap_t* last = nullptr;
    int i = 0;
    for (; i <= KD_MAX_BITMAPS; i++) {
        char name[32];
        snprintf(name, sizeof name, "slot-%d", i);
        last = KD_GetBitmapEx(name, KD_CACHE_NOTHING);
        if (!last) break;
    }
    EXPECT_EQ(last, nullptr);
    EXPECT_LE(i, KD_MAX_BITMAPS);
    EXPECT_EQ(kd_state.num_bitmaps, KD_MAX_BITMAPS);
    for (int s = 0; s < KD_MAX_BITMAPS; s++) EXPECT_NE(kd_state.bitmaps[s].name, nullptr);
    EXPECT_TRUE(log.Contains(" ! Kodo out of free bitmaps"));
    // A freed slot is taken again.
    kd_bitmap_t* c = KD_CreateBitmap("", 1, 1, 0);
    EXPECT_EQ(c, nullptr);
}

TEST_F(Bitmaps, CreatedBitmapsAreFreedAtZeroAndSavedBitmapsReadBack) {
    std::filesystem::create_directories("app/native/img");
    kd_bitmap_t* c = KD_CreateBitmap("canvas", 3, 2, 0);
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 6; i++) SetPixel(c->pixels + i * 4, i < 3 ? 0xFF000080 : 0x00FF00FF);
    c->flags |= KD_BITMAP_HAS_ALPHA;
    EXPECT_EQ(KD_SaveBitmap(c, "res://img/saved.png", 100), 1);
    kd_bitmap_t* r = KD_LoadBitmap("res://img/saved.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->pixels, nullptr);
    EXPECT_EQ(r->width, 3);
    EXPECT_EQ(r->height, 2);
    EXPECT_EQ(memcmp(r->pixels, c->pixels, 6 * 4), 0);

    // Not reloadable: the release to zero frees the slot.
    KD_ReleaseBitmap(c);
    EXPECT_EQ(c->name, nullptr);
    EXPECT_EQ(c->state, KD_BITMAP_FREE);
}

// Bitmaps made and loaded take their bytes from one bound until released
// (the refusals' one line each: the hostile data run's bounds and routes
// cases), and spellings of one file share one record.
TEST_F(Bitmaps, MadeAndLoadedBitmapsShareOneBoundAndSpellingsOneCopy) {
    WritePng("img/a.png", 64, 64, 0xFF0000FF);
    kd_bitmap_t* a = KD_LoadBitmap("res://img/a.png", KD_CACHE_SOFTWARE);
    for (const char* other : {"res://img/./a.png", "res://img//a.png", "res://./img/x/../a.png"})
        EXPECT_EQ(KD_LoadBitmap(other, KD_CACHE_SOFTWARE), a) << other;
    std::vector<kd_bitmap_t*> made;
    for (int side : {4096, 1024, 256, 64, 16}) {
        while (kd_bitmap_t* m = KD_CreateBitmap(std::to_string(made.size()).c_str(), side, side, side == 4096))
            made.push_back(m);
        if (side == 4096) {
            EXPECT_EQ((int64_t)made.size(), (KD_BITMAPS_MAX_BYTES >> 26) - 1);  // and a's 16 KB
        }
    }
    WritePng("img/b.png", 64, 64, 0xFF0000FF);
    LogCapture log;
    kd_bitmap_t* b = KD_LoadBitmap("res://img/b.png", KD_CACHE_SOFTWARE);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->pixels, nullptr);
    EXPECT_TRUE(log.Contains("Bitmap 'res://img/b.png': its 16 KB would take the bitmaps past the"));
    EXPECT_FALSE(log.Contains("Unable to load"));
    KD_ReleaseBitmap(b);
    KD_ReleaseBitmap(made.front());
    EXPECT_NE(KD_CreateBitmap("more", 4096, 4096, 1), nullptr);
    for (kd_bitmap_t* m : made) KD_ReleaseBitmap(m);
}

TEST_F(Bitmaps, ReleasingTheRenderTargetClearsItFirst) {
    kd_bitmap_t* t = KD_CreateBitmap("target", 8, 8, 1);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(renderer.creates, 1);
    ASSERT_TRUE(KD_SetRenderTarget(t));
    LogCapture log;
    KD_ReleaseBitmap(t);
    EXPECT_EQ(kd_state.render_target, nullptr);
    EXPECT_TRUE(log.Contains("Releasing current render target bitmap 'target' is not allowed."));
    EXPECT_EQ(t->name, nullptr);
}

// -------------------------------------------------------------- queues

TEST_F(Bitmaps, WorkerUploadWaitsForTheFrameAndReleaseBeforeItDequeues) {
    WritePng("img/w1.png", 2, 2, 0xFF0000FF);
    WritePng("img/w2.png", 2, 2, 0x00FF00FF);
    kd_bitmap_t *w1 = nullptr, *w2 = nullptr;
    std::thread([&] {
        w1 = KD_LoadBitmap("res://img/w1.png", KD_CACHE_TEXTURE);
        w2 = KD_LoadBitmap("res://img/w2.png", KD_CACHE_TEXTURE);
    }).join();
    ASSERT_NE(w1, nullptr);
    ASSERT_NE(w2, nullptr);
    EXPECT_FALSE(w1->hw.loaded);
    EXPECT_NE(w1->pixels, nullptr);  // kept for the pending upload
    EXPECT_EQ(KDI_GetUploadQueueLength(), 2);

    LogCapture log;
    std::thread([&] { KD_ReleaseBitmap(w2); }).join();  // hibernates: off the queue, no texture
    EXPECT_TRUE(log.Contains("Bitmap 'res://img/w2.png' still in hardware upload queue. Removing it."));
    EXPECT_FALSE(KDI_IsInUploadQueue(w2));

    KDI_ProcessResourceQueues();
    EXPECT_TRUE(w1->hw.loaded);
    EXPECT_EQ(w1->pixels, nullptr);  // texture only
    EXPECT_EQ(renderer.loads, 1);
    EXPECT_EQ(KDI_GetUploadQueueLength(), 0);

    // A texture released from a worker is freed by the next frame.
    std::thread([&] { KD_ReleaseBitmap(w1); }).join();
    EXPECT_EQ(renderer.frees, 0);
    KDI_ProcessResourceQueues();
    EXPECT_EQ(renderer.frees, 1);
}

TEST_F(Bitmaps, UploadQueueStopsOnceTheBudgetIsSpentAndGoesOnNextFrame) {
    KDI_SetResourceQueueClock(FakeClock);
    renderer.cost_ms = 30;
    std::vector<kd_bitmap_t*> bms;
    for (int i = 0; i < 5; i++) WritePng("img/q" + std::to_string(i) + ".png", 2, 2, 0xFFFFFFFF);
    std::thread([&] {
        for (int i = 0; i < 5; i++)
            bms.push_back(KD_LoadBitmap(("res://img/q" + std::to_string(i) + ".png").c_str(), KD_CACHE_TEXTURE));
    }).join();
    ASSERT_EQ(KDI_GetUploadQueueLength(), 5);
    // 30 ms is within the budget, 60 ms is past it: two uploads a frame.
    KDI_ProcessResourceQueues();
    EXPECT_EQ(renderer.loads, 2);
    EXPECT_EQ(KDI_GetUploadQueueLength(), 3);
    EXPECT_TRUE(bms[0]->hw.loaded);
    EXPECT_TRUE(bms[1]->hw.loaded);
    EXPECT_FALSE(bms[2]->hw.loaded);
    KDI_ProcessResourceQueues();
    EXPECT_EQ(KDI_GetUploadQueueLength(), 1);
    KDI_ProcessResourceQueues();
    EXPECT_EQ(KDI_GetUploadQueueLength(), 0);
    for (kd_bitmap_t* b : bms) EXPECT_TRUE(b->hw.loaded);

    // A budget never stops the first entry, however slow.
    renderer.cost_ms = 500;
    WritePng("img/slow.png", 2, 2, 0xFFFFFFFF);
    kd_bitmap_t* slow = nullptr;
    std::thread([&] { slow = KD_LoadBitmap("res://img/slow.png", KD_CACHE_TEXTURE); }).join();
    KDI_ProcessResourceQueues();
    EXPECT_TRUE(slow->hw.loaded);
}

// -------------------------------------------------------------- threads

// Decodes like the engine's loader but lets the test hold a load open.
class GatedLoader : public ImageLoaderImpPortable {
public:
    std::atomic<int> loads{0};
    std::atomic<bool> started{false}, release{false};
    int LoadImagePixels(kd_image_t* img, const char* path) override {
        loads++;
        started = true;
        while (!release) std::this_thread::yield();
        return ImageLoaderImpPortable::LoadImagePixels(img, path);
    }
};

TEST_F(Bitmaps, ALookupDuringALoadGetsTheFinishedBitmap) {
    WritePng("img/slowload.png", 4, 4, 0x00FF00FF);
    GatedLoader gated;
    ImageLoaderImp* saved = kd_il;
    kd_il = &gated;
    kd_bitmap_t* from_worker = nullptr;
    std::thread worker([&] { from_worker = KD_LoadBitmap("res://img/slowload.png", KD_CACHE_SOFTWARE); });
    while (!gated.started) std::this_thread::yield();
    kd_bitmap_t* seen = nullptr;
    std::atomic<bool> returned{false};
    std::thread second([&] {
        seen = KD_LoadBitmap("res://img/slowload.png", KD_CACHE_SOFTWARE);
        returned = true;
    });
    // The second lookup cannot come back while the first load is held.
    for (int i = 0; i < 50; i++) std::this_thread::yield();
    EXPECT_FALSE(returned);
    gated.release = true;
    worker.join();
    second.join();
    kd_il = saved;
    ASSERT_EQ(seen, from_worker);
    EXPECT_EQ(seen->state, KD_BITMAP_READY);
    EXPECT_NE(seen->pixels, nullptr);
    EXPECT_EQ(seen->width, 4);
    EXPECT_EQ(gated.loads, 1);  // loaded once
    EXPECT_EQ(seen->ref_count, 2);
}

TEST_F(Bitmaps, CountsFromManyThreadsAddUp) {
    kd_bitmap_t* c = KD_CreateBitmap("shared", 2, 2, 0);
    ASSERT_NE(c, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([] {
            for (int i = 0; i < 500; i++) KD_CreateBitmap("shared", 2, 2, 0);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(c->ref_count, 1 + 4 * 500);
    threads.clear();
    for (int t = 0; t < 4; t++)
        threads.emplace_back([c] {
            for (int i = 0; i < 500; i++) KD_ReleaseBitmap(c);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(c->ref_count, 1);
    EXPECT_STREQ(c->name, "shared");
}

// With a renderer that takes texture work from any thread, a worker
// uploads under the record's mutex and GFX_HW while the main thread
// restarts the renderer, which goes through the table, every record and
// GFX_HW. Taken in different orders the two would each hold what the other
// waits for (the thread sanitizer job reports the order even when the
// timing spares the run).
TEST_F(Bitmaps, RendererRestartsWhileAWorkerUploadsTextures) {
    renderer.thread_safe = true;
    const char* names[] = {"res://img/r0.png", "res://img/r1.png", "res://img/r2.png"};
    for (const char* name : names) WritePng(name + strlen("res://"), 2, 2, 0xFFFFFFFF);
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    std::thread worker([&] {
        while (!stop) {
            for (const char* name : names) {
                kd_bitmap_t* bm = KD_LoadBitmap(name, KD_CACHE_TEXTURE);
                ASSERT_NE(bm, nullptr);
                KD_ReleaseBitmap(bm);
            }
            rounds++;
        }
    });
    // Stuck threads never come back to fail the test: the watchdog ends it.
    std::atomic<bool> restarted{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 60000 && !restarted; i++) KDT_Sleep(1);
        if (restarted) return;
        fprintf(stderr, "renderer restarts and a worker's uploads wait on each other\n");
        _exit(1);
    });
    for (int i = 0; i < 2000 && rounds == 0; i++) KDT_Sleep(1);
    for (int i = 0; i < 20; i++) KDI_ReInitRenderer();
    restarted = true;
    watchdog.join();
    int before = rounds;
    for (int i = 0; i < 2000 && rounds == before; i++) KDT_Sleep(1);
    stop = true;
    worker.join();
    EXPECT_GT(rounds.load(), before);  // the worker got on after the restarts
    EXPECT_TRUE(kd_state.renderer_ready);
}

TEST_F(Bitmaps, SubBitmapsCutTextureCoordinates) {
    kd_bitmap_t src;
    memset(&src, 0, sizeof src);
    src.width = 100;
    src.height = 50;
    src.hw.left_u = 0.0f;
    src.hw.top_v = 0.5f;
    src.hw.right_u = 1.0f;
    src.hw.bottom_v = 1.0f;
    kd_bitmap_t dst;
    EXPECT_EQ(KD_CreateBitmapFromSubBitmap(&dst, &src, 25, 10, 75.9f, 50), &dst);
    EXPECT_EQ(dst.parent, &src);
    EXPECT_EQ(dst.width, 50);
    EXPECT_EQ(dst.height, 40);
    EXPECT_FLOAT_EQ(dst.hw.left_u, 0.25f);
    EXPECT_FLOAT_EQ(dst.hw.top_v, 0.6f);
    EXPECT_FLOAT_EQ(dst.hw.bottom_v, 1.0f);
}

}  // namespace
