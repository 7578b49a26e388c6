// Menu and dialog pictures: buttons in their states, icon buttons and
// icons, nine-patch panels, check box, slider, edit box, list box, ruler,
// level tiles, achievement and purchase icons.
#include <math.h>

#include <initializer_list>

#include "gen.h"

namespace art {

static const Col kPlank = Hex(0xd9a25e);
static const Col kCream = Hex(0xfff4dc);
static const Col kLeafUi = Hex(0x6cc447);
static const Col kIconInk = Hex(0x3b2614);

enum State { kNormal, kOver, kPressed, kDisabled };

static Col StateCol(Col c, State s) {
    switch (s) {
        case kOver:
            return Lighter(c, 0.16);
        case kPressed:
            return Darker(c, 0.14);
        case kDisabled: {
            double l = c.r * 0.3 + c.g * 0.59 + c.b * 0.11;
            return Mix(c, Col{l, l, l, c.a}, 0.85);
        }
        default:
            return c;
    }
}

// A rounded wooden plank with grain, a leaf on its corner; pressed planks
// sit lower and lose their shadow.
static void Plank(cairo_t* cr, int w, int h, State s) {
    double dy = s == kPressed ? 2 : 0, m = 3, sh = 4;
    Col wood = StateCol(kPlank, s), leaf = StateCol(kLeafUi, s);
    if (s != kPressed) {
        RoundRect(cr, m, m + sh, w - 2 * m, h - 2 * m - sh, h * 0.3);
        FillCol(cr, Col{0.2, 0.1, 0.05, 0.3});
    }
    RoundRect(cr, m, m + dy, w - 2 * m, h - 2 * m - sh, h * 0.3);
    ShadeV(cr, wood, m + dy, h - m - sh + dy, 2.5, s == kPressed ? 0.15 : 0.35, 0.25);
    cairo_save(cr);
    RoundRect(cr, m + 2, m + dy + 2, w - 2 * m - 4, h - 2 * m - sh - 4, h * 0.3 - 2);
    cairo_clip(cr);
    Rng rng(9);
    for (int i = 0; i < 6; i++) {
        double y = m + dy + 8 + i * (h - 2 * m - sh - 12) / 5.0 + rng.R(-1.5, 1.5);
        cairo_move_to(cr, m, y);
        cairo_curve_to(cr, w * 0.3, y + rng.R(-3, 3), w * 0.7, y + rng.R(-3, 3), w - m, y + rng.R(-2, 2));
        Stroke(cr, Alpha(Darker(wood, 0.35), 0.22), 1.2);
    }
    cairo_restore(cr);
    RoundRect(cr, m + 4, m + dy + 3, w - 2 * m - 8, (h - 2 * m - sh) * 0.35, h * 0.2);
    FillCol(cr, Col{1, 1, 1, s == kPressed ? 0.08 : s == kOver ? 0.28 : 0.2});
    if (s == kOver) {
        RoundRect(cr, m + 1.5, m + dy + 1.5, w - 2 * m - 3, h - 2 * m - sh - 3, h * 0.3 - 1.5);
        Stroke(cr, Alpha(Hex(0xfff3b0), 0.9), 2);
    }
    Leaf(cr, w - m - 14, m + dy + 6, h * 0.42, h * 0.14, -0.5, leaf, 1.2);
    Leaf(cr, w - m - 16, m + dy + 7, h * 0.3, h * 0.11, -2.4, Lighter(leaf, 0.1), 1.0);
}

static void RoundButton(cairo_t* cr, int w, int h, State s) {
    double c = w / 2.0, r = w / 2.0 - 4, dy = s == kPressed ? 2 : 0;
    Col rim = StateCol(Hex(0x59b23c), s), face = StateCol(kPlank, s);
    if (s != kPressed) {
        cairo_arc(cr, c, c + 3, r, 0, 2 * PI);
        FillCol(cr, Col{0.2, 0.1, 0.05, 0.3});
    }
    cairo_arc(cr, c, c + dy - 1, r, 0, 2 * PI);
    Shade(cr, rim, c, c + dy, r, 2.5, 0.35, 0.25);
    cairo_arc(cr, c, c + dy - 1, r * 0.78, 0, 2 * PI);
    Shade(cr, face, c, c + dy, r * 0.78, 1.8, s == kPressed ? 0.1 : 0.35, 0.2);
    if (s == kOver) {
        cairo_arc(cr, c, c + dy - 1, r - 1.5, 0, 2 * PI);
        Stroke(cr, Alpha(Hex(0xfff3b0), 0.9), 2);
    }
    Gloss(cr, c - r * 0.35, c + dy - r * 0.5, r * 0.32, r * 0.14, -0.5, s == kPressed ? 0.3 : 0.6);
}

// Icons: white shapes with a dark outline, so they read on any button.
static void InkFill(cairo_t* cr, double lw) {
    Set(cr, kIconInk);
    cairo_set_line_width(cr, lw);
    cairo_stroke_preserve(cr);
    Set(cr, Col{1, 1, 1, 1});
    cairo_fill(cr);
}

static void InkLine(cairo_t* cr, const std::function<void()>& path, double w) {
    path();
    Stroke(cr, kIconInk, w + 5);
    path();
    Stroke(cr, Col{1, 1, 1, 1}, w);
}

// A closed outline of (x, y) pairs on the 48-unit icon square, pointing
// left as given, or mirrored to point right; white with the dark outline.
static void InkPolygon(cairo_t* cr, bool mirrored, std::initializer_list<double> xy) {
    if (mirrored) {
        cairo_translate(cr, 48, 0);
        cairo_scale(cr, -1, 1);
    }
    const double* p = xy.begin();
    cairo_move_to(cr, p[0], p[1]);
    for (size_t i = 2; i + 1 < xy.size(); i += 2) cairo_line_to(cr, p[i], p[i + 1]);
    cairo_close_path(cr);
    InkFill(cr, 5);
}

static void Icon(cairo_t* cr, const std::string& name, double s) {
    cairo_save(cr);
    cairo_scale(cr, s, s);
    // Drawn on a 48-unit square, centre c.
    const double c = 24;
    if (name == "back" || name == "next") {
        InkPolygon(cr, name == "next", {8, 24, 24, 9, 24, 18, 40, 18, 40, 30, 24, 30, 24, 39});
    } else if (name == "page-prev" || name == "page-next") {
        // A bold chevron, for paging; the arrow is for going back.
        InkPolygon(cr, name == "page-next", {28, 7, 11, 24, 28, 41, 36, 33, 27, 24, 36, 15});
    } else if (name == "pause") {
        RoundRect(cr, 12, 10, 9, 28, 3);
        RoundRect(cr, 27, 10, 9, 28, 3);
        InkFill(cr, 5);
    } else if (name == "play") {
        cairo_move_to(cr, 15, 9);
        cairo_line_to(cr, 39, 24);
        cairo_line_to(cr, 15, 39);
        cairo_close_path(cr);
        InkFill(cr, 5);
    } else if (name == "settings") {
        int teeth = 8;
        cairo_new_sub_path(cr);
        for (int i = 0; i < teeth * 4; i++) {
            double a = i * 2 * PI / (teeth * 4) - PI / (teeth * 4), r = (i / 2) % 2 ? 12 : 17;
            if (i == 0)
                cairo_move_to(cr, c + r * cos(a), c + r * sin(a));
            else
                cairo_line_to(cr, c + r * cos(a), c + r * sin(a));
        }
        cairo_close_path(cr);
        cairo_new_sub_path(cr);
        cairo_arc_negative(cr, c, c, 5.5, 2 * PI, 0);
        InkFill(cr, 5);
    } else if (name == "sound-on" || name == "sound-off") {
        cairo_move_to(cr, 7, 19);
        cairo_line_to(cr, 14, 19);
        cairo_line_to(cr, 24, 10);
        cairo_line_to(cr, 24, 38);
        cairo_line_to(cr, 14, 29);
        cairo_line_to(cr, 7, 29);
        cairo_close_path(cr);
        InkFill(cr, 5);
        if (name == "sound-on") {
            InkLine(
                cr, [&] { cairo_arc(cr, 24, 24, 8, -0.8, 0.8); }, 3);
            InkLine(
                cr,
                [&] {
                    cairo_new_path(cr);
                    cairo_arc(cr, 24, 24, 15, -0.8, 0.8);
                },
                3);
        } else {
            InkLine(
                cr,
                [&] {
                    cairo_move_to(cr, 30, 17);
                    cairo_line_to(cr, 42, 31);
                    cairo_move_to(cr, 42, 17);
                    cairo_line_to(cr, 30, 31);
                },
                3.5);
        }
    } else if (name == "music-on" || name == "music-off") {
        cairo_move_to(cr, 19, 34);
        cairo_line_to(cr, 19, 11);
        cairo_line_to(cr, 37, 7);
        cairo_line_to(cr, 37, 30);
        Set(cr, kIconInk);
        cairo_set_line_width(cr, 8);
        cairo_stroke(cr);
        Ellipse(cr, 14.5, 34, 6.5, 5, -0.3);
        Ellipse(cr, 32.5, 30, 6.5, 5, -0.3);
        InkFill(cr, 5);
        cairo_move_to(cr, 19, 34);
        cairo_line_to(cr, 19, 11);
        cairo_line_to(cr, 37, 7);
        cairo_line_to(cr, 37, 30);
        Stroke(cr, Col{1, 1, 1, 1}, 3);
        if (name == "music-off")
            InkLine(
                cr,
                [&] {
                    cairo_move_to(cr, 8, 8);
                    cairo_line_to(cr, 40, 40);
                },
                3.5);
    } else if (name == "restart") {
        InkLine(
            cr,
            [&] {
                cairo_new_path(cr);
                cairo_arc(cr, c, c + 1, 13, -PI * 0.35, PI * 1.45);
            },
            5);
        double a = -PI * 0.35, x = c + 13 * cos(a), y = c + 1 + 13 * sin(a);
        cairo_move_to(cr, x + 8, y - 1);
        cairo_line_to(cr, x - 4, y - 8);
        cairo_line_to(cr, x - 2, y + 7);
        cairo_close_path(cr);
        InkFill(cr, 4);
    } else if (name == "menu") {
        for (int i = 0; i < 3; i++) RoundRect(cr, 10, 11 + i * 10, 28, 6, 3);
        InkFill(cr, 5);
    } else if (name == "close") {
        InkLine(
            cr,
            [&] {
                cairo_move_to(cr, 13, 13);
                cairo_line_to(cr, 35, 35);
                cairo_move_to(cr, 35, 13);
                cairo_line_to(cr, 13, 35);
            },
            6);
    } else if (name == "trophy") {
        cairo_move_to(cr, 13, 9);
        cairo_line_to(cr, 35, 9);
        cairo_curve_to(cr, 35, 22, 30, 28, 24, 28);
        cairo_curve_to(cr, 18, 28, 13, 22, 13, 9);
        cairo_close_path(cr);
        RoundRect(cr, 21, 27, 6, 6, 1);
        RoundRect(cr, 15, 33, 18, 6, 2);
        InkFill(cr, 5);
        InkLine(
            cr,
            [&] {
                cairo_new_path(cr);
                cairo_arc(cr, 13, 15, 5, PI * 0.5, PI * 1.5);
            },
            2.5);
        InkLine(
            cr,
            [&] {
                cairo_new_path(cr);
                cairo_arc_negative(cr, 35, 15, 5, PI * 0.5, -PI * 0.5);
            },
            2.5);
    } else if (name == "leaderboard") {
        RoundRect(cr, 8, 24, 10, 16, 2);
        RoundRect(cr, 19, 14, 10, 26, 2);
        RoundRect(cr, 30, 20, 10, 20, 2);
        InkFill(cr, 5);
    } else if (name == "lock") {
        InkLine(
            cr,
            [&] {
                cairo_new_path(cr);
                cairo_arc(cr, c, 20, 8, PI, 2 * PI);
                cairo_line_to(cr, c + 8, 24);
                cairo_move_to(cr, c - 8, 24);
                cairo_line_to(cr, c - 8, 20);
            },
            3.5);
        RoundRect(cr, 12, 22, 24, 18, 4);
        InkFill(cr, 5);
        cairo_arc(cr, c, 30, 2.5, 0, 2 * PI);
        FillCol(cr, kIconInk);
    } else if (name == "info") {
        cairo_arc(cr, c, 13, 4, 0, 2 * PI);
        RoundRect(cr, 20, 20, 8, 19, 3);
        InkFill(cr, 5);
    }
    cairo_restore(cr);
}

static void NinePanel(cairo_t* cr, int w, int h) {
    // Wooden frame of even width along the edges (stretched by the nine
    // patch), cream paper inside, leaves only in the corners.
    double b = 10;
    RoundRect(cr, 2, 2, w - 4, h - 4, 22);
    ShadeV(cr, Hex(0xb97a42), 2, h - 2, 2.5, 0.2, 0.2);
    RoundRect(cr, 2 + b, 2 + b, w - 4 - 2 * b, h - 4 - 2 * b, 13);
    Set(cr, kCream);
    cairo_fill_preserve(cr);
    Stroke(cr, Hex(0x8a5a2e), 2);
    RoundRect(cr, 4, 4, w - 8, h - 8, 20);
    Stroke(cr, Alpha(Hex(0xffe2b0), 0.45), 1.5);
    Leaf(cr, 8, 10, 20, 6, -0.9, kLeafUi, 1);
    Leaf(cr, 10, 8, 16, 5, -2.1, Lighter(kLeafUi, 0.15), 1);
    Leaf(cr, w - 8, h - 10, 20, 6, -0.9 + PI, kLeafUi, 1);
    Leaf(cr, w - 10, h - 8, 16, 5, -2.1 + PI, Lighter(kLeafUi, 0.15), 1);
}

// A speech bubble with its tail at the bottom left (the worm's, who
// speaks from below) or at the top right leaning left (the bug's, who
// flies above the bubble in the story's pictures).
static void Bubble(cairo_t* cr, int w, int h, bool tail_left, Col fill) {
    double m = 3, bh = h - 22;
    double top = tail_left ? m : h - m - bh;
    auto shape = [&] {
        RoundRect(cr, m, top, w - 2 * m, bh, 18);
        cairo_new_sub_path(cr);
        if (tail_left) {
            cairo_move_to(cr, 18, bh - 4);
            cairo_line_to(cr, 10, h - 3);
            cairo_line_to(cr, 32, bh - 4);
        } else {
            // Within the right-hand border of the nine-patch, which is
            // never stretched.
            cairo_move_to(cr, w - 12, top + 4);
            cairo_line_to(cr, w - 32, 3);
            cairo_line_to(cr, w - 26, top + 4);
        }
        cairo_close_path(cr);
    };
    // The outline is stroked twice as wide and then half covered by the
    // fill, which leaves one line round the union of bubble and tail.
    shape();
    Stroke(cr, Hex(0x3a3a4a), 5);
    shape();
    FillCol(cr, fill);
}

static void Medal(cairo_t* cr, int kind) {
    // Achievement badges: a coloured medal on a ribbon, each with its sign.
    const uint32_t colours[8] = {0xffcf33, 0xc8ced8, 0xd98a4a, 0x7cd24b, 0xff6b6b, 0x9b6ad8, 0x4fb3ff, 0xffa733};
    Col c = Hex(colours[kind]);
    double cx = 32, cy = 38;
    if (kind == 0) {
        // A trophy cup for the first.
        cairo_move_to(cr, 16, 8);
        cairo_line_to(cr, 48, 8);
        cairo_curve_to(cr, 48, 30, 40, 38, 32, 38);
        cairo_curve_to(cr, 24, 38, 16, 30, 16, 8);
        cairo_close_path(cr);
        Shade(cr, c, 32, 20, 20, 2, 0.5, 0.25);
        cairo_arc(cr, 16, 17, 7, PI * 0.5, PI * 1.5);
        Stroke(cr, Outline(c), 5);
        cairo_arc(cr, 16, 17, 7, PI * 0.5, PI * 1.5);
        Stroke(cr, c, 2.5);
        cairo_arc_negative(cr, 48, 17, 7, PI * 0.5, -PI * 0.5);
        Stroke(cr, Outline(c), 5);
        cairo_arc_negative(cr, 48, 17, 7, PI * 0.5, -PI * 0.5);
        Stroke(cr, c, 2.5);
        RoundRect(cr, 28, 37, 8, 9, 1);
        Shade(cr, c, 32, 41, 6, 1.5);
        RoundRect(cr, 18, 46, 28, 12, 3);
        Shade(cr, Hex(0x8a5a2e), 32, 50, 14, 2);
        GoldStar(cr, 32, 21, 7, Lighter(c, 0.3));
        Gloss(cr, 23, 15, 3, 6, 0.1, 0.7);
        return;
    }
    Col ribbon = kind % 2 ? Hex(0x3f7fe0) : Hex(0xe04a4a);
    for (int s = -1; s <= 1; s += 2) {
        cairo_move_to(cr, 32 + s * 4, 4);
        cairo_line_to(cr, 32 + s * 16, 4);
        cairo_line_to(cr, 32 + s * 6, 28);
        cairo_line_to(cr, 32 - s * 4, 28);
        cairo_close_path(cr);
        ShadeV(cr, s < 0 ? ribbon : Darker(ribbon, 0.15), 4, 28, 1.5, 0.2, 0.2);
    }
    cairo_arc(cr, cx, cy, 20, 0, 2 * PI);
    Shade(cr, c, cx, cy, 20, 2, 0.5, 0.3);
    cairo_arc(cr, cx, cy, 15, 0, 2 * PI);
    Stroke(cr, Alpha(Outline(c), 0.5), 1.5);
    switch (kind) {
        case 1:
            GoldStar(cr, cx, cy + 1, 10, Lighter(c, 0.2));
            break;
        case 2:
            DrawFruit(cr, cx, cy + 1, 9, 1);
            break;
        case 3:
            Leaf(cr, cx - 9, cy + 7, 20, 7, -0.8, Hex(0x3f9a2a), 1.2);
            break;
        case 4:
            DrawFlyingBug(cr, cx + 1, cy, 8.5, 3);
            break;
        case 5:
            DrawEgg(cr, cx, cy, 7.5, 10);
            break;
        case 6: {
            cairo_arc(cr, cx, cy, 9, 0, 2 * PI);
            Set(cr, Col{1, 1, 1, 0.95});
            cairo_fill_preserve(cr);
            Stroke(cr, Hex(0x30364a), 1.5);
            cairo_move_to(cr, cx, cy);
            cairo_line_to(cr, cx, cy - 6.5);
            cairo_move_to(cr, cx, cy);
            cairo_line_to(cr, cx + 5, cy + 2);
            Stroke(cr, Hex(0x30364a), 1.8);
            break;
        }
        default:
            WormHead(cr, cx, cy + 1, 9, Face::Happy);
            break;
    }
    Gloss(cr, cx - 8, cy - 10, 6, 3, -0.6, 0.6);
}

static void LevelTile(cairo_t* cr, int w, int h, State s, bool locked) {
    double m = 4, dy = s == kPressed ? 2 : 0;
    Col wood = StateCol(locked ? Hex(0xa89a8a) : kPlank, locked ? kDisabled : s);
    if (s != kPressed) {
        RoundRect(cr, m, m + 4, w - 2 * m, h - 2 * m - 4, 18);
        FillCol(cr, Col{0.2, 0.1, 0.05, 0.3});
    }
    RoundRect(cr, m, m + dy, w - 2 * m, h - 2 * m - 4, 18);
    Shade(cr, wood, w * 0.45, h * 0.4, w * 0.7, 2.5, 0.35, 0.25);
    // Grass along the top edge.
    Rng rng(61);
    Col grass = StateCol(Hex(0x6cc447), locked ? kDisabled : s);
    RoundRect(cr, m + 1, m + dy + 1, w - 2 * m - 2, 14, 12);
    FillCol(cr, grass);
    for (int i = 0; i < 9; i++) GrassTuft(cr, m + 10 + i * 10.5, m + dy + 14, 8, 3, grass, rng);
    // The round plate for the level number.
    cairo_arc(cr, w / 2.0, h / 2.0 + dy + 2, 27, 0, 2 * PI);
    Set(cr, StateCol(kCream, locked ? kDisabled : s));
    cairo_fill_preserve(cr);
    Stroke(cr, Outline(wood), 2);
    if (s == kOver) {
        RoundRect(cr, m + 1.5, m + dy + 1.5, w - 2 * m - 3, h - 2 * m - 7, 16.5);
        Stroke(cr, Alpha(Hex(0xfff3b0), 0.9), 2.5);
    }
    if (locked) {
        cairo_save(cr);
        cairo_translate(cr, w / 2.0 - 24, h / 2.0 - 22);
        Icon(cr, "lock", 1.0);
        cairo_restore(cr);
    }
}

void ArtUi(Gen& g) {
    g.Section("Buttons",
              "All states of a button share its size; the UI draws the over and pressed states over the normal one.");
    const char* state_names[4] = {"", "-over", "-pressed", "-disabled"};
    const char* state_what[4] = {"", ", lit (cursor over)", ", pressed down", ", greyed out"};
    for (int i = 0; i < 4; i++) {
        State s = (State)i;
        g.Png(std::string("ui/gfx/button") + state_names[i] + ".png", 256, 72,
              std::string("wooden plank button with a leaf") + state_what[i],
              "button.bm_idle/over/pressed/disabled; text-free",
              [s](cairo_t* cr, int w, int h) { Plank(cr, w, h, s); });
    }
    for (int i = 0; i < 4; i++) {
        State s = (State)i;
        g.Png(std::string("ui/gfx/button-small") + state_names[i] + ".png", 160, 56,
              std::string("small wooden plank button") + state_what[i], "short labels (OK, Back)",
              [s](cairo_t* cr, int w, int h) { Plank(cr, w, h, s); });
    }
    for (int i = 0; i < 4; i++) {
        State s = (State)i;
        g.Png(std::string("ui/gfx/icon-button") + state_names[i] + ".png", 72, 72,
              std::string("round wooden button with a green rim") + state_what[i],
              "base of the icon buttons (button.bm_icon on top)",
              [s](cairo_t* cr, int w, int h) { RoundButton(cr, w, h, s); });
    }
    g.Section("Icons", "White signs with a dark outline, 48x48, for button.bm_icon.");
    const char* icons[] = {"back",      "next",    "pause", "play",  "settings", "sound-on",    "sound-off", "music-on",
                           "music-off", "restart", "menu",  "close", "trophy",   "leaderboard", "lock",      "info",
                           "page-prev", "page-next"};
    for (const char* name : icons) {
        std::string n = name;
        g.Png("ui/gfx/icon-" + n + ".png", 48, 48, n + " sign", "icon",
              [n](cairo_t* cr, int, int) { Icon(cr, n, 1.0); });
    }

    g.Section("Panels and widgets",
              "Nine-patch client rectangles are given as x0, y0, x1, y1 for ninepatch.bitmap_client_rect.");
    g.Png("ui/gfx/panel.png", 128, 128, "wooden frame round cream paper, leaves in two corners",
          "nine-patch dialog panel; client rect 32, 32, 96, 96", NinePanel);
    g.Png("ui/gfx/panel-glass.png", 96, 96, "dark green see-through rounded panel with a light rim",
          "nine-patch overlay panel (pause, results); client rect 24, 24, 72, 72", [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 2, 2, w - 4, h - 4, 20);
              Set(cr, Col{0.08, 0.2, 0.12, 0.78});
              cairo_fill_preserve(cr);
              Stroke(cr, Col{0.75, 0.95, 0.6, 0.9}, 2.5);
              RoundRect(cr, 6, 6, w - 12, h - 12, 16);
              Stroke(cr, Col{1, 1, 1, 0.15}, 1.5);
          });
    g.Png("ui/gfx/talk-bubble.png", 96, 96, "white speech bubble, tail at the bottom left",
          "nine-patch for the worm's lines; client rect 28, 24, 68, 56", [](cairo_t* cr, int w, int h) {
              Bubble(cr, w, h, true, Col{1, 1, 1, 1});
          });
    g.Png("ui/gfx/talk-bubble-bug.png", 96, 96, "pale green speech bubble, tail at the top right leaning left",
          "nine-patch for the bug's lines; client rect 28, 40, 60, 72",
          [](cairo_t* cr, int w, int h) { Bubble(cr, w, h, false, Hex(0xe4f8d8)); });
    g.Png("ui/gfx/checkbox-off.png", 48, 48, "empty wooden check box", "checkbox.bm_idle",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 3, 3, w - 6, h - 6, 9);
              Shade(cr, kPlank, w * 0.45, h * 0.4, w * 0.6, 2.2);
              RoundRect(cr, 9, 9, w - 18, h - 18, 5);
              Set(cr, kCream);
              cairo_fill_preserve(cr);
              Stroke(cr, Hex(0x8a5a2e), 1.6);
          });
    g.Png("ui/gfx/checkbox-mark.png", 48, 48, "green tick alone", "checkbox.bm_marker (drawn over the box)",
          [](cairo_t* cr, int w, int h) {
              auto tick = [&] {
                  cairo_move_to(cr, 13, 25);
                  cairo_line_to(cr, 21, 33);
                  cairo_line_to(cr, 37, 11);
              };
              tick();
              Stroke(cr, Hex(0x1f5a16), 9);
              tick();
              Stroke(cr, Hex(0x66d24a), 5);
          });
    g.Png("ui/gfx/checkbox-on.png", 48, 48, "wooden check box with the tick", "a ticked box in one picture",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 3, 3, w - 6, h - 6, 9);
              Shade(cr, kPlank, w * 0.45, h * 0.4, w * 0.6, 2.2);
              RoundRect(cr, 9, 9, w - 18, h - 18, 5);
              Set(cr, kCream);
              cairo_fill_preserve(cr);
              Stroke(cr, Hex(0x8a5a2e), 1.6);
              auto tick = [&] {
                  cairo_move_to(cr, 13, 25);
                  cairo_line_to(cr, 21, 33);
                  cairo_line_to(cr, 37, 11);
              };
              tick();
              Stroke(cr, Hex(0x1f5a16), 9);
              tick();
              Stroke(cr, Hex(0x66d24a), 5);
          });
    auto groove = [](cairo_t* cr, int w, int h) { RoundRect(cr, 4, h / 2.0 - 8, w - 8, 16, 8); };
    g.Png("ui/gfx/slider-track.png", 320, 32, "dark wooden groove", "slider.bm_panel (horizontal)",
          [groove](cairo_t* cr, int w, int h) {
              groove(cr, w, h);
              ShadeV(cr, Hex(0x6b4427), h / 2.0 - 8, h / 2.0 + 8, 2, 0.0, 0.3);
              RoundRect(cr, 6, h / 2.0 - 6, w - 12, 4, 2);
              FillCol(cr, Col{0, 0, 0, 0.25});
          });
    g.Png("ui/gfx/slider-fill.png", 320, 32, "green vine filling the groove", "slider.bm_full, cut at the value",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 6, h / 2.0 - 6, w - 12, 12, 6);
              ShadeV(cr, Hex(0x66c447), h / 2.0 - 6, h / 2.0 + 6, 1.5, 0.4, 0.25);
              for (int x = 16; x < w - 10; x += 24) {
                  Leaf(cr, x, h / 2.0, 8, 3, -0.9, Hex(0x8ad85a), 0.6);
              }
          });
    g.Png("ui/gfx/slider-knob.png", 40, 40, "round wooden knob with a leaf", "slider.bm_marker",
          [](cairo_t* cr, int w, int h) {
              cairo_arc(cr, 20, 21, 16, 0, 2 * PI);
              FillCol(cr, Col{0.2, 0.1, 0.05, 0.3});
              cairo_arc(cr, 20, 19, 16, 0, 2 * PI);
              Shade(cr, kPlank, 20, 19, 16, 2.2);
              cairo_arc(cr, 20, 19, 10, 0, 2 * PI);
              Stroke(cr, Alpha(Darker(kPlank, 0.4), 0.4), 1.5);
              Leaf(cr, 16, 22, 11, 4, -0.8, kLeafUi, 0.8);
              Gloss(cr, 14, 12, 5, 2.5, -0.6, 0.7);
          });
    g.Png("ui/gfx/editbox.png", 320, 48, "cream text field in a wooden frame", "editbox.bm_panel",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 2, 2, w - 4, h - 4, 12);
              ShadeV(cr, Hex(0xb97a42), 2, h - 2, 2, 0.2, 0.2);
              RoundRect(cr, 7, 7, w - 14, h - 14, 8);
              Set(cr, Col{1, 0.99, 0.95, 1});
              cairo_fill_preserve(cr);
              Stroke(cr, Hex(0x8a5a2e), 1.6);
              RoundRect(cr, 8, 8, w - 16, 6, 3);
              FillCol(cr, Col{0.5, 0.35, 0.2, 0.15});
          });
    g.Png("ui/gfx/editbox-over.png", 320, 48, "golden glow round the text field", "editbox.bm_panel_over",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 3, 3, w - 6, h - 6, 11);
              Stroke(cr, Alpha(Hex(0xffd84a), 0.9), 3);
          });
    g.Png("ui/gfx/editbox-cursor.png", 4, 30, "dark text cursor bar", "editbox.bm_cursor",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 0.5, 1, 3, h - 2, 1.5);
              FillCol(cr, Hex(0x3b2614));
          });
    // The list area is dark so that the lines, drawn in the box's colour
    // (white), read on it; the frame's own colour would tint a light area.
    g.Png("ui/gfx/listbox-frame.png", 400, 320, "dark green list area in a wooden frame",
          "listbox.bm_frame (sets the box size; lines in white)", [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 2, 2, w - 4, h - 4, 16);
              ShadeV(cr, Hex(0xb97a42), 2, h - 2, 2.5, 0.2, 0.2);
              RoundRect(cr, 12, 12, w - 24, h - 24, 10);
              cairo_pattern_t* p = cairo_pattern_create_linear(0, 12, 0, h - 12);
              cairo_pattern_add_color_stop_rgb(p, 0, 0.16, 0.25, 0.13);
              cairo_pattern_add_color_stop_rgb(p, 1, 0.11, 0.17, 0.09);
              cairo_set_source(cr, p);
              cairo_fill_preserve(cr);
              cairo_pattern_destroy(p);
              Stroke(cr, Hex(0x5a3a1c), 2);
              RoundRect(cr, 14, 14, w - 28, h - 28, 8);
              Stroke(cr, Col{0, 0, 0, 0.35}, 2);
          });
    g.Png("ui/gfx/listbox-frame-top.png", 400, 320, "soft shade at the top and bottom of the list area",
          "listbox.bm_frame_top (over the lines)", [](cairo_t* cr, int w, int h) {
              for (int k = 0; k < 2; k++) {
                  double y0 = k ? h - 12 : 12, y1 = k ? h - 34 : 34;
                  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
                  cairo_pattern_add_color_stop_rgba(p, 0, 0.45, 0.3, 0.15, 0.45);
                  cairo_pattern_add_color_stop_rgba(p, 1, 0.45, 0.3, 0.15, 0);
                  cairo_set_source(cr, p);
                  cairo_rectangle(cr, 13, std::min(y0, y1), w - 26, 22);
                  cairo_fill(cr);
                  cairo_pattern_destroy(p);
              }
          });
    // As wide as the frame, the bar inside its wooden border: the box draws
    // it from the frame's left edge.
    g.Png("ui/gfx/listbox-selection.png", 400, 30, "soft green highlight bar inside the list frame's border",
          "listbox.bm_selection", [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 16, 1, w - 32, h - 2, 8);
              ShadeV(cr, Alpha(Hex(0x6fbf4a), 0.6), 1, h - 1, 0, 0.3, 0.1);
              RoundRect(cr, 16, 1, w - 32, h - 2, 8);
              Stroke(cr, Alpha(Hex(0xb6f08a), 0.85), 1.5);
          });
    g.Png("ui/gfx/ruler-repeat.png", 16, 16, "piece of a twisted green vine, tiles left to right",
          "ruler.repeat_bitmap", [](cairo_t* cr, int w, int h) {
              for (int k = 0; k < 2; k++) {
                  cairo_move_to(cr, -2, h / 2.0);
                  cairo_curve_to(cr, 4, h / 2.0 - 3, 12, h / 2.0 + 3, 18, h / 2.0);
                  Stroke(cr, k ? Hex(0x6cc447) : Hex(0x2f6a1f), k ? 3.5 : 6);
              }
              cairo_move_to(cr, 2, h / 2.0 - 1.2);
              cairo_curve_to(cr, 6, h / 2.0 - 3, 10, h / 2.0 + 1, 14, h / 2.0 - 0.5);
              Stroke(cr, Alpha(Hex(0xd4f5b0), 0.6), 1);
          });
    g.Png("ui/gfx/ruler-end.png", 24, 16, "a leaf ending the vine, pointing left",
          "ruler.endpoint_bitmap (mirrored at the right end)", [](cairo_t* cr, int w, int h) {
              for (int k = 0; k < 2; k++) {
                  cairo_move_to(cr, 12, h / 2.0);
                  cairo_line_to(cr, w + 2, h / 2.0);
                  Stroke(cr, k ? Hex(0x6cc447) : Hex(0x2f6a1f), k ? 3.5 : 6);
              }
              Leaf(cr, 15, h / 2.0, 14, 5.5, PI, kLeafUi, 1.1);
          });
    g.Png("ui/gfx/separator.png", 320, 16, "long vine with leaves, for a fixed rule", "separator line (image)",
          [](cairo_t* cr, int w, int h) {
              for (int k = 0; k < 2; k++) {
                  cairo_move_to(cr, 10, h / 2.0);
                  for (int x = 10; x <= w - 10; x += 4) cairo_line_to(cr, x, h / 2.0 + sin(x * 0.2) * 1.5);
                  Stroke(cr, k ? Hex(0x6cc447) : Hex(0x2f6a1f), k ? 3 : 5.5);
              }
              Leaf(cr, 12, h / 2.0, 12, 4.5, PI, kLeafUi, 1);
              Leaf(cr, w - 12, h / 2.0, 12, 4.5, 0, kLeafUi, 1);
              for (int i = 1; i < 6; i++) Leaf(cr, i * w / 6.0, h / 2.0, 8, 3, i % 2 ? -0.9 : 0.9, Hex(0x8ad85a), 0.7);
          });

    g.Section("Level select");
    const char* tile_names[3] = {"", "-over", "-pressed"};
    for (int i = 0; i < 3; i++) {
        State s = (State)i;
        g.Png(std::string("ui/gfx/level-tile") + tile_names[i] + ".png", 112, 112,
              std::string("wooden level tile, grass on top, cream plate for the number") + state_what[i],
              "level button; number drawn by the UI on the plate",
              [s](cairo_t* cr, int w, int h) { LevelTile(cr, w, h, s, false); });
    }
    g.Png("ui/gfx/level-tile-locked.png", 112, 112, "greyed level tile with a padlock", "locked level",
          [](cairo_t* cr, int w, int h) { LevelTile(cr, w, h, kNormal, true); });

    g.Section("Achievements and purchases");
    const char* medal_what[8] = {
        "gold trophy cup",         "silver medal with a star",         "bronze medal with an apple",
        "green medal with a leaf", "red medal with a knocked-out bug", "violet medal with an egg",
        "blue medal with a clock", "orange medal with a happy worm"};
    for (int i = 0; i < 8; i++)
        g.Png("achievements/gfx/achievement-" + std::to_string(i + 1) + ".png", 64, 64, medal_what[i],
              "achievement icon", [i](cairo_t* cr, int, int) { Medal(cr, i); });
    g.Png("achievements/gfx/achievement-locked.png", 64, 64, "grey medal with a padlock",
          "achievement not yet unlocked", [](cairo_t* cr, int w, int h) {
              cairo_arc(cr, 32, 34, 24, 0, 2 * PI);
              Shade(cr, Hex(0x9aa0aa), 32, 34, 24, 2, 0.35, 0.3);
              cairo_save(cr);
              cairo_translate(cr, 8, 10);
              Icon(cr, "lock", 1.0);
              cairo_restore(cr);
          });
    g.Png("in-app-purchases/gfx/big-ball.png", 96, 96, "the worm's tail grown into a big shiny ball", "BIG_BALL item",
          [](cairo_t* cr, int w, int h) {
              for (int i = 0; i < 3; i++) {
                  double a = i * 2.1 + 0.5;
                  StarPath(cr, 48 + 40 * cos(a), 48 + 38 * sin(a), 6, 1.6, 4, 0);
                  FillCol(cr, Hex(0xfff2a0));
              }
              WormTail(cr, 48, 46, 34, false);
              Gloss(cr, 34, 30, 9, 5, -0.6, 0.6);
          });
    g.Png("in-app-purchases/gfx/extra-life.png", 96, 96, "red heart with a happy worm head on it", "EXTRA_LIFE item",
          [](cairo_t* cr, int w, int h) {
              double cx = 48, cy = 50, r = 40;
              cairo_move_to(cr, cx, cy + r * 0.85);
              cairo_curve_to(cr, cx - r * 1.2, cy, cx - r * 1.0, cy - r * 1.0, cx, cy - r * 0.45);
              cairo_curve_to(cr, cx + r * 1.0, cy - r * 1.0, cx + r * 1.2, cy, cx, cy + r * 0.85);
              cairo_close_path(cr);
              Shade(cr, Hex(0xff4d6d), cx, cy, r, 3, 0.4, 0.25);
              Gloss(cr, cx - r * 0.45, cy - r * 0.35, r * 0.2, r * 0.1, -0.7, 0.8);
              WormHead(cr, cx, cy + 4, 17, Face::Happy);
              RoundRect(cr, 66, 60, 24, 24, 12);
              Shade(cr, Hex(0x55c64a), 78, 72, 12, 2);
              RoundRect(cr, 71, 70, 14, 4, 2);
              RoundRect(cr, 76, 65, 4, 14, 2);
              FillCol(cr, Col{1, 1, 1, 1});
          });

    g.Section("Models", "Textures of the 3D models in `models/`, mapped whole (u and v 0..1) onto a face.");
    g.Png("images/credits-tile.png", 128, 128, "square wooden tile: a red apple with the happy worm peeking out",
          "texture of models/tile.xml, the tile turning at the end of the credits", [](cairo_t* cr, int w, int h) {
              // Opaque to the edges: the model's face is the whole picture.
              cairo_rectangle(cr, 0, 0, w, h);
              ShadeV(cr, kPlank, 0, h, 0, 0.3, 0.25);
              Rng rng(17);
              for (int i = 0; i < 9; i++) {
                  double y = 8 + i * (h - 16) / 8.0 + rng.R(-2, 2);
                  cairo_move_to(cr, 0, y);
                  cairo_curve_to(cr, w * 0.3, y + rng.R(-4, 4), w * 0.7, y + rng.R(-4, 4), w, y + rng.R(-3, 3));
                  Stroke(cr, Alpha(Darker(kPlank, 0.35), 0.25), 1.5);
              }
              RoundRect(cr, 5, 5, w - 10, h - 10, 14);
              Stroke(cr, Alpha(Darker(kPlank, 0.45), 0.8), 4);
              RoundRect(cr, 9, 9, w - 18, h - 18, 11);
              Stroke(cr, Alpha(Lighter(kPlank, 0.4), 0.6), 2);
              DrawFruit(cr, w * 0.46, h * 0.56, 38, 1);
              WormHead(cr, w * 0.66, h * 0.4, 17, Face::Happy);
              Leaf(cr, w * 0.2, h * 0.2, 22, 10, -0.6, kLeafUi, 1.5);
          });
}

}  // namespace art
