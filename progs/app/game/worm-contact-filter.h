// Which pairs of fixtures of the level's world may collide: the worm's
// chain of pieces does not tangle with itself, the worm is drawn into the
// exit at the level's end, it does not bump the end bug once the exit is
// open, and projectiles pass through the shooters and mines that fire
// them. Installed in the world at every level start.
#ifndef APP_WORM_CONTACT_FILTER_H
#define APP_WORM_CONTACT_FILTER_H

#include <box2d/box2d.h>

class WormContactFilter : public b2ContactFilter {
public:
    bool ShouldCollide(b2Fixture* a, b2Fixture* b) override;
};

#endif
