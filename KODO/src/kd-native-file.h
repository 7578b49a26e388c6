// Native files and folders under the player's folder: the one rule every
// create, write, rename and delete of the engine goes through.
//
// The player's folder itself (the "user://" root, "./data/<developer>/
// <title>") is opened by its name: whoever set up the working folder may
// have made it, or a folder above it, a link to another disk, and that is
// theirs to choose. Below it, no part of a path is followed as a link:
// each folder is opened from the one before with O_NOFOLLOW, so that a
// link swapped in during the walk is met too, and the last part is made,
// opened, renamed or deleted relative to the folder that holds it. A file
// written in place (an append, a cut) never has a second name: the other
// name would change with it. A save by rename replaces only its own name,
// so it goes ahead over a file with a second name, whose other name keeps
// its bytes, and over a link, which it replaces by a file of its own (with
// a line naming the link). A path that does not lie under the player's
// folder (a test's, a tool's) has its folder opened by name and only its
// last part checked.
//
// A link met is refused with one line naming it (once per link); errno
// is ELOOP for a link, EMLINK for a file with a second name.
#ifndef KD_NATIVE_FILE_H
#define KD_NATIVE_FILE_H

#include <dirent.h>
#include <stdio.h>
#include <sys/types.h>

// The player's folder: the "user://" root.
const char* KDI_PlayerFolder();
// The folder that holds the last part of `native`, open for *at calls,
// with that part in *leaf ("" when the path ends in '/': the fd is then
// the folder the path names). With `make`, missing folders are made on
// the way. -1 when refused or missing.
int KDI_OpenFolderOf(const char* native, const char** leaf, bool make);
// A file's descriptor for open(2) flags: O_NOFOLLOW, O_CLOEXEC and
// O_NONBLOCK are added; only a regular file is opened, and a written one
// (any flag but O_RDONLY) has no other name. O_TRUNC cuts it only after
// those checks.
int KDI_OpenNative(const char* native, int flags, mode_t mode);
// The modes of fopen ("r", "w", "a", "+", "x") on KDI_OpenNative.
FILE* KDI_OpenRegularFile(const char* native, const char* mode);
// Makes every folder of a path that ends in '/'.
bool KDI_MakeNativeFolders(const char* native);
// Removes a name: a file (or a link, never what it leads to), or with
// `folder` an empty folder.
bool KDI_DeleteNative(const char* native, bool folder);
// Renames a file; a link at `to` is replaced, never followed.
bool KDI_RenameNative(const char* from, const char* to);
// The folder a path ending in '/' names, for listing and deleting in it.
DIR* KDI_OpenNativeFolder(const char* native);

#endif
