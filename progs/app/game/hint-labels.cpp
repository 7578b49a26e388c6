// The hint texts' places. See hint-labels.h.
#include "game/hint-labels.h"

#include <math.h>

float HintRect::Overlap(const HintRect& o) const {
    const float w = fminf(x1, o.x1) - fmaxf(x0, o.x0), h = fminf(y1, o.y1) - fmaxf(y0, o.y0);
    return w > 0 && h > 0 ? w * h : 0.0f;
}

namespace {

// A place beside the ring: a side, the text in its middle or slid along
// it by a quarter of its width (above and below) or half its height (left
// and right), back (place / HINT_SIDES 1) or forth (2).
HintRect Candidate(const HintLabel& l, int place) {
    const float gap = 2.0f, r = l.ring;
    const int side = place % HINT_SIDES, slide = place / HINT_SIDES;
    const float along = slide == 0 ? 0.0f : slide == 1 ? -1.0f : 1.0f;
    float cx = l.target.x, cy = l.target.y;
    if (side == HINT_ABOVE) cy -= r + gap + l.h * 0.5f;
    if (side == HINT_BELOW) cy += r + gap + l.h * 0.5f;
    if (side == HINT_RIGHT) cx += r + gap + l.w * 0.5f;
    if (side == HINT_LEFT) cx -= r + gap + l.w * 0.5f;
    if (side == HINT_ABOVE || side == HINT_BELOW)
        cx += along * l.w * 0.25f;
    else
        cy += along * l.h * 0.5f;
    return {cx - l.w * 0.5f, cy - l.h * 0.5f, cx + l.w * 0.5f, cy + l.h * 0.5f};
}

// How far a box is from a ring's edge (negative inside it).
float Distance(const HintRect& b, vec2_t c, float r) {
    const float dx = fmaxf(fmaxf(b.x0 - c.x, c.x - b.x1), 0.0f), dy = fmaxf(fmaxf(b.y0 - c.y, c.y - b.y1), 0.0f);
    return sqrtf(dx * dx + dy * dy) - r;
}

// How much a text there would hide, in square units: of the texts placed
// before it most, of the HUD and the screen's edge as much, of the round
// things (as their inner squares) less. A text within its height of
// another target's ring counts as if it hid all of itself there.
float Cost(const HintRect& b, const HintLabel* labels, int count, int self, const HintObstacle* obstacles,
           int obstacle_count, float width, float height, float band) {
    float cost = 0;
    const float area = (b.x1 - b.x0) * (b.y1 - b.y0);
    for (int i = 0; i < self; i++) cost += 4 * b.Overlap(labels[i].box);
    for (int i = 0; i < count; i++)
        if (i != self && Distance(b, labels[i].target, labels[i].ring) < labels[self].h) cost += 4 * area;
    for (int i = 0; i < obstacle_count; i++) {
        const float r = obstacles[i].radius;
        const vec2_t c = obstacles[i].at;
        cost += b.Overlap({c.x - r, c.y - r, c.x + r, c.y + r});
    }
    const HintRect open = {0, band, width, height};
    cost += 4 * (area - b.Overlap(open));
    return cost;
}

}  // namespace

void PlaceHintLabels(HintLabel* labels, int count, const HintObstacle* obstacles, int obstacle_count, float width,
                     float height, float band) {
    for (int i = 0; i < count; i++) {
        HintLabel& l = labels[i];
        if (l.target.x < 0 || l.target.x > width || l.target.y < 0 || l.target.y > height) {
            l.side = -1;
            l.box = {l.target.x, l.target.y, l.target.x, l.target.y};
            continue;
        }
        float cost[HINT_PLACES];
        for (int s = 0; s < HINT_PLACES; s++)
            cost[s] = Cost(Candidate(l, s), labels, count, i, obstacles, obstacle_count, width, height, band);
        // The preferred side first, then the others in their order.
        int best = l.prefer >= 0 && l.prefer < HINT_SIDES ? l.prefer : HINT_ABOVE;
        for (int s = 0; s < HINT_PLACES; s++)
            if (cost[s] < cost[best]) best = s;
        // The place before stays while it is about as clear as the best,
        // unless the preferred side is clear again.
        const int prefer = l.prefer >= 0 && l.prefer < HINT_SIDES ? l.prefer : HINT_ABOVE;
        if (l.side >= 0 && l.side < HINT_PLACES && cost[l.side] <= cost[best] + 1.0f && cost[prefer] > 1.0f)
            best = l.side;
        l.side = best;
        l.box = Candidate(l, best);
        // A target at the screen's edge keeps its text on the screen.
        const float dx = fmaxf(0.0f - l.box.x0, 0.0f) - fmaxf(l.box.x1 - width, 0.0f);
        const float dy = fmaxf(band - l.box.y0, 0.0f) - fmaxf(l.box.y1 - height, 0.0f);
        l.box = {l.box.x0 + dx, l.box.y0 + dy, l.box.x1 + dx, l.box.y1 + dy};
    }
}
