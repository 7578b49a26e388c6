// Engine files: handles, file objects, file openers, packages and the
// path helpers that the file system shares between its source files.
#ifndef KD_FILE_H
#define KD_FILE_H

#include <mutex>

#include "kd-internal.h"
#include "kd-pak-format.h"

class kdFile;

// The handle the program holds. `name` points into the kdFile.
struct kd_file_t {
    const char* name;
    int32_t size;
    kdFile* file;
};

class kdFile {
public:
    virtual ~kdFile() {}
    virtual bool SetPosition(long offset, int whence) = 0;
    virtual long GetPosition() = 0;
    virtual long GetSize() = 0;
    virtual const char* GetName() = 0;
    virtual void Flush() = 0;
    virtual long Read(void* dst, long n) = 0;
    virtual long Write(const void* src, long n) = 0;
    // Closes and destroys the object.
    virtual void Close() = 0;
};

// A native file opened through standard I/O.
class kdFilePosix : public kdFile {
public:
    char* name = nullptr;
    char* nativePath = nullptr;
    long size = 0;
    FILE* fp = nullptr;

    bool SetPosition(long offset, int whence) override;
    long GetPosition() override;
    long GetSize() override { return size; }
    const char* GetName() override { return name; }
    void Flush() override;
    long Read(void* dst, long n) override;
    long Write(const void* src, long n) override;
    void Close() override;
};

// One entry of a package, read through a handle of its own on the package
// file. Positions are relative to the entry and never leave it.
class kdFilePakFile : public kdFile {
public:
    char* name = nullptr;
    char* nativePath = nullptr;
    long size = 0;
    long offset = 0;
    kd_file_t* pakHandle = nullptr;

    bool SetPosition(long position, int whence) override;
    long GetPosition() override;
    long GetSize() override { return size; }
    const char* GetName() override { return name; }
    void Flush() override {}
    long Read(void* dst, long n) override;
    long Write(const void* src, long n) override { return 0; }
    void Close() override;
    virtual kd_file_t* GetFilePointer() { return pakHandle; }
};

class kdFileOpener {
public:
    virtual ~kdFileOpener() {}
    virtual kdFile* OpenFile(const char* name, const char* mode) = 0;
    virtual bool Init() { return true; }
    virtual void Free() {}
    virtual bool AllowSearchPaths() { return true; }
};

// One open package: its directory in memory and a handle on its file.
struct pak_entry_t {
    char* name;
    uint32_t offset;
    uint32_t size;
    uint32_t reserved[2];
};

struct pak_t {
    char* name;
    long size;
    pak_entry_t* entries;
    int32_t count;
    kd_file_t* file;
    uint32_t directoryOffset;
};

bool Pak_Open(pak_t* pak, const char* path);
pak_entry_t* Pak_GetFileInfo(pak_t* pak, const char* entryName);
void Pak_Close(pak_t* pak);
char* pak_strdup(const char* s);

class kdFileOpenerPak : public kdFileOpener {
public:
    // Files are opened on any thread (the news fetcher, the loaders), so
    // the table is read and changed under `paks_lock` only. The lock is
    // held around the table alone, never while a file is read or a line
    // printed, so it takes no other lock and sits below all of them. A
    // package, once in the table, is not changed until Free.
    nMap<pak_t*> paks;
    std::mutex paks_lock;

    kdFile* OpenFile(const char* name, const char* mode) override;
    void Free() override;
    // The open package for a package path ("res://sfx.pak"), opened on first
    // use; a package that failed once is remembered as absent.
    pak_t* GetPakForPakFilename(const char* pakPath);
};

class kdFileOpenerPosix : public kdFileOpener {
public:
    kdFile* OpenFile(const char* name, const char* mode) override;
};

// Remote files: served only from the download cache under user://cache.
class kdFileOpenerHTTP : public kdFileOpener {
public:
    kdFile* OpenFile(const char* url, const char* mode) override;
    bool AllowSearchPaths() override { return false; }
};

extern nArray<kdFileOpener*> kd_file_openers;
extern kdFileOpenerPak* kd_pak_file_opener;

kd_file_t* KDFS_OpenFile(const char* name, const char* mode);
kdFile* KD_OpenFileCore(const char* name, const char* mode);
void KDFS_CloseFile(kd_file_t* f);
void KD_InitFileOpeners();
bool KD_FileExists(const char* name);

// Paths.
enum { KD_NUM_FS_ROOTS = 5, KD_FS_ROOT_SIZE = 260 };
void KDFS_ResolvePaths();
const char* KDFS_GetRoot(int index);
// Replaces a root (0 or 1 for the Switch...Path commands); false when the
// path is null, empty or does not fit.
bool KDFS_SetRoot(int index, const char* path);
// Rebuilds roots 0 and 1 as "<user base>/<developer>/<title>".
void KDFS_RebuildUserRoots();
bool KDFS_DeleteDirectory(const char* path);
const char* KD_GetPathAsPrefixString(int kind);
void KD_GetStaticPathPrefix(char* dst, int size, const char* path);
bool KD_FileNameContainsStaticPath(const char* path);
bool KD_IsValidStaticPathPrefix(const char* scheme);
bool KD_PathContainsValidPrefix(const char* path);
bool KD_IsValidFileName(const char* name);
const char* KD_GetStaticPathPrefixAsNativeOSPath(const char* scheme);
// The native path of an engine path, or null when the name leaves its tree.
// A "res://" name is written under "user://" and read from there first in
// developer mode (see kd-path.cpp); `for_writing` chooses which.
char* KD_ConvertStaticPathToNativeOSPath(const char* path, bool for_writing = false);
char* KD_ConvertNativeOSPathToStaticPath(const char* native);
const char* KDI_GetFileFullPath(const char* name, bool read_only);
void KDI_NormalizeFileName(char* dst, int size, const char* src);
nString KDI_CollapseFileNameRelativePaths(const char* name);
nString KD_GetExtractedFilePath(const char* name);
void KDI_AddPackages(const char* list, bool first);
// True when `rest` (the part after the scheme) stays inside its tree: not
// absolute and no ".." segment.
bool KDI_IsContainedRelativePath(const char* rest);
// Frees the search paths (shutdown and tests).
void KDI_FreeSearchPaths();

#endif
