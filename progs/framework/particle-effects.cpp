#include "particle-effects.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "audioman.h"
#include "lua-args.h"

fx_t* ed_part_burst = nullptr;
PartBurstMan* ed_part_burs_man = nullptr;

PartBurstMan pbman;

static const float kDeg = 0.017453292f;

// ---------------------------------------------------------------------------
// Random values. rand() reaches RAND_MAX, which is far above 32767 on this
// platform, so the fraction is taken against RAND_MAX.

static float Rand01() { return (float)rand() / (float)RAND_MAX; }
static float RangeValue(const fx_range_t& r) { return r.min + (r.max - r.min) * Rand01(); }
static float SpreadValue(float s) { return (Rand01() * 2.0f - 1.0f) * s * 0.5f; }

// ---------------------------------------------------------------------------
// Bitmap helpers

static bool PixelsOf(kd_bitmap_t* bm, const uint8_t** px, int* w, int* h) {
    if (!bm || !bm->pixels) return false;
    *w = bm->pb_width > 0 ? bm->pb_width : bm->width;
    *h = bm->pb_height > 0 ? bm->pb_height : bm->height;
    *px = bm->pixels;
    return *w > 0 && *h > 0;
}

static int AlphaAt(const uint8_t* px, int w, int x, int y) { return px[((size_t)y * (size_t)w + (size_t)x) * 4 + 3]; }

int GetNumberOfInnerPoints(kd_bitmap_t* bm) {
    const uint8_t* px;
    int w, h;
    if (!PixelsOf(bm, &px, &w, &h)) return 0;
    int n = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (AlphaAt(px, w, x, y) != 0) n++;
    return n;
}

// An edge point: alpha crosses the half-way mark between the horizontal
// or the vertical neighbours. Border pixels lack a neighbour and are skipped.
static int EdgeScan(kd_bitmap_t* bm, short* out, int dx, int dy) {
    const uint8_t* px;
    int w, h;
    if (!PixelsOf(bm, &px, &w, &h)) return 0;
    int n = 0;
    for (int y = 1; y < h - 1; y++)
        for (int x = 1; x < w - 1; x++) {
            int l = AlphaAt(px, w, x - 1, y) - 128, r = AlphaAt(px, w, x + 1, y) - 128;
            int u = AlphaAt(px, w, x, y - 1) - 128, d = AlphaAt(px, w, x, y + 1) - 128;
            if (l * r < 0 || u * d < 0) {
                if (out) {
                    out[n * 2] = (short)(x - dx);
                    out[n * 2 + 1] = (short)(y - dy);
                }
                n++;
            }
        }
    return n;
}

int GetNumberOfEdgePoints(kd_bitmap_t* bm) { return EdgeScan(bm, nullptr, 0, 0); }
int GetEdgePoints(kd_bitmap_t* bm, short* out) { return EdgeScan(bm, out, 0, 0); }
int GetEdgePointsCentered(kd_bitmap_t* bm, short* out) {
    if (!bm) return 0;
    return EdgeScan(bm, out, bm->width / 2, bm->height / 2);
}

// ---------------------------------------------------------------------------
// Manager

PartBurstMan::PartBurstMan() { memset(table, 0, sizeof table); }

PartBurstMan::~PartBurstMan() {
    // The effect state stays open until the process ends: scripts of other
    // managers may still be tearing down and nothing else owns it.
    // No loader thread is left at exit and the engine may have shut down
    // with its named mutexes: asking for PART_FX_LOAD now would only make
    // it again, so the records go without it.
    for (int i = 0; i < num_fx; i++) FreeRecord(&table[i]);
    num_fx = 0;
    for (int i = 0; i < num_death_funcs; i++) free(death_funcs[i].name);
}

// The functions of the effect state, which effect scripts call while a
// file loads; each has three names that effect files use alike.
static const LuaBinding kEffectBindings[] = {
    {"PartBurstParm", PartBurstMan::luaf_PartBurstParm},
    {"PartFXParm", PartBurstMan::luaf_PartBurstParm},
    {"FXParm", PartBurstMan::luaf_PartBurstParm},
    {"PartFXAddNew", PartBurstMan::luaf_PartBurstAddNew},
    {"FXAddNew", PartBurstMan::luaf_PartBurstAddNew},
    {"AddFX", PartBurstMan::luaf_PartBurstAddNew},
};
static_assert(std::size(kEffectBindings) == 6, "the effect state's script functions");

kd_mutex_t* PartBurstMan::Mutex() { return kd->GetMutex("PART_FX_LOAD"); }

void PartBurstMan::Init() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "PartBurstMan::Init.\n");
    // Opened here rather than during static construction, so that the
    // Lua manager is certainly constructed when it hands out the state.
    // Built-in functions and its own only: functions that the game adds
    // later are not for effect scripts.
    if (!L) L = lua_man.OpenBuiltinsOnlyLuaState();
    LuaManager::RegisterLuaFuncs(L, kEffectBindings);
    for (int i = 0; i < num_death_funcs; i++) free(death_funcs[i].name);
    memset(death_funcs, 0, sizeof death_funcs);
    num_death_funcs = 0;
}

void PartBurstMan::FreeRecord(fx_t* fx) {
    free(fx->name);
    free(fx->text);
    free(fx->emitter_fx_name);
    free(fx->edge_points);
    free(fx->area_points);
    memset(fx, 0, sizeof *fx);
}

void PartBurstMan::Clear() {
    kd_mutex_t* m = Mutex();
    if (m) kd->LockMutex(m);
    for (int i = 0; i < num_fx; i++) FreeRecord(&table[i]);
    num_fx = 0;
    if (m) kd->UnlockMutex(m);
}

fx_t* PartBurstMan::NextInChain(fx_t* fx) {
    if (!fx || !fx->continued) return nullptr;
    // Chains live in the table only; a record outside it ends its effect.
    if (fx < table || fx >= table + num_fx - 1) return nullptr;
    return fx + 1;
}

fx_t* PartBurstMan::FindLocked(const char* name) {
    for (int i = 0; i < num_fx; i++)
        if (nStringsMatch(table[i].name, name)) return &table[i];
    return nullptr;
}

void PartBurstMan::FinishRecord(fx_t* fx) {
    fx_range_t* ones[] = {&fx->sound_volume, &fx->sound_freq, &fx->scale, &fx->alpha, &fx->dampening};
    for (fx_range_t* r : ones)
        if (r->min == 0 && r->max == 0) *r = {1, 1};
    if (fx->alpha_curve.num_points <= 0) fx->alpha_curve = graph_linear_1_0;
    if (fx->scale_curve.num_points <= 0) fx->scale_curve = graph_constant1;
}

fx_t* PartBurstMan::LoadFX(const char* name, bool reference, int cacheMode) {
    if (!name) return nullptr;
    if (script_thread.load() == kd->GetCurrentThreadId()) {
        // Asked for by the effect script this thread runs: the lock is
        // this thread's already, and it is not recursive.
        fx_t* found = FindLocked(name);
        if (found && reference && cacheMode) IncreaseAssetReferenceCounts(found);
        if (!found) deferred.push_back(name);
        return found;
    }
    kd_mutex_t* m = Mutex();
    // The search runs under the lock too: a record another thread is still
    // filling must not be handed out half-made.
    if (m) kd->LockMutex(m);
    if (fx_t* found = FindLocked(name)) {
        if (m) kd->UnlockMutex(m);
        if (reference && cacheMode) IncreaseAssetReferenceCounts(found);
        return found;
    }
    if (num_fx >= FX_TABLE_SIZE) {
        if (m) kd->UnlockMutex(m);
        kd->PrintDebugf(KD_LOG_WARNING, "PartBurstMan: effect table full (%d records), not loading '%s'\n",
                        FX_TABLE_SIZE, name);
        return nullptr;
    }
    int first = num_fx++;
    fx_t* fx = &table[first];
    memset(fx, 0, sizeof *fx);
    cache_mode = cacheMode;
    kd->Printf("..caching particle burst '%s'\n", name);
    fx->name = strdup(name);
    if (name[0] != '!' && L) {
        ed_part_burst = fx;
        ed_part_burs_man = this;
        script_thread = kd->GetCurrentThreadId();
        lua_man.ExecLuaFile(L, name);
        script_thread = 0;
        ed_part_burst = nullptr;
        ed_part_burs_man = nullptr;
    }
    int last = num_fx;
    for (int i = first; i < last; i++) FinishRecord(&table[i]);
    std::vector<std::string> asked;
    asked.swap(deferred);
    if (m) kd->UnlockMutex(m);
    // Emitter effects and those the script asked for load outside the lock
    // (loading takes it again).
    for (int i = first; i < last; i++) {
        fx_t* r = &table[i];
        if (!r->emitter_fx_name) continue;
        char* emitter = r->emitter_fx_name;
        r->emitter_fx = GetFX(emitter);
        r->emitter_fx_name = nullptr;
        free(emitter);
    }
    for (const std::string& other : asked) GetFX(other.c_str());
    return fx;
}

fx_t* PartBurstMan::GetFX(const char* name) {
    fx_t* fx = LoadFX(name, false, 4);
    if (fx && !fx->referenced) {
        IncreaseAssetReferenceCounts(fx);
        fx->referenced = 1;
    }
    return fx;
}

void PartBurstMan::ReloadAllFXs() {
    nArray<nString> names;
    kd_mutex_t* m = Mutex();
    if (m) kd->LockMutex(m);
    for (int i = 0; i < num_fx; i++)
        if (table[i].name && !nStringsMatch(table[i].name, "&")) names.InsertLast(nString(table[i].name));
    for (int i = 0; i < num_fx; i++) FreeRecord(&table[i]);
    num_fx = 0;
    if (m) kd->UnlockMutex(m);
    for (int i = 0; i < names.count; i++) GetFX(names[i].text);
}

void PartBurstMan::IncreaseAssetReferenceCounts(fx_t* fx) {
    for (fx_t* r = fx; r; r = NextInChain(r))
        for (int i = 0; i < r->num_bitmaps && i < FX_MAX_BITMAPS; i++)
            if (r->bitmaps[i] && r->bitmaps[i]->name) kd->LoadBitmap(r->bitmaps[i]->name, 4);
}

void PartBurstMan::DecreaseAssetReferenceCounts(fx_t* fx) {
    for (fx_t* r = fx; r; r = NextInChain(r))
        for (int i = 0; i < r->num_bitmaps && i < FX_MAX_BITMAPS; i++)
            if (r->bitmaps[i]) kd->ReleaseBitmap(r->bitmaps[i]);
}

void PartBurstMan::AddPartDeathFunc(const char* name, part_func_t fn) {
    if (num_death_funcs >= FX_MAX_DEATH_FUNCS) {
        kd->Printf("PartBurstMan: Too many Part Death Funcs registered, not using '%s'\n", name ? name : "");
        return;
    }
    death_funcs[num_death_funcs].name = strdup(name ? name : "");
    death_funcs[num_death_funcs].fn = fn;
    num_death_funcs++;
}

part_func_t PartBurstMan::GetPartDeathFunc(const char* name) const {
    for (int i = 0; i < num_death_funcs; i++)
        if (nStringsMatch(death_funcs[i].name, name)) return death_funcs[i].fn;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Spawning

void PartBurstMan::SpawnFX(PartMan* pool, fx_t* fx, const vec2_t& pos, float angle, float ageOffset) {
    if (!pool || !fx) return;
    for (fx_t* r = fx; r; r = NextInChain(r)) {
        if (r->num_sounds > 0) {
            int n = r->num_sounds > FX_MAX_SOUNDS ? FX_MAX_SOUNDS : r->num_sounds;
            kd_sound_t* s = r->sounds[rand() % n];
            aman.PlaySound(s, RangeValue(r->sound_volume), 0, RangeValue(r->sound_freq));
        }
        for (int i = 0; i < r->num_parts; i++) {
            part_t* p = pool->GetFreePart();
            free(p->text);
            p->text = nullptr;
            if (r->text && r->font) {
                p->draw_func = PMAN_Draw_Text;
                p->font = r->font;
                p->text = strdup(r->text);
                p->bitmap = nullptr;
            } else {
                p->draw_func = PMAN_Draw_Normal;
                p->font = nullptr;
                int nb = r->num_bitmaps > FX_MAX_BITMAPS ? FX_MAX_BITMAPS : r->num_bitmaps;
                p->bitmap = nb > 0 ? r->bitmaps[rand() % nb] : nullptr;
            }
            p->alpha = RangeValue(r->alpha);
            p->scale = RangeValue(r->scale);
            p->dampening = RangeValue(r->dampening);
            p->death_func = r->death_func;
            p->x = pos.x + r->pos_offset.x;
            p->y = pos.y + r->pos_offset.y;
            if (r->area_points && r->num_area_points > 0) {
                int k = rand() % r->num_area_points;
                p->x += r->area_points[k * 2];
                p->y += r->area_points[k * 2 + 1];
            }
            if (r->edge_bitmap && r->edge_points && r->num_edge_points > 0) {
                int k = rand() % r->num_edge_points;
                p->x += r->edge_points[k * 2];
                p->y += r->edge_points[k * 2 + 1];
            }
            p->emitter_fx = r->emitter_fx;
            if (r->emitter_fx) {
                p->emitter_interval = r->emitter_interval;
                p->emitter_counter = 0;
                p->emitter_type = (uint8_t)r->emitter_type;
            }
            p->x += SpreadValue(r->area_box.x);
            p->y += SpreadValue(r->area_box.y);
            float a = angle + r->move_angle + r->area_angle + SpreadValue(r->area_angle_spread);
            float radius = RangeValue(r->area_radius);
            p->x += cosf(a) * radius;
            p->y += sinf(a) * radius;
            p->start_angle = angle + r->rotation_angle + SpreadValue(r->rotation_angle_spread);
            p->end_angle = p->start_angle + RangeValue(r->rotation);
            float d = angle + r->move_angle + SpreadValue(r->move_angle_spread);
            p->vx = cosf(d);
            p->vy = sinf(d);
            float move = RangeValue(r->initial_move);
            p->x += p->vx * move;
            p->y += p->vy * move;
            float speed = RangeValue(r->speed);
            p->vx *= speed;
            p->vy *= speed;
            p->age = RangeValue(r->age) - ageOffset;
            p->mass = RangeValue(r->mass);
            p->alpha_curve = &r->alpha_curve;
            p->scale_curve = &r->scale_curve;
            p->blend = r->blend;
            p->age_to_die = RangeValue(r->age_to_die);
            p->trail_x = p->trail_y = p->trail_width = p->trail_end_alpha = 0;
            float rs = pool->reference_scale;
            if (rs != 1.0f) {
                p->x = pos.x + (p->x - pos.x) * rs;
                p->y = pos.y + (p->y - pos.y) * rs;
                p->vx *= rs;
                p->vy *= rs;
                p->scale *= rs;
                p->mass *= rs;
                if (p->emitter_fx && p->emitter_type == 0) p->emitter_interval *= rs;
            }
        }
    }
}

void PartBurstMan::SpawnFXTrail(PartMan* pool, fx_t* fx, vec2_t from, vec2_t to, float spacing, float timeSpan,
                                float ageOffset) {
    if (!pool || !fx) return;
    float dx = to.x - from.x, dy = to.y - from.y;
    float len = sqrtf(dx * dx + dy * dy);
    // A spacing of 0 or less (or not a number) would never advance along
    // the segment: one spawn at the start stands for the whole trail.
    if (!(spacing > 0) || !(len > 0) || !isfinite(len)) {
        if (len == 0 || isfinite(len)) SpawnFX(pool, fx, from, 0, ageOffset);
        return;
    }
    vec2_t u = {dx / len, dy / len};
    float n = floorf(len / spacing);
    float angle = atan2f(u.y, u.x);
    float step = n >= 1 ? timeSpan / n : 0;
    // Steps are counted, not summed: a spacing too small to change a
    // large float would otherwise never reach the end. Beyond the pool's
    // size every further step only overwrites the spare record.
    long limit = (long)pool->pool_size + 1;
    for (long i = 0; i < limit; i++) {
        float t = (float)i * spacing;
        if (!(t < len)) break;
        vec2_t at = {from.x + t * u.x, from.y + t * u.y};
        SpawnFX(pool, fx, at, angle, ageOffset);
        ageOffset += step;
    }
}

// ---------------------------------------------------------------------------
// Script functions of the effect state

static void SetPair(fx_range_t* r, float a, float b) { *r = {a, b}; }

static bool LoadEdges(fx_t* fx, const char* s, bool centred, float angle) {
    if (!s) return false;
    fx->edge_bitmap = kd->LoadBitmap(s, 6);
    free(fx->edge_points);
    fx->edge_points = nullptr;
    fx->num_edge_points = 0;
    int n = GetNumberOfEdgePoints(fx->edge_bitmap);
    if (n > 0) {
        fx->edge_points = (int16_t*)calloc((size_t)n * 2, sizeof(int16_t));
        if (fx->edge_points)
            fx->num_edge_points = centred ? GetEdgePointsCentered(fx->edge_bitmap, fx->edge_points)
                                          : GetEdgePoints(fx->edge_bitmap, fx->edge_points);
    }
    fx->area_point_count = fx->num_edge_points;
    if (centred) fx->edge_angle = angle;
    return true;
}

static void LoadArea(fx_t* fx, const char* s) {
    if (!s) return;
    fx->area_bitmap = kd->LoadBitmap(s, 6);
    free(fx->area_points);
    fx->area_points = nullptr;
    fx->num_area_points = 0;
    const uint8_t* px;
    int w, h;
    int n = GetNumberOfInnerPoints(fx->area_bitmap);
    if (n > 0 && PixelsOf(fx->area_bitmap, &px, &w, &h)) {
        fx->area_points = (int16_t*)calloc((size_t)n * 2, sizeof(int16_t));
        if (fx->area_points) {
            int k = 0;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    if (AlphaAt(px, w, x, y) != 0 && k < n) {
                        fx->area_points[k * 2] = (int16_t)x;
                        fx->area_points[k * 2 + 1] = (int16_t)y;
                        k++;
                    }
            fx->num_area_points = k;
        }
    }
    fx->area_point_count = fx->num_area_points;
}

int PartBurstMan::luaf_PartBurstParm(lua_State* L) {
    fx_t* fx = ed_part_burst;
    PartBurstMan* man = ed_part_burs_man;
    if (!fx || !man) return 0;
    LuaArgs args(L, __func__);
    const char* parm = args.Text(1);
    if (!parm) return 0;
    // The value is a number or a text, as the parameter wants: both readings
    // are taken with Lua's plain conversions (0 or null for the other kind).
    float a = (float)lua_tonumber(L, 2);
    float b = (float)lua_tonumber(L, 3);
    const char* s = lua_tostring(L, 2);
#define IS(x) (strcmp(parm, x) == 0)
    if (IS("alpha")) SetPair(&fx->alpha, a, b);
    else if (IS("scale")) SetPair(&fx->scale, a, b);
    else if (IS("area_box")) fx->area_box = {a, b};
    else if (IS("area_radius")) SetPair(&fx->area_radius, a, b);
    else if (IS("dampening_factor")) SetPair(&fx->dampening, a, b);
    else if (IS("pos_offset")) fx->pos_offset = {a, b};
    else if (IS("age")) SetPair(&fx->age, a, b);
    else if (IS("mass")) SetPair(&fx->mass, a, b);
    else if (IS("age_to_die")) SetPair(&fx->age_to_die, a, b);
    else if (IS("sound_volume")) SetPair(&fx->sound_volume, a, b);
    else if (IS("sound_freq")) SetPair(&fx->sound_freq, a, b);
    else if (IS("init_move") || IS("initial_move")) SetPair(&fx->initial_move, a, b);
    else if (IS("speed") || IS("move_speed")) SetPair(&fx->speed, a, b);
    else if (IS("alpha_graph")) fx->alpha_curve.AddPoint(a, b);
    else if (IS("scale_graph")) fx->scale_curve.AddPoint(a, b);
    else if (IS("area_angle")) fx->area_angle = a * kDeg;
    else if (IS("area_angle_spread")) fx->area_angle_spread = a * kDeg;
    else if (IS("move_angle")) fx->move_angle = a * kDeg;
    else if (IS("move_angle_spread")) fx->move_angle_spread = a * kDeg;
    else if (IS("angle") || IS("rotation_angle")) fx->rotation_angle = a * kDeg;
    else if (IS("angle_spread") || IS("rot_angle_spread")) fx->rotation_angle_spread = a * kDeg;
    else if (IS("angle_rps") || IS("rot_angle_rps")) SetPair(&fx->rotation, a * kDeg, b * kDeg);
    else if (IS("num_parts")) fx->num_parts = isfinite(a) && a > 0 ? (a > 1e6f ? 1000000 : (int32_t)a) : 0;
    else if (IS("area_bitmap")) LoadArea(fx, s);
    else if (IS("area_bitmap_edges")) LoadEdges(fx, s, false, 0);
    else if (IS("area_bitmap_edges_angle")) LoadEdges(fx, s, true, (float)lua_tonumber(L, 3));
    else if (IS("bitmap")) {
        if (s && fx->num_bitmaps < FX_MAX_BITMAPS) fx->bitmaps[fx->num_bitmaps++] = kd->LoadBitmap(s, man->cache_mode);
    } else if (IS("sound")) {
        if (s && fx->num_sounds < FX_MAX_SOUNDS) {
            kd_sound_t* snd = kd->LoadSound(s);
            if (snd) fx->sounds[fx->num_sounds++] = snd;
        }
    } else if (IS("font")) {
        if (s) fx->font = kd->GetFont(s);
    } else if (IS("text")) {
        free(fx->text);
        fx->text = s ? strdup(s) : nullptr;
    } else if (IS("death_func")) fx->death_func = man->GetPartDeathFunc(s);
    else if (IS("emitter_fx")) {
        free(fx->emitter_fx_name);
        fx->emitter_fx_name = s ? strdup(s) : nullptr;
    } else if (IS("emitter_interval")) fx->emitter_interval = a;
    else if (IS("emitter_type")) fx->emitter_type = nStringsMatchIncaseSensitive(s, "DISTANCE") ? 0 : 1;
    else if (IS("blend_mode")) fx->blend = nStringsMatchIncaseSensitive(s, "ADDITIVE") ? 1 : 0;
    else kd->Printf("WARNING: unknown burst parm '%s'\n", parm);
#undef IS
    return 0;
}

int PartBurstMan::luaf_PartBurstAddNew(lua_State*) {
    fx_t* fx = ed_part_burst;
    PartBurstMan* man = ed_part_burs_man;
    if (!fx || !man) return 0;
    if (man->num_fx >= FX_TABLE_SIZE) {
        // No record left: the rest of the script fills nothing.
        kd->PrintDebugf(KD_LOG_WARNING,
                        "PartBurstMan: effect table full (%d records); the rest of the script is ignored\n",
                        FX_TABLE_SIZE);
        ed_part_burst = nullptr;
        return 0;
    }
    fx->continued = 1;
    fx_t* next = &man->table[man->num_fx++];
    memset(next, 0, sizeof *next);
    next->name = strdup("&");
    ed_part_burst = next;
    return 0;
}
