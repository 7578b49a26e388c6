// World files ("worlds/*.xml"): an "info" array of world settings and an
// "actors" array with one node per placed actor. Reading is split in two:
// `ReadWorldFile` turns the database into a checked plain record (every
// number finite and in range, with a log line and the default otherwise),
// and `PhysicsSimulation::LoadWorld` builds the world from that record.
// The database is released before any actor definition is loaded, so a
// file that names itself (or another cached file) as an actor cannot pull
// the data out from under the reader.
#ifndef APP_WORLD_FILE_H
#define APP_WORLD_FILE_H

#include <map>
#include <utility>

#include "kodo.h"
#include "nstring.h"

class DMDatabase;

struct WorldFileActor {
    nString actor;
    vec2_t position = {10, 10};
    vec2_t move = {10, 0};
    float angle_degrees = 0;
    float move_speed = 1.5f;
    int id = 0;
    bool hard_only = false;
    // The four path points of a boss, each missing value derived from what
    // came before (the start, the movement, the earlier points).
    vec2_t path[4] = {};
};

struct WorldFileData {
    bool has_info = false;
    float bounds[4] = {-50, -50, 50, 10};
    bool has_worm_links = false;
    int worm_links = 7;
    bool has_ammos = false;
    nString ammos;
    int ideal_time = 30;
    nArray<WorldFileActor*> actors;

    WorldFileData() {}
    ~WorldFileData() { Clear(); }
    WorldFileData(const WorldFileData&) = delete;
    WorldFileData& operator=(const WorldFileData&) = delete;
    void Clear() {
        for (int i = 0; i < actors.count; i++) delete actors[i];
        actors.Free();
    }
};

// Limits of what a world file may say; beyond them Box2D loses precision
// or aborts.
enum { WORLD_MAX_WORM_LINKS = 64, WORLD_MAX_WALLS_PER_SIDE = 1024 };
// The actors a world file may place: what bounds the level start's
// settling steps (measured by bench_level_frame --start). Those past it are
// not created; an editor refuses to place one.
enum { WORLD_MAX_ACTORS = 500 };
// Actors piled on one spot (a square metre) touch each other all at once:
// Box2D's work then grows with the square of their number, and a few
// hundred bugs on one point never finish the level start. No bundled
// world puts more than one actor on a spot; those past this are left out.
enum { WORLD_MAX_ACTORS_PER_SPOT = 4 };
#define WORLD_MAX_COORD 1.0e5f

// The actors counted on each square metre of a world: the loader keeps
// the first WORLD_MAX_ACTORS_PER_SPOT of each in the file's order, and the
// world lab places or drags none past them, so the lab and the file agree.
class WorldSpots {
public:
    // The square metre of a point, with coordinates as a world file may
    // hold them.
    static std::pair<int, int> Of(vec2_t at);
    // Counts an actor at `at`; false, counting nothing, when its square
    // metre already holds the most it may.
    bool Take(vec2_t at) {
        int& n = count[Of(at)];
        return n < WORLD_MAX_ACTORS_PER_SPOT && ++n;
    }

private:
    std::map<std::pair<int, int>, int> count;
};

// The ideal times (seconds) a world file may give, as the reader takes them.
enum { WORLD_MAX_IDEAL_TIME = 1000000 };

void ReadWorldFile(const DMDatabase* db, const char* file, WorldFileData* out);

#endif
