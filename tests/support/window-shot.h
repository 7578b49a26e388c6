// Reading the window back in screenshot tests, as a person would see it.
// Header-only and free of engine internals, so the engine's and the
// framework's tests can both use it.
#ifndef WINDOW_SHOT_H
#define WINDOW_SHOT_H

#include <host/host.h>
#include <png.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

// Takes the host's screenshot into `path` and reads it back as RGB.
inline bool ReadWindowShot(const std::string& path, int* w, int* h, std::vector<unsigned char>* rgb) {
    if (host_screenshot(path.c_str()) != 0) return false;
    png_image p;
    memset(&p, 0, sizeof p);
    p.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&p, path.c_str())) return false;
    p.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(p));
    png_image_finish_read(&p, nullptr, rgb->data(), 0, nullptr);
    *w = (int)p.width;
    *h = (int)p.height;
    return true;
}

// The picture is presented by EGL on a connection of its own, so a read
// can still catch the frame before; reads repeat until two agree.
template <class Image, class Read>
Image ReadUntilStable(Read read) {
    Image last = read();
    for (int i = 0; i < 10; i++) {
        usleep(20000);
        Image next = read();
        if (next.rgb == last.rgb) break;
        last = std::move(next);
    }
    return last;
}

#endif
