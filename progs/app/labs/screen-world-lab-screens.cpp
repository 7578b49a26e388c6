// The two screens opened over the world lab: the strip of shapes to place
// and the world's parameters.
#include <box2d/box2d.h>
#include <math.h>
#include <string.h>

#include "framework-kd.h"
#include "labs/screen-world-lab.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"
#include "ui/ui-touchfield.h"

ScreenWorldLabObjectSelector screen_WorldLabObjectSelector;
ScreenWorldLabParms screen_WorldLabParms;

namespace {
const float kCell = 64.0f;
// A release this close to its press is a tap: it picks and closes.
const float kTapDistance = 4.0f;
}  // namespace

ScreenWorldLabObjectSelector::ScreenWorldLabObjectSelector() : Screen("WorldLabObjectSelector") {}

bool ScreenWorldLabObjectSelector::PreLoad() {
    enter_speed = leave_speed = 5;
    LoadUI("ui/labs/world-Lab-object-selector.lua");
    return true;
}

void ScreenWorldLabObjectSelector::Enter() { screen_WorldLab.SetMode(LAB_MODE_CREATE); }

// Found by name at each use: the UI editor may delete or reload it.
UICompTouchField* ScreenWorldLabObjectSelector::Field() {
    UIComp* tf = GetComp("TF");
    return tf && tf->type == UI_TOUCHFIELD ? (UICompTouchField*)tf : nullptr;
}

int ScreenWorldLabObjectSelector::CellAt(float x) {
    UICompTouchField* field = Field();
    if (!field) return -1;
    const float x0 = field->GetStaticPos().x - field->GetScrollOffset().x;
    const int n = screen_WorldLab.shapes.Count();
    for (int i = 0; i < n; i++) {
        const float xi = x0 + kCell * i;
        if (x >= xi - kCell / 2 && x < xi + kCell / 2) return i;
    }
    return -1;
}

void ScreenWorldLabObjectSelector::Draw(float) {
    DrawUI();
    LabShapeList& shapes = screen_WorldLab.shapes;
    UICompTouchField* field = Field();
    if (field) {
        field->SetContentWidth(kCell * shapes.Count());
        const vec2_t at = field->GetStaticPos();
        const float scroll = field->GetScrollOffset().x;
        kd->SetColor(0, 0, 0);
        kd->SetAlpha(0.8f * field->alpha);
        kd->DrawRect(0, at.y - field->height / 2, (float)sman.virtual_width, field->height);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(field->alpha * trans);
        UIComp* preview = GetComp("Preview");
        ActorShape* current = screen_WorldLab.current_shape;
        if (preview && current && current->bitmap)
            kd->DrawBitmapRS(current->bitmap, preview->GetStaticPos().x, preview->GetStaticPos().y, 0, 1);
        for (int i = 0; i < shapes.Count(); i++) {
            ActorShape* s = physics_man.GetShape(shapes.File(i));
            const float x = at.x + kCell * i - scroll;
            if (x < -kCell || x > sman.virtual_width + kCell) continue;
            if (s && s->bitmap && s->bitmap->width > 0)
                kd->DrawBitmapRS(s->bitmap, x, at.y, 0, fminf(60.0f / s->bitmap->width, 1.0f) * field->scale);
            if (i != screen_WorldLab.shape_index) continue;
            const float l = x - kCell / 2, t = at.y - kCell / 2;
            kd->DrawRect(l, t, kCell, 1);
            kd->DrawRect(l, t + kCell - 1, kCell, 1);
            kd->DrawRect(l, t, 1, kCell);
            kd->DrawRect(l + kCell - 1, t, 1, kCell);
        }
    }
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

int ScreenWorldLabObjectSelector::ProcessEvent(kd_event_t* e) {
    if (leaving) return 1;
    const vec2_t at = {(float)e->x, (float)e->y};
    auto pick = [&]() {
        int i = CellAt(at.x);
        if (i < 0) return false;
        screen_WorldLab.SetShape(i);
        screen_WorldLab.placement_angle = 0;
        return true;
    };
    if (e->type == KD_EVENT_BUTTON_DOWN && e->id == 0) {
        press = at;
    } else if (e->type == KD_EVENT_POINTER_MOVE && e->id == 0) {
        pick();
    } else if (e->type == KD_EVENT_BUTTON_UP && e->id == 0) {
        if (fabsf(at.x - press.x) <= kTapDistance && fabsf(at.y - press.y) <= kTapDistance && pick())
            sman.PopScreen(this, true);
    }
    return 1;
}

ScreenWorldLabParms::ScreenWorldLabParms() : Screen("WorldLabParms") {}

bool ScreenWorldLabParms::PreLoad() {
    enter_speed = leave_speed = 5;
    LoadUI("ui/labs/world-Lab-parms.lua");
    return true;
}

void ScreenWorldLabParms::Enter() {
    UICompEditbox* ammos = GetCompEditbox("Ammos");
    if (ammos) ammos->SetText("%s", screen_WorldLab.world.ammos ? screen_WorldLab.world.ammos : "");
}

void ScreenWorldLabParms::Leave() {
    UICompEditbox* ammos = GetCompEditbox("Ammos");
    PhysicsSimulation& w = screen_WorldLab.world;
    if (!ammos) return;
    free(w.ammos);
    w.ammos = strlen(ammos->text) >= 2 ? nStringDuplicate(ammos->text) : nullptr;
}

void ScreenWorldLabParms::Draw(float) {
    DrawUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

int ScreenWorldLabParms::ProcessUICompClick(UIComp* comp, int) {
    const char* n = comp && comp->name ? comp->name : "";
    if (nStringsMatch(n, "CalculateBounds"))
        screen_WorldLab.CalculateBounds();
    else if (nStringsMatch(n, "OK"))
        sman.PopScreen(this, true);
    return 1;
}

void ScreenWorldLab::CalculateBounds() {
    b2AABB box;
    box.lowerBound.SetZero();
    box.upperBound.SetZero();
    bool any = false;
    for (b2Body* b = world.world ? world.world->GetBodyList() : nullptr; b; b = b->GetNext()) {
        for (b2Fixture* f = b->GetFixtureList(); f; f = f->GetNext()) {
            for (int c = 0; c < f->GetShape()->GetChildCount(); c++) {
                b2AABB one;
                f->GetShape()->ComputeAABB(&one, b->GetTransform(), c);
                if (any)
                    box.Combine(one);
                else
                    box = one;
                any = true;
            }
        }
    }
    // An empty world has no box: the bounds would shrink to a point and
    // fitting the camera to them would divide by zero.
    if (!any) {
        const char* why = "No bodies in the world; the bounds stay as they were.\n";
        kd->Printf("World lab: %s", why);
        kd->Popupf(0, "%s", why);
        return;
    }
    // A box smaller than a screen grows around its centre, as a dragged
    // corner stops: the played world fills the screen without a zoom that
    // makes its actors huge, and the lab's view keeps the bounds' labels.
    const vec2_t min = OneScreen();
    const b2Vec2 c = box.GetCenter();
    const b2Vec2 half(fmaxf(box.GetExtents().x, min.x / 2), fmaxf(box.GetExtents().y, min.y / 2));
    float* b = world.world_bounds;
    b[0] = c.x - half.x, b[1] = c.y - half.y, b[2] = c.x + half.x, b[3] = c.y + half.y;
    FitCamera();
    kd->Printf("World lab: bounds (%g, %g) to (%g, %g)\n", (double)b[0], (double)b[1], (double)b[2], (double)b[3]);
    kd->Popupf(0, "New bounds calculated.\n");
}
