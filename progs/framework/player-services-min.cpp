// Minimal player services: see player-services-min.h.
#include "player-services-min.h"

#include "kodo.h"

extern kodo_t* kd;

AchievementManager achievement_man;
LeaderboardsManager leaderboards_man;
InAppPurchasesManager iap_man;
Analyst analyst;
NewsManager news_man;

void AchievementManager::Initialize() {
    if (kd) kd->PrintDebugf(3, "AchievementManager::Initialize.\n");
}

void LeaderboardsManager::Initialize() {
    if (kd) kd->PrintDebugf(3, "LeaderboardsManager::Initialize.\n");
}

void InAppPurchasesManager::Initialize() {
    if (kd) kd->PrintDebugf(3, "InAppPurchasesManager::Initialize.\n");
}

void Analyst::RegisterLuaFunctions() {
    if (kd) kd->PrintDebugf(3, "Analyst::RegisterLuaFunctions.\n");
}

void NewsManager::Initialize(int width, int height) {
    view_width = width;
    view_height = height;
    if (kd) kd->PrintDebugf(3, "NewsManager::Initialize (%d x %d).\n", width, height);
}
