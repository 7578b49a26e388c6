// Engine files: the stdio-like operations of the interface table and the
// three file openers behind them (packages, native files, download cache).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "kd-file.h"
#include "kd-http.h"

nArray<kdFileOpener*> kd_file_openers;
kdFileOpenerPak* kd_pak_file_opener = nullptr;

// ---------------------------------------------------------------------------
// Native files

bool kdFilePosix::SetPosition(long offset, int whence) { return fp && fseek(fp, offset, whence) == 0; }
long kdFilePosix::GetPosition() { return fp ? ftell(fp) : 0; }
void kdFilePosix::Flush() {
    if (fp) fflush(fp);
}
long kdFilePosix::Read(void* dst, long n) {
    if (!fp || !dst || n <= 0) return 0;
    return (long)fread(dst, 1, (size_t)n, fp);
}
long kdFilePosix::Write(const void* src, long n) {
    if (!fp || !src || n <= 0) return 0;
    return (long)fwrite(src, 1, (size_t)n, fp);
}
void kdFilePosix::Close() {
    if (fp) fclose(fp);
    free(name);
    free(nativePath);
    delete this;
}

// Opens a native file for an engine name. Takes over `native`.
static kdFile* OpenNative(const char* name, char* native, const char* mode) {
    FILE* fp = KDI_OpenRegularFile(native, mode);
    if (!fp) {
        free(native);
        return nullptr;
    }
    kdFilePosix* f = new kdFilePosix;
    f->name = nStringDuplicate(name);
    f->nativePath = native;
    f->fp = fp;
    fseek(fp, 0, SEEK_END);
    f->size = ftell(fp);
    fseek(fp, 0, SEEK_SET);
    return f;
}

kdFile* kdFileOpenerPosix::OpenFile(const char* name, const char* mode) {
    char* native = KD_ConvertStaticPathToNativeOSPath(name, mode[0] != 'r');
    if (!native) return nullptr;
    return OpenNative(name, native, mode);
}

// ---------------------------------------------------------------------------
// Package entries

bool kdFilePakFile::SetPosition(long position, int whence) {
    long target;
    if (whence == SEEK_SET)
        target = position;
    else if (whence == SEEK_CUR)
        target = GetPosition() + position;
    else if (whence == SEEK_END)
        target = size + position;
    else
        return false;
    // The entry is the whole file as far as its reader is concerned.
    if (target < 0 || target > size) return false;
    return KD_fseek(pakHandle, offset + target, SEEK_SET);
}

long kdFilePakFile::GetPosition() { return KD_ftell(pakHandle) - offset; }

long kdFilePakFile::Read(void* dst, long n) {
    if (!dst || n <= 0) return 0;
    long pos = GetPosition();
    if (pos < 0 || pos >= size) return 0;
    if (n > size - pos) n = size - pos;
    return (long)KD_fread(dst, 1, (unsigned)n, pakHandle);
}

void kdFilePakFile::Close() {
    KD_CloseFile(pakHandle);
    free(name);
    free(nativePath);
    delete this;
}

// ---------------------------------------------------------------------------
// Package opener

pak_t* kdFileOpenerPak::GetPakForPakFilename(const char* pakPath) {
    if (!pakPath) return nullptr;
    {
        std::lock_guard<std::mutex> hold(paks_lock);
        if (pak_t** known = paks.Find(pakPath)) return *known;
    }
    // Opened outside the lock: two threads asking for the same new package
    // may both open it, and the one that comes second to the table keeps
    // the first one's and closes its own.
    pak_t* pak = (pak_t*)calloc(1, sizeof(pak_t));
    if (pak && !Pak_Open(pak, pakPath)) {
        free(pak);
        pak = nullptr;  // remembered as absent: not tried again during the run
    }
    pak_t* kept;
    {
        std::lock_guard<std::mutex> hold(paks_lock);
        pak_t** known = paks.Find(pakPath);
        if (!known) paks.AddPair(pakPath, pak);
        kept = known ? *known : pak;
    }
    if (kept == pak) {
        if (pak) KD_Printf("Opening new pak '%s'.\n", pakPath);
    } else if (pak) {
        Pak_Close(pak);
        free(pak);
    }
    return kept;
}

kdFile* kdFileOpenerPak::OpenFile(const char* name, const char* mode) {
    if (!name || !mode || strcmp(mode, "rb") != 0) return nullptr;
    if (strncmp(name, "http://", 7) == 0) return nullptr;
    const char* sep = strstr(name, "://");
    if (!sep) return nullptr;
    const char* folder = sep + 3;
    const char* slash = strchr(folder, '/');
    if (!slash || slash == folder || !slash[1]) return nullptr;
    char pakPath[512];
    int len = snprintf(pakPath, sizeof pakPath, "%.*s.pak", (int)(slash - name), name);
    if (len < 0 || len >= (int)sizeof pakPath) return nullptr;

    pak_t* pak = GetPakForPakFilename(pakPath);
    if (!pak) return nullptr;
    const char* rest = slash + 1;
    pak_entry_t* entry = Pak_GetFileInfo(pak, rest);
    if (!entry) return nullptr;
    kd_file_t* handle = KD_OpenFile(pak->name, "rb");
    if (!handle) return nullptr;

    kdFilePakFile* f = new kdFilePakFile;
    f->name = nStringDuplicate(rest);
    f->nativePath = KD_ConvertStaticPathToNativeOSPath(pak->name);
    f->size = entry->size;
    f->offset = entry->offset;
    f->pakHandle = handle;
    if (!KD_fseek(handle, (long)entry->offset, SEEK_SET)) {
        f->Close();
        return nullptr;
    }
    return f;
}

void kdFileOpenerPak::Free() {
    for (int i = 0; i < paks.pairs.count; i++) {
        pak_t* pak = paks.pairs[i].value;
        if (pak) {
            Pak_Close(pak);
            free(pak);
        }
        free(paks.pairs[i].key);
    }
    paks.pairs.Free();
}

// ---------------------------------------------------------------------------
// Download cache
//
// A download is kept only when it is whole and, for a bitmap, decodes: a
// broken one kept would be used for good and never asked for again. It is
// written beside its cache file and renamed into place, so a kill leaves
// no half file under the cache's name.

bool KDI_HttpDownload(const char* url, kd_buffer_t* reply) {
    memset(reply, 0, sizeof *reply);
    int status = 0;
    int code = KD_SendHttpRequest(2, url, "application/octet-stream", "", 0, reply, &status);
    if (code != 200) {  // an error page is not what was asked for
        KD_Printf("Failed to download '%s': return code %d\n", url, code);
        KD_FreeBuffer(reply);
        return false;
    }
    int expected = reply->capacity > reply->size ? reply->capacity : reply->size;
    if (!reply->data || reply->size <= 0 || reply->size < expected) {
        KD_PrintDebugf(KD_LOG_WARNING, "Download for '%s' not complete (%d%% of %.1fKB done). Not saving.\n", url,
                       expected > 0 ? (int)(100.0 * reply->size / expected) : 0, expected / 1024.0);
        KD_FreeBuffer(reply);
        return false;
    }
    KD_Printf("Done downloading %d bytes for '%s'.\n", reply->size, url);
    return true;
}

// A file of the cache's own: KDI_HttpCacheName's 16 hex digits and
// extension, or a part of one ("part-" before it) that a kill left.
static bool IsCacheFileName(const char* name) {
    if (strncmp(name, "part-", 5) == 0) name += 5;
    size_t hex = strspn(name, "0123456789abcdef");
    if (hex != 16) return false;
    name += 16;
    if (!*name) return true;
    size_t ext = strspn(name + 1, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    return name[0] == '.' && ext >= 1 && ext <= 8 && !name[1 + ext];
}

// Makes room for `bytes` more in the cache, its oldest files going first;
// false (one line a run) when a file that large could never fit. The
// caller holds cache_lock until its file is written, so that the next
// one counts it.
static std::mutex cache_lock;

static bool MakeRoomInCache(size_t bytes) {
    if (bytes > (size_t)KD_HTTP_CACHE_MAX_BYTES) return false;
    struct Kept {
        time_t when;
        size_t size;
        std::string name;
    };
    std::vector<Kept> kept;
    size_t total = 0;
    char* native = KD_ConvertStaticPathToNativeOSPath("user://cache", true);
    DIR* dir = native ? opendir(native) : nullptr;
    free(native);
    for (dirent* e; dir && (e = readdir(dir));) {
        struct stat st;
        if (!IsCacheFileName(e->d_name) || fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        kept.push_back({st.st_mtime, (size_t)st.st_size, e->d_name});
        total += (size_t)st.st_size;
    }
    if (dir) closedir(dir);
    if (total + bytes <= (size_t)KD_HTTP_CACHE_MAX_BYTES) return true;
    static bool reported = false;  // under cache_lock
    if (!reported)
        KD_Printf(
            "The download cache holds %zu KB, all it may with %zu KB more; its oldest files make room (no more "
            "lines on this).\n",
            total >> 10, bytes >> 10);
    reported = true;
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.when < b.when; });
    for (const Kept& k : kept) {
        if (total + bytes <= (size_t)KD_HTTP_CACHE_MAX_BYTES) break;
        if (KD_DeleteFile(("user://cache/" + k.name).c_str())) total -= k.size;
    }
    return total + bytes <= (size_t)KD_HTTP_CACHE_MAX_BYTES;
}

bool KDI_HttpWritePart(const char* cache, const kd_buffer_t& reply, nString* part) {
    // Beside the cache file, with its extension, which the image loaders
    // go by: "user://cache/part-<name>".
    const char* slash = strrchr(cache, '/');
    std::string name = slash ? std::string(cache, (size_t)(slash + 1 - cache)) + "part-" + (slash + 1) : cache;
    part->Set(name.c_str());
    std::lock_guard<std::mutex> hold(cache_lock);
    if (!MakeRoomInCache((size_t)reply.size)) {
        KD_Printf("The download for '%s' (%d bytes) is larger than the download cache may hold; not kept.\n", cache,
                  reply.size);
        return false;
    }
    kd_file_t* out = KD_OpenFile(part->text, "wb");
    bool ok = out && KD_WriteFile(reply.data, (unsigned)reply.size, out) == (unsigned)reply.size;
    if (out) KD_CloseFile(out);
    if (!ok) {
        KD_Printf("Unable to write the cache file '%s'.\n", part->text);
        KD_DeleteFile(part->text);
    }
    return ok;
}

bool KDI_HttpCommitPart(const nString& part, const char* cache) {
    nString both(part.text);
    both.Append("|");
    both.Append(cache);
    if (KD_CallExtension("RenameFile", both.text)) return true;
    KD_DeleteFile(part.text);
    return false;
}

kdFile* kdFileOpenerHTTP::OpenFile(const char* url, const char* mode) {
    if (!kd_state.initialised || !url || !mode || strcmp(mode, "rb") != 0) return nullptr;
    if (strncmp(url, "http://", 7) != 0) return nullptr;
    KD_Printf("HTTP trying open '%s'..", url);
    // Refused addresses are refused from the cache too.
    if (!KDI_HttpAllowed(url)) return nullptr;
    KD_CreateDirectory("user://cache");
    nString cache(KDI_HttpCacheName(url).c_str());

    kd_file_t* cached = KD_OpenFile(cache.text, "rb");
    if (cached) {
        KD_CloseFile(cached);
    } else {
        KD_Printf("Doesn't exist in cache, starting download..");
        kd_buffer_t reply;
        nString part;
        if (!KDI_HttpDownload(url, &reply)) return nullptr;
        bool kept = KDI_HttpWritePart(cache.text, reply, &part) && KDI_HttpCommitPart(part, cache.text);
        KD_FreeBuffer(&reply);
        if (!kept) return nullptr;
    }
    char* native = KD_ConvertStaticPathToNativeOSPath(cache.text);
    if (!native) return nullptr;
    return OpenNative(cache.text, native, mode);
}

// ---------------------------------------------------------------------------
// Opener list

void KD_InitFileOpeners() {
    if (kd_file_openers.count) return;
    kd_pak_file_opener = new kdFileOpenerPak;
    kd_file_openers.InsertLast(kd_pak_file_opener);
    kd_file_openers.InsertLast(new kdFileOpenerPosix);
    kd_file_openers.InsertLast(new kdFileOpenerHTTP);
    for (int i = 0; i < kd_file_openers.count; i++) kd_file_openers[i]->Init();
}

void KDI_CreateFileOpeners() { KD_InitFileOpeners(); }

void KDI_FreeFileOpeners() {
    for (int i = 0; i < kd_file_openers.count; i++) {
        kd_file_openers[i]->Free();
        delete kd_file_openers[i];
    }
    kd_file_openers.Free();
    kd_pak_file_opener = nullptr;
}

// ---------------------------------------------------------------------------
// Opening and closing

kdFile* KD_OpenFileCore(const char* name, const char* mode) {
    if (KD_FileNameContainsStaticPath(name)) {
        for (int i = 0; i < kd_file_openers.count; i++) {
            kdFile* f = kd_file_openers[i]->OpenFile(name, mode);
            if (f) return f;
        }
        return nullptr;
    }
    if (strcmp(mode, "rb") != 0) return nullptr;  // unprefixed names are read-only
    char candidate[512];
    for (int s = 0; s < KD_GetNumberOfSearchPaths(); s++) {
        int len = snprintf(candidate, sizeof candidate, "%s%s", KD_GetSearchPath(s), name);
        if (len < 0 || len >= (int)sizeof candidate) continue;
        for (int i = 0; i < kd_file_openers.count; i++) {
            if (!kd_file_openers[i]->AllowSearchPaths()) continue;
            kdFile* f = kd_file_openers[i]->OpenFile(candidate, mode);
            if (f) return f;
        }
    }
    return nullptr;
}

kd_file_t* KDFS_OpenFile(const char* name, const char* mode) {
    if (!name || !mode) return nullptr;
    kdFile* inner = KD_OpenFileCore(name, mode);
    if (!inner) return nullptr;
    kd_file_t* f = (kd_file_t*)calloc(1, sizeof(kd_file_t));
    if (!f) {
        inner->Close();
        return nullptr;
    }
    f->name = inner->GetName();
    long size = inner->GetSize();
    f->size = size > 0x7fffffffL ? 0x7fffffff : (int32_t)size;
    f->file = inner;
    kd_state.open_file_handles++;
    return f;
}

kd_file_t* KD_OpenFile(const char* name, const char* mode) {
    if (!KD_IsValidFileName(name)) {
        KD_Popupf(1,
                  "kd->OpenFile: Illegal file name '%s'.\nValid name can start with either res://, user://, or "
                  "relative path like ('ui/').",
                  name ? name : "(null)");
        return nullptr;
    }
    const char* m = nullptr;
    if (mode) {
        if (strcmp(mode, "r") == 0 || strcmp(mode, "rb") == 0)
            m = "rb";
        else if (strcmp(mode, "w") == 0 || strcmp(mode, "wb") == 0)
            m = "wb";
        else if (strcmp(mode, "wx") == 0 || strcmp(mode, "wbx") == 0)
            m = "wbx";  // a new file only: one already there, or a link, is refused
        else if (strcmp(mode, "a") == 0 || strcmp(mode, "ab") == 0)
            m = "ab";
    }
    if (!m) {
        KD_Popupf(1,
                  "kd->OpenFile: Illegal mode '%s' while opening file '%s'\nValid modes are read (\"r\"), write "
                  "(\"w\"), write a new file (\"wx\") and append (\"a\").\n",
                  mode ? mode : "(null)", name);
        return nullptr;
    }
    kd_file_t* f = KDFS_OpenFile(name, m);
    if (f) kd_state.open_file_handles++;
    return f;
}

void KDFS_CloseFile(kd_file_t* f) {
    if (!f) return;
    if (kd_state.open_file_handles < 0) KD_Popupf(1, "CloseFile closing too many file handles!\n");
    kd_state.open_file_handles--;
    if (!f->file) {
        KD_Popupf(1, "CloseFile: inner file should always exist!\n");
        free(f);
        return;
    }
    f->file->Close();
    free(f);
}

void KD_CloseFile(kd_file_t* f) {
    if (!f) return;
    if (kd_state.open_file_handles < 0) KD_PrintDebugf(KD_LOG_WARNING, "CloseFile closing too many file handles!\n");
    kd_state.open_file_handles--;
    KDFS_CloseFile(f);
}

// ---------------------------------------------------------------------------
// Reading and writing

unsigned int KD_ReadFile(void* dst, unsigned int n, kd_file_t* f) {
    if (!f || !f->file) return 0;
    long got = f->file->Read(dst, (long)n);
    return got > 0 ? (unsigned)got : 0;
}

unsigned int KD_fwrite(const void* src, unsigned int size, unsigned int count, kd_file_t* f) {
    if (!f || !f->file) return 0;
    unsigned long long total = (unsigned long long)size * count;
    if (total > 0x7fffffffULL) total = 0x7fffffffULL;
    long put = f->file->Write(src, (long)total);
    return put > 0 ? (unsigned)put : 0;
}

unsigned int KD_WriteFile(const void* src, unsigned int n, kd_file_t* f) { return KD_fwrite(src, n, 1, f); }

unsigned int KD_fread(void* dst, unsigned int size, unsigned int count, kd_file_t* f) {
    if (!f || !f->file) return 0;
    unsigned long long total = (unsigned long long)size * count;
    if (total > 0x7fffffffULL) total = 0x7fffffffULL;
    long got = f->file->Read(dst, (long)total);
    return got > 0 ? (unsigned)got : 0;
}

void KD_FlushFile(kd_file_t* f) {
    if (f && f->file) f->file->Flush();
}

long KD_GetFilePosition(kd_file_t* f) { return f && f->file ? f->file->GetPosition() : 0; }
long KD_ftell(kd_file_t* f) { return KD_GetFilePosition(f); }

bool KD_SetFilePosition(kd_file_t* f, long offset, int whence) {
    return f && f->file && f->file->SetPosition(offset, whence);
}
bool KD_fseek(kd_file_t* f, long offset, int whence) { return KD_SetFilePosition(f, offset, whence); }

int KD_fgetc(kd_file_t* f) {
    unsigned char c = 0;
    if (!f || !f->file || f->file->Read(&c, 1) != 1) return 0;
    return c;
}
