// Writes the small seed images of the image fuzzers:
//   make_image_seeds <corpus folder>
// fills <corpus>/png, <corpus>/jpeg and <corpus>/tga (the folders must
// exist). Each seed covers one layout the decoders handle.
#include <stdio.h>
// After stdio: the library header uses FILE and size_t.
#include <jpeglib.h>
#include <png.h>

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

static bool Save(const std::string& path, const Bytes& b) {
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp) return false;
    bool ok = fwrite(b.data(), 1, b.size(), fp) == b.size();
    return fclose(fp) == 0 && ok;
}

static void Append(png_structp png, png_bytep data, png_size_t n) {
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + n);
}
static void NoFlush(png_structp) {}

static Bytes Png(int w, int h, int type, int depth, bool interlaced, bool palette, bool trns, double gamma) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, w, h, depth, type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    png_byte alpha[2] = {0, 128};
    png_color_16 grey_key = {0, 0, 0, 0, 3};
    if (palette) png_set_PLTE(png, info, colours, 4);
    if (trns) {
        if (palette)
            png_set_tRNS(png, info, alpha, 2, nullptr);
        else
            png_set_tRNS(png, info, nullptr, 0, &grey_key);
    }
    if (gamma) png_set_gAMA(png, info, gamma);
    png_write_info(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    Bytes pixels(row_bytes * h);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (unsigned char)(i * 29 + 3);
    if (palette)
        for (auto& p : pixels) p &= depth == 8 ? 3 : 0x55;
    std::vector<png_bytep> rows(h);
    for (int y = 0; y < h; y++) rows[y] = pixels.data() + y * row_bytes;
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

static Bytes Jpeg(int w, int h, int components, J_COLOR_SPACE space, bool progressive) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes row(w * components);
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); i++) row[i] = (unsigned char)(i * 7 + c.next_scanline * 11);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(mem, mem + size);
    free(mem);
    return out;
}

static Bytes TgaHeader(int type, int w, int h, int bits, int descriptor, int id_length) {
    Bytes b(18, 0);
    b[0] = (unsigned char)id_length;
    b[2] = (unsigned char)type;
    b[12] = w & 255, b[13] = w >> 8, b[14] = h & 255, b[15] = h >> 8;
    b[16] = (unsigned char)bits;
    b[17] = (unsigned char)descriptor;
    b.resize(18 + id_length, 'x');
    return b;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_image_seeds <corpus folder>\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;
    ok &= Save(dir + "/png/rgba.png", Png(5, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, false, 0));
    ok &= Save(dir + "/png/rgb-gamma.png", Png(4, 3, PNG_COLOR_TYPE_RGB, 8, false, false, false, 1.0));
    ok &= Save(dir + "/png/grey.png", Png(6, 2, PNG_COLOR_TYPE_GRAY, 8, false, false, false, 0));
    ok &= Save(dir + "/png/grey2-trns.png", Png(9, 3, PNG_COLOR_TYPE_GRAY, 2, false, false, true, 0));
    ok &= Save(dir + "/png/grey-alpha.png", Png(3, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, false, 0));
    ok &= Save(dir + "/png/palette-trns.png", Png(7, 5, PNG_COLOR_TYPE_PALETTE, 8, false, true, true, 0));
    ok &= Save(dir + "/png/palette2.png", Png(7, 2, PNG_COLOR_TYPE_PALETTE, 2, false, true, false, 0));
    ok &= Save(dir + "/png/rgba16.png", Png(3, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, false, 0));
    ok &= Save(dir + "/png/interlaced.png", Png(11, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false, false, 0));

    ok &= Save(dir + "/jpeg/grey.jpg", Jpeg(8, 8, 1, JCS_GRAYSCALE, false));
    ok &= Save(dir + "/jpeg/rgb.jpg", Jpeg(17, 9, 3, JCS_RGB, false));
    ok &= Save(dir + "/jpeg/progressive.jpg", Jpeg(16, 16, 3, JCS_RGB, true));
    Bytes cut = Jpeg(16, 16, 3, JCS_RGB, false);
    cut.resize(cut.size() * 2 / 3);
    ok &= Save(dir + "/jpeg/truncated.jpg", cut);
    ok &= Save(dir + "/jpeg/cmyk.jpg", Jpeg(8, 8, 4, JCS_CMYK, false));

    Bytes t = TgaHeader(2, 3, 2, 24, 0x00, 0);
    for (int i = 0; i < 18; i++) t.push_back((unsigned char)(i * 13));
    ok &= Save(dir + "/tga/rgb24-bottom.tga", t);
    t = TgaHeader(2, 2, 2, 32, 0x38, 4);
    for (int i = 0; i < 16; i++) t.push_back((unsigned char)(i * 17));
    ok &= Save(dir + "/tga/rgba32-top-mirrored.tga", t);
    // Run-length: a repeat packet crossing a row end, then literals.
    t = TgaHeader(10, 3, 3, 32, 0x08, 0);
    Bytes rle = {0x84, 1, 2, 3, 4, 0x03, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    t.insert(t.end(), rle.begin(), rle.end());
    ok &= Save(dir + "/tga/rle32.tga", t);
    t = TgaHeader(10, 4, 1, 24, 0x20, 0);
    Bytes rle24 = {0x01, 1, 2, 3, 4, 5, 6, 0x81, 7, 8, 9};
    t.insert(t.end(), rle24.begin(), rle24.end());
    ok &= Save(dir + "/tga/rle24.tga", t);
    if (!ok) {
        fprintf(stderr, "make_image_seeds: could not write the seeds under '%s'\n", dir.c_str());
        return 1;
    }
    return 0;
}
