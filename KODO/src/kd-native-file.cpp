// Native files opened safely. A file of its own, so that the fuzz targets
// that bring their own stand-ins for the engine's files still get it alone.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kd-internal.h"

// Opens a native file for the modes of fopen with only regular files
// accepted. The open does not block (a FIFO in place of a data file would
// otherwise hang until someone writes to it), and the type is checked on
// the open descriptor before any byte is read. Files made here are 0644:
// the player's data is not for every user of the device to change.
// A write never goes through a link at the file's own name, nor into a
// file that has another name as well: either would let a link planted in
// the player's folder send a save to a file outside it. Such a file is
// refused before a byte of it is cut.
FILE* KDI_OpenRegularFile(const char* native, const char* mode) {
    if (!native || !mode) return nullptr;
    bool plus = strchr(mode, '+') != nullptr;
    int flags;
    switch (mode[0]) {
        case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
        case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_NOFOLLOW | (strchr(mode, 'x') ? O_EXCL : 0); break;
        case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND | O_NOFOLLOW; break;
        default: return nullptr;
    }
    int fd = open(native, flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    // Folders open for reading on this system; they are not files either.
    bool write = mode[0] != 'r';
    bool cut = mode[0] == 'w';
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (write && st.st_nlink > 1) || (cut && ftruncate(fd, 0) != 0) ||
        fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* fp = fdopen(fd, mode);
    if (!fp) close(fd);
    return fp;
}
