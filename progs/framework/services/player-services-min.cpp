// Minimal player services: see player-services-min.h.
#include "services/player-services-min.h"

#include "framework-kd.h"
#include "kodo.h"

AchievementManager achievement_man;
LeaderboardsManager leaderboards_man;
InAppPurchasesManager iap_man;
Analyst analyst;
NewsManager news_man;

void AchievementManager::Initialize() {
    kd->PrintDebugf(3, "AchievementManager::Initialize.\n");
}

void LeaderboardsManager::Initialize() {
    kd->PrintDebugf(3, "LeaderboardsManager::Initialize.\n");
}

void InAppPurchasesManager::Initialize() {
    kd->PrintDebugf(3, "InAppPurchasesManager::Initialize.\n");
}

void Analyst::RegisterLuaFunctions() {
    kd->PrintDebugf(3, "Analyst::RegisterLuaFunctions.\n");
}

void NewsManager::Initialize(int width, int height) {
    view_width = width;
    view_height = height;
    kd->PrintDebugf(3, "NewsManager::Initialize (%d x %d).\n", width, height);
}
