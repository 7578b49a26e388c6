// What the two labs share: the actor definition files "actors.xml" lists,
// the check of what a lab may write, and the status line that shows what
// became of its last Save or Load.
#ifndef APP_LABS_LAB_FILES_H
#define APP_LABS_LAB_FILES_H

#include <string>

#include "kodo.h"
#include "nstring.h"

// The actor definition files listed by "actors.xml" (its "actors" array).
class LabShapeList {
public:
    ~LabShapeList() { Clear(); }
    void Load();
    void Add(const char* file) { files.InsertLast(nStringDuplicate(file)); }
    void Clear();
    int Count() const { return files.count; }
    const char* File(int i) const { return i >= 0 && i < files.count ? files[i] : nullptr; }
    // Whether one of the files is `file`, in any spelling (DataTreePath).
    bool Lists(const char* file) const;

private:
    nArray<char*> files;
};

enum LabFileKind { LAB_FILE_WORLD, LAB_FILE_ACTOR };

// Whether a name's last part is a folder's: empty (a trailing separator),
// "." or "..". Such a name gets no extension, and no lab reads or writes it.
bool LabNamesFolder(const char* file);

// Why a lab may not write `file`, or null when it may: a reserved file
// (ReservedFileReason); a folder, where a hidden ".xml" would be written;
// or the other lab's files: a world goes only where no actor definition
// is (the "actors/" folder, a file `actors` lists), an actor definition
// only to a file `actors` lists that is no world (the "worlds/" folder).
const char* LabSaveRefusal(const char* file, LabFileKind kind, const LabShapeList& actors);

// A name as a Latin-1 font draws it: a UTF-8 character within Latin-1
// becomes its byte, one beyond it '?'; bytes that are no UTF-8 stay.
std::string Latin1Text(const char* text);

// A lab's status line. A popup is only a log line on this platform, so
// the window itself says what became of a Save or Load: the last file
// really loaded or written, and the command refused (or failed) since.
struct LabStatus {
    nString last, refused;
    void Done(const char* file);
    // `command` is "Save" or "Load".
    void Refused(const char* command, const char* file);
    void Clear();
    // "Last: <file>", then "<command> of '<file>' refused" after a refusal.
    void Draw(kd_font_t* font, float x, float y) const;
};

#endif
