// Whole scenes: the level backgrounds of each world family (a far layer, a
// see-through near layer and the two combined for low detail), the menu
// background, the title emblem, the prologue's story panels and their
// frame.
#include <math.h>

#include "gen.h"

namespace art {

// ---------------------------------------------------------------- parts

static void Sky(cairo_t* cr, int w, int h, Col top, Col mid, Col low, double mid_at = 0.55) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(g, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(g, mid_at, mid.r, mid.g, mid.b);
    cairo_pattern_add_color_stop_rgb(g, 1, low.r, low.g, low.b);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
}

static void Glow(cairo_t* cr, double x, double y, double r, Col c) {
    cairo_pattern_t* g = cairo_pattern_create_radial(x, y, 0, x, y, r);
    cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, c.a);
    cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, x, y, r, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

static void Sun(cairo_t* cr, double x, double y, double r, Col c, int rays) {
    Glow(cr, x, y, r * 3.2, Alpha(Lighter(c, 0.5), 0.45));
    if (rays > 0) {
        cairo_save(cr);
        for (int i = 0; i < rays; i++) {
            double a = i * 2 * PI / rays;
            cairo_move_to(cr, x, y);
            cairo_arc(cr, x, y, r * 2.6, a - 0.09, a + 0.09);
            cairo_close_path(cr);
        }
        cairo_pattern_t* g = cairo_pattern_create_radial(x, y, r, x, y, r * 2.6);
        cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 0.85, 0.35);
        cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 0.85, 0);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        cairo_restore(cr);
    }
    cairo_arc(cr, x, y, r, 0, 2 * PI);
    Shade(cr, c, x, y, r, 0, 0.5, 0.05);
}

static void Cloud(cairo_t* cr, double x, double y, double s, Col c, Rng& rng) {
    // Puffs on a flat bottom, lit from above.
    int n = 5 + rng.I(3);
    std::vector<double> px, py, pr;
    for (int i = 0; i < n; i++) {
        double t = (i + 0.5) / n;
        px.push_back(x + (t - 0.5) * s * 2.2);
        pr.push_back(s * (0.35 + 0.4 * sin(t * PI)) * rng.R(0.85, 1.15));
        py.push_back(y - pr.back() * 0.55);
    }
    cairo_save(cr);
    cairo_rectangle(cr, x - s * 2, y - s * 2, s * 4, s * 2 + s * 0.08);
    cairo_clip(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y - s, 0, y);
    Col shade = Mix(c, Hex(0x9fb6d8), 0.35);
    cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, c.a);
    cairo_pattern_add_color_stop_rgba(g, 1, shade.r, shade.g, shade.b, c.a);
    for (int i = 0; i < n; i++) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, px[i], py[i], pr[i], 0, 2 * PI);
    }
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);
}

// A band of rolling ground whose top edge follows smooth noise.
static void Hills(cairo_t* cr, int w, int h, double base, double amp, double scale, uint32_t seed, Col top, Col bottom,
                  double outline = 0) {
    cairo_move_to(cr, -10, h + 10);
    for (int x = -10; x <= w + 10; x += 8) {
        double y = base - amp * (Fbm(x / scale, 0.5, 3, seed) - 0.5) * 2;
        cairo_line_to(cr, x, y);
    }
    cairo_line_to(cr, w + 10, h + 10);
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, base - amp, 0, h);
    cairo_pattern_add_color_stop_rgb(g, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(g, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    if (outline > 0) Stroke(cr, Alpha(Outline(top), 0.6), outline);
    cairo_new_path(cr);
}

static double HillY(int x, double base, double amp, double scale, uint32_t seed) {
    return base - amp * (Fbm(x / scale, 0.5, 3, seed) - 0.5) * 2;
}

static void Tree(cairo_t* cr, double x, double y, double s, Col leaf, Col trunk, Rng& rng, bool fruit) {
    cairo_move_to(cr, x - s * 0.12, y);
    cairo_curve_to(cr, x - s * 0.08, y - s * 0.5, x - s * 0.1, y - s * 0.8, x - s * 0.05, y - s * 1.1);
    cairo_line_to(cr, x + s * 0.07, y - s * 1.1);
    cairo_curve_to(cr, x + s * 0.1, y - s * 0.8, x + s * 0.08, y - s * 0.5, x + s * 0.14, y);
    cairo_close_path(cr);
    Shade(cr, trunk, x, y - s * 0.5, s * 0.6, std::max(1.0, s * 0.03));
    int n = 6;
    for (int i = 0; i < n; i++) {
        double a = -PI / 2 + (i - (n - 1) / 2.0) * 0.55;
        double bx = x + cos(a) * s * 0.42 + rng.R(-0.05, 0.05) * s, by = y - s * 1.25 + sin(a) * s * 0.3;
        double r = s * rng.R(0.3, 0.4);
        cairo_arc(cr, bx, by, r, 0, 2 * PI);
        Shade(cr, leaf, x - s * 0.2, y - s * 1.5, s * 0.9, std::max(1.0, s * 0.025), 0.3, 0.25);
    }
    cairo_arc(cr, x, y - s * 1.35, s * 0.42, 0, 2 * PI);
    Shade(cr, leaf, x - s * 0.2, y - s * 1.55, s * 0.9, 0, 0.35, 0.2);
    if (fruit)
        for (int i = 0; i < 5; i++) {
            double fx = x + rng.R(-0.5, 0.5) * s, fy = y - s * rng.R(1.0, 1.6);
            cairo_arc(cr, fx, fy, s * 0.06, 0, 2 * PI);
            Shade(cr, Hex(0xe8413b), fx, fy, s * 0.06, std::max(0.8, s * 0.012));
        }
}

static void Flower(cairo_t* cr, double x, double y, double s, Col petal, Col stem) {
    cairo_move_to(cr, x, y);
    cairo_curve_to(cr, x - s * 0.1, y - s * 0.4, x + s * 0.1, y - s * 0.7, x, y - s);
    Stroke(cr, stem, std::max(1.0, s * 0.06));
    Leaf(cr, x, y - s * 0.35, s * 0.35, s * 0.1, -0.6, stem, std::max(0.6, s * 0.02));
    for (int i = 0; i < 6; i++) {
        double a = i * PI / 3;
        Ellipse(cr, x + cos(a) * s * 0.16, y - s + sin(a) * s * 0.16, s * 0.14, s * 0.08, a);
        Shade(cr, petal, x, y - s, s * 0.3, std::max(0.6, s * 0.02), 0.4, 0.15);
    }
    cairo_arc(cr, x, y - s, s * 0.08, 0, 2 * PI);
    Shade(cr, Hex(0xffc928), x, y - s, s * 0.08, 0);
}

static void BushRow(cairo_t* cr, int w, double y, double s, Col c, Rng& rng, int h) {
    // Overlapping leafy mounds along the bottom edge.
    for (double x = -s; x < w + s; x += s * rng.R(0.6, 0.9)) {
        double r = s * rng.R(0.7, 1.1), by = y + rng.R(-0.2, 0.2) * s;
        cairo_arc(cr, x, by, r, 0, 2 * PI);
        Shade(cr, Mix(c, Lighter(c, 0.15), rng.F()), x, by, r, std::max(1.0, s * 0.04), 0.25, 0.3);
    }
    cairo_rectangle(cr, -10, y, w + 20, h - y + 10);
    FillCol(cr, Darker(c, 0.3));
}

static void Firefly(cairo_t* cr, double x, double y, double r) {
    Glow(cr, x, y, r * 4, Col{1, 0.95, 0.5, 0.5});
    cairo_arc(cr, x, y, r, 0, 2 * PI);
    FillCol(cr, Col{1, 1, 0.8, 0.95});
}

static void Z(cairo_t* cr, double x, double y, double s) {
    auto z = [&] {
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + s, y);
        cairo_line_to(cr, x, y + s);
        cairo_line_to(cr, x + s, y + s);
    };
    z();
    Stroke(cr, Hex(0x3a4a7a), s * 0.35);
    z();
    Stroke(cr, Col{1, 1, 1, 1}, s * 0.18);
}

// ---------------------------------------------------------- backgrounds

struct Family {
    const char* name;
    bool dusk;
};

// A veil of the sky's colour over the far layer, thicker towards the
// horizon: the distance fades, and the actors stand out against it.
static void Haze(cairo_t* cr, int w, int h, Col c) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, 0.05);
    cairo_pattern_add_color_stop_rgba(g, 0.6, c.r, c.g, c.b, 0.22);
    cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0.1);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
}

static void FarLayer(cairo_t* cr, int w, int h, bool dusk) {
    Rng rng(dusk ? 202 : 101);
    if (!dusk) {
        Sky(cr, w, h, Hex(0x6cc0f2), Hex(0xbfe8ff), Hex(0xe9f8ff), 0.6);
        Sun(cr, w * 0.8, h * 0.18, 46, Hex(0xfff07a), 14);
        for (int i = 0; i < 5; i++)
            Cloud(cr, (0.08 + i * 0.13 + rng.R(-0.03, 0.03)) * w, rng.R(0.12, 0.42) * h, rng.R(40, 70),
                  Col{1, 1, 1, 0.95}, rng);
        Hills(cr, w, h, h * 0.6, 40, 260, 11, Hex(0xa8d9a6), Hex(0x8cc98a));
        Rng trees(5);
        for (int i = 0; i < 9; i++) {
            int x = (int)trees.R(0, w);
            Tree(cr, x, HillY(x, h * 0.6, 40, 260, 11) + 8, trees.R(28, 40), Hex(0x6fb86a), Hex(0x8a6a50), trees,
                 false);
        }
        Hills(cr, w, h, h * 0.72, 38, 200, 23, Hex(0x86cc62), Hex(0x5fae44));
        Rng trees2(9);
        for (int i = 0; i < 5; i++) {
            int x = (int)trees2.R(0, w);
            Tree(cr, x, HillY(x, h * 0.72, 38, 200, 23) + 10, trees2.R(50, 70), Hex(0x4fa03e), Hex(0x7a5236), trees2,
                 i % 2 == 0);
        }
        Hills(cr, w, h, h * 0.86, 24, 150, 37, Hex(0x72c04e), Hex(0x4e9a35));
        Rng fl(13);
        const uint32_t petals[4] = {0xffffff, 0xffd23a, 0xff8fb0, 0xb58cff};
        for (int i = 0; i < 70; i++) {
            double x = fl.R(0, w), y = HillY((int)x, h * 0.86, 24, 150, 37) + fl.R(8, h * 0.14);
            cairo_arc(cr, x, y, fl.R(1.5, 3.2), 0, 2 * PI);
            FillCol(cr, Hex(petals[fl.I(4)]));
        }
        Haze(cr, w, h, Hex(0xdff3ff));
    } else {
        Sky(cr, w, h, Hex(0x2c2a6e), Hex(0xc86a8a), Hex(0xffb36b), 0.55);
        for (int i = 0; i < 60; i++) {
            double x = rng.R(0, w), y = rng.R(0, h * 0.4);
            cairo_arc(cr, x, y, rng.R(0.6, 1.6), 0, 2 * PI);
            FillCol(cr, Col{1, 1, 0.9, rng.R(0.4, 0.9)});
        }
        Sun(cr, w * 0.3, h * 0.6, 70, Hex(0xffd36a), 0);
        for (int i = 0; i < 5; i++)
            Cloud(cr, rng.R(0.05, 0.95) * w, rng.R(0.2, 0.45) * h, rng.R(40, 80), Col{1, 0.72, 0.72, 0.75}, rng);
        Hills(cr, w, h, h * 0.6, 45, 260, 11, Hex(0x8a5a8e), Hex(0x6e4678));
        Rng trees(5);
        for (int i = 0; i < 9; i++) {
            int x = (int)trees.R(0, w);
            Tree(cr, x, HillY(x, h * 0.6, 45, 260, 11) + 8, trees.R(28, 40), Hex(0x6a4a7a), Hex(0x4a3050), trees,
                 false);
        }
        Hills(cr, w, h, h * 0.73, 38, 200, 23, Hex(0x5e4a7e), Hex(0x43335e));
        Rng trees2(9);
        for (int i = 0; i < 5; i++) {
            int x = (int)trees2.R(0, w);
            Tree(cr, x, HillY(x, h * 0.73, 38, 200, 23) + 10, trees2.R(50, 70), Hex(0x4a3d6a), Hex(0x3a2848), trees2,
                 false);
        }
        Hills(cr, w, h, h * 0.87, 24, 150, 37, Hex(0x3f3a62), Hex(0x2a2744));
        Rng ff(31);
        Haze(cr, w, h, Hex(0xc88aa8));
        for (int i = 0; i < 26; i++) Firefly(cr, ff.R(0, w), ff.R(h * 0.5, h * 0.95), ff.R(1.2, 2.2));
    }
}

static void NearLayer(cairo_t* cr, int w, int h, bool dusk) {
    Rng rng(dusk ? 77 : 66);
    Col bush = dusk ? Hex(0x343c6a) : Hex(0x4f9e37), stem = dusk ? Hex(0x2a4a3a) : Hex(0x3f8a2a);
    // Bottom: a row of bushes with flowers and grass in front.
    BushRow(cr, w, h * 0.9, 46, bush, rng, h);
    const uint32_t day[3] = {0xff7aa0, 0xffffff, 0xffd23a}, night[3] = {0x9a7ad8, 0x7a9ad8, 0xd87aa8};
    for (int i = 0; i < 9; i++) {
        double x = rng.R(0, w), s = rng.R(40, 70);
        Flower(cr, x, h + 4, s, Hex((dusk ? night : day)[rng.I(3)]), stem);
    }
    for (int x = 0; x < w; x += 22) GrassTuft(cr, x + rng.R(-6, 6), h + 2, rng.R(16, 30), 4, Lighter(bush, 0.1), rng);
    // Top corners: a branch reaching in with leaves hanging off it.
    for (int side = 0; side < 2; side++) {
        cairo_save(cr);
        if (side) {
            cairo_translate(cr, w, 0);
            cairo_scale(cr, -1, 1);
        }
        double len = side ? 230 : 300;
        cairo_move_to(cr, -10, 18);
        cairo_curve_to(cr, len * 0.3, 30, len * 0.6, 22, len, 40);
        Stroke(cr, dusk ? Hex(0x2a1e30) : Hex(0x6b4427), 11);
        cairo_move_to(cr, -10, 18);
        cairo_curve_to(cr, len * 0.3, 30, len * 0.6, 22, len, 40);
        Stroke(cr, dusk ? Hex(0x3e2c44) : Hex(0x8a5a32), 6);
        Rng lr(side ? 3 : 4);
        for (int i = 0; i < 14; i++) {
            double t = lr.R(0, 1), x = len * t, y = 18 + 22 * t + 6 * sin(t * 3);
            Leaf(cr, x, y, lr.R(22, 34), lr.R(7, 10), lr.R(0.4, 2.6), dusk ? Hex(0x3e5a52) : Hex(0x6cc447), 1.2);
        }
        // A vine hanging down.
        double vx = len * 0.7;
        cairo_move_to(cr, vx, 30);
        cairo_curve_to(cr, vx + 10, 70, vx - 10, 110, vx + 4, side ? 120 : 150);
        Stroke(cr, stem, 3);
        for (int i = 0; i < 5; i++)
            Leaf(cr, vx + (i % 2 ? 2 : -2), 45 + i * 20, 14, 5, i % 2 ? 0.5 : 2.6, Lighter(stem, 0.2), 0.8);
        cairo_restore(cr);
    }
    if (dusk) {
        Rng ff(8);
        for (int i = 0; i < 14; i++) Firefly(cr, ff.R(0, w), ff.R(h * 0.7, h * 0.95), ff.R(1.5, 2.6));
    }
}

static void Backgrounds(Gen& g) {
    g.Section("Level backgrounds",
              "For worlds.xml: background_1 is the far layer (opaque JPEG, parallax 0.55),\n"
              "background_2 the near layer drawn over it (PNG, transparent where the far layer shows,\n"
              "parallax 0.25), combined the two in one picture for low detail. All three of a family\n"
              "share one size, as the game scales both layers by the first one's size.");
    const Family families[] = {{"garden", false}, {"dusk", true}};
    for (const Family& f : families) {
        bool dusk = f.dusk;
        std::string base = std::string("gfx/backgrounds/") + f.name;
        std::string look = dusk ? "dusk garden: violet sky, low sun, purple hills, fireflies"
                                : "sunny garden: blue sky, sun, clouds, green hills with trees, meadow flowers";
        g.Jpg(base + "-far.jpg", 1024, 600, look,
              std::string("background_1 of the ") + f.name + " family (" + (dusk ? "episode 2" : "episode 1") + ")",
              [dusk](cairo_t* cr, int w, int h) { FarLayer(cr, w, h, dusk); });
        g.Png(base + "-near.png", 1024, 600,
              dusk ? "dark bushes, flowers and fireflies at the bottom, branches in the top corners"
                   : "bushes, flowers and grass at the bottom, leafy branches in the top corners",
              "background_2: see-through middle", [dusk](cairo_t* cr, int w, int h) { NearLayer(cr, w, h, dusk); });
        g.Jpg(base + "-combined.jpg", 1024, 600, "the far and near layers in one", "combined (low detail)",
              [dusk](cairo_t* cr, int w, int h) {
                  FarLayer(cr, w, h, dusk);
                  NearLayer(cr, w, h, dusk);
              });
    }
}

// ------------------------------------------------------------ menu art

static void Emblem(cairo_t* cr, double cx, double cy, double s) {
    // The worm curled round a peg, leaves behind.
    for (int i = 0; i < 7; i++) {
        double a = -PI / 2 + (i - 3) * 0.42;
        Leaf(cr, cx + cos(a) * s * 0.3, cy + sin(a) * s * 0.3 - s * 0.05, s * 0.62, s * 0.18, a,
             i % 2 ? Hex(0x6cc447) : Hex(0x8ad85a), std::max(1.0, s * 0.012));
    }
    Glow(cr, cx, cy, s * 0.7, Col{1, 0.95, 0.6, 0.5});
    DrawPeg(cr, cx, cy, s * 0.3);
    // The worm: a loop round the peg, its tail hanging, its head on top.
    std::vector<double> pts;
    double rr = s * 0.42;
    for (int i = 0; i <= 12; i++) {
        double a = PI * 0.75 - i * (2 * PI * 0.95) / 12;
        pts.push_back(cx + rr * cos(a));
        pts.push_back(cy + rr * 0.92 * sin(a));
    }
    std::vector<double> worm;
    worm.push_back(cx - s * 0.1);
    worm.push_back(cy - s * 0.52);
    for (size_t i = 0; i < pts.size(); i += 2) {
        worm.push_back(pts[i]);
        worm.push_back(pts[i + 1]);
    }
    worm.push_back(cx - s * 0.52);
    worm.push_back(cy + s * 0.45);
    worm.push_back(cx - s * 0.58);
    worm.push_back(cy + s * 0.62);
    // Head first: start at the top and run round.
    std::vector<double> ordered;
    ordered.push_back(cx + s * 0.05);
    ordered.push_back(cy - s * 0.5);
    for (int i = 1; i <= 14; i++) {
        double a = -PI / 2 + i * (2 * PI * 0.98) / 14;
        ordered.push_back(cx + rr * cos(a) * 1.02);
        ordered.push_back(cy + rr * sin(a));
    }
    ordered.push_back(cx - s * 0.5);
    ordered.push_back(cy + s * 0.25);
    ordered.push_back(cx - s * 0.62);
    ordered.push_back(cy + s * 0.5);
    WormAlong(cr, ordered, s * 0.085, Face::LevelEnd, 0.15);
    Rng rng(12);
    for (int i = 0; i < 6; i++) {
        double a = rng.R(0, 2 * PI), d = s * rng.R(0.55, 0.7);
        StarPath(cr, cx + d * cos(a), cy + d * sin(a), s * 0.05, s * 0.015, 4, 0);
        FillCol(cr, Hex(0xfff6b0));
    }
}

static void MenuBackground(cairo_t* cr, int w, int h) {
    Sky(cr, w, h, Hex(0x5fb8f0), Hex(0xa9defc), Hex(0xe5f7ff), 0.55);
    // Sun rays from the top middle behind the title.
    cairo_save(cr);
    for (int i = 0; i < 18; i++) {
        double a = i * 2 * PI / 18;
        cairo_move_to(cr, w / 2.0, -40);
        cairo_arc(cr, w / 2.0, -40, 900, a - 0.07, a + 0.07);
        cairo_close_path(cr);
    }
    cairo_pattern_t* g = cairo_pattern_create_radial(w / 2.0, -40, 50, w / 2.0, -40, 700);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 0.9, 0.35);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 0.9, 0);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);
    Rng rng(404);
    for (int i = 0; i < 5; i++)
        Cloud(cr, rng.R(0.05, 0.95) * w, rng.R(0.15, 0.45) * h, rng.R(40, 70), Col{1, 1, 1, 0.95}, rng);
    Hills(cr, w, h, h * 0.7, 40, 260, 71, Hex(0x9ed88e), Hex(0x7cc46a));
    Rng trees(21);
    for (int i = 0; i < 6; i++) {
        int x = (int)trees.R(0, w);
        if (fabs(x - w / 2.0) < 200) continue;
        Tree(cr, x, HillY(x, h * 0.7, 40, 260, 71) + 8, trees.R(40, 55), Hex(0x5fae50), Hex(0x7a5236), trees, true);
    }
    Hills(cr, w, h, h * 0.85, 26, 160, 83, Hex(0x72c04e), Hex(0x4e9a35));
    Rng fl(44);
    const uint32_t petals[4] = {0xffffff, 0xffd23a, 0xff8fb0, 0xb58cff};
    for (int i = 0; i < 16; i++) {
        double x = fl.R(0, w);
        Flower(cr, x, h + 2, fl.R(40, 80), Hex(petals[fl.I(4)]), Hex(0x3f8a2a));
    }
    for (int x = 0; x < w; x += 20) GrassTuft(cr, x + fl.R(-5, 5), h + 2, fl.R(14, 26), 4, Hex(0x5aa83c), fl);
    // A big apple tree on the left with the worm hanging from a branch,
    // sunflower pegs on the right.
    Tree(cr, 110, h * 0.98, 230, Hex(0x58a848), Hex(0x7a5236), rng, true);
    // Hanging by its tail from the lowest branch, head down, smiling.
    std::vector<double> worm = {176, 452, 170, 420, 182, 388, 172, 356, 180, 326};
    WormAlong(cr, worm, 12, Face::Happy, 0.0);
    DrawPeg(cr, w - 250, 210, 30);
    DrawPeg(cr, w - 160, 300, 26);
    DrawPeg(cr, w - 80, 190, 28);
}

// ------------------------------------------------------------- stories

static void StoryDawn(cairo_t* cr, int w, int h) {
    Sky(cr, w, h, Hex(0x8fc8f0), Hex(0xffd9b0), Hex(0xffe9c8), 0.7);
    Sun(cr, w * 0.78, h * 0.62, 34, Hex(0xffe07a), 12);
    Rng rng(1);
    Cloud(cr, w * 0.25, h * 0.3, 50, Col{1, 0.96, 0.92, 0.95}, rng);
    Hills(cr, w, h, h * 0.72, 20, 180, 5, Hex(0x86cc62), Hex(0x5fae44));
    Tree(cr, w * 0.28, h * 0.95, 150, Hex(0x58a848), Hex(0x7a5236), rng, true);
    // The worm asleep in a curl under the tree, apples beside it.
    std::vector<double> curl;
    for (int i = 0; i <= 10; i++) {
        double a = PI * 0.1 + i * PI * 1.5 / 10;
        curl.push_back(w * 0.55 + 36 * cos(a));
        curl.push_back(h * 0.8 + 20 * sin(a));
    }
    WormAlong(cr, curl, 9, Face::Sleep, -0.3);
    DrawFruit(cr, w * 0.68, h * 0.86, 14, 1);
    DrawFruit(cr, w * 0.74, h * 0.88, 13, 3);
    DrawFruit(cr, w * 0.71, h * 0.8, 12, 1);
    Z(cr, w * 0.6, h * 0.55, 12);
    Z(cr, w * 0.64, h * 0.45, 16);
    Z(cr, w * 0.69, h * 0.33, 20);
    for (int x = 0; x < w; x += 16) GrassTuft(cr, x, h + 2, 20, 3, Hex(0x4e9a35), rng);
}

static void StoryTheft(cairo_t* cr, int w, int h) {
    Sky(cr, w, h, Hex(0x6cc0f2), Hex(0xbfe8ff), Hex(0xe9f8ff), 0.6);
    Rng rng(2);
    Cloud(cr, w * 0.78, h * 0.22, 55, Col{1, 1, 1, 0.95}, rng);
    Hills(cr, w, h, h * 0.78, 18, 160, 9, Hex(0x86cc62), Hex(0x5fae44));
    // The greedy bug flies off with a sack of fruit; apples fall out.
    double bx = w * 0.66, by = h * 0.34;
    cairo_move_to(cr, bx - 8, by + 30);
    cairo_line_to(cr, bx - 36, by + 62);
    Stroke(cr, Hex(0x6b4427), 3);
    cairo_move_to(cr, bx - 58, by + 58);
    cairo_curve_to(cr, bx - 78, by + 78, bx - 68, by + 112, bx - 38, by + 112);
    cairo_curve_to(cr, bx - 8, by + 112, bx, by + 80, bx - 18, by + 58);
    cairo_close_path(cr);
    Shade(cr, Hex(0xd8b273), bx - 38, by + 86, 40, 2);
    DrawFruit(cr, bx - 48, by + 58, 11, 1);
    DrawFruit(cr, bx - 30, by + 56, 10, 3);
    for (int s = -1; s <= 1; s += 2) {
        cairo_save(cr);
        cairo_translate(cr, bx, by);
        cairo_scale(cr, s, 1);
        Ellipse(cr, 34, -26, 34, 14, -0.55);
        Set(cr, Col{0.85, 0.95, 1, 0.6});
        cairo_fill_preserve(cr);
        Stroke(cr, Col{0.25, 0.35, 0.55, 0.85}, 1.5);
        cairo_restore(cr);
    }
    DrawEndBug(cr, bx, by, 40, 2, false);
    DrawFlyingBug(cr, w * 0.9, h * 0.14, 14, 2);
    for (int i = 0; i < 3; i++) {
        double x = bx - 90 - i * 42, y = by + 128 + i * 22;
        DrawFruit(cr, x, y, 10, 1 + (i % 2) * 2);
        for (int k = 0; k < 2; k++) {
            cairo_move_to(cr, x - 4 + k * 8, y - 16);
            cairo_line_to(cr, x - 4 + k * 8, y - 26);
            Stroke(cr, Col{1, 1, 1, 0.8}, 2);
        }
    }
    // The worm below, shocked.
    std::vector<double> worm = {w * 0.2, h * 0.7, w * 0.22, h * 0.8, w * 0.16, h * 0.88, w * 0.1, h * 0.93};
    WormAlong(cr, worm, 10, Face::Hurt, -0.2);
    for (int x = 0; x < w; x += 16) GrassTuft(cr, x, h + 2, 18, 3, Hex(0x4e9a35), rng);
}

static void StoryRescue(cairo_t* cr, int w, int h) {
    Sky(cr, w, h, Hex(0x6cc0f2), Hex(0xbfe8ff), Hex(0xe9f8ff), 0.6);
    Rng rng(3);
    Cloud(cr, w * 0.3, h * 0.22, 45, Col{1, 1, 1, 0.95}, rng);
    Hills(cr, w, h, h * 0.86, 16, 140, 13, Hex(0x86cc62), Hex(0x5fae44));
    // Pegs in an arc, the worm swinging from one to the next, the worm hole
    // waiting on the right.
    double px[3] = {w * 0.12, w * 0.36, w * 0.6}, py[3] = {h * 0.42, h * 0.3, h * 0.45};
    for (int i = 0; i < 3; i++) DrawPeg(cr, px[i], py[i], 16);
    DrawWormhole(cr, w * 0.86, h * 0.42, 48);
    cairo_save(cr);
    double dash[2] = {6, 8};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, px[0], py[0] + 20);
    cairo_curve_to(cr, px[0] + 40, py[0] + 110, px[1] - 20, py[1] + 110, px[1], py[1] + 20);
    Stroke(cr, Col{1, 1, 1, 0.8}, 3);
    cairo_restore(cr);
    std::vector<double> worm = {px[1] + 6,  py[1] + 10, px[1] + 40,  py[1] + 40,
                                px[1] + 80, py[1] + 30, px[1] + 112, py[1] + 6};
    WormAlong(cr, worm, 10, Face::Happy, 1.6);
    for (int i = 0; i < 3; i++) {
        cairo_move_to(cr, px[1] + 130 + i * 4, py[1] - 10 + i * 12);
        cairo_line_to(cr, px[1] + 150 + i * 4, py[1] - 10 + i * 12);
        Stroke(cr, Col{1, 1, 1, 0.85}, 2.5);
    }
    for (int x = 0; x < w; x += 16) GrassTuft(cr, x, h + 2, 18, 3, Hex(0x4e9a35), rng);
}

static void StoryFrame(cairo_t* cr, int w, int h) {
    double b = 16;
    cairo_rectangle(cr, 0, 0, w, h);
    RoundRect(cr, b, b, w - 2 * b, h - 2 * b, 6);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_new_path(cr);
    RoundRect(cr, 2, 2, w - 4, h - 4, 16);
    cairo_new_sub_path(cr);
    cairo_rectangle(cr, b, b + h - 2 * b, w - 2 * b, -(h - 2 * b));
    ShadeV(cr, Hex(0xb97a42), 2, h - 2, 2.5, 0.25, 0.25);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_rectangle(cr, b, b, w - 2 * b, h - 2 * b);
    Stroke(cr, Hex(0x6b4427), 2.5);
    Leaf(cr, 10, 14, 34, 10, -0.9, Hex(0x6cc447), 1.2);
    Leaf(cr, 12, 12, 26, 8, -2.2, Hex(0x8ad85a), 1.1);
    Leaf(cr, w - 10, h - 14, 34, 10, -0.9 + PI, Hex(0x6cc447), 1.2);
    Leaf(cr, w - 12, h - 12, 26, 8, -2.2 + PI, Hex(0x8ad85a), 1.1);
}

void ArtScenes(Gen& g) {
    Backgrounds(g);
    g.Section("Menus and story");
    g.Jpg("ui/gfx/menu-background.jpg", 1024, 600,
          "sunny garden with sun rays from the top, hills, an apple tree with the worm hanging from it, pegs on the "
          "right",
          "menu and loading screens (reference size)", MenuBackground);
    g.Png("ui/gfx/logo-emblem.png", 320, 256, "the worm curled round a peg, grinning, leaves and sparkles behind",
          "title emblem (text-free)", [](cairo_t* cr, int w, int h) { Emblem(cr, w / 2.0 + 8, h / 2.0 + 4, 150); });
    g.Jpg("ui/gfx/story/prologue-1.jpg", 512, 300,
          "dawn: the worm asleep in a curl under the apple tree, apples beside it", "prologue panel 1", StoryDawn);
    g.Jpg("ui/gfx/story/prologue-2.jpg", 512, 300,
          "the apples stolen: a sack of fruit flies off, apples fall, the worm is shocked", "prologue panel 2",
          StoryTheft);
    g.Jpg("ui/gfx/story/prologue-3.jpg", 512, 300, "the worm swings from peg to peg towards the worm hole",
          "prologue panel 3", StoryRescue);
    g.Png("ui/gfx/story/story-frame.png", 544, 332, "wooden frame with leaves, 512x300 window in the middle",
          "laid over a story panel, 16 px border", StoryFrame);
    g.Png("ui/gfx/news-placeholder.png", 256, 128, "cream card with a leafy border and a happy worm",
          "news image before any news arrives", [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 3, 3, w - 6, h - 6, 16);
              Shade(cr, kWormBelly, w * 0.4, h * 0.4, w * 0.7, 2.5, 0.4, 0.1);
              for (int i = 0; i < 6; i++) Leaf(cr, 10 + i * 44, 10, 18, 6, 0.4 + i * 0.3, Hex(0x6cc447), 1);
              WormHead(cr, w / 2.0, h / 2.0 + 10, 30, Face::Happy);
          });
}

}  // namespace art
