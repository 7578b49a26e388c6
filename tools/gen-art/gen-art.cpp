// Draws every picture of the game's data tree.
//
//   gen-art <out dir> <frames dir>
//
// Pictures go to <out dir> under their data-tree names, the frames of
// bitmap sequences to <frames dir> (kodo-bms-build turns them into .bms
// files in <out dir>), and the catalogue to <out dir>/ASSETS.md. Nothing
// depends on the clock or the machine: the same build draws the same bytes.
#include <stdio.h>

#include <filesystem>
#include <fstream>

#include "gen.h"

namespace fs = std::filesystem;

namespace art {

void Gen::Section(const std::string& title, const std::string& note) {
    entries_.push_back(Entry{true, title, note, "", ""});
}

bool Gen::Prepare(const std::string& file) {
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    if (ec) {
        fprintf(stderr, "cannot make the folder of %s\n", file.c_str());
        ok_ = false;
        return false;
    }
    return true;
}

static std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

void Gen::Png(const std::string& path, int w, int h, const std::string& what, const std::string& use, Draw draw) {
    std::string file = out_ + "/" + path;
    if (!Prepare(file)) return;
    Image img(w, h);
    draw(img.cr, w, h);
    if (cairo_status(img.cr) != CAIRO_STATUS_SUCCESS || !WritePng(img, file)) {
        fprintf(stderr, "cannot draw %s (%s)\n", path.c_str(), cairo_status_to_string(cairo_status(img.cr)));
        ok_ = false;
    }
    entries_.push_back(Entry{false, path, Size(w, h), what, use});
    count_++;
}

void Gen::Jpg(const std::string& path, int w, int h, const std::string& what, const std::string& use, Draw draw,
              int quality) {
    std::string file = out_ + "/" + path;
    if (!Prepare(file)) return;
    Image img(w, h);
    draw(img.cr, w, h);
    if (cairo_status(img.cr) != CAIRO_STATUS_SUCCESS || !WriteJpeg(img, file, quality)) {
        fprintf(stderr, "cannot draw %s (%s)\n", path.c_str(), cairo_status_to_string(cairo_status(img.cr)));
        ok_ = false;
    }
    entries_.push_back(Entry{false, path, Size(w, h), what, use});
    count_++;
}

void Gen::Seq(const std::string& path, int w, int h, int frames, const std::string& what, const std::string& use,
              DrawFrame draw) {
    std::string base = path.substr(0, path.size() - 4);  // without ".bms"
    for (int i = 0; i < frames; i++) {
        char num[16];
        snprintf(num, sizeof num, "-%04d.png", i);
        std::string file = frames_ + "/" + base + num;
        if (!Prepare(file)) return;
        Image img(w, h);
        draw(img.cr, w, h, i);
        if (cairo_status(img.cr) != CAIRO_STATUS_SUCCESS || !WritePng(img, file)) {
            fprintf(stderr, "cannot draw %s frame %d\n", path.c_str(), i);
            ok_ = false;
        }
    }
    entries_.push_back(Entry{false, path, Size(w, h) + " x " + std::to_string(frames), what, use});
    count_++;
}

bool Gen::WriteManifest(const std::string& path) const {
    std::ofstream o(path, std::ios::binary);
    o << "# Generated pictures\n\n"
         "Every picture below is drawn by `tools/gen-art` (cairo) and committed here so that the data\n"
         "tree works without the generator; `cmake --build <build> --target update_data_art` refreshes\n"
         "them. Sounds and music come from `tools/gen-sounds/gen-sounds.sh`. This file is written by\n"
         "the generator too.\n\n"
         "Conventions:\n"
         "- The game draws 30 pixels to the metre. Actor pictures are 1:1 with the pixel sizes of\n"
         "  the actor definitions: a shape of radius 15 (pixels) is 0.5 m and fits a 30-pixel disc.\n"
         "- The worm's head and tail pictures are drawn at 26 picture pixels per radius unit: their\n"
         "  disc is 52 pixels across whatever the actor's radius, and the game scales them by\n"
         "  radius/26. A head of radius 15 px (0.5 m) shows the 64x64 picture at 0.58.\n"
         "- The worm's ends grip towards +y (the bottom of the picture): stuck on top of a peg the\n"
         "  face is upright. The sprout on the head is the side away from the grip.\n"
         "- Bugs face left; the game mirrors them when they fly right.\n"
         "- Arrows point up (angle 0 = up).\n"
         "- Sizes say width x height in pixels; `x 4` is the frame count of a sequence.\n";
    for (const Entry& e : entries_) {
        if (e.heading) {
            o << "\n## " << e.a << "\n\n";
            if (!e.b.empty()) o << e.b << "\n\n";
            o << "| File | Pixels | Shows | Use and physical size |\n|---|---|---|---|\n";
        } else {
            o << "| `" << e.a << "` | " << e.b << " | " << e.c << " | " << e.d << " |\n";
        }
    }
    return o.good();
}

}  // namespace art

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s <out dir> <frames dir>\n", argv[0]);
        return 2;
    }
    art::Gen g(argv[1], argv[2]);
    art::ArtWorm(g);
    art::ArtActors(g);
    art::ArtBugs(g);
    art::ArtHud(g);
    art::ArtUi(g);
    art::ArtScenes(g);
    art::ArtFx(g);
    if (!g.WriteManifest(std::string(argv[1]) + "/ASSETS.md")) {
        fprintf(stderr, "cannot write ASSETS.md\n");
        return 1;
    }
    printf("gen-art: %d pictures\n", g.count());
    return g.ok() ? 0 : 1;
}
