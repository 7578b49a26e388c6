// The engine side of fuzz_world: fuzz_profile's file system and log, the
// image decoders (actor pictures give the sizes the wall rows are laid
// by) and the search paths the game finds its definitions through.
#include <stdlib.h>

#include "kd-file.h"

kodo_t* FuzzEngineSetup();

kodo_t* FuzzWorldEngineSetup() {
    kodo_t* k = FuzzEngineSetup();
    KDI_InitImageLoader();
    KD_AddSearchPath("res://", true);
    KD_AddSearchPath("user://", true);
    atexit(KDI_FreeSearchPaths);
    return k;
}
