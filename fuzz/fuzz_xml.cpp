// Fuzz target for the engine XML reader and the database loader on top of
// it: any input must parse without crashing or reading out of bounds, and a
// database that loads must survive a save and a reload unchanged.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "fuzz-temp.h"
#include "kd-internal.h"
#include "kd-xml.h"
#include "kd-xmldb.h"

// The reader and the databases are built into this target on their own;
// these stand in for the rest of the engine: a silent log, no engine files
// (so files are read natively).
namespace kodo_engine {
kodo_t* kd = nullptr;
}
void KD_Printf(const char*, ...) {}
void KD_PrintDebugf(int, const char*, ...) {}
void KD_Popupf(int, const char*, ...) {}
kd_file_t* KD_OpenFile(const char*, const char*) { return nullptr; }
unsigned int KD_ReadFile(void*, unsigned int, kd_file_t*) { return 0; }
void KD_CloseFile(kd_file_t*) {}

static bool SameDatabase(const KD_DMDatabase& a, const KD_DMDatabase& b) {
    if (a.GetNumberOfArrays() != b.GetNumberOfArrays()) return false;
    for (int i = 0; i < a.GetNumberOfArrays(); i++) {
        KD_DMArray* x = a.GetArray(i);
        KD_DMArray* y = b.GetArray(i);
        if (x->GetSize() != y->GetSize()) return false;
        for (int n = 0; n < x->GetSize(); n++) {
            KD_DMNode* p = x->GetNode(n);
            KD_DMNode* q = y->GetNode(n);
            int written = 0;
            for (int v = 0; v < p->count; v++) {
                const char* name = p->values[v].name;
                // Names the writer cannot express are left out on purpose.
                if (!name || !*name || strpbrk(name, " \t\r\n=\"<>/\\?")) continue;
                if (written >= q->count) return false;
                if (strcmp(name, q->values[written].name) != 0) return false;
                if (strcmp(p->values[v].value, q->values[written].value) != 0) return false;
                written++;
            }
            if (written != q->count) return false;
        }
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    KD_XMLReader reader;
    if (reader.OpenFileInMemory(data, (int)size)) {
        int guard = 0;
        while (reader.ReadNextBlock() && guard++ < 100000) {
        }
    }

    KD_DMDatabase db;
    if (!db.LoadXMLFromMemory("fuzz.xml", data, (int)size)) return 0;
    // Only arrays with ids the writer can give back take part in the trip.
    for (int i = 0; i < db.GetNumberOfArrays(); i++)
        if (!db.GetArray(i)->id) return 0;

    char path[512];
    snprintf(path, sizeof path, "%s/kodo-fuzz-xml-%d.xml", FuzzTempDir().c_str(), (int)getpid());
    if (!db.SaveXML(path)) return 0;
    KD_DMDatabase back;
    bool ok = back.LoadXML(path);
    unlink(path);
    if (!ok || !SameDatabase(db, back)) __builtin_trap();
    return 0;
}
