// Bitmap sequences: one bitmap whose frames are cut from one packed atlas.
// They come from a .bms file or from numbered image files named by a
// pattern with '*'; when a .bms file is missing but numbered frames exist,
// the frames are loaded, duplicates marked, packed and written as the .bms
// file, which is then read back.
//
// A .bms file is read whole into memory and parsed with every count and
// size checked against what is left of it: a frame table, a PNG or an RLE
// image that claims more than the file holds is refused before anything
// is allocated, and a refused file leaves the bitmap without frames.
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "kd-bitmap-seq.h"
#include "kd-file.h"
#include "kd-image.h"
#include "kd-settings.h"
#include "kd-xmldb.h"

namespace {

const char kMagic[13] = "KD_Bm_Seq_v1";
const int kFrameRecordSize = 32;
const int kMaxFrameSide = 16384;

// Little-endian reads over a block that never pass its end.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    Reader(const uint8_t* d, size_t n) : data(d), size(n) {}
    size_t Left() const { return size - pos; }
    bool Bytes(void* dst, size_t n) {
        if (n > Left()) return false;
        memcpy(dst, data + pos, n);
        pos += n;
        return true;
    }
    bool U32(uint32_t* v) {
        uint8_t b[4];
        if (!Bytes(b, 4)) return false;
        *v = (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
        return true;
    }
    bool F32(float* v) {
        uint32_t u;
        if (!U32(&u)) return false;
        memcpy(v, &u, 4);
        return true;
    }
};

void PutU32(FILE* fp, uint32_t v) {
    uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
    fwrite(b, 1, 4, fp);
}

void PutF32(FILE* fp, float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    PutU32(fp, u);
}

bool EndsWithNoCase(const char* s, const char* tail) {
    size_t n = strlen(s), t = strlen(tail);
    return n >= t && strcasecmp(s + n - t, tail) == 0;
}

bool FileOpens(const char* path) {
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) return false;
    KD_CloseFile(f);
    return true;
}

void FreeAtlasRecord(kd_bitmap_t* atlas) {
    if (!atlas) return;
    free(atlas->pixels);
    free(atlas->name);
    free(atlas);
}

}  // namespace

void KDI_FreeBitmapFrames(kd_bitmap_t* bm) {
    if (!bm) return;
    if (bm->frames) {
        for (int i = 0; i < bm->frame_count; i++) {
            kd_bitmap_t* f = &bm->frames[i];
            if (!f->parent) free(f->pixels);
            free(f->name);
        }
        free(bm->frames);
    }
    if (bm->atlas) FreeAtlasRecord(bm->atlas);
    bm->frames = nullptr;
    bm->atlas = nullptr;
    bm->frame_count = 0;
    bm->pixels = nullptr;  // mirrored from a frame
}

// ------------------------------------------------------------------ RLE

bool KDI_ReadRLEBitmapMem(kd_bitmap_t* bm, const uint8_t* data, size_t size, size_t* used) {
    if (used) *used = 0;
    if (!bm || !data) return false;
    Reader r(data, size);
    uint32_t w, h;
    if (!r.U32(&w) || !r.U32(&h)) return false;
    size_t bytes = KDI_ImageBufferSize(w, h);
    size_t total = bytes / 4;
    // Each 5-byte packet covers at most 255 pixels: the image must be
    // coverable by what the file still holds.
    if (!bytes || w > (uint32_t)kMaxFrameSide || h > (uint32_t)kMaxFrameSide || total > r.Left() / 5 * 255) {
        KD_PrintDebugf(KD_LOG_WARNING, "RLE bitmap %ux%u does not fit its data.\n", w, h);
        return false;
    }
    uint8_t* pixels = (uint8_t*)malloc(bytes);
    if (!pixels) return false;
    bool bgr = kd_state.texture_format == 1;
    size_t filled = 0;
    while (filled < total) {
        uint8_t packet[5];
        if (!r.Bytes(packet, 5) || packet[0] == 0) {
            free(pixels);
            return false;
        }
        size_t n = packet[0];
        if (n > total - filled) n = total - filled;  // runs end at the last pixel
        uint8_t px[4];
        if (bgr) {
            px[0] = packet[1], px[1] = packet[2], px[2] = packet[3];
        } else {
            px[0] = packet[3], px[1] = packet[2], px[2] = packet[1];
        }
        px[3] = packet[4];
        for (size_t i = 0; i < n; i++) memcpy(pixels + (filled + i) * 4, px, 4);
        filled += n;
    }
    free(bm->pixels);
    bm->pixels = pixels;
    bm->width = bm->pb_width = (int32_t)w;
    bm->height = bm->pb_height = (int32_t)h;
    bm->flags |= KD_BITMAP_HAS_ALPHA;
    if (used) *used = r.pos;
    return true;
}

bool KDI_ReadRLEBitmap(kd_bitmap_t* bm, kd_file_t* file) {
    if (!bm || !file) return false;
    long pos = KD_GetFilePosition(file);
    if (pos < 0 || pos > file->size) return false;
    size_t left = (size_t)(file->size - pos);
    uint8_t* data = (uint8_t*)malloc(left ? left : 1);
    if (!data) return false;
    bool ok = KD_ReadFile(data, (unsigned)left, file) == (unsigned)left && KDI_ReadRLEBitmapMem(bm, data, left, nullptr);
    free(data);
    return ok;
}

bool KDI_WriteRLEBitmap(kd_bitmap_t* bm, FILE* fp) {
    if (!bm || !fp || !bm->pixels || bm->width < 1 || bm->height < 1) return false;
    PutU32(fp, (uint32_t)bm->width);
    PutU32(fp, (uint32_t)bm->height);
    bool bgr = kd_state.texture_format == 1;
    size_t total = (size_t)bm->width * (size_t)bm->height;
    const uint8_t* p = bm->pixels;
    size_t i = 0;
    while (i < total) {
        size_t run = 1;
        while (i + run < total && run < 255 && memcmp(p + (i + run) * 4, p + i * 4, 4) == 0) run++;
        const uint8_t* s = p + i * 4;
        uint8_t packet[5] = {(uint8_t)run, bgr ? s[0] : s[2], s[1], bgr ? s[2] : s[0], s[3]};
        fwrite(packet, 1, 5, fp);
        i += run;
    }
    return !ferror(fp);
}

// ------------------------------------------------------------- reading

bool KDI_LoadBitmapSequenceMem(kd_bitmap_t* bm, const uint8_t* data, size_t size, const char* name) {
    if (!bm) return false;
    if (!name) name = "";
    KDI_FreeBitmapFrames(bm);
    Reader r(data, data ? size : 0);
    char magic[13];
    if (!r.Bytes(magic, 13) || memcmp(magic, kMagic, 13) != 0) {
        KD_Popupf(1, "Bad header in bitmap sequence '%s'\n", name);
        return false;
    }
    uint32_t count = 0;
    char format[4], chunk[9] = {0};
    if (!r.U32(&count) || !r.Bytes(format, 4) || !r.Bytes(chunk, 8)) {
        KD_Popupf(1, "Bad header in bitmap sequence '%s'\n", name);
        return false;
    }
    if (strcmp(chunk, "ATLAS") != 0) {
        KD_Popupf(1, "unimplemented chunk: '%s'\n", chunk);
        return false;
    }
    uint32_t reserved;
    // The frame table and the encoding tag must be in the file.
    if (!r.U32(&reserved) || count < 1 || r.Left() < 4 || count > (r.Left() - 4) / kFrameRecordSize) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap sequence '%s': %u frames do not fit the file.\n", name, count);
        KD_Popupf(1, "unimplemented chunk: '%s'\n", chunk);
        return false;
    }
    kd_bitmap_t* frames = (kd_bitmap_t*)calloc(count, sizeof(kd_bitmap_t));
    kd_bitmap_t* atlas = (kd_bitmap_t*)calloc(1, sizeof(kd_bitmap_t));
    bool ok = frames && atlas;
    if (ok) {
        KDI_InitBitmap(atlas, "");
        atlas->pack_mode = KD_PACK_NONE;
    }
    for (uint32_t i = 0; ok && i < count; i++) {
        kd_bitmap_t* f = &frames[i];
        uint32_t w = 0, h = 0, number = 0;
        ok = r.U32(&w) && r.U32(&h) && r.U32(&number) && r.F32(&f->frame_rate) && r.F32(&f->hw.left_u) &&
             r.F32(&f->hw.top_v) && r.F32(&f->hw.right_u) && r.F32(&f->hw.bottom_v);
        ok = ok && w >= 1 && h >= 1 && w <= (uint32_t)kMaxFrameSide && h <= (uint32_t)kMaxFrameSide &&
             isfinite(f->frame_rate) && isfinite(f->hw.left_u) && isfinite(f->hw.top_v) &&
             isfinite(f->hw.right_u) && isfinite(f->hw.bottom_v);
        if (!ok) KD_PrintDebugf(KD_LOG_WARNING, "Bitmap sequence '%s': frame #%u is not valid.\n", name, i);
        f->width = f->pb_width = (int32_t)w;
        f->height = f->pb_height = (int32_t)h;
        f->frame_number = (int32_t)number;
        f->atlas = atlas;
        f->pack_mode = KD_PACK_NONE;
    }
    char encoding[5] = {0};
    if (ok && r.Bytes(encoding, 4)) {
        if (strncasecmp(encoding, "RLE", 4) == 0) {
            size_t used = 0;
            ok = KDI_ReadRLEBitmapMem(atlas, data + r.pos, r.Left(), &used);
        } else if (strncasecmp(encoding, "PNG", 4) == 0) {
            uint32_t png_size = 0;
            ok = r.U32(&png_size) && png_size <= r.Left();
            if (ok) {
                kd_image_t img;
                memset(&img, 0, sizeof img);
                img.name = name;
                ok = KDI_LoadImageMemPNG(&img, data + r.pos, png_size, kd_state.texture_format == 1) && img.pixels;
                if (ok) {
                    atlas->pixels = img.pixels;
                    atlas->width = atlas->pb_width = img.width;
                    atlas->height = atlas->pb_height = img.height;
                    atlas->flags = (int16_t)((atlas->flags & ~KD_BITMAP_HAS_ALPHA) | (img.flags & KD_IMAGE_HAS_ALPHA));
                } else {
                    KDI_FreeImage(&img);
                }
            }
        } else {
            KD_Popupf(1, "encoding: '%s'\n", encoding);
            ok = false;
        }
    } else {
        ok = false;
    }
    if (!ok) {
        KD_Popupf(1, "unimplemented chunk: '%s'\n", chunk);
        free(frames);
        FreeAtlasRecord(atlas);
        return false;
    }
    atlas->state = KD_BITMAP_READY;
    for (uint32_t i = 0; i < count; i++)
        frames[i].flags = (int16_t)((frames[i].flags & ~KD_BITMAP_HAS_ALPHA) | (atlas->flags & KD_BITMAP_HAS_ALPHA));
    bm->frames = frames;
    bm->frame_count = (int32_t)count;
    bm->atlas = atlas;
    return true;
}

bool KDI_LoadBitmapSequence(kd_bitmap_t* bm, const char* path) {
    if (!bm || !path) return false;
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_LoadBitmapSequence '%s'\n", path);
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) return false;
    size_t size = f->size > 0 ? (size_t)f->size : 0;
    uint8_t* data = (uint8_t*)malloc(size ? size : 1);
    bool read = data && KD_ReadFile(data, (unsigned)size, f) == (unsigned)size;
    KD_CloseFile(f);
    bool ok = read && KDI_LoadBitmapSequenceMem(bm, data, size, path);
    if (!read) KDI_FreeBitmapFrames(bm);
    free(data);
    return ok;
}

int KDI_LoadBitmapMemBMS(kd_bitmap_t*, const void*, long) { return 1; }
int KDI_WriteBMS(kd_bitmap_t*, FILE*, unsigned short) { return 0; }

// ------------------------------------------------------- frame files

bool KDI_LoadBitmapSequenceFromFiles(kd_bitmap_t* bm, const char* pattern) {
    if (!bm || !pattern) return false;
    KD_PrintDebugf(KD_LOG_SYSTEM, "KDI_LoadBitmapSequenceFromFiles '%s' (%s)\n", bm->name ? bm->name : "", pattern);
    // The pattern is split at its first '*' rather than used as a format:
    // a '%' in a file name must stay a character.
    char head[512], tail[512];
    const char* star = strchr(pattern, '*');
    size_t plen = strlen(pattern);
    if (plen >= sizeof head) {
        KD_PrintDebugf(KD_LOG_WARNING, "Bitmap files pattern '%s' too long.\n", pattern);
        return false;
    }
    size_t hlen = star ? (size_t)(star - pattern) : plen;
    memcpy(head, pattern, hlen);
    head[hlen] = 0;
    snprintf(tail, sizeof tail, "%s", star ? star + 1 : "");
    char file[1100];
    auto Name = [&](int i) {
        snprintf(file, sizeof file, "%s%.4d%s", head, i, tail);
        return file;
    };

    int first = -1, counted = 0, misses = 0, gap = 5;
    for (int i = 0; i <= 999; i++) {
        if (FileOpens(Name(i))) {
            if (first < 0) first = i;
            if (misses > 0) gap = 100;  // numbering with holes
            misses = 0;
            counted++;
        } else if (first >= 0) {
            if (++misses > gap) break;
        }
    }
    if (bm->frames) {
        KDI_ReleaseBitmapHardwareData(bm);
        KDI_FreeBitmapFrames(bm);
    }
    if (counted == 0) {
        KD_Popupf(1, "Bitmap files '%s' not found.", pattern);
        return true;
    }
    kd_bitmap_t* frames = (kd_bitmap_t*)calloc((size_t)counted, sizeof(kd_bitmap_t));
    if (!frames) return false;
    int filled = 0;
    for (int i = first; i <= 999 && filled < counted; i++) {
        kd_bitmap_t* f = &frames[filled];
        if (!KDI_LoadImageIntoBitmap(f, Name(i))) continue;
        f->name = nStringDuplicate(file);
        f->frame_rate = 30.0f;
        f->frame_number = i;
        f->pack_mode = bm->pack_mode;
        filled++;
    }
    if (filled == 0) {
        free(frames);
        return true;
    }
    bm->frames = frames;
    bm->frame_count = filled;
    KD_SetBitmapFrame(bm, 0);
    return true;
}

bool KDI_BitmapPixelsMatch(kd_bitmap_t* a, kd_bitmap_t* b, float tolerance) {
    if (!a || !b || !a->pixels || !b->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "BitmapPixelsMatch got bad parameters.\n");
        return false;
    }
    if (a->width != b->width || a->height != b->height) return false;
    if (tolerance >= 1.0f || a->height < 1) return true;
    size_t n = (size_t)a->width * (size_t)a->height * 4;
    double sum = 0;
    for (size_t i = 0; i < n; i++) {
        double d = fabs((double)a->pixels[i] - (double)b->pixels[i]) / 255.5;
        if (d > tolerance) return false;
        sum += d;
    }
    if (sum > 0) KD_PrintDebugf(KD_LOG_INFO, "Total difference is %d units\n", (int)(sum * 255.0));
    return true;
}

// The frame whose pixels and coordinates a frame stands for.
static kd_bitmap_t* Origin(kd_bitmap_t* f) {
    int guard = 0;
    while (f->parent && guard++ < 1 << 20) f = f->parent;
    return f;
}

void KDI_OptimizeBitmapSequence(kd_bitmap_t* bm) {
    if (!bm || !bm->frames || bm->frame_count < 1) return;
    KD_Printf("Optimizing sequence '%s'...\n", bm->name ? bm->name : "");
    double saved = 0;
    for (int i = bm->frame_count - 1; i >= 0; i--) {
        for (int j = 0; j < i; j++) {
            if (!KDI_BitmapPixelsMatch(&bm->frames[i], &bm->frames[j], 0.011764706f)) continue;
            KD_Printf("Frames #%.4d and #%.4d match.\n", i, j);
            bm->frames[i].parent = &bm->frames[j];
            saved += (double)bm->frames[i].width * bm->frames[i].height * 4;
            break;
        }
    }
    if (saved > 0)
        KD_Printf("Saved %.2fMB by removing similar frames from sequence %s.\n", saved / 1048576.0,
                  bm->name ? bm->name : "");
    // A marked frame shares its origin's pixels from now on; its own copy is
    // freed here, as every release skips the pixels of frames with a parent.
    for (int i = 0; i < bm->frame_count; i++) {
        kd_bitmap_t* f = &bm->frames[i];
        if (!f->parent) continue;
        kd_bitmap_t* origin = Origin(f);
        if (f->pixels != origin->pixels) free(f->pixels);
        f->pixels = origin->pixels;
    }
}

bool KDI_SaveBitmapSequence(kd_bitmap_t* bm, const char* native_path) {
    if (!bm || bm->frame_count < 1 || !bm->frames || !native_path) {
        KD_Popupf(1, "KDI_SaveBitmapSequence: trying to save invalid bitmap to '%s'.", native_path ? native_path : "");
        return false;
    }
    nArray<kd_bitmap_t*> unique;
    for (int i = 0; i < bm->frame_count; i++)
        if (!bm->frames[i].parent) unique.InsertLast(&bm->frames[i]);
    if (bm->atlas) FreeAtlasRecord(bm->atlas);
    bm->atlas = (kd_bitmap_t*)calloc(1, sizeof(kd_bitmap_t));
    if (!bm->atlas) return false;
    KDI_InitBitmap(bm->atlas, "");
    bm->atlas->pack_mode = KD_PACK_NONE;
    // Always packed, whatever renderer runs: the reader takes only atlas
    // files, and a file written under one renderer is read under another.
    if (!KDI_PackBitmaps(bm->atlas, unique.data, unique.count)) {
        FreeAtlasRecord(bm->atlas);
        bm->atlas = nullptr;
        KD_Popupf(1, "KDI_SaveBitmapSequence: bitmaps didn't fit into atlas, not creating file '%s'.", native_path);
        return false;
    }
    char tmp[1100];
    FILE* fp = KDI_OpenTempBeside(native_path, tmp, sizeof tmp);
    if (!fp) {
        KD_Popupf(1, "Unable to save bitmap sequence '%s' to file '%s'\n", bm->name ? bm->name : "", native_path);
        return false;
    }
    fwrite(kMagic, 1, 13, fp);
    PutU32(fp, (uint32_t)bm->frame_count);
    fwrite("RGBA", 1, 4, fp);
    char chunk[8] = "ATLAS";
    KD_Printf("Writing bitmap sequence atlas.\n");
    fwrite(chunk, 1, 8, fp);
    PutU32(fp, 0);
    for (int i = 0; i < bm->frame_count; i++) {
        kd_bitmap_t* f = &bm->frames[i];
        kd_bitmap_t* o = Origin(f);
        KD_Printf("Writing frame num %d - %d\n", i, f->frame_number);
        PutU32(fp, (uint32_t)f->width);
        PutU32(fp, (uint32_t)f->height);
        PutU32(fp, (uint32_t)f->frame_number);
        PutF32(fp, f->frame_rate);
        PutF32(fp, o->hw.left_u);
        PutF32(fp, o->hw.top_v);
        PutF32(fp, o->hw.right_u);
        PutF32(fp, o->hw.bottom_v);
    }
    fwrite("PNG", 1, 4, fp);
    long size_at = ftell(fp);
    PutU32(fp, 0);
    kd_image_t img;
    img.name = bm->name;
    img.width = bm->atlas->width;
    img.height = bm->atlas->height;
    img.pixels = bm->atlas->pixels;
    img.flags = KD_IMAGE_HAS_ALPHA;
    bool ok = KDI_WritePNG(&img, fp, kd_state.texture_format == 1) != 0;
    long end = ftell(fp);
    ok = ok && size_at >= 0 && end > size_at + 4 && fseek(fp, size_at, SEEK_SET) == 0;
    if (ok) {
        PutU32(fp, (uint32_t)(end - size_at - 4));
        ok = fseek(fp, 0, SEEK_END) == 0;
    }
    if (!KDI_FinishTempFile(fp, tmp, native_path, ok)) {
        KD_Popupf(1, "Unable to save bitmap sequence '%s' to file '%s'\n", bm->name ? bm->name : "", native_path);
        return false;
    }
    return true;
}

bool KDI_LoadBitmapBMS(kd_bitmap_t* bm, const char* path) {
    if (!bm || !path) return false;
    if (KDI_LoadBitmapSequence(bm, path)) {
        KD_SetBitmapFrame(bm, 0);
        bm->state = KD_BITMAP_READY;
        return true;
    }
    size_t plen = strlen(path);
    if (plen < 4 || plen >= 512 || !EndsWithNoCase(path, ".bms")) return false;
    char base[512];
    memcpy(base, path, plen - 4);
    base[plen - 4] = 0;

    static const char* const kSeparators[] = {"-", "_", ""};
    static const char* const kExtensions[] = {"png", "jpg", "tga"};
    char pattern[1100] = "";
    for (int i = 0; i <= 19 && !pattern[0]; i++)
        for (const char* sep : kSeparators) {
            for (const char* ext : kExtensions) {
                char candidate[1100];
                snprintf(candidate, sizeof candidate, "%s%s%.4d.%s", base, sep, i, ext);
                if (!FileOpens(candidate)) continue;
                snprintf(pattern, sizeof pattern, "%s%s*.%s", base, sep, ext);
                break;
            }
            if (pattern[0]) break;
        }
    if (!pattern[0]) return false;
    KDI_LoadBitmapSequenceFromFiles(bm, pattern);
    bm->state = KD_BITMAP_READY;
    if (bm->frame_count < 1) return false;

    KDI_OptimizeBitmapSequence(bm);
    // Written beside the frames when the path names its scheme, else as
    // the program data's "data/<path>" (the path layer's name for the
    // program data itself); a "res://" name lands in the user tree, where
    // it is read back from.
    char out_static[1100];
    if (strstr(path, "://"))
        snprintf(out_static, sizeof out_static, "%s", path);
    else
        KD_GetPathEx(out_static, sizeof out_static, 3, "data/%s", path);
    char* native = out_static[0] ? KD_ConvertStaticPathToNativeOSPath(out_static, true) : nullptr;
    if (native && KDI_SaveBitmapSequence(bm, native)) {
        // Read into a record of its own first: when the file does not read
        // back, the frames loaded from files stay in use.
        kd_bitmap_t loaded;
        memset(&loaded, 0, sizeof loaded);
        if (KDI_LoadBitmapSequence(&loaded, out_static)) {
            KDI_FreeBitmapFrames(bm);
            bm->frames = loaded.frames;
            bm->frame_count = loaded.frame_count;
            bm->atlas = loaded.atlas;
        } else {
            KD_PrintDebugf(KD_LOG_WARNING, "Bitmap sequence '%s' written but not read back.\n", out_static);
        }
    }
    free(native);
    KD_SetBitmapFrame(bm, 0);
    return true;
}

void KDI_UpdateBitmapSequenceAccordingToDataManifest(kd_bitmap_t* bm) {
    if (!bm || !bm->name || !bm->frames) return;
    if (EndsWithNoCase(bm->name, "bms")) {
        KD_DMNode* node = KDI_GetDataManifestNode(bm->name);
        if (!node) return;
        const char* hv = node->GetValue("h");
        double h = hv ? atof(hv) : 32.0;
        double ratio = bm->frames[0].height ? h / bm->frames[0].height : 1.0;
        for (int i = 0; i < bm->frame_count; i++) {
            kd_bitmap_t* f = &bm->frames[i];
            f->pb_width = f->width;
            f->pb_height = f->height;
            f->width = (int)(f->width * ratio);
            f->height = (int)(f->height * ratio);
        }
    } else {
        for (int i = 0; i < bm->frame_count; i++)
            KDI_UpdateBitmapAccordingToDataManifest(&bm->frames[i], bm->frames[i].name);
    }
    KD_SetBitmapFrame(bm, 0);
}
