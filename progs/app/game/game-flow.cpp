// How a level ends: the exit opens, an end of the worm grips it and the
// level is won a moment later; the boss dies; or the worm loses its last
// life. A won level writes its records (game-records.h) and both results
// bring up their screen over the level, which runs on under it.
#include <math.h>
#include <stdio.h>

#include "analytics.h"
#include "audioman.h"
#include "framework-kd.h"
#include "game/actor-behaviors-collectables.h"
#include "game/game-dezidedi.h"
#include "game/game-lib.h"
#include "game/game-records.h"
#include "localization.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "profiles.h"
#include "ui/screen-manager.h"
#include "ui/screen.h"

namespace {

// How long the ending runs before its result shows (s).
const float kEndingDelay = 1.5f;
// How near an end of the worm opens the exit.
const float kExitOpenDistance = 15.0f;

vec2_t Position(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

Actor* ActorOf(PhysicsSimulation& sim, const char* file) { return sim.GetActorByShape(physics_man.GetShape(file)); }

// The starting lives of this player's levels.
int StartingLives() { return GameDeziDedi::IsPurchaseActive("EXTRA_LIFE") ? 4 : 3; }

bool GripsExit(const Actor* end) {
    return end && end->welded && end->weld_target && end->weld_target->Has(TAG_EXIT);
}

}  // namespace

void GameDeziDedi::CheckLevelEnd(float dt) {
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    if (!head || !tail || !head->body || !tail->body) return;
    Actor* hole = ActorOf(sim, "actors/wormhole.xml");
    const bool has_exits = sim.HasActorWithFlags(TAG_EXIT);

    // The exit opens to a worm near it, whatever is left to take: the
    // last target taken opens it from afar (the worm behaviour).
    if (hole && hole->body && !level.all_collected) {
        const vec2_t h = Position(hole);
        const vec2_t ends[2] = {Position(head), Position(tail)};
        for (const vec2_t& e : ends) {
            if (hypotf(e.x - h.x, e.y - h.y) < kExitOpenDistance) {
                level.all_collected = true;
                StartRope(&sim);
                level.camera_mode_time = 0;
                break;
            }
        }
    }

    // A level whose exit is the moon has no hole to come near: its exit
    // opens once every target is taken, whether the last was a fruit
    // (which opens it already) or an egg (which would leave it shut for
    // good).
    if (!hole && has_exits && !level.all_collected && level.targets_collected >= level.required_targets)
        level.all_collected = true;

    // An end grips the open exit: the ending begins.
    for (Actor* end : {head, tail}) {
        if (level.ending || !GripsExit(end)) continue;
        level.ending = level.all_collected;
        if (!level.ending) continue;
        EndLevelShockwave(&sim, Position(end));
        if (kd_sound_t* s = lib.Sound(LIB_SND_THROUGH_EXIT)) aman.PlaySound(s, 1.0f, 0.0f, 1.0f);
        aman.StopMusic(1.0f);
        camera_drag = false;
        if (end->weld_target->Has(TAG_MOON))
            sim.SpawnEffect(sim.front_particles, lib.Effect(LIB_FX_HEARTS), Position(head), 0);
    }

    // Through the exit: whatever else an end holds lets go, and the
    // contact rules of the exit take the worm.
    if (level.ending && has_exits) {
        ending_time += dt;
        for (Actor* end : {head, tail}) {
            if (!end->welded || GripsExit(end)) continue;
            Unweld(end);
            for (int i = 0; i < sim.worm_parts.count; i++)
                if (b2Body* b = sim.worm_parts[i]->body)
                    for (b2Fixture* f = b->GetFixtureList(); f; f = f->GetNext()) f->Refilter();
        }
    }

    // The boss is beaten.
    Actor* boss = ActorOf(sim, "actors/bug-boss.xml");
    const bool boss_beaten = boss && boss->hit_points < 0.01f;
    if (boss_beaten && !has_exits) {
        if (!level.ending) EndLevelShockwave(&sim, Position(tail));
        level.ending = true;
        ending_time += dt;
    }

    // The worm is dead: it lets go of everything.
    if (level.worm_dead) {
        if (mouse_joint) DestroyMouseJoint();
        Unweld(head);
        Unweld(tail);
        ending_time += dt;
        level.play_started = true;
    }

    // The result. WinLevel and LoseLevel each act once, so a win and a
    // loss decided in the same frame leave the first of them alone.
    if (level.level_over || ending_time <= kEndingDelay) return;
    if (level.ending && (has_exits || boss_beaten)) {
        if (mouse_joint) DestroyMouseJoint();
        WinLevel(false);
    } else if (level.worm_dead && !sman.IsScreenInStack("GameLevelCompleted")) {
        if (mouse_joint) DestroyMouseJoint();
        LoseLevel();
    }
}

void GameDeziDedi::WinLevel(bool developer_win) {
    if (level.level_over) return;
    level.level_over = true;
    const char* event = CurrentLevelEventId();
    const int start_lives = StartingLives();
    const bool flawless = level.lives == start_lives;
    const LevelRecord r = WriteLevelRecords(prof, event, level.clock_ms, sim.ideal_time, flawless, level.episode,
                                            level.bugs_killed);
    // The win's whole record in one save: "completed" (which ends the first
    // level's hints and counts for the episode) goes with the times and
    // stars, so that no kill keeps the one without the other.
    if (prof && event) prof->SetValue("LEVELS", event, "completed", "1");
    // A win the disk did not take (full, or gone) is not shown as kept: no
    // record, and a message over the result saying so.
    const bool saved = !prof || prof->Save();
    const bool new_record = r.new_record && saved;

    // The result screen's texts and messages.
    Screen* game = GameScreen();
    Screen* result = Screen::PeekScreen("GameLevelCompleted");
    if (result && result->uiset) {
        sman.SetText(result->GetComp("Time"), "%s %s", loc_man.Localize("Time:"),
                     loc_man.LocalizeTime((unsigned long)r.seconds * 1000ul));
        if (new_record)
            sman.SetText(result->GetComp("TimeBest"), "%s", loc_man.Localize("New Record!"));
        else
            sman.SetText(result->GetComp("TimeBest"), "%s %s", loc_man.Localize("Best:"),
                         loc_man.LocalizeTime((unsigned long)r.previous_best * 1000ul));
    }
    char number[16];
    sman.SendScreenMessage(game, result, "NewRecord", new_record ? "YES" : "NO");
    sman.SendScreenMessage(game, result, "FlawlessPlay", flawless ? "YES" : "NO");
    // Every egg of a level that has eggs (the exit may open without them).
    const bool all_eggs = level.eggs > 0 && level.eggs_collected == level.eggs;
    sman.SendScreenMessage(game, result, "AllEggs", all_eggs ? "YES" : "NO");
    snprintf(number, sizeof number, "%d", r.previous_best_stars);
    sman.SendScreenMessage(game, result, "BestStars", number);
    char next[256];
    if (r.stars >= 3)
        snprintf(next, sizeof next, "%s", loc_man.Localize("Superb! All stars collected!"));
    else
        snprintf(next, sizeof next, "%s %s", loc_man.Localize("Next star:"),
                 loc_man.LocalizeTime((unsigned long)NextStarTime(r.stars, r.ideal) * 1000ul));
    sman.SendScreenMessage(game, result, "NextStar", next);
    snprintf(number, sizeof number, "%d", r.stars);
    sman.SendScreenMessage(game, result, "StarsGained", number);

    if (launched_from_editor)
        sman.PopScreen(game, true);
    else
        sman.PushScreen("GameLevelCompleted");
    Screen* popup = saved ? nullptr : Screen::PeekScreen("PopupOk");
    if (popup) {
        sman.SendScreenMessage(game, popup, "text", "LEVEL_NOT_SAVED");
        sman.PushScreen(popup);
    }

    if (!developer_win) {
        nArray<Analyst::KeyValue> pairs;
        char text[32];
        pairs.InsertLast(Analyst::KeyValue("event_id", event ? event : ""));
        pairs.InsertLast(Analyst::KeyValue("level_id", level.world_file));
        snprintf(text, sizeof text, "%d", r.seconds);
        pairs.InsertLast(Analyst::KeyValue("level_time", text));
        snprintf(text, sizeof text, "%d", r.ideal);
        pairs.InsertLast(Analyst::KeyValue("time_limit", text));
        snprintf(text, sizeof text, "%d", r.stars);
        pairs.InsertLast(Analyst::KeyValue("level_stars", text));
        analyst.LogEventWithKeyValues("LEVEL_COMPLETED", pairs);
    }
    // After the save: a run that reports its level completed has it on disk.
    if (saved)
        kd->Printf("Level completed: '%s'\n", event ? event : "");
    else
        kd->PrintDebugf(KD_LOG_WARNING, "Level '%s' won, but its record could not be saved; the player is told.\n",
                        event ? event : "");
}

void GameDeziDedi::LoseLevel() {
    if (level.level_over) return;
    level.level_over = true;
    if (launched_from_editor)
        sman.PopScreen(GameScreen(), true);
    else
        sman.PushScreen("GameLevelFailed");
    const char* event = CurrentLevelEventId();
    kd->Printf("Level failed: '%s'\n", event ? event : "");
}

// ---------------------------------------------------------------- world checks

nString GameDeziDedi::WormFault() const {
    nString fault;
    const uint32_t tags[2] = {TAG_WORM_HEAD, TAG_WORM_TAIL};
    const char* names[2] = {"head", "tail"};
    for (int k = 0; k < 2; k++) {
        int count = 0;
        for (int i = 0; i < sim.actors.count; i++) {
            Actor* a = sim.actors[i];
            if (!a->Has(tags[k])) continue;
            count++;
            const b2Vec2 p = a->body ? a->body->GetPosition() : b2Vec2(0, 0);
            if (a->body && sim.IsOutsideWorld(vec2_t{p.x, p.y}, 0.0f) && fault.IsEmpty())
                fault.Format("the worm's %s at (%.1f, %.1f) is outside the world", names[k], p.x, p.y);
            // Contact damage removes an end that is neither immortal nor
            // kept by its behaviour: said now, before play loses it.
            const bool kept = a->Has(TAG_IMMORTAL) || !a->behavior || !a->behavior->ShouldBeDestroyed(a) ||
                              (a->shape && a->shape->body_type == BODY_STATIC);
            if (!kept)
                kd->PrintDebugf(KD_LOG_WARNING, "World '%s': the worm's %s can be destroyed by damage.\n",
                                level.world_file, names[k]);
        }
        if (count != 1) {
            fault.Format("the worm has %s %s", count ? "more than one" : "no", names[k]);
            return fault;
        }
    }
    return fault;
}

void GameDeziDedi::ActorDestroyed(Actor* actor) {
    if (actor == grabbed) grabbed = nullptr;
    if (actor == held_end) held_end = nullptr;
    // The world frees the joint with either body it holds.
    if (mouse_joint && actor->body &&
        (mouse_joint->GetBodyA() == actor->body || mouse_joint->GetBodyB() == actor->body)) {
        mouse_joint = nullptr;
        level.drag_time = -1.0f;
    }
    if (sim.editor_mode || level.level_over || (actor != sim.WormHead() && actor != sim.WormTail())) return;
    // Without it the last body piece would silently become the end.
    kd->PrintDebugf(KD_LOG_WARNING, "World '%s': the worm's %s was destroyed; the level is lost.\n", level.world_file,
                    actor == sim.WormHead() ? "head" : "tail");
    level_fault = true;
}
