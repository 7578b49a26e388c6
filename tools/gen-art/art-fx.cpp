// Particle sprites of the effects (fxs/*.lua): sparks, leaves, star pieces,
// smoke, hearts, drops, the shockwave ring and the comic bursts shown for
// kills.
#include <math.h>

#include "gen.h"

namespace art {

// A soft round glow of colour c fading out at radius r.
static void Glow(cairo_t* cr, double cx, double cy, double r, Col c, double core = 0.25) {
    cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, c.a);
    cairo_pattern_add_color_stop_rgba(g, core, c.r, c.g, c.b, c.a * 0.85);
    cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, cx, cy, r, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

static void Heart(cairo_t* cr, double cx, double cy, double r, Col c) {
    cairo_move_to(cr, cx, cy + r * 0.85);
    cairo_curve_to(cr, cx - r * 1.2, cy, cx - r * 1.0, cy - r * 1.0, cx, cy - r * 0.45);
    cairo_curve_to(cr, cx + r * 1.0, cy - r * 1.0, cx + r * 1.2, cy, cx, cy + r * 0.85);
    cairo_close_path(cr);
    Shade(cr, c, cx, cy, r, std::max(1.0, r * 0.1), 0.4, 0.25);
    Gloss(cr, cx - r * 0.45, cy - r * 0.35, r * 0.22, r * 0.12, -0.7, 0.8);
}

static void Drop(cairo_t* cr, double cx, double cy, double r, Col c) {
    cairo_move_to(cr, cx, cy - r * 1.3);
    cairo_curve_to(cr, cx + r * 0.5, cy - r * 0.6, cx + r, cy - r * 0.1, cx + r, cy + r * 0.3);
    cairo_curve_to(cr, cx + r, cy + r * 0.9, cx + r * 0.5, cy + r * 1.1, cx, cy + r * 1.1);
    cairo_curve_to(cr, cx - r * 0.5, cy + r * 1.1, cx - r, cy + r * 0.9, cx - r, cy + r * 0.3);
    cairo_curve_to(cr, cx - r, cy - r * 0.1, cx - r * 0.5, cy - r * 0.6, cx, cy - r * 1.3);
    cairo_close_path(cr);
    Shade(cr, c, cx, cy, r * 1.2, std::max(1.0, r * 0.12), 0.45, 0.2);
    Gloss(cr, cx - r * 0.35, cy, r * 0.18, r * 0.35, 0.2, 0.8);
}

static void Burst(cairo_t* cr, int w, int h, Col c, int points, uint32_t seed) {
    double cx = w / 2.0, cy = h / 2.0, ro = w * 0.47, ri = w * 0.3;
    Rng rng(seed);
    cairo_new_sub_path(cr);
    for (int i = 0; i < points * 2; i++) {
        double a = -PI / 2 + i * PI / points, r = (i % 2 ? ri : ro) * rng.R(0.86, 1.0);
        double x = cx + r * cos(a), y = cy + r * sin(a);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
    Shade(cr, c, cx, cy, ro, 3, 0.45, 0.2);
    // An inner burst in white, then a gold star at the heart of it.
    StarPath(cr, cx, cy, ri * 0.9, ri * 0.55, points, -PI / 2 + PI / points);
    FillCol(cr, Col{1, 1, 0.92, 0.9});
    GoldStar(cr, cx, cy + 1, ri * 0.55, Hex(0xffcf33));
}

void ArtFx(Gen& g) {
    g.Section("Effect sprites", "Particles of the effects in fxs/*.lua, drawn centred.");
    g.Png("fxs/gfx/spark.png", 32, 32, "white-hot spark with four rays", "sparks, hits", [](cairo_t* cr, int w, int h) {
        Glow(cr, 16, 16, 15, Col{1, 0.85, 0.3, 0.9});
        StarPath(cr, 16, 16, 15, 2.2, 4, 0);
        FillCol(cr, Col{1, 1, 0.9, 0.9});
    });
    g.Png("fxs/gfx/sparkle.png", 32, 32, "soft blue-white twinkle", "magic, worm hole", [](cairo_t* cr, int w, int h) {
        Glow(cr, 16, 16, 12, Col{0.7, 0.85, 1, 0.8});
        StarPath(cr, 16, 16, 15, 1.8, 4, 0);
        FillCol(cr, Col{1, 1, 1, 0.95});
        StarPath(cr, 16, 16, 8, 1.5, 4, PI / 4);
        FillCol(cr, Col{1, 1, 1, 0.7});
    });
    g.Png("fxs/gfx/firefly.png", 24, 24, "warm yellow-green firefly glow with a bright core", "menu-fireflies",
          [](cairo_t* cr, int w, int h) {
              Glow(cr, 12, 12, 11.5, Col{0.8, 1, 0.3, 0.7}, 0.3);
              Glow(cr, 12, 12, 4.5, Col{1, 1, 0.75, 1}, 0.5);
          });
    g.Png("fxs/gfx/leaf-1.png", 32, 32, "green leaf", "leaves-summer weather, wings-broken",
          [](cairo_t* cr, int w, int h) { Leaf(cr, 4, 24, 26, 8, -0.6, Hex(0x78cc4a), 1.2); });
    g.Png("fxs/gfx/leaf-2.png", 32, 32, "orange autumn leaf", "weather variety",
          [](cairo_t* cr, int w, int h) { Leaf(cr, 5, 25, 25, 8.5, -0.7, Hex(0xf29a30), 1.2); });
    g.Png("fxs/gfx/petal.png", 24, 24, "pink petal", "hearts, celebrations",
          [](cairo_t* cr, int w, int h) { Leaf(cr, 3, 17, 19, 7, -0.5, Hex(0xffa6c2), 1); });
    g.Png("fxs/gfx/star-piece.png", 24, 24, "small gold star", "star-pieces, stars",
          [](cairo_t* cr, int w, int h) { GoldStar(cr, 12, 12.5, 10.5, Hex(0xffd23a)); });
    g.Png("fxs/gfx/smoke-puff.png", 64, 64, "soft grey-white puff of smoke", "hazard-destroyed, life-lost",
          [](cairo_t* cr, int w, int h) {
              Rng rng(19);
              for (int i = 0; i < 7; i++) {
                  double a = i * 2 * PI / 7, d = rng.R(8, 13);
                  Glow(cr, 32 + d * cos(a), 32 + d * sin(a), rng.R(12, 17), Col{0.92, 0.92, 0.95, 0.55}, 0.5);
              }
              Glow(cr, 32, 32, 20, Col{1, 1, 1, 0.6}, 0.5);
          });
    g.Png("fxs/gfx/dust.png", 16, 16, "small soft brown dust dot", "blocks breaking, landings",
          [](cairo_t* cr, int w, int h) {
              Glow(cr, 8, 8, 7.5, Col{0.62, 0.5, 0.36, 0.85}, 0.4);
          });
    g.Png("fxs/gfx/heart.png", 32, 32, "glossy red heart", "hearts (fruit collected, moon exit)",
          [](cairo_t* cr, int w, int h) { Heart(cr, 16, 17, 13, Hex(0xff4d6d)); });
    g.Png("fxs/gfx/drop.png", 24, 24, "light blue water drop", "splash",
          [](cairo_t* cr, int w, int h) { Drop(cr, 12, 12, 8, Hex(0x7fd0ff)); });
    g.Png("fxs/gfx/drop-red.png", 24, 24, "red drop", "splash-red (the worm is hurt)",
          [](cairo_t* cr, int w, int h) { Drop(cr, 12, 12, 8, Hex(0xff4d5e)); });
    g.Png("fxs/gfx/ring.png", 128, 128, "white ring with soft edges", "level-end-shockwave, grown outwards",
          [](cairo_t* cr, int w, int h) {
              cairo_pattern_t* p = cairo_pattern_create_radial(64, 64, 40, 64, 64, 63);
              cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 0);
              cairo_pattern_add_color_stop_rgba(p, 0.6, 1, 1, 0.95, 0.9);
              cairo_pattern_add_color_stop_rgba(p, 0.75, 1, 0.95, 0.7, 0.6);
              cairo_pattern_add_color_stop_rgba(p, 1, 1, 0.9, 0.6, 0);
              cairo_set_source(cr, p);
              cairo_arc(cr, 64, 64, 63, 0, 2 * PI);
              cairo_fill(cr);
              cairo_pattern_destroy(p);
          });
    g.Png("fxs/gfx/wing-piece.png", 32, 32, "torn scrap of a see-through wing", "wings-broken",
          [](cairo_t* cr, int w, int h) {
              cairo_move_to(cr, 4, 18);
              cairo_curve_to(cr, 8, 6, 22, 3, 28, 8);
              cairo_line_to(cr, 24, 13);
              cairo_line_to(cr, 27, 17);
              cairo_line_to(cr, 21, 20);
              cairo_curve_to(cr, 15, 26, 8, 26, 4, 18);
              cairo_close_path(cr);
              Set(cr, Col{0.8, 0.92, 1, 0.6});
              cairo_fill_preserve(cr);
              Stroke(cr, Col{0.25, 0.35, 0.55, 0.85}, 1.2);
              cairo_move_to(cr, 6, 18);
              cairo_curve_to(cr, 12, 14, 18, 10, 25, 9);
              Stroke(cr, Col{0.35, 0.5, 0.75, 0.5}, 0.8);
          });
    const uint32_t colours[4] = {0xffd23a, 0xff9a2e, 0xff5a4a, 0xc070ff};
    const char* names[4] = {"yellow", "orange", "red", "violet"};
    for (int i = 0; i < 4; i++) {
        uint32_t c = colours[i];
        int points = 9 + i * 2;
        g.Png("fxs/gfx/pow-" + std::to_string(i) + ".png", 96, 96,
              std::string("comic burst, ") + names[i] + ", " + std::to_string(points) + " points, gold star inside",
              "pow-" + std::to_string(i) + ": kill " + std::to_string(i + 1) + " of a streak",
              [c, points, i](cairo_t* cr, int w, int h) { Burst(cr, w, h, Hex(c), points, 50 + i); });
    }
}

}  // namespace art
