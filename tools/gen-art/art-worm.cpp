// The worm: its head and tail in their free and gripping poses, the head's
// expressions, and the body strip.
#include <math.h>

#include "gen.h"

namespace art {

// The ends are drawn on a disc of 26 pixels radius (the game's drawing
// scale for them), centred in a 64-pixel picture with room for the sprout.
static const int kEnd = 64;

static void Head(Gen& g, const char* name, Face face, const char* what, const char* use) {
    g.Png(std::string("actors/gfx/worm/") + name, kEnd, kEnd, what, use,
          [face](cairo_t* cr, int w, int h) { WormHead(cr, w / 2.0, h / 2.0, kWormPixelsPerRadius, face); });
}

void ArtWorm(Gen& g) {
    g.Section("Worm",
              "The head and tail discs are 52 pixels across (26 per radius unit) in 64x64 pictures; the\n"
              "actor's circle radius sets the size in the world (radius 15 px = 0.5 m is the intended\n"
              "head and tail; the tail with the big-ball purchase is 1.25 times that). Free poses are the\n"
              "actor's `bitmap`, gripping poses its `bitmap_fore`.");
    const char* end_use = "expression of the head: same disc and scale";
    Head(g, "worm-head.png", Face::Idle, "worm head, free pose: open eyes, smile",
         "`bitmap` of game-worm-head; loading screen");
    Head(g, "worm-head-grab.png", Face::Grab, "worm head gripping: lips puckered at the bottom, brows down",
         "`bitmap_fore` of game-worm-head");
    Head(g, "worm-head-hurt.png", Face::Hurt, "head hurt: squeezed eyes, wavy mouth, sweat drop", end_use);
    Head(g, "worm-head-level-end.png", Face::LevelEnd, "head triumphant: happy eyes, open grin",
         "level end, kills; loading screen when loaded");
    Head(g, "worm-head-eyes-closed.png", Face::EyesClosed, "head blinking, free pose", end_use);
    Head(g, "worm-head-grab-eyes-closed.png", Face::GrabEyesClosed, "head blinking while gripping", end_use);
    Head(g, "worm-head-grab-stars.png", Face::GrabStars, "head gripping with star eyes (triumphant)", end_use);
    g.Png("actors/gfx/worm/worm-tail.png", kEnd, kEnd, "tail end, free pose: ringed knob with a tip at the bottom",
          "`bitmap` of game-worm-tail; circle radius 15 px (0.5 m)",
          [](cairo_t* cr, int w, int h) { WormTail(cr, w / 2.0, h / 2.0, kWormPixelsPerRadius, false); });
    g.Png("actors/gfx/worm/worm-tail-grab.png", kEnd, kEnd, "tail end gripping: sucker pad at the bottom",
          "`bitmap_fore` of game-worm-tail",
          [](cairo_t* cr, int w, int h) { WormTail(cr, w / 2.0, h / 2.0, kWormPixelsPerRadius, true); });

    // The body strip: the game stretches this picture once along the whole
    // worm, u from 0 at the head to (n-1)/n at the tail, v across its full
    // width (twice the head's radius). The band fills the middle of the
    // height like the head's disc does the picture, symmetric top to bottom
    // since either side may face up, and it narrows a little towards the
    // tail.
    g.Png("actors/gfx/worm/worm-body.png", 512, 52,
          "body strip: pink tube with 16 segment rings, symmetric top to bottom, narrowing to the right",
          "stretched once from head (left) to tail; height = head diameter; loading-screen progress bar",
          [](cairo_t* cr, int w, int h) {
              double c = h / 2.0, t0 = 40, t1 = 33;
              auto half = [&](double x) { return (t0 + (t1 - t0) * x / w) / 2; };
              auto path = [&]() {
                  cairo_move_to(cr, 0, c - half(0));
                  cairo_line_to(cr, w, c - half(w));
                  cairo_line_to(cr, w, c + half(w));
                  cairo_line_to(cr, 0, c + half(0));
                  cairo_close_path(cr);
              };
              path();
              cairo_pattern_t* gr = cairo_pattern_create_linear(0, c - t0 / 2, 0, c + t0 / 2);
              Col edge = Darker(kWormSkin, 0.22), mid = Lighter(kWormSkin, 0.22);
              cairo_pattern_add_color_stop_rgb(gr, 0, edge.r, edge.g, edge.b);
              cairo_pattern_add_color_stop_rgb(gr, 0.3, kWormSkin.r, kWormSkin.g, kWormSkin.b);
              cairo_pattern_add_color_stop_rgb(gr, 0.5, mid.r, mid.g, mid.b);
              cairo_pattern_add_color_stop_rgb(gr, 0.7, kWormSkin.r, kWormSkin.g, kWormSkin.b);
              cairo_pattern_add_color_stop_rgb(gr, 1, edge.r, edge.g, edge.b);
              cairo_set_source(cr, gr);
              cairo_fill(cr);
              cairo_pattern_destroy(gr);
              cairo_save(cr);
              path();
              cairo_clip(cr);
              // Rings: a dark groove with a lit ridge after it, bowed like
              // a ring round a tube.
              for (int i = 0; i < 16; i++) {
                  double x = 16 + i * 32.0, hh = half(x) + 2;
                  cairo_move_to(cr, x, c - hh);
                  cairo_curve_to(cr, x - 3, c - hh / 2, x - 3, c + hh / 2, x, c + hh);
                  Stroke(cr, Alpha(Outline(kWormSkin), 0.42), 2.6);
                  cairo_move_to(cr, x + 3, c - hh);
                  cairo_curve_to(cr, x, c - hh / 2, x, c + hh / 2, x + 3, c + hh);
                  Stroke(cr, Alpha(Lighter(kWormSkin, 0.6), 0.45), 1.6);
              }
              // A soft shine along the middle.
              cairo_move_to(cr, 0, c - 2);
              cairo_line_to(cr, w, c - 2);
              Stroke(cr, Alpha(Col{1, 1, 1}, 0.18), 4);
              cairo_restore(cr);
              cairo_move_to(cr, 0, c - half(0));
              cairo_line_to(cr, w, c - half(w));
              cairo_move_to(cr, 0, c + half(0));
              cairo_line_to(cr, w, c + half(w));
              Stroke(cr, Outline(kWormSkin), 2.4);
          });
}

}  // namespace art
