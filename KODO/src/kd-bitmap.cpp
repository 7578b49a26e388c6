// The bitmap table: 768 records in the engine state, looked up by name and
// reference-counted; the cache modes that decide whether pixels and a
// texture are held; loading by name through the image loader (sequences in
// kd-bitmap-seq.cpp); and the two queues through which texture work that
// must run on the main thread is handed over from other threads.
//
// Locks (their order is kd-internal.h's): GET_BITMAP guards the table
// (search, slots, reference counts), the record's mutex (SHARED_BITMAP) its
// flags, pixels, frames, hw data and cache mode, GFX_HW the renderer calls,
// RESOURCE_QUEUE the queues. A record that is
// being loaded keeps its mutex from creation until the load is done, and
// every lookup that wants it loaded passes through that mutex, so no thread
// is handed a half-made bitmap.
//
// Allocation: pixel buffers come from malloc (as the image codecs' do);
// frame arrays and atlas records come from calloc and go with free().
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <atomic>
#include <string>

#include "kd-bitmap-seq.h"
#include "kd-file.h"
#include "kd-http.h"
#include "kd-image.h"
#include "kd-settings.h"
#include "kd-xmldb.h"
#include "rendimp.h"

// Queues of work that must run on the main thread, under RESOURCE_QUEUE.
static nArray<kd_bitmap_t*> upload_queue;
static nArray<kd_bitmap_hw_data_t*> release_queue;

static unsigned int (*queue_clock)() = KD_GetTime;

void KDI_SetResourceQueueClock(unsigned int (*clock)()) { queue_clock = clock ? clock : KD_GetTime; }

int KDI_GetUploadQueueLength() {
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    int n = upload_queue.count;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    return n;
}

bool KDI_IsInUploadQueue(kd_bitmap_t* bm) {
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    bool in = upload_queue.Find(bm) >= 0;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    return in;
}

static const int kMaxRefCount = 4096;

static bool IsPlaceholder(const kd_bitmap_t* bm) { return !bm || !bm->name || bm->name[0] == '!'; }

static void TraceCount(const char* format, const kd_bitmap_t* bm) {
    if (kd_state.print_reference_count_changes) KD_PrintDebugf(KD_LOG_INFO, format, bm->name, bm->ref_count);
}

static bool OnRendererThread() { return KD_IsMainThread() || (ri && ri->IsThreadSafe()); }

// ------------------------------------------------------------ memory bound

// What all bitmaps hold (KD_BITMAPS_MAX_BYTES), made or loaded: each
// record's held_bytes, from its making or loading until its pixels and
// texture are gone. An atomic, so that loader threads holding a record's
// mutex take from it without the table's lock.
static std::atomic<int64_t> held_bytes{0};
enum BoundRoute { kMadeRoute, kLoadedRoute, kBoundRoutes };
static std::atomic<bool> bound_reported[kBoundRoutes];

static bool Fits(int64_t bytes) { return held_bytes.load() + bytes <= KD_BITMAPS_MAX_BYTES; }

// Reports a refusal, once for each route.
static void RefuseForBound(const char* name, int64_t bytes, BoundRoute route) {
    if (bound_reported[route].exchange(true)) return;
    KD_PrintDebugf(
        KD_LOG_WARNING,
        "%s '%s': its %lld KB would take the bitmaps past the %lld MB they may hold together; not %s (and no "
        "more lines on this).\n",
        route == kMadeRoute ? "KD_CreateBitmap" : "Bitmap", name, (long long)(bytes >> 10), KD_BITMAPS_MAX_BYTES >> 20,
        route == kMadeRoute ? "made" : "loaded");
}

// Takes `bytes` from the bound; false when they do not fit.
static bool Reserve(int64_t bytes) {
    int64_t now = held_bytes.load();
    do {
        if (now + bytes > KD_BITMAPS_MAX_BYTES) return false;
    } while (!held_bytes.compare_exchange_weak(now, now + bytes));
    return true;
}

// The table's slots are full: said once (a script loading names without
// end would say it at every call).
static void RefuseForSlots() {
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true)) KD_Popupf(1, " ! Kodo out of free bitmaps (no more lines on this).\n");
}

static void GiveBack(kd_bitmap_t* bm) {
    held_bytes -= bm->held_bytes;
    bm->held_bytes = 0;
}

int64_t KDI_GetBitmapsHeldBytes() { return held_bytes.load(); }

static int64_t PixelBytes(const kd_bitmap_t* b) {
    return (int64_t)(b->pb_width > 0 ? b->pb_width : b->width) * (b->pb_height > 0 ? b->pb_height : b->height) * 4;
}

// The pixels a loaded bitmap holds: its own, its atlas's or its frames'.
static int64_t LoadedBytes(const kd_bitmap_t* bm) {
    if (bm->atlas) return PixelBytes(bm->atlas);
    if (bm->frame_count < 1 || !bm->frames) return PixelBytes(bm);
    int64_t n = 0;
    for (int i = 0; i < bm->frame_count; i++)
        if (!bm->frames[i].parent) n += PixelBytes(&bm->frames[i]);
    return n;
}

void KDI_InitBitmap(kd_bitmap_t* bm, const char* name) {
    if (!bm) return;
    memset(bm, 0, sizeof *bm);
    bm->name = nStringDuplicate(name ? name : "");
    bm->ref_count = 1;
    bm->state = KD_BITMAP_REGISTERED;
    bm->mutex = kd_state.core_mutexes[KD_MUTEX_SHARED_BITMAP];
}

static std::string LookupKey(const char* name);

kd_bitmap_t* KD_CreateBitmap(const char* name, int width, int height, int render_target) {
    // Named as a loaded one is, so that a lookup of the name finds it.
    const std::string key = LookupKey(name ? name : "");
    name = key.c_str();
    // No larger than a texture the renderer can make: a render target is
    // one, and pixels are made to be drawn (a side of 16384 would take 1 GB).
    const int max_side = ri ? ri->GetMaxTextureSide() : KD_RENDERER_MAX_TEXTURE_SIDE;
    if (width < 1 || height < 1 || width > max_side || height > max_side) {
        KD_PrintDebugf(KD_LOG_WARNING, "KD_CreateBitmap '%s': size %dx%d is not usable (1..%d a side).\n", name, width,
                       height, max_side);
        return nullptr;
    }
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    int slot = 0;
    for (; slot < kd_state.num_bitmaps && kd_state.bitmaps[slot].name; slot++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[slot];
        if (name[0] && strcmp(bm->name, name) == 0) {
            bm->ref_count++;
            TraceCount("'%s' ref count++: now %d", bm);
            if (bm->ref_count > kMaxRefCount) {
                bm->ref_count = kMaxRefCount;
                KD_Popupf(1, "Bitmap '%s' reference count suspiciously high: capping at %d.\n", bm->name,
                          kMaxRefCount);
            }
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return bm;
        }
    }
    // Each is bounded by its side, all bitmaps by their bytes (768 slots
    // of the largest would be 48 GB).
    const int64_t bytes = (int64_t)width * height * 4;
    const bool room = slot < KD_MAX_BITMAPS && Reserve(bytes);
    if (!room) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        if (slot >= KD_MAX_BITMAPS)
            RefuseForSlots();
        else
            RefuseForBound(name, bytes, kMadeRoute);
        return nullptr;
    }
    KD_Printf("..creating bitmap '%s' (%dx%d)\n", name, width, height);
    if (slot == kd_state.num_bitmaps) kd_state.num_bitmaps++;
    kd_bitmap_t* bm = &kd_state.bitmaps[slot];
    KDI_InitBitmap(bm, name);
    bm->held_bytes = bytes;
    TraceCount("'%s' ref count = %d", bm);
    KD_LockMutex(bm->mutex);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
    bm->width = bm->pb_width = width;
    bm->height = bm->pb_height = height;
    bm->pack_mode = KD_PACK_NONE;
    bm->flags &= ~KD_BITMAP_RELOADABLE;
    if (!render_target) {
        bm->flags &= ~KD_BITMAP_RENDER_TARGET;
        bm->pixels = (uint8_t*)malloc((size_t)width * (size_t)height * 4);
        if (!bm->pixels)
            KD_PrintDebugf(KD_LOG_ERROR, "KD_CreateBitmap '%s': no memory for %dx%d pixels.\n", name, width, height);
        bm->cache_mode = KD_CACHE_BOTH;
    } else {
        bm->flags |= KD_BITMAP_RENDER_TARGET;
        if (OnRendererThread()) {
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
            if (ri && kd_state.renderer_ready) ri->CreateBitmap(bm);
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        } else {
            KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
            upload_queue.InsertLast(bm);
            KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        }
    }
    bm->state = KD_BITMAP_READY;
    KD_UnlockMutex(bm->mutex);
    return bm;
}

// ------------------------------------------------------- hardware data

// Caller holds RESOURCE_QUEUE.
static void QueueHardwareDataRelease(kd_bitmap_t* bm) {
    if (!bm->hw.loaded) {
        KD_Popupf(1, "KDI_QueueBitmapHardwareDataRelease: Bitmap '%s' hw data is not ready. No reason to release.",
                  bm->name ? bm->name : "");
        return;
    }
    kd_bitmap_hw_data_t* copy = new kd_bitmap_hw_data_t(bm->hw);
    release_queue.InsertLast(copy);
    memset(&bm->hw, 0, sizeof bm->hw);
}

void KDI_QueueBitmapHardwareDataRelease(kd_bitmap_t* bm) {
    if (bm) QueueHardwareDataRelease(bm);
}

void KDI_LoadBitmapToHardware(kd_bitmap_t* bm) {
    if (!bm) return;
    if (!OnRendererThread()) {
        KD_PrintDebugf(KD_LOG_WARNING, "Adding bitmap '%s' to hardware upload queue.\n", bm->name ? bm->name : "");
        KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        if (upload_queue.Find(bm) < 0) upload_queue.InsertLast(bm);
        KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        return;
    }
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_LoadBitmapToHardware '%s'\n", bm->name ? bm->name : "");
    if (!ri) {
        // The caller holds GFX_HW; a re-initialisation on the main thread
        // may be putting a renderer back.
        KD_Printf("Renderer implementation lost, trying to regain...\n");
        bool regained = false;
        for (int attempt = 1; attempt <= 10 && !regained; attempt++) {
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
            KDT_Sleep(100);
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
            if (ri && kd_state.renderer_ready) {
                KD_Printf("Renderer reclaimed at try #%d.\n", attempt);
                regained = true;
            }
        }
        if (!regained) return;
    }
    if (bm->frame_count < 1) {
        if (!ri->LoadBitmap(bm))
            KD_PrintDebugf(KD_LOG_WARNING, "Unable to upload bitmap '%s' to renderer.\n", bm->name ? bm->name : "");
        return;
    }
    if (!bm->frames) return;
    if (bm->atlas) {
        ri->LoadBitmap(bm->atlas);
        for (int i = 0; i < bm->frame_count; i++) {
            kd_bitmap_t* f = &bm->frames[i];
            float l = f->hw.left_u, t = f->hw.top_v, r = f->hw.right_u, b = f->hw.bottom_v;
            f->hw = bm->atlas->hw;
            f->hw.left_u = l;
            f->hw.top_v = t;
            f->hw.right_u = r;
            f->hw.bottom_v = b;
        }
    } else {
        for (int i = 0; i < bm->frame_count; i++) {
            kd_bitmap_t* f = &bm->frames[i];
            if (!f->parent)
                ri->LoadBitmap(f);
            else
                f->hw = f->parent->hw;
        }
    }
    KD_SetBitmapFrame(bm, bm->frame_number);
}

void KDI_ReleaseBitmapHardwareData(kd_bitmap_t* bm) {
    if (IsPlaceholder(bm)) return;
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_ReleaseBitmapHardwareData '%s'\n", bm->name);
    if (OnRendererThread()) {
        // A pending upload of a bitmap whose texture goes is dropped too.
        KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        upload_queue.Remove(bm);
        KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        if (ri) {
            kd_bitmap_t* target = bm;
            while (target->atlas) target = target->atlas;
            if (target->frame_count < 1 || !target->frames) {
                ri->FreeBitmap(&target->hw);
                memset(&target->hw, 0, sizeof target->hw);
            } else {
                for (int i = 0; i < target->frame_count; i++) {
                    kd_bitmap_t* f = &target->frames[i];
                    if (!f->parent) ri->FreeBitmap(&f->hw);
                    memset(&f->hw, 0, sizeof f->hw);
                }
                memset(&target->hw, 0, sizeof target->hw);
            }
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        return;
    }
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_ReleaseBitmapHardwareData queuing '%s'\n", bm->name);
    if (upload_queue.Remove(bm)) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' still in hardware upload queue. Removing it.", bm->name);
    } else if (bm->atlas) {
        QueueHardwareDataRelease(bm->atlas);
    } else if (bm->frame_count > 0 && bm->frames) {
        for (int i = 0; i < bm->frame_count; i++)
            if (!bm->frames[i].parent) QueueHardwareDataRelease(&bm->frames[i]);
        memset(&bm->hw, 0, sizeof bm->hw);
    } else {
        QueueHardwareDataRelease(bm);
    }
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
}

void KDI_ReleaseBitmapSoftwareData(kd_bitmap_t* bm) {
    kd_bitmap_t* at = bm;
    for (;;) {
        if (IsPlaceholder(at)) return;
        KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_ReleaseBitmapSoftwareData '%s'\n", at->name);
        if (!at->atlas) break;
        at = at->atlas;
    }
    if (at->frame_count < 1 || !at->frames) {
        free(at->pixels);
        at->pixels = nullptr;
        return;
    }
    for (int i = 0; i < at->frame_count; i++) {
        kd_bitmap_t* f = &at->frames[i];
        if (!f->parent) free(f->pixels);
        f->pixels = nullptr;
    }
    at->pixels = nullptr;  // mirrored from a frame
}

void KDI_ReleaseBitmapStructures(kd_bitmap_t* bm) {
    if (IsPlaceholder(bm)) return;  // atlas records carry an empty name and pass
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_ReleaseBitmapStructures '%s'\n", bm->name);
    if (bm->frames) {
        for (int i = 0; i < bm->frame_count; i++) {
            kd_bitmap_t* f = &bm->frames[i];
            f->atlas = nullptr;
            KDI_ReleaseBitmapStructures(f);
            free(f->name);  // frames loaded from files carry their file name
            f->name = nullptr;
            if (kd_state.developer_mode) memset(f, 0, sizeof *f);
        }
        free(bm->frames);
    }
    bm->frames = nullptr;
    bm->frame_count = 0;
    memset(&bm->hw, 0, sizeof bm->hw);
    if (bm->atlas) {
        kd_bitmap_t* atlas = bm->atlas;
        KDI_ReleaseBitmapStructures(atlas);
        free(atlas->name);
        free(atlas);
        bm->atlas = nullptr;
    }
}

// ------------------------------------------------------------ operations

void KD_SetBitmapFrame(kd_bitmap_t* bm, int index) {
    if (!bm || bm->frame_count == 0 || !bm->frames) return;
    int frame = bm->frame_count == -1 ? 0 : (index < 0 ? 0 : index) % bm->frame_count;
    kd_bitmap_t* f = &bm->frames[frame];
    bm->width = f->width;
    bm->height = f->height;
    bm->flags = (int16_t)((bm->flags & ~KD_BITMAP_HAS_ALPHA) | (f->flags & KD_BITMAP_HAS_ALPHA));
    bm->pixels = f->pixels;
    bm->hw = f->hw;
}

void KD_RefreshBitmap(kd_bitmap_t* bm) {
    if (!bm || !bm->name) return;
    if (strstr(bm->name, "http://")) {
        KD_DeleteFile(KDI_HttpCacheName(bm->name).c_str());
        int mode = bm->cache_mode;
        KD_SetBitmapCacheMode(bm, 0);
        KD_SetBitmapCacheMode(bm, mode);
        return;
    }
    if (!OnRendererThread()) {
        KD_Popupf(1,
                  "Refreshing bitmaps from another thread than main has not been tested properly yet. Not "
                  "refreshing bitmap.\n");
        return;
    }
    KD_LockMutex(bm->mutex);
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    bm->state = KD_BITMAP_LOADING;
    KDI_LoadBitmapToHardware(bm);
    bm->state = KD_BITMAP_READY;
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    KD_UnlockMutex(bm->mutex);
}

// The cache-mode change with the record's mutex held by the caller.
// `hibernated`: counting is on and nothing counts the bitmap, as the caller
// read it under GET_BITMAP.
static void SetCacheModeLocked(kd_bitmap_t* bm, int mode, bool hibernated) {
    if (IsPlaceholder(bm) || bm->parent || mode == bm->cache_mode) return;
    bool reloadable = (bm->flags & KD_BITMAP_RELOADABLE) != 0;
    if (!reloadable && !bm->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' not reloadable, can't change cache mode.\n", bm->name);
        return;
    }
    if (hibernated) bm->cache_mode = (int8_t)mode;
    if (reloadable && (mode & (KD_CACHE_SOFTWARE | KD_CACHE_TEXTURE)) && !bm->pixels &&
        !(bm->atlas && bm->atlas->pixels)) {
        bm->state = KD_BITMAP_REGISTERED;
        KDI_LoadBitmap(bm);
    }
    // A load that failed or was refused (said once) leaves nothing to upload.
    const bool nothing = reloadable && !bm->pixels && !bm->frames && !bm->atlas;
    if ((mode & KD_CACHE_TEXTURE) && !bm->hw.loaded && !nothing) {
        if (OnRendererThread()) {
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
            KDI_LoadBitmapToHardware(bm);
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        } else {
            KDI_LoadBitmapToHardware(bm);  // queues
        }
    }
    if (reloadable && !(mode & KD_CACHE_SOFTWARE)) {
        if (!bm->hw.loaded && (mode & KD_CACHE_TEXTURE)) {
            bm->cache_mode = (int8_t)mode;  // the pending upload needs the pixels
            return;
        }
        KDI_ReleaseBitmapSoftwareData(bm);
    }
    if (bm->hw.loaded) {
        if (mode & KD_CACHE_TEXTURE) {
            bm->cache_mode = (int8_t)mode;
            return;
        }
        KDI_ReleaseBitmapHardwareData(bm);
    } else if (!(mode & KD_CACHE_TEXTURE)) {
        // An upload still waiting for the main thread is no longer wanted.
        KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        if (upload_queue.Remove(bm))
            KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' still in hardware upload queue. Removing it.", bm->name);
        KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    }
    if (mode == 0) {
        KDI_ReleaseBitmapStructures(bm);
        bm->state = KD_BITMAP_REGISTERED;
        if (reloadable) GiveBack(bm);  // a made bitmap keeps its pixels
    }
    bm->cache_mode = (int8_t)mode;
}

// Whether nothing counts the bitmap. Caller holds GET_BITMAP.
static bool Hibernated(const kd_bitmap_t* bm) { return kd_state.reference_counting && bm->ref_count < 1; }

void KD_SetBitmapCacheMode(kd_bitmap_t* bm, int mode) {
    if (IsPlaceholder(bm) || bm->parent) return;
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    bool hibernated = Hibernated(bm);
    // The comparison is made under the mutex: a load in progress on another
    // thread finishes first, and what it left decides.
    KD_LockMutex(bm->mutex);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
    SetCacheModeLocked(bm, mode, hibernated);
    KD_UnlockMutex(bm->mutex);
}

void KD_ReleaseBitmap(kd_bitmap_t* bm) {
    if (IsPlaceholder(bm)) return;
    if (bm == kd_state.render_target) {
        KD_Popupf(1,
                  "KD_ReleaseBitmap: Releasing current render target bitmap '%s' is not allowed. Please fix your "
                  "application code to first set the render target to NULL.\n",
                  bm->name);
        KD_SetRenderTarget(nullptr);
    }
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    kd_mutex_t* m = bm->mutex;
    if (kd_state.reference_counting) {
        bm->ref_count--;
        TraceCount("ReleaseBitmap: '%s' ref count--: now %d", bm);
        if (bm->ref_count > 0) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return;
        }
    }
    // The count is the table's, the flags below are the record's.
    KD_LockMutex(m);
    if (kd_state.reference_counting) {
        bool no_popups = KDI_FeatureExists("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
        if ((bm->flags & KD_BITMAP_COUNTED_BY_GET) && bm->ref_count == 0 && !no_popups)
            KD_Popupf(1,
                      "Releasing bitmap '%s' too many times: ref counting will get messed up. NOTE: bitmap has been "
                      "accessed using GetBitmap which increses ref count by 1 once.",
                      bm->name);
        if (bm->ref_count < 0) {
            bm->ref_count = 0;
            if (!no_popups) KD_Popupf(1, "Bitmap '%s' reference count less than zero.\n", bm->name);
            KD_UnlockMutex(m);
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return;
        }
        if (bm->flags & KD_BITMAP_RELOADABLE) {
            KD_Printf("Hibernating bitmap '%s'..\n", bm->name);
            // The table is let go with the record still held: a lookup that
            // counts the bitmap again meanwhile waits for the drop and then
            // loads it again, instead of being handed a bitmap that is
            // emptied under it.
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            // The next Get counts its caller again.
            bm->flags &= ~KD_BITMAP_COUNTED_BY_GET;
            SetCacheModeLocked(bm, 0, true);
            KD_UnlockMutex(m);
            return;
        }
    }
    KD_Printf("Releasing bitmap '%s'..\n", bm->name);
    if (!OnRendererThread()) {
        KD_Popupf(2, "KD_ReleaseBitmap '%s' without reference counting is not possible from non-main thread.\n",
                  bm->name);
        KD_UnlockMutex(m);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        return;
    }
    if (bm->state == KD_BITMAP_FREE) {
        KD_PrintDebugf(KD_LOG_WARNING, "Trying to release null bitmap.\n");
        KD_UnlockMutex(m);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        return;
    }
    bm->state = KD_BITMAP_FREE;
    GiveBack(bm);
    KDI_ReleaseBitmapHardwareData(bm);
    KDI_ReleaseBitmapSoftwareData(bm);
    KDI_ReleaseBitmapStructures(bm);
    free(bm->name);
    bm->name = nullptr;
    KD_UnlockMutex(m);
    if (m && m != kd_state.core_mutexes[KD_MUTEX_SHARED_BITMAP]) KDT_DestroyMutex(m);
    bm->mutex = nullptr;
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
}

// ---------------------------------------------------------------- lookups

// One name for each file: no "." or empty segment, then the path rule
// (KDI_NormalizeFileName: a segment before "/.." dropped with it), so that
// "gfx/./x.png", "gfx//x.png", "gfx\\x.png" and "gfx/x.png" share one
// record and one copy of the pixels. A scheme's "//" stays, and an
// address is the server's to read.
static std::string LookupKey(const char* name) {
    if (!name) return "!NONE";
    if (name[0] == '/') {
        KD_Popupf(1, "Bitmap '%s' name path starting with '/'. Not allowed.", name);
        name++;
    }
    if (name[0] == '!' || strncmp(name, "http://", 7) == 0 || strncmp(name, "https://", 8) == 0) return name;
    const char* scheme = strstr(name, "://");
    const char* rest = scheme ? scheme + 3 : name;
    std::string plain;
    for (const char* at = rest; *at;) {
        size_t n = strcspn(at, "/\\");
        if (n && !(n == 1 && at[0] == '.')) plain.append(plain.empty() ? "" : "/").append(at, n);
        at += n + (at[n] ? 1 : 0);
    }
    std::string rule(plain.size() + 2, '\0');
    KDI_NormalizeFileName(&rule[0], (int)rule.size(), plain.c_str());
    std::string key(name, (size_t)(rest - name));
    key += rule.c_str();
    return key;
}

// Index of the entry named `key`, or -1 with `*slot` set to the slot a new
// entry would take. Caller holds GET_BITMAP.
static int FindEntry(const char* key, int* slot) {
    int first_free = -1;
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        const char* n = kd_state.bitmaps[i].name;
        if (!n) {
            if (first_free < 0) first_free = i;
            continue;
        }
        if (strcmp(n, key) == 0) return i;
    }
    *slot = first_free >= 0 ? first_free : kd_state.num_bitmaps;
    return -1;
}

static int DefaultPackMode() {
    return kd_state.default_pack_mode;
}

// KD_GetBitmapEx (by_get) and KD_LoadBitmap.
static kd_bitmap_t* Lookup(const char* name, int mode, bool by_get) {
    const std::string key_text = LookupKey(name);
    const char* key = key_text.c_str();
    bool placeholder = key[0] == '!';
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    int slot = 0;
    int found = FindEntry(key, &slot);
    if (found >= 0) {
        kd_bitmap_t* bm = &kd_state.bitmaps[found];
        if (mode == KD_CACHE_LOOKUP_ONLY || (by_get && mode == KD_CACHE_NOTHING)) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return bm;
        }
        // The record's flags are counted too; its mutex also makes this
        // wait for a load of the entry running on another thread.
        KD_LockMutex(bm->mutex);
        if (!placeholder) {
            if (by_get) {
                if (!(bm->flags & KD_BITMAP_COUNTED_BY_GET)) {
                    bm->flags |= KD_BITMAP_COUNTED_BY_GET;
                    bm->ref_count++;
                    TraceCount("'%s' ref count++ (GetBitmap): now %d", bm);
                }
            } else if (mode != KD_CACHE_NOTHING) {
                bm->ref_count++;
                TraceCount("'%s' ref count++: now %d", bm);
                if (bm->ref_count > kMaxRefCount) {
                    bm->ref_count = kMaxRefCount;
                    KD_Popupf(1, "Bitmap '%s' reference count suspiciously high: capping at %d.\n", bm->name,
                              kMaxRefCount);
                }
            }
        }
        bool hibernated = Hibernated(bm);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        // Adds `mode` to what the bitmap caches.
        int wanted = (mode | bm->cache_mode) & 0xFF;
        if (!IsPlaceholder(bm) && !bm->parent && wanted != (bm->cache_mode & 0xFF))
            SetCacheModeLocked(bm, wanted, hibernated);
        KD_UnlockMutex(bm->mutex);
        return bm;
    }
    if (mode == KD_CACHE_LOOKUP_ONLY) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        return nullptr;
    }
    if (kd_state.print_reference_count_changes) KD_PrintDebugf(KD_LOG_INFO, "..caching bitmap '%s'", key);
    if (slot >= KD_MAX_BITMAPS) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        RefuseForSlots();
        return nullptr;
    }
    if (slot == kd_state.num_bitmaps) kd_state.num_bitmaps++;
    kd_bitmap_t* bm = &kd_state.bitmaps[slot];
    KDI_InitBitmap(bm, key);
    KD_LockMutex(bm->mutex);
    bool counted = mode != KD_CACHE_NOTHING;
    bm->ref_count = counted ? 1 : 0;
    bm->flags |= KD_BITMAP_RELOADABLE | (by_get && counted ? KD_BITMAP_COUNTED_BY_GET : 0);
    if (counted)
        TraceCount("'%s' ref count = %d", bm);
    else if (kd_state.print_reference_count_changes)
        KD_PrintDebugf(KD_LOG_INFO, "'%s' ref count = 0 (CACHE_NOTHING)", bm->name);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
    bm->pack_mode = (int16_t)DefaultPackMode();
    bm->cache_mode = 0;
    if (counted) {
        // Loaded before the mutex is let go: a lookup of the same name on
        // another thread waits for the finished bitmap.
        SetCacheModeLocked(bm, mode, false);
        KD_SetBitmapFrame(bm, 0);
    }
    KD_UnlockMutex(bm->mutex);
    return bm;
}

kd_bitmap_t* KD_GetBitmapEx(const char* name, int cache_mode) { return Lookup(name, cache_mode, true); }

kd_bitmap_t* KD_GetBitmap(const char* name) {
    return KD_GetBitmapEx(name, kd_state.default_cache_mode);
}

kd_bitmap_t* KD_LoadBitmap(const char* name, int cache_mode) { return Lookup(name, cache_mode, false); }

int KD_SaveBitmap(kd_bitmap_t* bm, const char* path, int quality) {
    if (!bm || !path || !kd_il) return 0;
    KD_LockMutex(bm->mutex);
    int result = 0;
    if (!bm->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "KD_SaveBitmap: bitmap '%s' has no pixels in memory.\n",
                       bm->name ? bm->name : "");
    } else {
        // The pixel buffer's own size: width and height may be the data
        // manifest's drawing size.
        kd_image_t img;
        img.name = bm->name;
        img.width = bm->pb_width > 0 ? bm->pb_width : bm->width;
        img.height = bm->pb_height > 0 ? bm->pb_height : bm->height;
        img.pixels = bm->pixels;
        img.flags = (int16_t)(bm->flags & (KD_BITMAP_HAS_ALPHA | KD_BITMAP_RELOADABLE));
        result = kd_il->SaveImage(&img, path, quality);
    }
    KD_UnlockMutex(bm->mutex);
    return result;
}

// ---------------------------------------------------------------- loading

static bool EndsWithNoCase(const char* s, const char* tail) {
    size_t n = strlen(s), t = strlen(tail);
    return n >= t && strcasecmp(s + n - t, tail) == 0;
}

bool KDI_LoadImageIntoBitmap(kd_bitmap_t* bm, const char* path) {
    if (!bm || !path || !kd_il) return false;
    kd_image_t img;
    memset(&img, 0, sizeof img);
    img.name = bm->name;
    if (!kd_il->LoadImagePixels(&img, path) || !img.pixels) {
        kd_il->FreeImagePixels(&img);
        return false;
    }
    bm->width = bm->pb_width = img.width;
    bm->height = bm->pb_height = img.height;
    bm->pixels = img.pixels;
    const int16_t copied = KD_BITMAP_HAS_ALPHA | KD_BITMAP_RELOADABLE;
    bm->flags = (int16_t)((bm->flags & ~copied) | (img.flags & copied));
    return true;
}

void KDI_UpdateBitmapAccordingToDataManifest(kd_bitmap_t* bm, const char* name) {
    if (!bm) return;
    bm->pb_width = bm->width;
    bm->pb_height = bm->height;
    KD_DMNode* node = name ? KDI_GetDataManifestNode(name) : nullptr;
    if (!node) return;
    const char* w = node->GetValue("w");
    const char* h = node->GetValue("h");
    bm->width = w ? atoi(w) : 32;
    bm->height = h ? atoi(h) : 32;
    const char* pack = node->GetValue("pack_mode");
    if (pack) {
        KD_Printf("Using pack mode '%s'\n", pack);
        if (strcmp(pack, "NO_PADDING") == 0)
            bm->pack_mode = KD_PACK_NONE;
        else if (strcmp(pack, "PAD_EXPAND ") == 0)
            bm->pack_mode = KD_PACK_EXPAND;
        else if (strcmp(pack, "PAD_TRANSPARENT") == 0)
            bm->pack_mode = KD_PACK_TRANSPARENT;
    }
}

void KDI_UpdateBitmapAccordingToDataManifest(kd_bitmap_t* bm) {
    if (bm) KDI_UpdateBitmapAccordingToDataManifest(bm, bm->name);
}

static void MarkFramesReady(kd_bitmap_t* bm) {
    if (!bm->frames) return;
    for (int i = 0; i < bm->frame_count; i++) bm->frames[i].state = KD_BITMAP_READY;
}

bool KDI_LoadBitmapHTTP(kd_bitmap_t* bm, const char* url) {
    if (!bm || !bm->name || !url) return false;
    if (strchr(bm->name, '*')) {
        KD_Popupf(1, "Asterisk character ('*') isn't allowed in http:// url file names such as '%s'\n", bm->name);
        return false;
    }
    if (!KDI_HttpAllowed(url)) return false;  // refused from the cache too
    KD_CreateDirectory("user://cache");
    std::string cache = KDI_HttpCacheName(url);
    kd_file_t* f = KD_OpenFile(cache.c_str(), "rb");
    if (f) {
        KD_CloseFile(f);
        return KDI_LoadImageIntoBitmap(bm, cache.c_str());
    }
    // Decoded before it is kept: a reply that is no picture (an HTML page
    // with status 200, a body cut short where nothing told) is not.
    kd_buffer_t reply;
    nString part;
    if (!KDI_HttpDownload(url, &reply)) return false;
    bool written = KDI_HttpWritePart(cache.c_str(), reply, &part);
    KD_FreeBuffer(&reply);
    if (!written) return false;
    bool ok = KDI_LoadImageIntoBitmap(bm, part.text) && bm->width > 0 && bm->height > 0;
    if (!ok) {
        KD_PrintDebugf(KD_LOG_WARNING, "The download of '%s' is no picture; it is not kept.\n", url);
        KD_DeleteFile(part.text);
        return false;
    }
    KDI_HttpCommitPart(part, cache.c_str());
    return true;
}

void KDI_LoadBitmap(kd_bitmap_t* bm, const char* path) {
    if (!bm || !path || IsPlaceholder(bm) || bm->state != KD_BITMAP_REGISTERED) return;
    bm->state = KD_BITMAP_LOADING;
    if (bm->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' has existing pixel data. Freeing it.\n", bm->name);
        free(bm->pixels);
        bm->pixels = nullptr;
    }
    bm->frame_rate = 30.0f;
    // Counted afresh: what it held before is gone or is loaded again.
    GiveBack(bm);
    // Near the bound a picture's size is read before its pixels, so that
    // one past it is never decoded; sequences and downloads are counted
    // once loaded.
    kd_image_t head;
    memset(&head, 0, sizeof head);
    head.name = bm->name;
    bool picture = EndsWithNoCase(path, ".png") || EndsWithNoCase(path, ".jpg") || EndsWithNoCase(path, ".jpeg") ||
                   EndsWithNoCase(path, ".tga");
    if (picture && !Fits((int64_t)kd_image_max_bytes) && strncmp(path, "http://", 7) != 0 && !strchr(path, '*') &&
        kd_il && kd_il->GetImageDimensions(&head, path) && !Fits((int64_t)head.width * head.height * 4)) {
        RefuseForBound(bm->name, (int64_t)head.width * head.height * 4, kLoadedRoute);
        bm->state = KD_BITMAP_READY;
        return;
    }
    bool ok = false;
    if (strncmp(path, "http://", 7) == 0) {
        ok = KDI_LoadBitmapHTTP(bm, path);
        if (ok) KDI_UpdateBitmapAccordingToDataManifest(bm);
    } else if (EndsWithNoCase(path, ".bms")) {
        ok = KDI_LoadBitmapBMS(bm, path);
        if (ok) {
            KDI_UpdateBitmapSequenceAccordingToDataManifest(bm);
            MarkFramesReady(bm);
        }
    } else if (strchr(path, '*')) {
        ok = KDI_LoadBitmapSequenceFromFiles(bm, bm->name) && bm->frame_count > 0;
        if (ok) {
            KDI_UpdateBitmapSequenceAccordingToDataManifest(bm);
            MarkFramesReady(bm);
        }
    } else {
        ok = KDI_LoadImageIntoBitmap(bm, path);
        if (ok) KDI_UpdateBitmapAccordingToDataManifest(bm);
    }
    if (ok && !Reserve(LoadedBytes(bm))) {
        RefuseForBound(bm->name, LoadedBytes(bm), kLoadedRoute);
        KDI_ReleaseBitmapSoftwareData(bm);
        KDI_ReleaseBitmapStructures(bm);
        bm->state = KD_BITMAP_READY;
        return;
    }
    if (ok) bm->held_bytes = LoadedBytes(bm);
    bm->state = KD_BITMAP_READY;
    if (!ok) KD_Popupf(1, "Unable to load bitmap '%s'.\n", bm->name);
}

void KDI_LoadBitmap(kd_bitmap_t* bm) {
    if (!bm || !bm->name) return;
    const char* name = bm->name;
    const char* slash = strrchr(name, '/');
    const char* dot = strrchr(slash ? slash : name, '.');
    if (dot) {
        KDI_LoadBitmap(bm, name);
        return;
    }
    static const char* const kFormats[] = {"%s.png", "%s.jpg", "%s.bms", "%s.tga"};
    for (const char* format : kFormats) {
        char path[512];
        int n = snprintf(path, sizeof path, format, name);
        if (n < 0 || n >= (int)sizeof path) continue;  // a cut name is another file
        kd_file_t* f = KD_OpenFile(path, "rb");
        if (!f) continue;
        KD_CloseFile(f);
        KDI_LoadBitmap(bm, path);
        return;
    }
}

// ------------------------------------------------------------ sub-bitmaps

kd_bitmap_t* KD_CreateBitmapFromSubBitmap(kd_bitmap_t* dest, kd_bitmap_t* src, float x0, float y0, float x1,
                                          float y1) {
    if (!dest || !src) return dest;
    *dest = *src;
    dest->parent = src;
    dest->atlas = src;
    dest->width = (int)(x1 - x0);
    dest->height = (int)(y1 - y0);
    float L = src->hw.left_u, T = src->hw.top_v, R = src->hw.right_u, B = src->hw.bottom_v;
    float sw = src->width ? (float)src->width : 1.0f, sh = src->height ? (float)src->height : 1.0f;
    dest->hw.left_u = L + x0 / sw * (R - L);
    dest->hw.top_v = T + y0 / sh * (B - T);
    dest->hw.right_u = L + x1 / sw * (R - L);
    dest->hw.bottom_v = T + y1 / sh * (B - T);
    return dest;
}

long KDI_GetBitmapGPUMemoryUsageEstimate(kd_bitmap_t* bm, bool software) {
    if (!bm) return 0;
    long pixels;
    if (bm->frame_count > 0 && bm->atlas) {
        kd_bitmap_t* a = bm->atlas;
        pixels = software ? (long)a->width * a->height : (long)a->hw.tex_width * a->hw.tex_height;
    } else if (bm->frame_count > 0) {
        pixels = software ? (long)bm->width * bm->height * bm->frame_count
                          : (long)bm->hw.tex_width * bm->hw.tex_height * bm->frame_count;
    } else {
        pixels = software ? (long)bm->width * bm->height : (long)bm->hw.tex_width * bm->hw.tex_height;
    }
    return 4 * pixels;
}

// ------------------------------------------------ renderer life cycle

// After the renderer started (KDI_InitRendImp), with no lock held. Each
// record is recreated under its own mutex, taken before the table is let
// go; the program hears of a restored render target with nothing locked,
// so that it may look bitmaps up and draw.
void KDI_RecreateBitmapsAfterInit() {
    for (int i = 0;; i++) {
        KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
        if (i >= kd_state.num_bitmaps) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            break;
        }
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (IsPlaceholder(bm) || (kd_state.reference_counting && bm->ref_count <= 0)) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            continue;
        }
        int refs = bm->ref_count;  // the count is the table's
        bool hibernated = Hibernated(bm);
        KD_LockMutex(bm->mutex);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        if (KDI_IsInUploadQueue(bm)) {
            KD_Printf("Bitmap '%s' already queued for upload.\n", bm->name);
            KD_UnlockMutex(bm->mutex);
            continue;
        }
        KD_Printf("Recreate Bitmap '%s' refc %d..\n", bm->name, refs);
        bool render_target = (bm->flags & KD_BITMAP_RENDER_TARGET) != 0;
        if (render_target) {
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
            ri->CreateBitmap(bm);
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        } else {
            int mode = bm->cache_mode;
            bm->cache_mode = (int8_t)-1;  // unknown: every bit set
            SetCacheModeLocked(bm, mode, hibernated);
        }
        KD_SetBitmapFrame(bm, 0);
        KD_UnlockMutex(bm->mutex);
        if (render_target && kd_prog && kd_prog->EventProc) {
            kd_event_t e;
            memset(&e, 0, sizeof e);
            e.type = KD_EVENT_RENDER_TARGET_RESTORE;
            e.id = (intptr_t)bm;
            kd_prog->EventProc(e);
        }
    }
}

void KDI_RefreshFontsAfterInit();

// A copy of a texture's record whose texture is gone: the texture
// coordinates stay, the names go.
static void ForgetTextureCopy(kd_bitmap_hw_data_t* hw) {
    hw->loaded = 0;
    hw->texture = 0;
    hw->framebuffer = 0;
}

// Under GET_BITMAP (KDI_ShutdownRendImp); takes each record's mutex, then
// GFX_HW.
void KDI_FreeHardwareDataForShutdown() {
    if (!ri) return;
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (!bm->name) continue;
        KD_LockMutex(bm->mutex);
        KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        if (bm->frame_count < 1 || !bm->frames) {
            ri->FreeBitmap(&bm->hw);
        } else {
            if (bm->atlas) {
                ri->FreeBitmap(&bm->atlas->hw);
            } else {
                bm->pixels = nullptr;
                for (int f = 0; f < bm->frame_count; f++)
                    if (!bm->frames[f].parent) ri->FreeBitmap(&bm->frames[f].hw);
            }
            // The frames and the sequence's own record hold copies of the
            // texture's name: they must say "not loaded" too, or the next
            // device draws them from whatever texture gets that name.
            ForgetTextureCopy(&bm->hw);
            for (int f = 0; f < bm->frame_count; f++) ForgetTextureCopy(&bm->frames[f].hw);
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        KD_UnlockMutex(bm->mutex);
    }
    // Font pages are the font table's own.

    // Textures queued for release by other threads belong to this device:
    // freed now, so that no stale name reaches the next one.
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    for (int i = 0; i < release_queue.count; i++) {
        ri->FreeBitmap(release_queue[i]);
        delete release_queue[i];
    }
    release_queue.count = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
}

void KDI_ReleaseBitmapsAtExit() {
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (IsPlaceholder(bm)) continue;
        if (!kd_state.reference_counting) {
            KD_ReleaseBitmap(bm);
        } else if (bm->ref_count != 0) {
            KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' Reference count %d at exit, releasing...\n", bm->name,
                           bm->ref_count);
            bm->ref_count = 1;
            bm->flags &= ~KD_BITMAP_COUNTED_BY_GET;
            KD_ReleaseBitmap(bm);
        }
    }
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    upload_queue.count = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
}

// Last step of the table at shutdown, once the renderer is gone (textures
// went with KDI_FreeHardwareDataForShutdown): the slots that shutdown leaves
// in place (hibernated and uncounted ones) give back their memory, which
// the next start-up would otherwise drop when it zeroes the state.
void KDI_FreeBitmapTable() {
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (!bm->name || bm->parent) continue;  // a sub-bitmap shares its parent's memory
        if (bm->frames || bm->atlas) {
            bm->pixels = nullptr;  // mirrored from a frame or the atlas
            KDI_FreeBitmapFrames(bm);
        }
        free(bm->pixels);
        bm->pixels = nullptr;
        free(bm->name);
        bm->name = nullptr;
        bm->state = KD_BITMAP_FREE;
        GiveBack(bm);
    }
}

// The frame's main-thread resource work, after present: textures
// released by other threads are freed, then queued uploads run until more
// than KD_UPLOAD_BUDGET_MS have passed; the rest waits for the next frame.
void KDI_ProcessResourceQueues() {
    if (!ri || !kd_state.renderer_ready || kd_state.reinit_pending) return;
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    nArray<kd_bitmap_hw_data_t*> released = release_queue;
    release_queue.count = 0;
    nArray<kd_bitmap_t*> uploads = upload_queue;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    if (released.count == 0 && uploads.count == 0) return;

    unsigned int t0 = queue_clock();
    if (released.count) {
        KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        for (int i = 0; i < released.count; i++) {
            kd_bitmap_hw_data_t* hw = released[i];
            KD_Printf("Freeing bitmap hardware data %dx%d.\n", hw->tex_width, hw->tex_height);
            ri->FreeBitmap(hw);
            delete hw;
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    }
    for (int i = 0; i < uploads.count; i++) {
        kd_bitmap_t* bm = uploads[i];
        // The record's mutex, then GFX_HW (kd-internal.h).
        kd_mutex_t* m = bm ? bm->mutex : nullptr;
        KD_LockMutex(m);
        if (bm && bm->name) {
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
            if (bm->flags & KD_BITMAP_RENDER_TARGET) {
                ri->CreateBitmap(bm);
            } else if (!bm->pixels && !bm->frames) {
                KD_PrintDebugf(KD_LOG_WARNING,
                               "ResourceQueue unpacking Bitmap '%s' data is not valid anymore. Most likely it has "
                               "just been released.",
                               bm->name);
            } else {
                KDI_LoadBitmapToHardware(bm);
                if (!(bm->cache_mode & KD_CACHE_SOFTWARE)) KDI_ReleaseBitmapSoftwareData(bm);
            }
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        }
        KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        upload_queue.Remove(bm);
        KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        KD_UnlockMutex(m);
        if (queue_clock() - t0 > (unsigned)KD_UPLOAD_BUDGET_MS) break;  // the rest waits for the next frame
    }
}
