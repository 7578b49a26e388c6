// Image codecs: PNG, JPEG and TGA decoded against known pixels, saved and
// loaded back, and damaged data refused without harm.
#include <stdio.h>
// After stdio: the library header uses FILE and size_t.
#include <jpeglib.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fs-fixture.h"
#include "kd-image.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- encoders used to make test images ------------------------------------

struct PngLayout {
    int width = 0, height = 0;
    int color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> trns;  // palette alpha values
    double gamma = 0;           // written as gAMA when not 0
};

void AppendBytes(png_structp png, png_bytep data, png_size_t n) {
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

// `rows` holds height rows of packed samples in the file's own layout.
Bytes EncodePng(const PngLayout& s, const Bytes& packed) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, s.width, s.height, s.bit_depth, s.color_type,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
    if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), (int)s.trns.size(), nullptr);
    if (s.gamma != 0) png_set_gAMA(png, info, s.gamma);
    png_write_info(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(s.height);
    for (int y = 0; y < s.height; y++) rows[y] = (png_bytep)packed.data() + y * row_bytes;
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space, const Bytes& samples, int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = (JSAMPROW)samples.data() + c.next_scanline * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(mem, mem + size);
    free(mem);
    return out;
}

// A TGA header; pixel bytes follow.
Bytes TgaHeader(int type, int width, int height, int bits, int descriptor, int id_length = 0) {
    Bytes h(18, 0);
    h[0] = (uint8_t)id_length;
    h[2] = (uint8_t)type;
    h[12] = width & 255;
    h[13] = width >> 8;
    h[14] = height & 255;
    h[15] = height >> 8;
    h[16] = (uint8_t)bits;
    h[17] = (uint8_t)descriptor;
    h.resize(18 + id_length, 'i');
    return h;
}

// ---- helpers ----------------------------------------------------------------

struct Image : kd_image_t {
    Image() : kd_image_t{"test", 0, 0, nullptr, 0} {}
    ~Image() { KDI_FreeImage(this); }
    std::vector<uint8_t> Pixel(int x, int y) const {
        const uint8_t* p = pixels + (y * width + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    Bytes All() const { return Bytes(pixels, pixels + width * height * 4); }
};

using Px = std::vector<uint8_t>;

int CountLines(const LogCapture& log, const std::string& text) {
    int n = 0;
    for (auto& l : log.lines) n += l.find(text) != std::string::npos;
    return n;
}

// Copies data into a buffer of exactly its size, so that a read past the end
// shows under the address sanitizer.
struct ExactBuffer {
    uint8_t* data;
    size_t size;
    explicit ExactBuffer(const Bytes& b) : data((uint8_t*)malloc(b.size() ? b.size() : 1)), size(b.size()) {
        if (!b.empty()) memcpy(data, b.data(), b.size());
    }
    ~ExactBuffer() { free(data); }
};

// The PNG chunk checksum (CRC-32, reflected, polynomial 0xEDB88320).
uint32_t Crc32(const Bytes& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return c ^ 0xFFFFFFFFu;
}

// Appends a chunk with a correct CRC.
void AddChunk(Bytes& out, const char* type, const Bytes& body) {
    uint32_t n = (uint32_t)body.size();
    uint8_t len[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out.insert(out.end(), len, len + 4);
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    uint32_t crc = Crc32(typed);
    uint8_t c[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    out.insert(out.end(), c, c + 4);
}

// A 3 x 2 RGBA test picture.
const Bytes kRgba = {255, 0, 0, 255,   0, 255, 0, 128, 0, 0, 255, 0,
                     10, 20, 30, 40,   50, 60, 70, 80,  90, 100, 110, 255};

class Codecs : public FsTest {
protected:
    void TearDown() override {
        FsTest::TearDown();
        KDI_ResetPopups();  // the popups remembered as shown
        kd_state.texture_format = 0;
    }
};

}  // namespace

// ---- PNG ----------------------------------------------------------------------

TEST_F(Codecs, PngColourTypes) {
    Image img;
    // RGBA: as stored; has alpha.
    PngLayout rgba;
    rgba.width = 3, rgba.height = 2;
    Bytes file = EncodePng(rgba, kRgba);
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 2);
    EXPECT_EQ(img.All(), kRgba);
    EXPECT_EQ(img.flags, KD_IMAGE_HAS_ALPHA | KD_IMAGE_RELOADABLE);
    // Blue, green, red order for texture format 1.
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), true), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{0, 0, 255, 255}));
    EXPECT_EQ(img.Pixel(0, 1), (Px{30, 20, 10, 40}));

    // RGB: opaque, has alpha cleared.
    PngLayout rgb = rgba;
    rgb.color_type = PNG_COLOR_TYPE_RGB;
    file = EncodePng(rgb, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(2, 1), (Px{16, 17, 18, 255}));
    EXPECT_EQ(img.flags, KD_IMAGE_RELOADABLE);

    // Grey: a white mask whose alpha is the grey level.
    PngLayout grey = rgba;
    grey.color_type = PNG_COLOR_TYPE_GRAY;
    file = EncodePng(grey, {0, 100, 200, 255, 7, 8});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(1, 0), (Px{255, 255, 255, 100}));
    EXPECT_EQ(img.Pixel(1, 1), (Px{255, 255, 255, 7}));
    EXPECT_TRUE(img.flags & KD_IMAGE_HAS_ALPHA);

    // Grey with alpha.
    PngLayout ga = rgba;
    ga.color_type = PNG_COLOR_TYPE_GRAY_ALPHA;
    file = EncodePng(ga, {10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60, 6});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(2, 1), (Px{60, 60, 60, 6}));
    EXPECT_TRUE(img.flags & KD_IMAGE_HAS_ALPHA);

    // Two-bit grey expands to eight bits.
    PngLayout g2;
    g2.width = 4, g2.height = 1, g2.color_type = PNG_COLOR_TYPE_GRAY, g2.bit_depth = 2;
    file = EncodePng(g2, {0x1B});  // 0, 1, 2, 3
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(0, 0)[3], 0);
    EXPECT_EQ(img.Pixel(1, 0)[3], 85);
    EXPECT_EQ(img.Pixel(3, 0)[3], 255);
}

TEST_F(Codecs, PngPaletteSixteenBitAndInterlaced) {
    Image img;
    // Palette with tRNS: entries become RGBA.
    PngLayout pal;
    pal.width = 3, pal.height = 1, pal.color_type = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {{255, 0, 0}, {0, 255, 0}, {1, 2, 3}};
    pal.trns = {0, 128};  // the third entry stays opaque
    Bytes file = EncodePng(pal, {2, 1, 0});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{1, 2, 3, 255}));
    EXPECT_EQ(img.Pixel(1, 0), (Px{0, 255, 0, 128}));
    EXPECT_EQ(img.Pixel(2, 0), (Px{255, 0, 0, 0}));
    EXPECT_TRUE(img.flags & KD_IMAGE_HAS_ALPHA);
    // Palette without tRNS is opaque RGB, in either byte order.
    pal.trns.clear();
    file = EncodePng(pal, {2, 1, 0});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), true), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{3, 2, 1, 255}));
    EXPECT_FALSE(img.flags & KD_IMAGE_HAS_ALPHA);

    // 16-bit RGBA keeps the high bytes.
    PngLayout s16;
    s16.width = 1, s16.height = 2, s16.bit_depth = 16;
    file = EncodePng(s16, {0x12, 0xFF, 0x34, 0x01, 0x56, 0x80, 0xFF, 0xFF,  //
                           0x00, 0x7F, 0x80, 0x00, 0xAB, 0xCD, 0x01, 0x02});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{0x12, 0x34, 0x56, 0xFF}));
    EXPECT_EQ(img.Pixel(0, 1), (Px{0x00, 0x80, 0xAB, 0x01}));

    // An interlaced image gives the same pixels as a plain one.
    PngLayout plain;
    plain.width = 11, plain.height = 9;
    Bytes picture(11 * 9 * 4);
    for (size_t i = 0; i < picture.size(); i++) picture[i] = (uint8_t)(i * 37 + 11);
    PngLayout adam7 = plain;
    adam7.interlaced = true;
    Bytes a = EncodePng(plain, picture), b = EncodePng(adam7, picture);
    ASSERT_NE(a, b);
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, b.data(), b.size(), false), 1);
    EXPECT_EQ(img.All(), picture);
}

TEST_F(Codecs, PngFileGammaIsApplied) {
    Image img;
    PngLayout s;
    s.width = 1, s.height = 1, s.color_type = PNG_COLOR_TYPE_RGB;
    // Gamma 1/2.2 is the display's own: values stay.
    s.gamma = 0.45455;
    Bytes file = EncodePng(s, {128, 0, 255});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{128, 0, 255, 255}));
    // Linear data is brightened for the display: 255 (128/255)^(1/2.2).
    s.gamma = 1.0;
    file = EncodePng(s, {128, 0, 255});
    ASSERT_EQ(KDI_LoadImageMemPNG(&img, file.data(), file.size(), false), 1);
    EXPECT_NEAR(img.Pixel(0, 0)[0], 186, 1);
    EXPECT_EQ(img.Pixel(0, 0)[2], 255);
}

// Damaged data: no pixels, result 0, one log line, no read past the data.
TEST_F(Codecs, PngDamagedDataIsRefused) {
    PngLayout s;
    s.width = 40, s.height = 30;
    Bytes picture(40 * 30 * 4);
    for (size_t i = 0; i < picture.size(); i++) picture[i] = (uint8_t)(i * 7 ^ (i >> 5));
    Bytes good = EncodePng(s, picture);

    auto refused = [](const Bytes& data, const char* what) {
        LogCapture log;
        Image img;
        ExactBuffer buf(data);
        EXPECT_EQ(KDI_LoadImageMemPNG(&img, buf.data, buf.size, false), 0) << what;
        EXPECT_EQ(img.pixels, nullptr) << what;
        EXPECT_EQ(img.width, 0) << what;
        EXPECT_EQ(log.lines.size(), 1u) << what;
        EXPECT_EQ(CountLines(log, "PNG ERROR: Image 'test'"), 1) << what;
    };
    // Cut inside the image data, inside the header, after the signature.
    for (size_t cut : {good.size() / 2, (size_t)20, (size_t)8, good.size() - 13})
        refused(Bytes(good.begin(), good.begin() + cut), "truncated");
    Bytes crc = good;
    crc[29] ^= 0x55;  // inside the header chunk's CRC
    refused(crc, "header CRC");
    Bytes idat = good;
    for (size_t i = 60; i < idat.size() - 20; i += 3) idat[i] ^= 0xA5;  // scrambled image data
    refused(idat, "scrambled data");
    refused(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, "signature");
    refused(Bytes(), "empty");
    {
        LogCapture log;
        Image img;
        EXPECT_EQ(KDI_LoadImageMemPNG(&img, nullptr, 100, false), 0);
        EXPECT_TRUE(log.Contains("not proper png"));
    }

    // A header that claims more than the pixel cap is refused before any
    // allocation of that size.
    Bytes huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AddChunk(huge, "IHDR", {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 6, 0, 0, 0});  // 100000 x 100000
    AddChunk(huge, "IEND", {});
    refused(huge, "huge");
    // The cap itself is honoured.
    size_t cap = kd_image_max_bytes;
    kd_image_max_bytes = 40 * 30 * 4 - 1;
    refused(good, "over cap");
    kd_image_max_bytes = 40 * 30 * 4;
    Image img;
    EXPECT_EQ(KDI_LoadImageMemPNG(&img, good.data(), good.size(), false), 1);
    EXPECT_EQ(img.All(), picture);
    kd_image_max_bytes = cap;
}

// A chunk that claims far more bytes than the file holds (1,936,946,035 in
// a 130-byte file found by fuzzing) is refused on its stated length, before
// the library allocates or reads it (the fuzz runs in CI hold a malloc
// limit that catches the allocation itself).
TEST_F(Codecs, PngChunkLengthsAreBoundedBeforeAllocation) {
    const char* root = getenv("KODO_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::ifstream in(std::string(root) + "/fuzz/corpus/png/png-huge-chunk.png", std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 130u);
    LogCapture log;
    Image img;
    ExactBuffer buf(file);
    EXPECT_EQ(KDI_GetImageDimensionsPNG(&img, buf.data, buf.size), 0);
    EXPECT_EQ(KDI_LoadImageMemPNG(&img, buf.data, buf.size, false), 0);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(CountLines(log, "PNG ERROR: Image 'test' load failed (sPLT: chunk data is too large)"), 2);
}

TEST_F(Codecs, PngHeaderGivesSizeOnly) {
    PngLayout s;
    s.width = 5, s.height = 7, s.color_type = PNG_COLOR_TYPE_GRAY;
    Bytes file = EncodePng(s, Bytes(35, 9));
    Image img;
    EXPECT_EQ(KDI_GetImageDimensionsPNG(&img, file.data(), file.size()), 1);
    EXPECT_EQ(img.width, 5);
    EXPECT_EQ(img.height, 7);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(KDI_GetImageDimensionsPNG(&img, file.data(), 20), 0);
    EXPECT_EQ(KDI_GetImageDimensionsPNG(&img, (const uint8_t*)"JUNKJUNKJUNK", 12), 0);
}

// ---- JPEG ---------------------------------------------------------------------

TEST_F(Codecs, JpegGreyAndColour) {
    Image img;
    // Grey data comes out as three equal components, opaque.
    Bytes grey(16 * 8);
    for (int i = 0; i < 16 * 8; i++) grey[i] = (uint8_t)((i % 16) * 16);
    Bytes file = EncodeJpeg(16, 8, 1, JCS_GRAYSCALE, grey, 100);
    ASSERT_EQ(KDI_LoadImageMemJPG(&img, file.data(), file.size(), false), 1);
    EXPECT_EQ(img.width, 16);
    EXPECT_EQ(img.height, 8);
    EXPECT_FALSE(img.flags & KD_IMAGE_HAS_ALPHA);
    EXPECT_TRUE(img.flags & KD_IMAGE_RELOADABLE);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++) {
            Px p = img.Pixel(x, y);
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_NEAR(p[0], x * 16, 3) << x << "," << y;
            EXPECT_EQ(p[3], 255);
        }

    // Flat colour in both byte orders.
    Bytes rgb;
    for (int i = 0; i < 16 * 16; i++) rgb.insert(rgb.end(), {200, 100, 30});
    file = EncodeJpeg(16, 16, 3, JCS_RGB, rgb, 95);
    ASSERT_EQ(KDI_LoadImageMemJPG(&img, file.data(), file.size(), false), 1);
    Px p = img.Pixel(5, 5);
    EXPECT_NEAR(p[0], 200, 3);
    EXPECT_NEAR(p[1], 100, 3);
    EXPECT_NEAR(p[2], 30, 3);
    ASSERT_EQ(KDI_LoadImageMemJPG(&img, file.data(), file.size(), true), 1);
    p = img.Pixel(5, 5);
    EXPECT_NEAR(p[0], 30, 3);
    EXPECT_NEAR(p[2], 200, 3);

    EXPECT_EQ(KDI_GetImageDimensionsJPG(&img, file.data(), file.size()), 1);
    EXPECT_EQ(img.width, 16);
}

TEST_F(Codecs, JpegDamagedDataNeverEndsTheProcess) {
    Bytes grey(64 * 64);
    for (size_t i = 0; i < grey.size(); i++) grey[i] = (uint8_t)(i * 13);
    Bytes good = EncodeJpeg(64, 64, 1, JCS_GRAYSCALE, grey, 90);

    // Truncated data decodes as far as it goes, with a warning count.
    {
        LogCapture log;
        Image img;
        ExactBuffer buf(Bytes(good.begin(), good.begin() + good.size() * 2 / 3));
        EXPECT_EQ(KDI_LoadImageMemJPG(&img, buf.data, buf.size, false), 1);
        EXPECT_EQ(img.width, 64);
        EXPECT_NE(img.pixels, nullptr);
        EXPECT_TRUE(log.Contains("warnings while loading JPEG"));
    }
    // Not a JPEG, an empty buffer, a cut header: refused with one line.
    for (Bytes bad : {Bytes{'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}, Bytes(), Bytes(good.begin(), good.begin() + 30)}) {
        LogCapture log;
        Image img;
        ExactBuffer buf(bad);
        EXPECT_EQ(KDI_LoadImageMemJPG(&img, buf.data, buf.size, false), 0);
        EXPECT_EQ(img.pixels, nullptr);
        EXPECT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(CountLines(log, "JPEG ERROR: Image 'test'"), 1);
        EXPECT_EQ(KDI_GetImageDimensionsJPG(&img, buf.data, buf.size), 0);
    }
    // Four-component data is not read as three.
    {
        Bytes cmyk(8 * 8 * 4, 77);
        Bytes file = EncodeJpeg(8, 8, 4, JCS_CMYK, cmyk, 90);
        LogCapture log;
        Image img;
        EXPECT_EQ(KDI_LoadImageMemJPG(&img, file.data(), file.size(), false), 0);
        EXPECT_EQ(img.pixels, nullptr);
        EXPECT_TRUE(log.Contains("JPEG ERROR"));
    }
    // Over the pixel cap.
    {
        size_t cap = kd_image_max_bytes;
        kd_image_max_bytes = 64 * 64 * 4 - 4;
        LogCapture log;
        Image img;
        EXPECT_EQ(KDI_LoadImageMemJPG(&img, good.data(), good.size(), false), 0);
        EXPECT_TRUE(log.Contains("too large"));
        kd_image_max_bytes = cap;
    }
}

// ---- TGA ----------------------------------------------------------------------

// 2 x 2 picture, file pixel order (blue, green, red, alpha):
// top row A B, bottom row C D.
namespace {
const Bytes A = {1, 2, 3, 4}, B = {5, 6, 7, 8}, C = {9, 10, 11, 12}, D = {13, 14, 15, 16};
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
}  // namespace

TEST_F(Codecs, TgaUncompressedOrientations) {
    Bytes bottom_first = Cat({TgaHeader(2, 2, 2, 32, 0x08), C, D, A, B});
    Bytes top_first = Cat({TgaHeader(2, 2, 2, 32, 0x28, 3), A, B, C, D});  // with an ID field
    Image a, b;
    ASSERT_EQ(KDI_LoadImageMemTGA(&a, bottom_first.data(), bottom_first.size(), false), 1);
    ASSERT_EQ(KDI_LoadImageMemTGA(&b, top_first.data(), top_first.size(), false), 1);
    EXPECT_EQ(a.All(), b.All());
    EXPECT_EQ(a.Pixel(0, 0), (Px{3, 2, 1, 4}));  // red, green, blue, alpha
    EXPECT_EQ(a.Pixel(1, 1), (Px{15, 14, 13, 16}));
    EXPECT_EQ(a.flags, KD_IMAGE_HAS_ALPHA | KD_IMAGE_RELOADABLE);
    // Texture format 1 keeps the file's order.
    ASSERT_EQ(KDI_LoadImageMemTGA(&a, top_first.data(), top_first.size(), true), 1);
    EXPECT_EQ(a.Pixel(1, 0), B);

    // Right-to-left rows are mirrored; 24-bit pixels are opaque yet still
    // flagged as having alpha.
    Bytes mirrored = Cat({TgaHeader(2, 2, 2, 24, 0x30), {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});
    ASSERT_EQ(KDI_LoadImageMemTGA(&a, mirrored.data(), mirrored.size(), false), 1);
    EXPECT_EQ(a.Pixel(0, 0), (Px{6, 5, 4, 255}));
    EXPECT_EQ(a.Pixel(1, 0), (Px{3, 2, 1, 255}));
    EXPECT_EQ(a.Pixel(0, 1), (Px{12, 11, 10, 255}));
    EXPECT_TRUE(a.flags & KD_IMAGE_HAS_ALPHA);

    EXPECT_EQ(KDI_GetImageDimensionsTGA(&a, mirrored.data(), 18), 1);
    EXPECT_EQ(a.width, 2);
    EXPECT_EQ(a.pixels, nullptr);
}

TEST_F(Codecs, TgaRunLength) {
    // 3 x 2, bottom first. The first packet repeats C over the whole bottom
    // row and on into the top row; a literal packet ends the image.
    Bytes file = Cat({TgaHeader(10, 3, 2, 32, 0x08), {0x83}, C, {0x01}, A, B});
    Image img;
    ASSERT_EQ(KDI_LoadImageMemTGA(&img, file.data(), file.size(), false), 1);
    Px c = {11, 10, 9, 12}, a = {3, 2, 1, 4}, b = {7, 6, 5, 8};
    EXPECT_EQ(img.Pixel(0, 1), c);
    EXPECT_EQ(img.Pixel(2, 1), c);
    EXPECT_EQ(img.Pixel(0, 0), c);  // the run went on into the next file row
    EXPECT_EQ(img.Pixel(1, 0), a);
    EXPECT_EQ(img.Pixel(2, 0), b);

    // The same image top first, 24-bit.
    Bytes top = Cat({TgaHeader(10, 3, 2, 24, 0x20), {0x80}, {9, 10, 11}, {0x81}, {1, 2, 3}, {0x82}, {5, 6, 7}});
    ASSERT_EQ(KDI_LoadImageMemTGA(&img, top.data(), top.size(), false), 1);
    EXPECT_EQ(img.Pixel(0, 0), (Px{11, 10, 9, 255}));
    EXPECT_EQ(img.Pixel(2, 0), (Px{3, 2, 1, 255}));
    EXPECT_EQ(img.Pixel(2, 1), (Px{7, 6, 5, 255}));

    // A packet that runs past the last pixel keeps what fits and stops.
    LogCapture log;
    Bytes over = Cat({TgaHeader(10, 2, 1, 32, 0x20), {0x84}, A});
    ASSERT_EQ(KDI_LoadImageMemTGA(&img, over.data(), over.size(), false), 1);
    EXPECT_TRUE(log.Contains("TGA buffer overrun #1: (3)"));
    EXPECT_EQ(img.Pixel(1, 0), a);
    over = Cat({TgaHeader(10, 2, 1, 32, 0x20), {0x02}, A, B, C});
    ASSERT_EQ(KDI_LoadImageMemTGA(&img, over.data(), over.size(), true), 1);
    EXPECT_TRUE(log.Contains("TGA buffer overrun #4: (1)"));
    EXPECT_EQ(img.Pixel(1, 0), B);
}

// Every read of the input is bounded: short data is refused, not read past.
TEST_F(Codecs, TgaBadInputIsRefused) {
    auto refused = [](const Bytes& data, const char* what) {
        LogCapture log;
        Image img;
        ExactBuffer buf(data);
        EXPECT_EQ(KDI_LoadImageMemTGA(&img, buf.data, buf.size, false), 0) << what;
        EXPECT_EQ(img.pixels, nullptr) << what;
        EXPECT_EQ(CountLines(log, "TGA ERROR: Image 'test'"), 1) << what;
    };
    refused(Bytes(17, 0), "short header");
    refused(TgaHeader(2, 2, 2, 32, 0, 40), "ID field past the end");
    refused(Cat({TgaHeader(2, 2, 2, 32, 0), A, B, C}), "pixels short");
    refused(Cat({TgaHeader(2, 2, 2, 24, 0), A, B}), "24-bit pixels short");
    refused(Cat({TgaHeader(10, 2, 2, 32, 0), {0x81}, A}), "packets stop early");
    refused(Cat({TgaHeader(10, 2, 2, 32, 0), {0x80}}), "repeat value missing");
    refused(Cat({TgaHeader(10, 2, 2, 32, 0), {0x03}, A, B, C}), "literal packet short");
    Bytes mapped = Cat({TgaHeader(1, 2, 2, 8, 0), {0, 0, 0, 0}});
    mapped[1] = 1;
    refused(mapped, "colour-mapped");
    refused(Cat({TgaHeader(3, 1, 1, 8, 0), {0}}), "grey");
    refused(Cat({TgaHeader(2, 1, 1, 16, 0), {0, 0}}), "16-bit");
    refused(TgaHeader(2, 0, 5, 32, 0), "zero width");
    refused(TgaHeader(2, 65535, 65535, 32, 0), "over the cap");
}

// ---- writers and round trips ------------------------------------------------------

TEST_F(Codecs, SaveAndLoadRoundTrips) {
    Image src;
    src.width = 3, src.height = 2;
    src.pixels = (uint8_t*)malloc(kRgba.size());
    memcpy(src.pixels, kRgba.data(), kRgba.size());
    for (bool bgr : {false, true}) {
        Image img;
        ASSERT_EQ(KDI_WritePNG(&src, "out.png", bgr), 1);
        std::string s = ReadFile("out.png");
        ASSERT_EQ(KDI_LoadImageMemPNG(&img, (const uint8_t*)s.data(), s.size(), bgr), 1);
        EXPECT_EQ(img.All(), kRgba);

        ASSERT_EQ(KDI_WriteTGA(&src, "out.tga", bgr), 1);
        s = ReadFile("out.tga");
        EXPECT_EQ(s.size(), 18u + 24u);
        EXPECT_EQ((uint8_t)s[17], 0x08);
        ASSERT_EQ(KDI_LoadImageMemTGA(&img, (const uint8_t*)s.data(), s.size(), bgr), 1);
        EXPECT_EQ(img.All(), kRgba);
    }
    // The file holds blue, green, red, alpha, bottom row first.
    ASSERT_EQ(KDI_WriteTGA(&src, "out.tga", false), 1);
    std::string tga = ReadFile("out.tga");
    EXPECT_EQ((uint8_t)tga[18], 30);  // bottom-left pixel's blue...
    EXPECT_EQ((uint8_t)tga[20], 10);  // ...and red

    // JPEG: opaque and close.
    Image flat;
    flat.width = 16, flat.height = 16;
    flat.pixels = (uint8_t*)malloc(16 * 16 * 4);
    for (int i = 0; i < 256; i++) memcpy(flat.pixels + i * 4, "\xC8\x64\x1E\x80", 4);
    ASSERT_EQ(KDI_WriteJPG(&flat, "out.jpg", 95, false), 1);
    std::string s = ReadFile("out.jpg");
    Image img;
    ASSERT_EQ(KDI_LoadImageMemJPG(&img, (const uint8_t*)s.data(), s.size(), false), 1);
    EXPECT_NEAR(img.Pixel(3, 3)[0], 200, 3);
    EXPECT_NEAR(img.Pixel(3, 3)[2], 30, 3);
    EXPECT_EQ(img.Pixel(3, 3)[3], 255);

    // Writers leave no temporary files behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(".")) files += e.is_regular_file();
    EXPECT_EQ(files, 3);
}

TEST_F(Codecs, FailedWritesLeaveTheTargetAlone) {
    WriteFile("keep.png", "old contents");
    Image none;
    EXPECT_EQ(KDI_WritePNG(&none, "keep.png", false), 0);  // no pixels
    EXPECT_EQ(KDI_WriteTGA(&none, "keep.png", false), 0);
    EXPECT_EQ(KDI_WriteJPG(&none, "keep.png", 90, false), 0);
    Image img;
    img.width = 1, img.height = 1;
    img.pixels = (uint8_t*)calloc(1, 4);
    EXPECT_EQ(KDI_WritePNG(&img, "no/such/folder/a.png", false), 0);
    EXPECT_EQ(KDI_WriteTGA(&img, "no/such/folder/a.tga", false), 0);
    EXPECT_EQ(KDI_WriteJPG(&img, "no/such/folder/a.jpg", 90, false), 0);

    // A write that fails after the temporary file exists removes it.
    char tmp[1024];
    FILE* fp = KDI_OpenTempBeside("keep.png", tmp, sizeof tmp);
    ASSERT_NE(fp, nullptr);
    fputs("half", fp);
    EXPECT_FALSE(KDI_FinishTempFile(fp, tmp, "keep.png", false));
    EXPECT_FALSE(std::filesystem::exists(tmp));
    EXPECT_EQ(ReadFile("keep.png"), "old contents");
    // A successful one replaces the target.
    ASSERT_EQ(KDI_WriteTGA(&img, "keep.png", false), 1);
    EXPECT_EQ(ReadFile("keep.png").size(), 22u);
}

// ---- the loader -----------------------------------------------------------------

TEST_F(Codecs, LoaderDispatchesOnTheExtension) {
    KDID_InitImageLoader();
    ASSERT_NE(kd_il, nullptr);
    EnableDeveloperPopups();
    PngLayout s;
    s.width = 3, s.height = 2;
    Bytes png = EncodePng(s, kRgba);
    Bytes grey(8 * 8, 90);
    Bytes jpg = EncodeJpeg(8, 8, 1, JCS_GRAYSCALE, grey, 90);
    Bytes tga = Cat({TgaHeader(2, 2, 2, 32, 0x28), A, B, C, D});
    WriteBytes("app/native/a.PNG", png);
    WriteBytes("app/native/b.JPG", jpg);
    WriteBytes("app/native/b.jpeg", jpg);
    WriteBytes("app/native/c.tga", tga);
    WriteBytes("app/native/png.tga", png);  // content that does not match
    WriteBytes("app/native/g", png);

    Image img;
    kd_state.texture_format = 0;
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://a.PNG"), 1);
    EXPECT_EQ(img.All(), kRgba);
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://b.JPG"), 1);
    EXPECT_EQ(img.width, 8);
    EXPECT_NEAR(img.Pixel(1, 1)[1], 90, 2);
    kd_state.texture_format = 1;
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://c.tga"), 1);
    EXPECT_EQ(img.Pixel(0, 0), A);  // blue, green, red order
    kd_state.texture_format = 0;
    EXPECT_EQ(kd_il->GetImageDimensions(&img, "res://a.PNG"), 1);
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(kd_il->GetImageDimensions(&img, "res://b.JPG"), 1);
    EXPECT_EQ(img.height, 8);

    LogCapture log;
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://b.jpeg"), 0);
    EXPECT_TRUE(log.Contains("Unsupported image format in file 'res://b.jpeg'"));
    EXPECT_TRUE(log.Contains("Unable to load image 'res://b.jpeg'"));
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://g"), 0);  // shorter than any extension
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://png.tga"), 0);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "res://missing.png"), 0);
    EXPECT_EQ(kd_il->GetImageDimensions(&img, "res://missing.png"), 0);
    EXPECT_EQ(kd_il->LoadImagePixels(nullptr, "res://a.PNG"), 1);
    kd_il->FreeImagePixels(nullptr);
    EXPECT_TRUE(log.Contains("ImageLoader trying to free null bitmap."));
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

TEST_F(Codecs, LoaderSavesByExtension) {
    KDID_InitImageLoader();
    EnableDeveloperPopups();
    Image src;
    src.width = 3, src.height = 2;
    src.pixels = (uint8_t*)malloc(kRgba.size());
    memcpy(src.pixels, kRgba.data(), kRgba.size());
    EXPECT_EQ(kd_il->SaveImage(&src, "user://shot.png", 0), 1);
    EXPECT_EQ(kd_il->SaveImage(&src, "user://shot.TGA", 0), 1);
    EXPECT_EQ(kd_il->SaveImage(&src, "user://shot.jpg", 80), 1);
    EXPECT_TRUE(std::filesystem::exists("data/Dev/Game/shot.jpg"));
    Image img;
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "user://shot.png"), 1);
    EXPECT_EQ(img.All(), kRgba);
    EXPECT_EQ(kd_il->LoadImagePixels(&img, "user://shot.TGA"), 1);
    EXPECT_EQ(img.All(), kRgba);

    LogCapture log;
    EXPECT_EQ(kd_il->SaveImage(&src, "user://shot.bmp", 0), 0);
    EXPECT_TRUE(log.Contains("SaveImage - file format for 'user://shot.bmp' not supported. Use .png format."));
    EXPECT_EQ(kd_il->SaveImage(&src, "png", 0), 0);  // no longer than the extension
    EXPECT_EQ(kd_il->SaveImage(nullptr, "user://x.png", 0), 0);
    EXPECT_EQ(kd_il->SaveImage(&src, nullptr, 0), 0);
    EXPECT_FALSE(std::filesystem::exists("data/Dev/Game/shot.bmp"));
}
