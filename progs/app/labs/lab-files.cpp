#include "labs/lab-files.h"

#include <stdlib.h>
#include <string.h>

#include "dataman.h"
#include "framework-kd.h"

void LabShapeList::Load() {
    Clear();
    DMDatabase* db = dman.GetDatabase("actors.xml");
    if (!db) return;
    int n = db->GetArraySize("actors");
    for (int i = 0; i < n; i++) {
        const char* id = db->GetValue("actors", i, "id");
        if (id && *id) Add(id);
    }
    dman.ReleaseDatabase(db);
}

void LabShapeList::Clear() {
    for (int i = 0; i < files.count; i++) free(files[i]);
    files.Free();
}

bool LabShapeList::Lists(const char* file) const {
    std::string path, listed;
    if (!DataTreePath(file, &path)) return false;
    for (int i = 0; i < files.count; i++)
        if (DataTreePath(files[i], &listed) && listed == path) return true;
    return false;
}

bool LabNamesFolder(const char* file) {
    if (!file) return false;
    const char* scheme = strstr(file, "://");
    const char* leaf = scheme ? scheme + 3 : file;
    for (const char* p = leaf; *p; p++)
        if (*p == '/' || *p == '\\') leaf = p + 1;
    return !*leaf || !strcmp(leaf, ".") || !strcmp(leaf, "..");
}

const char* LabSaveRefusal(const char* file, LabFileKind kind, const LabShapeList& actors) {
    const char* why = ReservedFileReason(file);
    if (why || !file) return why;
    if (LabNamesFolder(file)) return "a folder";
    std::string path;
    DataTreePath(file, &path);
    const bool listed = actors.Lists(file);
    if (kind == LAB_FILE_WORLD && (listed || path.compare(0, 7, "actors/") == 0)) return "an actor definition";
    if (kind == LAB_FILE_ACTOR && path.compare(0, 7, "worlds/") == 0) return "a world";
    if (kind == LAB_FILE_ACTOR && !listed) return "a file 'actors.xml' does not list";
    return nullptr;
}

std::string Latin1Text(const char* text) {
    std::string out;
    for (const unsigned char* p = (const unsigned char*)(text ? text : ""); *p;) {
        // The length of a well-formed sequence led by *p, or 0.
        int n = *p >= 0xF0 && *p < 0xF5 ? 4 : *p >= 0xE0 && *p < 0xF0 ? 3 : *p >= 0xC2 && *p < 0xE0 ? 2 : 0;
        for (int k = 1; k < n; k++)
            if ((p[k] & 0xC0) != 0x80) {
                n = 0;
                break;
            }
        if (n == 0) {
            out += (char)*p++;
            continue;
        }
        out += n == 2 && *p < 0xC4 ? (char)(((p[0] & 0x1F) << 6) | (p[1] & 0x3F)) : '?';
        p += n;
    }
    return out;
}

void LabStatus::Done(const char* file) {
    last.Set(file);
    refused.Set("");
}

void LabStatus::Refused(const char* command, const char* file) {
    char text[600];
    nStringFormat(text, sizeof text, "%s of '%s' refused", command, file ? file : "");
    refused.Set(text);
}

void LabStatus::Clear() {
    last.Set("");
    refused.Set("");
}

void LabStatus::Draw(kd_font_t* font, float x, float y) const {
    const std::string shown = Latin1Text(last.c_str()), why = Latin1Text(refused.c_str());
    kd->DrawTextf(font, x, y, "Last: %s%s%s", shown.c_str(), why.empty() ? "" : "   ", why.c_str());
}
