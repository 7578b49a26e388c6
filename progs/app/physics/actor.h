// The actor record, its tags and the behaviour base. An actor is one
// thing in the world: a Box2D body with one fixture made from its shape,
// the tag bits the game rules test, a behaviour singleton and the
// per-actor state the behaviours keep (behaviours keep none of their own).
// The simulation makes and owns the records (physics-manager.h); the joints
// by tag, the worm, the walls, damage and explosions live in actor.cpp,
// the behaviour base and its registry in actor-behaviors.cpp.
#ifndef APP_ACTOR_H
#define APP_ACTOR_H

#include <stdint.h>
#include <string.h>

#include "kodo.h"
#include "nstring.h"

class b2Body;
class b2Contact;
class ActorShape;
class ActorBehavior;

// Tag bits, set from the words of a shape's tags text.
enum ActorTag : uint32_t {
    TAG_REQUIRED_TARGET = 1u << 0,
    TAG_BONUS_TARGET = 1u << 1,
    TAG_IMMORTAL = 1u << 2,
    TAG_WORM_BODY = 1u << 3,
    TAG_WORM_HEAD = 1u << 4,
    TAG_WORM_TAIL = 1u << 5,
    TAG_WORM_HOLE = 1u << 6,
    TAG_END_BUG = 1u << 7,
    TAG_SENSOR = 1u << 8,
    TAG_NON_STICK = 1u << 9,
    TAG_ROTATE_FREE = 1u << 10,
    TAG_GRABBABLE = 1u << 11,
    TAG_ROTATE = 1u << 12,
    TAG_MOVE = 1u << 13,
    TAG_MOVE_LIMIT = 1u << 14,
    TAG_HAZARD = 1u << 15,
    TAG_SLIPPERY = 1u << 16,
    TAG_COLLECTABLE = 1u << 17,
    TAG_DESTROYABLE = 1u << 18,
    TAG_SIDE_WALL = 1u << 19,
    TAG_MOON = 1u << 20,
    TAG_EXIT = 1u << 21,
    TAG_DESTROYABLE_BLOCK_LONG = 1u << 22,
    TAG_DESTROYABLE_BLOCK_BIG = 1u << 23,
    TAG_DESTROYABLE_BLOCK_SMALL = 1u << 24,
    TAG_SHOOTING = 1u << 25,
    TAG_MINE = 1u << 26,
    TAG_AMMO = 1u << 27,
    TAG_BOSS = 1u << 28,
    TAG_HOMING = 1u << 29,
    TAG_WORM_PART = TAG_WORM_BODY | TAG_WORM_HEAD | TAG_WORM_TAIL,
};

// What a joint is for, kept in its user data: the helpers that pull the
// worm together while it is held, and the weld of a worm end to what it
// grips (found again by this mark when the end lets go).
enum : uintptr_t { ID_MOUSE_JOINTS = 1, ID_WELD_JOINTS = 2 };

// The tag names in bit order.
extern const char* const actor_tag_names[30];

// Each name counts only as a whole word: it starts the text or follows
// ' ', ',' or ';', and ends the text or is followed by one of them.
uint32_t ParseActorTags(const char* text);

// 1/sqrt(x) by the bit trick and one Newton step: the movement axes of
// the prismatic joints are normalised this way, so a saved world moves
// its platforms along exactly the same axes it always did.
float FastInvSqrt(float x);

// Below this length (metres) a vector has no direction: normalising it
// gives NaN or a huge vector, which Box2D takes in without complaint and
// spreads through the world.
constexpr float kMinDirectionLength = 1e-5f;

// The unit vector along v (by FastInvSqrt), or false with `unit` untouched
// when v is shorter than kMinDirectionLength or not finite.
bool UnitVector(vec2_t v, vec2_t* unit);

// A uniform random number in [a, b], in double precision. The fraction is
// taken against RAND_MAX: the C library here draws far beyond 32767.
float randf(float a, float b);

// Draws the bitmap as KD_DrawBitmapRS does, mirrored left to right (its
// left and right texture coordinates exchanged for this one draw).
void KD_DrawBitmapMirroredHorRS(kd_bitmap_t* bm, float x, float y, float angle, float scale);

// What every frame must do with an actor, whatever the view: run the
// update passes (damage, the behaviour's update), and test it for drawing
// one by one rather than through the world's view query. An unharmed
// plain actor needs neither, so thousands of them cost next to nothing.
enum ActorPass : uint8_t { ACTOR_PASS_UPDATE = 1, ACTOR_PASS_DRAW = 2 };

struct Actor {
    uint32_t flags;
    int worm_index;
    // Written through PhysicsSimulation::SetHitPoints, which puts the
    // actor in the damage pass.
    float hit_points;
    ActorShape* shape;
    b2Body* body;
    ActorBehavior* behavior;
    Actor* weld_target;
    uint8_t welded;
    uint8_t stick_on_touch;
    float angle_offset;
    uint8_t triggered;
    float alpha;
    vec2_t draw_offset;
    vec2_t start_position;
    vec2_t move;
    nArray<vec2_t> path;
    float move_speed;
    vec2_t fling_velocity;
    uint8_t mirrored;
    uint8_t hard_only;
    float state_time, timer, hit_fx_cooldown, action_timer;
    // Each behaviour's own, named by its enum (HazardState, EndBugState);
    // ACTOR_STATE_DYING means the same to all.
    int state;
    uint8_t enabled;
    float hit_cooldown;
    int counter;
    // Kept by the simulation: the index in its `actors`, and ActorPass bits.
    int order;
    uint8_t passes;

    bool Has(uint32_t tag) const { return (flags & tag) != 0; }
    bool IsWormPart() const { return (flags & TAG_WORM_PART) != 0; }
};

// Selects the frame of a bitmap sequence that shows the actor's damage:
// frame 0 at full health, later frames as its hit points go. The engine
// wraps the frame number, so a dead actor shows frame 0 again.
void SelectFrameByDamage(kd_bitmap_t* bitmap, const Actor* actor);

// The state every behaviour that dies means alike: dying, for good. The
// contact rules let the worm pass through a dying hazard as it fades.
enum { ACTOR_STATE_DYING = 3 };

// A named singleton that drives actors; keeps no per-actor state. The
// base operations are the defaults; concrete behaviours replace them.
class ActorBehavior {
public:
    explicit ActorBehavior(const char* name);
    virtual ~ActorBehavior();
    ActorBehavior(const ActorBehavior&) = delete;
    ActorBehavior& operator=(const ActorBehavior&) = delete;

    virtual void Init(Actor*) {}
    virtual void Draw(Actor* actor);
    virtual void DrawForeground(Actor* actor);
    virtual void Update(Actor*, float) {}
    virtual bool OnContact(Actor*, Actor*, b2Contact*) { return true; }
    virtual bool ShouldBeDestroyed(Actor*) { return true; }
    virtual void OnDestroyed(Actor*) {}

    // Editor guides (movement windows, speeds, boss path, hard-only
    // hazards); draws only while the active simulation is in editor mode.
    void DrawEditModeData(Actor* actor);

    const char* GetName() const { return name.text ? name.text : ""; }

    // Draws its shape's pictures at its body, updates nothing and draws
    // nothing else: the drawing loop may skip it when those are out of view.
    bool plain = false;

    // One picture of the actor at a place, angle and scale: the frame
    // chosen by the damage taken (frame 0 at full health) when the bitmap
    // has frames, mirrored when the actor is. Nothing for a null bitmap.
    static void DrawPicture(kd_bitmap_t* bm, const Actor* actor, float x, float y, float angle, float scale);

    // A null name gives the first registered behaviour (null when none).
    static ActorBehavior* GetActorBehavior(const char* name);
    static nArray<ActorBehavior*> all_abs;

private:
    nString name;
};

#endif
