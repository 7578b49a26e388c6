// The bugs: the flying bug, the shooting bug, the homing bug, the greedy end
// bug and the boss, with their poses, the boss's wings and health bar. Every
// bug faces left; the game mirrors it when it flies right.
#include <math.h>

#include "gen.h"

namespace art {

enum Pose { kIdle = 0, kBlink = 1, kHappy = 2, kDead = 3, kOuch = 4, kShoot = 5 };

static const Col kInk = Hex(0x1f1430);

// Two eyes, the near one (x0) larger, both looking left.
static void BugEyes(cairo_t* cr, double x0, double y0, double x1, double y1, double s, int pose, bool angry) {
    double lw = std::max(1.0, s * 0.32);
    struct E {
        double x, y, k;
    } eyes[2] = {{x1, y1, 0.85}, {x0, y0, 1.0}};
    for (const E& e : eyes) {
        double rx = s * e.k, ry = s * 1.2 * e.k;
        switch (pose) {
            case kBlink:
                EyeClosed(cr, e.x, e.y, rx * 2, ry * 0.5, lw, kInk);
                break;
            case kHappy:
                EyeHappy(cr, e.x, e.y, rx * 2, lw, kInk);
                break;
            case kDead:
                EyeCross(cr, e.x, e.y, rx * 0.75, lw, kInk);
                break;
            case kOuch:
                EyeSqueeze(cr, e.x, e.y, rx * 0.8, lw, e.x < (x0 + x1) / 2, kInk);
                break;
            default:
                EyeOpen(cr, e.x, e.y, rx, ry, -0.55, angry ? 0.2 : 0.1, 0.55, kInk);
                break;
        }
        if (angry && pose != kDead && pose != kOuch)
            Brow(cr, e.x - rx * 1.1, e.y - ry * 1.35, e.x + rx * 1.0, e.y - ry * 0.8, lw * 1.2, kInk);
    }
}

static void Antenna(cairo_t* cr, double x, double y, double dx, double dy, double s, Col tip) {
    cairo_move_to(cr, x, y);
    cairo_curve_to(cr, x + dx * 0.2, y + dy * 0.6, x + dx * 0.6, y + dy, x + dx, y + dy);
    Stroke(cr, kInk, std::max(1.0, s * 0.12));
    cairo_arc(cr, x + dx, y + dy, s * 0.22, 0, 2 * PI);
    Shade(cr, tip, x + dx, y + dy, s * 0.22, std::max(0.8, s * 0.07));
}

static void Wing(cairo_t* cr, double x, double y, double len, double wid, double angle, double alpha) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, 0, 0);
    cairo_curve_to(cr, len * 0.2, -wid, len * 0.85, -wid * 1.1, len, -wid * 0.2);
    cairo_curve_to(cr, len * 1.02, wid * 0.4, len * 0.5, wid * 0.5, 0, 0);
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, -wid, len, wid);
    cairo_pattern_add_color_stop_rgba(g, 0, 0.85, 0.95, 1, alpha);
    cairo_pattern_add_color_stop_rgba(g, 1, 0.6, 0.8, 1, alpha * 0.7);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, Col{0.25, 0.35, 0.55, 0.85}, std::max(0.8, wid * 0.09));
    for (int i = 0; i < 3; i++) {
        cairo_move_to(cr, len * 0.08, 0);
        cairo_curve_to(cr, len * 0.4, -wid * (0.2 + 0.25 * i), len * 0.7, -wid * (0.25 + 0.2 * i),
                       len * (0.85 - 0.1 * i), -wid * (0.35 + 0.15 * i));
        Stroke(cr, Col{0.35, 0.5, 0.75, 0.45}, std::max(0.6, wid * 0.05));
    }
    Gloss(cr, len * 0.45, -wid * 0.45, len * 0.2, wid * 0.12, -0.1, 0.7);
    cairo_restore(cr);
}

static void BugMouth(cairo_t* cr, double x, double y, double s, int pose) {
    double lw = std::max(1.0, s * 0.12);
    switch (pose) {
        case kHappy:
            cairo_move_to(cr, x - s * 0.45, y - s * 0.1);
            cairo_curve_to(cr, x - s * 0.35, y + s * 0.5, x + s * 0.35, y + s * 0.5, x + s * 0.45, y - s * 0.1);
            cairo_close_path(cr);
            Set(cr, Hex(0x5a1020));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            break;
        case kDead:
            cairo_move_to(cr, x - s * 0.35, y);
            cairo_line_to(cr, x + s * 0.35, y);
            Stroke(cr, kInk, lw);
            Ellipse(cr, x + s * 0.1, y + s * 0.18, s * 0.14, s * 0.2);
            Set(cr, Hex(0xff7a93));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw * 0.7);
            break;
        case kOuch:
            Ellipse(cr, x, y + s * 0.05, s * 0.22, s * 0.3);
            Set(cr, Hex(0x5a1020));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            break;
        default:
            cairo_move_to(cr, x - s * 0.3, y);
            cairo_curve_to(cr, x - s * 0.15, y + s * 0.2, x + s * 0.1, y + s * 0.2, x + s * 0.25, y - s * 0.02);
            Stroke(cr, kInk, lw);
            break;
    }
}

void DrawFlyingBug(cairo_t* cr, double cx, double cy, double r, int pose) {
    // A round violet beetle, head to the left, with see-through wings.
    Col shell = Hex(0x9067d8), head = Hex(0x6c4fb0);
    double s = r / 15.0, lw = std::max(1.0, 1.5 * s);
    bool dead = pose == kDead;
    // Legs.
    for (int i = 0; i < 3; i++) {
        double x = cx - 4 * s + i * 6 * s;
        cairo_move_to(cr, x, cy + 9 * s);
        cairo_line_to(cr, x - 2 * s, cy + 15 * s);
        cairo_line_to(cr, x - 4.5 * s, cy + 15.5 * s);
        Stroke(cr, kInk, 1.6 * s);
    }
    if (!dead) Wing(cr, cx + 4 * s, cy - 8 * s, 16 * s, 6 * s, -1.9, 0.55);
    Ellipse(cr, cx + 3 * s, cy + 1 * s, 14 * s, 12 * s);
    Shade(cr, shell, cx + 3 * s, cy, 14 * s, lw);
    for (int i = 0; i < 4; i++) {
        double a = 0.6 + i * 1.3;
        cairo_arc(cr, cx + 5 * s + 7 * s * cos(a), cy + 1 * s + 6 * s * sin(a), 2 * s, 0, 2 * PI);
        FillCol(cr, Alpha(Lighter(shell, 0.45), 0.8));
    }
    Gloss(cr, cx + 1 * s, cy - 7 * s, 5 * s, 2.4 * s, -0.3, 0.7);
    Antenna(cr, cx - 9 * s, cy - 8 * s, -5 * s, -9 * s, 6 * s, Hex(0xffd447));
    Antenna(cr, cx - 5 * s, cy - 9 * s, 1 * s, -10 * s, 6 * s, Hex(0xffd447));
    cairo_arc(cr, cx - 8 * s, cy - 1 * s, 9.5 * s, 0, 2 * PI);
    Shade(cr, head, cx - 8 * s, cy - 1 * s, 9.5 * s, lw);
    if (dead)
        Wing(cr, cx + 8 * s, cy - 4 * s, 14 * s, 5 * s, -0.4, 0.5);
    else
        Wing(cr, cx + 6 * s, cy - 8 * s, 18 * s, 6.5 * s, -1.4, 0.6);
    BugEyes(cr, cx - 12 * s, cy - 4 * s, cx - 4.5 * s, cy - 5 * s, 3.4 * s, pose, false);
    BugMouth(cr, cx - 10 * s, cy + 4.5 * s, 6 * s, pose);
}

static void ShootingBug(cairo_t* cr, double cx, double cy, double r, int pose) {
    // A striped wasp with a blowpipe nose.
    Col body = Hex(0xf6b02c), head = Hex(0xf39a1e);
    double s = r / 15.0, lw = std::max(1.0, 1.5 * s);
    bool dead = pose == kDead;
    if (!dead) Wing(cr, cx + 4 * s, cy - 8 * s, 17 * s, 6 * s, -1.9, 0.55);
    // Abdomen with stripes and a small sting.
    cairo_move_to(cr, cx + 18 * s, cy + 3 * s);
    cairo_line_to(cr, cx + 24 * s, cy + 6 * s);
    cairo_line_to(cr, cx + 17 * s, cy + 8 * s);
    cairo_close_path(cr);
    Shade(cr, Hex(0x50433a), cx + 20 * s, cy + 5 * s, 4 * s, 1);
    Ellipse(cr, cx + 5 * s, cy + 3 * s, 14 * s, 11 * s, 0.15);
    Shade(cr, body, cx + 5 * s, cy + 2 * s, 14 * s, lw);
    cairo_save(cr);
    Ellipse(cr, cx + 5 * s, cy + 3 * s, 13.2 * s, 10.2 * s, 0.15);
    cairo_clip(cr);
    for (int i = 0; i < 3; i++) {
        double x = cx + 2 * s + i * 6 * s;
        cairo_move_to(cr, x, cy - 12 * s);
        cairo_curve_to(cr, x + 2 * s, cy - 2 * s, x + 2 * s, cy + 6 * s, x, cy + 16 * s);
        Stroke(cr, Hex(0x3a2a22), 2.6 * s);
    }
    cairo_restore(cr);
    Gloss(cr, cx + 3 * s, cy - 5 * s, 5 * s, 2.2 * s, -0.2, 0.6);
    Antenna(cr, cx - 9 * s, cy - 9 * s, -3 * s, -8 * s, 6 * s, Hex(0x3a2a22));
    // The blowpipe, pointing left.
    RoundRect(cr, cx - 26 * s, cy - 1 * s, 12 * s, 6 * s, 2.5 * s);
    ShadeV(cr, Hex(0xc0c6cf), cy - 1 * s, cy + 5 * s, lw, 0.5, 0.3);
    Ellipse(cr, cx - 25.5 * s, cy + 2 * s, 1.6 * s, 2.4 * s);
    FillCol(cr, kInk);
    cairo_arc(cr, cx - 9 * s, cy - 1 * s, 9 * s, 0, 2 * PI);
    Shade(cr, head, cx - 9 * s, cy - 1 * s, 9 * s, lw);
    if (dead)
        Wing(cr, cx + 8 * s, cy - 4 * s, 14 * s, 5 * s, -0.4, 0.5);
    else
        Wing(cr, cx + 6 * s, cy - 8 * s, 18 * s, 6.5 * s, -1.35, 0.6);
    BugEyes(cr, cx - 12.5 * s, cy - 4.5 * s, cx - 5 * s, cy - 5.5 * s, 3.2 * s, pose, false);
    if (pose == kHappy || pose == kDead) BugMouth(cr, cx - 8 * s, cy + 5 * s, 5 * s, pose);
}

static void HomingBug(cairo_t* cr, double cx, double cy, double r, int pose) {
    // A red hornet with angry brows and a long sting.
    Col body = Hex(0xe2483c), head = Hex(0xc9342c);
    double s = r / 15.0, lw = std::max(1.0, 1.5 * s);
    bool dead = pose == kDead;
    if (!dead) Wing(cr, cx + 3 * s, cy - 8 * s, 17 * s, 6 * s, -2.0, 0.5);
    cairo_move_to(cr, cx + 16 * s, cy + 2 * s);
    cairo_line_to(cr, cx + 25 * s, cy + 8 * s);
    cairo_line_to(cr, cx + 14 * s, cy + 8 * s);
    cairo_close_path(cr);
    Shade(cr, Hex(0x2e2430), cx + 19 * s, cy + 5 * s, 5 * s, 1);
    Ellipse(cr, cx + 4 * s, cy + 3 * s, 13.5 * s, 11 * s, 0.2);
    Shade(cr, body, cx + 4 * s, cy + 2 * s, 13.5 * s, lw);
    cairo_save(cr);
    Ellipse(cr, cx + 4 * s, cy + 3 * s, 12.6 * s, 10.2 * s, 0.2);
    cairo_clip(cr);
    for (int i = 0; i < 2; i++) {
        double x = cx + 4 * s + i * 7 * s;
        cairo_move_to(cr, x, cy - 12 * s);
        cairo_curve_to(cr, x + 2 * s, cy - 2 * s, x + 2 * s, cy + 6 * s, x, cy + 16 * s);
        Stroke(cr, Hex(0x2e2430), 2.6 * s);
    }
    cairo_restore(cr);
    Gloss(cr, cx + 2 * s, cy - 5 * s, 5 * s, 2.2 * s, -0.2, 0.6);
    Antenna(cr, cx - 10 * s, cy - 8 * s, -6 * s, -6 * s, 6 * s, Hex(0x2e2430));
    Antenna(cr, cx - 6 * s, cy - 9 * s, -1 * s, -9 * s, 6 * s, Hex(0x2e2430));
    cairo_arc(cr, cx - 8 * s, cy - 1 * s, 9.5 * s, 0, 2 * PI);
    Shade(cr, head, cx - 8 * s, cy - 1 * s, 9.5 * s, lw);
    if (dead)
        Wing(cr, cx + 8 * s, cy - 4 * s, 14 * s, 5 * s, -0.4, 0.5);
    else
        Wing(cr, cx + 5 * s, cy - 8 * s, 18 * s, 6.5 * s, -1.45, 0.55);
    BugEyes(cr, cx - 12 * s, cy - 3 * s, cx - 4.5 * s, cy - 4 * s, 3.3 * s, pose, pose != kBlink);
    if (pose == kHappy) {
        // A wicked grin with teeth.
        double x = cx - 9 * s, y = cy + 5 * s;
        cairo_move_to(cr, x - 5 * s, y - 1 * s);
        cairo_curve_to(cr, x - 3 * s, y + 4 * s, x + 3 * s, y + 4 * s, x + 5 * s, y - 1.5 * s);
        cairo_close_path(cr);
        Set(cr, Col{1, 1, 1, 1});
        cairo_fill_preserve(cr);
        Stroke(cr, kInk, 1.2 * s);
        for (int i = -1; i <= 1; i++) {
            cairo_move_to(cr, x + i * 2.5 * s, y - 0.8 * s);
            cairo_line_to(cr, x + i * 2.5 * s, y + 2.3 * s);
            Stroke(cr, kInk, 0.8 * s);
        }
    } else if (pose == kDead) {
        BugMouth(cr, cx - 9 * s, cy + 5 * s, 5 * s, kDead);
    } else {
        // A frown.
        double x = cx - 9 * s, y = cy + 6 * s;
        cairo_move_to(cr, x - 3.5 * s, y + 1 * s);
        cairo_curve_to(cr, x - 1.5 * s, y - 1.5 * s, x + 1.5 * s, y - 1.5 * s, x + 3.5 * s, y + 1 * s);
        Stroke(cr, kInk, 1.3 * s);
    }
}

// The greedy end bug, and the boss that shares its poses: a chubby teal
// beetle with a big toothy mouth.
static void EndBug(cairo_t* cr, double cx, double cy, double r, int pose, bool boss) {
    Col shell = boss ? Hex(0x3d9a8c) : Hex(0x41b39f), belly = Hex(0xfbe6a0);
    double s = r / 30.0, lw = std::max(1.0, 2.2 * s);
    // Stubby feet.
    for (int i = 0; i < 2; i++) {
        double x = cx - 8 * s + i * 18 * s;
        Ellipse(cr, x, cy + 28 * s, 7 * s, 4 * s);
        Shade(cr, Darker(shell, 0.3), x, cy + 28 * s, 7 * s, lw * 0.8);
    }
    cairo_arc(cr, cx, cy, 29 * s, 0, 2 * PI);
    Shade(cr, shell, cx, cy, 29 * s, lw);
    // Shell seam and a belly patch on the face side.
    cairo_move_to(cr, cx + 2 * s, cy - 28 * s);
    cairo_curve_to(cr, cx + 14 * s, cy - 10 * s, cx + 16 * s, cy + 10 * s, cx + 10 * s, cy + 26 * s);
    Stroke(cr, Alpha(Outline(shell), 0.55), 1.6 * s);
    Ellipse(cr, cx - 8 * s, cy + 10 * s, 17 * s, 14 * s, -0.2);
    Shade(cr, belly, cx - 8 * s, cy + 8 * s, 17 * s, 0, 0.3, 0.15);
    for (int i = 0; i < 5; i++) {
        double a = -1.2 + i * 0.6;
        cairo_arc(cr, cx + 14 * s + 9 * s * cos(a), cy - 4 * s + 12 * s * sin(a), 2.4 * s, 0, 2 * PI);
        FillCol(cr, Alpha(Lighter(shell, 0.4), 0.7));
    }
    Gloss(cr, cx - 9 * s, cy - 17 * s, 10 * s, 5 * s, -0.5, 0.65);
    Antenna(cr, cx - 10 * s, cy - 25 * s, -10 * s, -4 * s, 10 * s, Hex(0xff7a59));
    Antenna(cr, cx - 2 * s, cy - 28 * s, 3 * s, -4 * s, 10 * s, Hex(0xff7a59));
    // Eyes.
    double ex0 = cx - 17 * s, ey0 = cy - 9 * s, ex1 = cx - 4 * s, ey1 = cy - 11 * s;
    if (pose == kShoot) {
        BugEyes(cr, ex0, ey0, ex1, ey1, 5 * s, kIdle, true);
    } else {
        BugEyes(cr, ex0, ey0, ex1, ey1, 5 * s, pose, boss);
    }
    if (boss && pose != kDead && pose != kOuch) {
        // Red glints in the boss's eyes.
        cairo_arc(cr, ex0 - 2.2 * s, ey0 + 1 * s, 1.4 * s, 0, 2 * PI);
        cairo_arc(cr, ex1 - 1.8 * s, ey1 + 1 * s, 1.2 * s, 0, 2 * PI);
        FillCol(cr, Alpha(Hex(0xff3030), pose == kBlink ? 0 : 0.8));
    }
    // Mouth.
    double mx = cx - 9 * s, my = cy + 9 * s;
    switch (pose) {
        case kDead:
            BugMouth(cr, mx, my, 12 * s, kDead);
            break;
        case kOuch:
            Ellipse(cr, mx, my + 2 * s, 6 * s, 7 * s);
            Set(cr, Hex(0x5a1020));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            break;
        case kShoot: {
            // Cheeks puffed, lips pursed to spit.
            for (int i = 0; i < 2; i++) {
                cairo_arc(cr, mx + (i ? 9 : -7) * s, my - 1 * s, 6 * s, 0, 2 * PI);
                Shade(cr, Lighter(belly, 0.1), mx, my, 8 * s, 0, 0.3, 0.1);
            }
            Ellipse(cr, mx - 12 * s, my, 4.5 * s, 4 * s);
            Set(cr, Hex(0xd9506e));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            Ellipse(cr, mx - 12.5 * s, my, 2 * s, 2 * s);
            FillCol(cr, Hex(0x3a0a18));
            break;
        }
        default: {
            // The greedy grin.
            double w = pose == kHappy ? 15 : 13;
            cairo_move_to(cr, mx - w * s, my - 3 * s);
            cairo_curve_to(cr, mx - w * 0.6 * s, my + 10 * s, mx + w * 0.6 * s, my + 10 * s, mx + w * s, my - 4 * s);
            cairo_curve_to(cr, mx + w * 0.3 * s, my + 1 * s, mx - w * 0.3 * s, my + 1 * s, mx - w * s, my - 3 * s);
            cairo_close_path(cr);
            Set(cr, Hex(0x5a1020));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            for (int i = -2; i <= 2; i++) {
                double x = mx + i * 4.5 * s;
                cairo_move_to(cr, x - 2 * s, my - 1.2 * s + fabs((double)i) * -0.6 * s);
                cairo_line_to(cr, x, my + 3 * s);
                cairo_line_to(cr, x + 2 * s, my - 1.2 * s + fabs((double)i) * -0.6 * s);
                cairo_close_path(cr);
                FillCol(cr, Col{1, 1, 1, 1});
            }
            break;
        }
    }
    if (boss && pose != kDead) {
        // A little golden crown: the boss's mark.
        double x = cx + 6 * s, y = cy - 27 * s;
        cairo_move_to(cr, x - 9 * s, y + 4 * s);
        cairo_line_to(cr, x - 10 * s, y - 6 * s);
        cairo_line_to(cr, x - 4.5 * s, y - 1 * s);
        cairo_line_to(cr, x, y - 8 * s);
        cairo_line_to(cr, x + 4.5 * s, y - 1 * s);
        cairo_line_to(cr, x + 10 * s, y - 6 * s);
        cairo_line_to(cr, x + 9 * s, y + 4 * s);
        cairo_close_path(cr);
        Shade(cr, Hex(0xffcc33), x, y, 10 * s, lw * 0.8, 0.5, 0.25);
        cairo_arc(cr, x, y + 1 * s, 1.6 * s, 0, 2 * PI);
        FillCol(cr, Hex(0xe0304a));
    }
}

void DrawEndBug(cairo_t* cr, double cx, double cy, double r, int pose, bool boss) { EndBug(cr, cx, cy, r, pose, boss); }

// A wing whose root is the picture's centre, reaching right (or left): the
// game turns the wings about their centre to flap them.
static void BossWing(cairo_t* cr, int w, int h, bool right) {
    cairo_save(cr);
    if (!right) {
        cairo_translate(cr, w, 0);
        cairo_scale(cr, -1, 1);
    }
    Wing(cr, w / 2.0, h / 2.0 + 4, w / 2.0 - 3, h * 0.36, -0.22, 0.62);
    Wing(cr, w / 2.0 + 2, h / 2.0 + 6, w / 2.0 - 14, h * 0.24, 0.22, 0.5);
    cairo_restore(cr);
}

static void HealthBack(cairo_t* cr, int w, int h) {
    RoundRect(cr, 1, 1, w - 2, h - 2, h / 2.0 - 1);
    ShadeV(cr, Hex(0x5a3a22), 1, h - 1, 1.6, 0.3, 0.3);
    RoundRect(cr, 3.5, 3.5, w - 7, h - 7, h / 2.0 - 3.5);
    FillCol(cr, Hex(0x24160e));
}

static void HealthFill(cairo_t* cr, int w, int h) {
    RoundRect(cr, 3.5, 3.5, w - 7, h - 7, h / 2.0 - 3.5);
    cairo_pattern_t* g = cairo_pattern_create_linear(3.5, 0, w - 3.5, 0);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.9, 0.15, 0.12);
    cairo_pattern_add_color_stop_rgb(g, 0.45, 1.0, 0.8, 0.15);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.35, 0.85, 0.25);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    RoundRect(cr, 5, 4.5, w - 10, (h - 9) * 0.45, 2);
    FillCol(cr, Col{1, 1, 1, 0.35});
}

static void AggroLines(cairo_t* cr, int w, int h) {
    // Three strokes fanning out to the left: at angle 0 the worm is to the
    // left of the bug, and the game turns them towards it.
    double cx = w * 0.8, cy = h / 2.0;
    for (int i = -1; i <= 1; i++) {
        double a = PI + i * 0.5, r0 = w * 0.25, r1 = w * 0.72 - fabs((double)i) * w * 0.08;
        for (int k = 0; k < 2; k++) {
            cairo_move_to(cr, cx + r0 * cos(a), cy + r0 * sin(a));
            cairo_line_to(cr, cx + r1 * cos(a), cy + r1 * sin(a));
            Stroke(cr, k ? Hex(0xffd23a) : Hex(0xa3201a), k ? 2.6 : 5.2);
        }
    }
}

void ArtBugs(Gen& g) {
    g.Section("Bugs",
              "All bugs face left (the game mirrors them when they move right). Poses share the size\n"
              "and centre of the base picture.");
    struct Kind {
        const char* base;
        const char* what;
        const char* use;
        int size;
        double r;
        void (*draw)(cairo_t*, double, double, double, int);
    };
    const Kind kinds[] = {
        {"bug-flying", "flying bug: round violet beetle with see-through wings",
         "MOVING_HAZARD, DESTROYABLE; circle radius 15 px (0.5 m); loading screen", 48, 15, DrawFlyingBug},
        {"bug-flying-shooting", "shooting bug: striped wasp with a blowpipe nose",
         "MOVING_HAZARD, SHOOTING; circle radius 15 px (0.5 m)", 56, 15, ShootingBug},
        {"bug-homing", "homing bug: angry red hornet with a long sting", "HAZARD_HOMING; circle radius 15 px (0.5 m)",
         56, 15, HomingBug},
    };
    const struct {
        const char* suffix;
        int pose;
        const char* what;
    } poses[] = {{"", kIdle, ""},
                 {"-blink", kBlink, "eyes closed"},
                 {"-happy", kHappy, "grinning (after hitting the worm)"},
                 {"-dead", kDead, "knocked out: crossed eyes, tongue out, wings folded"}};
    for (const Kind& k : kinds)
        for (const auto& p : poses) {
            std::string what = p.pose == kIdle ? k.what : std::string(k.base) + ", " + p.what;
            std::string use = p.pose == kIdle ? k.use : "pose of " + std::string(k.base) + ".png";
            auto draw = k.draw;
            double r = k.r;
            int pose = p.pose;
            g.Png(std::string("actors/gfx/") + k.base + p.suffix + ".png", k.size, k.size, what, use,
                  [draw, r, pose](cairo_t* cr, int w, int h) { draw(cr, w / 2.0 + 1, h / 2.0, r, pose); });
        }
    g.Png("actors/gfx/bug-homing-aggro-lines.png", 40, 40, "three red-and-yellow strokes fanning left",
          "drawn 1.5 m from the homing bug towards the worm when it breaks loose", AggroLines);

    g.Section("End bug and boss",
              "The greedy end bug sits on the worm hole; the boss shares its pose pictures, so both\n"
              "are 80x96 with the body disc of radius 29 px (about 1 m) centred 10 px below the\n"
              "picture's centre: the game hangs the wings below the end bug's centre and at the\n"
              "boss's, and this way both pairs sit on the body's sides.");
    const struct {
        const char* name;
        int pose;
        bool boss;
        const char* what;
        const char* use;
    } ends[] = {
        {"end-bug.png", kIdle, false, "greedy end bug: chubby teal beetle with a toothy grin",
         "END_BUG `end-bug`; an octagon polygon of radius 28 px (0.93 m) around (0, 10), as a circle offset is not "
         "used; placed half its height above the hole"},
        {"end-bug-blink.png", kBlink, false, "end bug blinking", "end bug and boss"},
        {"end-bug-ouch.png", kOuch, false, "end bug hit: squeezed eyes, open mouth", "end bug and boss"},
        {"end-bug-shooting.png", kShoot, false, "end bug about to spit: puffed cheeks, pursed lips",
         "boss before a shot"},
        {"end-bug-dead.png", kDead, false, "end bug knocked out", "dead boss"},
        {"bug-boss.png", kIdle, true, "the boss: the end bug with angry brows, red eyes and a little crown",
         "BOSS `bug-boss`; an octagon polygon of radius 28 px around (0, 10); 9 hit points"},
    };
    for (const auto& e : ends) {
        int pose = e.pose;
        bool boss = e.boss;
        g.Png(std::string("actors/gfx/") + e.name, 80, 96, e.what, e.use,
              [pose, boss](cairo_t* cr, int w, int h) { EndBug(cr, w / 2.0, h / 2.0 + 10, 30, pose, boss); });
    }
    g.Png("actors/gfx/bug-wing-right.png", 112, 64, "see-through insect wing reaching right from the centre",
          "end bug and boss wings, flapped about the picture's centre 0.6 m right of the body",
          [](cairo_t* cr, int w, int h) { BossWing(cr, w, h, true); });
    g.Png("actors/gfx/bug-wing-left.png", 112, 64, "the same wing reaching left", "left wing",
          [](cairo_t* cr, int w, int h) { BossWing(cr, w, h, false); });
    g.Png("actors/gfx/end-bug-health-back.png", 104, 18, "health bar frame: brown rounded slot",
          "drawn 3.5 m above the boss", HealthBack);
    g.Png("actors/gfx/end-bug-health.png", 104, 18, "health bar fill: red to yellow to green, left to right",
          "cut from the left by hit points / 9, over the frame", HealthFill);
}

}  // namespace art
