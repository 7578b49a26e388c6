// Finds a winning play of a level, headless, on the game's own code: the
// level starts as the program starts it, and every touch reaches the game
// through the replay of fixed input (game/game-replay.h) at the step it
// names, so the play it writes replays the same way in the real program.
//
// A play is a list of moves. A move takes the free end of the worm (of
// two stuck ends, the one the move names), drags it in a straight line to
// a point of the world, holds it there for a while and lets go; the end
// sticks where it lands, or the worm hangs until the next move. A beam
// search tries random moves from the best plays so far, scored by the
// targets taken, the lives kept and how near the worm came to the next
// target (the exit once every target is taken). A play wins when every
// target is taken and an end grips the open exit, so the level's ending
// begins. The replay is exact
// (fixed steps, the step's own random seed), so the program plays it the
// same way, bit for bit.
//
//   level_search WORLD OUT.txt [--seed N] [--beam N] [--tries N] [--moves N]
//   level_search WORLD --check IN.txt
//   level_search WORLD --plan "x,y,drag,hold[,back];..." [OUT.txt]
// The last plays the moves given and, with OUT.txt, keeps them as a
// replay with no end line (a play that loses, for a run that goes on).
// --hard (anywhere after WORLD) plays the level as the "HARD_LEVELS"
// product builds it, with its hard-mode hazards.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "../app/game-env.h"
#include "feature-manager.h"
#include "game/game-replay.h"

namespace {

struct Move {
    float tx, ty;   // where the end is taken (world)
    int drag;       // steps of the straight drag
    int hold;       // steps held at the point
    int settle;     // most steps waited after letting go
    bool back_end;  // of two stuck ends, take the one farther from the point
};

struct Outcome {
    bool won = false;
    int collected = 0, targets = 0, lives = 0;
    int boss_damage = 0;    // hit points the boss has lost
    float distance = 1e9f;  // from the worm to what it should reach next
    int steps = 0;
    double Score() const {
        return (won ? 1e6 : 0) + (collected + boss_damage) * 1000.0 + lives * 300.0 - std::min(distance, 200.0f) * 5.0 -
               steps * 0.01;
    }
};

const float kStep = 1.0f / 60.0f;
const int kBossHitPoints = 9;
const int kSettleMin = 20;

GameEnv* env = nullptr;
std::string world;
bool hard = false;  // the level as the "HARD_LEVELS" product builds it

bool IsFirstLevel() { return world == "worlds/e01-l01.xml"; }

vec2_t Pos(const Actor* a) { return GameEnv::Pos(a); }
float Dist(vec2_t a, vec2_t b) { return hypotf(a.x - b.x, a.y - b.y); }

// The play recorded as replay lines, one per touch.
struct Recorder {
    std::vector<std::string> lines;
    void Add(int step, const char* kind, vec2_t p) {
        char line[96];
        snprintf(line, sizeof line, "%d %s %ld %ld", step, kind, lrintf(p.x), lrintf(p.y));
        lines.push_back(line);
        GameReplay::Line l = {};
        l.step = step;
        l.kind = kind[0] == 'd' ? GameReplay::DOWN : kind[0] == 'u' ? GameReplay::UP : GameReplay::MOVE;
        l.x = (float)(lrintf(p.x));
        l.y = (float)(lrintf(p.y));
        game_replay.lines.InsertLast(l);
    }
    void Click(int step, const char* comp) {
        char line[96];
        snprintf(line, sizeof line, "%d click %s", step, comp);
        lines.push_back(line);
        GameReplay::Line l = {};
        l.step = step;
        l.kind = GameReplay::CLICK;
        snprintf(l.comp, sizeof l.comp, "%s", comp);
        game_replay.lines.InsertLast(l);
    }
};

// One frame of the level as the game screen gives it.
void Frame() { env->game.Update(game_replay.FrameStep(kStep)); }

int Remaining() {
    int n = 0;
    for (int i = 0; i < env->sim.actors.count; i++) {
        const Actor* a = env->sim.actors[i];
        if (a->Has(TAG_REQUIRED_TARGET) && !a->triggered && a->hit_points > 0) n++;
    }
    return n;
}

// The boss's hit points left, or -1 in a level without a boss.
int BossHitPoints() {
    for (int i = 0; i < env->sim.actors.count; i++) {
        const Actor* a = env->sim.actors[i];
        if (a->Has(TAG_BOSS)) return (int)ceilf(fmaxf(a->hit_points, 0.0f));
    }
    return -1;
}

// How far the worm is from the nearest target left, or from the exit (or
// from a boss still alive).
float GoalDistance() {
    Actor* head = env->sim.WormHead();
    Actor* tail = env->sim.WormTail();
    if (!head || !tail) return 1e9f;
    const bool all = Remaining() == 0;
    float best = 1e9f;
    for (int i = 0; i < env->sim.actors.count; i++) {
        const Actor* a = env->sim.actors[i];
        if (!a->body) continue;
        const bool goal = a->Has(TAG_BOSS) ? a->hit_points > 0
                          : all ? a->Has(TAG_EXIT)
                                : (a->Has(TAG_REQUIRED_TARGET) && !a->triggered && a->hit_points > 0);
        if (!goal) continue;
        for (int k = 0; k < env->sim.worm_parts.count; k++)
            best = std::min(best, Dist(Pos(env->sim.worm_parts[k]), Pos(a)));
    }
    return best;
}

// The level's ending has begun: an end grips the open exit.
bool Won() { return level.ending && !level.worm_dead; }

// Starts the level as the program does and waits until the worm can be
// taken: the prologue clicked through on the first level, the goal's
// intro skipped with a tap, the camera back on the worm.
int StartLevel(Recorder& rec) {
    game_replay.Clear();
    // One line that is never reached keeps the replay (fixed steps) on.
    GameReplay::Line idle = {};
    idle.step = GameReplay::kMaxStep;
    idle.kind = GameReplay::CLICK;
    game_replay.lines.InsertLast(idle);
    env->profile.Reset("1.xml");
    env->game.InitLevel(world.c_str());
    int step = 0;
    if (IsFirstLevel()) {
        // The prologue's six lines, a second each, as a player reads them.
        for (int i = 1; i <= 6; i++) rec.Click(i * 60, "StoryPanel");
    } else {
        rec.Add(10, "down", vec2_t{900, 80});
        rec.Add(11, "up", vec2_t{900, 80});
    }
    for (; step < 1200; step++) {
        Frame();
        if (step > (IsFirstLevel() ? 370 : 70) && level.camera_arrived && level.camera_mode == CAMERA_PLAY &&
            level.story_mode != STORY_PROLOGUE)
            break;
    }
    return game_replay.step;
}

// While the view shakes (a hard hit), the screen is jittered with random
// numbers that the program draws differently: a touch then would land on
// another point of the world. Touches wait for a still view.
bool Shaking() { return level.shake_time > 0 || level.invulnerability > 1.9f; }

void WaitForStillView() {
    for (int i = 0; i < 30 && Shaking(); i++) Frame();
}

// Plays one move from the current step; gives the step after it.
int PlayMove(Recorder& rec, const Move& m) {
    Actor* head = env->sim.WormHead();
    Actor* tail = env->sim.WormTail();
    if (!head || !tail) return game_replay.step;
    const vec2_t target = {m.tx, m.ty};
    Actor* end = nullptr;
    if (head->welded && !tail->welded)
        end = tail;
    else if (tail->welded && !head->welded)
        end = head;
    else if (head->welded && tail->welded) {
        const bool head_farther = Dist(Pos(head), target) > Dist(Pos(tail), target);
        end = (head_farther == m.back_end) ? head : tail;
    } else {
        // Nothing holds: wait for the worm to come to rest somewhere.
        for (int i = 0; i < 30; i++) Frame();
        return game_replay.step;
    }
    WaitForStillView();
    const vec2_t from = Pos(end);
    rec.Add(game_replay.step, "down", env->sim.TransformWorldPositionToScreen(from));
    Frame();
    if (getenv("LEVEL_SEARCH_DEBUG"))
        printf("  take %s at step %d: %s\n", end == head ? "head" : "tail", game_replay.step - 1,
               env->game.mouse_joint ? "taken" : "missed");
    if (!env->game.mouse_joint) return game_replay.step;
    vec2_t last = env->sim.TransformWorldPositionToScreen(from);
    for (int k = 1; k <= m.drag; k++) {
        const float t = (float)k / (float)m.drag;
        if (!Shaking()) {
            last = env->sim.TransformWorldPositionToScreen(
                vec2_t{from.x + (target.x - from.x) * t, from.y + (target.y - from.y) * t});
            rec.Add(game_replay.step, "move", last);
        }
        Frame();
    }
    for (int k = 0; k < m.hold && !end->welded; k++) {
        if (!Shaking()) {
            last = env->sim.TransformWorldPositionToScreen(target);
            rec.Add(game_replay.step, "move", last);
        }
        Frame();
    }
    WaitForStillView();
    rec.Add(game_replay.step, "up", last);
    Frame();
    for (int k = 0; k < m.settle; k++) {
        Frame();
        if (k >= kSettleMin && (end->welded || level.worm_dead)) break;
    }
    return game_replay.step;
}

Outcome Evaluate(const std::vector<Move>& plan, Recorder& rec) {
    Outcome o;
    int step = StartLevel(rec);
    for (const Move& m : plan) {
        step = PlayMove(rec, m);
        if (level.worm_dead || Won()) break;
    }
    o.targets = level.required_targets;
    o.collected = level.required_targets - Remaining();
    o.lives = level.lives;
    // The exit opens to a worm near it too: a kept play takes every
    // target on its way.
    o.won = Won() && !level.worm_dead && o.collected == o.targets;
    if (const int hp = BossHitPoints(); hp >= 0) o.boss_damage = kBossHitPoints - hp;
    o.distance = GoalDistance();
    o.steps = step;
    return o;
}

std::mt19937 rng;
float Uniform(float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); }
int UniformInt(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }

// A move from where the worm is now, towards something worth reaching.
// Where the worm is after a play, and what it might reach from there:
// what an end can hold on to, and the targets left.
struct Reach {
    vec2_t anchor = {0, 0};
    std::vector<vec2_t> holds, targets;
};

Reach Survey(const std::vector<Move>& plan) {
    Recorder rec;
    Evaluate(plan, rec);
    Reach r;
    Actor* head = env->sim.WormHead();
    Actor* tail = env->sim.WormTail();
    if (head && tail) r.anchor = head->welded ? Pos(head) : Pos(tail);
    for (int i = 0; i < env->sim.actors.count; i++) {
        const Actor* a = env->sim.actors[i];
        if (!a->body || a->IsWormPart() || Dist(Pos(a), r.anchor) > 15.0f) continue;
        const bool sticky = (a->body->GetType() == b2_staticBody || a->Has(TAG_GRABBABLE)) &&
                            !a->Has(TAG_NON_STICK | TAG_HAZARD | TAG_SENSOR | TAG_SIDE_WALL);
        if (sticky || a->Has(TAG_EXIT)) r.holds.push_back(Pos(a));
        if (a->Has(TAG_REQUIRED_TARGET) && !a->triggered && a->hit_points > 0) r.targets.push_back(Pos(a));
    }
    return r;
}

// A move from where the worm is now: mostly towards something to hold on
// to or a target, sometimes anywhere near.
Move RandomMove(const Reach& r) {
    Move m;
    const float pick = Uniform(0, 1);
    vec2_t aim;
    if (pick < 0.55f && !r.holds.empty()) {
        aim = r.holds[UniformInt(0, (int)r.holds.size() - 1)];
        aim.x += Uniform(-0.8f, 0.8f);
        aim.y += Uniform(-0.8f, 0.8f);
    } else if (pick < 0.75f && !r.targets.empty()) {
        aim = r.targets[UniformInt(0, (int)r.targets.size() - 1)];
        aim.x += Uniform(-1.5f, 1.5f);
        aim.y += Uniform(-1.5f, 1.5f);
    } else {
        const float d = Uniform(1.0f, 12.0f);
        const float a = Uniform(0, 6.2831853f);
        aim = vec2_t{r.anchor.x + d * cosf(a), r.anchor.y + d * sinf(a)};
    }
    m.tx = aim.x;
    m.ty = aim.y;
    m.drag = UniformInt(4, 40);
    m.hold = UniformInt(0, 90);
    m.settle = UniformInt(60, 240);
    m.back_end = UniformInt(0, 1) == 1;
    return m;
}

void WriteHeader(FILE* f, const char* what, const char* how, const std::vector<Move>& plan) {
    fprintf(f,
            "# %s of %s%s, %s tests/tools/level-search.cpp and\n"
            "# replayed step by step by the game (progs/app/game/game-replay.h).\n"
            "# Moves (end taken to a world point: drag steps, hold steps):\n",
            what, world.c_str(), hard ? " in hard mode" : "", how);
    for (const Move& m : plan)
        fprintf(f, "#   (%.2f, %.2f) drag %d hold %d%s\n", m.tx, m.ty, m.drag, m.hold, m.back_end ? " (back end)" : "");
}
void Write(const char* file, const std::vector<Move>& plan, const Outcome& o) {
    Recorder rec;
    Evaluate(plan, rec);
    FILE* f = fopen(file, "w");
    if (!f) {
        fprintf(stderr, "level_search: '%s' cannot be written\n", file);
        return;
    }
    WriteHeader(f, "A winning play", "found by", plan);
    fprintf(f, "# The level's ending begins by step %d.\n", o.steps);
    for (const std::string& l : rec.lines) fprintf(f, "%s\n", l.c_str());
    // Time for the level's ending to run (1.5 s) and its result to show.
    fprintf(f, "%d end\n", o.steps + 150);
    fclose(f);
}

int Check(const char* file) {
    FILE* f = fopen(file, "r");
    if (!f) {
        fprintf(stderr, "level_search: '%s' cannot be read\n", file);
        return 2;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    if (!game_replay.Parse(text.c_str(), file)) return 2;
    env->profile.Reset("1.xml");
    env->game.InitLevel(world.c_str());
    int won_at = -1;
    while (!game_replay.finished && game_replay.step < GameReplay::kMaxStep) {
        Frame();
        if (won_at < 0 && Won()) won_at = game_replay.step;
    }
    Actor* head = env->sim.WormHead();
    // The clock stops once the ending begins: this is the time the win
    // records against the level's ideal time.
    printf(
        "%s: targets %d of %d, lives %d, boss %d, won from step %d, clock %d ms; step %d head %.9g %.9g hash %016llx\n",
        world.c_str(), level.required_targets - Remaining(), level.required_targets, level.lives, BossHitPoints(),
        won_at, level.clock_ms, game_replay.step - 1, head ? (double)Pos(head).x : 0.0,
        head ? (double)Pos(head).y : 0.0, (unsigned long long)game_replay.hash);
    return won_at >= 0 && Remaining() == 0 ? 0 : 1;
}

// Plays moves given as "x,y,drag,hold[,back];..." and tells where the
// worm is after each: for designing a level by hand.
int Trace(const char* text, const char* out) {
    std::vector<Move> plan;
    for (const char* p = text; p && *p;) {
        Move m = {0, 0, 20, 30, 200, false};
        int back = 0;
        if (sscanf(p, "%f,%f,%d,%d,%d", &m.tx, &m.ty, &m.drag, &m.hold, &back) < 2) break;
        m.back_end = back != 0;
        plan.push_back(m);
        p = strchr(p, ';');
        if (p) p++;
    }
    Recorder rec;
    int step = StartLevel(rec);
    auto say = [&](const char* what) {
        Actor* h = env->sim.WormHead();
        Actor* t = env->sim.WormTail();
        printf("%s step %d: head (%.2f, %.2f)%s tail (%.2f, %.2f)%s targets %d/%d lives %d\n", what, step, Pos(h).x,
               Pos(h).y, h->welded ? " held" : "", Pos(t).x, Pos(t).y, t->welded ? " held" : "",
               level.required_targets - Remaining(), level.required_targets, level.lives);
    };
    say("start");
    for (const Move& m : plan) {
        step = PlayMove(rec, m);
        say("move");
    }
    printf("%s\n", Won() ? "won" : "not won");
    if (out) {
        FILE* f = fopen(out, "w");
        if (!f) {
            fprintf(stderr, "level_search: '%s' cannot be written\n", out);
            return 2;
        }
        WriteHeader(f, "A play", "traced by", plan);
        fprintf(f, "# After it: %d lives, %s.\n", level.lives, Won() ? "won" : "not won");
        for (const std::string& l : rec.lines) fprintf(f, "%s\n", l.c_str());
        fclose(f);
    }
    return Won() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr,
                "usage: %s WORLD OUT.txt [--seed N] [--beam N] [--tries N] [--moves N] [--hard]\n"
                "       %s WORLD --check IN.txt [--hard]\n"
                "       %s WORLD --plan MOVES [OUT.txt] [--hard]\n",
                argv[0], argv[0], argv[0]);
        return 2;
    }
    if (!getenv("KODO_TEST_DATA")) setenv("KODO_TEST_DATA", KODO_DATA_DIR, 1);
    world = argv[1];
    const char* out = argv[2];
    const char* check = nullptr;
    unsigned seed = 1;
    int beam = 6, tries = 30, max_moves = 12;
    for (int i = 2; i + 1 < argc; i++) {
        if (!strcmp(argv[i], "--check")) check = argv[i + 1];
        if (!strcmp(argv[i], "--seed")) seed = (unsigned)atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--beam")) beam = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--tries")) tries = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--moves")) max_moves = atoi(argv[i + 1]);
    }
    GameEnv g;
    env = &g;
    for (int i = 2; i < argc; i++) hard |= !strcmp(argv[i], "--hard");
    if (hard) feature_man.SetFeatureList("HARD_LEVELS");
    if (check) return Check(check);
    if (!strcmp(out, "--plan") && argc > 3)
        return Trace(argv[3], argc > 4 && strcmp(argv[4], "--hard") ? argv[4] : nullptr);

    rng.seed(seed);
    struct Node {
        std::vector<Move> plan;
        Outcome o;
    };
    std::vector<Node> front = {Node{}};
    {
        Recorder rec;
        front[0].o = Evaluate({}, rec);
    }
    for (int depth = 0; depth < max_moves; depth++) {
        std::vector<Node> next;
        for (const Node& n : front) {
            const Reach reach = Survey(n.plan);
            for (int t = 0; t < tries; t++) {
                Node c = n;
                c.plan.push_back(RandomMove(reach));
                Recorder rec;
                c.o = Evaluate(c.plan, rec);
                if (c.o.won) {
                    printf("won in %d moves, %d steps, %d lives\n", (int)c.plan.size(), c.o.steps, c.o.lives);
                    Write(out, c.plan, c.o);
                    return 0;
                }
                next.push_back(c);
            }
        }
        std::sort(next.begin(), next.end(), [](const Node& a, const Node& b) { return a.o.Score() > b.o.Score(); });
        if ((int)next.size() > beam) next.resize(beam);
        front = next;
        printf("depth %d: best %d/%d targets, %d lives, %.1f from the goal\n", depth + 1, front[0].o.collected,
               front[0].o.targets, front[0].o.lives, front[0].o.distance);
        fflush(stdout);
    }
    printf("no win found\n");
    return 1;
}
