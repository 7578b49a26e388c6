#include "physics/world-file.h"

#include <math.h>
#include <string.h>

#include <string>

#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "atomic-file.h"
#include "physics/b2-compat.h"
#include "dataman.h"
#include "feature-manager.h"
#include "physics/physics-manager.h"

std::pair<int, int> WorldSpots::Of(vec2_t at) {
    // The clamp also keeps a body the lab moved far out (or a NaN) from an
    // integer conversion that overflows.
    const float x = fmaxf(-WORLD_MAX_COORD, fminf(at.x, WORLD_MAX_COORD));
    const float y = fmaxf(-WORLD_MAX_COORD, fminf(at.y, WORLD_MAX_COORD));
    return {(int)floorf(x), (int)floorf(y)};
}

static float Coord(const DMNode* n, const char* name, float fallback, const char* file) {
    return ParseDataFloat(n ? n->GetValue(name) : nullptr, fallback, -WORLD_MAX_COORD, WORLD_MAX_COORD, name, file);
}

// Bounds that enclose nothing put every actor outside the world: its
// fruit would be deleted and its worm would fall for ever.
static void MendBounds(float* b, const char* file) {
    for (int axis = 0; axis < 2; axis++) {
        float& lo = b[axis];
        float& hi = b[axis + 2];
        if (lo > hi) {
            kd->PrintDebugf(KD_LOG_WARNING, "World '%s': world_bounds %s1 %g > %s2 %g; swapped.\n", file,
                            axis ? "y" : "x", (double)lo, axis ? "y" : "x", (double)hi);
            const float t = lo;
            lo = hi;
            hi = t;
        }
    }
    if (b[0] == b[2] || b[1] == b[3]) {
        kd->PrintDebugf(KD_LOG_WARNING, "World '%s': world_bounds enclose nothing; (-50, -50, 50, 10) used.\n", file);
        const float fallback[4] = {-50, -50, 50, 10};
        memcpy(b, fallback, sizeof fallback);
    }
}

void ReadWorldFile(const DMDatabase* db, const char* file, WorldFileData* out) {
    out->Clear();
    if (!db) return;
    if (DMArray* info = db->GetArray("info")) {
        out->has_info = true;
        if (DMNode* b = info->GetNode("world_bounds")) {
            out->bounds[0] = Coord(b, "x1", -50, file);
            out->bounds[1] = Coord(b, "y1", -50, file);
            out->bounds[2] = Coord(b, "x2", 50, file);
            out->bounds[3] = Coord(b, "y2", 10, file);
            MendBounds(out->bounds, file);
        }
        const char* links = info->GetNodeValue("worm_links", "value");
        if (links) {
            out->has_worm_links = true;
            // A worm needs a link between its ends; the body strip is
            // stretched over the pieces of at least one.
            out->worm_links = ParseDataInt(links, 7, 1, WORLD_MAX_WORM_LINKS, "worm_links", file);
        }
        const char* ammos = info->GetNodeValue("ammos", "value");
        if (ammos) {
            out->has_ammos = true;
            out->ammos.Set(ammos);
        }
        out->ideal_time = ParseDataInt(info->GetNodeValue("ideal_time", "value"), 30, 0, 1000000, "ideal_time", file);
    }
    DMArray* list = db->GetArray("actors");
    const int count = list ? list->GetSize() : 0;
    if (count > WORLD_MAX_ACTORS)
        kd->PrintDebugf(KD_LOG_WARNING,
                        "World '%s' places %d actors, more than the %d a world may have; those past it are left out.\n",
                        file, count, (int)WORLD_MAX_ACTORS);
    WorldSpots spots;
    int piled = 0;
    vec2_t pile = {0, 0};
    for (int i = 0; i < count && i < WORLD_MAX_ACTORS; i++) {
        const DMNode* n = list->GetNode(i);
        const vec2_t at = {Coord(n, "x", 10, file), Coord(n, "y", 10, file)};
        if (!spots.Take(at)) {
            if (!piled++) pile = at;
            continue;
        }
        WorldFileActor* a = new WorldFileActor;
        a->actor.Set(n->GetValue("actor"));
        a->position = at;
        a->move = {Coord(n, "move_x", 10, file), Coord(n, "move_y", 0, file)};
        a->angle_degrees = ParseDataFloat(n->GetValue("angle"), 0, -1e6f, 1e6f, "angle", file);
        a->move_speed = ParseDataFloat(n->GetValue("move_speed"), 1.5f, -1e4f, 1e4f, "move_speed", file);
        a->id = ParseDataInt(n->GetValue("id"), 0, -1000000000, 1000000000, "id", file);
        a->hard_only = nStringsMatch(n->GetValue("hard_only"), "1");
        vec2_t s = a->position, m = a->move;
        vec2_t p1 = {Coord(n, "x2", s.x + 1, file), Coord(n, "y2", s.y + 1, file)};
        vec2_t p2 = {Coord(n, "move_x2", s.x + m.x + 1, file), Coord(n, "move_y2", s.y + m.y + 1, file)};
        vec2_t p3 = {Coord(n, "x3", p1.x + 1, file), Coord(n, "y3", p1.y + 1, file)};
        vec2_t p4 = {Coord(n, "move_x3", p2.x + 1, file), Coord(n, "move_y3", p2.y + 1, file)};
        a->path[0] = p1;
        a->path[1] = p2;
        a->path[2] = p3;
        a->path[3] = p4;
        out->actors.InsertLast(a);
    }
    if (piled)
        kd->PrintDebugf(KD_LOG_WARNING,
                        "World '%s' piles actors on one spot (first at %g, %g): %d past the %d a square metre may "
                        "hold are left out.\n",
                        file, pile.x, pile.y, piled, (int)WORLD_MAX_ACTORS_PER_SPOT);
}

// ---------------------------------------------------------------- load

bool PhysicsSimulation::LoadWorld(const char* file) {
    if (!file) return false;
    kd->Printf("Loading World '%s'..\n", file);
    if (IsStepping()) {
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::LoadWorld: called during a step; ignored.\n");
        return false;
    }
    if (RefuseReservedFile(file, "World", "loaded")) return false;
    // A database that was cached before belongs to whoever opened it (a
    // profile, the purchase record): only one loaded here is released.
    const bool cached = dman.Find(file) != nullptr;
    DMDatabase* db = dman.GetDatabase(file);
    if (!db) return false;
    // Every world holds an "actors" array. A missing or unreadable file
    // (the data manager answers it with an empty database), an actor
    // definition or a table has none: the world in hand stays.
    if (!db->GetArray("actors")) {
        kd->PrintDebugf(KD_LOG_WARNING, "World '%s' not found or not a world; not loaded.\n", file);
        if (!cached) dman.ReleaseDatabase(db);
        return false;
    }
    WorldFileData data;
    ReadWorldFile(db, file, &data);
    if (!cached) dman.ReleaseDatabase(db);

    if (data.has_info) {
        if (data.has_worm_links) worm_links = data.worm_links;
        worm_link_distance = 0.65f;
        InitWorld();
        if (data.has_ammos) ammos = nStringDuplicate(data.ammos.text);
        ideal_time = data.ideal_time;
    } else {
        InitWorld();
        ideal_time = 30;
    }
    if (!ammos && assign_default_ammo) {
        const char* first = dman.GetDatabase("ammos.xml")->GetValue("ammos", 0, "id");
        if (first) ammos = nStringDuplicate(first);
        else
            kd->PrintDebugf(KD_LOG_WARNING, "LoadWorld: 'ammos.xml' has no first ammunition id; the world has none.\n");
    }
    memcpy(world_bounds, data.bounds, sizeof world_bounds);
    SetCameraToFitWorldOnScreen();
    LoadBackgrounds(file);

    const bool hard = feature_man.ProductFeatureExists("HARD_LEVELS");
    for (int i = 0; i < data.actors.count; i++) {
        const WorldFileActor* w = data.actors[i];
        // A node without an actor name gets the plain default definition
        // (no fixture), as a name of a missing file does.
        ActorShape* shape = physics_man.GetShape(w->actor.text ? w->actor.text : "");
        if (w->hard_only && !hard && !editor_mode) continue;
        float angle = w->angle_degrees / 180.0f * 3.1415927f;
        Actor* a = CreateActor(shape, w->position, w->move, angle, w->id, w->move_speed);
        if (!a) continue;
        a->hard_only = w->hard_only ? 1 : 0;
        a->body->SetAwake(true);
        if (a->Has(TAG_BOSS))
            for (int k = 0; k < 4; k++) a->path.InsertLast(w->path[k]);
        if (a->Has(TAG_WORM_HOLE) && !editor_mode) {
            ActorShape* bug = physics_man.GetShape("actors/end-bug.xml");
            float h = bug->bitmap ? (float)bug->bitmap->height : 0.0f;
            vec2_t at = {w->position.x, w->position.y - h / 2 * metres_per_pixel};
            Actor* b = CreateActor(bug, at, w->move, angle, w->id, w->move_speed);
            if (b) b->body->SetAwake(true);
        }
    }
    if (!editor_mode) {
        AddWalls();
        ConnectWorm();
    }
    Update(0);
    return true;
}

// ---------------------------------------------------------------- save

bool PhysicsSimulation::SaveWorld(const char* file) {
    if (!file || RefuseReservedFile(file, "World", "saved")) return false;
    nString path;
    DataSavePath(file, &path);
    kd->Printf("Saving World '%s'..\n", path.text);
    AtomicFile f;
    if (!f.Open(path.text)) return false;
    f.Printf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n\n");
    f.Printf("<root>\n\n");
    f.Printf(" <array id=\"info\">\n");
    f.Printf("  <node id=\"world_bounds\" x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" />\n", (double)world_bounds[0],
             (double)world_bounds[1], (double)world_bounds[2], (double)world_bounds[3]);
    if (background_1 && background_1->name)
        f.Printf("  <node id=\"background\" value=\"%s\" />\n", DMEscapeValue(background_1->name).c_str());
    f.Printf("  <node id=\"worm_links\" value=\"%d\" />\n", worm_links);
    f.Printf("  <node id=\"worm_link_distance\" value=\"%f\" />\n", (double)worm_link_distance);
    if (ammos) f.Printf("  <node id=\"ammos\" value=\"%s\" />\n", DMEscapeValue(ammos).c_str());
    f.Printf("  <node id=\"ideal_time\" value=\"%d\" />\n", ideal_time);
    f.Printf(" </array>\n\n");
    f.Printf(" <array id=\"actors\">\n");
    for (int i = 0; i < actors.count; i++) {
        const Actor* a = actors[i];
        if (a->Has(TAG_END_BUG) || !a->body) continue;
        const std::string name = DMEscapeValue(a->shape ? a->shape->name : nullptr);
        b2Vec2 p = a->body->GetPosition();
        double deg = a->body->GetAngle() * 180.0 / 3.14159265358979;
        if (a->Has(TAG_BOSS)) {
            vec2_t q[4] = {{p.x, p.y}, a->move, {p.x, p.y}, a->move};
            if (a->path.count >= 4)
                for (int k = 0; k < 4; k++) q[k] = a->path[k];
            f.Printf("  <node actor=\"%s\" x=\"%g\" y=\"%g\" move_x=\"%g\" move_y=\"%g\" x2=\"%g\" y2=\"%g\" "
                     "move_x2=\"%g\" move_y2=\"%g\" x3=\"%g\" y3=\"%g\" move_x3=\"%g\" move_y3=\"%g\" angle=\"%g\" "
                     "move_speed=\"%g\" id=\"%d\" hard_only=\"%d\" />\n",
                     name.c_str(), (double)p.x, (double)p.y, (double)a->move.x, (double)a->move.y, (double)q[0].x,
                     (double)q[0].y, (double)q[1].x, (double)q[1].y, (double)q[2].x, (double)q[2].y, (double)q[3].x,
                     (double)q[3].y, deg, (double)a->move_speed, a->worm_index, a->hard_only ? 1 : 0);
        } else {
            f.Printf("  <node actor=\"%s\" x=\"%g\" y=\"%g\" move_x=\"%g\" move_y=\"%g\" angle=\"%g\" move_speed=\"%g\" "
                     "id=\"%d\" hard_only=\"%d\" />\n",
                     name.c_str(), (double)p.x, (double)p.y, (double)a->move.x, (double)a->move.y, deg,
                     (double)a->move_speed, a->worm_index, a->hard_only ? 1 : 0);
        }
    }
    f.Printf(" </array>\n\n");
    f.Printf("</root>\n");
    return f.Commit();
}

// ---------------------------------------------------------------- backgrounds

void PhysicsSimulation::FreeBackgrounds() {
    if (background_1) kd->ReleaseBitmap(background_1);
    if (background_2) kd->ReleaseBitmap(background_2);
    background_1 = background_2 = nullptr;
}

// A background is held only when it loaded with a size; otherwise the
// reference just taken is given back.
static kd_bitmap_t* LoadBackground(const char* name) {
    if (!name || !*name) return nullptr;
    kd_bitmap_t* bm = kd->LoadBitmap(name, 4);
    if (bm && (bm->width < 1 || bm->height < 1)) {
        kd->ReleaseBitmap(bm);
        bm = nullptr;
    }
    return bm;
}

static void TakeNode(const DMNode* n, bool both, kd_bitmap_t** b1, kd_bitmap_t** b2) {
    kd_bitmap_t* n1 = LoadBackground(n->GetValue(both ? "background_1" : "combined"));
    kd_bitmap_t* n2 = both ? LoadBackground(n->GetValue("background_2")) : nullptr;
    if (*b1) kd->ReleaseBitmap(*b1);
    if (*b2) kd->ReleaseBitmap(*b2);
    *b1 = n1;
    *b2 = n2;
}

void PhysicsSimulation::LoadBackgrounds(const char* file) {
    FreeBackgrounds();
    DMArray* worlds = dman.GetDatabase("worlds.xml")->GetArray("worlds");
    if (!worlds || worlds->GetSize() == 0 || !file) return;
    for (int i = 0; i < worlds->GetSize(); i++) {
        const DMNode* n = worlds->GetNode(i);
        if (n->GetId() && *n->GetId() && strstr(file, n->GetId()))
            TakeNode(n, high_details, &background_1, &background_2);
    }
    if (nStringsMatch(file, "worlds/temp.xml")) TakeNode(worlds->GetNode(0), true, &background_1, &background_2);
    if (!background_1) TakeNode(worlds->GetNode(0), high_details, &background_1, &background_2);
}
