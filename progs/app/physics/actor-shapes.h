// Actor definitions ("actors/*.xml"): the look, the one fixture (circle or
// convex polygon), the physical values (directly or through a material of
// "materials.xml"), effects, tags and behaviour. Sizes are in pixels; the
// fixture is scaled to metres when it is made.
//
// Polygons are checked when they are read: Box2D aborts on a polygon of
// fewer than three vertices or of zero area, and collides wrongly with a
// concave one. A polygon that fails is refused with a log line and the
// shape gets no fixture, so a bad file never reaches the physics library.
#ifndef APP_ACTOR_SHAPES_H
#define APP_ACTOR_SHAPES_H

#include "kodo.h"
#include "nstring.h"

class b2Body;
struct Actor;
class ActorBehavior;
struct fx_t;

enum { SHAPE_NONE = 0, SHAPE_CIRCLE = 1, SHAPE_POLYGON = 2 };
enum { BODY_STATIC = 0, BODY_KINEMATIC = 1, BODY_DYNAMIC = 2 };
enum { SHAPE_MAX_VERTICES = 8 };

class ActorShape {
public:
    ActorShape();
    ~ActorShape();
    ActorShape(const ActorShape&) = delete;
    ActorShape& operator=(const ActorShape&) = delete;

    void Load(const char* file);
    // Writes the definition where the game reads it next (see
    // DataSavePath); false when it cannot be written. The old file is kept
    // whole on failure.
    bool Save(const char* file);
    void CreateFixtureForBody(b2Body* body, float scale, Actor* actor);
    // Becomes a copy of `other` with storage of its own (the bitmaps,
    // effects and behaviour are shared, as every shape shares them).
    void CopyFrom(const ActorShape& other);

    char* name = nullptr;
    int kind = SHAPE_NONE;
    char* tags = nullptr;
    char* material = nullptr;
    ActorBehavior* behavior = nullptr;
    int body_type = BODY_DYNAMIC;
    kd_bitmap_t* bitmap = nullptr;
    kd_bitmap_t* bitmap_fore = nullptr;
    float density = 0.3f, friction = 0.83f, restitution = 0.2f;
    float hit_points = 100.0f, damage = 100.0f;
    float linear_damping = 0.0f, angular_damping = 0.01f;
    fx_t* fx_destroyed = nullptr;
    fx_t* fx_hit = nullptr;
    fx_t* fx_damaged = nullptr;
    vec2_t* vertices = nullptr;
    int vertex_count = 0;
    vec2_t offset = {0, 0};
    float radius = 0.0f;
    // The file's circle, polygon or rectangle was refused when read: the
    // shape holds less than the file, and writing it back would lose it.
    bool outline_refused = false;
};

// Checks a polygon as Box2D will see it after scaling: 3 to 8 finite
// vertices, strictly convex, no edge shorter than the library's tolerance
// and a non-zero area. Either winding is accepted; `reversed` tells when
// the vertices run clockwise in Box2D's (y-up) terms, so the fixture is
// made from them in reverse order. On failure `why` holds the reason.
bool ValidatePolygon(const vec2_t* v, int n, float scale, bool* reversed, nString* why);

// A number of a data file: the text's value, or `fallback` (with a log
// line naming `what` and `file`) when it is not a finite number inside
// [lo, hi]. A null text gives the fallback silently.
float ParseDataFloat(const char* text, float fallback, float lo, float hi, const char* what, const char* file);
int ParseDataInt(const char* text, int fallback, int lo, int hi, const char* what, const char* file);

// Where the developer tools write a data file: a plain name ("worlds/x.xml",
// also "data/worlds/x.xml") is the program's data, "res://<file>", which
// the engine's path layer writes into the user tree and reads from there
// first, so the saved file is what the game loads next; nothing lands in
// the bundled tree. A name with a scheme is kept. The folders are made.
void DataSavePath(const char* file, nString* out);

// Shapes by file name, loaded once and shared by every actor made from
// them. The physics manager holds the game's cache (physics_man.shapes).
class ShapeCache {
public:
    ShapeCache() {}
    ~ShapeCache() { Free(); }
    ShapeCache(const ShapeCache&) = delete;
    ShapeCache& operator=(const ShapeCache&) = delete;
    ActorShape* GetShape(const char* file);
    void Free();
    int Count() const { return shapes.pairs.count; }

private:
    nMap<ActorShape*> shapes;
};

#endif
