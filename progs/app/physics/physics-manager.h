// The physics simulation: one Box2D world with everything that lives in
// it (actors, worm parts, backgrounds, particle layers) and the fixed-step
// clock. The game holds one for the level being played; the world editor
// holds another in editor mode.
//
// Box2D aborts when the world is changed while it steps (from a contact
// callback). Such changes are queued with `QueueChange` and carried out
// right after the step; `DestroyActor` queues itself when it is called
// during a step.
#ifndef APP_PHYSICS_SIM_H
#define APP_PHYSICS_SIM_H

#include "kodo.h"
#include "nstring.h"
#include "particles.h"

class b2World;
class b2Body;
class b2Draw;
class b2ContactListener;
struct Actor;
class ActorShape;
class ShapeCache;
class PhysicsSimulation;

// One change of the world put off until the step is over.
class WorldChange {
public:
    virtual ~WorldChange() {}
    virtual void Apply(PhysicsSimulation* sim) = 0;
    // True when the change names this actor; the change is dropped when
    // that actor is destroyed first.
    virtual bool Refers(const Actor*) const { return false; }
};

class PhysicsSimulation {
public:
    PhysicsSimulation();
    ~PhysicsSimulation();
    PhysicsSimulation(const PhysicsSimulation&) = delete;
    PhysicsSimulation& operator=(const PhysicsSimulation&) = delete;

    void InitWorld();
    void FreeWorld();
    void Update(float dt);
    void Draw();
    static void ChangeDetailLevel(bool high) { high_details = high; }

    // World files.
    bool LoadWorld(const char* file);
    bool SaveWorld(const char* file);
    void LoadBackgrounds(const char* file);
    void FreeBackgrounds();

    // Actors. `CreateActor` answers null while the world steps.
    Actor* CreateActor(ActorShape* shape, vec2_t position, vec2_t move, float angle, int index, float move_speed);
    void DestroyActor(Actor* actor, bool with_effects);
    void UpdateActorOrder();
    // Joints by tag, the worm, the walls, damage and explosions
    // (actor.cpp).
    void AddJoints(Actor* actor);
    Actor* CreateWormBody(vec2_t position, int index);
    void ConnectWorm();
    void AddWalls();
    // True when the hit points are now below zero.
    bool DealDamage(Actor* actor, float amount);
    // Carried out after the running step when called during one.
    void SimulateExplosion(vec2_t centre, float radius, float force, Actor* spared);

    // Deferred changes: applied now when the world is idle, else after the
    // running step. The simulation owns the record.
    void QueueChange(WorldChange* change);
    int PendingChanges() const { return pending.count; }
    void ApplyQueuedChanges();
    bool IsStepping() const;

    vec2_t camera_position = {0, 0};
    vec2_t camera_upper_left = {0, 0};
    // Set by their owners (debug drawing, contact rules); not owned.
    b2Draw* debug_draw = nullptr;
    b2ContactListener* contact_listener = nullptr;
    float world_bounds[4] = {0, 0, 0, 0};
    b2World* world = nullptr;
    nArray<Actor*> actors;
    nArray<Actor*> query_results;
    nArray<Actor*> worm_parts;
    int worm_links = 7;
    float worm_link_distance = 0.7f;
    nArray<Actor*> collected_fruit;
    uint8_t editor_mode = 0;
    uint8_t show_edit_info = 0;
    uint8_t assign_default_ammo = 0;
    float zoom = 1.0f;
    float pixels_per_metre = 30.0f;
    float metres_per_pixel = 1.0f / 30.0f;
    nTransform view_transform;
    kd_bitmap_t* background_1 = nullptr;
    kd_bitmap_t* background_2 = nullptr;
    PartMan back_particles, middle_particles, front_particles;
    float step_accumulator = 0;
    char* ammos = nullptr;
    int ideal_time = 30;
    b2Body* ground_body = nullptr;
    // Where world files find their actor definitions.
    ShapeCache* shapes;
    // Steps run by the last Update (for the owner's statistics).
    int last_steps = 0;

    static PhysicsSimulation* active_sim;
    static bool high_details;

    // The fixed step in seconds for the current product features.
    static float StepLength();

private:
    void DrawParallax(kd_bitmap_t* bm, float factor);
    void DestroyNow(Actor* actor, bool with_effects);
    void DropPending();
    float damage_clock = 0;
    nArray<WorldChange*> pending;
};

// The game's shape cache (the physics manager's).
extern ShapeCache shape_cache;

#endif
