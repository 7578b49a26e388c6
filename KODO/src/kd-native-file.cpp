// Native files and folders opened safely (the rule: kd-native-file.h). A
// file of its own, so that the fuzz targets that bring their own
// stand-ins for the engine's files still get it alone.
#include "kd-native-file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "kd-internal.h"

// The path layer gives the player's folder; without it (a fuzz target)
// every path is elsewhere.
__attribute__((weak)) const char* KDI_PlayerFolder() { return nullptr; }

// The part of `native` below the player's folder, or null for a path
// elsewhere.
static const char* BelowPlayerFolder(const char* native) {
    const char* root = KDI_PlayerFolder();
    size_t n = root ? strlen(root) : 0;
    if (!n || strncmp(native, root, n) != 0 || (native[n] != '/' && root[n - 1] != '/')) return nullptr;
    return native + n;
}

// What a link met is to the game: refused, a file with a second name
// refused (in place), or a link a save by rename put its file in place of.
enum class LinkMet { kRefused, kSecondName, kReplaced };

// One line for each link met, however often a save meets it: the names
// told so far (a few; past them a link is met without a line).
static void TellLink(const char* native, const char* end, LinkMet how) {
    static std::mutex told_lock;
    static char told[16][256];
    static int told_count = 0;
    char name[256];
    const char* below = BelowPlayerFolder(native);
    // The kind leads the name kept: a link refused and then replaced is
    // told both times.
    name[0] = (char)('0' + (int)how);
    if (below) {
        while (*below == '/') below++;
        snprintf(name + 1, sizeof name - 1, "user://%.*s", (int)(end - below), below);
    } else {
        snprintf(name + 1, sizeof name - 1, "%.*s", (int)(end - native), native);
    }
    {
        std::lock_guard<std::mutex> hold(told_lock);
        for (int i = 0; i < told_count; i++)
            if (strcmp(told[i], name) == 0) return;
        if (told_count == 16) return;
        memcpy(told[told_count++], name, sizeof name);
    }
    int kept = errno;
    if (how == LinkMet::kSecondName)
        KD_PrintDebugf(KD_LOG_WARNING,
                       "'%s' is a file with a second name (a hard link); the game does not write it in place: "
                       "refused.\n",
                       name + 1);
    else if (how == LinkMet::kReplaced)
        KD_PrintDebugf(KD_LOG_WARNING,
                       "'%s' was a link; the save put a file of its own in its place and left what it led to alone.\n",
                       name + 1);
    else
        KD_PrintDebugf(KD_LOG_WARNING, "'%s' is a link; the game writes and deletes nothing through it: refused.\n",
                       name + 1);
    errno = kept;
}

// A folder by its own name, made first with `make` (each level of it).
static int OpenFolderByName(const char* path, bool make) {
    if (make) {
        char work[PATH_MAX];
        snprintf(work, sizeof work, "%s", path);
        for (char* p = work + 1; *p; p++) {
            if (*p != '/') continue;
            *p = 0;
            mkdir(work, 0755);  // levels that exist already fail harmlessly
            *p = '/';
        }
        mkdir(work, 0755);
    }
    return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int KDI_OpenFolderOf(const char* native, const char** leaf, bool make) {
    if (!native || !*native) {
        errno = ENOENT;
        return -1;
    }
    const char* rest = BelowPlayerFolder(native);
    int fd;
    if (rest) {
        char root[PATH_MAX];
        snprintf(root, sizeof root, "%.*s", (int)(rest - native), native);
        fd = OpenFolderByName(root, make);
    } else {
        const char* slash = strrchr(native, '/');
        char folder[PATH_MAX];
        if (slash) snprintf(folder, sizeof folder, "%.*s", slash == native ? 1 : (int)(slash - native), native);
        fd = open(slash ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        rest = slash ? slash + 1 : native;
    }
    for (const char* part = rest; fd >= 0;) {
        while (*part == '/') part++;
        const char* end = strchr(part, '/');
        if (!end) {
            *leaf = part;
            return fd;
        }
        char name[NAME_MAX + 1];
        size_t n = (size_t)(end - part);
        const char* at = part;
        part = end;
        if (n == 1 && at[0] == '.') continue;
        int next = -1;
        if (n > NAME_MAX || (n == 2 && at[0] == '.' && at[1] == '.')) {
            errno = n > NAME_MAX ? ENAMETOOLONG : EACCES;
        } else {
            memcpy(name, at, n);
            name[n] = 0;
            if (make) mkdirat(fd, name, 0755);
            next = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st;
            if (next < 0 && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                errno = ELOOP;
                TellLink(native, end, LinkMet::kRefused);
            }
        }
        int kept = errno;
        close(fd);
        errno = kept;
        fd = next;
    }
    return -1;
}

// The last part names a file: not empty, "." or "..".
static bool FileLeaf(const char* leaf) {
    bool ok = *leaf && strcmp(leaf, ".") != 0 && strcmp(leaf, "..") != 0;
    if (!ok) errno = EISDIR;
    return ok;
}

int KDI_OpenNative(const char* native, int flags, mode_t mode) {
    const char* leaf;
    int dir = KDI_OpenFolderOf(native, &leaf, false);
    if (dir < 0) return -1;
    int fd = FileLeaf(leaf) ? openat(dir, leaf, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode) : -1;
    if (fd < 0 && errno == ELOOP) TellLink(native, leaf + strlen(leaf), LinkMet::kRefused);
    int kept = errno;
    close(dir);
    errno = kept;
    if (fd < 0) return -1;
    // Folders open for reading on this system; they are not files either.
    struct stat st;
    bool write = (flags & O_ACCMODE) != O_RDONLY;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) errno = EISDIR;
    if (ok && write && st.st_nlink > 1) {
        TellLink(native, leaf + strlen(leaf), LinkMet::kSecondName);
        errno = EMLINK;
        ok = false;
    }
    if (ok && (flags & O_TRUNC) && ftruncate(fd, 0) != 0) ok = false;
    if (ok && fcntl(fd, F_SETFL, flags & O_APPEND) != 0) ok = false;
    if (!ok) {
        kept = errno;
        close(fd);
        errno = kept;
        return -1;
    }
    return fd;
}

// Opens a native file for the modes of fopen with only regular files
// accepted. The open does not block (a FIFO in place of a data file would
// otherwise hang until someone writes to it), and the type is checked on
// the open descriptor before any byte is read. Files made here are 0644:
// the player's data is not for every user of the device to change. A read
// takes the path as it is (the bundled tree is itself made of links);
// a write goes by the rule, and a file it refuses is not cut.
FILE* KDI_OpenRegularFile(const char* native, const char* mode) {
    if (!native || !mode) return nullptr;
    bool plus = strchr(mode, '+') != nullptr;
    int flags;
    switch (mode[0]) {
        case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
        case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC | (strchr(mode, 'x') ? O_EXCL : 0); break;
        case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
        default: return nullptr;
    }
    int fd;
    if (flags == O_RDONLY) {
        fd = open(native, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0)) {
            close(fd);
            fd = -1;
        }
    } else {
        fd = KDI_OpenNative(native, flags, 0644);
    }
    if (fd < 0) return nullptr;
    FILE* fp = fdopen(fd, mode);
    if (!fp) close(fd);
    return fp;
}

bool KDI_MakeNativeFolders(const char* native) {
    const char* leaf;
    int fd = KDI_OpenFolderOf(native, &leaf, true);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

bool KDI_DeleteNative(const char* native, bool folder) {
    const char* leaf;
    int dir = KDI_OpenFolderOf(native, &leaf, false);
    if (dir < 0) return false;
    bool ok = FileLeaf(leaf) && unlinkat(dir, leaf, folder ? AT_REMOVEDIR : 0) == 0;
    int kept = errno;
    close(dir);
    errno = kept;
    return ok;
}

bool KDI_RenameNative(const char* from, const char* to) {
    const char *from_leaf, *to_leaf;
    int from_dir = KDI_OpenFolderOf(from, &from_leaf, false);
    int to_dir = from_dir >= 0 ? KDI_OpenFolderOf(to, &to_leaf, false) : -1;
    // A link at the new name is a name like any: the rename replaces it and
    // what it leads to keeps its bytes. A file with a second name likewise.
    struct stat st;
    bool link = to_dir >= 0 && FileLeaf(to_leaf) && fstatat(to_dir, to_leaf, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode);
    bool ok =
        to_dir >= 0 && FileLeaf(from_leaf) && FileLeaf(to_leaf) && renameat(from_dir, from_leaf, to_dir, to_leaf) == 0;
    int kept = errno;
    if (ok && link) TellLink(to, to_leaf + strlen(to_leaf), LinkMet::kReplaced);
    if (from_dir >= 0) close(from_dir);
    if (to_dir >= 0) close(to_dir);
    errno = kept;
    return ok;
}

DIR* KDI_OpenNativeFolder(const char* native) {
    const char* leaf;
    int fd = KDI_OpenFolderOf(native, &leaf, false);
    if (fd < 0) return nullptr;
    if (*leaf) {
        close(fd);
        errno = ENOTDIR;
        return nullptr;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) close(fd);
    return dir;
}
