// The emitter: a particle effect run at the component's place in a pool
// of its own. Every time interval it spawns one burst of its effect;
// scripts can spawn more (SpawnEmitterFX) and empty the pool
// (ResetEmitter). The pool is drawn in the component's coordinates: its
// origin is the static position, its particles scaled by the dynamic
// scale.
#ifndef FRAMEWORK_UI_EMITTER_H
#define FRAMEWORK_UI_EMITTER_H

#include "particles.h"
#include "ui/ui-comps.h"

struct fx_t;

enum { UI_EMITTER_NUM_PROPS = 6 };

// The longest initial simulation run at once, in seconds: a layout value
// must not hold the frame (or the loading of a screen) for long.
#define UI_EMITTER_MAX_INITIAL_SIMULATION 30.0f
// The pool a new emitter starts with.
enum { UI_EMITTER_POOL = 128 };

class UICompEmitter : public UIComp {
public:
    UICompEmitter();
    ~UICompEmitter() override;
    static UIComp* Make() { return new UICompEmitter(); }

    const UIKind& Kind() const override;
    void Update(float dt) override;
    void Draw() override;
    // Takes (2) or releases (3) the effect's bitmaps.
    void ApplyCacheMode(int mode) override;
    void EditUpdate(float dt) override;

    // Swaps the effect, moving the asset references when the screen holds
    // its bitmaps, and resizes the pool.
    virtual void SetFX(fx_t* fx);
    // Makes the pool big enough for the effect at the time interval (the
    // particles alive are dropped when it is not full). Without a time
    // interval (0, the default: no bursts of its own) one burst of every
    // record is allowed for.
    virtual void RescaleParticleSystem();

    // Runs the updates of `t` seconds in steps of 0.05 s (at most
    // UI_EMITTER_MAX_INITIAL_SIMULATION seconds).
    void Simulate(float t);
    // A burst of the named effect at a screen point (turned into the
    // pool's coordinates); the script function SpawnEmitterFX.
    void SpawnAt(const char* fx_name, float x, float y, float angle, float delay);

    fx_t* effect = nullptr;
    PartMan pool{UI_EMITTER_POOL};
    float time_interval = 0;
    float time_accumulator = 0;
    float initial_simulation_time = 0;
};

#endif
