// Replaces a file as a whole or not at all. Every writer of player data
// goes through here: the new contents go to a temporary file in the same
// folder, every write is checked, and only a complete file that is on the
// disk is renamed over the old one. On any failure the old file stays as
// it was; a power cut leaves the old file or the new one.
#ifndef FRAMEWORK_ATOMIC_FILE_H
#define FRAMEWORK_ATOMIC_FILE_H

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class AtomicFile {
public:
    AtomicFile() {}
    ~AtomicFile();  // a file neither committed nor aborted is aborted

    // Opens "<path>.tmp" for writing. False (with a log line) on failure.
    bool Open(const char* path);
    // Each returns false once anything failed; later calls do nothing.
    bool Write(const void* bytes, unsigned int size);
    bool Printf(const char* format, ...) N_PRINTF_LIKE(2, 3);
    // Flushes, closes, checks the written size, waits until the temporary
    // is on the disk and renames it over the target, then waits for the
    // folder. False (with a log line) on any failure before the rename;
    // the temporary is then gone and the old file untouched.
    bool Commit();
    // Drops the temporary.
    void Abort();
    bool Failed() const { return failed; }

private:
    void Fail(const char* why);
    nString path;
    nString temp;
    kd_file_t* file = nullptr;
    unsigned long written = 0;
    bool failed = false;
};

// One-call form for a ready buffer.
bool AtomicWriteFile(const char* path, const void* bytes, unsigned int size);

#endif
