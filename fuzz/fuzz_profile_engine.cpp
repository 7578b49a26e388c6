// The engine side of fuzz_profile: file system and log, kept apart from
// the framework's sources, whose `kd` would clash with the engine's.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kd-file.h"

kd_prog_t* KD_GetInterface() { return nullptr; }

kodo_t* FuzzEngineSetup() {
    char tmpl[] = "/tmp/kodo-fuzz-prof-XXXXXX";
    if (!mkdtemp(tmpl) || chdir(tmpl) != 0) abort();
    mkdir("app", 0777);
    mkdir("app/native", 0777);
    kd_state.verbose_level = 3;  // damaged files are expected; keep the output quiet
    kd_state.main_thread_id = KDT_GetCurrentThreadId();
    KDI_InitFileSystem();
    KDI_CreateFileOpeners();
    atexit(KDI_FreeFileOpeners);  // before the opener list itself goes
    atexit(KDI_DestroyMutexes);   // named mutexes the inputs made live to the end
    // The user tree ./data/<developer>/<title>/profiles, made at once.
    std::error_code ec;
    std::filesystem::create_directories(std::string(KDFS_GetRoot(0)) + "/profiles", ec);
    KDI_SetBasicInterface(&kodo);
    return &kodo;
}
