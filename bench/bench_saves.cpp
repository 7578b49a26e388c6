// The cost of making a save durable: a profile-sized database (about
// 6 KiB, as a player's profile after a few levels) saved again and again
// through the atomic save, once as it is (the file synced before its
// rename, the folder after) and once with both syncs answered without
// syncing. Prints the time per save of each, p50 and mean, and the
// difference. The folder must be on the disk the player's data lives on:
// by default a fresh one in the current folder.
//   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-release --target bench_saves && build-release/bench/bench_saves
// Options: --saves N (default 200, each way), --dir FOLDER.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "fw-support.h"

namespace {

const char* (*engine_extension)(const char*, const char*) = nullptr;
const char* NoSync(const char* command, const char* parameter) {
    if (!strcmp(command, "SyncFile") || !strcmp(command, "SyncFolder")) return "OK";
    return engine_extension(command, parameter);
}

struct Times {
    std::vector<double> ms;
    double Median() {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[ms.size() / 2];
    }
    double Mean() const {
        double sum = 0;
        for (double v : ms) sum += v;
        return ms.empty() ? 0 : sum / ms.size();
    }
};

void SaveOnce(DMDatabase* db, Times* t) {
    auto t0 = std::chrono::steady_clock::now();
    if (!db->Save("user://profiles/1.xml")) {
        fprintf(stderr, "a save failed\n");
        exit(1);
    }
    t->ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
}

}  // namespace

int main(int argc, char** argv) {
    int saves = 200;
    std::string parent = ".";
    for (int i = 1; i + 1 < argc; i++) {
        if (!strcmp(argv[i], "--saves")) saves = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--dir")) parent = argv[i + 1];
    }
    std::string tmpl = parent + "/kodo-bench-saves-XXXXXX";
    if (!mkdtemp(&tmpl[0])) return 1;
    const std::string dir = std::filesystem::absolute(tmpl).lexically_normal().string();
    {
        FwEngine engine(dir);
        if (!engine.started) return 1;
        kd->CreateDirectory("user://profiles");
        DMDatabase db;
        for (int a = 0; a < 8; a++)
            for (int n = 0; n < 20; n++)
                db.SetValue(("ARRAY_" + std::to_string(a)).c_str(), ("node_" + std::to_string(n)).c_str(), "value",
                            ("a value of " + std::to_string(a * n)).c_str());
        kodo_t* real = kd;
        kodo_t unsynced = *real;
        engine_extension = real->CallExtension;
        unsynced.CallExtension = NoSync;
        Times durable, plain;
        // Taken in turns, so that both meet the same state of the disk.
        for (int i = 0; i < saves; i++) {
            kd = real;
            SaveOnce(&db, &durable);
            kd = &unsynced;
            SaveOnce(&db, &plain);
        }
        kd = real;
        long size = (long)std::filesystem::file_size(engine.UserPath("profiles/1.xml"));
        printf("%d saves of a %ld-byte file each way in %s\n", saves, size, dir.c_str());
        double d50 = durable.Median(), p50 = plain.Median();
        printf("synced:   p50 %.3f ms, mean %.3f ms per save\n", d50, durable.Mean());
        printf("unsynced: p50 %.3f ms, mean %.3f ms per save\n", p50, plain.Mean());
        printf("the syncs cost %.3f ms per save (p50), %.3f ms (mean)\n", d50 - p50, durable.Mean() - plain.Mean());
    }
    std::filesystem::remove_all(dir);
    return 0;
}
