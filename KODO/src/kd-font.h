// Fonts: the glyph and font records, the engine's table of 32 fonts, the
// `.sft` file reader and writer, font generation from an XML font source
// and the text layout that reads the records. Only the engine includes this
// header.
#ifndef KD_FONT_H
#define KD_FONT_H

#include <stddef.h>
#include <stdint.h>

#include "include/kd-records.h"

class KD_DMArray;

// The table (kd-font.cpp).
struct kd_font_table_t {
    kd_font_t fonts[KD_MAX_FONTS];
    int used;  // slots ever taken
};
extern kd_font_table_t kd_fonts;

kd_font_t* KDI_LoadFont(const char* name);
int KDI_LoadFont(kd_font_t* font, const char* name);
int KDI_LoadFontSFT(kd_font_t* font);
// Parses a whole `.sft` file held in memory into `font` (whose name is used
// in messages). Every count and size is checked against `size`; on failure
// the font is left as the empty LATIN-1 font and `why` (when given) names
// the fault. 1 on success.
int KDI_ParseFontSFT(kd_font_t* font, const uint8_t* data, size_t size, const char** why);
int KDI_SaveFont(kd_font_t* font, const char* path);
int KDI_RecreateFontAtlas(kd_font_t* font);
void KDI_UpdateFontAccordingToDataManifest(kd_font_t* font);
void KDI_FONTS_ReleaseFont(kd_font_t* font);
int KDI_LoadFontXML(kd_font_t* font);

// Glyph records: a zeroed array of `count`, and freeing one array with
// everything the records own.
kd_glyph_t* KDI_AllocGlyphs(int count);
void KDI_FreeGlyphs(kd_glyph_t* glyphs, int count);
// Makes `font` the empty LATIN-1 font (256 empty glyphs, size 0), freeing
// what it held. The name, count and flags stay.
void KDI_ResetFontToEmpty(kd_font_t* font);
// Gives a glyph its own copy of `w` x `h` RGBA pixels (null when either side
// is below 1).
bool KDI_SetGlyphPixels(kd_glyph_t* g, int w, int h, const uint8_t* pixels);

// Generation from a font source (kd-fontgen.cpp).
int KDI_GenerateFontFromSource(kd_font_t* font, double scale);
int KDI_LoadGlyphsFromBitmap(kd_font_t* font, kd_bitmap_t* bitmap, KD_DMArray* glyphs, int spacing, float scale);
void KDI_DetermineKernPairs(kd_font_t* font, int padding, float threshold);
int KDI_GetGlyphsKernOffset(kd_font_t* font, int left, int right, float threshold);
bool KDI_CanGlyphAutoKern(int c);
bool KDI_IsBitmapColumnFree(kd_bitmap_t* bitmap, int x);
bool KDI_IsBitmapRowFree(kd_bitmap_t* bitmap, int y);
bool KDI_IsBitmapRowFreeSpan(kd_bitmap_t* bitmap, int y, int x0, int x1);
void KDI_ForceLowAlphaToZero(kd_bitmap_t* bitmap, int limit);
int KDI_ScaleFont(kd_font_t* font, double scale);
int KDI_CreateFontGlyphBitmapsFromTTF(kd_font_t* font, const char* path, int size, int style, const char* text);
int KDI_CreateFontGlyphsArrayFromStrings(kd_font_t* font, const char* path, KD_DMArray* array);
int KDI_CreateFontSourceBitmapFromTTF(const char* ttf, const char* out, int size, const char* text,
                                      const char* style);

// Text (kd-text.cpp).
enum { KD_TEXT_BUFFER = 2048, KD_TEXT_MAX_LINES = 1024 };
enum {
    KD_TEXT_ALIGN_RIGHT = 1,
    KD_TEXT_ALIGN_BOTTOM = 2,
    KD_TEXT_ALIGN_VCENTER = 4,
    KD_TEXT_ALIGN_HCENTER = 8,
};
float KDI_DrawTextXY(kd_font_t* font, float x, float y, char* text);
void KDI_GetTextSize(kd_font_t* font, char* text);
// Line breaking; `text` is cut in place (a NUL at each break). Widths are
// in font pixels.
int KDI_ParseTextLines_LATIN1(kd_font_t* font, int max_width, char* text, char** starts, int16_t* widths,
                              int max_lines);
int KDI_ParseTextLines_UTF32(kd_font_t* font, int max_width, uint32_t* text, uint32_t** starts, int16_t* widths,
                             int max_lines);
// Decodes UTF-8 into code points up to the terminator (written too); a lead
// byte whose continuation bytes are missing or not 10xxxxxx ends the text.
// `out` holds at least `capacity` code points, the terminator included.
// Returns the number of code points.
int KDI_DecodeUTF8(const char* text, uint32_t* out, int capacity);
// The glyph of a code point in a UTF-8 font, or null.
kd_glyph_t* KDI_FindGlyphByCode(kd_font_t* font, uint32_t code);
void KDI_InitTextState();

#endif
