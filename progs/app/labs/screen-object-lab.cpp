#include "labs/screen-object-lab.h"

#include <math.h>
#include <string.h>

#include "dataman.h"
#include "framework-kd.h"
#include "manager.h"
#include "physics/physics-manager.h"
#include "physics/world-file.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-listbox.h"
#include "ui/ui-slider.h"

ScreenObjectLab screen_ObjectLab;

namespace {

// What the material list shows for a shape that names none: its values
// are its own.
const char kOwnValues[] = "REFERENCE";
const float kDefaultGrid = 64.0f;

UICompListbox* List(Screen* s, const char* name) {
    UIComp* c = s->GetComp(name);
    return c && c->type == UI_LISTBOX ? (UICompListbox*)c : nullptr;
}

UICompSlider* Slider(Screen* s, const char* name) {
    UIComp* c = s->GetComp(name);
    return c && c->type == UI_SLIDER ? (UICompSlider*)c : nullptr;
}

vec2_t Rounded(vec2_t p) { return vec2_t{(float)(int)(p.x + 0.5f), (float)(int)(p.y + 0.5f)}; }

bool Within(vec2_t a, vec2_t b, float r) { return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) <= r * r; }

// A hollow 7 x 7 square whose corner is 4 pixels up and left of the point.
void DrawHandle(vec2_t p) {
    const float x = p.x - 4, y = p.y - 4;
    kd->DrawRect(x + 1, y, 6, 1);
    kd->DrawRect(x, y, 1, 7);
    kd->DrawRect(x + 6, y, 1, 7);
    kd->DrawRect(x + 1, y + 6, 6, 1);
}

// One slider of a physical value: its component, its text, and where the
// value lives; hit points and damage show hundredths on the slider.
struct ValueSlider {
    const char* comp;
    const char* text;
    const char* label;
    float ActorShape::*field;
    float slider_scale;
};
const ValueSlider kSliders[] = {
    {"HitPoints", "TextHitPoints", "Hit Points: %g", &ActorShape::hit_points, 100},
    {"Damage", "TextDamage", "Damage: %g", &ActorShape::damage, 100},
    {"Friction", "TextFriction", "Friction: %g", &ActorShape::friction, 1},
    {"Restitution", "TextRestitution", "Restitution: %g", &ActorShape::restitution, 1},
    {"Density", "TextDensity", "Density: %g", &ActorShape::density, 1},
};

}  // namespace

ScreenObjectLab::ScreenObjectLab() : Screen("ObjectLab") { covers_screen = true; }

bool ScreenObjectLab::PreLoad() {
    LoadUI("ui/labs/object-lab.lua");
    return true;
}

void ScreenObjectLab::RefreshSliders() {
    if (!edited_shape || !GetComp("HitPoints")) return;
    for (const ValueSlider& v : kSliders) {
        const float value = edited_shape->*v.field;
        UICompSlider* s = Slider(this, v.comp);
        // A value past the slider's end (400 hit points) puts the knob at
        // that end; the text shows the value, which stays until moved.
        if (s) s->value = fminf(1.0f, fmaxf(0.0f, value / v.slider_scale));
        sman.SetText(GetComp(v.text), v.label, (double)value);
    }
}

void ScreenObjectLab::SelectShape(const char* file) {
    dragged_point = nullptr;
    selected_file.Set(file);
    edited_shape = file ? physics_man.GetShape(file) : nullptr;
    if (!edited_shape) return;
    const char* material = edited_shape->material ? edited_shape->material : kOwnValues;
    kd->Printf("Selecting line with id %s\n", material);
    UICompListbox* materials = List(this, "Materials");
    for (int i = 0; materials && i < materials->GetNumberOfLines(); i++) {
        const UIListboxLine* line = materials->GetLine(i);
        if (line && nStringsMatch(line->text, material)) {
            materials->selected = i;
            kd->Printf("Selected line %d\n", i);
            break;
        }
    }
    RefreshSliders();
}

void ScreenObjectLab::Enter() {
    dragged_point = nullptr;
    edited_shape = nullptr;
    UICompListbox* objects = List(this, "Objects");
    UICompListbox* materials = List(this, "Materials");
    if (materials) {
        materials->ClearLines();
        materials->selected = 0;
        DMDatabase* db = dman.GetDatabase("materials.xml");
        for (int i = 0; db && i < db->GetNumberOfArrays(); i++) {
            DMArray* a = db->GetArray(i);
            if (a && a->GetId()) materials->AddLine(nullptr, "%s", a->GetId());
        }
        if (db) dman.ReleaseDatabase(db);
    }
    if (objects) {
        objects->ClearLines();
        objects->selected = 0;
    }
    shapes.Load();
    for (int i = 0; i < shapes.Count(); i++) {
        const char* file = shapes.File(i);
        if (!file) continue;
        if (!edited_shape) SelectShape(file);
        if (objects) objects->AddLine(nullptr, "%s", file);
    }
    status.Clear();
}

void ScreenObjectLab::ResetShape() {
    if (!edited_shape) return;
    dragged_point = nullptr;
    delete[] edited_shape->vertices;
    edited_shape->vertices = new vec2_t[SHAPE_MAX_VERTICES];
    edited_shape->vertex_count = 0;
}

bool ScreenObjectLab::SaveShape() {
    if (!edited_shape) return false;
    // A refusal is one line and, in developer mode, a popup naming the
    // file.
    const char* file = edited_shape->name;
    const char* refused = nullptr;
    if (!file) {
        // The cache keeps a shape it could not read under no name.
        file = selected_file.c_str();
        refused = "it could not be read, so there is nothing to write";
    } else if (RefuseFile(file, LabSaveRefusal(file, LAB_FILE_ACTOR, shapes), "Object lab: shape", "saved")) {
        status.Refused("Save", file);
        return false;
    } else if (edited_shape->outline_refused) {
        refused = "its outline was refused when it was read, and saving would lose it";
    }
    if (refused) {
        ReportDataFault("Object lab: '%s' was not saved: %s.\n", file, refused);
        status.Refused("Save", file);
        return false;
    }
    if (edited_shape->material)
        kd->PrintDebugf(
            1, "Object lab: '%s' takes its values from the material '%s'; the sliders' values were not written.\n",
            edited_shape->name, edited_shape->material);
    if (edited_shape->Save(edited_shape->name)) {
        kd->Printf("Object lab: saved '%s'\n", edited_shape->name);
        status.Done(edited_shape->name);
        return true;
    }
    ReportDataFault("Object lab: saving '%s' failed; the file on disk is unchanged.\n", edited_shape->name);
    status.Refused("Save", edited_shape->name);
    return false;
}

int ScreenObjectLab::ProcessUICompClick(UIComp* comp, int) {
    const char* n = comp && comp->name ? comp->name : "";
    for (const ValueSlider& v : kSliders) {
        UICompSlider* s = Slider(this, v.comp);
        if (!nStringsMatch(n, v.comp) || !s || !edited_shape) continue;
        edited_shape->*v.field = s->value * v.slider_scale;
        RefreshSliders();
        return 1;
    }
    if (nStringsMatch(n, "Objects")) {
        UICompListbox* objects = List(this, "Objects");
        const UIListboxLine* line = objects ? objects->GetLine(objects->selected) : nullptr;
        if (line) SelectShape(line->text);
    } else if (nStringsMatch(n, "Reset")) {
        ResetShape();
    } else if (nStringsMatch(n, "Save")) {
        SaveShape();
    }
    return 1;
}

void ScreenObjectLab::GridSize(float* w, float* h) const {
    kd_bitmap_t* bm = edited_shape ? edited_shape->bitmap : nullptr;
    *w = bm && bm->width > 0 ? (float)bm->width : kDefaultGrid;
    *h = bm && bm->height > 0 ? (float)bm->height : kDefaultGrid;
}

vec2_t ScreenObjectLab::ShapePoint(const kd_event_t* e) const {
    const float s = grid_scale > 0 ? grid_scale : 1;
    return vec2_t{((float)e->x - grid_origin.x) / s, ((float)e->y - grid_origin.y) / s};
}

void ScreenObjectLab::Press(vec2_t p) {
    ActorShape* s = edited_shape;
    dragged_point = nullptr;
    if (!s) return;
    const float pick = 5 / (grid_scale > 0 ? grid_scale : 1);
    if (s->kind == SHAPE_CIRCLE) {
        if (Within(s->offset, p, pick)) dragged_point = &s->offset;
        return;
    }
    if (s->kind != SHAPE_POLYGON) return;
    if (!s->vertices) {
        s->vertices = new vec2_t[SHAPE_MAX_VERTICES];
        s->vertex_count = 0;
    }
    for (int i = 0; i < s->vertex_count && !dragged_point; i++)
        if (Within(s->vertices[i], p, pick)) dragged_point = &s->vertices[i];
    if (dragged_point || s->vertex_count >= SHAPE_MAX_VERTICES) return;
    s->vertices[s->vertex_count] = Rounded(p);
    dragged_point = &s->vertices[s->vertex_count++];
}

void ScreenObjectLab::RemoveLastVertex() {
    ActorShape* s = edited_shape;
    if (!s || s->kind != SHAPE_POLYGON || s->vertex_count <= 0) return;
    if (dragged_point == &s->vertices[s->vertex_count - 1]) dragged_point = nullptr;
    s->vertex_count--;
}

int ScreenObjectLab::ProcessEvent(kd_event_t* e) {
    UIComp* area = GetComp("EditArea");
    const vec2_t at = {(float)e->x, (float)e->y};
    const bool inside = area && area->IsPointOver(at);
    const vec2_t p = ShapePoint(e);
    if (e->type == KD_EVENT_BUTTON_DOWN && e->id == 0) {
        if (!inside) return 0;
        Press(p);
    } else if (e->type == KD_EVENT_POINTER_MOVE && inside) {
        if (dragged_point)
            *dragged_point = Rounded(p);
        else if (kd->GetKeyStatei(KD_KEY_MOUSE_BUTTON_0) && edited_shape && edited_shape->kind == SHAPE_CIRCLE)
            edited_shape->radius = (float)(int)sqrtf(p.x * p.x + p.y * p.y);
    } else if (e->type == KD_EVENT_BUTTON_UP && inside) {
        if (dragged_point) *dragged_point = Rounded(p);
        dragged_point = nullptr;
    } else if (e->type == KD_EVENT_KEY_DOWN && e->id == 8) {
        RemoveLastVertex();
    }
    return 1;
}

void ScreenObjectLab::Draw(float) {
    DrawUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    DrawGrid();
    // The file line along the top of the edit area, clear of the lists.
    if (UIComp* area = GetComp("EditArea")) {
        const vec2_t at = area->GetAlignedPos();
        kd->SetColor(1, 1, 1);
        kd->SetTextAlign(0);
        status.Draw(kd->GetFont("fonts/small.sft"), at.x + 8, at.y + 4);
    }
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

void ScreenObjectLab::DrawGrid() {
    UIComp* centre = GetComp("GridCenter");
    UIComp* area = GetComp("EditArea");
    if (!centre || !area || !edited_shape) return;
    ActorShape* s = edited_shape;
    grid_origin = centre->GetStaticPos();
    kd->SetAlpha(trans);
    float bw, bh;
    GridSize(&bw, &bh);
    grid_scale = fminf(area->width / (bw + 5), area->height / (bh + 5));
    if (s->bitmap) {
        kd->SetPixelFilter(0);
        kd->DrawBitmapRS(s->bitmap, grid_origin.x, grid_origin.y, 0, grid_scale);
        if (s->bitmap_fore) kd->DrawBitmapRS(s->bitmap_fore, grid_origin.x, grid_origin.y, 0, grid_scale);
        kd->SetPixelFilter(1);
    }
    // The grid: one line per shape pixel across the picture's area.
    kd->SetColor(0.3f, 0.3f, 0.3f);
    const float x0 = grid_origin.x - bw / 2 * grid_scale, y0 = grid_origin.y - bh / 2 * grid_scale;
    for (int i = 0; i <= (int)bw; i += 4) kd->DrawRect(x0 + i * grid_scale, y0, 1, bh * grid_scale);
    for (int i = 0; i <= (int)bh; i += 4) kd->DrawRect(x0, y0 + i * grid_scale, bw * grid_scale, 1);
    kd->SetColor(1, 1, 1);
    auto screen = [&](vec2_t v) { return vec2_t{grid_origin.x + v.x * grid_scale, grid_origin.y + v.y * grid_scale}; };
    if (s->kind == SHAPE_CIRCLE) {
        const vec2_t c = screen(s->offset);
        const float r = s->radius * grid_scale;
        const int n = (int)(r * 0.5f + 10);
        vec2_t from = {c.x + r, c.y};
        for (int k = 1; k <= n; k++) {
            const float a = 2 * 3.14159265f / n * k;
            const vec2_t to = {c.x + r * cosf(a), c.y + r * sinf(a)};
            kd->DrawLine(from.x, from.y, to.x, to.y);
            from = to;
        }
        DrawHandle(c);
    } else if (s->kind == SHAPE_POLYGON && s->vertices) {
        for (int i = 0; i < s->vertex_count; i++) {
            const vec2_t a = screen(s->vertices[i]), b = screen(s->vertices[(i + 1) % s->vertex_count]);
            kd->DrawLine(a.x, a.y, b.x, b.y);
            const vec2_t e = {b.x - a.x, b.y - a.y};
            const float len = sqrtf(e.x * e.x + e.y * e.y);
            if (len > 0) {
                const vec2_t mid = {(a.x + b.x) / 2, (a.y + b.y) / 2};
                kd->DrawLine(mid.x, mid.y, mid.x + 5 * e.y / len, mid.y - 5 * e.x / len);
            }
            DrawHandle(a);
        }
    }
}
