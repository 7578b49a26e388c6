#include "atomic-file.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <string>

AtomicFile::~AtomicFile() {
    if (file || !temp.IsEmpty()) Abort();
}

// A player's folder that took no file at start-up has been told once on
// stderr and on the screen ("nothing will be saved"); every save into it
// fails the same way, so the log says that once too.
static bool SaveIntoUnwritablePlayerFolder(const char* path) {
    if (strncmp(path, "user://", 7) != 0) return false;
    const char* writable = kd->CallExtension("PlayerDataWritable", nullptr);
    return writable && strcmp(writable, "0") == 0;
}

void AtomicFile::Fail(const char* why) {
    static std::atomic<bool> unwritable_told{false};
    if (!failed) {
        const bool unwritable = SaveIntoUnwritablePlayerFolder(path.c_str());
        if (!unwritable || !unwritable_told.exchange(true))
            kd->PrintDebugf(KD_LOG_WARNING, "Saving '%s' failed: %s; the old file is kept.%s\n", path.c_str(), why,
                            unwritable ? " Later saves into the player's folder, which cannot be written, are not "
                                         "reported again."
                                       : "");
    }
    failed = true;
}

bool AtomicFile::Open(const char* target) {
    Abort();
    failed = false;
    written = 0;
    path.Set(target);
    if (!target || !*target) {
        Fail("no file name");
        return false;
    }
    // A file the player made read-only stays as it is: the rename below
    // would replace it whatever its permissions. A file behind a link is
    // refused as such (the rename would be too). A file with a second name
    // is saved: the rename gives this name the new file and leaves the
    // other name its bytes. A link at the name itself is replaced by the
    // file, with a line naming it (KDI_RenameNative).
    const char* there = kd->CallExtension("FileExists", target);
    if (there && strcmp(there, "file behind a link") == 0) {
        Fail("it is a file behind a link, which no save goes into: refused");
        return false;
    }
    if (there && strcmp(there, "read-only file") == 0) {
        Fail("the file is read-only");
        return false;
    }
    // Same folder as the target, so the rename never crosses devices.
    temp.Set(target);
    temp.Append(".tmp");
    // Whatever holds that name goes first (a save cut short, or a link
    // planted there: removing a link leaves what it names alone); the file
    // is then made anew, and one that appeared there since is refused.
    kd->DeleteFile(temp.text);
    file = kd->OpenFile(temp.text, "wbx");
    if (!file) {
        Fail("unable to create the temporary file");
        temp.Set(nullptr);
        return false;
    }
    return true;
}

bool AtomicFile::Write(const void* bytes, unsigned int size) {
    if (failed || !file) {
        if (!file) Fail("not open");
        return false;
    }
    if (size == 0) return true;
    if (kd->WriteFile(bytes, size, file) != size) {
        Fail("write error");
        return false;
    }
    written += size;
    return true;
}

bool AtomicFile::Printf(const char* format, ...) {
    if (failed || !file) {
        if (!file) Fail("not open");
        return false;
    }
    // Formatted without a length limit: a long value is never cut short.
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(again);
        Fail("formatting error");
        return false;
    }
    std::string text((size_t)n + 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    return Write(text.data(), (unsigned)n);
}

void AtomicFile::Abort() {
    if (file) {
        kd->CloseFile(file);
        file = nullptr;
    }
    if (!temp.IsEmpty()) {
        kd->DeleteFile(temp.text);
        temp.Set(nullptr);
    }
}

bool AtomicFile::Commit() {
    if (!file) {
        Fail("not open");
        Abort();
        return false;
    }
    if (failed) {
        Abort();
        return false;
    }
    kd->FlushFile(file);
    kd->CloseFile(file);
    file = nullptr;
    // Flush and close report nothing, so the size on disk is checked: a
    // full disk shows up here rather than as a truncated save.
    kd_file_t* check = kd->OpenFile(temp.text, "rb");
    long size = -1;
    if (check) {
        if (kd->SetFilePosition(check, 0, SEEK_END)) size = kd->GetFilePosition(check);
        kd->CloseFile(check);
    }
    if (size < 0 || (unsigned long)size != written) {
        Fail("the temporary file is incomplete");
        Abort();
        return false;
    }
    // On the disk before it replaces the old file: otherwise a power cut
    // can leave the new name on an empty file.
    if (!kd->CallExtension("SyncFile", temp.text)) {
        Fail("unable to write the file to the disk");
        Abort();
        return false;
    }
    nString parameter(temp.text);
    parameter.Append("|");
    parameter.Append(path.text);
    if (!kd->CallExtension("RenameFile", parameter.text)) {
        Fail("unable to replace the file");
        Abort();
        return false;
    }
    temp.Set(nullptr);
    // The rename itself lasts once the folder is on the disk. The file is
    // replaced either way: a failure here is only told.
    if (!kd->CallExtension("SyncFolder", path.text))
        kd->PrintDebugf(KD_LOG_WARNING, "Saving '%s': its folder could not be written to the disk.\n", path.c_str());
    return true;
}

bool AtomicWriteFile(const char* path, const void* bytes, unsigned int size) {
    AtomicFile f;
    if (!f.Open(path)) return false;
    f.Write(bytes, size);
    return f.Commit();
}
