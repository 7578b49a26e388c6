// The engine side of fuzz_profile: file system and log, kept apart from
// the framework's sources, whose `kd` would clash with the engine's.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <string>

#include "fuzz-temp.h"
#include "kd-file.h"

kd_prog_t* KD_GetInterface() { return nullptr; }

kodo_t* FuzzEngineSetup() {
    // The engine's roots point into a folder of this process's own, which
    // goes at exit; the working folder stays, so libFuzzer's relative
    // corpus paths keep working in -jobs runs.
    static char folder[512];
    snprintf(folder, sizeof folder, "%s/kodo-fuzz-prof-XXXXXX", FuzzTempDir().c_str());
    if (!mkdtemp(folder)) abort();
    atexit([] { std::error_code ec; std::filesystem::remove_all(folder, ec); });
    std::string base(folder);
    std::filesystem::create_directories(base + "/app/native");
    kd_state.verbose_level = 3;  // damaged files are expected; keep the output quiet
    kd_state.main_thread_id = KDT_GetCurrentThreadId();
    KDI_InitFileSystem();
    // Roots: the user's data (two), the data folder, the program's data, and
    // the shared data, as KDI_InitFileSystem lays them out under "./".
    std::string user = base + "/" + (KDFS_GetRoot(0) + 2);
    std::string data = base + "/" + (KDFS_GetRoot(2) + 2);
    if (!KDFS_SetRoot(0, user.c_str()) || !KDFS_SetRoot(1, user.c_str()) || !KDFS_SetRoot(2, data.c_str()) ||
        !KDFS_SetRoot(3, (base + "/app/native").c_str()) || !KDFS_SetRoot(4, data.c_str()))
        abort();
    KDI_CreateFileOpeners();
    atexit(KDI_FreeFileOpeners);  // before the opener list itself goes
    atexit(KDI_DestroyMutexes);   // named mutexes the inputs made live to the end
    // The user tree ./data/<developer>/<title>/profiles, made at once.
    std::error_code ec;
    std::filesystem::create_directories(std::string(KDFS_GetRoot(0)) + "/profiles", ec);
    KDI_SetBasicInterface(&kodo);
    return &kodo;
}
