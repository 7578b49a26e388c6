// Minimal player services: see player-services-min.h.
#include "services/player-services-min.h"

#include "framework-kd.h"
#include "kodo.h"

LeaderboardsManager leaderboards_man;
NewsManager news_man;

void LeaderboardsManager::Initialize() { kd->PrintDebugf(KD_LOG_SYSTEM, "LeaderboardsManager::Initialize.\n"); }

void NewsManager::Initialize(int width, int height) {
    view_width = width;
    view_height = height;
    kd->PrintDebugf(KD_LOG_SYSTEM, "NewsManager::Initialize (%d x %d).\n", width, height);
}
