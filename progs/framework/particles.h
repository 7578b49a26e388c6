// Pools of 2D particles: each live particle moves under the pool's force
// and its own dampening, ages, fades and scales along two curves, dies at
// the end of its life (optionally calling a death function) and may spawn
// effects as it moves (an emitter). Effects (particle-effects.h) fill the
// particles in; the pool owns the records, the lists, the update and the
// drawing.
#ifndef FRAMEWORK_PARTICLES_H
#define FRAMEWORK_PARTICLES_H

#include <stdint.h>

#include "framework-kd.h"
#include "kodo.h"

struct fx_t;

// A curve over a particle's life fraction 0..1.
enum { GRAPH_MAX_POINTS = 16 };
struct graph_t {
    vec2_t points[GRAPH_MAX_POINTS];
    int32_t num_points;

    void Clear() { num_points = 0; }
    // Points past the 16th are ignored.
    void AddPoint(float x, float y);
    float Evaluate(float t) const;
};

extern graph_t graph_linear_1_0;
extern graph_t graph_linear_0_1;
extern graph_t graph_constant1;
extern graph_t graph_smooth_fade;
extern graph_t graph_fade_in_out;

struct part_t;
typedef void (*part_func_t)(part_t*);

struct part_t {
    part_t* next;
    part_t* prev;
    float x, y;
    float trail_x, trail_y;  // the other end of a trail particle
    float vx, vy;            // per second
    float age;               // seconds; negative: not started yet
    float age_to_die;
    const graph_t* scale_curve;
    const graph_t* alpha_curve;
    part_func_t death_func;
    part_func_t draw_func;  // PMAN_Draw_Normal, PMAN_Draw_Trail or PMAN_Draw_Text
    float alpha;
    float scale;
    float dampening;  // velocity factor per second
    float trail_width;
    float trail_end_alpha;
    float start_angle, end_angle;
    float mass;  // multiplier of the pool's force
    kd_bitmap_t* bitmap;
    kd_font_t* font;
    uint8_t emitter_type;  // 0 by distance, otherwise by time
    fx_t* emitter_fx;
    float emitter_interval;
    float emitter_counter;
    int16_t blend;   // 0 alpha, 1 additive
    char* text;      // owned (malloc) text of a text particle
    uint8_t in_use;  // set while in the live list, so a second kill is harmless
};

void PMAN_Draw_Normal(part_t* p);
void PMAN_Draw_Trail(part_t* p);
void PMAN_Draw_Text(part_t* p);

enum { PMAN_DEFAULT_SIZE = 1536 };

class PartMan {
public:
    PartMan() : PartMan(PMAN_DEFAULT_SIZE) {}
    explicit PartMan(int size);
    ~PartMan();
    PartMan(const PartMan&) = delete;
    PartMan& operator=(const PartMan&) = delete;

    void InitParts(int n);
    void ResetParts();
    // Never null: with no free record, the spare `hoax` record, which is in
    // no list and is never updated or drawn.
    part_t* GetFreePart();
    part_t* SpawnPart(vec2_t pos, kd_bitmap_t* bmp, float life);
    part_t* SpawnPartTextf(vec2_t pos, kd_font_t* font, float life, const char* fmt, ...)
        __attribute__((format(printf, 5, 6)));
    void KillPart(part_t* p);
    void UpdateParts(float dt);
    void DrawParts();
    void ApplyReferenceScaleToPart(part_t* p);

    bool IsHoax(const part_t* p) const { return p == &hoax; }
    // The first live particle, or null; then `NextLive`.
    part_t* FirstLive() { return live.next != &live ? live.next : nullptr; }
    part_t* NextLive(part_t* p) { return p && p->next != &live ? p->next : nullptr; }

    int32_t live_count = 0;
    int32_t pool_size = 0;
    vec2_t force = {0, 9.81f};
    vec2_t camera = {0, 0};
    float draw_scale = 1.0f;
    float draw_alpha = 1.0f;
    float reference_scale = 1.0f;

private:
    static void Unlink(part_t* p);
    static void LinkBefore(part_t* head, part_t* p);  // at the end of head's list
    void EmptyLists();
    void FreeRecords();
    void AllocateRecords();

    part_t* records = nullptr;
    part_t live{};
    part_t free_list{};
    static part_t hoax;
};

// Statics of the drawing, set by DrawParts.
extern vec2_t pman_cam;
extern float pman_scale;
extern float pman_alpha;

extern PartMan pman;

#endif
