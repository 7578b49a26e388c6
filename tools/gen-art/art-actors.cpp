// Things in the world that are not bugs: pegs, the moving platform, walls,
// fruit, eggs, the bonus target, the worm hole and the moon, the arrows and
// the rope, mines and their ammunition, thorns, the destroyable blocks and
// the tutorial circles.
#include <math.h>

#include "gen.h"

namespace art {

static const Col kWood = Hex(0xd39a5c);
static const Col kBark = Hex(0x7b4a27);
static const Col kLeaf = Hex(0x74c84a);

void DrawPeg(cairo_t* cr, double cx, double cy, double r) {
    // The end of a sawn branch: bark round the rim, tree rings inside.
    cairo_arc(cr, cx, cy, r - 1, 0, 2 * PI);
    Shade(cr, kBark, cx, cy, r, 2);
    double ri = r * 0.8;
    cairo_arc(cr, cx, cy, ri, 0, 2 * PI);
    Shade(cr, kWood, cx, cy, ri, 1.2, 0.35, 0.2);
    Rng rng(7);
    for (int i = 1; i <= 4; i++) {
        double rr = ri * i / 4.6;
        BlobPath(cr, cx + 0.5, cy + 0.5, rr, 0.06, 9, rng);
        Stroke(cr, Alpha(Darker(kWood, 0.45), 0.45), std::max(0.8, r * 0.05));
    }
    cairo_arc(cr, cx + 0.5, cy + 0.5, r * 0.07, 0, 2 * PI);
    FillCol(cr, Alpha(Darker(kWood, 0.5), 0.7));
    // A drying crack from the rim inwards.
    cairo_move_to(cr, cx + ri * 0.95, cy + ri * 0.2);
    cairo_line_to(cr, cx + ri * 0.6, cy + ri * 0.12);
    cairo_line_to(cr, cx + ri * 0.42, cy + ri * 0.2);
    Stroke(cr, Alpha(Darker(kWood, 0.55), 0.7), std::max(0.8, r * 0.05));
    Gloss(cr, cx - r * 0.35, cy - r * 0.42, r * 0.32, r * 0.16, -0.6, 0.55);
}

static void Sunflower(cairo_t* cr, double cx, double cy, double r) {
    int n = 12;
    for (int layer = 0; layer < 2; layer++)
        for (int i = 0; i < n; i++) {
            double a = (i + layer * 0.5) * 2 * PI / n;
            Col c = layer ? Hex(0xffd43a) : Hex(0xf5b428);
            cairo_save(cr);
            cairo_translate(cr, cx, cy);
            cairo_rotate(cr, a);
            cairo_move_to(cr, r * 0.45, 0);
            cairo_curve_to(cr, r * 0.62, -r * 0.2, r * 0.9, -r * 0.14, r, 0);
            cairo_curve_to(cr, r * 0.9, r * 0.14, r * 0.62, r * 0.2, r * 0.45, 0);
            cairo_close_path(cr);
            cairo_restore(cr);
            Shade(cr, c, cx, cy, r, 1.1, 0.3, 0.15);
        }
    double rc = r * 0.52;
    cairo_arc(cr, cx, cy, rc, 0, 2 * PI);
    Shade(cr, Hex(0x8a4f1e), cx, cy, rc, 1.4);
    // Seeds in a sunflower's spiral.
    for (int i = 1; i < 40; i++) {
        double a = i * 2.39996, d = rc * 0.85 * sqrt(i / 40.0);
        cairo_arc(cr, cx + d * cos(a), cy + d * sin(a), rc * 0.07, 0, 2 * PI);
        FillCol(cr, Alpha(Hex(0x3e2110), 0.7));
    }
    Gloss(cr, cx - rc * 0.35, cy - rc * 0.4, rc * 0.35, rc * 0.18, -0.6, 0.45);
}

static void CartWheel(cairo_t* cr, double cx, double cy, double r) {
    cairo_arc(cr, cx, cy, r - 1.5, 0, 2 * PI);
    cairo_arc_negative(cr, cx, cy, r * 0.74, 2 * PI, 0);
    Shade(cr, kWood, cx, cy, r, 2, 0.3, 0.25);
    for (int i = 0; i < 6; i++) {
        double a = i * PI / 3 + 0.2;
        cairo_move_to(cr, cx + r * 0.2 * cos(a), cy + r * 0.2 * sin(a));
        cairo_line_to(cr, cx + r * 0.78 * cos(a), cy + r * 0.78 * sin(a));
        Stroke(cr, Outline(kWood), r * 0.2);
        cairo_move_to(cr, cx + r * 0.2 * cos(a), cy + r * 0.2 * sin(a));
        cairo_line_to(cr, cx + r * 0.78 * cos(a), cy + r * 0.78 * sin(a));
        Stroke(cr, Lighter(kWood, 0.1), r * 0.12);
    }
    cairo_arc(cr, cx, cy, r * 0.26, 0, 2 * PI);
    Shade(cr, Hex(0xb0b6c0), cx, cy, r * 0.26, 1.5, 0.5, 0.3);
    for (int i = 0; i < 8; i++) {
        double a = i * PI / 4;
        cairo_arc(cr, cx + r * 0.87 * cos(a), cy + r * 0.87 * sin(a), r * 0.05, 0, 2 * PI);
        FillCol(cr, Hex(0x5a5f68));
    }
    Gloss(cr, cx - r * 0.4, cy - r * 0.55, r * 0.3, r * 0.12, -0.5, 0.5);
}

static void IceBall(cairo_t* cr, double cx, double cy, double r) {
    Col ice = Hex(0x9edff7);
    cairo_arc(cr, cx, cy, r - 1, 0, 2 * PI);
    Shade(cr, ice, cx, cy, r, 2, 0.6, 0.2);
    // Frozen cracks and frost inside.
    cairo_save(cr);
    cairo_arc(cr, cx, cy, r - 2, 0, 2 * PI);
    cairo_clip(cr);
    Rng rng(31);
    for (int i = 0; i < 5; i++) {
        double a = rng.R(0, 2 * PI), x = cx + r * 0.9 * cos(a), y = cy + r * 0.9 * sin(a);
        cairo_move_to(cr, x, y);
        for (int k = 0; k < 3; k++) {
            x += (cx - x) * 0.35 + rng.R(-3, 3);
            y += (cy - y) * 0.35 + rng.R(-3, 3);
            cairo_line_to(cr, x, y);
        }
        Stroke(cr, Alpha(Col{1, 1, 1}, 0.55), 1.1);
    }
    cairo_restore(cr);
    Gloss(cr, cx - r * 0.3, cy - r * 0.4, r * 0.42, r * 0.2, -0.6, 0.9);
    Gloss(cr, cx + r * 0.45, cy + r * 0.42, r * 0.16, r * 0.08, -0.6, 0.6);
    // Glints.
    StarPath(cr, cx + r * 0.45, cy - r * 0.45, r * 0.22, r * 0.05, 4, 0);
    FillCol(cr, Col{1, 1, 1, 0.95});
}

static void BurrBall(cairo_t* cr, double cx, double cy, double r, double spike) {
    Col red = Hex(0xe2503a);
    int n = 14;
    for (int i = 0; i < n; i++) {
        double a = i * 2 * PI / n + 0.1, b = 0.2;
        cairo_move_to(cr, cx + r * 0.85 * cos(a - b), cy + r * 0.85 * sin(a - b));
        cairo_line_to(cr, cx + spike * cos(a), cy + spike * sin(a));
        cairo_line_to(cr, cx + r * 0.85 * cos(a + b), cy + r * 0.85 * sin(a + b));
        cairo_close_path(cr);
        Shade(cr, Hex(0xffe3c2), cx, cy, spike, 1.2, 0.2, 0.2);
    }
    cairo_arc(cr, cx, cy, r, 0, 2 * PI);
    Shade(cr, red, cx, cy, r, 1.8);
    for (int i = 0; i < 7; i++) {
        double a = i * 2 * PI / 7 + 0.4;
        cairo_arc(cr, cx + r * 0.55 * cos(a), cy + r * 0.55 * sin(a), r * 0.08, 0, 2 * PI);
        FillCol(cr, Alpha(Darker(red, 0.45), 0.6));
    }
    Gloss(cr, cx - r * 0.35, cy - r * 0.42, r * 0.35, r * 0.18, -0.6, 0.8);
}

void DrawFruit(cairo_t* cr, double cx, double cy, double r, int kind) {
    double lw = std::max(1.0, r * 0.1);
    switch (kind) {
        case 1: {  // apple
            Col c = Hex(0xe8413b);
            cairo_move_to(cr, cx, cy - r * 0.62);
            cairo_curve_to(cr, cx + r * 0.5, cy - r * 1.0, cx + r * 1.08, cy - r * 0.6, cx + r * 0.98, cy + r * 0.05);
            cairo_curve_to(cr, cx + r * 0.9, cy + r * 0.7, cx + r * 0.45, cy + r * 1.0, cx, cy + r * 0.88);
            cairo_curve_to(cr, cx - r * 0.45, cy + r * 1.0, cx - r * 0.9, cy + r * 0.7, cx - r * 0.98, cy + r * 0.05);
            cairo_curve_to(cr, cx - r * 1.08, cy - r * 0.6, cx - r * 0.5, cy - r * 1.0, cx, cy - r * 0.62);
            cairo_close_path(cr);
            Shade(cr, c, cx, cy, r, lw, 0.45, 0.25);
            cairo_move_to(cr, cx, cy - r * 0.55);
            cairo_curve_to(cr, cx, cy - r * 0.8, cx + r * 0.08, cy - r * 1.0, cx + r * 0.2, cy - r * 1.12);
            Stroke(cr, Hex(0x5b3417), lw * 1.1);
            Leaf(cr, cx + r * 0.08, cy - r * 0.8, r * 0.62, r * 0.24, -0.45, kLeaf, lw * 0.7);
            Gloss(cr, cx - r * 0.45, cy - r * 0.25, r * 0.22, r * 0.34, 0.35, 0.8);
            break;
        }
        case 2: {  // strawberry
            Col c = Hex(0xf2384a);
            cairo_move_to(cr, cx, cy + r);
            cairo_curve_to(cr, cx - r * 0.7, cy + r * 0.5, cx - r * 1.0, cy - r * 0.2, cx - r * 0.8, cy - r * 0.55);
            cairo_curve_to(cr, cx - r * 0.55, cy - r * 0.9, cx + r * 0.55, cy - r * 0.9, cx + r * 0.8, cy - r * 0.55);
            cairo_curve_to(cr, cx + r * 1.0, cy - r * 0.2, cx + r * 0.7, cy + r * 0.5, cx, cy + r);
            cairo_close_path(cr);
            Shade(cr, c, cx, cy, r, lw, 0.4, 0.25);
            for (int i = 0; i < 14; i++) {
                double u = (i % 4) / 3.0 - 0.5, v = (i / 4) / 3.5;
                double x = cx + u * r * (1.3 - v * 0.8) + (i / 4 % 2) * r * 0.12, y = cy - r * 0.3 + v * r * 1.1;
                Ellipse(cr, x, y, r * 0.055, r * 0.09);
                FillCol(cr, Hex(0xffe79a));
            }
            for (int i = 0; i < 5; i++)
                Leaf(cr, cx, cy - r * 0.7, r * 0.5, r * 0.16, -PI / 2 + (i - 2) * 0.55, Hex(0x5fbf3a), lw * 0.6);
            Gloss(cr, cx - r * 0.45, cy - r * 0.2, r * 0.16, r * 0.28, 0.35, 0.7);
            break;
        }
        case 3: {  // orange
            Col c = Hex(0xffa229);
            cairo_arc(cr, cx, cy + r * 0.05, r * 0.92, 0, 2 * PI);
            Shade(cr, c, cx, cy, r, lw, 0.45, 0.25);
            Rng rng(17);
            for (int i = 0; i < 16; i++) {
                double a = rng.R(0, 2 * PI), d = rng.R(0.2, 0.8) * r;
                cairo_arc(cr, cx + d * cos(a), cy + d * sin(a), r * 0.04, 0, 2 * PI);
                FillCol(cr, Alpha(Darker(c, 0.3), 0.35));
            }
            cairo_arc(cr, cx, cy - r * 0.8, r * 0.1, 0, 2 * PI);
            FillCol(cr, Hex(0x4d7a20));
            Leaf(cr, cx + r * 0.05, cy - r * 0.82, r * 0.6, r * 0.22, -0.25, kLeaf, lw * 0.7);
            Gloss(cr, cx - r * 0.4, cy - r * 0.35, r * 0.3, r * 0.18, -0.6, 0.75);
            break;
        }
        default: {  // cherries
            Col c = Hex(0xd11f3b);
            cairo_move_to(cr, cx - r * 0.45, cy + r * 0.3);
            cairo_curve_to(cr, cx - r * 0.4, cy - r * 0.3, cx, cy - r * 0.7, cx + r * 0.2, cy - r * 0.95);
            cairo_move_to(cr, cx + r * 0.5, cy + r * 0.45);
            cairo_curve_to(cr, cx + r * 0.5, cy - r * 0.2, cx + r * 0.3, cy - r * 0.6, cx + r * 0.2, cy - r * 0.95);
            Stroke(cr, Hex(0x4f7a22), lw * 1.1);
            Leaf(cr, cx + r * 0.2, cy - r * 0.95, r * 0.55, r * 0.2, -0.2, kLeaf, lw * 0.7);
            for (int s = 0; s < 2; s++) {
                double x = s ? cx + r * 0.5 : cx - r * 0.45, y = s ? cy + r * 0.5 : cy + r * 0.35;
                cairo_arc(cr, x, y, r * 0.48, 0, 2 * PI);
                Shade(cr, c, x, y, r * 0.48, lw, 0.45, 0.3);
                Gloss(cr, x - r * 0.18, y - r * 0.18, r * 0.14, r * 0.08, -0.6, 0.85);
            }
            break;
        }
    }
}

void DrawEgg(cairo_t* cr, double cx, double cy, double rx, double ry) {
    Col shell = Hex(0xfff1d8);
    auto path = [&]() {
        cairo_move_to(cr, cx, cy - ry);
        cairo_curve_to(cr, cx + rx * 0.75, cy - ry, cx + rx, cy - ry * 0.1, cx + rx, cy + ry * 0.3);
        cairo_curve_to(cr, cx + rx, cy + ry * 0.8, cx + rx * 0.55, cy + ry, cx, cy + ry);
        cairo_curve_to(cr, cx - rx * 0.55, cy + ry, cx - rx, cy + ry * 0.8, cx - rx, cy + ry * 0.3);
        cairo_curve_to(cr, cx - rx, cy - ry * 0.1, cx - rx * 0.75, cy - ry, cx, cy - ry);
        cairo_close_path(cr);
    };
    path();
    Shade(cr, shell, cx, cy, std::max(rx, ry), std::max(1.0, rx * 0.12), 0.5, 0.2);
    cairo_save(cr);
    path();
    cairo_clip(cr);
    Rng rng(5);
    for (int i = 0; i < 12; i++) {
        double x = cx + rng.R(-rx, rx) * 0.85, y = cy + rng.R(-ry, ry) * 0.85;
        Ellipse(cr, x, y, rx * rng.R(0.07, 0.14), rx * rng.R(0.05, 0.1), rng.R(0, PI));
        FillCol(cr, Alpha(Hex(0x6bb5c9), 0.8));
    }
    cairo_restore(cr);
    Gloss(cr, cx - rx * 0.35, cy - ry * 0.4, rx * 0.25, ry * 0.2, -0.4, 0.85);
}

void DrawWormhole(cairo_t* cr, double cx, double cy, double r) {
    // Glow round it.
    cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, r * 0.7, cx, cy, r * 1.08);
    cairo_pattern_add_color_stop_rgba(g, 0, 0.8, 0.6, 1, 0.6);
    cairo_pattern_add_color_stop_rgba(g, 1, 0.8, 0.6, 1, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, cx, cy, r * 1.08, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_arc(cr, cx, cy, r * 0.92, 0, 2 * PI);
    g = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r * 0.92);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.06, 0.02, 0.14);
    cairo_pattern_add_color_stop_rgb(g, 0.45, 0.25, 0.08, 0.45);
    cairo_pattern_add_color_stop_rgb(g, 0.85, 0.55, 0.3, 0.85);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.75, 0.55, 0.98);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // Spiral arms turning into the middle.
    cairo_save(cr);
    cairo_arc(cr, cx, cy, r * 0.92, 0, 2 * PI);
    cairo_clip(cr);
    for (int arm = 0; arm < 5; arm++) {
        double a0 = arm * 2 * PI / 5;
        for (int k = 0; k < 2; k++) {
            cairo_new_path(cr);
            for (int i = 0; i <= 40; i++) {
                double t = i / 40.0, a = a0 + t * 3.4, d = r * (0.95 - 0.85 * t);
                double x = cx + d * cos(a), y = cy + d * sin(a);
                if (i == 0)
                    cairo_move_to(cr, x, y);
                else
                    cairo_line_to(cr, x, y);
            }
            if (k == 0)
                Stroke(cr, Col{0.95, 0.85, 1, 0.35}, r * 0.16);
            else
                Stroke(cr, Col{1, 1, 1, 0.55}, r * 0.05);
        }
    }
    cairo_restore(cr);
    cairo_arc(cr, cx, cy, r * 0.92, 0, 2 * PI);
    Stroke(cr, Hex(0x3b1466), r * 0.06);
    cairo_arc(cr, cx, cy, r * 0.86, 0, 2 * PI);
    Stroke(cr, Alpha(Hex(0xe6d2ff), 0.8), r * 0.03);
    Rng rng(3);
    for (int i = 0; i < 6; i++) {
        double a = rng.R(0, 2 * PI), d = rng.R(0.3, 0.8) * r;
        StarPath(cr, cx + d * cos(a), cy + d * sin(a), r * 0.07, r * 0.02, 4, 0);
        FillCol(cr, Col{1, 1, 1, 0.9});
    }
}

static void Moon(cairo_t* cr, double cx, double cy, double r) {
    Col c = Hex(0xffe27a);
    cairo_pattern_t* g = cairo_pattern_create_radial(cx, cy, r * 0.6, cx, cy, r * 1.05);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 0.95, 0.6, 0.45);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.95, 0.6, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, cx, cy, r * 1.05, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // A crescent: the disc minus a disc shifted to the upper right.
    // Outer arc of the disc the long way round, inner arc of the bite.
    double R = r * 0.85, bx = cx + r * 0.42, by = cy - r * 0.22, rb = r * 0.7;
    double d = hypot(bx - cx, by - cy), beta = atan2(by - cy, bx - cx);
    double alpha = acos((R * R - rb * rb + d * d) / (2 * d * R));
    double p2x = cx + R * cos(beta - alpha), p2y = cy + R * sin(beta - alpha);
    double p1x = cx + R * cos(beta + alpha), p1y = cy + R * sin(beta + alpha);
    cairo_arc(cr, cx, cy, R, beta + alpha, beta - alpha + 2 * PI);
    cairo_arc_negative(cr, bx, by, rb, atan2(p2y - by, p2x - bx), atan2(p1y - by, p1x - bx));
    cairo_close_path(cr);
    Shade(cr, c, cx - r * 0.3, cy, r, r * 0.06, 0.4, 0.2);
    // A sleepy face on the crescent.
    EyeClosed(cr, cx - r * 0.46, cy - r * 0.02, r * 0.2, r * 0.09, r * 0.05, Hex(0x7a5200));
    cairo_move_to(cr, cx - r * 0.48, cy + r * 0.3);
    cairo_curve_to(cr, cx - r * 0.4, cy + r * 0.4, cx - r * 0.3, cy + r * 0.4, cx - r * 0.24, cy + r * 0.34);
    Stroke(cr, Hex(0x7a5200), r * 0.05);
    Ellipse(cr, cx - r * 0.62, cy + r * 0.18, r * 0.09, r * 0.06);
    FillCol(cr, Alpha(Hex(0xff9b6a), 0.5));
    for (int i = 0; i < 3; i++) {
        double x = cx + r * (0.35 + 0.2 * i), y = cy + r * (0.2 + 0.22 * (i % 2)) + r * 0.2 * i;
        StarPath(cr, x, y, r * 0.09, r * 0.035, 4, 0);
        FillCol(cr, Hex(0xfff7c4));
    }
}

// An arrow pointing up, fitted into w x h.
static void ArrowUp(cairo_t* cr, double w, double h, Col c) {
    double m = w * 0.08;
    cairo_move_to(cr, w / 2, m);
    cairo_line_to(cr, w - m, h * 0.5);
    cairo_line_to(cr, w * 0.68, h * 0.5);
    cairo_line_to(cr, w * 0.68, h - m);
    cairo_line_to(cr, w * 0.32, h - m);
    cairo_line_to(cr, w * 0.32, h * 0.5);
    cairo_line_to(cr, m, h * 0.5);
    cairo_close_path(cr);
    ShadeV(cr, c, m, h - m, std::max(1.5, w * 0.06), 0.35, 0.2);
    Gloss(cr, w * 0.42, h * 0.3, w * 0.12, h * 0.06, -0.7, 0.7);
}

static void Rope(cairo_t* cr, int w, int h) {
    Col rope = Hex(0xd8b273);
    double x0 = w / 2.0 - 4, x1 = w / 2.0 + 4;
    cairo_rectangle(cr, x0, -2, x1 - x0, h + 4);
    cairo_pattern_t* g = cairo_pattern_create_linear(x0, 0, x1, 0);
    Col l = Lighter(rope, 0.3), d = Darker(rope, 0.3);
    cairo_pattern_add_color_stop_rgb(g, 0, d.r, d.g, d.b);
    cairo_pattern_add_color_stop_rgb(g, 0.35, l.r, l.g, l.b);
    cairo_pattern_add_color_stop_rgb(g, 1, d.r, d.g, d.b);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // Twisted strands: slanted grooves every 6 pixels, so that the tiles
    // drawn 0.93 rope-lengths apart overlap without a visible seam.
    cairo_save(cr);
    cairo_rectangle(cr, x0, 0, x1 - x0, h);
    cairo_clip(cr);
    for (double y = -8; y < h + 8; y += 6) {
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, x1, y + 5);
        Stroke(cr, Alpha(Darker(rope, 0.5), 0.6), 1.3);
        cairo_move_to(cr, x0, y + 2);
        cairo_line_to(cr, x1, y + 7);
        Stroke(cr, Alpha(Lighter(rope, 0.5), 0.5), 0.8);
    }
    cairo_restore(cr);
    cairo_move_to(cr, x0, 0);
    cairo_line_to(cr, x0, h);
    cairo_move_to(cr, x1, 0);
    cairo_line_to(cr, x1, h);
    Stroke(cr, Outline(rope), 1.2);
}

static void Mine(cairo_t* cr, double cx, double cy, double r) {
    Col pod = Hex(0x6b3d7a);
    int n = 10;
    for (int i = 0; i < n; i++) {
        double a = i * 2 * PI / n + 0.3;
        cairo_move_to(cr, cx + r * 0.8 * cos(a - 0.22), cy + r * 0.8 * sin(a - 0.22));
        cairo_line_to(cr, cx + r * 1.3 * cos(a), cy + r * 1.3 * sin(a));
        cairo_line_to(cr, cx + r * 0.8 * cos(a + 0.22), cy + r * 0.8 * sin(a + 0.22));
        cairo_close_path(cr);
        Shade(cr, Hex(0x9b6aa8), cx, cy, r * 1.3, 1.0, 0.3, 0.2);
    }
    cairo_arc(cr, cx, cy, r, 0, 2 * PI);
    Shade(cr, pod, cx, cy, r, 1.6, 0.35, 0.35);
    // Seams of a seed pod.
    for (int i = -1; i <= 1; i++) {
        cairo_move_to(cr, cx + i * r * 0.45, cy - r * 0.85);
        cairo_curve_to(cr, cx + i * r * 0.7, cy - r * 0.3, cx + i * r * 0.7, cy + r * 0.3, cx + i * r * 0.45,
                       cy + r * 0.85);
        Stroke(cr, Alpha(Darker(pod, 0.5), 0.5), 1.0);
    }
    Gloss(cr, cx - r * 0.35, cy - r * 0.4, r * 0.3, r * 0.15, -0.6, 0.6);
    // The fuse: a curled stem with a spark on its tip.
    cairo_move_to(cr, cx, cy - r * 0.95);
    cairo_curve_to(cr, cx + r * 0.1, cy - r * 1.3, cx + r * 0.4, cy - r * 1.25, cx + r * 0.5, cy - r * 1.45);
    Stroke(cr, Hex(0x4a3018), 2.0);
    StarPath(cr, cx + r * 0.52, cy - r * 1.48, r * 0.35, r * 0.14, 6, 0.2);
    Set(cr, Hex(0xffd040));
    cairo_fill_preserve(cr);
    Stroke(cr, Hex(0xe0601a), 1.0);
    cairo_arc(cr, cx + r * 0.52, cy - r * 1.48, r * 0.1, 0, 2 * PI);
    FillCol(cr, Col{1, 1, 0.9, 1});
}

static void Thorns(cairo_t* cr, int w, int h) {
    Col vine = Hex(0x4f6b2a), thorn = Hex(0xd6d0a6);
    Rng rng(11);
    double c = h / 2.0;
    auto y_at = [&](double x) { return c + sin(x * 0.09) * 2.5; };
    // Thorns first, so the vine covers their roots.
    for (double x = 6; x < w - 4; x += 7) {
        double y = y_at(x), up = ((int)(x / 7) % 2) ? -1 : 1, len = rng.R(9, 13), lean = rng.R(-3, 3);
        cairo_move_to(cr, x - 3, y);
        cairo_line_to(cr, x + lean, y + up * len);
        cairo_line_to(cr, x + 3, y);
        cairo_close_path(cr);
        Set(cr, thorn);
        cairo_fill_preserve(cr);
        Stroke(cr, Hex(0x5c3a1c), 1.0);
        cairo_arc(cr, x + lean, y + up * len, 1.1, 0, 2 * PI);
        FillCol(cr, Hex(0xb0242e));
    }
    for (int k = 0; k < 2; k++) {
        cairo_move_to(cr, 0, y_at(0));
        for (int x = 2; x <= w; x += 2) cairo_line_to(cr, x, y_at(x));
        if (k == 0)
            Stroke(cr, Outline(vine), 8);
        else
            Stroke(cr, vine, 5.5);
    }
    cairo_move_to(cr, 0, y_at(0) - 1.2);
    for (int x = 2; x <= w; x += 2) cairo_line_to(cr, x, y_at(x) - 1.2);
    Stroke(cr, Alpha(Lighter(vine, 0.4), 0.6), 1.4);
    for (int i = 0; i < 4; i++) {
        double x = 14 + i * 32 + rng.R(-4, 4);
        Leaf(cr, x, y_at(x), 11, 4, (i % 2 ? 0.6 : -0.6) + PI * (i % 2), Hex(0x6aa53a), 0.8);
    }
}

// ------------------------------------------------------------- blocks

// Cracks that grow with the damage frame: the same seed for every frame, so
// each frame keeps the cracks of the one before and adds more.
static void Cracks(cairo_t* cr, double x0, double y0, double w, double h, int frame, uint32_t seed, Col c) {
    Rng rng(seed);
    int per = 3;
    for (int i = 0; i < frame * per; i++) {
        double x = x0 + rng.R(0.1, 0.9) * w, y = y0 + rng.R(0.1, 0.9) * h;
        double a = rng.R(0, 2 * PI), len = rng.R(0.25, 0.45) * std::min(w, h) * (1 + 0.3 * (i / per));
        cairo_move_to(cr, x, y);
        for (int k = 0; k < 4; k++) {
            a += rng.R(-0.7, 0.7);
            x += cos(a) * len / 4;
            y += sin(a) * len / 4;
            cairo_line_to(cr, x, y);
        }
        Stroke(cr, Alpha(c, 0.85), 1.2 + 0.25 * (i / per));
    }
}

// The last frame is broken through: a jagged split right across the
// block's short side, dark in the gap and lit along one lip.
static void Split(cairo_t* cr, double x0, double y0, double w, double h, int frame, uint32_t seed) {
    if (frame < 3) return;
    Rng rng(seed * 13 + 5);
    bool across = w >= h;  // split the short way
    int n = 7;
    auto path = [&](double shift) {
        Rng r2 = rng;
        for (int i = 0; i <= n; i++) {
            double t = (double)i / n, j = r2.R(-0.12, 0.12);
            double x = across ? x0 + w * (0.5 + j) + shift : x0 + w * t;
            double y = across ? y0 + h * t : y0 + h * (0.5 + j) + shift;
            if (i == 0) cairo_move_to(cr, x, y);
            else cairo_line_to(cr, x, y);
        }
    };
    path(0);
    Stroke(cr, Col{0.12, 0.08, 0.05, 0.9}, 3.2);
    path(1.6);
    Stroke(cr, Col{1, 1, 1, 0.35}, 1);
}

// Knocks chips out of the corners for the last frames.
static void Chips(cairo_t* cr, double x0, double y0, double w, double h, int frame, uint32_t seed) {
    if (frame < 2) return;
    Rng rng(seed * 7 + 1);
    int n = frame == 2 ? 1 : 3;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    for (int i = 0; i < n; i++) {
        int corner = (int)(rng.F() * 4);
        double cx = corner % 2 ? x0 + w : x0, cy = corner / 2 ? y0 + h : y0, s = std::min(w, h) * rng.R(0.22, 0.32);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + (corner % 2 ? -s : s), cy + rng.R(-2, 2));
        cairo_line_to(cr, cx + (corner % 2 ? -s : s) * 0.4, cy + (corner / 2 ? -s : s) * 0.5);
        cairo_line_to(cr, cx + rng.R(-2, 2), cy + (corner / 2 ? -s : s));
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

static void Crate(cairo_t* cr, int w, int h, int frame) {
    Col wood = Hex(0xd29b58);
    double m = 1.5;
    RoundRect(cr, m, m, w - 2 * m, h - 2 * m, 3);
    Shade(cr, wood, w * 0.5, h * 0.5, w * 0.7, 1.6, 0.3, 0.2);
    // Planks and a diagonal brace.
    for (int i = 1; i < 3; i++) {
        cairo_move_to(cr, m + 3, h * i / 3.0);
        cairo_line_to(cr, w - m - 3, h * i / 3.0);
        Stroke(cr, Alpha(Darker(wood, 0.45), 0.6), 1);
    }
    RoundRect(cr, m + 1, m + 1, w - 2 * m - 2, h - 2 * m - 2, 2.5);
    Stroke(cr, Darker(wood, 0.25), 3);
    cairo_move_to(cr, m + 4, h - m - 4);
    cairo_line_to(cr, w - m - 4, m + 4);
    Stroke(cr, Outline(wood), 4.5);
    cairo_move_to(cr, m + 4, h - m - 4);
    cairo_line_to(cr, w - m - 4, m + 4);
    Stroke(cr, Lighter(wood, 0.1), 2.5);
    for (int i = 0; i < 4; i++) {
        cairo_arc(cr, i % 2 ? w - 5 : 5, i / 2 ? h - 5 : 5, 1.2, 0, 2 * PI);
        FillCol(cr, Hex(0x4a4f58));
    }
    Cracks(cr, m, m, w - 2 * m, h - 2 * m, frame, 101, Outline(wood));
    Split(cr, 0, 0, w, h, frame, 101);
    Chips(cr, 0, 0, w, h, frame, 101);
}

static void Stone(cairo_t* cr, int w, int h, int frame) {
    Col stone = Hex(0xa7b0b8);
    double m = 2;
    RoundRect(cr, m, m, w - 2 * m, h - 2 * m, 8);
    Shade(cr, stone, w * 0.45, h * 0.45, w * 0.75, 2.2, 0.35, 0.3);
    // Bevel: a lighter inner edge at the top left.
    RoundRect(cr, m + 5, m + 5, w - 2 * m - 10, h - 2 * m - 10, 5);
    Stroke(cr, Alpha(Lighter(stone, 0.5), 0.5), 2);
    Rng rng(23);
    for (int i = 0; i < 18; i++) {
        cairo_arc(cr, rng.R(m + 6, w - m - 6), rng.R(m + 6, h - m - 6), rng.R(0.8, 1.8), 0, 2 * PI);
        FillCol(cr, Alpha(Darker(stone, 0.35), 0.35));
    }
    // A patch of moss on top.
    Rng moss(5);
    for (int i = 0; i < 7; i++) {
        cairo_arc(cr, m + 8 + i * 4.5, m + 3 + moss.R(-1, 1.5), moss.R(2.5, 4), 0, 2 * PI);
        FillCol(cr, Mix(Hex(0x6fb545), Hex(0x8fd05a), moss.F()));
    }
    Cracks(cr, m, m, w - 2 * m, h - 2 * m, frame, 202, Outline(stone));
    Split(cr, 0, 0, w, h, frame, 202);
    Chips(cr, 0, 0, w, h, frame, 202);
}

static void Log(cairo_t* cr, int w, int h, int frame) {
    Col bark = Hex(0xeae4d6);
    double m = 2;
    RoundRect(cr, m, m, w - 2 * m, h - 2 * m, 6);
    cairo_pattern_t* g = cairo_pattern_create_linear(m, 0, w - m, 0);
    Col l = Lighter(bark, 0.4), d = Darker(bark, 0.25);
    cairo_pattern_add_color_stop_rgb(g, 0, d.r, d.g, d.b);
    cairo_pattern_add_color_stop_rgb(g, 0.35, l.r, l.g, l.b);
    cairo_pattern_add_color_stop_rgb(g, 1, d.r, d.g, d.b);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, Outline(Hex(0x9a8f78)), 2);
    // Birch marks.
    Rng rng(41);
    for (int i = 0; i < 12; i++) {
        double y = rng.R(m + 6, h - m - 6), x = rng.F() < 0.5 ? m + 1 : w - m - rng.R(6, 12);
        RoundRect(cr, x, y, rng.R(5, 11), rng.R(1.5, 3), 1);
        FillCol(cr, Alpha(Hex(0x2e2a26), 0.8));
    }
    // The top is cut: tree rings.
    Ellipse(cr, w / 2.0, m + 5, w / 2.0 - m - 1, 4);
    Set(cr, Hex(0xe9c48c));
    cairo_fill_preserve(cr);
    Stroke(cr, Hex(0x8a6a40), 1.2);
    Ellipse(cr, w / 2.0, m + 5, (w / 2.0 - m) * 0.5, 2);
    Stroke(cr, Alpha(Hex(0x8a6a40), 0.6), 0.8);
    Cracks(cr, m, m, w - 2 * m, h - 2 * m, frame, 303, Hex(0x5d4a30));
    Split(cr, 0, 0, w, h, frame, 303);
    Chips(cr, 0, 0, w, h, frame, 303);
}

void ArtActors(Gen& g) {
    g.Section("Pegs, platform and walls",
              "Circle sizes are the physical circle the picture was drawn around; radius in pixels\n"
              "(30 px = 1 m).");
    g.Png("actors/gfx/peg.png", 44, 44, "static peg: sawn branch end, bark rim, tree rings",
          "GRABBABLE peg; circle radius 20 px (0.67 m)",
          [](cairo_t* cr, int w, int h) { DrawPeg(cr, w / 2.0, h / 2.0, 20); });
    g.Png("actors/gfx/peg-small.png", 32, 32, "small static peg (same look)", "circle radius 14 px (0.47 m)",
          [](cairo_t* cr, int w, int h) { DrawPeg(cr, w / 2.0, h / 2.0, 14); });
    g.Png("actors/gfx/peg-rotating.png", 60, 60, "rotating peg: a sunflower whose petals show the turning",
          "ROTATE peg; circle radius 22 px (0.73 m), petals reach 28",
          [](cairo_t* cr, int w, int h) { Sunflower(cr, w / 2.0, h / 2.0, 28); });
    g.Png("actors/gfx/peg-wheel.png", 56, 56, "free-spinning peg: a wooden cart wheel with spokes",
          "ROTATE_FREE peg; circle radius 26 px (0.87 m)",
          [](cairo_t* cr, int w, int h) { CartWheel(cr, w / 2.0, h / 2.0, 26); });
    g.Png("actors/gfx/peg-slippery.png", 44, 44, "slippery peg: a ball of ice with frost and glints",
          "SLIPPERY peg; circle radius 20 px (0.67 m)",
          [](cairo_t* cr, int w, int h) { IceBall(cr, w / 2.0, h / 2.0, 20); });
    g.Png("actors/gfx/peg-non-stick.png", 52, 52, "non-stick peg: a red burr with cream spikes",
          "NON_STICK peg; circle radius 18 px (0.6 m), spikes reach 25",
          [](cairo_t* cr, int w, int h) { BurrBall(cr, w / 2.0, h / 2.0, 18, 25); });
    g.Png("actors/gfx/platform-moving.png", 160, 32, "moving platform: a wooden plank with leaves and nails",
          "MOVE / MOVE_LIMIT platform; rectangle 156x22 px (5.2 x 0.73 m), centred", [](cairo_t* cr, int w, int h) {
              Col wood = Hex(0xc98f52);
              RoundRect(cr, 2, 5, w - 4, 22, 8);
              ShadeV(cr, wood, 5, 27, 2, 0.35, 0.25);
              Rng rng(13);
              for (int i = 0; i < 5; i++) {
                  double y = 10 + i * 3.4 + rng.R(-1, 1);
                  cairo_move_to(cr, 10 + rng.R(0, 20), y);
                  cairo_curve_to(cr, 50, y + rng.R(-2, 2), 100, y + rng.R(-2, 2), w - 10 - rng.R(0, 20), y);
                  Stroke(cr, Alpha(Darker(wood, 0.35), 0.35), 1);
              }
              for (int i = 0; i < 2; i++) {
                  double x = i ? w - 14 : 14;
                  cairo_arc(cr, x, 16, 2.2, 0, 2 * PI);
                  Shade(cr, Hex(0x9aa3ad), x, 16, 2.2, 0.8);
              }
              GrassTuft(cr, 40, 7, 7, 5, Hex(0x5fae3a), rng);
              GrassTuft(cr, 112, 7, 6, 4, Hex(0x5fae3a), rng);
              Leaf(cr, 6, 24, 14, 5, 2.2, Hex(0x6cbf45), 0.9);
              Leaf(cr, w - 8, 24, 15, 5, 1.1, Hex(0x6cbf45), 0.9);
              Leaf(cr, w - 20, 26, 11, 4, 1.6, Hex(0x8ad456), 0.8);
          });
    g.Png("actors/gfx/wall.png", 64, 64, "wall tile: a mossy garden stone, moss and grass on its left face",
          "SIDE_WALL `wall`: the size sets the tiling (tiles every 32 px, centred 16 px inside the bounds; "
          "at angle 0 it is the right wall and its left face looks into the world)",
          [](cairo_t* cr, int w, int h) {
              Col stone = Hex(0xb4a892);
              RoundRect(cr, 2, 1, w - 3, h - 2, 14);
              Shade(cr, stone, w * 0.4, h * 0.4, w * 0.8, 2, 0.3, 0.3);
              Rng rng(77);
              for (int i = 0; i < 26; i++) {
                  cairo_arc(cr, rng.R(8, w - 6), rng.R(6, h - 6), rng.R(0.8, 2.2), 0, 2 * PI);
                  FillCol(cr, Alpha(Darker(stone, 0.4), 0.3));
              }
              for (int i = 0; i < 3; i++) {
                  cairo_move_to(cr, rng.R(20, 50), rng.R(8, 56));
                  cairo_rel_line_to(cr, rng.R(-8, 8), rng.R(4, 10));
                  cairo_rel_line_to(cr, rng.R(-6, 6), rng.R(3, 8));
                  Stroke(cr, Alpha(Outline(stone), 0.5), 1.1);
              }
              // Moss along the inner face, grass leaning into the world.
              for (int i = 0; i < 10; i++) {
                  double y = 4 + i * 6.4;
                  cairo_arc(cr, 7 + rng.R(-1.5, 1.5), y, rng.R(4, 6), 0, 2 * PI);
                  FillCol(cr, Mix(Hex(0x5ea83a), Hex(0x86cd55), rng.F()));
              }
              cairo_save(cr);
              cairo_translate(cr, 6, h / 2.0);
              cairo_rotate(cr, -PI / 2);
              for (int i = 0; i < 5; i++) GrassTuft(cr, -26 + i * 13, 0, 9, 4, Hex(0x4f9a30), rng);
              cairo_restore(cr);
          });

    g.Section("Fruit, eggs and targets");
    g.Png("actors/gfx/fruit-1.png", 40, 40, "red apple with a leaf",
          "REQUIRED_TARGET fruit; circle radius 15 px (0.5 m)",
          [](cairo_t* cr, int w, int h) { DrawFruit(cr, w / 2.0, h / 2.0 + 1, 15, 1); });
    g.Png("actors/gfx/fruit-2.png", 40, 40, "strawberry", "fruit; circle radius 15 px (0.5 m)",
          [](cairo_t* cr, int w, int h) { DrawFruit(cr, w / 2.0, h / 2.0 + 1, 15, 2); });
    g.Png("actors/gfx/fruit-3.png", 40, 40, "orange with a leaf", "fruit; circle radius 15 px (0.5 m)",
          [](cairo_t* cr, int w, int h) { DrawFruit(cr, w / 2.0, h / 2.0 + 1, 15, 3); });
    g.Png("actors/gfx/fruit-4.png", 40, 40, "a pair of cherries", "fruit; circle radius 15 px (0.5 m)",
          [](cairo_t* cr, int w, int h) { DrawFruit(cr, w / 2.0, h / 2.0 + 1, 15, 4); });
    g.Png("actors/gfx/egg.png", 32, 40, "speckled cream egg",
          "REQUIRED_TARGET egg; circle radius 14 px or an egg polygon 26x34",
          [](cairo_t* cr, int w, int h) { DrawEgg(cr, w / 2.0, h / 2.0, 13, 17); });
    g.Png("actors/gfx/bonus-target.png", 48, 48, "bonus target: gold coin with an embossed star and glints",
          "BONUS_TARGET; circle radius 20 px (0.67 m)", [](cairo_t* cr, int w, int h) {
              double c = w / 2.0, r = 20;
              cairo_arc(cr, c, c, r, 0, 2 * PI);
              Shade(cr, Hex(0xf6c531), c, c, r, 2, 0.5, 0.3);
              cairo_arc(cr, c, c, r * 0.78, 0, 2 * PI);
              Stroke(cr, Alpha(Hex(0xa86d00), 0.6), 1.5);
              StarPath(cr, c, c + 1, r * 0.55, r * 0.25, 5);
              Shade(cr, Hex(0xffde5c), c, c, r * 0.55, 1.2, 0.5, 0.2);
              Gloss(cr, c - 7, c - 9, 7, 3.5, -0.6, 0.8);
              StarPath(cr, c + 15, c - 14, 5, 1.2, 4, 0);
              FillCol(cr, Col{1, 1, 1, 0.95});
          });
    g.Png("actors/gfx/wormhole.png", 112, 112, "worm hole: a violet swirl with a glowing rim",
          "WORM_HOLE exit; circle radius 46 px (1.5 m); the end bug sits on its top half",
          [](cairo_t* cr, int w, int h) { DrawWormhole(cr, w / 2.0, h / 2.0, 52); });
    g.Png("actors/gfx/moon.png", 96, 96, "moon exit: a sleepy crescent moon with little stars",
          "MOON, EXIT; circle radius 40 px (1.33 m)",
          [](cairo_t* cr, int w, int h) { Moon(cr, w / 2.0, h / 2.0, 46); });
    g.Png("actors/gfx/wormhole_arrow.png", 56, 56, "chunky orange arrow pointing up",
          "off-screen goal arrow (HUD, rotated; up = angle 0)",
          [](cairo_t* cr, int w, int h) { ArrowUp(cr, w, h, Hex(0xffa733)); });
    g.Png("actors/gfx/arrow.png", 32, 40, "small green arrow pointing up", "direction hint (up = angle 0)",
          [](cairo_t* cr, int w, int h) { ArrowUp(cr, w, h, Hex(0x7cd24b)); });
    g.Png("actors/gfx/rope.png", 12, 66, "a piece of twisted rope, vertical",
          "tiled down from the top of the world to the worm hole every 0.93 x 66 px", Rope);

    g.Section("Hazards (not bugs)");
    g.Png("actors/gfx/mine.png", 40, 40, "mine: a purple seed pod with spikes and a burning fuse",
          "HAZARD_MINE; circle radius 13 px (0.43 m); the game swells it to 1.5x",
          [](cairo_t* cr, int w, int h) { Mine(cr, w / 2.0, h / 2.0 + 3, 12); });
    g.Png("actors/gfx/bug-ammo.png", 20, 20, "ammunition: a small spiky seed",
          "HAZARD_AMMO `bug-ammo`; circle radius 6 px (0.2 m)", [](cairo_t* cr, int w, int h) {
              double c = w / 2.0;
              for (int i = 0; i < 7; i++) {
                  double a = i * 2 * PI / 7;
                  cairo_move_to(cr, c + 5 * cos(a - 0.35), c + 5 * sin(a - 0.35));
                  cairo_line_to(cr, c + 9.3 * cos(a), c + 9.3 * sin(a));
                  cairo_line_to(cr, c + 5 * cos(a + 0.35), c + 5 * sin(a + 0.35));
                  cairo_close_path(cr);
                  Shade(cr, Hex(0xc7e06a), c, c, 9, 0.8, 0.2, 0.2);
              }
              cairo_arc(cr, c, c, 6, 0, 2 * PI);
              Shade(cr, Hex(0x6f9a2a), c, c, 6, 1.2);
              Gloss(cr, c - 2, c - 2.5, 2.2, 1.2, -0.6, 0.8);
          });
    g.Png("actors/gfx/thorns.png", 128, 32, "thorns: a bramble vine with pale thorns and red tips",
          "IMMORTAL hazard strip; rectangle 128x18 px (4.3 x 0.6 m)", Thorns);

    g.Section("Destroyable blocks",
              "Bitmap sequences of four damage frames (intact, cracked, chipped, broken); the game picks\n"
              "the frame from the hit points left. Built from numbered frames by kodo-bms-build.");
    g.Seq("actors/gfx/block-small.bms", 32, 32, 4, "small wooden crate, cracking",
          "DESTROYABLE_BLOCK_SMALL; rectangle 30x30 px (1 m)",
          [](cairo_t* cr, int w, int h, int f) { Crate(cr, w, h, f); });
    g.Seq("actors/gfx/block-big.bms", 64, 64, 4, "big mossy stone block, cracking",
          "DESTROYABLE_BLOCK_BIG; rectangle 60x60 px (2 m)",
          [](cairo_t* cr, int w, int h, int f) { Stone(cr, w, h, f); });
    g.Seq("actors/gfx/block-long.bms", 32, 128, 4, "long birch log standing upright, cracking",
          "DESTROYABLE_BLOCK_LONG; rectangle 28x124 px (0.93 x 4.1 m), long side vertical at angle 0",
          [](cairo_t* cr, int w, int h, int f) { Log(cr, w, h, f); });

    g.Section("Tutorial marks");
    // The hint "Swing Me!" goes beside the ring, wherever it hides least.
    g.Png("actors/gfx/tutorial-circle-worm.png", 72, 72, "dashed golden ring with a soft glow",
          "drawn round the worm's ends (1:1 world pixels)", [](cairo_t* cr, int w, int h) {
              double c = w / 2.0;
              cairo_pattern_t* p = cairo_pattern_create_radial(c, c, 24, c, c, 35);
              cairo_pattern_add_color_stop_rgba(p, 0, 1, 0.9, 0.4, 0);
              cairo_pattern_add_color_stop_rgba(p, 0.5, 1, 0.9, 0.4, 0.45);
              cairo_pattern_add_color_stop_rgba(p, 1, 1, 0.9, 0.4, 0);
              cairo_set_source(cr, p);
              cairo_arc(cr, c, c, 35, 0, 2 * PI);
              cairo_fill(cr);
              cairo_pattern_destroy(p);
              double dash[2] = {9, 5};
              cairo_set_dash(cr, dash, 2, 0);
              cairo_arc(cr, c, c, 29, 0, 2 * PI);
              Stroke(cr, Hex(0x9a6a00), 5);
              cairo_arc(cr, c, c, 29, 0, 2 * PI);
              Stroke(cr, Hex(0xffe066), 3);
              cairo_set_dash(cr, nullptr, 0, 0);
          });
    g.Png("actors/gfx/tutorial-circle-other.png", 96, 96, "dashed white-green ring with a soft glow",
          "drawn round fruit, hazards and the worm hole (1:1 world pixels)", [](cairo_t* cr, int w, int h) {
              double c = w / 2.0;
              cairo_pattern_t* p = cairo_pattern_create_radial(c, c, 34, c, c, 47);
              cairo_pattern_add_color_stop_rgba(p, 0, 0.7, 1, 0.6, 0);
              cairo_pattern_add_color_stop_rgba(p, 0.5, 0.7, 1, 0.6, 0.45);
              cairo_pattern_add_color_stop_rgba(p, 1, 0.7, 1, 0.6, 0);
              cairo_set_source(cr, p);
              cairo_arc(cr, c, c, 47, 0, 2 * PI);
              cairo_fill(cr);
              cairo_pattern_destroy(p);
              double dash[2] = {11, 6};
              cairo_set_dash(cr, dash, 2, 0);
              cairo_arc(cr, c, c, 40, 0, 2 * PI);
              Stroke(cr, Hex(0x2f7a2a), 5);
              cairo_arc(cr, c, c, 40, 0, 2 * PI);
              Stroke(cr, Hex(0xeaffd8), 3);
              cairo_set_dash(cr, nullptr, 0, 0);
          });
}

}  // namespace art
