#include "services/service-steps.h"

#include "dataman.h"
#include "feature-manager.h"
#include "manager.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"
#include "services/news.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"

void AddServiceManagerSteps() {
    // The services' own files are the player's, started or not: no data
    // file may name them.
    AddPlayerFile(InAppPurchasesManager::kRecordFile);
    AddPlayerFile(LeaderboardsServerLocalDatabase::kFile);
    AddPlayerFile(NewsManager::kStateFile);
    // Each service only when a product feature names it.
    Manager::AddStep(STEP_INIT_SERVICES, [] {
        if (feature_man.ProductFeatureExists("ACHIEVEMENTS")) achievement_man.Initialize();
    });
    Manager::AddStep(STEP_INIT_SERVICES, [] {
        if (feature_man.ProductFeatureExists("LEADERBOARDS")) leaderboards_man.Initialize();
    });
    Manager::AddStep(STEP_INIT_SERVICES, [] {
        if (feature_man.ProductFeatureExists("IN_APP_PURCHASES")) iap_man.Initialize();
    });
    Manager::AddStep(STEP_INIT_SIZED, [] {
        if (!feature_man.ProductFeatureExists("NEWS")) return;
        float w = (float)sman.virtual_width * 0.96f;
        float h = (float)sman.virtual_height * 0.8f;
        news_man.Initialize((int)w, (int)h);
    });
    // The notices and the news hold bitmaps of the engine, which shuts
    // down next; the leaderboards' tables hold its mutexes.
    Manager::AddStep(STEP_SHUTDOWN_LAST, [] { achievement_man.Reset(); });
    Manager::AddStep(STEP_SHUTDOWN_LAST, [] { news_man.Reset(); });
    Manager::AddStep(STEP_SHUTDOWN_LAST, [] { leaderboards_man.Reset(); });

    Manager::AddUpdateStep([](float dt) { achievement_man.UpdateAchievementPopups(dt); });
    Manager::AddUpdateStep([](float dt) {
        if (sman.all_screens_preloaded) news_man.Update(dt);
    });
    Manager::AddStep(STEP_DRAW_OVERLAY, [] { achievement_man.DrawAchievementPopups(); });
    // The game centre's results reach the achievements first and the
    // leaderboards after them; the store's go to the purchases. The window
    // becoming active (id 0) fetches the news again.
    Manager::AddEventStep(KD_EVENT_GC_FIRST, KD_EVENT_GC_LAST, [](kd_event_t* e) { achievement_man.ProcessEvent(e); });
    Manager::AddEventStep(KD_EVENT_GC_FIRST, KD_EVENT_GC_LAST, [](kd_event_t* e) { leaderboards_man.ProcessEvent(e); });
    Manager::AddEventStep(KD_EVENT_STORE_FIRST, KD_EVENT_STORE_LAST, [](kd_event_t* e) { iap_man.ProcessEvent(e); });
    Manager::AddEventStep(KD_EVENT_ACTIVATION, KD_EVENT_ACTIVATION, [](kd_event_t* e) {
        if ((e->id & 0xff) == 0) news_man.RefreshNews();
    });
    // The transitions show the news before their targets.
    transition_news.ready = [] { return news_man.IsNewsReadyToBeShown(); };
    transition_news.show = [](const char* event) { return news_man.ShowNews(event); };
}
