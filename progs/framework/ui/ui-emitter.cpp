// The emitter. See ui-emitter.h.
#include "ui/ui-emitter.h"

#include <math.h>

#include "particle-effects.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompEmitter::UICompEmitter() {
    type = UI_EMITTER;
    interactive = false;
}

UICompEmitter::~UICompEmitter() {
    if (effect && OwnerSetLoaded()) pbman.DecreaseAssetReferenceCounts(effect);
}

void UICompEmitter::SetFX(fx_t* fx) {
    if (OwnerSetLoaded()) {
        if (effect) pbman.DecreaseAssetReferenceCounts(effect);
        if (fx) pbman.IncreaseAssetReferenceCounts(fx);
    }
    effect = fx;
    RescaleParticleSystem();
}

void UICompEmitter::RescaleParticleSystem() {
    if (!effect) return;
    long total = 0;
    // The records of one effect follow each other in the effect table.
    const fx_t* r = effect;
    for (int i = 0; i < FX_TABLE_SIZE; i++, r++) {
        float oldest = fmaxf(r->age_to_die.min, r->age_to_die.max);
        float youngest = fminf(r->age.min, r->age.max);
        // Bursts that live at once: one per interval over a particle's life.
        double bursts = 1;
        if (time_interval > 0) {
            double b = trunc(((double)oldest - youngest) / time_interval) + 1;
            bursts = b > 1536 ? 1536 : b < 1 ? 1 : b;
        }
        double count = bursts * ((double)r->num_parts + 1);
        total += count > (double)PMAN_DEFAULT_SIZE ? (long)PMAN_DEFAULT_SIZE : count < 1 ? 1 : (long)count;
        if (!r->continued) break;
    }
    if (total > 16 * PMAN_DEFAULT_SIZE) total = 16 * PMAN_DEFAULT_SIZE;
    if (pool.live_count < pool.pool_size) pool.InitParts((int)total);
}

void UICompEmitter::Simulate(float t) {
    if (!(t > 0)) return;
    if (t > UI_EMITTER_MAX_INITIAL_SIMULATION) t = UI_EMITTER_MAX_INITIAL_SIMULATION;
    // Counted steps, so that 0.12 s is three steps whatever the rounding.
    int steps = (int)ceilf(t / 0.05f - 0.0001f);
    for (int i = 0; i < steps; i++) Update(0.05f);
}

void UICompEmitter::Update(float dt) {
    pool.UpdateParts(dt);
    if (time_interval > 0 && IsActive()) {
        time_accumulator += dt;
        // A long frame catches up a few bursts and drops the rest, rather
        // than bursting on every later frame.
        for (int n = 0; time_accumulator >= time_interval; n++) {
            if (n == 8) {
                time_accumulator = fmodf(time_accumulator, time_interval);
                break;
            }
            time_accumulator -= time_interval;
            if (effect) pbman.SpawnFX(&pool, effect, vec2_t{0, 0}, angle, -time_accumulator);
        }
    }
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
}

void UICompEmitter::Draw() {
    CalculateDynamicScale();
    float s = dynamic_scale;
    vec2_t S = GetStaticPos();
    pool.reference_scale = 1.0f;
    pool.draw_scale = s;
    pool.draw_alpha = GetStaticAlpha();
    // A scale of 0 draws every particle at the origin: nothing to see.
    if (!(s > 0)) return;
    pool.camera = vec2_t{-S.x / s, -S.y / s};
    pool.DrawParts();
}

void UICompEmitter::SpawnAt(const char* fx_name, float x, float y, float a, float delay) {
    fx_t* fx = fx_name ? pbman.GetFX(fx_name) : nullptr;
    if (!fx) return;
    vec2_t S = GetStaticPos();
    float s = dynamic_scale > 0 ? dynamic_scale : 1;
    pbman.SpawnFX(&pool, fx, vec2_t{(x - S.x) / s, (y - S.y) / s}, a, delay);
}

void UICompEmitter::ApplyCacheMode(int mode) {
    if (!effect) return;
    if (mode == UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) pbman.IncreaseAssetReferenceCounts(effect);
    else if (mode == UI_CACHE_IGNORE_LOADING) pbman.DecreaseAssetReferenceCounts(effect);
}

void UICompEmitter::EditUpdate(float) {
    float w = (float)ui_screen.actual_width;
    if (w > 0) time_interval = 2 * kd->GetKeyStatef(KD_KEY_POINTER_X) / w;
}

static UICompEmitter* EM(UIComp* c) { return static_cast<UICompEmitter*>(c); }

const UIKind& UICompEmitter::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("emitter.fx", UI_TEXT, UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                EM(c)->SetFX(pbman.LoadFX(v.text, false, 4));
            })
            .OnGet([](UIComp* c, lua_State* L) {
                fx_t* fx = EM(c)->effect;
                return lua_pushstring(L, fx && fx->name ? fx->name : ""), 1;
            })
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                fx_t* fx = EM(c)->effect;
                if (fx && fx->name && fx != EM(T)->effect) UIAppendTextLine(out, "emitter.fx", fx->name);
            })
            // The pointer alone: references follow the screen's cache passes.
            .OnCopy([](UIComp* to, UIComp* from) { EM(to)->effect = EM(from)->effect; }),
        UIProp("emitter.time_interval", UI_NUMBER, UI_FIELD(UICompEmitter, time_interval),
               UI_READ | UI_EXPORT | UI_INHERIT)
            .Format("\"%g\"")
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                EM(c)->time_interval = (float)v.num[0];
                EM(c)->RescaleParticleSystem();
            }),
        UIProp("emitter.initial_simulation_time", UI_NUMBER, UI_FIELD(UICompEmitter, initial_simulation_time),
               UI_READ | UI_EXPORT | UI_INHERIT)
            .Format("\"%g\"")
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) {
                EM(c)->initial_simulation_time = (float)v.num[0];
                EM(c)->Simulate((float)v.num[0]);
            }),
        // The pool's camera lasts until the next draw, which sets it again.
        UIProp("emitter.cam", UI_NUMBER, UI_FIELD(UICompEmitter, pool.camera), 0),
        UIProp("emitter.cam_x", UI_NUMBER, UI_FIELD(UICompEmitter, pool.camera.x), UI_READ),
        UIProp("emitter.cam_y", UI_NUMBER, UI_FIELD(UICompEmitter, pool.camera.y), UI_READ),
    };
    static_assert(UINamedRows(rows) == UI_EMITTER_NUM_PROPS, "one row per emitter property");
    static_assert(UIPropRowsValid(rows, "emitter."), "emitter property table");
    static constexpr UIKind kind = UIMakeKind(UI_EMITTER, "UICompEmitter", "emitter.", rows, Make);
    return kind;
}
