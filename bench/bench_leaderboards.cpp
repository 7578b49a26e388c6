// Opening an over-full score database: a file with N scores (20000 by
// default) in one category, as another program or an old version could
// leave it, read by the leaderboards and downloaded into the category's
// table, as the leaderboards screen does on opening, on each category
// change and on Refresh. Prints the time of the read and of the download,
// p50 of several rounds, and the scores the table then holds; then the
// table filled with N ranked entries at once (a server's whole answer).
//   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-release --target bench_leaderboards && build-release/bench/bench_leaderboards
// Options: --scores N, --rounds R (default 5).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "fw-support.h"
#include "services/leaderboards.h"

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int scores = 20000, rounds = 5;
    for (int i = 1; i + 1 < argc; i++) {
        if (!strcmp(argv[i], "--scores")) scores = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--rounds")) rounds = atoi(argv[i + 1]);
    }
    char tmpl[] = "/tmp/kodo-bench-lb-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    std::vector<double> read, download, ranked;
    int held = 0;
    {
        FwEngine engine(dir);
        if (!engine.started) return 1;
        std::string xml = "<?xml version=\"1.0\"?>\n<root>\n\t<array id=\"EPISODE_1\">\n";
        for (int i = 0; i < scores; i++)
            xml += "\t\t<node player=\"P" + std::to_string(i) + "\" points=\"" + std::to_string((i * 7919) % 100000) +
                   "\" duration=\"1000\" />\n";
        xml += "\t</array>\n</root>\n";
        for (int r = 0; r < rounds; r++) {
            WriteNative(engine.UserPath("leaderboards-db.xml"), xml);
            auto t0 = std::chrono::steady_clock::now();
            LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory("EPISODE_1");
            read.push_back(Ms(t0));
            t0 = std::chrono::steady_clock::now();
            c->Download(1, 100, 16777215);
            download.push_back(Ms(t0));
            held = c->GetNumberOfScores();
            leaderboards_man.Reset();
        }
        nArray<LeaderboardScore*> entries;
        for (int i = 0; i < scores; i++) {
            LeaderboardScore* s = new LeaderboardScore;
            s->points = scores - i;
            entries.InsertLast(s);
        }
        for (int r = 0; r < rounds; r++) {
            LeaderboardsClient client;
            auto t0 = std::chrono::steady_clock::now();
            client.SetDownloaded(entries);
            ranked.push_back(Ms(t0));
        }
        for (int i = 0; i < entries.count; i++) delete entries[i];
        entries.Free();
    }
    printf("%d scores in one category, %d rounds\n", scores, rounds);
    printf("read (open the leaderboards): p50 %.1f ms\n", Median(read));
    printf("download into the table:      p50 %.1f ms (%d scores in the table)\n", Median(download), held);
    printf("read + download:              p50 %.1f ms\n", Median(read) + Median(download));
    printf("a table filled with %d ranked entries: p50 %.1f ms\n", scores, Median(ranked));
    std::filesystem::remove_all(dir);
    return 0;
}
