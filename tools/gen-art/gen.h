// The art generator's catalogue: every picture is registered with its file
// name, pixel size and what it is for, drawn, written, and listed in the
// data tree's ASSETS.md.
#ifndef GEN_ART_GEN_H
#define GEN_ART_GEN_H

#include <functional>
#include <string>
#include <vector>

#include "canvas.h"

namespace art {

// Actor pictures are drawn 1:1 with the game's pixel sizes: 30 pixels to
// the metre. The worm's ends are drawn at 26 pixels per radius unit.
const double kPixelsPerMetre = 30;
const double kWormPixelsPerRadius = 26;

class Gen {
public:
    Gen(std::string out_dir, std::string frames_dir) : out_(std::move(out_dir)), frames_(std::move(frames_dir)) {}

    using Draw = std::function<void(cairo_t*, int w, int h)>;
    using DrawFrame = std::function<void(cairo_t*, int w, int h, int frame)>;

    // A section heading of ASSETS.md; entries that follow belong to it.
    void Section(const std::string& title, const std::string& note = "");
    // A PNG with an alpha channel.
    void Png(const std::string& path, int w, int h, const std::string& what, const std::string& use, Draw draw);
    // An opaque JPEG (backgrounds, story panels).
    void Jpg(const std::string& path, int w, int h, const std::string& what, const std::string& use, Draw draw,
             int quality = 88);
    // A bitmap sequence: its numbered frames go to the frames folder, from
    // which the sequence builder makes `path` (ending in .bms).
    void Seq(const std::string& path, int w, int h, int frames, const std::string& what, const std::string& use,
             DrawFrame draw);

    bool WriteManifest(const std::string& path) const;
    bool ok() const { return ok_; }
    int count() const { return count_; }

private:
    struct Entry {
        bool heading;
        std::string a, b, c, d;  // heading: title, note; entry: path, size, what, use
    };
    bool Prepare(const std::string& file);
    std::string out_, frames_;
    std::vector<Entry> entries_;
    bool ok_ = true;
    int count_ = 0;
};

void ArtWorm(Gen& g);
void ArtActors(Gen& g);
void ArtBugs(Gen& g);
void ArtHud(Gen& g);
void ArtUi(Gen& g);
void ArtScenes(Gen& g);
void ArtFx(Gen& g);

// Pictures shared between the catalogues.
void DrawFruit(cairo_t* cr, double cx, double cy, double r, int kind);
void DrawEgg(cairo_t* cr, double cx, double cy, double rx, double ry);
// Bug poses: 0 idle, 1 blink, 2 happy, 3 dead, 4 ouch, 5 about to shoot.
void DrawFlyingBug(cairo_t* cr, double cx, double cy, double r, int pose);
void DrawEndBug(cairo_t* cr, double cx, double cy, double r, int pose, bool boss);
void DrawPeg(cairo_t* cr, double cx, double cy, double r);
void DrawWormhole(cairo_t* cr, double cx, double cy, double r);
// A pointing hand, the tip of the index finger at (x, y), pointing up-left.
void DrawHand(cairo_t* cr, double x, double y, double s);

}  // namespace art

#endif
