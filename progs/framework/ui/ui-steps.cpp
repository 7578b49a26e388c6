#include "ui/ui-steps.h"

#include "feature-manager.h"
#include "manager.h"
#include "ui/aiplayer.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

void AddUIManagerSteps() {
    Manager::AddStep(STEP_PRE_INIT, [] { game_man.Initialize(); });
    Manager::AddStep(STEP_PRE_INIT, [] {
        ai_man.Initialize();
        if (feature_man.ProductFeatureExists("AUTO_TESTING_MODE")) ai_man.SelectOrCreateAIProfile();
    });
    Manager::AddStep(STEP_INIT_SCREENS, [] {
        kd_parms_t* parms = Manager::GetParms();
        sman.InitScreens(parms->reference_width, parms->reference_height);
    });
    Manager::AddStep(STEP_INIT_TIMELINE, [] {
        timeline.Init();
        timeline.LoadTimeline("timeline.xml");
    });
    Manager::AddStep(STEP_SHUTDOWN_UI, [] { sman.Shutdown(); });
    // With their screens left (and a level's world freed with its screen),
    // the games give back their pictures and sounds while the engine that
    // holds them is still there.
    Manager::AddStep(STEP_SHUTDOWN_UI, [] {
        for (int i = 0; i < GameManager::GetNumberOfGames(); i++)
            game_man.UnloadGameImplementation(GameManager::GetGameByIndex(i));
    });
    Manager::AddStep(STEP_SHUTDOWN_UI, [] { timeline.FreeTimeline(); });
}
