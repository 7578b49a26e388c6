// The physics simulation: one Box2D world with everything that lives in
// it (actors, worm parts, backgrounds, particle layers), its contact rules
// and debug overlay, the camera and the fixed-step clock. The game holds
// one for the level being played; the world editor holds another in
// editor mode. Beside it the physics manager: the program-wide cache of
// actor definitions and the start-up of the behaviours.
//
// Box2D aborts when the world is changed while it steps (from a contact
// callback). Such changes are queued with `QueueChange` and carried out
// right after the step; `DestroyActor` queues itself when it is called
// during a step.
#ifndef APP_PHYSICS_SIM_H
#define APP_PHYSICS_SIM_H

#include <vector>

#include "kodo.h"
#include "nstring.h"
#include "particles.h"
#include "physics/actor-contact-listener.h"
#include "physics/actor-shapes.h"
#include "physics/physics-debug-draw.h"

struct Actor;
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

// Told of every actor just before it is freed, while its body still
// exists, so that an owner's own pointers to it (a grab, a joint on its
// body) go with it.
class ActorWatcher {
public:
    virtual ~ActorWatcher() = default;
    virtual void ActorDestroyed(Actor* actor) = 0;
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
    // The one way to change an actor's hit points: the damage pass looks
    // only at actors whose hit points were ever set (or start at zero or
    // below), besides those with a behaviour of their own.
    void SetHitPoints(Actor* actor, float hit_points);
    // Carried out after the running step when called during one.
    void SimulateExplosion(vec2_t centre, float radius, float force, Actor* spared);
    // Effects of the world's particle layers at a world point (metres).
    // The layers keep their particles in world pixels and draw them at
    // `metres_per_pixel` inside the view, so an effect script's sizes,
    // offsets and speeds are pixels, as the art is; the point is converted
    // here. Nothing without an effect.
    void SpawnEffect(PartMan& layer, fx_t* fx, vec2_t at, float angle, float age_offset = 0.0f);
    // One particle showing a bitmap at a world point, as SpawnEffect.
    part_t* SpawnBitmapPart(PartMan& layer, kd_bitmap_t* bitmap, vec2_t at, float life);
    // The worm's two ends; null unless the worm has both (a world without
    // a head or a tail has no worm, and `worm_parts` may then hold one
    // part or none).
    Actor* WormHead() const { return worm_parts.count >= 2 ? worm_parts[0] : nullptr; }
    Actor* WormTail() const { return worm_parts.count >= 2 ? worm_parts[worm_parts.count - 1] : nullptr; }

    // The projectile the world's shooters and mines fire: the actor that
    // "ammos.xml" gives the world's ammunition (the first name in `ammos`).
    // An ammunition that the table does not list, or whose actor has no
    // outline, gives the table's first (the default) with one line; a world
    // without an ammunition takes the default silently. Worked out once per
    // world and ammunition text; null only when nothing usable exists.
    ActorShape* ProjectileShape();

    // Queries. The two by position make this simulation the active one,
    // since the query callback reports to the active simulation. Results
    // are bounding-box overlaps in the order the world reports them.
    Actor* GetActorAt(vec2_t p);
    nArray<Actor*> QueryActorInsideBox(vec2_t centre, float width, float height);
    // The first actor of the shape in drawing order, remembered until the
    // list of actors changes: the game asks every frame.
    Actor* GetActorByShape(const ActorShape* shape) const;
    int GetNumberOfActorsWithShape(const ActorShape* shape) const;
    // Kept as counts per tag (tags are fixed at an actor's creation), so
    // that a level beside thousands of actors asks no scan every frame;
    // a mask of several tags counts each actor once.
    int GetNumberOfActorsWithFlags(uint32_t mask) const;
    bool HasActorWithFlags(uint32_t mask) const;
    // The actors with any tag of the mask, in the order of `actors`,
    // without a scan of the others; valid until the next call or the next
    // actor made or destroyed.
    const std::vector<Actor*>& ActorsWithFlags(uint32_t mask) const;
    // False while any awake body moves faster than 0.35 m/s.
    bool ActorsAtRest() const;
    bool IsOutsideWorld(vec2_t p, float margin) const;

    // Camera and view. The target is the world point at the screen's
    // centre; the view covers the screen manager's virtual screen.
    vec2_t GetCameraTarget() const { return vec2_t{-camera_position.x, -camera_position.y}; }
    vec2_t GetCameraUpperLeft() const { return camera_upper_left; }
    // The target moved so that the view stays inside the world (a world
    // smaller than the view keeps its left and bottom edges in view).
    vec2_t GetCameraLimit(vec2_t target) const;
    void SetCameraTarget(vec2_t target, bool limit);
    // A zoom that is not a positive finite number is refused with a line.
    void SetCameraZoom(float z);
    // The zoom at which the world covers the screen in both directions,
    // centred; an axis of zero size does not count.
    void SetCameraToFitWorldOnScreen();
    vec2_t TransformWorldPositionToScreen(vec2_t p) const;
    vec2_t TransformScreenPositionToWorld(vec2_t p) const;
    // Whether the actor's fixture lies wholly / partly in the view; an
    // actor without a fixture is never in view.
    bool IsInView(const Actor* actor) const;
    bool IsPartlyInView(const Actor* actor) const;
    // Whether a picture drawn at a world point at `scale` metres per pixel
    // may show in the view, with a margin for what swells it (half as big
    // again, and a metre): what lies wholly outside is not drawn.
    bool MayShow(vec2_t centre, const kd_bitmap_t* bm, float scale) const;

    // Deferred changes: applied now when the world is idle, else after the
    // running step. The simulation owns the record.
    void QueueChange(WorldChange* change);
    int PendingChanges() const { return pending.count; }
    void ApplyQueuedChanges();
    bool IsStepping() const;

    vec2_t camera_position = {0, 0};
    vec2_t camera_upper_left = {0, 0};
    // The debug overlay and the contact rules, registered with every world
    // this simulation makes.
    PhysicsDebugDraw debug_draw;
    ActorContactListener contact_listener;
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
    // The owner's contact filter (the game's rules of which pairs collide);
    // not owned. Registered with every world made after it is set; the
    // owner may also set it on the running world.
    b2ContactFilter* contact_filter = nullptr;
    // The owner's watcher of destroyed actors; not owned.
    ActorWatcher* actor_watcher = nullptr;
    // Box2D's contacts (pairs whose boxes overlap, touching or not) past
    // which a step skips the time-of-impact pass. The bundled levels,
    // settled and played through to their win, hold at most 226 (61 of
    // them touching): twice as many leaves them room.
    enum { PHYSICS_MAX_IMPACT_CONTACTS = 512 };
    // Sets the world's time-of-impact pass for its next step by the count
    // of its contacts (with those of fixtures made since the last step,
    // when there are any); true when it runs.
    static bool ChooseImpactPass(b2World* w, bool new_fixtures);
    // The line saying that the pass is off was printed for this world.
    bool impact_pass_off_said = false;
    // Actors with fixtures were made since the last step.
    bool new_fixtures = false;
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
    void ListTags(Actor* actor, bool add);
    void ActorsChanged();
    void Reindex();
    void NotePasses(Actor* actor);
    void SyncPasses();
    int NextWithPass(int from, uint8_t pass) const;
    void CollectDrawn(const float* view);
    float damage_clock = 0;
    nArray<WorldChange*> pending;
    // Per tag bit, the actors with it in the order of `actors`.
    std::vector<Actor*> tagged[32];
    mutable std::vector<Actor*> tag_union;
    // Each actor's `passes`, in the order of `actors`, so that the
    // per-frame passes skip an actor without touching its memory.
    std::vector<uint8_t> actor_passes;
    // The shapes of the actors drawn through the view query, each with the
    // distance (metres) from a body's origin to its fixture: with their
    // pictures' sizes as they are when drawn, the query's margin.
    struct CulledShape {
        const ActorShape* shape;
        float extent;
    };
    std::vector<CulledShape> culled_shapes;
    float QueryMargin() const;
    // During Draw: the indices of the actors to draw, and (in the editor)
    // by index whether each is drawn.
    std::vector<int> drawn;
    std::vector<uint8_t> shown;
    // GetActorByShape's last answers (null ones too), dropped whenever an
    // actor is made, destroyed or moved in the order.
    struct ShapeAnswer {
        const ActorShape* shape;
        Actor* actor;
    };
    mutable nArray<ShapeAnswer> shape_answers;
    // ProjectileShape's answer and the ammunition text it was worked out for.
    ActorShape* projectile_shape = nullptr;
    nString projectile_for;
    bool projectile_known = false;
};

// Reports every fixture a box query finds: the actor of the fixture's body
// goes to the active simulation's `query_results`.
class PhysicsQuery : public b2QueryCallback {
public:
    bool ReportFixture(b2Fixture* fixture) override;
};

// The program-wide cache of actor definitions (the first load of a name
// serves the whole run) and the start-up of the behaviour registry.
class PhysicsManager {
public:
    PhysicsManager() {}
    PhysicsManager(const PhysicsManager&) = delete;
    PhysicsManager& operator=(const PhysicsManager&) = delete;

    // Registers "DEFAULT" first, then the concrete behaviours; called once
    // by the program's start-up, a second call does nothing.
    void Initialize();
    // Frees the cached definitions and the behaviours made by Initialize.
    void Shutdown();
    // Null for a null name; otherwise the cached definition, loaded on
    // first use (a missing file gives a definition without a fixture).
    ActorShape* GetShape(const char* file);
    // The definition of an ammunition kind of "ammos.xml".
    ActorShape* GetAmmoShape(const char* id);

    ShapeCache shapes;
    uint8_t initialized = 0;
};

extern PhysicsManager physics_man;

#endif
