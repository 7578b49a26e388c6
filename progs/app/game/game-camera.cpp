// Where the level's camera looks: an intro that shows the goal and comes
// back to the worm, then a camera that follows the worm with a lead in the
// direction it flies, zooms to fit the screen and eases instead of
// jumping. The camera itself (target, zoom, limits) is the simulation's.
#include <math.h>

#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "manager.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "ui/screen-manager.h"

namespace {

// The zoom at which the world is shown at the UI's size.
float BaseZoom() {
    const float zb = fmaxf(sman.scale_width, sman.scale_height);
    return zb > 0 && isfinite(zb) ? zb : 1.0f;
}

vec2_t BodyPosition(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

float Length(vec2_t v) { return sqrtf(v.x * v.x + v.y * v.y); }

// The worm's two ends with bodies, or false (a world without a whole worm
// has nothing to follow).
bool WormEnds(const PhysicsSimulation& sim, Actor** first, Actor** last) {
    if (sim.worm_parts.count < 2) return false;
    *first = sim.worm_parts[0];
    *last = sim.worm_parts[sim.worm_parts.count - 1];
    return (*first)->body && (*last)->body;
}

}  // namespace

void GameDeziDedi::CenterCameraOnWorm(float dt, bool immediate) {
    // Zoom back to the base, faster while hurrying to the worm.
    const float zb = BaseZoom();
    const bool hurry = !level.camera_arrived && level.camera_hurry;
    float zoom = sim.zoom;
    if (immediate || sman.ResizeMode()) {
        zoom = zb;
    } else {
        const float a = hurry ? 5.0f : 2.5f, b = hurry ? 10.0f : 5.0f;
        if (zoom > zb)
            zoom = fmaxf(zoom - (zoom - zb) * dt * a, zb);
        else
            zoom = fminf(zoom + dt / (2.0f * b), zb);
    }
    if (zoom != sim.zoom) sim.SetCameraZoom(zoom);

    // The point between the ends, led the way the worm flies.
    Actor *first, *last;
    if (!WormEnds(sim, &first, &last)) return;
    const vec2_t a = BodyPosition(first), b = BodyPosition(last);
    const vec2_t m = {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f};
    b2Vec2 v(0, 0);
    for (int i = 0; i < sim.worm_parts.count; i++)
        if (sim.worm_parts[i]->body) v += sim.worm_parts[i]->body->GetLinearVelocity();
    follow_offset.x -= follow_offset.x * dt * 0.45f;
    follow_offset.y -= follow_offset.y * dt * 0.45f;
    if (!first->welded || !last->welded) {
        follow_offset.x += v.x * dt * 0.0175f;
        follow_offset.y += v.y * dt * 0.0175f;
    }
    const vec2_t target = sim.GetCameraLimit(vec2_t{m.x + follow_offset.x, m.y + follow_offset.y});

    // At most eight units' worth of speed.
    const vec2_t c = sim.GetCameraTarget();
    vec2_t d = {target.x - c.x, target.y - c.y};
    const float len = Length(d);
    if (len > 8.0f) {
        d.x *= 8.0f / len;
        d.y *= 8.0f / len;
    }
    const float k = hurry ? 5.0f : 2.5f;
    vec2_t next = target;
    if (!immediate && k * dt < Length(d)) next = vec2_t{c.x + k * dt * d.x, c.y + k * dt * d.y};

    // Within a unit of the worm the camera has arrived: the hurry is over.
    if (!level.camera_arrived && len < 1.0f) {
        level.camera_arrived = true;
        level.camera_hurry = false;
    }
    sim.SetCameraTarget(next, true);
}

void GameDeziDedi::CenterCameraOnWormhole(float dt, bool immediate) {
    // The goal (the hole, else the boss) is looked at; on the way back,
    // the point between the worm's ends.
    level.camera_mode_time += dt;
    Actor* goal = sim.GetActorByShape(physics_man.GetShape("actors/wormhole.xml"));
    if (!goal || !goal->body) goal = sim.GetActorByShape(physics_man.GetShape("actors/bug-boss.xml"));
    vec2_t focus = goal && goal->body ? BodyPosition(goal) : vec2_t{0, 0};
    Actor *first, *last;
    const bool returning = level.camera_mode == CAMERA_RETURNING;
    if (returning && WormEnds(sim, &first, &last)) {
        const vec2_t a = BodyPosition(first), b = BodyPosition(last);
        focus = vec2_t{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f};
    }

    // Shown close, then back to the base zoom on the way to the worm.
    const float zb = BaseZoom();
    const float zt = returning ? zb : 1.5f * zb;
    float zoom = sim.zoom;
    if (immediate) {
        zoom = zt;
    } else if (returning) {
        if (zoom < zt) {
            level.camera_mode = CAMERA_PLAY;
        } else {
            const float before = zoom;
            zoom = fmaxf(zoom - (zoom - zt) * 2.0f * dt, zt);
            if (before - zt <= 1.0f) {
                level.camera_mode_time = 0;
                level.camera_mode = CAMERA_PLAY;
            }
        }
    }
    if (zoom != sim.zoom) sim.SetCameraZoom(zoom);

    // The goal is shown for a second, then the camera returns to the worm.
    if ((level.camera_mode == CAMERA_SHOWING_GOAL || level.camera_mode == CAMERA_INTRO_SKIPPED) &&
        level.camera_mode_time > 1.0f) {
        level.camera_mode = CAMERA_RETURNING;
        level.camera_mode_time = 0;
    }

    // Collected fruit fades while the goal is shown.
    focus = sim.GetCameraLimit(focus);
    if (goal) {
        for (Actor* a : sim.ActorsWithFlags(TAG_COLLECTABLE))
            if (a->triggered) a->alpha = fmaxf(a->alpha - 1.5f * dt, 0.0f);
    }

    // The camera glides to the focus, arriving in one step when close.
    const vec2_t c = sim.GetCameraTarget();
    const vec2_t d = {focus.x - c.x, focus.y - c.y};
    const vec2_t next = immediate || Length(d) <= dt ? focus : vec2_t{c.x + dt * d.x, c.y + dt * d.y};
    sim.SetCameraTarget(next, true);
}

void GameDeziDedi::WormholeZoomUpdate(float dt, bool resized) {
    camera_drag = false;
    camera_hold = -1.0f;
    if (!DeveloperCameraKeys(dt)) CenterCameraOnWormhole(dt, resized);
    if (mouse_joint) {
        mouse_joint->SetTarget(b2Vec2(mouse_target.x, mouse_target.y));
        if (grabbed && grabbed->welded) DestroyMouseJoint();
    }
    // Drawn and animated, not advanced.
    sim.Update(0);
}

bool GameDeziDedi::DeveloperCameraKeys(float dt) {
    const kd_parms_t* parms = Manager::GetParms();
    if (!parms || !parms->developer_mode || !sman.EditMode()) return false;
    const float step = 10.0f * dt / sim.zoom;
    vec2_t t = sim.GetCameraTarget();
    if (kd->GetKeyStatei(37)) t.x -= step;
    if (kd->GetKeyStatei(39)) t.x += step;
    if (kd->GetKeyStatei(38)) t.y -= step;
    if (kd->GetKeyStatei(40)) t.y += step;
    sim.SetCameraTarget(t, true);
    float zoom = sim.zoom;
    if (kd->GetKeyStatei(33)) zoom -= 0.5f * dt;
    if (kd->GetKeyStatei(34)) zoom += 0.5f * dt;
    if (zoom != sim.zoom) sim.SetCameraZoom(zoom);
    return true;
}
