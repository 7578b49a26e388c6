#include "game/worm-contact-filter.h"

#include <stdlib.h>

#include "game/actor-behaviors-hazards.h"
#include "game/game-level.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"

bool WormContactFilter::ShouldCollide(b2Fixture* fa, b2Fixture* fb) {
    const Actor* a = B2GetFixtureActor(fa);
    const Actor* b = B2GetFixtureActor(fb);
    if (a && b) {
        const bool wa = a->IsWormPart(), wb = b->IsWormPart();
        // Neighbouring pieces overlap at rest; letting them collide would
        // knot the chain.
        if (wa && wb && abs(a->worm_index - b->worm_index) <= 3) return false;

        // At the end the worm is drawn into the exit through whatever lies
        // between, and rests on the exit alone.
        const PhysicsSimulation* sim = PhysicsSimulation::active_sim;
        if (level.ending && sim && sim->HasActorWithFlags(TAG_EXIT)) {
            const bool ea = a->Has(TAG_EXIT), eb = b->Has(TAG_EXIT);
            if (wa && !(wb || eb)) return false;
            if (wb && !(wa || ea)) return false;
            if ((ea || eb) && !(wa || wb)) return false;
        }
        // The open exit: the end bug lets the worm by.
        if (level.all_collected && ((wa && b->Has(TAG_END_BUG)) || (wb && a->Has(TAG_END_BUG)))) return false;
        if (!HazardsMayCollide(a, b)) return false;
    }
    return b2ContactFilter::ShouldCollide(fa, fb);
}
