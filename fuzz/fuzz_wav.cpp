// Fuzz target for the WAV reader: any input must be refused or loaded
// without reading outside it, and a loaded sample must be consistent.
#include <stddef.h>
#include <stdint.h>

#include "kd-internal.h"
#include "kd-wav.h"

// The reader is built into this target on its own; these stand in for the
// rest of the engine: a silent log and no files.
void KD_PrintDebugf(int, const char*, ...) {}
kd_file_t* KD_OpenFile(const char*, const char*) { return nullptr; }
unsigned int KD_ReadFile(void*, unsigned int, kd_file_t*) { return 0; }
void KD_CloseFile(kd_file_t*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    kdSample s;
    if (s.LoadWavFromMemory(data, (unsigned int)size)) {
        if (!s.data || s.size <= 0) __builtin_trap();
        if (s.channels != 1 && s.channels != 2) __builtin_trap();
        if (s.rate <= 0 || s.bits != 16) __builtin_trap();
        // The whole block is readable, and the lead-in is silent.
        unsigned sum = 0;
        for (int i = 0; i < s.size; i++) sum += s.data[i];
        for (int i = 0; i < 8; i++)
            if (s.data[i]) __builtin_trap();
        (void)sum;
        s.RescaleVolume(0.5f);
    } else if (s.data || s.size) {
        __builtin_trap();
    }
    return 0;
}
