// Where the first level's hint texts go ("Swing Me!", "Collect Me!",
// "Come Here!"): each beside the ring of its own target, on the side that
// hides the least of the other texts, the rings, the pegs, the worm and
// the HUD, and that stands no nearer another target's ring than a text's
// height (a text by two rings reads as the other's). A target out of view
// has no text: pushed onto the screen, it would stand by something else.
// The texts are placed one after the other; a text keeps the side it had
// in the frame before while that side is as clear as any other, so that
// a label does not jump between sides as the worm swings.
#ifndef APP_GAME_HINT_LABELS_H
#define APP_GAME_HINT_LABELS_H

#include "framework-kd.h"

struct HintRect {
    float x0, y0, x1, y1;
    float Overlap(const HintRect& o) const;
};

struct HintLabel {
    vec2_t target;  // the ring's centre on the screen
    float ring;     // the ring's radius on the screen
    float w, h;     // the text's size (its bobbing included)
    int prefer;     // the side it takes when all are as clear (HINT_ABOVE...)
    int side;       // in: the place of the frame before (-1: none); out: the place taken (-1: not shown)
    HintRect box;   // out: where the text goes
    vec2_t Centre() const { return {(box.x0 + box.x1) * 0.5f, (box.y0 + box.y1) * 0.5f}; }
};

// A round thing a text should not cover (a ring, a peg, a piece of the worm).
struct HintObstacle {
    vec2_t at;
    float radius;
};

// The sides of a ring; a place is a side, or a side with the text slid
// along it (side + HINT_SIDES back, side + 2 x HINT_SIDES forth).
enum { HINT_ABOVE, HINT_BELOW, HINT_RIGHT, HINT_LEFT, HINT_SIDES, HINT_PLACES = 3 * HINT_SIDES };

// Places the labels in order on a screen of width x height whose top band
// (the HUD) is taken.
void PlaceHintLabels(HintLabel* labels, int count, const HintObstacle* obstacles, int obstacle_count, float width,
                     float height, float band);

#endif
