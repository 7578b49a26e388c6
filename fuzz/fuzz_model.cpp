// Fuzzes the model reader: each input becomes a model file and is loaded.
// Whatever it holds, the model must keep only whole triangles whose
// indices lie inside its vertex array; written out and read again it must
// give the same counts and indices.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "models.h"

kodo_t* FuzzEngineSetup();

namespace {
kodo_t table;
// No bitmap table here: a model's texture is looked up and comes back empty.
kd_bitmap_t* NoBitmap(const char*, int) { return nullptr; }
void NoRelease(kd_bitmap_t*) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    table = *FuzzEngineSetup();
    table.LoadBitmap = NoBitmap;
    table.ReleaseBitmap = NoRelease;
    kd = &table;
    return 0;
}

static void CheckShape(const Model& m) {
    if (m.num_vertices < 0 || m.num_indices < 0 || m.num_indices % 3 != 0) abort();
    for (int i = 0; i < m.num_indices; i++)
        if (m.indices[i] >= m.num_vertices) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile("user://model.xml", "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);

    Model a;
    a.Load("user://model.xml");
    CheckShape(a);
    a.CalculateNormals();
    a.CalculateBounds();
    if (!a.Save("user://model-out.xml")) abort();
    Model b;
    b.Load("user://model-out.xml");
    CheckShape(b);
    if (b.num_vertices != a.num_vertices || b.num_indices != a.num_indices) abort();
    if (a.num_indices && memcmp(a.indices, b.indices, (size_t)a.num_indices * sizeof a.indices[0]) != 0) abort();
    return 0;
}
