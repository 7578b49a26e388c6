// Particle effects: small Lua scripts that set the parameters of one or
// more emission records. Spawning an effect fills particles into a pool
// (particles.h) with randomised positions, directions, speeds, lifetimes
// and looks, and plays one of its sounds. `pbman` loads effect scripts on
// demand, keeps every loaded effect by name and runs the scripts in a Lua
// state of its own.
#ifndef FRAMEWORK_PARTICLE_EFFECTS_H
#define FRAMEWORK_PARTICLE_EFFECTS_H

#include <lua.hpp>
#include <stdint.h>

#include <atomic>
#include <string>
#include <vector>

#include "framework-kd.h"
#include "kodo.h"
#include "particles.h"

struct fx_range_t {
    float min, max;
};

enum { FX_MAX_BITMAPS = 16, FX_MAX_SOUNDS = 16, FX_TABLE_SIZE = 256, FX_MAX_DEATH_FUNCS = 32 };

// One emission record; an effect is one record or several consecutive
// table records chained by `continued`.
struct fx_t {
    char* name;  // the script path; "&" for a continuation record
    uint8_t referenced;
    int32_t area_point_count;  // opaque pixels of the area bitmap, or edge points
    kd_bitmap_t* area_bitmap;
    kd_bitmap_t* edge_bitmap;
    int16_t* edge_points;  // (x, y) pairs
    float edge_angle;      // stored, not used when spawning
    kd_font_t* font;
    char* text;
    graph_t alpha_curve;
    fx_range_t alpha;
    int32_t emitter_type;  // 0 by distance, 1 by time
    fx_t* emitter_fx;
    char* emitter_fx_name;  // until resolved
    float emitter_interval;
    graph_t scale_curve;
    fx_range_t scale;
    int16_t blend;
    vec2_t area_box;  // full widths
    float area_angle, area_angle_spread;
    fx_range_t area_radius;
    fx_range_t dampening;
    float rotation_angle, rotation_angle_spread;
    fx_range_t rotation;  // total turn over the life
    float move_angle, move_angle_spread;
    fx_range_t speed;
    fx_range_t initial_move;
    int32_t num_parts;
    vec2_t pos_offset;
    fx_range_t mass;
    fx_range_t age;
    fx_range_t age_to_die;
    part_func_t death_func;
    kd_bitmap_t* bitmaps[FX_MAX_BITMAPS];
    int32_t num_bitmaps;
    kd_sound_t* sounds[FX_MAX_SOUNDS];
    int32_t num_sounds;
    fx_range_t sound_volume;
    fx_range_t sound_freq;
    uint8_t continued;  // the next table record belongs to the same effect
    // The opaque pixels of the area bitmap as (x, y) pairs in row order,
    // so that a spawn picks one without scanning the bitmap.
    int16_t* area_points;
    int32_t num_area_points;
    int32_t num_edge_points;
};

class PartBurstMan {
public:
    PartBurstMan();
    ~PartBurstMan();
    PartBurstMan(const PartBurstMan&) = delete;
    PartBurstMan& operator=(const PartBurstMan&) = delete;

    void Init();
    // Null when the name is null or the table is full.
    fx_t* LoadFX(const char* name, bool reference, int cacheMode);
    fx_t* GetFX(const char* name);
    void ReloadAllFXs();
    void IncreaseAssetReferenceCounts(fx_t* fx);
    void DecreaseAssetReferenceCounts(fx_t* fx);
    void AddPartDeathFunc(const char* name, part_func_t fn);
    part_func_t GetPartDeathFunc(const char* name) const;
    void SpawnFX(PartMan* pool, fx_t* fx, const vec2_t& pos, float angle, float ageOffset);
    void SpawnFXTrail(PartMan* pool, fx_t* fx, vec2_t from, vec2_t to, float spacing, float timeSpan,
                      float ageOffset);

    int GetNumberOfRecords() const { return num_fx; }
    fx_t* GetRecord(int i) { return i >= 0 && i < num_fx ? &table[i] : nullptr; }
    lua_State* GetLuaState() const { return L; }
    // Drops every effect (tests and shutdown); asset references stay.
    void Clear();

    // The script functions of the effect state.
    static int luaf_PartBurstParm(lua_State* L);
    static int luaf_PartBurstAddNew(lua_State* L);

private:
    fx_t* FindLocked(const char* name);
    void FinishRecord(fx_t* fx);
    void FreeRecord(fx_t* fx);
    fx_t* NextInChain(fx_t* fx);
    kd_mutex_t* Mutex();

    struct DeathFunc {
        char* name;
        part_func_t fn;
    };
    DeathFunc death_funcs[FX_MAX_DEATH_FUNCS] = {};
    int num_death_funcs = 0;
    lua_State* L = nullptr;
    fx_t table[FX_TABLE_SIZE];
    int num_fx = 0;
    int cache_mode = 4;
    // The thread running an effect script under the load lock, 0 for none.
    // An effect that this script asks for (CacheFX, SpawnFX) is looked up
    // without locking again; one not loaded yet waits in `deferred` until
    // the script's own records are complete, so that a chain is never cut
    // by another effect's records.
    std::atomic<unsigned long> script_thread{0};
    std::vector<std::string> deferred;
};

// Bitmap helpers for areas (RGBA pixels in memory; 0 without them).
int GetNumberOfInnerPoints(kd_bitmap_t* bm);
int GetNumberOfEdgePoints(kd_bitmap_t* bm);
int GetEdgePoints(kd_bitmap_t* bm, short* out);
int GetEdgePointsCentered(kd_bitmap_t* bm, short* out);

// While a script runs: the record being filled and the manager loading it.
extern fx_t* ed_part_burst;
extern PartBurstMan* ed_part_burs_man;

extern PartBurstMan pbman;

#endif
