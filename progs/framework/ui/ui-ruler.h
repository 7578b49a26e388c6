// The ruler: a horizontal or vertical bar of any length from two bitmaps,
// a cap drawn at both ends (mirrored at the far end) and a tile repeated
// between them. The separators and bars of the menus are drawn this way.
// Both bitmaps are authored horizontally; along a vertical bar they are
// turned by a quarter turn, so their pixel width always lies along it.
#ifndef FRAMEWORK_UI_RULER_H
#define FRAMEWORK_UI_RULER_H

#include "ui/ui-comps.h"

enum { UI_RULER_NUM_PROPS = 5 };

// A bar long enough for more tiles than this is drawn with this many: the
// count comes from layout values, and a scale near zero must not turn one
// draw into millions of quads.
enum { UI_RULER_MAX_TILES = 4096 };

class UICompRuler : public UIComp {
public:
    UICompRuler();
    static UIComp* Make() { return new UICompRuler(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    void Draw() override;
    // Takes or releases both bitmaps, and re-measures on entering.
    void ApplyCacheMode(int mode) override;
    void EditUpdate(float dt) override;
    void UpdateDimensions() override;

    // Each takes a counted reference to the bitmap of that bitmap's name.
    void SetEndpointBitmap(kd_bitmap_t* bm);
    void SetRepeatBitmap(kd_bitmap_t* bm);
    // Horizontal when the client width is the larger.
    bool IsHorizontal() const { return client_width > client_height; }
    // Tiles between the caps for a span of `span` pixels at scale s: none
    // when the tile has no width (or the scale is 0), at most
    // UI_RULER_MAX_TILES.
    static int TileCount(float span, int tile_width, float s);

    kd_bitmap_t* bm_endpoint = nullptr;
    kd_bitmap_t* bm_repeat = nullptr;
    float client_width = 50;
    float client_height = 25;
    float endpoint_offset = 0;
};

#endif
