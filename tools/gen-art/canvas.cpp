// Drawing toolkit of the art generator. See canvas.h.
#include "canvas.h"

#include <math.h>
#include <png.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
// After stdio.h: it needs FILE and size_t.
#include <jpeglib.h>

#include <algorithm>

namespace art {

// ------------------------------------------------------------- colours

Col Hex(uint32_t rgb, double a) {
    return Col{((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, a};
}

Col Mix(Col a, Col b, double t) {
    return Col{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Col Lighter(Col c, double t) { return Mix(c, Col{1, 1, 1, c.a}, t); }
Col Darker(Col c, double t) { return Mix(c, Col{0, 0, 0, c.a}, t); }
Col Alpha(Col c, double a) { return Col{c.r, c.g, c.b, a}; }

static void ToHsl(Col c, double* h, double* s, double* l) {
    double mx = std::max(c.r, std::max(c.g, c.b)), mn = std::min(c.r, std::min(c.g, c.b));
    *l = (mx + mn) / 2;
    if (mx - mn < 1e-9) {
        *h = *s = 0;
        return;
    }
    double d = mx - mn;
    *s = *l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == c.r)
        *h = (c.g - c.b) / d + (c.g < c.b ? 6 : 0);
    else if (mx == c.g)
        *h = (c.b - c.r) / d + 2;
    else
        *h = (c.r - c.g) / d + 4;
    *h /= 6;
}

static double HueToRgb(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

static Col FromHsl(double h, double s, double l, double a) {
    if (s <= 0) return Col{l, l, l, a};
    double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    return Col{HueToRgb(p, q, h + 1.0 / 3), HueToRgb(p, q, h), HueToRgb(p, q, h - 1.0 / 3), a};
}

Col Outline(Col c) {
    double h, s, l;
    ToHsl(c, &h, &s, &l);
    return FromHsl(h, std::min(1.0, s * 1.1 + 0.08), std::max(0.1, l * 0.36), c.a);
}

void Set(cairo_t* cr, Col c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

// ------------------------------------------------------------- noise

static uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (uint32_t)x * 0x27d4eb2du ^ (uint32_t)y * 0x165667b1u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

double Noise2(double x, double y, uint32_t seed) {
    int xi = (int)floor(x), yi = (int)floor(y);
    double fx = x - xi, fy = y - yi;
    auto v = [&](int a, int b) { return Hash(xi + a, yi + b, seed) / 4294967296.0; };
    double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    double top = v(0, 0) + (v(1, 0) - v(0, 0)) * sx, bottom = v(0, 1) + (v(1, 1) - v(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

double Fbm(double x, double y, int octaves, uint32_t seed) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += amp * Noise2(x, y, seed + (uint32_t)i * 101u);
        norm += amp;
        amp *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / norm;
}

// --------------------------------------------------------------- images

Image::Image(int w_, int h_) : w(w_), h(h_) {
    surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr = cairo_create(surf);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
}

Image::~Image() {
    cairo_destroy(cr);
    cairo_surface_destroy(surf);
}

std::vector<uint8_t> Image::Rgba() const {
    cairo_surface_flush(surf);
    const uint8_t* data = cairo_image_surface_get_data(surf);
    int stride = cairo_image_surface_get_stride(surf);
    std::vector<uint8_t> out((size_t)w * h * 4);
    for (int y = 0; y < h; y++) {
        const uint32_t* row = (const uint32_t*)(data + (size_t)y * stride);
        uint8_t* o = out.data() + (size_t)y * w * 4;
        for (int x = 0; x < w; x++) {
            uint32_t p = row[x];
            unsigned a = p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (a == 0) {
                r = g = b = 0;
            } else if (a < 255) {
                // Undo cairo's premultiplication, rounding to nearest.
                r = std::min(255u, (r * 255 + a / 2) / a);
                g = std::min(255u, (g * 255 + a / 2) / a);
                b = std::min(255u, (b * 255 + a / 2) / a);
            }
            o[x * 4 + 0] = (uint8_t)r;
            o[x * 4 + 1] = (uint8_t)g;
            o[x * 4 + 2] = (uint8_t)b;
            o[x * 4 + 3] = (uint8_t)a;
        }
    }
    return out;
}

bool WritePng(const Image& img, const std::string& path) {
    std::vector<uint8_t> px = img.Rgba();
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // Set after setjmp and read after a longjmp: kept in memory.
    volatile bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, fp);
        // The data tree ships inside the game: the smallest file wins over
        // the time it takes to write it.
        png_set_compression_level(png, 9);
        png_set_IHDR(png, info, (png_uint_32)img.w, (png_uint_32)img.h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < img.h; y++) png_write_row(png, px.data() + (size_t)y * img.w * 4);
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    bool written = ok;
    return fclose(fp) == 0 && written;
}

bool WriteJpeg(const Image& img, const std::string& path, int quality) {
    std::vector<uint8_t> px = img.Rgba();
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp) return false;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, fp);
    c.image_width = (JDIMENSION)img.w;
    c.image_height = (JDIMENSION)img.h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.optimize_coding = TRUE;
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row((size_t)img.w * 3);
    while (c.next_scanline < c.image_height) {
        const uint8_t* s = px.data() + (size_t)c.next_scanline * img.w * 4;
        // Opaque pictures only; anything see-through is laid on white.
        for (int x = 0; x < img.w; x++) {
            unsigned a = s[x * 4 + 3];
            for (int k = 0; k < 3; k++) row[x * 3 + k] = (uint8_t)((s[x * 4 + k] * a + 255 * (255 - a) + 127) / 255);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return fclose(fp) == 0;
}

// --------------------------------------------------------------- shapes

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min(r, std::min(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, PI / 2, PI);
    cairo_arc(cr, x + r, y + r, r, PI, 1.5 * PI);
    cairo_close_path(cr);
}

void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry, double angle) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * PI);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void StarPath(cairo_t* cr, double cx, double cy, double ro, double ri, int points, double rot) {
    cairo_new_sub_path(cr);
    for (int i = 0; i < points * 2; i++) {
        double a = rot + i * PI / points, r = i % 2 ? ri : ro;
        double x = cx + r * cos(a), y = cy + r * sin(a);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

static void CatmullRom(cairo_t* cr, const std::vector<double>& p, bool closed) {
    size_t n = p.size() / 2;
    if (n < 2) return;
    auto P = [&](long i, int k) {
        if (closed)
            i = ((i % (long)n) + (long)n) % (long)n;
        else
            i = std::max(0L, std::min((long)n - 1, i));
        return p[(size_t)i * 2 + k];
    };
    cairo_move_to(cr, P(0, 0), P(0, 1));
    long segs = closed ? (long)n : (long)n - 1;
    for (long i = 0; i < segs; i++) {
        double c1x = P(i, 0) + (P(i + 1, 0) - P(i - 1, 0)) / 6, c1y = P(i, 1) + (P(i + 1, 1) - P(i - 1, 1)) / 6;
        double c2x = P(i + 1, 0) - (P(i + 2, 0) - P(i, 0)) / 6, c2y = P(i + 1, 1) - (P(i + 2, 1) - P(i, 1)) / 6;
        cairo_curve_to(cr, c1x, c1y, c2x, c2y, P(i + 1, 0), P(i + 1, 1));
    }
    if (closed) cairo_close_path(cr);
}

void SmoothClosed(cairo_t* cr, const std::vector<double>& xy) { CatmullRom(cr, xy, true); }
void SmoothOpen(cairo_t* cr, const std::vector<double>& xy) { CatmullRom(cr, xy, false); }

void BlobPath(cairo_t* cr, double cx, double cy, double r, double wobble, int n, Rng& rng) {
    std::vector<double> pts;
    for (int i = 0; i < n; i++) {
        double a = 2 * PI * i / n, rr = r * (1 + rng.R(-wobble, wobble));
        pts.push_back(cx + rr * cos(a));
        pts.push_back(cy + rr * sin(a));
    }
    SmoothClosed(cr, pts);
}

void Shade(cairo_t* cr, Col base, double cx, double cy, double r, double lw, double light, double dark) {
    cairo_pattern_t* g =
        cairo_pattern_create_radial(cx - 0.35 * r, cy - 0.42 * r, 0, cx - 0.1 * r, cy - 0.1 * r, r * 1.25);
    Col l = Lighter(base, light), d = Darker(base, dark);
    cairo_pattern_add_color_stop_rgba(g, 0, l.r, l.g, l.b, l.a);
    cairo_pattern_add_color_stop_rgba(g, 0.55, base.r, base.g, base.b, base.a);
    cairo_pattern_add_color_stop_rgba(g, 1, d.r, d.g, d.b, d.a);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    if (lw > 0) {
        Set(cr, Outline(base));
        cairo_set_line_width(cr, lw);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

void ShadeV(cairo_t* cr, Col base, double y0, double y1, double lw, double light, double dark) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
    Col l = Lighter(base, light), d = Darker(base, dark);
    cairo_pattern_add_color_stop_rgba(g, 0, l.r, l.g, l.b, l.a);
    cairo_pattern_add_color_stop_rgba(g, 0.45, base.r, base.g, base.b, base.a);
    cairo_pattern_add_color_stop_rgba(g, 1, d.r, d.g, d.b, d.a);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    if (lw > 0) {
        Set(cr, Outline(base));
        cairo_set_line_width(cr, lw);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

void Gloss(cairo_t* cr, double cx, double cy, double rx, double ry, double angle, double alpha) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    cairo_scale(cr, rx, ry);
    cairo_pattern_t* g = cairo_pattern_create_radial(-0.2, -0.2, 0, 0, 0, 1);
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, alpha);
    cairo_pattern_add_color_stop_rgba(g, 0.6, 1, 1, 1, alpha * 0.6);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, 0, 0, 1, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);
}

void Stroke(cairo_t* cr, Col c, double w) {
    Set(cr, c);
    cairo_set_line_width(cr, w);
    cairo_stroke(cr);
}

void FillCol(cairo_t* cr, Col c) {
    Set(cr, c);
    cairo_fill(cr);
}

// ----------------------------------------------------------------- eyes

void EyeOpen(cairo_t* cr, double x, double y, double rx, double ry, double lookx, double looky, double pupil, Col ink) {
    Ellipse(cr, x, y, rx, ry);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y - ry, 0, y + ry);
    cairo_pattern_add_color_stop_rgb(g, 0, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.84, 0.88, 0.95);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, ink, std::max(1.0, rx * 0.2));
    double pr = pupil * std::min(rx, ry);
    double px = x + lookx * (rx - pr) * 0.85, py = y + looky * (ry - pr) * 0.85;
    cairo_arc(cr, px, py, pr, 0, 2 * PI);
    FillCol(cr, ink);
    cairo_arc(cr, px - pr * 0.35, py - pr * 0.38, pr * 0.36, 0, 2 * PI);
    FillCol(cr, Col{1, 1, 1, 0.95});
}

void EyeClosed(cairo_t* cr, double x, double y, double w, double curve, double lw, Col ink) {
    cairo_move_to(cr, x - w / 2, y);
    cairo_curve_to(cr, x - w / 4, y + curve, x + w / 4, y + curve, x + w / 2, y);
    Stroke(cr, ink, lw);
}

void EyeHappy(cairo_t* cr, double x, double y, double w, double lw, Col ink) {
    cairo_move_to(cr, x - w / 2, y + w * 0.2);
    cairo_curve_to(cr, x - w / 3, y - w * 0.45, x + w / 3, y - w * 0.45, x + w / 2, y + w * 0.2);
    Stroke(cr, ink, lw);
}

void EyeCross(cairo_t* cr, double x, double y, double s, double lw, Col ink) {
    cairo_move_to(cr, x - s, y - s);
    cairo_line_to(cr, x + s, y + s);
    cairo_move_to(cr, x + s, y - s);
    cairo_line_to(cr, x - s, y + s);
    Stroke(cr, ink, lw);
}

void EyeStar(cairo_t* cr, double x, double y, double r) {
    StarPath(cr, x, y, r, r * 0.45, 5);
    Set(cr, Hex(0xffe14d));
    cairo_fill_preserve(cr);
    Stroke(cr, Hex(0x8a5a00), std::max(1.0, r * 0.18));
    cairo_arc(cr, x - r * 0.2, y - r * 0.25, r * 0.18, 0, 2 * PI);
    FillCol(cr, Col{1, 1, 1, 0.9});
}

void EyeSqueeze(cairo_t* cr, double x, double y, double s, double lw, bool left, Col ink) {
    double d = left ? 1 : -1;
    cairo_move_to(cr, x - d * s, y - s * 0.8);
    cairo_line_to(cr, x + d * s * 0.7, y);
    cairo_line_to(cr, x - d * s, y + s * 0.8);
    Stroke(cr, ink, lw);
}

void Brow(cairo_t* cr, double x0, double y0, double x1, double y1, double lw, Col ink) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    Stroke(cr, ink, lw);
}

// --------------------------------------------------------------- nature

void Leaf(cairo_t* cr, double x, double y, double len, double wid, double angle, Col c, double lw) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, 0, 0);
    cairo_curve_to(cr, len * 0.25, -wid, len * 0.7, -wid, len, 0);
    cairo_curve_to(cr, len * 0.7, wid, len * 0.25, wid, 0, 0);
    cairo_close_path(cr);
    Shade(cr, c, len * 0.45, -wid * 0.2, len * 0.6, lw);
    cairo_move_to(cr, len * 0.06, 0);
    cairo_curve_to(cr, len * 0.4, -wid * 0.08, len * 0.6, -wid * 0.05, len * 0.86, 0);
    Stroke(cr, Alpha(Darker(c, 0.3), 0.8), std::max(0.6, lw * 0.6));
    cairo_restore(cr);
}

void GoldStar(cairo_t* cr, double cx, double cy, double r, Col c) {
    StarPath(cr, cx, cy, r, r * 0.48, 5);
    Shade(cr, c, cx, cy, r, std::max(1.0, r * 0.1), 0.5, 0.25);
    Gloss(cr, cx - r * 0.22, cy - r * 0.3, r * 0.28, r * 0.16, -0.5, 0.75);
}

void GrassTuft(cairo_t* cr, double x, double y, double h, int blades, Col c, Rng& rng) {
    for (int i = 0; i < blades; i++) {
        double bx = x + rng.R(-h * 0.4, h * 0.4), bh = h * rng.R(0.6, 1.0), lean = rng.R(-0.5, 0.5) * h;
        double w = h * 0.09;
        cairo_move_to(cr, bx - w, y);
        cairo_curve_to(cr, bx - w, y - bh * 0.5, bx + lean * 0.5, y - bh * 0.8, bx + lean, y - bh);
        cairo_curve_to(cr, bx + lean * 0.5 + w * 0.3, y - bh * 0.7, bx + w, y - bh * 0.4, bx + w, y);
        cairo_close_path(cr);
        Set(cr, Mix(c, Lighter(c, 0.3), rng.F()));
        cairo_fill(cr);
    }
}

// ------------------------------------------------------------ the worm

const Col kWormSkin = Hex(0xf48aa0);
const Col kWormBelly = Hex(0xffc4cf);

static const Col kInk = Hex(0x2a1420);

static void Mouth(cairo_t* cr, double cx, double cy, double r, Face face) {
    double lw = std::max(1.0, r * 0.085);
    switch (face) {
        case Face::Grab:
        case Face::GrabEyesClosed:
        case Face::GrabStars: {
            // Puckered lips at the gripping side: the worm sucks onto what
            // it holds.
            double my = cy + r * 0.64;
            Ellipse(cr, cx, my, r * 0.34, r * 0.24);
            Set(cr, Hex(0xd9506e));
            cairo_fill_preserve(cr);
            Stroke(cr, Outline(kWormSkin), lw);
            Ellipse(cr, cx, my + r * 0.02, r * 0.17, r * 0.11);
            FillCol(cr, Hex(0x5a1026));
            Gloss(cr, cx - r * 0.14, my - r * 0.12, r * 0.1, r * 0.05, -0.3, 0.7);
            break;
        }
        case Face::Hurt: {
            double y = cy + r * 0.42;
            cairo_move_to(cr, cx - r * 0.3, y);
            for (int i = 1; i <= 4; i++)
                cairo_line_to(cr, cx - r * 0.3 + i * r * 0.15, y + (i % 2 ? -r * 0.08 : r * 0.06));
            Stroke(cr, kInk, lw);
            break;
        }
        case Face::LevelEnd:
        case Face::Happy: {
            double y = cy + r * 0.22;
            cairo_move_to(cr, cx - r * 0.38, y);
            cairo_curve_to(cr, cx - r * 0.3, y + r * 0.55, cx + r * 0.3, y + r * 0.55, cx + r * 0.38, y);
            cairo_close_path(cr);
            Set(cr, Hex(0x6a1630));
            cairo_fill_preserve(cr);
            Stroke(cr, kInk, lw);
            // Tongue.
            cairo_save(cr);
            cairo_move_to(cr, cx - r * 0.38, y);
            cairo_curve_to(cr, cx - r * 0.3, y + r * 0.55, cx + r * 0.3, y + r * 0.55, cx + r * 0.38, y);
            cairo_close_path(cr);
            cairo_clip(cr);
            Ellipse(cr, cx + r * 0.05, y + r * 0.42, r * 0.22, r * 0.16);
            FillCol(cr, Hex(0xff7a93));
            cairo_restore(cr);
            break;
        }
        case Face::Sleep: {
            Ellipse(cr, cx, cy + r * 0.4, r * 0.08, r * 0.06);
            FillCol(cr, Hex(0x6a1630));
            break;
        }
        default: {
            double y = cy + r * 0.3;
            cairo_move_to(cr, cx - r * 0.26, y);
            cairo_curve_to(cr, cx - r * 0.12, y + r * 0.2, cx + r * 0.12, y + r * 0.2, cx + r * 0.26, y);
            Stroke(cr, kInk, lw);
            break;
        }
    }
}

static void Eyes(cairo_t* cr, double cx, double cy, double r, Face face) {
    double ex = r * 0.34, ey = cy - r * 0.2, lw = std::max(1.0, r * 0.09);
    for (int s = -1; s <= 1; s += 2) {
        double x = cx + s * ex;
        switch (face) {
            case Face::Idle:
                EyeOpen(cr, x, ey, r * 0.25, r * 0.31, 0.15 * -s, 0.25, 0.55, kInk);
                break;
            case Face::Grab:
                EyeOpen(cr, x, ey + r * 0.02, r * 0.25, r * 0.29, 0, 0.55, 0.55, kInk);
                // Determined brows, pulled down towards the middle.
                Brow(cr, x + s * r * 0.22, ey - r * 0.46, x - s * r * 0.12, ey - r * 0.32, lw, kInk);
                break;
            case Face::Hurt:
                EyeSqueeze(cr, x, ey, r * 0.16, lw, s < 0, kInk);
                break;
            case Face::LevelEnd:
            case Face::Happy:
                EyeHappy(cr, x, ey + r * 0.05, r * 0.36, lw, kInk);
                break;
            case Face::EyesClosed:
            case Face::GrabEyesClosed:
            case Face::Sleep:
                EyeClosed(cr, x, ey + r * 0.02, r * 0.36, r * 0.16, lw, kInk);
                break;
            case Face::GrabStars:
                EyeStar(cr, x, ey, r * 0.3);
                break;
        }
    }
}

void WormHead(cairo_t* cr, double cx, double cy, double r, Face face) {
    double lw = std::max(1.0, r * 0.09);
    // A little sprout on top: the worm's mark, opposite the gripping side.
    cairo_move_to(cr, cx, cy - r * 0.9);
    cairo_curve_to(cr, cx, cy - r * 0.96, cx + r * 0.03, cy - r * 1.0, cx + r * 0.08, cy - r * 1.02);
    Stroke(cr, Hex(0x3d7a26), std::max(1.0, r * 0.08));
    Leaf(cr, cx + r * 0.07, cy - r * 1.01, r * 0.4, r * 0.14, -0.28, Hex(0x7ccf4a), std::max(0.8, r * 0.05));
    Leaf(cr, cx + r * 0.05, cy - r * 1.0, r * 0.3, r * 0.12, -2.85, Hex(0x6cc043), std::max(0.8, r * 0.05));

    cairo_arc(cr, cx, cy, r - lw / 2, 0, 2 * PI);
    Shade(cr, kWormSkin, cx, cy, r, lw);
    Gloss(cr, cx - r * 0.36, cy - r * 0.5, r * 0.3, r * 0.16, -0.6, 0.7);
    // Cheeks.
    for (int s = -1; s <= 1; s += 2) {
        Ellipse(cr, cx + s * r * 0.6, cy + r * 0.2, r * 0.17, r * 0.11);
        FillCol(cr, Alpha(Hex(0xff5577), face == Face::Hurt ? 0.2 : 0.45));
    }
    Eyes(cr, cx, cy, r, face);
    Mouth(cr, cx, cy, r, face);
    if (face == Face::Hurt) {
        // A drop of sweat.
        double x = cx + r * 0.72, y = cy - r * 0.55;
        cairo_move_to(cr, x, y - r * 0.2);
        cairo_curve_to(cr, x + r * 0.14, y, x + r * 0.12, y + r * 0.12, x, y + r * 0.12);
        cairo_curve_to(cr, x - r * 0.12, y + r * 0.12, x - r * 0.14, y, x, y - r * 0.2);
        Set(cr, Hex(0x9fe0ff));
        cairo_fill_preserve(cr);
        Stroke(cr, Hex(0x2f7fb0), std::max(0.8, r * 0.05));
    }
}

void WormTail(cairo_t* cr, double cx, double cy, double r, bool grab) {
    double lw = std::max(1.0, r * 0.09);
    Col line = Alpha(Outline(kWormSkin), 0.45);
    if (!grab) {
        // A small rounded tip on the gripping side.
        cairo_move_to(cr, cx - r * 0.35, cy + r * 0.8);
        cairo_curve_to(cr, cx - r * 0.2, cy + r * 1.16, cx + r * 0.2, cy + r * 1.16, cx + r * 0.35, cy + r * 0.8);
        cairo_close_path(cr);
        Shade(cr, kWormSkin, cx, cy + r, r * 0.4, lw);
    }
    cairo_arc(cr, cx, cy, r - lw / 2, 0, 2 * PI);
    Shade(cr, kWormSkin, cx, cy, r, lw);
    cairo_save(cr);
    cairo_arc(cr, cx, cy, r - lw, 0, 2 * PI);
    cairo_clip(cr);
    // Segment rings, bent as rings around a tube seen from the side.
    for (int i = 0; i < 3; i++) {
        double y = cy - r * 0.55 + i * r * 0.42;
        cairo_move_to(cr, cx - r, y - r * 0.12);
        cairo_curve_to(cr, cx - r * 0.4, y + r * 0.16, cx + r * 0.4, y + r * 0.16, cx + r, y - r * 0.12);
        Stroke(cr, line, std::max(1.0, r * 0.07));
    }
    cairo_restore(cr);
    Gloss(cr, cx - r * 0.36, cy - r * 0.45, r * 0.32, r * 0.17, -0.6, 0.7);
    if (grab) {
        // A sucker pad pressed onto the surface.
        double y = cy + r * 0.72;
        Ellipse(cr, cx, y, r * 0.62, r * 0.25);
        Set(cr, Hex(0xe0607c));
        cairo_fill_preserve(cr);
        Stroke(cr, Outline(kWormSkin), lw);
        Ellipse(cr, cx, y + r * 0.02, r * 0.36, r * 0.12);
        FillCol(cr, Hex(0xa32848));
        Gloss(cr, cx - r * 0.3, y - r * 0.1, r * 0.16, r * 0.06, 0, 0.7);
    }
}

void WormAlong(cairo_t* cr, const std::vector<double>& xy, double r, Face face, double head_angle) {
    if (xy.size() < 4) return;
    // Sample the smooth curve into a polyline to place the rings on it.
    cairo_save(cr);
    cairo_new_path(cr);
    SmoothOpen(cr, xy);
    cairo_path_t* flat = cairo_copy_path_flat(cr);
    cairo_new_path(cr);
    cairo_restore(cr);
    std::vector<double> poly;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        cairo_path_data_t* d = &flat->data[i];
        if (d->header.type == CAIRO_PATH_MOVE_TO || d->header.type == CAIRO_PATH_LINE_TO) {
            poly.push_back(d[1].point.x);
            poly.push_back(d[1].point.y);
        }
    }
    cairo_path_destroy(flat);
    auto body = [&](double w, Col c) {
        cairo_move_to(cr, poly[0], poly[1]);
        for (size_t i = 2; i < poly.size(); i += 2) cairo_line_to(cr, poly[i], poly[i + 1]);
        Stroke(cr, c, w);
    };
    double lw = std::max(1.0, r * 0.18);
    body(2 * r + 2 * lw, Outline(kWormSkin));
    body(2 * r, Darker(kWormSkin, 0.12));
    body(2 * r * 0.72, kWormSkin);
    body(2 * r * 0.4, Lighter(kWormSkin, 0.18));
    body(r * 0.22, Alpha(Lighter(kWormSkin, 0.6), 0.7));
    // Rings across the body at even distances.
    double step = r * 1.1, run = step * 0.8;
    for (size_t i = 2; i < poly.size(); i += 2) {
        double dx = poly[i] - poly[i - 2], dy = poly[i + 1] - poly[i - 1], d = hypot(dx, dy);
        if (d <= 0) continue;
        run += d;
        if (run < step) continue;
        run = 0;
        double nx = -dy / d, ny = dx / d;
        cairo_move_to(cr, poly[i] + nx * r * 0.85, poly[i + 1] + ny * r * 0.85);
        cairo_line_to(cr, poly[i] - nx * r * 0.85, poly[i + 1] - ny * r * 0.85);
        Stroke(cr, Alpha(Outline(kWormSkin), 0.22), std::max(1.0, r * 0.14));
    }
    size_t n = poly.size();
    double tx = poly[n - 2], ty = poly[n - 1];
    double ta = atan2(poly[n - 1] - poly[n - 3], poly[n - 2] - poly[n - 4]);
    cairo_save(cr);
    cairo_translate(cr, tx, ty);
    cairo_rotate(cr, ta - PI / 2);
    WormTail(cr, 0, 0, r * 1.05, false);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, xy[0], xy[1]);
    cairo_rotate(cr, head_angle);
    WormHead(cr, 0, 0, r * 1.5, face);
    cairo_restore(cr);
}

}  // namespace art
