#include "physics/actor-shapes.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "physics/actor.h"
#include "atomic-file.h"
#include "physics/b2-compat.h"
#include "dataman.h"
#include "particle-effects.h"
#include "physics/physics-manager.h"

// ---------------------------------------------------------------- numbers

static bool ParseNumber(const char* text, double* out) {
    if (!text) return false;
    errno = 0;
    char* end = nullptr;
    double v = strtod(text, &end);
    if (end == text) return false;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') end++;
    if (*end) return false;
    if (!isfinite(v)) return false;
    *out = v;
    return true;
}

float ParseDataFloat(const char* text, float fallback, float lo, float hi, const char* what, const char* file) {
    if (!text) return fallback;
    double v;
    if (!ParseNumber(text, &v) || v < lo || v > hi) {
        kd->PrintDebugf(KD_LOG_WARNING, "%s: value '%s' of '%s' is not a number in %g..%g; using %g.\n",
                        file ? file : "?", text, what, (double)lo, (double)hi, (double)fallback);
        return fallback;
    }
    return (float)v;
}

int ParseDataInt(const char* text, int fallback, int lo, int hi, const char* what, const char* file) {
    if (!text) return fallback;
    double v;
    if (!ParseNumber(text, &v) || v < lo || v > hi || v != floor(v)) {
        kd->PrintDebugf(KD_LOG_WARNING, "%s: value '%s' of '%s' is not a whole number in %d..%d; using %d.\n",
                        file ? file : "?", text, what, lo, hi, fallback);
        return fallback;
    }
    return (int)v;
}

// ---------------------------------------------------------------- polygons

bool ValidatePolygon(const vec2_t* v, int n, float scale, bool* reversed, nString* why) {
    if (reversed) *reversed = false;
    if (n < 3) {
        why->Format("%d vertices, at least 3 are needed", n);
        return false;
    }
    if (n > SHAPE_MAX_VERTICES) {
        why->Format("%d vertices, at most %d are allowed", n, SHAPE_MAX_VERTICES);
        return false;
    }
    if (!isfinite(scale) || scale <= 0) {
        why->Format("scale %g is not positive", (double)scale);
        return false;
    }
    b2Vec2 p[SHAPE_MAX_VERTICES];
    for (int i = 0; i < n; i++) {
        if (!isfinite(v[i].x) || !isfinite(v[i].y)) {
            why->Format("vertex %d is not a finite point", i);
            return false;
        }
        p[i].Set(v[i].x * scale, v[i].y * scale);
    }
    // Box2D merges points closer than half its linear slop; ours must not
    // come that close, or an edge has no direction.
    const float weld = 0.5f * b2_linearSlop;
    for (int i = 0; i < n; i++) {
        if (b2DistanceSquared(p[i], p[(i + 1) % n]) < weld * weld) {
            why->Format("vertices %d and %d coincide", i, (i + 1) % n);
            return false;
        }
    }
    float area = 0;
    for (int i = 0; i < n; i++) area += 0.5f * b2Cross(p[i], p[(i + 1) % n]);
    if (!(fabsf(area) > 2.0f * b2_epsilon)) {
        why->Format("its area is zero");
        return false;
    }
    float s = area > 0 ? 1.0f : -1.0f;
    // Strictly convex and simple: every other vertex lies strictly inside
    // each edge's line. This also refuses collinear neighbours and
    // self-crossing outlines whose turns all go one way.
    for (int i = 0; i < n; i++) {
        b2Vec2 a = p[i], e = p[(i + 1) % n] - p[i];
        for (int j = 0; j < n; j++) {
            if (j == i || j == (i + 1) % n) continue;
            if (!(s * b2Cross(e, p[j] - a) > 0.0f)) {
                why->Format("it is not convex (vertex %d against edge %d)", j, i);
                return false;
            }
        }
    }
    if (reversed) *reversed = s < 0;
    return true;
}

// ---------------------------------------------------------------- shapes

ActorShape::ActorShape() {}

ActorShape::~ActorShape() {
    free(name);
    free(tags);
    free(material);
    delete[] vertices;
}

void ActorShape::CopyFrom(const ActorShape& o) {
    if (&o == this) return;
    free(name);
    free(tags);
    free(material);
    delete[] vertices;
    name = o.name ? nStringDuplicate(o.name) : nullptr;
    tags = o.tags ? nStringDuplicate(o.tags) : nullptr;
    material = o.material ? nStringDuplicate(o.material) : nullptr;
    vertices = nullptr;
    vertex_count = 0;
    if (o.vertices && o.vertex_count > 0) {
        vertices = new vec2_t[o.vertex_count > SHAPE_MAX_VERTICES ? o.vertex_count : SHAPE_MAX_VERTICES];
        memcpy(vertices, o.vertices, sizeof(vec2_t) * o.vertex_count);
        vertex_count = o.vertex_count;
    }
    kind = o.kind;
    outline_refused = o.outline_refused;
    behavior = o.behavior;
    body_type = o.body_type;
    bitmap = o.bitmap;
    bitmap_fore = o.bitmap_fore;
    density = o.density;
    friction = o.friction;
    restitution = o.restitution;
    hit_points = o.hit_points;
    damage = o.damage;
    linear_damping = o.linear_damping;
    angular_damping = o.angular_damping;
    fx_destroyed = o.fx_destroyed;
    fx_hit = o.fx_hit;
    fx_damaged = o.fx_damaged;
    offset = o.offset;
    radius = o.radius;
}

static const char* InfoValue(DMArray* a, const char* id) { return a ? a->GetNodeValue(id, "value") : nullptr; }

// Takes the outline in the file's order, whichever way it winds (the
// fixture turns it round for Box2D), so a save writes what was read. A
// refused outline leaves the shape as it was.
static void SetPolygon(ActorShape* s, const vec2_t* v, int n, const char* file) {
    nString why;
    // Checked at the game's scale; the fixture checks again at its own.
    if (!ValidatePolygon(v, n, 1.0f / 30.0f, nullptr, &why)) {
        kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': polygon refused: %s; the outline is left out.\n", file, why.text);
        s->outline_refused = true;
        return;
    }
    delete[] s->vertices;
    s->vertices = new vec2_t[SHAPE_MAX_VERTICES];
    s->vertex_count = n;
    for (int i = 0; i < n; i++) s->vertices[i] = v[i];
    s->kind = SHAPE_POLYGON;
}

void ActorShape::Load(const char* file) {
    kd->Printf("Loading Shape '%s'..\n", file ? file : "");
    const bool refused = IsPlayerFile(file);
    if (refused) kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s' names a player file; it has no fixture.\n", file);
    // A database that was cached before belongs to whoever opened it (a
    // profile, the purchase record): only one loaded here is released.
    const bool cached = dman.Find(file) != nullptr;
    DMDatabase* db = file && *file && !refused ? dman.GetDatabase(file) : nullptr;
    if (!db || db->GetNumberOfArrays() == 0) {
        // The data manager keeps an unreadable file as an empty database.
        if (file && *file && !refused)
            kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s' not found or empty; it has no fixture.\n", file);
        if (!behavior) behavior = ActorBehavior::GetActorBehavior(nullptr);
        if (db && !cached) dman.ReleaseDatabase(db);
        return;
    }
    free(name);
    name = nStringDuplicate(file);

    DMArray* info = db->GetArray("info");
    if (info) {
        const char* type = InfoValue(info, "type");
        if (nStringsMatch(type, "STATIC")) body_type = BODY_STATIC;
        else if (nStringsMatch(type, "KINEMATIC")) body_type = BODY_KINEMATIC;
        else body_type = BODY_DYNAMIC;

        const char* m = InfoValue(info, "material");
        free(material);
        material = m ? nStringDuplicate(m) : nullptr;
        DMArray* src = info;
        if (material) {
            DMArray* ma = dman.GetDatabase("materials.xml")->GetArray(material);
            if (ma) src = ma;
            else
                kd->PrintDebugf(KD_LOG_WARNING,
                                "Shape '%s': material '%s' not in 'materials.xml'; using its own values.\n", file,
                                material);
        }
        const float big = 1e9f;
        hit_points = ParseDataFloat(InfoValue(src, "hit_points"), 100.0f, -big, big, "hit_points", file);
        damage = ParseDataFloat(InfoValue(src, "damage"), 100.0f, -big, big, "damage", file);
        // Box2D aborts on a negative density or damping.
        density = ParseDataFloat(InfoValue(src, "density"), 0.3f, 0, 1e6f, "density", file);
        friction = ParseDataFloat(InfoValue(src, "friction"), 0.83f, 0, 1e6f, "friction", file);
        angular_damping = ParseDataFloat(InfoValue(src, "angular_damping"), 0.01f, 0, 1e6f, "angular_damping", file);
        linear_damping = ParseDataFloat(InfoValue(src, "linear_damping"), 0.0f, 0, 1e6f, "linear_damping", file);
        restitution = ParseDataFloat(InfoValue(src, "restitution"), 0.2f, 0, 1e6f, "restitution", file);
        const char* fx;
        if ((fx = InfoValue(src, "fx_hit"))) fx_hit = pbman.GetFX(fx);
        if ((fx = InfoValue(src, "fx_destroyed"))) fx_destroyed = pbman.GetFX(fx);
        if ((fx = InfoValue(src, "fx_damaged"))) fx_damaged = pbman.GetFX(fx);

        const char* t = InfoValue(info, "tags");
        free(tags);
        tags = nStringDuplicate(t ? t : "");
        const char* b = InfoValue(info, "behavior");
        if (b) {
            behavior = ActorBehavior::GetActorBehavior(b);
            if (!behavior)
                kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': unknown behavior '%s'; using the default.\n", file, b);
        }
        const char* bm;
        if ((bm = InfoValue(info, "bitmap"))) bitmap = kd->LoadBitmap(bm, 4);
        if ((bm = InfoValue(info, "bitmap_fore"))) bitmap_fore = kd->LoadBitmap(bm, 4);
    }
    if (!behavior) behavior = ActorBehavior::GetActorBehavior(nullptr);

    const float px = 1e6f;  // no actor is a million pixels across
    if (DMArray* c = db->GetArray("circle")) {
        float r = ParseDataFloat(c->GetNodeValue("radius", "value"), 1.0f, -px, px, "radius", file);
        DMNode* o = c->GetNode("offset");
        offset.x = o ? ParseDataFloat(o->GetValue("x"), 0, -px, px, "offset x", file) : 0;
        offset.y = o ? ParseDataFloat(o->GetValue("y"), 0, -px, px, "offset y", file) : 0;
        if (r > 0) {
            radius = r;
            kind = SHAPE_CIRCLE;
        } else {
            kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': circle radius %g refused; the circle is left out.\n", file,
                            (double)r);
            outline_refused = true;
        }
    }
    // A later outline replaces an earlier one (polygon over circle,
    // rectangle over polygon), but only when it is sound: a refused one
    // leaves what was read before it.
    if (DMArray* p = db->GetArray("polygon")) {
        int n = p->GetSize();
        if (n > SHAPE_MAX_VERTICES || n < 3) {
            nString why;
            ValidatePolygon(nullptr, n, 1.0f, nullptr, &why);
            kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': polygon refused: %s; the outline is left out.\n", file,
                            why.text);
            outline_refused = true;
        } else {
            vec2_t v[SHAPE_MAX_VERTICES];
            bool bad = false;
            for (int i = 0; i < n && !bad; i++) {
                DMNode* node = p->GetNode(i);
                const char* x = node->GetValue("x");
                const char* y = node->GetValue("y");
                double dx = 0, dy = 0;
                // A vertex that is not a number cannot be guessed: the
                // whole outline is refused rather than bent.
                if ((x && !ParseNumber(x, &dx)) || (y && !ParseNumber(y, &dy)) || fabs(dx) > px || fabs(dy) > px) {
                    kd->PrintDebugf(
                        KD_LOG_WARNING,
                        "Shape '%s': polygon refused: vertex %d is not a number; the outline is left out.\n", file, i);
                    bad = true;
                    outline_refused = true;
                }
                v[i].x = (float)dx;
                v[i].y = (float)dy;
            }
            if (!bad) SetPolygon(this, v, n, file);
        }
    }
    if (DMArray* r = db->GetArray("rectangle")) {
        float w = ParseDataFloat(r->GetNodeValue("width", "value"), 0, 0, px, "width", file);
        float h = ParseDataFloat(r->GetNodeValue("height", "value"), 0, 0, px, "height", file);
        vec2_t v[4] = {{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}};
        SetPolygon(this, v, 4, file);
    }
    // Another kind of file (a world named as an actor) reads without a
    // fault but gives an actor that touches nothing.
    if (!db->GetArray("circle") && !db->GetArray("polygon") && !db->GetArray("rectangle"))
        kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s' has no circle, polygon or rectangle; it has no fixture.\n", file);
    if (!cached) dman.ReleaseDatabase(db);
}

void ActorShape::CreateFixtureForBody(b2Body* body, float scale, Actor* actor) {
    if (!body) return;
    b2FixtureDef def;
    b2CircleShape circle;
    b2PolygonShape poly;
    if (kind == SHAPE_CIRCLE) {
        float r = radius * scale;
        if (!(r > 0) || !isfinite(r)) {
            kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': circle of radius %g not made.\n", name ? name : "", (double)r);
            return;
        }
        circle.m_radius = r;
        circle.m_p.SetZero();
        def.shape = &circle;
    } else if (kind == SHAPE_POLYGON) {
        int n = vertex_count < SHAPE_MAX_VERTICES ? vertex_count : SHAPE_MAX_VERTICES;
        nString why;
        bool reversed = false;
        if (!vertices || !ValidatePolygon(vertices, n, scale, &reversed, &why)) {
            kd->PrintDebugf(KD_LOG_WARNING, "Shape '%s': polygon not made: %s.\n", name ? name : "",
                            why.text ? why.text : "");
            return;
        }
        // Box2D's outward normals need counter-clockwise vertices (y up);
        // an outline drawn the other way is taken in reverse order.
        B2SetPolygonCount(poly, n);
        for (int i = 0; i < n; i++) {
            const vec2_t& v = vertices[reversed ? n - 1 - i : i];
            poly.m_vertices[i].Set(v.x * scale, v.y * scale);
        }
        b2Vec2 c(0, 0);
        float area = 0;
        for (int i = 0; i < n; i++) {
            b2Vec2 e = poly.m_vertices[(i + 1) % n] - poly.m_vertices[i];
            b2Vec2 normal(e.y, -e.x);
            normal.Normalize();
            poly.m_normals[i] = normal;
            float a = 0.5f * b2Cross(poly.m_vertices[i], poly.m_vertices[(i + 1) % n]);
            area += a;
            c += a * (1.0f / 3.0f) * (poly.m_vertices[i] + poly.m_vertices[(i + 1) % n]);
        }
        poly.m_centroid = (1.0f / area) * c;
        poly.m_radius = b2_polygonRadius;
        def.shape = &poly;
    } else {
        return;
    }
    def.friction = friction;
    def.restitution = restitution;
    def.density = density;
    def.isSensor = actor && actor->Has(TAG_SENSOR);
    def.filter.categoryBits = 1;
    def.filter.maskBits = 0xFFFF;
    def.filter.groupIndex = 0;
    body->CreateFixture(&def);
}

bool ActorShape::Save(const char* file) {
    if (!file) return false;
    nString path;
    DataSavePath(file, &path);
    AtomicFile f;
    if (!f.Open(path.text)) return false;
    f.Printf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n\n");
    f.Printf("<root>\n\n");
    f.Printf(" <array id=\"info\">\n");
    if (bitmap && bitmap->name) f.Printf("  <node id=\"bitmap\" value=\"%s\" />\n", DMEscapeValue(bitmap->name).c_str());
    if (bitmap_fore && bitmap_fore->name)
        f.Printf("  <node id=\"bitmap_fore\" value=\"%s\" />\n", DMEscapeValue(bitmap_fore->name).c_str());
    static const char* const types[3] = {"STATIC", "KINEMATIC", "DYNAMIC"};
    f.Printf("  <node id=\"type\" value=\"%s\" />\n", types[body_type >= 0 && body_type <= 2 ? body_type : 2]);
    if (tags && *tags) f.Printf("  <node id=\"tags\" value=\"%s\" />\n", DMEscapeValue(tags).c_str());
    if (behavior && behavior != ActorBehavior::GetActorBehavior(nullptr))
        f.Printf("  <node id=\"behavior\" value=\"%s\" />\n", DMEscapeValue(behavior->GetName()).c_str());
    if (!material) {
        f.Printf("  <node id=\"density\" value=\"%g\" />\n", (double)density);
        f.Printf("  <node id=\"friction\" value=\"%g\" />\n", (double)friction);
        f.Printf("  <node id=\"angular_damping\" value=\"%g\" />\n", (double)angular_damping);
        f.Printf("  <node id=\"linear_damping\" value=\"%g\" />\n", (double)linear_damping);
        f.Printf("  <node id=\"hit_points\" value=\"%g\" />\n", (double)hit_points);
        f.Printf("  <node id=\"damage\" value=\"%g\" />\n", (double)damage);
        f.Printf("  <node id=\"restitution\" value=\"%g\" />\n", (double)restitution);
        // The effects come from where the values do: written with them.
        const struct {
            const char* id;
            const fx_t* fx;
        } effects[] = {{"fx_hit", fx_hit}, {"fx_destroyed", fx_destroyed}, {"fx_damaged", fx_damaged}};
        for (const auto& e : effects)
            if (e.fx && e.fx->name)
                f.Printf("  <node id=\"%s\" value=\"%s\" />\n", e.id, DMEscapeValue(e.fx->name).c_str());
    } else {
        f.Printf("  <node id=\"material\" value=\"%s\" />\n", DMEscapeValue(material).c_str());
    }
    f.Printf(" </array>\n\n");
    if (kind == SHAPE_CIRCLE) {
        f.Printf(" <array id=\"circle\">\n");
        f.Printf("  <node id=\"radius\" value=\"%g\" />\n", (double)radius);
        f.Printf("  <node id=\"offset\" x=\"%g\" y=\"%g\" />\n", (double)offset.x, (double)offset.y);
        f.Printf(" </array>\n\n");
    } else if (kind == SHAPE_POLYGON) {
        f.Printf(" <array id=\"polygon\">\n");
        for (int i = 0; i < vertex_count; i++)
            f.Printf("  <node x=\"%g\" y=\"%g\" />\n", (double)vertices[i].x, (double)vertices[i].y);
        f.Printf(" </array>\n\n");
    }
    f.Printf("</root>\n");
    return f.Commit();
}

void DataSavePath(const char* file, nString* out) {
    if (!file) file = "";
    if (strstr(file, "://")) {
        out->Set(file);
    } else {
        // The program's data: the path layer writes it to the user tree.
        out->Set("res://");
        out->Append(file);
    }
    char dir[512];
    nStringFormat(dir, sizeof dir, "%s", out->text);
    // Each level in turn: the engine makes one folder at a time.
    char* start = strstr(dir, "://");
    for (char* p = start ? start + 3 : dir; (p = strchr(p, '/')); p++) {
        *p = 0;
        kd->CreateDirectory(dir);
        *p = '/';
    }
}

// ---------------------------------------------------------------- cache

ActorShape* ShapeCache::GetShape(const char* file) {
    const char* key = file ? file : "";
    if (ActorShape** s = shapes.Find(key)) return *s;
    ActorShape* s = new ActorShape;
    s->Load(key);
    shapes.AddPair(key, s);
    return s;
}

void ShapeCache::Free() {
    for (int i = 0; i < shapes.pairs.count; i++) {
        delete shapes.pairs[i].value;
        free(shapes.pairs[i].key);
    }
    shapes.pairs.Free();
}
