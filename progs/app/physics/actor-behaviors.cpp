// The behaviour base (the defaults every concrete behaviour inherits) and
// the registry of behaviours by name.
#include "physics/actor-behaviors.h"

#include <math.h>

#include <memory>
#include <vector>

#include "framework-kd.h"
#include "physics/actor-shapes.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"

// ---------------------------------------------------------------- registry

nArray<ActorBehavior*> ActorBehavior::all_abs;

ActorBehavior::ActorBehavior(const char* n) {
    name.Set(n ? n : "");
    all_abs.InsertLast(this);
}

ActorBehavior::~ActorBehavior() { all_abs.Remove(this); }

ActorBehavior* ActorBehavior::GetActorBehavior(const char* n) {
    if (!n) return all_abs.count ? all_abs[0] : nullptr;
    for (int i = 0; i < all_abs.count; i++)
        if (strcmp(all_abs[i]->GetName(), n) == 0) return all_abs[i];
    return nullptr;
}

namespace {
std::vector<std::unique_ptr<ActorBehavior>>& Owned() {
    static std::vector<std::unique_ptr<ActorBehavior>> owned;
    return owned;
}
std::vector<ActorBehaviors::Family>& Families() {
    static std::vector<ActorBehaviors::Family> families;
    return families;
}
// The concrete behaviours exist (a family may still be empty, so no name
// tells).
bool families_made = false;
}  // namespace

void ActorBehaviors::AddFamily(Family family) {
    for (Family f : Families())
        if (f == family) return;
    // A family added after the behaviours were made would be missing
    // until the next start-up.
    KD_ASSERT(!families_made);
    Families().push_back(family);
}

void ActorBehaviors::InitActorBehaviors() {
    if (!ActorBehavior::GetActorBehavior("DEFAULT")) {
        Owned().emplace_back(new ActorBehavior("DEFAULT"));
        Owned().back()->plain = true;
    }
    if (families_made) return;
    families_made = true;
    for (Family make : Families()) make(Owned());
}

void ActorBehaviors::FreeActorBehaviors() {
    // Newest first, so the registry keeps its order while it shrinks.
    while (!Owned().empty()) Owned().pop_back();
    families_made = false;
}

// ---------------------------------------------------------------- drawing

void SelectFrameByDamage(kd_bitmap_t* bm, const Actor* actor) {
    if (!bm || !actor || bm->frame_count <= 0 || !actor->shape) return;
    float full = actor->shape->hit_points;
    float h = full != 0 ? actor->hit_points / full : 0.0f;
    if (!(h >= 0)) h = 0;
    if (h > 1) h = 1;
    kd->SetBitmapFrame(bm, (int)(bm->frame_count * (1.0f - h)));
}

void KD_DrawBitmapMirroredHorRS(kd_bitmap_t* bm, float x, float y, float angle, float scale) {
    if (!bm) return;
    float u = bm->hw.left_u;
    bm->hw.left_u = bm->hw.right_u;
    bm->hw.right_u = u;
    kd->DrawBitmapRS(bm, x, y, angle, scale);
    u = bm->hw.left_u;
    bm->hw.left_u = bm->hw.right_u;
    bm->hw.right_u = u;
}

void ActorBehavior::DrawPicture(kd_bitmap_t* bm, const Actor* actor, float x, float y, float angle, float scale) {
    if (!bm || !actor) return;
    const PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (sim && !sim->MayShow(vec2_t{x, y}, bm, scale)) return;
    SelectFrameByDamage(bm, actor);
    if (actor->mirrored)
        KD_DrawBitmapMirroredHorRS(bm, x, y, angle, scale);
    else
        kd->DrawBitmapRS(bm, x, y, angle, scale);
}

static void DrawActorBitmap(kd_bitmap_t* bm, const Actor* actor, bool with_offsets) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!bm || !actor->body || !sim) return;
    b2Vec2 p = actor->body->GetPosition();
    float angle = actor->body->GetAngle();
    if (with_offsets) {
        p.x += actor->draw_offset.x;
        p.y += actor->draw_offset.y;
        angle += actor->angle_offset;
    }
    ActorBehavior::DrawPicture(bm, actor, p.x, p.y, angle, sim->metres_per_pixel);
}

void ActorBehavior::Draw(Actor* actor) {
    if (actor && actor->shape) DrawActorBitmap(actor->shape->bitmap, actor, true);
}

void ActorBehavior::DrawForeground(Actor* actor) {
    if (actor && actor->shape) DrawActorBitmap(actor->shape->bitmap_fore, actor, false);
}

void ActorBehavior::DrawEditModeData(Actor* actor) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!actor || !sim || !sim->editor_mode) return;
    const float m = sim->metres_per_pixel;
    kd_font_t* font = kd->GetFont("fonts/small.sft");
    const vec2_t s = actor->start_position;
    auto text_begin = [&]() {
        kd->SetTextTransform(m, m, 0);
        kd->SetTextAlign(8);
    };
    auto text_end = []() {
        kd->SetTextTransform(1, 1, 0);
        kd->SetTextAlign(0);
    };
    if (actor->Has(TAG_MOVE_LIMIT)) kd->DrawLine(s.x, s.y, s.x + actor->move.x, s.y + actor->move.y);
    if (actor->Has(TAG_MOVE_LIMIT | TAG_HOMING) && sim->show_edit_info && font) {
        text_begin();
        kd->DrawTextf(font, s.x, s.y - 0.5f, "%g", actor->move_speed);
        text_end();
    }
    if (actor->Has(TAG_BOSS) && font) {
        text_begin();
        kd->DrawTextf(font, s.x, s.y + 1, "%d", 0);
        kd->DrawTextf(font, s.x + actor->move.x, s.y + actor->move.y + 1, "%d", 1);
        const nArray<vec2_t>& path = actor->path;
        if (path.count > 1) {
            for (int i = 0; i + 1 < path.count; i += 2) {
                kd->DrawTextf(font, path[i].x, path[i].y + 1, "%d", i + 2);
                kd->DrawTextf(font, path[i + 1].x, path[i + 1].y + 1, "%d", i + 3);
                kd->DrawLine(path[i].x, path[i].y, path[i + 1].x, path[i + 1].y);
            }
        }
        text_end();
    }
    if (actor->Has(TAG_HAZARD) && actor->hard_only && font) {
        text_begin();
        kd->DrawTextf(font, s.x, s.y + 0.05f, "hard");
        text_end();
    }
}
