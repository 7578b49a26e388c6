#include "particles.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "nstring.h"
#include "particle-effects.h"

graph_t graph_linear_1_0;
graph_t graph_linear_0_1;
graph_t graph_constant1;
graph_t graph_smooth_fade;
graph_t graph_fade_in_out;

vec2_t pman_cam = {0, 0};
float pman_scale = 1.0f;
float pman_alpha = 1.0f;
part_t PartMan::hoax;

PartMan pman;

// ---------------------------------------------------------------------------
// Curves

void graph_t::AddPoint(float x, float y) {
    if (num_points < 0) num_points = 0;
    if (num_points >= GRAPH_MAX_POINTS) return;
    points[num_points].x = x;
    points[num_points].y = y;
    num_points++;
}

float graph_t::Evaluate(float t) const {
    int n = num_points > GRAPH_MAX_POINTS ? GRAPH_MAX_POINTS : num_points;
    if (n < 2) return points[0].y;
    // Two points are a straight line over the whole life, whatever their x.
    if (n == 2) return points[0].y + (points[1].y - points[0].y) * t;
    for (int i = 0; i < n; i++) {
        if (points[i].x > t) {
            if (i == 0) return points[0].y;
            const vec2_t& a = points[i - 1];
            const vec2_t& b = points[i];
            float span = b.x - a.x;
            if (span <= 0) return b.y;
            return a.y + (b.y - a.y) * (t - a.x) / span;
        }
    }
    return points[n - 1].y;
}

static void FillPresetCurves() {
    graph_linear_1_0 = graph_t{};
    graph_linear_1_0.AddPoint(0, 1);
    graph_linear_1_0.AddPoint(1, 0);
    graph_linear_0_1 = graph_t{};
    graph_linear_0_1.AddPoint(0, 0);
    graph_linear_0_1.AddPoint(1, 1);
    graph_constant1 = graph_t{};
    graph_constant1.AddPoint(0, 1);
    graph_smooth_fade = graph_t{};
    graph_smooth_fade.AddPoint(0, 0);
    graph_smooth_fade.AddPoint(0.1f, 1);
    graph_smooth_fade.AddPoint(1, 0);
    graph_fade_in_out = graph_t{};
    graph_fade_in_out.AddPoint(0, 0);
    graph_fade_in_out.AddPoint(0.1f, 1);
    graph_fade_in_out.AddPoint(0.9f, 1);
    graph_fade_in_out.AddPoint(1, 0);
}

// ---------------------------------------------------------------------------
// Pool

PartMan::PartMan(int size) { InitParts(size); }

PartMan::~PartMan() { FreeRecords(); }

// The records are allocated by the first spawn: a program holds many pools
// (every simulation has three, every emitter one) of which most never
// show a particle, and each is a quarter of a megabyte.
void PartMan::InitParts(int n) {
    FillPresetCurves();
    force = {0, 9.81f};
    FreeRecords();
    pool_size = n < 0 ? 0 : n;
    ResetParts();
}

void PartMan::FreeRecords() {
    if (records)
        for (int i = 0; i < pool_size; i++) free(records[i].text);
    delete[] records;
    records = nullptr;
}

void PartMan::AllocateRecords() {
    records = new part_t[pool_size]();
    for (int i = 0; i < pool_size; i++) LinkBefore(&free_list, &records[i]);
}

void PartMan::EmptyLists() {
    live.next = live.prev = &live;
    free_list.next = free_list.prev = &free_list;
}

void PartMan::ResetParts() {
    EmptyLists();
    for (int i = 0; records && i < pool_size; i++) {
        free(records[i].text);
        records[i] = part_t{};
        LinkBefore(&free_list, &records[i]);
    }
    live_count = 0;
}

void PartMan::Unlink(part_t* p) {
    p->prev->next = p->next;
    p->next->prev = p->prev;
    p->next = p->prev = p;
}

void PartMan::LinkBefore(part_t* head, part_t* p) {
    p->prev = head->prev;
    p->next = head;
    head->prev->next = p;
    head->prev = p;
}

part_t* PartMan::GetFreePart() {
    if (!records && pool_size > 0) AllocateRecords();
    if (free_list.next == &free_list || free_list.next == nullptr) {
        free(hoax.text);
        hoax = part_t{};
        hoax.next = hoax.prev = &hoax;
        return &hoax;
    }
    part_t* p = free_list.next;
    Unlink(p);
    LinkBefore(&live, p);
    p->emitter_fx = nullptr;
    p->in_use = 1;
    live_count++;
    return p;
}

static void SetSpawnDefaults(part_t* p, vec2_t pos, float life) {
    p->x = pos.x;
    p->y = pos.y;
    p->vx = p->vy = 0;
    p->age = 0;
    p->age_to_die = life;
    p->scale_curve = &graph_constant1;
    p->alpha_curve = &graph_linear_1_0;
    p->death_func = nullptr;
    p->draw_func = PMAN_Draw_Normal;
    p->alpha = 1;
    p->scale = 1;
    p->dampening = 1;
    p->start_angle = p->end_angle = 0;
    p->mass = 0;
    p->blend = 0;
    free(p->text);
    p->text = nullptr;
    p->font = nullptr;
    p->bitmap = nullptr;
}

part_t* PartMan::SpawnPart(vec2_t pos, kd_bitmap_t* bmp, float life) {
    part_t* p = GetFreePart();
    SetSpawnDefaults(p, pos, life);
    p->bitmap = bmp;
    return p;
}

part_t* PartMan::SpawnPartTextf(vec2_t pos, kd_font_t* font, float life, const char* fmt, ...) {
    part_t* p = GetFreePart();
    SetSpawnDefaults(p, pos, life);
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    nStringFormatV(text, sizeof text, fmt, ap);
    va_end(ap);
    p->text = strdup(text);
    p->font = font;
    p->draw_func = PMAN_Draw_Text;
    return p;
}

void PartMan::KillPart(part_t* p) {
    if (!p || p == &hoax || !p->in_use) return;
    Unlink(p);
    p->in_use = 0;
    // At the head of the free list: the next spawn reuses it.
    p->next = free_list.next;
    p->prev = &free_list;
    free_list.next->prev = p;
    free_list.next = p;
    free(p->text);
    p->text = nullptr;
    p->emitter_fx = nullptr;
    live_count--;
}

void PartMan::ApplyReferenceScaleToPart(part_t* p) {
    if (!p || reference_scale == 1.0f) return;
    p->vx *= reference_scale;
    p->vy *= reference_scale;
    p->scale *= reference_scale;
    p->mass *= reference_scale;
}

void PartMan::UpdateParts(float dt) {
    // Only the particles live at the start: those spawned during this
    // update (emitters, death functions) begin with the next one.
    int remaining = live_count;
    part_t* p = live.next;
    while (remaining-- > 0 && p != &live) {
        part_t* next = p->next;
        p->age += dt;
        if (p->age < 0) {
            p = next;
            continue;
        }
        if (p->age > p->age_to_die) {
            if (p->death_func) p->death_func(p);
            next = p->next;  // the death function may have spawned after it
            KillPart(p);
            p = next;
            continue;
        }
        p->vx += dt * p->mass * force.x;
        p->vy += dt * p->mass * force.y;
        float damp = powf(p->dampening, dt);
        p->vx *= damp;
        p->vy *= damp;
        float dx = dt * p->vx, dy = dt * p->vy;
        p->x += dx;
        p->y += dy;
        if (p->emitter_fx) {
            p->emitter_counter -= p->emitter_type == 0 ? sqrtf(dx * dx + dy * dy) : dt;
            // Once per update at most: an interval of 0 or less cannot
            // make this loop.
            if (p->emitter_counter <= 0) {
                p->emitter_counter += p->emitter_interval;
                vec2_t at = {p->x, p->y};
                pbman.SpawnFX(this, p->emitter_fx, at, atan2f(p->vy, p->vx), 0);
            }
        }
        p = next;
    }
}

// ---------------------------------------------------------------------------
// Drawing

static float LifeFraction(const part_t* p) {
    if (p->age_to_die <= 0) return 1;
    float t = p->age / p->age_to_die;
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

static float CurveAt(const graph_t* g, float t) { return g ? g->Evaluate(t) : 1.0f; }

static float PartAlpha(const part_t* p, float t) { return CurveAt(p->alpha_curve, t) * p->alpha * pman_alpha; }

void PMAN_Draw_Normal(part_t* p) {
    if (!p->bitmap) return;
    float t = LifeFraction(p);
    kd->SetBlend(p->blend);
    kd->SetAlpha(PartAlpha(p, t));
    float angle = p->start_angle + (p->end_angle - p->start_angle) * t;
    float scale = p->scale * pman_scale * CurveAt(p->scale_curve, t);
    kd->DrawBitmapRS(p->bitmap, (p->x - pman_cam.x) * pman_scale, (p->y - pman_cam.y) * pman_scale, angle, scale);
}

void PMAN_Draw_Trail(part_t* p) {
    float t = LifeFraction(p);
    float a = PartAlpha(p, t);
    kd->SetBlend(p->blend);
    vec2_t from = {(p->x - pman_cam.x) * pman_scale, (p->y - pman_cam.y) * pman_scale};
    vec2_t to = {(p->trail_x - pman_cam.x) * pman_scale, (p->trail_y - pman_cam.y) * pman_scale};
    float w = p->trail_width * pman_scale;
    color_t at_pos = {1, 1, 1, a * pman_alpha * p->trail_end_alpha};
    color_t at_trail = {1, 1, 1, a};
    kd->DrawBitmapLine(p->bitmap, &from, &to, w, w, &at_pos, &at_trail);
}

void PMAN_Draw_Text(part_t* p) {
    if (!p->font || !p->text) return;
    float t = LifeFraction(p);
    kd->SetBlend(p->blend);
    kd->SetTextAlign(12);
    kd->SetAlpha(PartAlpha(p, t));
    float angle = p->start_angle + (p->end_angle - p->start_angle) * t;
    float s = p->scale * pman_scale * CurveAt(p->scale_curve, t);
    kd->SetTextTransform(s, s, angle);
    kd->DrawTextf(p->font, (p->x - pman_cam.x) * pman_scale, (p->y - pman_cam.y) * pman_scale, "%s", p->text);
    kd->SetTextTransform(1, 1, 0);
}

void PartMan::DrawParts() {
    pman_cam.x = camera.x * reference_scale;
    pman_cam.y = camera.y * reference_scale;
    pman_scale = draw_scale;
    pman_alpha = draw_alpha;
    kd->SetBlend(0);
    kd->SetColor(1, 1, 1);
    for (part_t* p = live.next; p != &live; p = p->next)
        if (p->age >= 0 && p->draw_func) p->draw_func(p);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    kd->SetTextAlign(0);
    kd->SetAlpha(1);
}
