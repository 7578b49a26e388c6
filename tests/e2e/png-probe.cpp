// Pixel questions about a screenshot, for the end-to-end scripts:
//
//   png-probe shot.png count X0 Y0 X1 Y1 RMIN RMAX GMIN GMAX BMIN BMAX
//       pixels of the box [X0,X1) x [Y0,Y1) whose colour lies in the ranges
//   png-probe shot.png span Y X0 X1 RMIN RMAX GMIN GMAX BMIN BMAX
//       the last x of row Y in [X0,X1) whose colour lies in the ranges, -1
//   png-probe a.png diff b.png X0 Y0 X1 Y1
//       the mean absolute difference of the two boxes, per channel (0-255)
//   png-probe shot.png bar X0 Y0 X1 Y1
//       a health bar in the box (a bright red-to-green fill on a dark brown
//       back): the share of its longest row that is filled, in percent; -1
//       when the box holds no such row of at least 40 pixels
//
// The answer is one number on standard output; exit 2 for a bad call or an
// unreadable picture.
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

struct Shot {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[((size_t)y * (size_t)w + (size_t)x) * 3]; }
};

static bool Read(const char* path, Shot* s) {
    png_image p;
    memset(&p, 0, sizeof p);
    p.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&p, path)) return false;
    p.format = PNG_FORMAT_RGB;
    s->rgb.resize(PNG_IMAGE_SIZE(p));
    if (!png_image_finish_read(&p, nullptr, s->rgb.data(), 0, nullptr)) return false;
    s->w = (int)p.width;
    s->h = (int)p.height;
    return true;
}

static bool InRange(const unsigned char* px, const int* r) {
    for (int c = 0; c < 3; c++)
        if (px[c] < r[2 * c] || px[c] > r[2 * c + 1]) return false;
    return true;
}

static int Clamp(int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; }

int main(int argc, char** argv) {
    Shot a;
    if (argc < 3 || !Read(argv[1], &a)) {
        fprintf(stderr, "png-probe: cannot read '%s'\n", argc > 1 ? argv[1] : "");
        return 2;
    }
    if (!strcmp(argv[2], "count") && argc == 13) {
        int x0 = Clamp(atoi(argv[3]), a.w), y0 = Clamp(atoi(argv[4]), a.h);
        int x1 = Clamp(atoi(argv[5]), a.w), y1 = Clamp(atoi(argv[6]), a.h);
        int r[6];
        for (int i = 0; i < 6; i++) r[i] = atoi(argv[7 + i]);
        long n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) n += InRange(a.At(x, y), r);
        printf("%ld\n", n);
        return 0;
    }
    if (!strcmp(argv[2], "span") && argc == 12) {
        int y = Clamp(atoi(argv[3]), a.h - 1), x0 = Clamp(atoi(argv[4]), a.w), x1 = Clamp(atoi(argv[5]), a.w);
        int r[6];
        for (int i = 0; i < 6; i++) r[i] = atoi(argv[6 + i]);
        int last = -1;
        for (int x = x0; x < x1; x++)
            if (InRange(a.At(x, y), r)) last = x;
        printf("%d\n", last);
        return 0;
    }
    if (!strcmp(argv[2], "diff") && argc == 8) {
        Shot b;
        if (!Read(argv[3], &b) || b.w != a.w || b.h != a.h) {
            fprintf(stderr, "png-probe: cannot compare with '%s'\n", argv[3]);
            return 2;
        }
        int x0 = Clamp(atoi(argv[4]), a.w), y0 = Clamp(atoi(argv[5]), a.h);
        int x1 = Clamp(atoi(argv[6]), a.w), y1 = Clamp(atoi(argv[7]), a.h);
        double sum = 0;
        long n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++, n++)
                for (int c = 0; c < 3; c++) sum += abs((int)a.At(x, y)[c] - (int)b.At(x, y)[c]);
        printf("%.2f\n", n ? sum / (3.0 * (double)n) : 0.0);
        return 0;
    }
    if (!strcmp(argv[2], "bar") && argc == 7) {
        int x0 = Clamp(atoi(argv[3]), a.w), y0 = Clamp(atoi(argv[4]), a.h);
        int x1 = Clamp(atoi(argv[5]), a.w), y1 = Clamp(atoi(argv[6]), a.h);
        auto fill = [](const unsigned char* p) { return (p[0] >= 150 || p[1] >= 150) && p[2] <= 90; };
        auto back = [](const unsigned char* p) { return p[0] <= 90 && p[1] <= 90 && p[2] <= 90 && p[0] >= p[2]; };
        int best_run = 0, best_fill = 0;
        for (int y = y0; y < y1; y++) {
            // Runs of bar pixels, bridging gaps of up to two pixels.
            int run = 0, filled = 0, gap = 0;
            for (int x = x0; x <= x1; x++) {
                const unsigned char* p = x < x1 ? a.At(x, y) : nullptr;
                if (p && (fill(p) || back(p))) {
                    run += gap + 1;
                    filled += fill(p);
                    gap = 0;
                } else if (p && run > 0 && gap < 2) {
                    gap++;
                } else {
                    if (run > best_run) {
                        best_run = run;
                        best_fill = filled;
                    }
                    run = filled = gap = 0;
                }
            }
        }
        printf("%d\n", best_run >= 40 ? best_fill * 100 / best_run : -1);
        return 0;
    }
    fprintf(stderr, "png-probe: unknown question\n");
    return 2;
}
