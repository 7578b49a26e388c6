// How touches move the worm. An end sticks to what it touches; the player
// may grab an end only while the other one is stuck. The grabbed end hangs
// on a mouse joint that follows the finger, the worm pulls itself together
// while it is held, and letting go away from the end flings it. A touch
// that grabs nothing drags the camera.
#include <math.h>

#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "manager.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

namespace {

vec2_t BodyPosition(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

float Distance(vec2_t a, vec2_t b) { return sqrtf((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)); }

// How near (screen units) a touch must be to an end to take it: a tap, a
// finger sliding onto it, and the room the camera drag leaves round it.
float EndRadius(const Actor* end, float factor) {
    const float r = end && end->shape ? end->shape->radius : 0.0f;
    return r * 6.0f * factor * sman.scale_cover;
}

bool IsKey(const kd_event_t* e, int type, int key) { return e->type == type && e->id == key; }

}  // namespace

kd_event_t GameDeziDedi::TouchEvent(int type, vec2_t at, vec2_t from) {
    kd_event_t e = {};
    e.type = type;
    e.id = 0;
    e.button = 510;
    e.x = (intptr_t)lrintf(at.x);
    e.y = (intptr_t)lrintf(at.y);
    e.prev_x = (intptr_t)lrintf(from.x);
    e.prev_y = (intptr_t)lrintf(from.y);
    return e;
}

int GameDeziDedi::ProcessEvent(kd_event_t* e) {
    if (!e) return 1;
    const kd_parms_t* parms = Manager::GetParms();
    const bool developer = parms && parms->developer_mode;
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN:
            // A touch skips the goal's intro, and hurries a camera still
            // on its way to the worm.
            if (level.camera_mode != CAMERA_PLAY && level.camera_mode != CAMERA_RETURNING &&
                level.camera_mode != CAMERA_ALL_COLLECTED &&
                (level.camera_mode != 1 || level.camera_mode_time > 0.3f)) {
                level.camera_mode = CAMERA_INTRO_SKIPPED;
                level.camera_mode_time = 1.0f;
            }
            finger_down = true;
            if (!level.camera_arrived) {
                level.camera_hurry = true;
                return 1;
            }
            break;
        case KD_EVENT_KEY_DOWN:
            // The key is a finger at the pointer, for a desk.
            if (e->id == 'X') finger_down = true;
            if (developer && e->id == 'C') WinLevel(true);
            if (developer && e->id == 'S') sim.SaveWorld("worlds/world-state.xml");
            if (developer && e->id == 'L') timeline.RestartEvent();
            break;
        default:
            break;
    }
    if (e->type == KD_EVENT_BUTTON_UP || IsKey(e, KD_EVENT_KEY_UP, 'X')) {
        held_end = nullptr;
        finger_down = false;
    }
    if (level.story_mode != STORY_PROLOGUE && !ProcessEventGameWorm(e)) ProcessEventCamera(e);
    return 1;
}

bool GameDeziDedi::ProcessEventGameWorm(kd_event_t* e) {
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    if (!head || !tail || !head->body || !tail->body || !sim.world) return false;
    const vec2_t p = {(float)e->x, (float)e->y};
    const float dh = Distance(p, sim.TransformWorldPositionToScreen(BodyPosition(head)));
    const float dt = Distance(p, sim.TransformWorldPositionToScreen(BodyPosition(tail)));

    auto grab = [&](Actor* end, Actor* anchor) {
        level.play_started = true;
        CreateMouseJoint(end, anchor, p);
        if (end == head) SetWormFace(0);
        return true;
    };

    if (e->type == KD_EVENT_BUTTON_DOWN) {
        // An end can be taken only while the other one holds on; of two
        // stuck ends, the nearer.
        if (tail->welded && dh < EndRadius(head, 1.25f) && (dh < dt || !head->welded) && !level.ending)
            return grab(head, tail);
        if (head->welded && dt < EndRadius(tail, 1.25f) && (dh > dt || !tail->welded) && !level.ending)
            return grab(tail, head);
        return false;
    }

    if (e->type == KD_EVENT_POINTER_MOVE) {
        mouse_target = sim.TransformScreenPositionToWorld(p);
        if (!finger_down || mouse_joint || camera_drag) return false;
        // A finger sliding onto an end takes it; once the held end has
        // stuck, the same touch may slide onto the other end, not back.
        if (tail->welded && dh < EndRadius(head, 0.5f) && !(dh >= dt && head->welded) &&
            (!held_end || held_end == tail) && !level.ending)
            return grab(head, tail);
        if (head->welded && dt < EndRadius(tail, 0.5f) && !(dh <= dt && tail->welded) &&
            (!held_end || held_end == head) && !level.ending)
            return grab(tail, head);
        return false;
    }

    if ((e->type == KD_EVENT_BUTTON_UP || IsKey(e, KD_EVENT_KEY_UP, 'X')) && mouse_joint) {
        release_requested = true;
        // Let go away from the end: it is flung, not just dropped.
        if (grabbed && grabbed->body && Distance(sim.TransformScreenPositionToWorld(p), BodyPosition(grabbed)) > 1.0f) {
            fling_requested = true;
            return true;
        }
    }
    return false;
}

bool GameDeziDedi::ProcessEventCamera(kd_event_t* e) {
    if (mouse_joint || level.ending) return false;
    const vec2_t p = {(float)e->x, (float)e->y};
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN: {
            Actor* head = sim.WormHead();
            Actor* tail = sim.WormTail();
            if (!head || !tail || !head->body || !tail->body) return false;
            const float dh = Distance(p, sim.TransformWorldPositionToScreen(BodyPosition(head)));
            const float dt = Distance(p, sim.TransformWorldPositionToScreen(BodyPosition(tail)));
            if (dh < EndRadius(head, 1.55f) || dt < EndRadius(tail, 1.55f)) return false;
            drag_current = drag_target = sim.TransformScreenPositionToWorld(p);
            camera_drag = true;
            camera_hold = 1.0f;
            return false;
        }
        case KD_EVENT_POINTER_MOVE: {
            if (!camera_drag) return false;
            const float s = sman.scale_cover > 0 ? sman.scale_cover : 1.0f;
            drag_target.x += (float)(e->x - e->prev_x) * sim.metres_per_pixel / s;
            drag_target.y += (float)(e->y - e->prev_y) * sim.metres_per_pixel / s;
            return true;
        }
        case KD_EVENT_BUTTON_UP:
            // The camera stays where it was dragged for a second.
            if (camera_drag) camera_hold = 1.0f;
            camera_drag = false;
            return false;
        default:
            return false;
    }
}

void GameDeziDedi::CreateMouseJoint(Actor* end, Actor* anchor, vec2_t) {
    if (!end || !anchor || !end->body || !anchor->body || !sim.world || sim.IsStepping()) return;
    Unweld(end);
    if (mouse_joint) DestroyMouseJoint();

    b2MouseJointDef def;
    def.bodyA = anchor->body;
    def.bodyB = end->body;
    def.collideConnected = true;
    def.target = end->body->GetWorldCenter();
    def.maxForce = end->body->GetMass() * sim.world->GetGravity().Length() * 20.0f * 0.7f;
    B2SetMouseSpring(&def, 5.0f, 0.7f);
    mouse_joint = static_cast<b2MouseJoint*>(sim.world->CreateJoint(&def));
    mouse_target = vec2_t{def.target.x, def.target.y};

    end->stick_on_touch = 0;
    grabbed = held_end = end;

    // The worm pulls itself together while it is held.
    for (int i = 1; i < sim.worm_parts.count; i++) {
        Actor* a = sim.worm_parts[i - 1];
        Actor* b = sim.worm_parts[i];
        if (!a->body || !b->body) continue;
        b2DistanceJointDef dj;
        dj.Initialize(a->body, b->body, a->body->GetPosition(), b->body->GetPosition());
        dj.length = (sim.worm_link_distance / 3.0f) * 0.1f;
        B2SetDistanceSpring(&dj, 10.0f, 0.5f);
        dj.collideConnected = true;
        dj.userData.pointer = ID_MOUSE_JOINTS;
        sim.world->CreateJoint(&dj);
    }
    level.drag_time = 0;
}

void GameDeziDedi::DestroyMouseJoint() {
    if (mouse_joint && sim.world && !sim.IsStepping()) {
        sim.world->DestroyJoint(mouse_joint);
        mouse_joint = nullptr;
        for (int i = 0; i < sim.worm_parts.count; i++) {
            b2Body* body = sim.worm_parts[i]->body;
            for (b2JointEdge* e = body ? body->GetJointList() : nullptr; e;) {
                b2Joint* j = e->joint;
                e = e->next;
                if (j->GetUserData().pointer == ID_MOUSE_JOINTS) sim.world->DestroyJoint(j);
            }
        }
    }
    if (grabbed && !grabbed->welded) grabbed->stick_on_touch = 1;
    level.drag_time = -1.0f;
}

void GameDeziDedi::FlingWorm() {
    DestroyMouseJoint();
    held_end = nullptr;
    if (grabbed && !grabbed->welded) grabbed->stick_on_touch = 1;
}

void GameDeziDedi::Unweld(Actor* actor) {
    if (!actor || !actor->welded) return;
    actor->weld_target = nullptr;
    actor->welded = 0;
    if (!actor->body || !sim.world || sim.IsStepping()) return;
    for (b2JointEdge* e = actor->body->GetJointList(); e; e = e->next) {
        if (e->joint->GetUserData().pointer == ID_WELD_JOINTS) {
            sim.world->DestroyJoint(e->joint);
            break;
        }
    }
}
