#include "labs/screen-world-lab.h"

#include <box2d/box2d.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "dataman.h"
#include "framework-kd.h"
#include "manager.h"
#include "physics/world-file.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"

ScreenWorldLab screen_WorldLab;

namespace {

const float kPi = 3.14159265358979f;
const char kTemplateWorld[] = "worlds/template.xml";
const char kPlayWorld[] = "res://data/worlds/temp.xml";
// Shapes a world holds at most once: placing another replaces the first.
const char* const kUniqueShapes[] = {"actors/game-worm-head.xml", "actors/game-worm-tail.xml", "actors/wormhole.xml",
                                     "actors/bug-boss.xml"};
// Filter lists of the file dialogs: zero-ended texts closed by an empty one.
const char kLoadFilters[] = "World definitions\0*.xml\0All\0*.*\0";
const char kSaveFilters[] = "World definitions\0*.xml\0";

bool KeyHeld(int key) { return kd->GetKeyStatei(key) != 0; }

vec2_t BodyPosition(const Actor* a) {
    b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

bool Near(vec2_t a, vec2_t b, float d) { return fabsf(a.x - b.x) <= d && fabsf(a.y - b.y) <= d; }

}  // namespace

ScreenWorldLab::ScreenWorldLab() : Screen("WorldLab") { covers_screen = true; }

bool ScreenWorldLab::PreLoad() {
    LoadUI("ui/labs/world-lab.lua");
    return true;
}

void ScreenWorldLab::Enter() {
    // The UI editor's reload of the layout enters the screen again while it
    // is still shown in the stack; a push has not shown it yet. The level
    // being built stays, and the fresh layout shows it.
    if (level_kept && in_stack && shown) {
        level_kept = false;
        SetMode(mode);
        UICompEditbox* time = GetCompEditbox("Time");
        if (time) time->SetText("%s", kept_time.c_str());
        kd->Printf("World lab: the layout was reloaded; the level being built is kept.\n");
        return;
    }
    level_kept = false;
    world.FreeWorld();
    world.editor_mode = 1;
    shapes.Load();
    running = 0;
    shape_index = 0;
    placement_angle = 0;
    ClearSelection();
    Reset();
    SetShape(0);
    SetMode(LAB_MODE_CREATE);
    status.Clear();
}

void ScreenWorldLab::Leave() {
    ClearSelection();
    // Only the lab's way out outside edit mode (a pop marks it leaving)
    // ends the level here. Any other Leave keeps it for the Enter that
    // tells: the UI editor's reload (edit mode, where the screens stand
    // still, even with the lab on its way out) enters it again while it is
    // shown in the stack; a pop that marks nothing is followed by a push,
    // whose Enter starts afresh. What is typed in "Time", if valid, goes
    // over to the new layout.
    level_kept = !leaving || sman.EditMode();
    if (level_kept) {
        kept_time.Format("%d", TimeFromBox());
        return;
    }
    world.FreeWorld();
}

void ScreenWorldLab::ClearSelection() {
    drag_lag = vec2_t{0, 0};
    selected_actor = selected_mover = path_owner = nullptr;
    path_index = -1;
    selected_corner = 0;
}

void ScreenWorldLab::DestroyActor(Actor* actor) {
    if (!actor) return;
    if (selected_actor == actor) selected_actor = nullptr;
    if (selected_mover == actor) selected_mover = nullptr;
    if (path_owner == actor) path_owner = nullptr, path_index = -1;
    world.DestroyActor(actor, false);
}

// The whole world on the screen, with a margin for the bounds' corners
// and their labels.
void ScreenWorldLab::FitCamera() {
    const float* b = world.world_bounds;
    const float ww = fabsf(b[2] - b[0]), wh = fabsf(b[3] - b[1]);
    world.SetCameraTarget(vec2_t{(b[0] + b[2]) * 0.5f, (b[1] + b[3]) * 0.5f}, false);
    if (ww < 1e-3f || wh < 1e-3f) return;
    const float z =
        fminf(sman.virtual_width / (world.pixels_per_metre * ww), sman.virtual_height / (world.pixels_per_metre * wh));
    if (z > 0 && isfinite(z)) world.SetCameraZoom(z * 0.8f);
}

vec2_t ScreenWorldLab::OneScreen() const {
    return vec2_t{sman.reference_width * world.metres_per_pixel, sman.reference_height * world.metres_per_pixel};
}

void ScreenWorldLab::Reset() {
    ClearSelection();
    if (LoadWorldFile(kTemplateWorld) || world.world) return;
    // Without a template the lab starts from an empty world with a world
    // file's default bounds.
    world.InitWorld();
    const WorldFileData defaults;
    memcpy(world.world_bounds, defaults.bounds, sizeof world.world_bounds);
    FitCamera();
}

// A load that fails leaves the world, its selections and the camera as
// they were (LoadWorld has said why).
bool ScreenWorldLab::LoadWorldFile(const char* file) {
    if (!world.LoadWorld(file)) {
        ReportDataFault("World lab: '%s' was not loaded; the world being built is kept.\n", file);
        return false;
    }
    ClearSelection();
    world.editor_mode = 1;
    world.show_edit_info = mode == LAB_MODE_EDIT;
    FitCamera();
    UICompEditbox* time = GetCompEditbox("Time");
    if (time) time->SetText("%d", world.ideal_time);
    return true;
}

int ScreenWorldLab::TimeFromBox() {
    UICompEditbox* time = GetCompEditbox("Time");
    if (!time) return world.ideal_time;
    world.ideal_time =
        ParseDataInt(time->text, world.ideal_time, 0, WORLD_MAX_IDEAL_TIME, "ideal_time", "World lab: Time");
    time->SetText("%d", world.ideal_time);
    return world.ideal_time;
}

bool ScreenWorldLab::SaveWorldFile(const char* file) {
    if (world.SaveWorld(file)) return true;
    ReportDataFault("World lab: '%s' was not saved; the file on disk is unchanged.\n", file);
    return false;
}

void ScreenWorldLab::SetShape(int index) {
    const int n = shapes.Count();
    if (n == 0) {
        current_shape = nullptr;
        shape_index = 0;
        kd->PrintDebugf(1, "World lab: 'actors.xml' lists no actors; there is nothing to place.\n");
        return;
    }
    index %= n;
    if (index < 0) index = n - 1;
    shape_index = index;
    current_shape = physics_man.GetShape(shapes.File(index));
}

void ScreenWorldLab::SetMode(int m) {
    mode = m;
    world.show_edit_info = m == LAB_MODE_EDIT;
}

void ScreenWorldLab::Update(float dt) {
    KeyboardCamera(dt);
    world.Update(0);
}

// Keys held: I, O, K and L with the arrows move a corner of the bounds (the
// keys lie as the corners do); the arrows alone pan, Page Up and Down zoom.
void ScreenWorldLab::KeyboardCamera(float dt) {
    if (sman.TopScreen() != this || TimeBoxFocused()) return;
    const float dx = (KeyHeld(39) ? dt : 0) - (KeyHeld(37) ? dt : 0);
    const float dy = (KeyHeld(40) ? dt : 0) - (KeyHeld(38) ? dt : 0);
    float* b = world.world_bounds;
    struct Corner {
        int key, xi, yi;
    } corners[] = {{'I', 0, 1}, {'O', 2, 1}, {'K', 0, 3}, {'L', 2, 3}};
    for (const Corner& c : corners) {
        if (!KeyHeld(c.key)) continue;
        b[c.xi] += dx;
        b[c.yi] += dy;
        return;
    }
    vec2_t target = world.GetCameraTarget();
    target.x += 10 * dx / world.zoom;
    target.y += 10 * dy / world.zoom;
    const float dz = (KeyHeld(34) ? 0.5f * dt : 0) - (KeyHeld(33) ? 0.5f * dt : 0);
    if (dz != 0 && world.zoom + dz > 0.01f) world.zoom += dz;
    world.SetCameraTarget(target, false);
}

bool ScreenWorldLab::TimeBoxFocused() {
    UIComp* time = GetComp("Time");
    for (int i = 0; time && i < UI_MAX_CURSORS; i++)
        if (sman.cursor[i].focus == time) return true;
    return false;
}

void ScreenWorldLab::Draw(float dt) {
    kd->SetColor(0, 0, 0);
    kd->DrawRect(0, 0, (float)sman.virtual_width, (float)sman.virtual_height);
    kd->SetColor(1, 1, 1);
    world.Draw();
    const float m = world.metres_per_pixel;
    UIComp* panel = GetComp("panel");
    if (sman.TopScreen() == this) {
        kd->PushTransform(&world.view_transform);
        if (mode == LAB_MODE_CREATE) {
            if (current_shape && current_shape->bitmap && !(panel && panel->IsPointOver(mpos))) {
                vec2_t p = world.TransformScreenPositionToWorld(mpos);
                kd->SetAlpha(0.7f);
                kd->DrawBitmapRS(current_shape->bitmap, p.x, p.y, placement_angle, m);
                kd->SetAlpha(1);
            }
        } else {
            kd->SetColor(1, 0.2f, 0.2f);
            if (selected_actor && selected_actor->body) {
                vec2_t p = BodyPosition(selected_actor);
                kd->DrawRect(p.x - 4 * m, p.y - 4 * m, 8 * m, 8 * m);
            }
            if (selected_mover && selected_mover->body) {
                vec2_t p = BodyPosition(selected_mover);
                kd->DrawRect(p.x + selected_mover->move.x - 4 * m, p.y + selected_mover->move.y - 4 * m, 8 * m, 8 * m);
            }
            kd->SetColor(1, 1, 1);
        }
        kd->PopTransform();
    }
    DrawUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);

    const float* b = world.world_bounds;
    kd->PushTransform(&world.view_transform);
    kd->DrawLine(b[0], b[1], b[2], b[1]);
    kd->DrawLine(b[2], b[1], b[2], b[3]);
    kd->DrawLine(b[2], b[3], b[0], b[3]);
    kd->DrawLine(b[0], b[3], b[0], b[1]);
    kd_font_t* small = kd->GetFont("fonts/small.sft");
    kd->SetTextTransform(3 * m, 3 * m, 0);
    kd->DrawTextf(small, (b[0] + b[2]) / 2, b[1] + 0.5f, "%5.2f", (double)((b[2] - b[0]) / (sman.reference_width * m)));
    kd->DrawTextf(small, b[0] - 2, (b[1] + b[3]) / 2, "%5.2f", (double)((b[3] - b[1]) / (sman.reference_height * m)));
    kd->SetTextTransform(1, 1, 0);
    kd->PopTransform();

    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    kd->SetTextAlign(0);
    status.Draw(small, 20, 0.105f * sman.virtual_height);
}

bool ScreenWorldLab::NameFromDialog(const char* answer, nString* out) {
    if (!answer || !*answer) return false;
    nString name(answer);
    for (char* p = name.text; *p; p++)
        if (*p == '\\') *p = '/';
    if (strstr(name.text, "://")) {
        out->Set(name.text);
        return true;
    }
    const char* engine = kd->CallExtension("ConvertNativeOSPathToStaticPath", name.text);
    if (!engine) {
        kd->PrintDebugf(1, "World lab: '%s' lies outside the user and the bundled data; refused.\n", name.text);
        return false;
    }
    out->Set(engine);
    return true;
}

void ScreenWorldLab::WithXmlExtension(const char* name, nString* out) {
    out->Set(name);
    if (!LabNamesFolder(name) && !HasFileExtension(name, ".xml")) out->Append(".xml");
}

// A refusal (said once, with its reason) and a failure both leave the
// world and the file on disk as they were, and "Last:" says so.
void ScreenWorldLab::Load() {
    const char* answer = kd->CallExtension("OpenFileDialog", kLoadFilters);
    kd->Printf("Selected '%s'\n", answer ? answer : "");
    nString file;
    if (!NameFromDialog(answer, &file)) {
        if (answer && *answer) status.Refused("Load", answer);
        return;
    }
    if (strlen(file.text) > 511) file.text[511] = 0;
    const char* why = LabNamesFolder(file.text) ? "a folder" : ReservedFileReason(file.text);
    if (!RefuseFile(file.text, why, "World", "loaded") && LoadWorldFile(file.text))
        status.Done(file.text);
    else
        status.Refused("Load", file.text);
}

void ScreenWorldLab::Save() {
    const char* answer = kd->CallExtension("SaveFileDialog", kSaveFilters);
    kd->Printf("Selected '%s'\n", answer ? answer : "");
    nString chosen, file;
    if (!NameFromDialog(answer, &chosen)) {
        if (answer && *answer) status.Refused("Save", answer);
        return;
    }
    WithXmlExtension(chosen.text, &file);
    world.ideal_time = TimeFromBox();
    if (!RefuseFile(file.text, LabSaveRefusal(file.text, LAB_FILE_WORLD, shapes), "World", "saved") &&
        SaveWorldFile(file.text))
        status.Done(file.text);
    else
        status.Refused("Save", file.text);
}

int ScreenWorldLab::ProcessUICompClick(UIComp* comp, int) {
    const char* n = comp && comp->name ? comp->name : "";
    sman.ResetNextFrameTimeDelta();
    if (nStringsMatch(n, "Reset")) {
        Reset();
    } else if (nStringsMatch(n, "Play")) {
        if (!SaveWorldFile(kPlayWorld)) return 1;
        if (!game_man.SetActiveGame("DeziDedi") || !game_man.GetActiveGame()) return 1;
        game_man.GetActiveGame()->InitLevel("worlds/temp.xml");
        sman.PushScreen("GameDeziDedi");
    } else if (nStringsMatch(n, "ModeCreate")) {
        SetMode(LAB_MODE_CREATE);
    } else if (nStringsMatch(n, "ModeEdit")) {
        SetMode(LAB_MODE_EDIT);
    } else if (nStringsMatch(n, "SelectObject")) {
        sman.PushScreen("WorldLabObjectSelector");
    } else if (nStringsMatch(n, "WorldParms")) {
        sman.PushScreen("WorldLabParms");
    } else if (nStringsMatch(n, "UpdateStep")) {
        for (int i = 0; i < 30; i++) world.Update(1.0f / 120.0f);
    } else if (nStringsMatch(n, "Load")) {
        Load();
    } else if (nStringsMatch(n, "Save")) {
        Save();
    }
    return 1;
}

void ScreenWorldLab::Place(vec2_t p) {
    if (!current_shape) {
        kd->PrintDebugf(1, "World lab: no shape to place.\n");
        return;
    }
    // A second of a unique shape replaces the first, once it is placed.
    Actor* replaced = nullptr;
    for (const char* unique : kUniqueShapes)
        if (physics_man.GetShape(unique) == current_shape) replaced = world.GetActorByShape(current_shape);
    // What the game would leave out of the saved world is not placed: the
    // loader keeps the first actors of a world, and of each square metre.
    const int others = world.actors.count - (replaced ? 1 : 0);
    if (others >= WORLD_MAX_ACTORS) {
        kd->PrintDebugf(KD_LOG_WARNING, "World lab: the world has %d actors, the most a world may have; none placed.\n",
                        others);
        return;
    }
    if (!SpotHasRoom(p, replaced, "none placed")) return;
    DestroyActor(replaced);
    Actor* a = world.CreateActor(current_shape, p, vec2_t{10, 0}, placement_angle, 0, 1.5f);
    if (!a || !a->Has(TAG_BOSS)) return;
    const vec2_t s = a->start_position, m = a->move;
    a->path.Free();
    a->path.InsertLast(vec2_t{s.x + 1, s.y + 1});
    a->path.InsertLast(vec2_t{s.x + 1 + m.x, s.y + 1 + m.y});
    a->path.InsertLast(vec2_t{s.x + 2, s.y + 2});
    a->path.InsertLast(vec2_t{s.x + 2 + m.x, s.y + 2 + m.y});
}

bool ScreenWorldLab::SpotHasRoom(vec2_t p, const Actor* except, const char* refused) {
    WorldSpots spots;
    for (int i = 0; i < world.actors.count; i++) {
        const Actor* o = world.actors[i];
        // The end bug is the game's own, never saved.
        if (o != except && o->body && !o->Has(TAG_END_BUG)) spots.Take(BodyPosition(o));
    }
    if (spots.Take(p)) return true;
    if (refused) {
        const std::pair<int, int> spot = WorldSpots::Of(p);
        kd->PrintDebugf(KD_LOG_WARNING,
                        "World lab: the square metre at (%d, %d) holds %d actors, the most one may hold; %s.\n",
                        spot.first, spot.second, (int)WORLD_MAX_ACTORS_PER_SPOT, refused);
    }
    return false;
}

void ScreenWorldLab::Pick(vec2_t p) {
    drag_lag = vec2_t{0, 0};
    for (int i = 0; i < world.actors.count; i++) {
        Actor* a = world.actors[i];
        if (!a->Has(TAG_BOSS)) continue;
        for (int k = 0; k < a->path.count; k++)
            if (Near(a->path[k], p, 1.0f)) {
                path_owner = a, path_index = k;
                selected_actor = nullptr;
                return;
            }
    }
    for (int i = 0; i < world.actors.count; i++) {
        Actor* a = world.actors[i];
        if (!a->Has(TAG_MOVE_LIMIT) || !a->body) continue;
        vec2_t b = BodyPosition(a);
        if (Near(vec2_t{b.x + a->move.x, b.y + a->move.y}, p, 1.0f)) {
            selected_mover = a;
            selected_actor = nullptr;
            return;
        }
    }
    const float* w = world.world_bounds;
    const vec2_t corners[4] = {{w[0], w[1]}, {w[2], w[1]}, {w[0], w[3]}, {w[2], w[3]}};
    const int numbers[4] = {1, 3, 2, 4};
    for (int i = 0; i < 4; i++)
        if (Near(corners[i], p, 0.5f)) {
            // The corner alone follows the drag.
            selected_corner = numbers[i];
            selected_actor = nullptr;
            return;
        }
    selected_actor = world.GetActorAt(p);
    if (selected_actor && selected_actor->shape)
        kd->Printf("World lab: selected '%s' at (%g, %g)\n",
                   selected_actor->shape->name ? selected_actor->shape->name : "",
                   (double)selected_actor->start_position.x, (double)selected_actor->start_position.y);
}

// The world stays at least one reference screen wide and high: the
// dragged edge is pushed back.
void ScreenWorldLab::DragCorner(vec2_t to) {
    float* b = world.world_bounds;
    const float min_w = OneScreen().x, min_h = OneScreen().y;
    const bool right = selected_corner == 3 || selected_corner == 4;
    const bool bottom = selected_corner == 2 || selected_corner == 4;
    if (right)
        b[2] = fmaxf(to.x, b[0] + min_w);
    else
        b[0] = fminf(to.x, b[2] - min_w);
    if (bottom)
        b[3] = fmaxf(to.y, b[1] + min_h);
    else
        b[1] = fminf(to.y, b[3] - min_h);
}

void ScreenWorldLab::Drag(vec2_t from, vec2_t to) {
    if (path_owner && path_index >= 0 && path_index < path_owner->path.count) {
        path_owner->path[path_index] = to;
    } else if (selected_actor && selected_actor->body) {
        // The actor goes onto no full square metre: it waits where it is
        // (one line as it starts to) and catches up with the pointer past it.
        b2Body* body = selected_actor->body;
        const b2Vec2 was = body->GetPosition();
        const b2Vec2 p = was + b2Vec2(to.x - from.x + drag_lag.x, to.y - from.y + drag_lag.y);
        const bool waiting = drag_lag.x != 0 || drag_lag.y != 0;
        if (!SpotHasRoom(vec2_t{p.x, p.y}, selected_actor, waiting ? nullptr : "the actor is not moved onto it")) {
            drag_lag = vec2_t{p.x - was.x, p.y - was.y};
            return;
        }
        drag_lag = vec2_t{0, 0};
        body->SetTransform(p, body->GetAngle());
        selected_actor->start_position = vec2_t{p.x, p.y};
        body->SetAwake(true);
    } else if (selected_mover && selected_mover->body) {
        vec2_t b = BodyPosition(selected_mover);
        selected_mover->move = vec2_t{to.x - b.x, to.y - b.y};
    } else if (selected_corner) {
        DragCorner(to);
    }
}

bool ScreenWorldLab::Key(int key) {
    if (TimeBoxFocused()) return false;
    const bool edit = mode == LAB_MODE_EDIT;
    Actor* s = selected_actor;
    switch (key) {
        case 8:
            if (world.actors.count) DestroyActor(world.actors[world.actors.count - 1]);
            break;
        case 46:
            if (edit) DestroyActor(s);
            break;
        case 32: sman.PushScreen("WorldLabObjectSelector"); break;
        case 'A': SetShape(shape_index + 1); break;
        case 'Z': SetShape(shape_index - 1); break;
        case 'E': SetMode(edit ? LAB_MODE_CREATE : LAB_MODE_EDIT); break;
        case 107:
        case 109:
            if (edit && s && s->Has(TAG_MOVE | TAG_HOMING) && !s->Has(TAG_BOSS))
                s->move_speed = fminf(100.0f, fmaxf(0.0f, s->move_speed + (key == 107 ? 0.1f : -0.1f)));
            break;
        case 'X':
            if (edit && s && s->Has(TAG_HAZARD) && !s->Has(TAG_BOSS)) s->hard_only = !s->hard_only;
            break;
        default: return false;
    }
    return true;
}

int ScreenWorldLab::ProcessEvent(kd_event_t* e) {
    if (sman.TopScreen() != this) return 1;
    const vec2_t at = {(float)e->x, (float)e->y};
    UIComp* panel = GetComp("panel");
    switch (e->type) {
        case KD_EVENT_BUTTON_DOWN: {
            if (e->id != 0 || (panel && panel->IsPointOver(at))) break;
            const vec2_t p = world.TransformScreenPositionToWorld(at);
            if (mode == LAB_MODE_CREATE)
                Place(p);
            else
                Pick(p);
            break;
        }
        case KD_EVENT_POINTER_MOVE: {
            if (mode != LAB_MODE_EDIT || !KeyHeld(KD_KEY_MOUSE_BUTTON_0) || e->id != 0) break;
            const vec2_t was = {(float)e->prev_x, (float)e->prev_y};
            Drag(world.TransformScreenPositionToWorld(was), world.TransformScreenPositionToWorld(at));
            break;
        }
        case KD_EVENT_BUTTON_UP:
            drag_lag = vec2_t{0, 0};
            selected_corner = 0;
            path_owner = nullptr, path_index = -1;
            selected_mover = nullptr;
            break;
        case KD_EVENT_WHEEL: {
            const float notches = e->wheel / 120.0f;
            if (mode == LAB_MODE_CREATE)
                placement_angle += notches * (KeyHeld(16) ? kPi / 80 : kPi / 8);
            else if (selected_actor && selected_actor->body)
                selected_actor->body->SetTransform(selected_actor->body->GetPosition(),
                                                   selected_actor->body->GetAngle() + notches * kPi / 8);
            break;
        }
        case KD_EVENT_KEY_DOWN: Key((int)e->id); break;
        default: break;
    }
    return 1;
}
