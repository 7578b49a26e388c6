// The game's HUD pictures, the tutorial hand, the loading indicator and the
// developer icons.
#include <math.h>

#include "gen.h"

namespace art {

// Draws `draw` and lays it down as a flat silhouette of colour c.
static void Silhouette(cairo_t* cr, Col c, const std::function<void()>& draw) {
    cairo_push_group(cr);
    draw();
    cairo_pattern_t* shape = cairo_pop_group(cr);
    Set(cr, c);
    cairo_mask(cr, shape);
    cairo_pattern_destroy(shape);
}

void DrawHand(cairo_t* cr, double x, double y, double s) {
    // A white cartoon glove; built pointing straight up with the fingertip
    // at the origin, then leaned to the upper left.
    Col glove = Hex(0xffffff), line = Hex(0x3a3a4a);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -0.62);
    double lw = 2.2 * s;
    auto part = [&](std::function<void()> path) {
        path();
        Set(cr, glove);
        cairo_fill_preserve(cr);
        Stroke(cr, line, lw);
    };
    // Cuff.
    part([&] { RoundRect(cr, -9 * s, 58 * s, 30 * s, 12 * s, 4 * s); });
    // Curled fingers and the palm.
    part([&] { RoundRect(cr, -10 * s, 26 * s, 32 * s, 34 * s, 12 * s); });
    for (int i = 0; i < 3; i++) part([&] { RoundRect(cr, 4 * s + i * 6 * s, 24 * s, 9 * s, 14 * s, 4.5 * s); });
    // Thumb.
    part([&] {
        cairo_move_to(cr, -8 * s, 44 * s);
        cairo_curve_to(cr, -18 * s, 40 * s, -20 * s, 30 * s, -14 * s, 28 * s);
        cairo_curve_to(cr, -9 * s, 26 * s, -6 * s, 34 * s, -2 * s, 36 * s);
        cairo_close_path(cr);
    });
    // The pointing finger.
    part([&] { RoundRect(cr, -5.5 * s, 0, 11 * s, 38 * s, 5.5 * s); });
    cairo_move_to(cr, -2 * s, 7 * s);
    cairo_line_to(cr, 2 * s, 7 * s);
    Stroke(cr, Alpha(line, 0.4), 1.2 * s);
    // Glove seams on the back of the hand.
    for (int i = 0; i < 2; i++) {
        cairo_move_to(cr, 2 * s + i * 7 * s, 44 * s);
        cairo_line_to(cr, 3 * s + i * 7 * s, 54 * s);
        Stroke(cr, Alpha(line, 0.35), 1.3 * s);
    }
    cairo_restore(cr);
}

static void Stopwatch(cairo_t* cr, double cx, double cy, double r, bool ticks) {
    Col rim = Hex(0xff9a2e);
    RoundRect(cr, cx - r * 0.2, cy - r * 1.28, r * 0.4, r * 0.3, r * 0.08);
    Shade(cr, Hex(0xc7ccd4), cx, cy - r * 1.1, r * 0.3, std::max(1.0, r * 0.07));
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, 0.75);
    RoundRect(cr, -r * 0.12, -r * 1.18, r * 0.24, r * 0.25, r * 0.06);
    Shade(cr, Hex(0xc7ccd4), 0, -r * 1.1, r * 0.25, std::max(1.0, r * 0.07));
    cairo_restore(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * PI);
    Shade(cr, rim, cx, cy, r, std::max(1.0, r * 0.08));
    cairo_arc(cr, cx, cy, r * 0.82, 0, 2 * PI);
    cairo_pattern_t* g = cairo_pattern_create_radial(cx - r * 0.2, cy - r * 0.3, 0, cx, cy, r * 0.82);
    cairo_pattern_add_color_stop_rgb(g, 0, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.88, 0.9, 0.94);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, Outline(rim), std::max(1.0, r * 0.06));
    if (ticks)
        for (int i = 0; i < 12; i++) {
            double a = i * PI / 6, k = i % 3 ? 0.66 : 0.58;
            cairo_move_to(cr, cx + r * 0.74 * cos(a), cy + r * 0.74 * sin(a));
            cairo_line_to(cr, cx + r * k * cos(a), cy + r * k * sin(a));
            Stroke(cr, Hex(0x5a5f6e), std::max(1.0, r * (i % 3 ? 0.05 : 0.09)));
        }
    cairo_arc(cr, cx, cy, std::max(1.5, r * 0.08), 0, 2 * PI);
    FillCol(cr, Hex(0x5a5f6e));
}

static void Pinwheel(cairo_t* cr, double cx, double cy, double r) {
    const uint32_t colours[4] = {0xff6b6b, 0xffd23a, 0x5fd06a, 0x4fb3ff};
    for (int i = 0; i < 4; i++) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, i * PI / 2);
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, 0, -r);
        cairo_curve_to(cr, r * 0.55, -r * 0.95, r * 0.75, -r * 0.5, r * 0.55, -r * 0.1);
        cairo_close_path(cr);
        cairo_restore(cr);
        Shade(cr, Hex(colours[i]), cx, cy, r, std::max(1.0, r * 0.06), 0.35, 0.2);
    }
    cairo_arc(cr, cx, cy, r * 0.14, 0, 2 * PI);
    Shade(cr, Hex(0xffffff), cx, cy, r * 0.14, std::max(1.0, r * 0.05), 0.2, 0.3);
}

void ArtHud(Gen& g) {
    g.Section("HUD and tutorial", "Screen pictures of the game screen, drawn at the UI's reference scale (1024x600).");
    g.Png("ui/gfx/bug.png", 32, 32, "flying bug icon", "bugs-killed counter",
          [](cairo_t* cr, int w, int h) { DrawFlyingBug(cr, w / 2.0 + 1, h / 2.0 - 1, 9.5, 0); });
    g.Png("ui/gfx/bubble-spike.png", 48, 48, "speech bubble holding a red spiky ball", "tutorial: hazards hurt",
          [](cairo_t* cr, int w, int h) {
              cairo_move_to(cr, 10, 33);
              cairo_line_to(cr, 5, 45);
              cairo_line_to(cr, 20, 36);
              cairo_close_path(cr);
              Ellipse(cr, 25, 20, 21, 16);
              Set(cr, Col{1, 1, 1, 1});
              cairo_fill_preserve(cr);
              cairo_new_path(cr);
              cairo_move_to(cr, 10, 33);
              cairo_line_to(cr, 5, 45);
              cairo_line_to(cr, 20, 36);
              Stroke(cr, Hex(0x3a3a4a), 2);
              Ellipse(cr, 25, 20, 21, 16);
              Stroke(cr, Hex(0x3a3a4a), 2);
              cairo_move_to(cr, 11, 32);
              cairo_line_to(cr, 19, 35);
              Stroke(cr, Col{1, 1, 1, 1}, 3);
              StarPath(cr, 25, 20, 11, 6, 10, 0);
              Shade(cr, Hex(0xe2503a), 25, 20, 11, 1.4);
              Gloss(cr, 22, 16, 3.5, 2, -0.6, 0.8);
          });
    g.Png("ui/gfx/warning-triangle.png", 48, 44, "yellow warning triangle with an exclamation mark", "tutorial: danger",
          [](cairo_t* cr, int w, int h) {
              cairo_move_to(cr, w / 2.0, 4);
              cairo_line_to(cr, w - 4, h - 4);
              cairo_line_to(cr, 4, h - 4);
              cairo_close_path(cr);
              cairo_set_line_width(cr, 5);
              ShadeV(cr, Hex(0xffd23a), 4, h - 4, 4, 0.4, 0.2);
              RoundRect(cr, w / 2.0 - 3, 15, 6, 15, 3);
              FillCol(cr, Hex(0x3a2a10));
              cairo_arc(cr, w / 2.0, 35, 3.2, 0, 2 * PI);
              FillCol(cr, Hex(0x3a2a10));
          });
    g.Png("ui/gfx/fruit-silhuet.png", 40, 40, "dark silhouette of the apple", "HUD slot of a fruit still to collect",
          [](cairo_t* cr, int w, int h) {
              Silhouette(cr, Col{0.15, 0.1, 0.2, 0.5}, [&] { DrawFruit(cr, w / 2.0, h / 2.0 + 1, 15, 1); });
          });
    g.Png("ui/gfx/egg-silhuet.png", 32, 40, "dark silhouette of the egg", "HUD slot of an egg still to collect",
          [](cairo_t* cr, int w, int h) {
              Silhouette(cr, Col{0.15, 0.1, 0.2, 0.5}, [&] { DrawEgg(cr, w / 2.0, h / 2.0, 13, 17); });
          });
    g.Png("ui/gfx/clock-face.png", 64, 64, "stopwatch: orange rim, white face with ticks, buttons on top",
          "level clock; face centre (32, 35), face radius 22",
          [](cairo_t* cr, int w, int h) { Stopwatch(cr, 32, 35, 27, true); });
    g.Png("ui/gfx/clock-fill.png", 64, 64, "translucent green disc over the stopwatch face", "clock fill (time left)",
          [](cairo_t* cr, int w, int h) {
              cairo_arc(cr, 32, 35, 22, 0, 2 * PI);
              FillCol(cr, Col{0.35, 0.8, 0.3, 0.55});
          });
    g.Png("ui/gfx/clock-fill-2.png", 64, 64, "translucent red disc over the stopwatch face", "clock fill (over time)",
          [](cairo_t* cr, int w, int h) {
              cairo_arc(cr, 32, 35, 22, 0, 2 * PI);
              FillCol(cr, Col{0.95, 0.3, 0.25, 0.55});
          });
    g.Png("ui/gfx/star.png", 48, 48, "glossy gold star", "stars won; rating",
          [](cairo_t* cr, int w, int h) { GoldStar(cr, w / 2.0, h / 2.0 + 1.5, 21, Hex(0xffcf33)); });
    g.Png("ui/gfx/star-black.png", 48, 48, "the star's empty slot: dark translucent star", "star not won",
          [](cairo_t* cr, int w, int h) {
              StarPath(cr, w / 2.0, h / 2.0 + 1.5, 21, 21 * 0.48, 5);
              Set(cr, Col{0.12, 0.1, 0.18, 0.45});
              cairo_fill_preserve(cr);
              Stroke(cr, Col{0.9, 0.85, 0.7, 0.8}, 2);
          });
    g.Png("ui/gfx/star-small.png", 24, 24, "small gold star", "stars on level tiles",
          [](cairo_t* cr, int w, int h) { GoldStar(cr, w / 2.0, h / 2.0 + 1, 10.5, Hex(0xffcf33)); });
    g.Png("ui/gfx/star-small-empty.png", 24, 24, "small empty star slot", "stars on level tiles",
          [](cairo_t* cr, int w, int h) {
              StarPath(cr, w / 2.0, h / 2.0 + 1, 10.5, 5, 5);
              Set(cr, Col{0.12, 0.1, 0.18, 0.45});
              cairo_fill_preserve(cr);
              Stroke(cr, Col{0.9, 0.85, 0.7, 0.8}, 1.4);
          });
    g.Png("ui/gfx/time-add.png", 48, 48, "small stopwatch with a green plus badge", "time bonus",
          [](cairo_t* cr, int w, int h) {
              Stopwatch(cr, 20, 26, 16, true);
              cairo_arc(cr, 35, 35, 10, 0, 2 * PI);
              Shade(cr, Hex(0x55c64a), 35, 35, 10, 1.6);
              RoundRect(cr, 29, 33.2, 12, 3.6, 1.5);
              RoundRect(cr, 33.2, 29, 3.6, 12, 1.5);
              FillCol(cr, Col{1, 1, 1, 1});
          });
    g.Png("ui/gfx/worm-life-counter.png", 32, 32, "little happy worm head", "one per life, side by side",
          [](cairo_t* cr, int w, int h) { WormHead(cr, w / 2.0, h / 2.0 + 2, 12.5, Face::Happy); });
    g.Png("ui/gfx/tutorial-hand.png", 80, 96, "white cartoon glove pointing up-left; fingertip at (6, 6)",
          "tutorial hand, drawn with its top-left corner at the point shown",
          [](cairo_t* cr, int w, int h) { DrawHand(cr, 8, 7, 1.0); });

    g.Section("Framework");
    g.Png("loader/windmill.png", 64, 64, "four-coloured pinwheel", "loading indicator, turned once every 1.5 s",
          [](cairo_t* cr, int w, int h) { Pinwheel(cr, w / 2.0, h / 2.0, 29); });
    g.Png("core/icon-not-localized.png", 16, 16, "speech bubble with a red slash", "editor: text not localized",
          [](cairo_t* cr, int w, int h) {
              RoundRect(cr, 1.5, 1.5, 13, 10, 3);
              cairo_move_to(cr, 4, 11.5);
              cairo_line_to(cr, 3, 15);
              cairo_line_to(cr, 7.5, 11.5);
              Set(cr, Col{1, 1, 1, 1});
              cairo_fill_preserve(cr);
              Stroke(cr, Hex(0x30364a), 1.2);
              cairo_move_to(cr, 3, 11);
              cairo_line_to(cr, 13, 2);
              Stroke(cr, Hex(0xe0303a), 2);
          });
    g.Png("core/icon-dummy.png", 16, 16, "grey target rings with a cross", "editor: dummy component",
          [](cairo_t* cr, int w, int h) {
              cairo_arc(cr, 8, 8, 6.5, 0, 2 * PI);
              Set(cr, Hex(0xd8dbe2));
              cairo_fill_preserve(cr);
              Stroke(cr, Hex(0x30364a), 1.2);
              cairo_arc(cr, 8, 8, 3.2, 0, 2 * PI);
              Stroke(cr, Hex(0x30364a), 1);
              cairo_move_to(cr, 8, 0.5);
              cairo_line_to(cr, 8, 15.5);
              cairo_move_to(cr, 0.5, 8);
              cairo_line_to(cr, 15.5, 8);
              Stroke(cr, Hex(0xe08a20), 1);
          });
}

}  // namespace art
