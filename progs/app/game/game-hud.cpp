// What the game shows besides the world: the grey behind it, the arrow to
// a goal out of view, "Ready?", the clock text, the lives and their lost
// bursts, the collected items flying to the HUD, the red flash of a hit,
// the level's name, and the prologue told in the story panel.
#include <math.h>

#include "dataman.h"
#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "game/game-lib.h"
#include "game/hint-labels.h"
#include "localization.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "profiles.h"
#include "services/achievements.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

namespace {

Actor* ActorOf(PhysicsSimulation& sim, const char* file) { return sim.GetActorByShape(physics_man.GetShape(file)); }

vec2_t BodyPosition(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

void DrawDefaults() {
    kd->SetBlend(0);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
}

}  // namespace

void GameDeziDedi::UpdateUI(float dt) {
    // The clock shows the level's time, never below zero.
    sman.SetText(Comp("Time"), "%s", loc_man.LocalizeTime((unsigned long)(level.clock_ms > 0 ? level.clock_ms : 0)));

    // The arrow shows while a goal is out of view.
    Actor* hole = ActorOf(sim, "actors/wormhole.xml");
    Actor* boss = ActorOf(sim, "actors/bug-boss.xml");
    const bool goals_seen = (!hole || sim.IsPartlyInView(hole)) && (!boss || sim.IsPartlyInView(boss));
    arrow_alpha = fminf(fmaxf(arrow_alpha + (goals_seen ? -10.0f : 10.0f) * dt, 0.0f), 1.0f);

    // A burst where each lost life's icon was.
    UIComp* clock = Comp("Clock");
    kd_bitmap_t* icon = lib.Bitmap(LIB_WORM_LIFE_COUNTER);
    while (level.lives_shown > level.lives) {
        fx_t* fx = lib.Effect(LIB_FX_LIFE_LOST);
        if (clock && fx) {
            vec2_t at = clock->GetStaticPos();
            at.x += (float)(level.lives_shown - 1) * (icon ? (float)icon->width : 0.0f) * sman.scale_ref;
            pbman.SpawnFX(&particles, fx, at, 0, 0);
        }
        level.lives_shown--;
    }
}

void GameDeziDedi::DrawBeforeUI() {
    // Grey wherever the world's backgrounds do not reach.
    DrawDefaults();
    kd->SetColor(0.3f, 0.3f, 0.3f);
    kd->DrawRect(sman.virtual_x, sman.virtual_y, (float)sman.virtual_width, (float)sman.virtual_height);
    kd->SetColor(1, 1, 1);

    // The world itself, under the arrows, the prompt and the hints.
    sim.Draw();

    const float W = (float)sman.virtual_width, H = (float)sman.virtual_height;
    // Arrows at the screen's edge towards the exits and the boss.
    kd_bitmap_t* arrow = lib.Bitmap(LIB_WORMHOLE_ARROW);
    if (!level.ending && arrow && arrow_alpha > 0 && sim.HasActorWithFlags(TAG_EXIT | TAG_BOSS)) {
        const vec2_t c = sim.GetCameraTarget();
        kd->SetAlpha(arrow_alpha);
        for (const Actor* a : sim.ActorsWithFlags(TAG_EXIT | TAG_BOSS)) {
            // Whatever its `enabled` flag: a shooter, the boss too, drops
            // it when far from the worm, which is when the arrow matters.
            if (!a->body || !B2IsBodyActive(a->body)) continue;
            const vec2_t p = BodyPosition(a);
            const vec2_t dir = {p.x - c.x, -(p.y - c.y)};
            vec2_t u;
            // A goal right at the centre has no direction to point.
            if (!UnitVector(dir, &u)) continue;
            const float angle = atan2f(dir.x, dir.y);
            float t;
            if (fabsf(u.x / W) > fabsf(u.y / H))
                t = (W - 1.3f * (float)arrow->width) * 0.5f / u.x;
            else
                t = (H - 1.1f * (float)arrow->height) * 0.5f / u.y;
            kd->DrawBitmapRS(arrow, fabsf(t) * u.x + W / 2, H / 2 - fabsf(t) * u.y, angle, sman.scale_cover);
        }
        kd->SetAlpha(1);
    }

    // "Ready?" over the worm until the first grab. While the camera shows
    // the goal (the boss, the hole) and travels back, the worm is out of
    // view or at the edge, and a text by it would read as the goal's: it
    // waits until the camera has reached the worm.
    kd_font_t* font = lib.Font(LIB_FONT_MEDIUM);
    kd_bitmap_t* face = lib.Bitmap(LIB_WORM_HEAD_LEVEL_END);
    if (font && level.ready_time > 0.01f && sim.worm_parts.count > 2 && level.story_mode == STORY_NONE &&
        level.camera_arrived) {
        const Actor* a = sim.worm_parts[0];
        const Actor* b = sim.worm_parts[sim.worm_parts.count - 1];
        if (a->body && b->body) {
            const vec2_t pa = BodyPosition(a), pb = BodyPosition(b);
            const float up = face ? (float)face->height * sim.metres_per_pixel : 0.0f;
            const float mid = (pa.x + pb.x) * 0.5f;
            vec2_t at = sim.TransformWorldPositionToScreen(vec2_t{mid, fminf(pa.y, pb.y) - up});
            kd->SetTextTransform(sim.zoom, sim.zoom, 0);
            kd->SetTextAlign(12);
            // A worm at the top of the view (a level's start, the camera
            // on its way from the goal) has the text under it instead of
            // over the edge or under the HUD. A worm out of view (the camera
            // still at the goal) leaves its text out of view too.
            float tw = 0, th = 0;
            kd->GetTextSizef(font, &tw, &th, "%s", loc_man.Localize("Ready?"));
            if (at.y - th * 0.5f < kHudBand)
                at.y = sim.TransformWorldPositionToScreen(vec2_t{mid, fmaxf(pa.y, pb.y) + up}).y;
            if (at.x >= 0 && at.x <= W && at.y >= 0 && at.y <= H) {
                at.x = fminf(fmaxf(at.x, tw * 0.5f), W - tw * 0.5f);
                at.y = fminf(fmaxf(at.y, kHudBand + th * 0.5f), H - th * 0.5f);
            }
            kd->SetAlpha(level.ready_time);
            kd->DrawTextf(font, at.x, at.y, "%s", loc_man.Localize("Ready?"));
            kd->SetAlpha(1);
            kd->SetTextAlign(0);
            kd->SetTextTransform(1, 1, 0);
        }
    }

    // The first level's hints over the world, under the UI.
    DrawTutorials();
    DrawDefaults();
}

void GameDeziDedi::DrawAfterUI() {
    // One icon per life, beside the clock and faded with it.
    UIComp* clock = Comp("Clock");
    kd_bitmap_t* icon = lib.Bitmap(LIB_WORM_LIFE_COUNTER);
    if (level.lives_enabled && clock && icon) {
        const vec2_t at = clock->GetStaticPos();
        kd->SetAlpha(clock->fading_akey);
        for (int i = 0; i < level.lives; i++)
            kd->DrawBitmapRS(icon, at.x + (float)i * (float)icon->width * sman.scale_ref, at.y, 0, sman.scale_ref);
        kd->SetAlpha(1);
    }

    // The fruit counter: a slot per target in a row under "Fruit", filled
    // as each collected item arrives in it, faded with the clock.
    kd_bitmap_t* fruit = lib.Bitmap(LIB_FRUIT);
    kd_bitmap_t* empty = lib.Bitmap(LIB_FRUIT_SILHOUETTE);
    if (level.required_targets > 0 && fruit && empty && clock) {
        int arrived = level.targets_collected;
        for (int i = 0; i < level.fly_ins.count; i++) arrived -= level.fly_ins[i].flying;
        const float W = (float)sman.virtual_width, H = (float)sman.virtual_height;
        const float scale = sman.scale_cover * 0.75f;
        const float w = (float)fruit->width * scale, h = (float)fruit->height * scale;
        const int n = level.required_targets;
        // Its component covers the row, so that notices keep off it.
        if (UIComp* row = Comp("Fruit")) {
            row->width = w * (float)n;
            row->height = h;
        }
        kd->SetAlpha(clock->fading_akey);
        for (int slot = 1; slot <= n; slot++) {
            // Where the worm's collected items fly to.
            const float x = level.hud_fruit_position.x * W - (w * ((float)n * 0.5f - (float)slot) + w * 0.5f);
            const float y = level.hud_fruit_position.y * (H + h * 0.5f);
            kd->DrawBitmapRS(slot <= arrived ? fruit : empty, x, y, 0, scale);
        }
        kd->SetAlpha(1);
    }

    // Collected items on their way to the HUD.
    for (int i = 0; i < level.fly_ins.count; i++) {
        const DeziDediFlyIn& f = level.fly_ins[i];
        if (!f.bitmap) continue;
        if (!f.flying) {
            kd->DrawBitmap(f.bitmap, f.start_x, f.start_y);
        } else if (f.progress >= 0) {
            const float t = f.progress;
            float scale = sim.zoom;
            if (f.shrink) scale /= 1.0f + t / 4.0f;
            kd->SetAlpha(1);
            kd->DrawBitmapRS(f.bitmap, f.start_x + t * (f.target_x - f.start_x), f.start_y + t * (f.target_y - f.start_y),
                             f.angle * (1.0f - t), scale);
        }
        kd->SetAlpha(1);
    }

    // The game's own effects over the UI, from a clean drawing state.
    DrawDefaults();
    particles.DrawParts();
    kd->SetAlpha(1);
    kd->SetBlend(0);

    // A red flash in the first tenth of a second after a hit.
    if (level.invulnerability > 1.9f) {
        kd->SetAlpha(0.2f * sinf(0.62831855f - (2.0f - level.invulnerability) * 6.2831855f));
        kd->SetColor(1, 0, 0);
        kd->DrawRect(sman.virtual_x, sman.virtual_y, (float)sman.virtual_width, (float)sman.virtual_height);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(1);
    }
}

int GameDeziDedi::ProcessUIComp(UIComp* comp, int) {
    if (comp && nStringsMatch(comp->name, "StoryPanel")) {
        ShowNextStoryDialog();
        return 1;
    }
    return 0;
}

// The episode's name and the level's place in it, in the notice bar.
void GameDeziDedi::ShowLevelInfo(int episode, int level_number) {
    char id[32];
    snprintf(id, sizeof id, "episode_%d", episode);
    const char* name = dman.GetValue("story.xml", "story", id, "name");
    char text[256];
    snprintf(text, sizeof text, "%s  -  Level:  %d / %d", name ? name : "", level_number, 10);
    achievement_man.ShowPopupText(text);
}

void GameDeziDedi::ShowNextStoryDialog() {
    DMArray* lines = dman.GetDatabase("dialogue.xml")->GetArray("prologue");
    const int count = lines ? lines->GetSize() : 0;
    if (dialogue_line < count) {
        const char* speaker = lines->GetNodeValue(dialogue_line, "speaker");
        const char* line = lines->GetNodeValue(dialogue_line, "line");
        UIComp* boss = Comp("BossTalk");
        const bool bug = nStringsMatch(speaker, "bug");
        // The bug's bubble closes when the worm answers: a line it said
        // before must not stand beside the worm's later ones.
        sman.SetVisible(boss, bug);
        sman.SetText(bug ? boss : Comp("WormTalk"), "%s", line ? line : "");
        dialogue_line++;
        return;
    }
    // The prologue is over: the level begins, and is never told again.
    level.story_mode = STORY_FIRST_LEVEL_HINTS;
    UIComp* story = Comp("StoryPanel");
    sman.SetActive(story, false);
    sman.SetVisible(story, false);
    for (const char* name : {"Pause", "Clock"}) {
        if (UIComp* c = Comp(name)) {
            c->fading = false;
            c->fading_akey = 1.0f;
        }
    }
    if (prof) prof->AddTag("INFO", "STORY_START_SHOWN");
}

void GameDeziDedi::ResetTutorials() {
    tutorial = Tutorial();
    Actor* tail = sim.WormTail();
    if (tail && tail->body) tutorial.hand_position = sim.TransformWorldPositionToScreen(BodyPosition(tail));
}

// The first level's hints: rings round the ends that may swing, the
// fruit still to take and the hole; warnings on the hazards; and a hand
// that shows the swing from the tail until the first grab.
void GameDeziDedi::UpdateTutorials(float dt) {
    if (level.story_mode != STORY_FIRST_LEVEL_HINTS) return;
    Tutorial& t = tutorial;
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    // An end may be swung while the other one grips.
    if (head && tail) {
        const bool head_free = tail->welded && !(!head->welded && mouse_joint) && !level.ending;
        const bool tail_free = head->welded && !(!tail->welded && mouse_joint) && !level.ending;
        t.head_alpha += (head_free ? 4.0f : -4.0f) * dt;
        t.tail_alpha += (tail_free ? 4.0f : -4.0f) * dt;
    }
    // The fruit rings while fruit is left; the hole's ring until the ending.
    bool fruit_left = false;
    for (const Actor* a : sim.ActorsWithFlags(TAG_COLLECTABLE)) fruit_left = fruit_left || !a->triggered;
    t.collect_alpha += (fruit_left ? 2.0f : -2.0f) * dt;
    const bool hole = ActorOf(sim, "actors/wormhole.xml") != nullptr;
    t.wormhole_alpha += (hole && !level.ending ? 2.0f : -2.0f) * dt;
    // The hand follows the tail until the first grab, then fades. A
    // worm of one part has no tail to show.
    if (tail && tail->body) {
        t.hand_phase += dt;
        if (t.hand_phase > 2.0f) t.hand_phase = -0.5f;
        if (!level.play_started) {
            t.hand_position = sim.TransformWorldPositionToScreen(BodyPosition(tail));
            const float p = t.hand_phase;
            t.hand_alpha = p <= 0 ? fminf(4.0f * p + 1.0f, 1.0f) : p < 1.0f ? 1.0f : fmaxf(1.0f - 4.0f * (p - 1.0f), 0.0f);
        } else {
            t.hand_alpha = fmaxf(t.hand_alpha - dt, 0.0f);
        }
    }
    // Every ring's fade stays between hidden and fully shown.
    for (float* a : {&t.head_alpha, &t.tail_alpha, &t.collect_alpha, &t.wormhole_alpha}) *a = fminf(fmaxf(*a, 0.0f), 1.0f);
}

void GameDeziDedi::DrawTutorials() {
    if (level.story_mode != STORY_FIRST_LEVEL_HINTS) return;
    Tutorial& t = tutorial;
    kd_font_t* font = lib.Font(LIB_FONT_MEDIUM);
    kd_bitmap_t* worm_ring = lib.Bitmap(LIB_TUTORIAL_CIRCLE_WORM);
    kd_bitmap_t* ring = lib.Bitmap(LIB_TUTORIAL_CIRCLE_OTHER);
    const float zoom = sim.zoom;
    const float W = (float)sman.virtual_width, H = (float)sman.virtual_height;
    const float bob = 5.0f * sinf(level.anim_time);
    const float pulse = (1.0f + 0.1f * sinf(level.anim_time)) * zoom;

    // The rings first; their texts are placed together afterwards, each
    // beside its own ring and clear of the others.
    struct Hint {
        const Actor* target;
        const char* text;
        float alpha;
    };
    std::vector<Hint> hints;
    std::vector<HintLabel> labels;
    std::vector<HintObstacle> round;
    auto hint = [&](const Actor* a, kd_bitmap_t* bm, float scale, float alpha, const char* text, int prefer) {
        if (alpha <= 0) return;
        kd->SetAlpha(alpha);
        const vec2_t s = sim.TransformWorldPositionToScreen(BodyPosition(a));
        const float r = bm ? (float)bm->width * 0.5f * scale : 0.0f;
        if (bm) kd->DrawBitmapRS(bm, s.x, s.y, 0, scale);
        round.push_back({s, r});
        if (!font || !text) return;
        float w = 0, h = 0;
        kd->SetTextTransform(zoom, zoom, 0);
        kd->GetTextSizef(font, &w, &h, "%s", loc_man.Localize(text));
        kd->SetTextTransform(1, 1, 0);
        int side = -1;
        for (const auto& before : t.label_sides)
            if (before.first == a) side = before.second;
        hints.push_back({a, text, alpha});
        labels.push_back({s, r, w, h + 10.0f, prefer, side, {}});
    };

    // The hand, sweeping up and to the right from the tail.
    kd_bitmap_t* hand = lib.Bitmap(LIB_TUTORIAL_HAND);
    if (hand && t.hand_alpha > 0 && sim.worm_parts.count >= 2) {
        vec2_t p = t.hand_position;
        if (t.hand_phase >= 0) {
            const float a = t.hand_phase * 1.5707964f;
            p.x += (1.0f - cosf(a)) * W / 4.0f;
            p.y -= sinf(a) * H / 3.5f;
        }
        const float scale = sman.scale_cover * zoom;
        kd->SetAlpha(t.hand_alpha);
        kd->DrawBitmapRS(hand, p.x + (float)hand->width * 0.5f * scale, p.y + (float)hand->height * 0.5f * scale, 0, scale);
    }

    // Fruit, the hole and the hazards: their texts are placed before the
    // worm's, which move with every swing.
    for (const Actor* a : sim.ActorsWithFlags(TAG_COLLECTABLE | TAG_WORM_HOLE | TAG_HAZARD)) {
        if (!a->body) continue;
        if (a->Has(TAG_COLLECTABLE) && !a->triggered) {
            hint(a, ring, zoom, t.collect_alpha, "Collect Me!", HINT_ABOVE);
        } else if (a->Has(TAG_WORM_HOLE)) {
            hint(a, ring, 1.5f * zoom, t.wormhole_alpha, "Come Here!", HINT_BELOW);
        } else if (a->Has(TAG_HAZARD)) {
            const bool moving = a->Has(TAG_MOVE);
            const float alpha = moving ? fminf(fmaxf(a->alpha * 10.0f - 9.0f, 0.0f), 1.0f) : 1.0f;
            if (alpha <= 0) continue;
            hint(a, ring, moving ? 1.2f * zoom : zoom, alpha, nullptr, HINT_ABOVE);
            const vec2_t s = sim.TransformWorldPositionToScreen(BodyPosition(a));
            const float r = ring ? (float)ring->width * 0.5f * zoom : 0.0f;
            kd_bitmap_t* warning = lib.Bitmap(LIB_WARNING_TRIANGLE);
            kd->SetAlpha(alpha);
            if (moving) {
                if (kd_bitmap_t* bubble = lib.Bitmap(LIB_BUBBLE_SPIKE)) kd->DrawBitmapRS(bubble, s.x + r, s.y - r, 0, pulse);
                if (warning) kd->DrawBitmapRS(warning, s.x + r, s.y - r, 0, pulse);
            } else if (warning) {
                kd->DrawBitmapRS(warning, s.x, s.y - r, 0, pulse);
            }
        }
    }

    // The ends.
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    if (head && tail && head->body && tail->body) {
        hint(head, worm_ring, zoom, t.head_alpha, "Swing Me!", HINT_ABOVE);
        hint(tail, worm_ring, zoom, t.tail_alpha, "Swing Me!", HINT_ABOVE);
    }

    // The pegs and the whole worm are kept clear as well as the rings.
    const std::vector<Actor*>& pegs = sim.ActorsWithFlags(TAG_GRABBABLE);
    std::vector<const Actor*> clear(pegs.begin(), pegs.end());
    for (int i = 0; i < sim.worm_parts.count; i++) clear.push_back(sim.worm_parts[i]);
    for (const Actor* a : clear)
        if (a->body && a->shape)
            round.push_back({sim.TransformWorldPositionToScreen(BodyPosition(a)), a->shape->radius * zoom});
    PlaceHintLabels(labels.data(), (int)labels.size(), round.data(), (int)round.size(), W, H, kHudBand);
    t.label_sides.clear();
    kd->SetTextTransform(zoom, zoom, 0);
    kd->SetTextAlign(12);
    for (size_t i = 0; i < labels.size(); i++) {
        t.label_sides.push_back({hints[i].target, labels[i].side});
        if (labels[i].side < 0) continue;
        const vec2_t c = labels[i].Centre();
        kd->SetAlpha(hints[i].alpha);
        // The font's own dark ring keeps the white letters readable over
        // the sky and the clouds.
        kd->DrawTextf(font, c.x, c.y + bob, "%s", loc_man.Localize(hints[i].text));
    }
    kd->SetTextAlign(0);
    kd->SetTextTransform(1, 1, 0);
    DrawDefaults();
}
