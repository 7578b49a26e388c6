// The worm game: registration, resources, the level start and the level's
// frame. See game-dezidedi.h.
#include "game/game-dezidedi.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "audioman.h"
#include "dataman.h"
#include "game/game-lib.h"
#include "game/game-replay.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "processor-clock.h"
#include "profiles.h"
#include "services/in-app-purchases.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"
#include "ui/ui-comps.h"

GameDeziDedi game_dezidedi;

GameDeziDedi::GameDeziDedi() {
    GameManager::AddGameImplementation(this);
    sim.actor_watcher = this;
}

// The world is freed when the game screen is left (the program's shutdown
// leaves every screen); here, after the engine has gone, it could not
// release its pictures.
GameDeziDedi::~GameDeziDedi() {}

// ---------------------------------------------------------------- look-ups

const char* GameDeziDedi::CurrentLevelEventId() { return timeline.GetCurrentEventId(); }

bool GameDeziDedi::IsPurchaseActive(const char* item) { return iap_man.IsItemPurchasedAndActiveForCurrentProfile(item); }

Screen* GameDeziDedi::GameScreen() { return Screen::PeekScreen("GameDeziDedi"); }

UIComp* GameDeziDedi::Comp(const char* name) {
    Screen* s = GameScreen();
    return s && s->uiset ? s->GetComp(name) : nullptr;
}

// ---------------------------------------------------------------- resources

void GameDeziDedi::Load() {
    lib.Load(assets);
    mouse_joint = nullptr;
}

void GameDeziDedi::Unload() {
    // The joint belongs to the world: with the world gone (the game screen
    // was left) there is nothing to destroy.
    if (mouse_joint && sim.world) DestroyMouseJoint();
    ResetGrabState();
    assets.ReleaseAllAssets();
    lib.Clear();
}

void GameDeziDedi::FreeWorld() {
    ResetGrabState();
    sim.FreeWorld();
}

void GameDeziDedi::ResetGrabState() {
    grabbed = nullptr;
    held_end = nullptr;
    mouse_joint = nullptr;
    release_requested = false;
    fling_requested = false;
    finger_down = false;
    camera_drag = false;
    camera_hold = -1.0f;
    level.drag_time = -1.0f;
}

void GameDeziDedi::ChangeDetailLevel(bool high) {
    PhysicsSimulation::ChangeDetailLevel(high);
    // Nothing is shown before a level has run, or after it was left.
    if (!sim.world) return;
    sim.LoadBackgrounds(level.world_file);
}

// ---------------------------------------------------------------- level start

static Actor* ActorOf(PhysicsSimulation& sim, const char* file) {
    return sim.GetActorByShape(physics_man.GetShape(file));
}

void GameDeziDedi::SizeTail() {
    Actor* tail = sim.WormTail();
    ActorShape* head_def = physics_man.GetShape("actors/game-worm-head.xml");
    ActorShape* tail_def = physics_man.GetShape("actors/game-worm-tail.xml");
    if (!tail || !tail->body || !head_def || !tail_def || tail->shape != tail_def) return;
    // A copy for this level, so the shared definition (saved by the object
    // editor) keeps the file's values.
    level_tail.CopyFrom(*tail_def);
    const bool big = IsPurchaseActive("BIG_BALL");
    level_tail.density = head_def->density * (big ? 0.66f : 1.0f);
    level_tail.radius = head_def->radius * (big ? 1.25f : 1.0f);
    level_tail.damage = big ? 30.0f : 15.0f;
    while (b2Fixture* f = tail->body->GetFixtureList()) tail->body->DestroyFixture(f);
    tail->shape = &level_tail;
    level_tail.CreateFixtureForBody(tail->body, sim.metres_per_pixel, tail);
}

bool GameDeziDedi::InitLevel(const char* world) {
    game_replay.LevelStarting();
    const bool fits = StartLevelRecord(world);
    ForgetLastLevel();
    // The detail level is the player's choice, kept in the profile.
    PhysicsSimulation::high_details = !(prof && prof->TagExists("GAME", "lower_details"));
    if (!LoadLevelWorld(world, fits)) return false;
    DropUnreachableFruit();
    // Registered with the world by InitWorld already; said again here so
    // the rule holds whichever way the world was made.
    if (sim.world) sim.world->SetContactFilter(&contact_filter);
    SetLevelStartValues();
    UpdateUI(0);
    StartStory(world);
    ResetTutorials();
    SettleAndFrameWorld();
    PlaceLevelInGame();
    level.no_wormhole = ActorOf(sim, "actors/wormhole.xml") == nullptr;
    aman.SwitchMusic(lib.Sound(LIB_MUSIC_GAME), 2.0f, 3.0f);

    kd->Printf("Level '%s' started: %d actors, %d worm parts, %d targets.\n", level.world_file, sim.actors.count,
               sim.worm_parts.count, level.required_targets);
    return true;
}

// A fresh record; the name must fit it whole, since a cut name would later
// load or save another world.
bool GameDeziDedi::StartLevelRecord(const char* world) {
    // The level before, left for this one on the same screen, has its
    // seconds counted first.
    if (level.CountTimePlayed(prof)) prof->Save();
    level.Reset();
    const bool fits = !world || strlen(world) < sizeof level.world_file;
    if (world && fits) snprintf(level.world_file, sizeof level.world_file, "%s", world);
    return fits;
}

// Nothing of the last level carries over: effects, sounds, the grab and
// the game's own timers.
void GameDeziDedi::ForgetLastLevel() {
    particles.ResetParts();
    StopSounds();
    sounds_stopped = false;
    ResetGrabState();
    stretched = false;
    follow_offset = vec2_t{0, 0};
    ending_time = 0;
    weather_time = 0;
    arrow_alpha = 0;
    dialogue_line = 0;
}

// The world, with the game's contact rules registered in it. A name too
// long for the record starts no level; nor does a world that cannot be
// read (missing, or refused as a player's file), which leaves an empty
// one, never the last level's: the level is not the player's to lose. A
// world without a proper worm is marked lost, for the first frame to end
// it.
bool GameDeziDedi::LoadLevelWorld(const char* world, bool fits) {
    sim.contact_listener.level = &level;
    sim.contact_filter = &contact_filter;
    if (!fits) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "GameDeziDedi::InitLevel: the world name '%.80s...' is longer than %d characters; "
                        "no level is started.\n",
                        world, (int)sizeof level.world_file - 1);
        sim.FreeWorld();
        return false;
    }
    kd_file_t* readable = world ? kd->OpenFile(world, "rb") : nullptr;
    if (readable) kd->CloseFile(readable);
    if (world && !readable)
        kd->PrintDebugf(KD_LOG_WARNING, "World '%s' cannot be opened; no level is started.\n", world);
    const bool loaded = readable && sim.LoadWorld(world);
    if (!loaded) sim.InitWorld();
    SizeTail();
    level_fault = false;
    if (world && !loaded) return false;
    const nString fault = WormFault();
    if (!fault.IsEmpty()) {
        kd->PrintDebugf(KD_LOG_WARNING, "World '%s': %s; the level is lost.\n", world, fault.text);
        level_fault = true;
    }
    return true;
}

// Fruit placed outside the world cannot be reached, so it is not counted.
void GameDeziDedi::DropUnreachableFruit() {
    for (int i = sim.actors.count - 1; i >= 0; i--) {
        if (i >= sim.actors.count) continue;
        Actor* a = sim.actors[i];
        if (!a->Has(TAG_REQUIRED_TARGET) || !a->body) continue;
        const b2Vec2 p = a->body->GetPosition();
        if (sim.IsOutsideWorld(vec2_t{p.x, p.y}, 1.0f)) sim.DestroyActor(a, false);
    }
}

// The level's counters as play begins: lives (one more with the bought
// extra life), timers idle, the targets to collect (the eggs among them, for
// the achievement of a level won with every egg), and where the HUD's fruit
// counter sits, as a share of the screen, for collected fruit to fly to.
void GameDeziDedi::SetLevelStartValues() {
    level.ready_time = 1.0f;
    level.screen_width = sman.virtual_width;
    level.screen_height = sman.virtual_height;
    level.lives_enabled = true;
    level.lives = IsPurchaseActive("EXTRA_LIFE") ? 4 : 3;
    level.lives_shown = level.lives;
    level.collect_bounce = -1.0f;
    level.invulnerability = -1.0f;
    level.drag_time = -1.0f;
    level.expression_time = 10.0f;
    level.required_targets = sim.GetNumberOfActorsWithFlags(TAG_REQUIRED_TARGET);
    const std::vector<Actor*>& targets = sim.ActorsWithFlags(TAG_REQUIRED_TARGET);
    level.eggs =
        (int)std::count_if(targets.begin(), targets.end(), [](const Actor* a) { return !a->Has(TAG_COLLECTABLE); });
    level.episode = 1;
    level.weather_theme = 0;
    level.no_wormhole = false;
    level.hud_fruit_position = vec2_t{0.5f, 0.05f};
    if (UIComp* fruit = Comp("Fruit")) {
        const vec2_t p = fruit->GetStaticPos();
        if (sman.virtual_width > 0 && sman.virtual_height > 0)
            level.hud_fruit_position = vec2_t{p.x / (float)sman.virtual_width, p.y / (float)sman.virtual_height};
    }
}

// The prologue over the first level the first time; then hints on it until
// it is completed. The pause button and the clock stay out of the way
// while the prologue is told.
void GameDeziDedi::StartStory(const char* world) {
    const bool first_level = nStringsMatch(world, "worlds/e01-l01.xml");
    UIComp* story = Comp("StoryPanel");
    UIComp* pause = Comp("Pause");
    UIComp* clock = Comp("Clock");
    auto fade = [](UIComp* c, bool out) {
        if (!c) return;
        c->fading = out;
        c->fading_akey = out ? 0.0f : 1.0f;
    };
    const char* completed = prof ? prof->GetValue("LEVELS", "E01_L01", "completed") : nullptr;
    if (first_level && !(prof && prof->TagExists("INFO", "STORY_START_SHOWN"))) {
        level.story_mode = STORY_PROLOGUE;
        sman.SetActive(story, true);
        sman.SetVisible(story, true);
        sman.SetVisible(Comp("BossTalk"), false);
        const char* line = dman.GetValue("dialogue.xml", "prologue", 0, "line");
        sman.SetText(Comp("WormTalk"), "%s", line ? line : "");
        dialogue_line = 1;
        fade(pause, true);
        fade(clock, true);
    } else {
        level.story_mode = first_level && (!completed || atoi(completed) == 0) ? STORY_FIRST_LEVEL_HINTS : STORY_NONE;
        sman.SetActive(story, false);
        sman.SetVisible(story, false);
        if (level.story_mode == STORY_NONE) {
            fade(pause, false);
            fade(clock, false);
        }
    }
}

// The worm hangs still before anyone sees it (41 short steps); then the
// camera shows the goal first, unless the prologue is told, and one
// zero-length step places the view. The bundled levels settle in a few
// milliseconds (under 30 in a sanitizer build); a world so crowded that the
// steps take more than half a second (the world file's limits count actors,
// not their size) starts unsettled, with a line, rather than freeze the
// screen.
void GameDeziDedi::SettleAndFrameWorld() {
    const int steps = 41;
    const double start = ThreadProcessorSeconds();
    for (int i = 0; i < steps; i++) {
        sim.Update(0.05f);
        const double spent = ThreadProcessorSeconds() - start;
        if (i + 1 < steps && spent > 0.5) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "World '%s' takes too long to settle (%.1f s for %d of its %d steps); the level starts "
                            "unsettled.\n",
                            level.world_file, spent, i + 1, steps);
            break;
        }
    }
    if ((ActorOf(sim, "actors/wormhole.xml") || ActorOf(sim, "actors/bug-boss.xml")) &&
        level.story_mode != STORY_PROLOGUE) {
        CenterCameraOnWormhole(0, true);
        level.camera_mode = CAMERA_SHOWING_GOAL;
    } else {
        CenterCameraOnWorm(0, true);
    }
    sim.Update(0);
}

// The level's place in the game, from the event id ("E01_L01"): the
// profile remembers it as the last played, the episode picks the weather
// (none in bonus levels, already falling when the level opens), and the
// level's title is shown unless the prologue is told.
void GameDeziDedi::PlaceLevelInGame() {
    const char* event = CurrentLevelEventId();
    nString part1 = nString::Token(event ? event : "", "_", 0);
    nString part2 = nString::Token(event ? event : "", "_", 1);
    if (part2.IsEmpty()) return;
    const int episode = part1.IsEmpty() ? 1 : atoi(part1.text + 1);
    const int number = atoi(part2.text + 1);
    level.episode = episode;
    if (prof) {
        prof->SetValuef("GAME", "last_played", "level", "%d", number);
        prof->SetValuef("GAME", "last_played", "episode", "%d", episode);
        prof->SetValuef("GAME", "last_played", "episode_name", "episode_%d", episode);
    }
    level.weather_theme = episode == 1 || episode == 2   ? 1
                          : episode == 3 || episode == 4 ? 2
                          : episode == 5 || episode == 6 ? 3
                                                         : 0;
    if (strstr(level.world_file, "bonus")) {
        level.weather_theme = 0;
    } else {
        UpdateWeather(100);
        sim.back_particles.UpdateParts(3.0f);
    }
    if (level.story_mode != STORY_PROLOGUE) ShowLevelInfo(episode, number);
}

// ---------------------------------------------------------------- frame

void GameDeziDedi::Update(float dt) {
    Screen* top = sman.TopScreen();
    const char* top_name = top ? top->GetName() : "";
    const bool on_top = nStringsMatch(top_name, "GameDeziDedi");

    // The pause button shows only while the level is up and no
    // prologue is told.
    if (UIComp* pause = Comp("Pause")) {
        const bool shown = (on_top || nStringsMatch(top_name, "TimelineTransition")) &&
                           level.story_mode != STORY_PROLOGUE;
        pause->fading = !shown;
    }

    // The virtual screen changed size.
    bool resized = false;
    if (sman.virtual_width != level.screen_width || sman.virtual_height != level.screen_height) {
        level.screen_width = sman.virtual_width;
        level.screen_height = sman.virtual_height;
        resized = true;
        CenterCameraOnWorm(0, true);
        sim.Update(0.0001f);
    }

    // The world runs under the result screens and is frozen under the
    // pause menu.
    if (!on_top && !sman.IsScreenInStack("GameLevelCompleted") &&
        !sman.IsScreenInStack("GameLevelFailed")) {
        finger_down = false;
        camera_drag = false;
        return;
    }
    if (level_fault) LoseLevel();
    game_replay.BeforeStep(this);

    // The game's effects scale with the screen; the worm's faces animate
    // by the level's own clock.
    particles.reference_scale = sman.scale_cover;
    level.anim_time += dt;

    // A camera drag eases towards where the finger took it.
    if (camera_drag || camera_hold >= 0) {
        const float k = fminf(15.0f * dt, 1.0f);
        const vec2_t d = {(drag_target.x - drag_current.x) * k, (drag_target.y - drag_current.y) * k};
        drag_current.x += d.x;
        drag_current.y += d.y;
        const vec2_t t = sim.GetCameraTarget();
        sim.SetCameraTarget(vec2_t{t.x - d.x, t.y - d.y}, true);
    }

    // While the goal is shown, and the camera comes back from it, the level
    // waits; otherwise the clock starts after the first second, the level's
    // timers run once play began, and the world steps.
    if (level.camera_mode >= 1 && level.camera_mode <= 5) {
        WormholeZoomUpdate(dt, resized);
    } else {
        if (level.clock_ms > 1000 && !level.level_over) level.clock_running = true;
        if (level.play_started) {
            if (!level.level_over && !level.ending) level.AdvanceClock(dt);
            level.invulnerability = fmaxf(level.invulnerability - dt, -1.0f);
            level.collect_bounce = fmaxf(level.collect_bounce - dt, -1.0f);
            if (level.drag_time > -0.5f) level.drag_time += dt;
            level.expression_time -= dt;
            if (level.expression_time < 0) SetWormFace(level.expression == 0 ? 3 : level.expression == 1 ? 2 : 0);
            level.shake_time = fmaxf(level.shake_time - dt, -1.0f);
            level.ready_time = fmaxf(level.ready_time - dt, 0.0f);
        }
        NormalUpdate(dt, resized);
    }

    // A kill streak ends when its time runs out.
    if (level.kill_streak_time > 0) {
        level.kill_streak_time -= dt;
        if (level.kill_streak_time < 0) {
            level.kill_streak_time = 0;
            KillComboStop();
        }
    }

    // Weather, HUD, sounds, hints and the game's effects follow the step.
    UpdateWeather(dt);
    UpdateUI(dt);
    UpdateSounds(dt);
    UpdateTutorials(dt);
    particles.UpdateParts(dt);

    // Collected items that reached the HUD go.
    for (int i = level.fly_ins.count - 1; i >= 0; i--) {
        level.fly_ins[i].progress += dt;
        if (level.fly_ins[i].progress > 1.0f) level.fly_ins.RemoveIndex(i);
    }

    // What the finger asked for, and a grip that loosens as the held
    // end speeds up, so a fast swing is not yanked back.
    if (release_requested) {
        release_requested = false;
        DestroyMouseJoint();
    }
    if (fling_requested) {
        fling_requested = false;
        FlingWorm();
    }
    if (mouse_joint && grabbed && grabbed->body) {
        const float s = grabbed->body->GetLinearVelocity().Length();
        const float force = s < 5.0f ? 200.0f : s < 30.0f ? 50.0f + 150.0f * (30.0f - s) / 25.0f : 50.0f;
        mouse_joint->SetMaxForce(force);
    }

    // A shaking view after a hard hit.
    if (level.shake_time > 0 || level.invulnerability > 1.9f) {
        const float k = sim.zoom * sim.pixels_per_metre;
        const vec2_t u = sim.camera_upper_left;
        const float jx = randf(-0.1f, 0.1f);
        const float jy = randf(-0.1f, 0.1f);
        float* m = sim.view_transform.m;
        for (int i = 0; i < 16; i++) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
        m[0] = m[5] = k;
        m[3] = k * (u.x + jx);
        m[7] = k * (u.y + jy);
    }
    game_replay.AfterStep(this);
}

void GameDeziDedi::NormalUpdate(float dt, bool resized) {
    // A camera held after a drag lets go in time.
    camera_hold = fmaxf(camera_hold - dt, -1.0f);
    // The camera follows the worm unless the developer, a drag or a hold
    // moves it.
    if (!DeveloperCameraKeys(dt) && !camera_drag && !(camera_hold > 0)) CenterCameraOnWorm(dt, resized);
    // The held end follows the finger until it grips something.
    if (sim.HasActorWithFlags(TAG_WORM_PART) && mouse_joint) {
        mouse_joint->SetTarget(b2Vec2(mouse_target.x, mouse_target.y));
        if (grabbed && grabbed->welded) DestroyMouseJoint();
    }
    // The world steps, platforms turn round, then the level's end is
    // checked on the new positions.
    sim.Update(dt);
    UpdateMovingPlatforms();
    CheckLevelEnd(dt);
    // The view of the open exit lasts four seconds.
    if (level.camera_mode == CAMERA_ALL_COLLECTED) {
        level.camera_mode_time += dt;
        if (level.camera_mode_time > 4.0f) {
            level.camera_mode = CAMERA_PLAY;
            level.camera_mode_time = 0;
        }
    }
}

void GameDeziDedi::SetWormFace(int kind) {
    if (kind == 0) {
        level.expression_time = 5.0f + 5.0f * randf(0.0f, 1.0f);
    } else if (kind == 4) {
        level.expression_time = level.expression == 4 ? level.expression_time + 1.5f : 1.5f;
    } else {
        level.expression_time = 0.2f;
    }
    level.expression = kind;
}

void GameDeziDedi::KillComboStop() {
    kd->Printf("%d killed %d\n", level.clock_ms, level.kill_streak);
    level.kill_streak = 0;
}

void GameDeziDedi::UpdateMovingPlatforms() {
    for (Actor* a : sim.ActorsWithFlags(TAG_MOVE)) {
        if (!a->body) continue;
        for (b2JointEdge* e = a->body->GetJointList(); e; e = e->next) {
            if (e->joint->GetType() != e_prismaticJoint) continue;
            b2PrismaticJoint* j = static_cast<b2PrismaticJoint*>(e->joint);
            const float m = j->GetMotorSpeed(), v = j->GetJointSpeed();
            // Pushed back by something in the way: turn round.
            if ((m > 0 && v < 0) || (m < 0 && v > 0)) {
                j->SetMotorSpeed(-m);
            } else if (a->Has(TAG_MOVE_LIMIT)) {
                const float t = j->GetJointTranslation();
                if (t < j->GetLowerLimit() + 0.01f)
                    j->SetMotorSpeed(fabsf(m));
                else if (t >= j->GetUpperLimit() - 0.01f)
                    j->SetMotorSpeed(-fabsf(m));
            }
        }
    }
}

void GameDeziDedi::UpdateWeather(float dt) {
    weather_time += dt;
    if (weather_time <= 5.5f || level.weather_theme < 1 || level.weather_theme > 3) return;
    fx_t* fx = lib.Effect((LibEffect)(LIB_FX_WEATHER_1 + level.weather_theme - 1));
    const float cw = (float)sman.reference_width * sim.metres_per_pixel;
    const float ch = (float)sman.reference_height * sim.metres_per_pixel;
    const float ww = sim.world_bounds[2] - sim.world_bounds[0];
    const float wh = sim.world_bounds[3] - sim.world_bounds[1];
    if (fx) {
        // One effect per screenful, stepping by a whole metre at least: a
        // cell under a metre (a reference size of 0) would never move on.
        // A world of many screens gets the first rows and columns only:
        // the layer's pool would be spent long before the rest, and bounds
        // far out would take millions.
        const float step_x = fmaxf(cw, 1.0f), step_y = fmaxf(ch, 1.0f);
        const int kMaxCells = 32;
        int nx = 0;
        for (float x = 0; x < ww && nx < kMaxCells; x = floorf(x + step_x), nx++) {
            int ny = 0;
            for (float y = 0; y < wh && ny < kMaxCells; y = floorf(y + step_y), ny++)
                sim.SpawnEffect(sim.back_particles, fx, vec2_t{x + cw / 2, y + ch / 2}, 0);
        }
    }
    weather_time = 0;
}

void GameDeziDedi::UpdateSounds(float) {
    // The worm's stretching sound, once per stretch: it must shrink
    // well back before it can sound again.
    if (sim.worm_parts.count >= 2) {
        const float rest = (float)(sim.worm_links + 1) * sim.worm_link_distance;
        float length = 0;
        for (int i = 1; i < sim.worm_parts.count; i++) {
            const b2Body* a = sim.worm_parts[i - 1]->body;
            const b2Body* b = sim.worm_parts[i]->body;
            if (a && b) length += (b->GetPosition() - a->GetPosition()).Length();
        }
        if (!stretched && length > 1.85f * rest) {
            if (kd_sound_t* s = lib.Sound(LIB_SND_STRETCHING)) aman.PlaySound(s, 1.0f, 0.0f, 1.0f);
            stretched = true;
        } else if (stretched && length < 1.5f * rest) {
            stretched = false;
        }
    }

    // The end bug calls louder as the worm nears it, once the exit is
    // open and until the level is decided.
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    float d = 100.0f;
    if (head && tail && head->body && tail->body) {
        for (const Actor* a : sim.ActorsWithFlags(TAG_END_BUG)) {
            if (!a->body) continue;
            for (const Actor* end : {head, tail})
                d = fminf(d, (a->body->GetPosition() - end->body->GetPosition()).Length());
        }
    }
    if (d < 40.0f && level.all_collected && !level.level_over) {
        if ((!looping_channel || !kd->IsChannelAlive(looping_channel)) && !sounds_stopped) {
            kd_sound_t* s = lib.Sound(LIB_SND_FLYING_END_BUG);
            looping_channel = s ? aman.PlaySound(s, 1.0f, 0.0f, 1.0f) : 0;
            if (looping_channel) kd->SetChannelLooping(looping_channel, 1);
        }
        if (looping_channel) kd->SetChannelVolume(looping_channel, aman.GetSoundVolume() * fminf(fmaxf(1.0f - d / 40.0f, 0.0f), 1.0f));
    } else if (looping_channel) {
        // Let the last call end by itself.
        if (kd->IsChannelAlive(looping_channel)) kd->SetChannelLooping(looping_channel, 0);
        else looping_channel = 0;
    }
}

void GameDeziDedi::StopSounds() {
    sounds_stopped = true;
    if (looping_channel) {
        kd->SetChannelLooping(looping_channel, 0);
        looping_channel = 0;
    }
}
