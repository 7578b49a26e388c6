// Path schemes, native roots, search paths and package lists.
//
// "res://" names the program's read-only data (./app/native), "user://" the
// writable data of the developer and program (./data/<developer>/<title>),
// both relative to the working directory. Every conversion to a native path
// refuses names that would climb out of their tree, so no file name from
// data or from the user can reach a file outside these folders.
//
// The program's data is never written: the run script links it to the
// project's own data tree. Whatever is written under a "res://" name (the
// editors' saves of layouts, worlds and shapes) goes to the same name
// under "user://". A read of a "res://" name finds that copy first in
// developer mode, so the developer sees what the tools saved, and in any
// mode when the bundled tree has no such file, so a file written under a
// name is read back by it. Names found through the search paths are
// "res://" names too and follow the same rule.
#include <errno.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "kd-file.h"

enum { GETPATH_WORK = 2048, GETPATH_SLOTS = 16, GETPATH_SLOT_SIZE = 260, SEARCH_PATH_WORK = 512 };

static const char* const user_base = "./data";
static const char* const res_base = "./app/native";
static char fs_roots[KD_NUM_FS_ROOTS][KD_FS_ROOT_SIZE];
static bool roots_resolved = false;
static nArray<char*> search_paths;

static char getpath_slots[GETPATH_SLOTS][GETPATH_SLOT_SIZE];
static int getpath_next = 0;
static char fullpath_slots[GETPATH_SLOTS][GETPATH_SLOT_SIZE];
static int fullpath_next = 0;

// The settings reader provides the real lists; without it there are none.
__attribute__((weak)) const char* KDI_GetProgramPackageList(int index) { return nullptr; }

// ---------------------------------------------------------------------------
// Roots

static bool CopyRoot(int index, const char* text) {
    if (index < 0 || index >= KD_NUM_FS_ROOTS || !text) return false;
    size_t n = strlen(text);
    if (n >= KD_FS_ROOT_SIZE) return false;
    memcpy(fs_roots[index], text, n + 1);
    return true;
}

static const char* DeveloperName() { return kd_state.developer[0] ? kd_state.developer : "Vantreo"; }
static const char* TitleName() { return kd_state.title[0] ? kd_state.title : "unknown"; }

void KDFS_ResolvePaths() { roots_resolved = true; }

void KDFS_RebuildUserRoots() {
    char user[KD_FS_ROOT_SIZE * 2];
    snprintf(user, sizeof user, "%s/%s/%s", user_base, DeveloperName(), TitleName());
    if (!CopyRoot(0, user) || !CopyRoot(1, user))
        KD_PrintDebugf(KD_LOG_ERROR, "User data folder name too long: '%s'.\n", user);
}

void KDI_InitFileSystem() {
    if (!roots_resolved) KDFS_ResolvePaths();
    KDFS_RebuildUserRoots();
    CopyRoot(2, user_base);
    CopyRoot(3, res_base);
    CopyRoot(4, user_base);
}

// The player's folder, for the rule of kd-native-file.h.
const char* KDI_PlayerFolder() { return KD_GetStaticPathPrefixAsNativeOSPath("user"); }

const char* KDFS_GetRoot(int index) {
    if (index < 0 || index >= KD_NUM_FS_ROOTS) return nullptr;
    return fs_roots[index];
}

bool KDFS_SetRoot(int index, const char* path) {
    if (!path || !*path || index < 0 || index >= KD_NUM_FS_ROOTS) return false;
    if (!CopyRoot(index, path)) {
        KD_PrintDebugf(KD_LOG_WARNING, "File system root too long, not changed: '%s'.\n", path);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Schemes and validation

const char* KD_GetPathAsPrefixString(int kind) {
    if (kind >= 0 && kind <= 2) return "user://";
    if (kind == 3 || kind == 4) return "res://";
    return nullptr;
}

// Index of "://" when it starts within the first 16 characters, else -1.
static int SchemeEnd(const char* path) {
    if (!path) return -1;
    const char* p = strstr(path, "://");
    if (!p || p - path >= 16) return -1;
    return (int)(p - path);
}

void KD_GetStaticPathPrefix(char* dst, int size, const char* path) {
    if (!dst || size < 1) return;
    dst[0] = 0;
    int n = SchemeEnd(path);
    // The scheme and its terminator must fit.
    if (n < 0 || size < 16 || n >= size) return;
    memcpy(dst, path, (size_t)n);
    dst[n] = 0;
}

bool KD_FileNameContainsStaticPath(const char* path) { return SchemeEnd(path) >= 0; }

bool KD_IsValidStaticPathPrefix(const char* scheme) {
    if (!scheme || strlen(scheme) >= 16) return false;
    return strcmp(scheme, "res") == 0 || strcmp(scheme, "user") == 0 || strcmp(scheme, "http") == 0;
}

bool KD_PathContainsValidPrefix(const char* path) {
    if (!path) return false;
    const char* colon = strchr(path, ':');
    if (!colon || colon - path >= 16) return false;
    char scheme[16];
    memcpy(scheme, path, (size_t)(colon - path));
    scheme[colon - path] = 0;
    return KD_IsValidStaticPathPrefix(scheme);
}

bool KD_IsValidFileName(const char* name) {
    if (!name || name[0] == '/' || name[0] == '\\') return false;
    if (strchr(name, ':') && !KD_PathContainsValidPrefix(name)) return false;
    if (strstr(name, "..")) return false;
    return true;
}

bool KDI_IsContainedRelativePath(const char* rest) {
    if (!rest) return false;
    if (rest[0] == '/' || rest[0] == '\\') return false;
    const char* seg = rest;
    for (;;) {
        const char* end = seg;
        while (*end && *end != '/' && *end != '\\') end++;
        if (end - seg == 2 && seg[0] == '.' && seg[1] == '.') return false;
        if (!*end) return true;
        seg = end + 1;
    }
}

const char* KD_GetStaticPathPrefixAsNativeOSPath(const char* scheme) {
    if (!scheme) return nullptr;
    if (strcmp(scheme, "res") == 0) return fs_roots[3];
    if (strcmp(scheme, "user") == 0) return fs_roots[1];
    if (strcmp(scheme, "http") == 0) return "http";
    return nullptr;
}

// The tools of the game name its data "data/..." ("res://data/worlds/x.xml"
// for the world folder): the bundled tree is itself the "res://" root, so
// that leading folder is dropped. Only here, so every caller agrees.
static const char* ResRelativeName(const char* rest) {
    if (strncmp(rest, "data/", 5) == 0) return rest + 5;
    if (strcmp(rest, "data") == 0) return rest + 4;
    return rest;
}

// root + "/" + rest as a new native path; null (with a line) when too long.
static char* JoinNative(const char* root, const char* rest, const char* path) {
    char work[512];
    int len = snprintf(work, sizeof work, "%s/%s", root, rest);
    if (len < 0 || len >= (int)sizeof work) {
        KD_PrintDebugf(KD_LOG_ERROR, "Path '%s' is too long, refused.\n", path);
        return nullptr;
    }
    return nStringDuplicate(work);
}

static bool NativeExists(const char* native) {
    struct stat st;
    return native && stat(native, &st) == 0;
}

// A writer of a "res://" name expects the folder that the bundle has; its
// copy in the user tree is made on the first write into it.
static void MirrorBundledFolder(const char* res_root, const char* rest) {
    const char* slash = strrchr(rest, '/');
    if (!slash || slash == rest) return;
    char work[512];
    int len = snprintf(work, sizeof work, "%s/%.*s", res_root, (int)(slash - rest), rest);
    struct stat st;
    if (len < 0 || len >= (int)sizeof work || stat(work, &st) != 0 || !S_ISDIR(st.st_mode)) return;
    nString folder("user://");
    folder.Append(rest);
    folder.text[7 + (slash - rest)] = 0;
    char* native = KD_ConvertStaticPathToNativeOSPath(folder.text);
    bool exists = NativeExists(native);
    free(native);
    if (!exists) KD_CreateDirectory(folder.text);
}

char* KD_ConvertStaticPathToNativeOSPath(const char* path, bool for_writing) {
    int n = SchemeEnd(path);
    if (n < 0) return nullptr;
    char scheme[16];
    memcpy(scheme, path, (size_t)n);
    scheme[n] = 0;
    if (!KD_IsValidStaticPathPrefix(scheme)) return nullptr;
    const char* root = KD_GetStaticPathPrefixAsNativeOSPath(scheme);
    const char* rest = path + n + 3;
    if (!root || !root[0]) return nullptr;
    if (!KDI_IsContainedRelativePath(rest)) {
        KD_PrintDebugf(KD_LOG_ERROR, "Path '%s' leads out of its folder, refused.\n", path);
        return nullptr;
    }
    if (strcmp(scheme, "res") != 0) return JoinNative(root, rest, path);

    rest = ResRelativeName(rest);
    const char* user_root = KD_GetStaticPathPrefixAsNativeOSPath("user");
    char* user = user_root && user_root[0] ? JoinNative(user_root, rest, path) : nullptr;
    if (for_writing) {
        if (!user) KD_PrintDebugf(KD_LOG_ERROR, "No writable place for '%s'; not written.\n", path);
        else MirrorBundledFolder(root, rest);
        return user;
    }
    char* bundled = JoinNative(root, rest, path);
    if (bundled && NativeExists(user) && (kd_state.developer_mode || !NativeExists(bundled))) {
        free(bundled);
        return user;
    }
    free(user);
    return bundled;
}

// A root as an absolute path, for comparing with the absolute paths that
// the platform's file dialogs answer; false when it does not fit.
static bool AbsoluteRoot(const char* root, char* out, size_t size) {
    if (root[0] == '/') return snprintf(out, size, "%s", root) < (int)size;
    char cwd[512];
    if (!getcwd(cwd, sizeof cwd)) return false;
    if (strncmp(root, "./", 2) == 0) root += 2;
    int n = snprintf(out, size, "%s/%s", cwd, root);
    return n > 0 && n < (int)size;
}

char* KD_ConvertNativeOSPathToStaticPath(const char* native) {
    if (!native) return nullptr;
    for (int i = 0; i < KD_NUM_FS_ROOTS; i++) {
        char absolute[1024];
        const char* root = fs_roots[i];
        // Only the roots the two schemes resolve to give a name that leads
        // back to the same file.
        if (!root[0] || root != KD_GetStaticPathPrefixAsNativeOSPath(i == 3 ? "res" : "user")) continue;
        if (native[0] == '/' && root[0] != '/') {
            if (!AbsoluteRoot(root, absolute, sizeof absolute)) continue;
            root = absolute;
        }
        // The root must lead the path and end at a separator: a folder that
        // merely contains the root's text elsewhere, or shares its
        // beginning ("<root>-old"), is outside the tree.
        size_t n = strlen(root);
        if (strncmp(native, root, n) != 0) continue;
        const char* rest = native + n;
        if (*rest && *rest != '/' && *rest != '\\' && root[n - 1] != '/') continue;
        if (*rest == '/' || *rest == '\\') rest++;
        if (!KDI_IsContainedRelativePath(rest)) continue;
        nString r(i <= 2 ? "user://" : "res://");
        r.Append(rest);
        char* out = r.text;
        r.text = nullptr;
        return out;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Path builders

static const char* SchemeOfKind(int kind) {
    const char* s = KD_GetPathAsPrefixString(kind);
    return s ? s : "";
}

// Builds scheme + formatted text into dst; false when it does not fit.
static bool BuildPath(char* dst, int size, int kind, const char* format, va_list ap) {
    char work[GETPATH_WORK];
    int n = format ? vsnprintf(work, sizeof work, format, ap) : 0;
    if (!format) work[0] = 0;
    if (n < 0 || n >= (int)sizeof work) return false;
    int len = snprintf(dst, (size_t)size, "%s%s", SchemeOfKind(kind), work);
    return len >= 0 && len < size;
}

const char* KD_GetPath(int kind, const char* format, ...) {
    if (!KD_IsMainThread())
        KD_Popupf(1, "Unsafe call to KODO interface method GetPath. Only main thread can call the method. Use GetPathEx "
                     "instead.\n");
    char local[GETPATH_SLOT_SIZE];
    va_list ap;
    va_start(ap, format);
    bool fits = BuildPath(local, sizeof local, kind, format, ap);
    va_end(ap);
    // A cut path would name another file: hand out an empty one instead.
    if (!fits) local[0] = 0;
    KDI_LockCoreMutex(KD_MUTEX_GET_PATH);
    char* slot = getpath_slots[getpath_next];
    getpath_next = (getpath_next + 1) % GETPATH_SLOTS;
    memcpy(slot, local, strlen(local) + 1);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_PATH);
    if (!fits) KD_PrintDebugf(KD_LOG_ERROR, "GetPath: path too long, format '%s'.\n", format ? format : "");
    return slot;
}

char* KD_GetPathEx(char* out, int size, int kind, const char* format, ...) {
    if (!out || size < 1) return out;
    va_list ap;
    va_start(ap, format);
    bool fits = BuildPath(out, size, kind, format, ap);
    va_end(ap);
    if (!fits) {
        out[0] = 0;
        KD_PrintDebugf(KD_LOG_ERROR, "GetPathEx: path too long, format '%s'.\n", format ? format : "");
    }
    return out;
}

void KDI_NormalizeFileName(char* dst, int size, const char* src) {
    if (!dst || !src || size < 2) return;
    size_t n = strlen(src);
    if (n > (size_t)size - 1) n = (size_t)size - 1;
    memmove(dst, src, n);
    dst[n] = 0;
    for (char* p = dst; *p; p++)
        if (*p == '\\') *p = '/';
    for (;;) {
        char* hit = nullptr;
        for (char* p = strstr(dst, "/.."); p; p = strstr(p + 1, "/.."))
            if (p[3] == 0 || p[3] == '/') {
                hit = p;
                break;
            }
        if (!hit) break;
        char* seg = hit;  // start of the segment before "/.."
        while (seg > dst && seg[-1] != '/') seg--;
        char* from = seg;
        char* to = hit + 3;
        if (seg > dst) {
            from = seg - 1;  // drop the separator in front of the segment
        } else if (*to == '/') {
            to++;  // first segment: drop the separator after "/.."
        }
        memmove(from, to, strlen(to) + 1);
    }
}

nString KDI_CollapseFileNameRelativePaths(const char* name) {
    nString r(name);
    if (!r.text) return r;
    for (;;) {
        char* hit = strstr(r.text, "/../");
        if (!hit) break;
        char* seg = hit;
        while (seg > r.text && seg[-1] != '/') seg--;
        memmove(seg, hit + 4, strlen(hit + 4) + 1);
    }
    return r;
}

nString KD_GetExtractedFilePath(const char* name) {
    nString r("");
    if (!name) return r;
    const char* slash = strrchr(name, '/');
    if (!slash) return r;
    nString cut(name);
    cut.text[slash - name] = 0;
    return cut;
}

// ---------------------------------------------------------------------------
// Directories and deletion

// Every level is made by the rule of kd-native-file.h: no folder below
// the player's folder is made or entered through a link.
bool KD_CreateDirectory(const char* path) {
    char* native = KD_ConvertStaticPathToNativeOSPath(path, true);
    if (!native) return false;
    char work[GETPATH_SLOT_SIZE];
    int len = snprintf(work, sizeof work, "%s/", native);
    free(native);
    if (len < 0 || len >= (int)sizeof work) {
        KD_PrintDebugf(KD_LOG_ERROR, "CreateDirectory: path too long: '%s'.\n", path);
        return false;
    }
    bool ok = KDI_MakeNativeFolders(work);
    // Without the separator(s) at the end ("user://logs/" gives "logs//").
    while (len > 1 && work[len - 1] == '/') work[--len] = 0;
    KD_PrintDebugf(KD_LOG_SYSTEM, "Creating Directory: '%s'..\n", work);
    return ok;
}

bool KD_DeleteFile(const char* path) {
    char* native = KD_ConvertStaticPathToNativeOSPath(path, true);
    bool ok = native && KDI_DeleteNative(native, false);
    free(native);
    return ok;
}

bool KDFS_DeleteDirectory(const char* path) {
    char* native = KD_ConvertStaticPathToNativeOSPath(path, true);
    bool ok = native && KDI_DeleteNative(native, true);
    free(native);
    return ok;
}

// ---------------------------------------------------------------------------
// Search paths

// '\\' becomes '/', and the path ends in '/'. False when it does not fit.
static bool NormalizeSearchPath(char* dst, const char* path) {
    size_t n = strlen(path);
    if (n + 2 > SEARCH_PATH_WORK) return false;
    memcpy(dst, path, n + 1);
    for (char* p = dst; *p; p++)
        if (*p == '\\') *p = '/';
    if (n == 0 || dst[n - 1] != '/') {
        dst[n] = '/';
        dst[n + 1] = 0;
    }
    return true;
}

static int FindSearchPath(const char* normalised) {
    for (int i = 0; i < search_paths.count; i++)
        if (strcmp(search_paths[i], normalised) == 0) return i;
    return -1;
}

void KD_AddSearchPath(const char* path, bool first) {
    if (!path) return;
    if (!KD_FileNameContainsStaticPath(path)) {
        KD_Popupf(1,
                  "kd->AddSearchPath ('%s'): path name needs to include file system target prefix such as res:// or "
                  "user://.",
                  path);
        return;
    }
    char work[SEARCH_PATH_WORK];
    if (!NormalizeSearchPath(work, path) || !KDI_IsContainedRelativePath(strstr(work, "://") + 3)) {
        KD_PrintDebugf(KD_LOG_WARNING, "Search path refused: '%s'.\n", path);
        return;
    }
    int old = FindSearchPath(work);
    if (old >= 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "Duplicate search path, removing the old one: '%s'\n", work);
        free(search_paths[old]);
        search_paths.RemoveIndex(old);
    }
    char* copy = nStringDuplicate(work);
    if (first)
        search_paths.InsertFirst(copy);
    else
        search_paths.InsertLast(copy);
    for (int i = 0; i < search_paths.count; i++) KD_Printf("Now using #%d: '%s'\n", i, search_paths[i]);
}

void KD_RemoveSearchPath(const char* path) {
    if (!path || !*path) return;
    char work[SEARCH_PATH_WORK];
    if (!NormalizeSearchPath(work, path)) return;
    int i = FindSearchPath(work);
    if (i < 0) return;
    free(search_paths[i]);
    search_paths.RemoveIndex(i);
}

const char* KD_GetSearchPath(int i) {
    if (i < 0 || i >= search_paths.count) return nullptr;
    return search_paths[i];
}

int KD_GetNumberOfSearchPaths() { return search_paths.count; }

void KDI_FreeSearchPaths() {
    for (int i = 0; i < search_paths.count; i++) free(search_paths[i]);
    search_paths.Free();
}

const char* KDI_GetFileFullPath(const char* name, bool read_only) {
    if (!name) return nullptr;
    char candidate[SEARCH_PATH_WORK];
    bool found = false;
    for (int i = 0; i < search_paths.count && !found; i++) {
        int len = snprintf(candidate, sizeof candidate, "%s%s", search_paths[i], name);
        if (len < 0 || len >= GETPATH_SLOT_SIZE) continue;
        kd_file_t* f = KD_OpenFile(candidate, "rb");
        if (f) {
            KD_CloseFile(f);
            found = true;
        } else if (!read_only && (f = KD_OpenFile(candidate, "wb")) != nullptr) {
            KD_CloseFile(f);
            KD_DeleteFile(candidate);
            found = true;
        }
    }
    if (!found) return nullptr;
    KDI_LockCoreMutex(KD_MUTEX_GET_PATH);
    char* slot = fullpath_slots[fullpath_next];
    fullpath_next = (fullpath_next + 1) % GETPATH_SLOTS;
    memcpy(slot, candidate, strlen(candidate) + 1);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_PATH);
    return slot;
}

// ---------------------------------------------------------------------------
// Package lists

// True when a "@<condition>:" of a package list holds.
static bool PackageConditionHolds(const char* cond) {
    int w = 0, h = 0;
    const char* size = nullptr;
    if (strncmp(cond, "res=", 4) == 0)
        size = cond + 4;
    else if (strncmp(cond, "resolution=", 11) == 0)
        size = cond + 11;
    if (size) {
        if (sscanf(size, "%dx%d", &w, &h) != 2) return false;
        const kd_parms_t& p = kd_prog ? kd_prog->parms : kd_parms;
        return (p.width == w && p.height == h) || (p.width == h && p.height == w);
    }
    if (strncmp(cond, "feature=", 8) == 0) return KDI_FeatureExists(cond + 8);
    return strncmp(cond, "open", 4) == 0;
}

static void Trim(char* s) {
    size_t n = strlen(s);
    while (n && (s[n - 1] == ' ' || s[n - 1] == '\t' || s[n - 1] == '\r' || s[n - 1] == '\n')) s[--n] = 0;
    size_t k = strspn(s, " \t\r\n");
    if (k) memmove(s, s + k, n - k + 1);
}

void KDI_AddPackages(const char* list, bool first) {
    if (!list) return;
    if (strlen(list) > 511) {
        KD_PrintDebugf(KD_LOG_WARNING, "Package list longer than 511 characters ignored.\n");
        return;
    }
    char work[512];
    strcpy(work, list);
    char* piece = work;
    for (int i = 0; i < 32 && piece; i++) {
        char* comma = strchr(piece, ',');
        if (comma) *comma = 0;
        char* next = comma ? comma + 1 : nullptr;
        Trim(piece);
        const char* package = piece;
        if (piece[0] == '@') {
            char* colon = strchr(piece, ':');
            if (!colon || colon - piece - 1 > 63) {
                piece = next;
                continue;
            }
            *colon = 0;
            package = PackageConditionHolds(piece + 1) ? colon + 1 : "";
        }
        if (strlen(package) > 1) KD_AddSearchPath(KD_GetPath(3, "%s", package), first);
        piece = next;
    }
}

void KDI_AddPackagesDefinedInProgramParameters() {
    KDI_AddPackages(KDI_GetProgramPackageList(0), true);
    KDI_AddPackages(KDI_GetProgramPackageList(1), true);
    KDI_AddPackages(KDI_GetProgramPackageList(2), true);
    KDI_AddPackages(KDI_GetProgramPackageList(3), true);
    KDI_AddPackages(KDI_GetProgramPackageList(4), false);
}

// ---------------------------------------------------------------------------
// Listing package entries

bool KD_FindFiles(kd_list_t* list, const char* dir, const char* wildcard, bool recurse) {
    if (!list || !dir || !wildcard) return false;
    list->items = nullptr;
    list->count = 0;
    char scheme[17];
    KD_GetStaticPathPrefix(scheme, sizeof scheme, dir);
    if (scheme[0]) {
        if (strcmp(scheme, "res") != 0) {
            KD_Popupf(1,
                      "KDFS_FindFiles should be passed only res:// paths or paths without prefix. '%s://' not "
                      "permitted. Returning 0 files.\n",
                      scheme);
            return false;
        }
        if (recurse)
            KD_Popupf(1,
                      "FindFiles subdir recursing is not implemented yet for external files. Forcing parm "
                      "recurse_subdirs to false.\n");
    }
    if (strncmp(wildcard, "*.", 2) != 0) {
        KD_Popupf(1,
                  "FindFiles wildcard '%s' is not implemented yet for file paks. Please use simple wildcards like "
                  "'*.ogg'\n",
                  wildcard);
        return false;
    }
    if (scheme[0]) {
        KD_Popupf(1, "FindFiles with prefixes is not implemented yet.'\n");
        return false;
    }
    nString folder(dir);
    int flen = folder.Length();
    while (flen > 0 && folder.text[flen - 1] == '/') folder.text[--flen] = 0;
    const char* suffix = wildcard + 1;
    size_t slen = strlen(suffix);

    nArray<char*> found;
    for (int i = 0; i < search_paths.count && kd_pak_file_opener; i++) {
        const char* sp = search_paths[i];
        const char* sep = strstr(sp, "://");
        if (!sep) continue;
        const char* folderStart = sep + 3;
        const char* slash = strchr(folderStart, '/');
        if (!slash || slash == folderStart) continue;
        char pakPath[SEARCH_PATH_WORK];
        int len = snprintf(pakPath, sizeof pakPath, "%.*s.pak", (int)(slash - sp), sp);
        if (len < 0 || len >= (int)sizeof pakPath) continue;
        pak_t* pak = kd_pak_file_opener->GetPakForPakFilename(pakPath);
        if (!pak) continue;
        for (int e = 0; e < pak->count; e++) {
            const char* name = pak->entries[e].name;
            if (!name) continue;
            size_t nlen = strlen(name);
            if (flen > 0 && (strncmp(name, folder.text, (size_t)flen) != 0 || name[flen] != '/')) continue;
            if (nlen < slen || strcmp(name + nlen - slen, suffix) != 0) continue;
            found.InsertLast(nStringDuplicate(name));
        }
    }
    if (found.count == 0) return false;
    list->items = new char*[found.count];
    for (int i = 0; i < found.count; i++) list->items[i] = found[i];
    list->count = found.count;
    return true;
}

void KD_FreeList(kd_list_t* list) {
    if (!list) return;
    if (list->items) {
        for (int i = 0; i < list->count; i++) free(list->items[i]);
        delete[] list->items;
    }
    list->items = nullptr;
    list->count = 0;
}

bool KD_FileExists(const char* name) {
    if (!name) return false;
    kd_file_t* f = KD_OpenFile(name, "rb");
    if (!f) return false;
    KD_CloseFile(f);
    return true;
}
