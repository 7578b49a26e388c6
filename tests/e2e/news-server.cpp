// The news server of the news' end-to-end test, on 127.0.0.1: answers
// "/news/..." with the text of <folder>/reply.txt (read at each request,
// so that the test can change it between runs; "STALL" answers nothing)
// and "/news.png" with a 400 x 240 magenta picture; "/noise/..." with a
// 480 x 400 picture of noise (some 580 KB, which does not compress);
// "/slow.png" is never answered; anything else is not found. Every request
// target is appended to <folder>/requests.txt. Writes its port to
// <folder>/port and serves until it is killed.
#include <png.h>
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "local-http-server.h"

namespace {

void Append(png_structp png, png_bytep data, png_size_t size) {
    ((std::string*)png_get_io_ptr(png))->append((const char*)data, size);
}

std::string Png(int w, int h, bool noise) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) return "";
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)w * 3);
    unsigned seed = 12345;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w * 3; x++)
            row[x] = noise ? (png_byte)((seed = seed * 1103515245 + 12345) >> 16) : x % 3 == 1 ? 0 : 255;
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: e2e_news_server FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string picture = Png(400, 240, false), noise = Png(480, 400, true);
    LocalHttpServer server([&](const std::string& target) {
        std::ofstream(dir + "/requests.txt", std::ios::app) << target << "\n";
        HttpAnswer a;
        if (target.rfind("/news/", 0) == 0) {
            std::stringstream text;
            text << std::ifstream(dir + "/reply.txt").rdbuf();
            a.body = text.str();
            a.stall = a.body == "STALL";
        } else if (target == "/slow.png") {
            a.stall = true;
        } else if (target == "/news.png" || target.rfind("/noise/", 0) == 0) {
            a.body = target == "/news.png" ? picture : noise;
            a.headers = "Content-Type: image/png\r\n";
        } else {
            a.status = 404;
        }
        return a;
    });
    if (!server.port) return 1;
    std::ofstream(dir + "/port.part") << server.port << "\n";
    rename((dir + "/port.part").c_str(), (dir + "/port").c_str());
    for (;;) pause();
}
