// The worm game's automated player: see ai-dezidedi.h.
#include "game/ai-dezidedi.h"

#include <stdio.h>
#include <stdlib.h>

#include "game/actor-behavior-worm.h"
#include "game/game-dezidedi.h"
#include "game/game-level.h"
#include "nstring.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

AIDeziDedi ai_dezidedi;

namespace {

// A draw in [0, 1]: the C library's rand() reaches far beyond 32767.
bool Chance(double p) { return rand() / (double)RAND_MAX < p; }

// The component to press on each of the game's screens: one of the
// listed ones, at random (a null ends a list).
struct ScreenChoice {
    const char* screen;
    const char* comps[5];
};
const ScreenChoice kScreenChoices[] = {
    {"Extras", {"Options", "Profiles", "Credits", "Back", nullptr}},
    {"Help", {"Back", nullptr}},
    {"Options", {"Ok", nullptr}},
    {"Credits", {"fader", nullptr}},
    {"Profiles", {"Cancel", "New", "Ok", nullptr}},
    {"NewProfile", {"Cancel", nullptr}},
    {"GamePopMenu", {"Options", "Resume", nullptr}},
    {"PopupOk", {"Ok", nullptr}},
    {"Story", {"Continue", "DialogNext", nullptr}},
    {"StoryDialog", {"DialogNext", nullptr}},
    {"FBProposition", {"no", nullptr}},
    {"VantreoNews", {"Close", nullptr}},
    {"GameLevelFailed", {"PlayAgain", nullptr}},
};

const char* OneOf(const char* const* comps) {
    int n = 0;
    while (n < 5 && comps[n]) n++;
    return comps[rand() % n];
}

bool Pressable(UIComp* c) { return c && c->IsVisible(); }

// Every untriggered hazard with all of `tags` is hit by the tail, up to
// `most` of them; answers how many were.
int HitHazards(PhysicsSimulation* sim, Actor* tail, uint32_t tags, int most) {
    auto* worm = dynamic_cast<ActorBehaviorWorm*>(tail->behavior);
    if (!worm) return 0;
    int hits = 0;
    // A kill only marks the hazard (its removal waits for the step), so
    // the list holds still while it is walked.
    for (int i = 0; i < sim->actors.count && hits < most; i++) {
        Actor* a = sim->actors[i];
        if ((a->flags & tags) != tags || a->triggered) continue;
        worm->WormHitHazard(tail, a, nullptr);
        hits++;
    }
    return hits;
}

Actor* FirstWithTag(PhysicsSimulation* sim, uint32_t tag) {
    for (int i = 0; i < sim->actors.count; i++)
        if (sim->actors[i]->Has(tag)) return sim->actors[i];
    return nullptr;
}

}  // namespace

AIDeziDedi::AIDeziDedi() {
    AIPlayerMan::RegisterAI(this);
    AIPlayerMan::in_level_play = [] {
        PhysicsSimulation* sim = PhysicsSimulation::active_sim;
        return sim && sim->world && !sim->editor_mode;
    };
}

const char* AIDeziDedi::GetName() { return "DeziDediAI"; }

bool AIDeziDedi::IsInGame() {
    Screen* top = sman.TopScreen();
    return top && nStringsMatch(top->GetName(), "GameDeziDedi");
}

bool AIDeziDedi::IsComplexScreen() {
    Screen* top = sman.TopScreen();
    return top && nStringsMatch(top->GetName(), "LevelSelect");
}

const char* AIDeziDedi::GetCompToPress(Screen*, const char* screen_name) {
    if (nStringsMatch(screen_name, "MainMenu")) return Chance(0.1) ? "Extras" : "Play";
    for (const ScreenChoice& c : kScreenChoices)
        if (nStringsMatch(screen_name, c.screen)) return OneOf(c.comps);
    return "Ok";
}

void AIDeziDedi::UpdateComplexScreen(float, Screen* screen, const char* screen_name) {
    if (!screen || !nStringsMatch(screen_name, "LevelSelect")) return;
    const int r = rand() % 19;
    const float h = (float)ui_screen.virtual_height;
    if (r < 4) {
        Drag(vec2_t{200, 0.3f * h}, vec2_t{200, 0.6f * h}, 0.5f, false);
    } else if (r < 8) {
        Drag(vec2_t{200, 0.6f * h}, vec2_t{200, 0.3f * h}, 0.5f, false);
    } else if (r < 18) {
        char name[32];
        snprintf(name, sizeof name, "Episode%d_Level1", episode);
        episode = episode % 3 + 1;
        UIComp* c = screen->GetComp(name);
        if (Pressable(c)) ClickComponent(screen, c);
    } else {
        UIComp* c = screen->GetComp("Back");
        if (Pressable(c)) ClickComponent(screen, c);
    }
}

vec2_t AIDeziDedi::GetGamePositionToPress(bool& press) {
    press = false;
    UIComp* story = GameDeziDedi::Comp("StoryPanel");
    if (story && story->IsActive() && story->IsVisible()) {
        ClickComponent(GameDeziDedi::GameScreen(), story);
        return vec2_t{0, 0};
    }
    PhysicsSimulation* sim = &game_dezidedi.sim;
    if (Chance(0.2)) {
        Actor* head = sim->WormHead();
        if (!head || !head->body) return vec2_t{0, 0};
        const b2Vec2 p = head->body->GetPosition();
        press = true;
        return sim->TransformWorldPositionToScreen(vec2_t{p.x, p.y});
    }
    TakeLevelShortcuts(sim);
    return vec2_t{0, 0};
}

void AIDeziDedi::TakeLevelShortcuts(PhysicsSimulation* sim) {
    PhysicsSimulation::active_sim = sim;
    if (Actor* tail = sim->WormTail()) {
        if (HitHazards(sim, tail, TAG_SHOOTING | TAG_DESTROYABLE | TAG_HAZARD, 1) > 0) return;
        if (HitHazards(sim, tail, TAG_DESTROYABLE | TAG_HAZARD, 4) == 4) return;
    }
    Actor* head = sim->WormHead();
    if (level.ending || !head) return;
    // A level whose exit is the moon ends the same way through it.
    Actor* hole = FirstWithTag(sim, TAG_WORM_HOLE);
    if (!hole) hole = FirstWithTag(sim, TAG_EXIT);
    if (!hole) {
        // A boss level ends through the boss's death.
        for (int i = 0; i < sim->actors.count; i++)
            if (!sim->actors[i]->Has(TAG_IMMORTAL)) sim->SetHitPoints(sim->actors[i], -1.0f);
        return;
    }
    head->weld_target = hole;
    head->welded = 0;
    level.all_collected = true;
}
