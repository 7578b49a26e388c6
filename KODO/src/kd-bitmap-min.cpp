// The part of the bitmap table that the renderer needs:
// records, bitmaps created in memory or as render targets, uploading and
// releasing their textures (directly on the main thread, through the two
// queues from other threads), the cache-mode changes that do not load from
// a file, recreation after a renderer re-initialisation, and release at
// exit. Loading by name, lookups and sequences come with the bitmap table.
//
// Allocation: pixel buffers come from malloc (as the image codecs' do);
// frame arrays and atlas records, which the sequence loader will create,
// are released here with free().
#include <stdlib.h>
#include <string.h>

#include "kd-internal.h"
#include "rendimp.h"

// Queues of work that must run on the main thread, under RESOURCE_QUEUE.
static nArray<kd_bitmap_t*> upload_queue;
static nArray<kd_bitmap_hw_data_t*> release_queue;

// Loading a reloadable bitmap by its name; with the bitmap
// table. Declared here, defined with the stubs until then.
void KDI_LoadBitmap(kd_bitmap_t* bm);

static const int kMaxRefCount = 4096;
static const int kMaxBitmapSide = 16384;

static bool IsPlaceholder(const kd_bitmap_t* bm) { return !bm || !bm->name || bm->name[0] == '!'; }

static void TraceCount(const char* format, const kd_bitmap_t* bm) {
    if (kd_state.print_reference_count_changes) KD_PrintDebugf(KD_LOG_INFO, format, bm->name, bm->ref_count);
}

static bool OnRendererThread() { return KD_IsMainThread() || (ri && ri->IsThreadSafe()); }

void KDI_InitBitmap(kd_bitmap_t* bm, const char* name) {
    if (!bm) return;
    memset(bm, 0, sizeof *bm);
    bm->name = nStringDuplicate(name ? name : "");
    bm->ref_count = 1;
    bm->state = KD_BITMAP_REGISTERED;
    bm->mutex = kd_state.core_mutexes[KD_MUTEX_SHARED_BITMAP];
}

kd_bitmap_t* KD_CreateBitmap(const char* name, int width, int height, int render_target) {
    if (!name) name = "";
    if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
        KD_PrintDebugf(KD_LOG_WARNING, "KD_CreateBitmap '%s': size %dx%d is not usable (1..%d a side).\n", name,
                       width, height, kMaxBitmapSide);
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
    KD_Printf("..creating bitmap '%s' (%dx%d)\n", name, width, height);
    if (slot >= KD_MAX_BITMAPS) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        KD_Popupf(1, " ! Kodo out of free bitmaps.\n");
        return nullptr;
    }
    if (slot == kd_state.num_bitmaps) kd_state.num_bitmaps++;
    kd_bitmap_t* bm = &kd_state.bitmaps[slot];
    KDI_InitBitmap(bm, name);
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
        KD_Printf("Renderer implementation lost, trying to regain...\n");
        return;
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
    if (strstr(bm->name, "http://")) return;  // downloads come with the bitmap table
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

void KD_SetBitmapCacheMode(kd_bitmap_t* bm, int mode) {
    if (IsPlaceholder(bm) || bm->parent || mode == bm->cache_mode) return;
    bool reloadable = (bm->flags & KD_BITMAP_RELOADABLE) != 0;
    if (!reloadable && !bm->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap '%s' not reloadable, can't change cache mode.\n", bm->name);
        return;
    }
    if (kd_state.reference_counting && bm->ref_count < 1) bm->cache_mode = (int8_t)mode;
    KD_LockMutex(bm->mutex);
    if (reloadable && (mode & (KD_CACHE_SOFTWARE | KD_CACHE_TEXTURE)) && !bm->pixels &&
        !(bm->atlas && bm->atlas->pixels)) {
        bm->state = KD_BITMAP_REGISTERED;
        KDI_LoadBitmap(bm);
    }
    if ((mode & KD_CACHE_TEXTURE) && !bm->hw.loaded) {
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
            KD_UnlockMutex(bm->mutex);
            return;
        }
        KDI_ReleaseBitmapSoftwareData(bm);
    }
    if (bm->hw.loaded) {
        if (mode & KD_CACHE_TEXTURE) {
            bm->cache_mode = (int8_t)mode;
            KD_UnlockMutex(bm->mutex);
            return;
        }
        KDI_ReleaseBitmapHardwareData(bm);
    }
    if (mode == 0) {
        KDI_ReleaseBitmapStructures(bm);
        bm->state = KD_BITMAP_REGISTERED;
    }
    bm->cache_mode = (int8_t)mode;
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
    if (kd_state.reference_counting) {
        bm->ref_count--;
        TraceCount("ReleaseBitmap: '%s' ref count--: now %d", bm);
        bool no_popups = KDI_FeatureExists("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
        if ((bm->flags & KD_BITMAP_COUNTED_BY_GET) && bm->ref_count == 0 && !no_popups)
            KD_Popupf(1,
                      "Releasing bitmap '%s' too many times: ref counting will get messed up. NOTE: bitmap has been "
                      "accessed using GetBitmap which increses ref count by 1 once.",
                      bm->name);
        if (bm->ref_count > 0) {
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return;
        }
        if (bm->ref_count < 0) {
            bm->ref_count = 0;
            if (!no_popups) KD_Popupf(1, "Bitmap '%s' reference count less than zero.\n", bm->name);
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            return;
        }
        if (bm->flags & KD_BITMAP_RELOADABLE) {
            KD_Printf("Hibernating bitmap '%s'..\n", bm->name);
            KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
            KD_SetBitmapCacheMode(bm, 0);
            return;
        }
    }
    KD_Printf("Releasing bitmap '%s'..\n", bm->name);
    if (!OnRendererThread()) {
        KD_Popupf(2, "KD_ReleaseBitmap '%s' without reference counting is not possible from non-main thread.\n",
                  bm->name);
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        return;
    }
    if (bm->state == KD_BITMAP_FREE) {
        KD_PrintDebugf(KD_LOG_WARNING, "Trying to release null bitmap.\n");
        KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
        return;
    }
    kd_mutex_t* m = bm->mutex;
    KD_LockMutex(m);
    bm->state = KD_BITMAP_FREE;
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

// ------------------------------------------------ renderer life cycle

// Under GFX_HW and RESOURCE_QUEUE (KDI_InitRendImp).
void KDI_RecreateBitmapsAfterInit() {
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (IsPlaceholder(bm)) continue;
        if (kd_state.reference_counting && bm->ref_count <= 0) continue;
        if (upload_queue.Find(bm) >= 0) {
            KD_Printf("Bitmap '%s' already queued for upload.\n", bm->name);
            continue;
        }
        KD_Printf("Recreate Bitmap '%s' refc %d..\n", bm->name, bm->ref_count);
        if (bm->flags & KD_BITMAP_RENDER_TARGET) {
            ri->CreateBitmap(bm);
            if (kd_prog && kd_prog->EventProc) {
                kd_event_t e;
                memset(&e, 0, sizeof e);
                e.type = KD_EVENT_RENDER_TARGET_RESTORE;
                e.id = (intptr_t)bm;
                kd_prog->EventProc(e);
            }
        } else {
            int mode = bm->cache_mode;
            bm->cache_mode = (int8_t)-1;  // unknown: every bit set
            KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
            // The upload runs on this thread and takes GFX_HW itself; the
            // queue lock is not needed for it and is kept.
            KD_SetBitmapCacheMode(bm, mode);
            KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        }
        KD_SetBitmapFrame(bm, 0);
    }
}

void KDI_RefreshFontsAfterInit();

// Under GFX_HW and GET_BITMAP (KDI_ShutdownRendImp).
void KDI_FreeHardwareDataForShutdown() {
    if (!ri) return;
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (!bm->name) continue;
        KD_LockMutex(bm->mutex);
        if (bm->frame_count < 1 || !bm->frames) {
            ri->FreeBitmap(&bm->hw);
        } else if (bm->atlas) {
            ri->FreeBitmap(&bm->atlas->hw);
        } else {
            bm->pixels = nullptr;
            for (int f = 0; f < bm->frame_count; f++)
                if (!bm->frames[f].parent) ri->FreeBitmap(&bm->frames[f].hw);
        }
        KD_UnlockMutex(bm->mutex);
    }
    // Font pages come with the font table.

    // Textures queued for release by other threads belong to this device:
    // freed now, so that no stale name reaches the next one.
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    for (int i = 0; i < release_queue.count; i++) {
        ri->FreeBitmap(release_queue[i]);
        delete release_queue[i];
    }
    release_queue.count = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
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

// The frame's main-thread resource work.
void KDI_ProcessResourceQueues() {
    if (!ri || !kd_state.renderer_ready) return;
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    nArray<kd_bitmap_hw_data_t*> released = release_queue;
    release_queue.count = 0;
    nArray<kd_bitmap_t*> uploads = upload_queue;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    if (released.count == 0 && uploads.count == 0) return;

    unsigned int t0 = KD_GetTime();
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    for (int i = 0; i < released.count; i++) {
        kd_bitmap_hw_data_t* hw = released[i];
        KD_Printf("Freeing bitmap hardware data %dx%d.\n", hw->tex_width, hw->tex_height);
        ri->FreeBitmap(hw);
        delete hw;
    }
    for (int i = 0; i < uploads.count; i++) {
        if (i > 0 && KD_GetTime() - t0 >= 51) break;  // the rest waits for the next frame
        kd_bitmap_t* bm = uploads[i];
        if (bm && bm->name) {
            KD_LockMutex(bm->mutex);
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
            KD_UnlockMutex(bm->mutex);
        }
        KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
        upload_queue.Remove(bm);
        KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    }
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
}
