// Fuzzes the local score database "user://leaderboards-db.xml", which
// lies in the player's folder and may be damaged or edited: every category
// in it downloads as a table ranked 1..n by points, highest first, and a
// new best score submitted to it is saved and read back by the next start.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "profiles.h"
#include "services/leaderboards.h"

kodo_t* FuzzEngineSetup();

namespace {

void Write(const char* path, const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile(path, "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);
}

// Downloads the category and checks its ranks and order; answers its size.
int CheckTable(const char* category) {
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory(category);
    c->Download(1, 100, 16777215);
    for (int i = 0; i < c->GetNumberOfScores(); i++) {
        LeaderboardScore* s = c->GetScoreByIndex(i);
        if (s->rank != i + 1 || strnlen(s->player, sizeof s->player) >= sizeof s->player) abort();
        if (i && s->points > c->GetScoreByIndex(i - 1)->points) abort();
    }
    return c->GetNumberOfScores();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    kd->AddSearchPath("user://", true);
    atexit([] { kd->RemoveSearchPath("user://"); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    leaderboards_man.Reset();
    // A damaged input is copied aside before the submission saves; the
    // copies of earlier inputs would fill the names a copy may take.
    kd->DeleteFile("user://leaderboards-db.xml.damaged");
    Write(LeaderboardsServerLocalDatabase::kFile, data, size);
    DMDatabase* db = dman.GetDatabase(LeaderboardsServerLocalDatabase::kFile);
    std::string first =
        db->GetNumberOfArrays() > 0 && db->GetArray(0)->GetId() ? db->GetArray(0)->GetId() : "EPISODE_1";
    dman.ReleaseDatabase(db);
    for (int i = 0; i < 4; i++) {
        DMDatabase* again = dman.GetDatabase(LeaderboardsServerLocalDatabase::kFile);
        if (i >= again->GetNumberOfArrays()) break;
        const char* id = again->GetArray(i)->GetId();
        CheckTable(id ? id : "");
    }
    leaderboards_man.SubmitScore(first.c_str(), INT_MAX, 1);
    leaderboards_man.Reset();
    dman.ReleaseDatabase(LeaderboardsServerLocalDatabase::kFile);
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory(first.c_str());
    c->Download(1, 100, 16777215);
    if (c->GetNumberOfScores() < 1 || c->GetScoreByRank(1)->points != INT_MAX) abort();
    leaderboards_man.Reset();
    return 0;
}
