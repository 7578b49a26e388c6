// Drawing toolkit of the art generator: colours, a seeded random source,
// value noise, and the few shapes every picture of the game is built from
// (a shaded body with a darker outline of its own hue and a small gloss,
// eyes, leaves, stars, rounded boxes). Everything is drawn with cairo.
#ifndef GEN_ART_CANVAS_H
#define GEN_ART_CANVAS_H

#include <cairo.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace art {

const double PI = 3.14159265358979323846;

// ------------------------------------------------------------- colours

struct Col {
    double r = 0, g = 0, b = 0, a = 1;
};

Col Hex(uint32_t rgb, double a = 1);
Col Mix(Col a, Col b, double t);
Col Lighter(Col c, double t);  // towards white by t (0..1)
Col Darker(Col c, double t);   // towards black by t (0..1)
Col Alpha(Col c, double a);
// The outline of a body: the same hue, much darker and a little more
// saturated, so that every shape reads against any background.
Col Outline(Col c);
void Set(cairo_t* cr, Col c);

// ------------------------------------------------------------- random

// xorshift32 with a fixed seed per picture: the same build draws the same
// bytes on every machine.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9E3779B9u) {}
    uint32_t U() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    double F() { return U() / 4294967296.0; }
    double R(double a, double b) { return a + (b - a) * F(); }
    int I(int n) { return (int)(F() * n); }
};

// Smooth value noise in 0..1 on a lattice of the given seed, and a few
// octaves of it.
double Noise2(double x, double y, uint32_t seed);
double Fbm(double x, double y, int octaves, uint32_t seed);

// --------------------------------------------------------------- images

// An ARGB surface with its cairo context.
struct Image {
    int w, h;
    cairo_surface_t* surf;
    cairo_t* cr;
    Image(int w, int h);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    // Straight (not premultiplied) RGBA bytes, rows top to bottom.
    std::vector<uint8_t> Rgba() const;
};

bool WritePng(const Image& img, const std::string& path);
bool WriteJpeg(const Image& img, const std::string& path, int quality);

// --------------------------------------------------------------- shapes

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r);
void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry, double angle = 0);
void StarPath(cairo_t* cr, double cx, double cy, double ro, double ri, int points, double rot = -PI / 2);
// A blob: a closed smooth curve through n points on a wobbly circle.
void BlobPath(cairo_t* cr, double cx, double cy, double r, double wobble, int n, Rng& rng);
// A closed smooth curve through the points (Catmull-Rom turned into
// Bezier segments).
void SmoothClosed(cairo_t* cr, const std::vector<double>& xy);
void SmoothOpen(cairo_t* cr, const std::vector<double>& xy);

// Fills the current path with the game's body shading: a radial gradient
// lit from the upper left around (cx, cy) of radius r, then strokes the
// path with the outline colour (width lw; 0 for none). Clears the path.
void Shade(cairo_t* cr, Col base, double cx, double cy, double r, double lw, double light = 0.38, double dark = 0.28);
// The same with a vertical gradient (top lighter) for long shapes.
void ShadeV(cairo_t* cr, Col base, double y0, double y1, double lw, double light = 0.3, double dark = 0.25);
// A soft white gloss ellipse.
void Gloss(cairo_t* cr, double cx, double cy, double rx, double ry, double angle, double alpha);
// Strokes the current path (and clears it).
void Stroke(cairo_t* cr, Col c, double w);
void FillCol(cairo_t* cr, Col c);

// Eyes. (x, y) is the centre; look is the pupil offset in units of the
// eye's radius.
void EyeOpen(cairo_t* cr, double x, double y, double rx, double ry, double lookx, double looky, double pupil = 0.55,
             Col ink = Hex(0x1d1520));
void EyeClosed(cairo_t* cr, double x, double y, double w, double curve, double lw, Col ink = Hex(0x1d1520));
void EyeHappy(cairo_t* cr, double x, double y, double w, double lw, Col ink = Hex(0x1d1520));
void EyeCross(cairo_t* cr, double x, double y, double s, double lw, Col ink = Hex(0x1d1520));
void EyeStar(cairo_t* cr, double x, double y, double r);
// A squeezed eye: '>' when left is true, '<' otherwise.
void EyeSqueeze(cairo_t* cr, double x, double y, double s, double lw, bool left, Col ink = Hex(0x1d1520));
void Brow(cairo_t* cr, double x0, double y0, double x1, double y1, double lw, Col ink = Hex(0x1d1520));

// A leaf from (x, y) along angle, with a midrib.
void Leaf(cairo_t* cr, double x, double y, double len, double wid, double angle, Col c, double lw);
// A five-pointed gold star with its outline and gloss.
void GoldStar(cairo_t* cr, double cx, double cy, double r, Col c);
// Grass blades along a baseline.
void GrassTuft(cairo_t* cr, double x, double y, double h, int blades, Col c, Rng& rng);

// ------------------------------------------------------- the worm itself

// The worm's colours, shared by its pictures, icons and story panels.
extern const Col kWormSkin;
extern const Col kWormBelly;

enum class Face { Idle, Grab, Hurt, LevelEnd, EyesClosed, GrabEyesClosed, GrabStars, Happy, Sleep };
// The head as a circle of radius r at (cx, cy), the mouth towards +y (the
// side that grips), features scaled with r.
void WormHead(cairo_t* cr, double cx, double cy, double r, Face face);
// The tail end: a round knob, gripping towards +y when grab is set.
void WormTail(cairo_t* cr, double cx, double cy, double r, bool grab);
// A whole worm along a smooth open curve of points (head first), body
// radius r; the head is drawn at the first point facing `head_angle`.
void WormAlong(cairo_t* cr, const std::vector<double>& xy, double r, Face face, double head_angle);

}  // namespace art

#endif
