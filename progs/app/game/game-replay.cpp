#include "game/game-replay.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "feature-manager.h"
#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "ui/screen.h"

GameReplay game_replay;

namespace {

// FNV-1a over the bits of each value.
const uint64_t kHashBasis = 1469598103934665603ull;

void Mix(uint64_t* h, float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; i++) {
        *h ^= (bits >> (8 * i)) & 0xFF;
        *h *= 1099511628211ull;
    }
}

// A file is read whole, up to this size.
const unsigned kMaxFile = 4u << 20;

}  // namespace

void GameReplay::Clear() {
    lines.Free();
    step = 0;
    level_started = false;
    hash = kHashBasis;
    finished = false;
}

float GameReplay::FrameStep(float dt) const {
    return (Active() || fixed_step) && level_started ? PhysicsSimulation::StepLength() : dt;
}

void GameReplay::LoadFromSettings() {
    // A switch as the data files' are: "1" on, "0" or none off; anything
    // else is refused with a line and leaves it off.
    fixed_step = ParseDataInt(feature_man.GetProductValue("fixed_step"), 0, 0, 1, "fixed_step", "prog.xml") == 1;
    if (fixed_step)
        kd->Printf("Game frames: a fixed step of %g s once a level starts.\n", (double)PhysicsSimulation::StepLength());
    const char* file = feature_man.GetProductValue("game_replay");
    if (!file || !*file) return;
    kd_file_t* f = kd->OpenFile(file, "rb");
    if (!f) {
        kd->PrintDebugf(KD_LOG_WARNING, "Game replay: '%s' cannot be opened; the game runs on its own clock.\n", file);
        return;
    }
    std::string text;
    char buffer[4096];
    unsigned n;
    while ((n = kd->ReadFile(buffer, sizeof buffer, f)) > 0 && text.size() < kMaxFile) text.append(buffer, n);
    kd->CloseFile(f);
    if (text.size() >= kMaxFile) {
        kd->PrintDebugf(KD_LOG_WARNING, "Game replay: '%s' is longer than %u bytes; not played.\n", file, kMaxFile);
        return;
    }
    if (Parse(text.c_str(), file)) kd->Printf("Game replay: %d lines from '%s'.\n", lines.count, file);
}

bool GameReplay::Parse(const char* text, const char* name) {
    Clear();
    if (!text) return false;
    int number = 0;
    const char* p = text;
    while (*p && lines.count < kMaxLines) {
        const char* end = strchr(p, '\n');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        number++;
        char line[256];
        const bool too_long = len >= sizeof line;
        snprintf(line, sizeof line, "%.*s", (int)(too_long ? sizeof line - 1 : len), p);
        p = end ? end + 1 : p + len;

        char* s = line;
        while (*s == ' ' || *s == '\t' || *s == '\r') s++;
        if (!*s || *s == '#') continue;
        Line l = {};
        char word[16] = {}, rest[64] = {};
        int used = 0;
        bool ok = !too_long && sscanf(s, "%d %15s%n", &l.step, word, &used) == 2 && l.step >= 0 && l.step <= kMaxStep;
        if (ok) {
            const char* tail = s + used;
            if (!strcmp(word, "down") || !strcmp(word, "move") || !strcmp(word, "up")) {
                l.kind = word[0] == 'd' ? DOWN : word[0] == 'm' ? MOVE : UP;
                char extra;
                ok = sscanf(tail, "%f %f %c", &l.x, &l.y, &extra) == 2 && isfinite(l.x) && isfinite(l.y) &&
                     fabsf(l.x) <= 1e5f && fabsf(l.y) <= 1e5f;
            } else if (!strcmp(word, "click")) {
                l.kind = CLICK;
                ok = sscanf(tail, "%31s %63s", l.comp, rest) == 1;
            } else if (!strcmp(word, "end")) {
                l.kind = END;
                ok = sscanf(tail, "%63s", rest) < 1;
            } else {
                ok = false;
            }
        }
        if (!ok) {
            kd->PrintDebugf(KD_LOG_WARNING, "Game replay: '%s' line %d cannot be read; skipped.\n", name ? name : "",
                            number);
            continue;
        }
        lines.InsertLast(l);
    }
    return lines.count > 0;
}

void GameReplay::LevelStarting() {
    if (!Active() && !fixed_step) return;
    step = 0;
    level_started = true;
    hash = kHashBasis;
    finished = false;
    // The level's own set-up draws random numbers too (where things start
    // in their cycles); the frames before it drew as many as the machine's
    // pace gave them.
    srand(1);
}

void GameReplay::BeforeStep(GameDeziDedi* game) {
    if (!Active() || finished || !game) return;
    // The program draws random numbers of its own between frames (the
    // menus' particles, sounds); the step's own seed keeps the game's draws
    // (a shooter's aim, a mine's burst, the shaking view) the same in every
    // run of the same input.
    srand(1u + (unsigned)step * 2654435761u);
    for (int i = 0; i < lines.count; i++) {
        const Line& l = lines[i];
        if (l.step != step) continue;
        if (l.kind == CLICK) {
            Screen* screen = GameDeziDedi::GameScreen();
            UIComp* comp = GameDeziDedi::Comp(l.comp);
            if (screen && comp) screen->ProcessUICompClick(comp, 0);
            continue;
        }
        if (l.kind == END) continue;
        const int type = l.kind == DOWN ? KD_EVENT_BUTTON_DOWN : l.kind == UP ? KD_EVENT_BUTTON_UP : KD_EVENT_POINTER_MOVE;
        kd_event_t e = GameDeziDedi::TouchEvent(type, vec2_t{l.x, l.y}, last_touch);
        last_touch = vec2_t{l.x, l.y};
        game->ProcessEvent(&e);
    }
}

void GameReplay::AfterStep(GameDeziDedi* game) {
    if (!Active() || finished || !game) return;
    // The head and every other part, bit for bit: any change to the worm's
    // path shows, not only one that moves the head.
    const nArray<Actor*>& parts = game->sim.worm_parts;
    for (int i = 0; i < parts.count; i++) {
        if (!parts[i]->body) continue;
        const b2Vec2 p = parts[i]->body->GetPosition();
        Mix(&hash, p.x);
        Mix(&hash, p.y);
    }
    Actor* head = game->sim.WormHead();
    const b2Vec2 at = head && head->body ? head->body->GetPosition() : b2Vec2(0, 0);
    for (int i = 0; i < lines.count; i++) {
        if (lines[i].kind != END || lines[i].step != step) continue;
        finished = true;
        kd->Printf("Game replay: step %d head %.9g %.9g hash %016llx\n", step, (double)at.x, (double)at.y,
                   (unsigned long long)hash);
        kd->SignalShutdown();
        break;
    }
    step++;
}
