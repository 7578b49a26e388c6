// The game's resource table `lib`: every bitmap, font, sound and effect the
// game, its behaviours and its contact rules use, loaded once by name when
// the game is activated and reached by slot. A name that does not load
// leaves its slot null (the engine reports it); every user checks.
#ifndef APP_GAME_LIB_H
#define APP_GAME_LIB_H

#include "kodo.h"

struct fx_t;
class AssetManager;

// Bitmap slots.
enum LibBitmap {
    LIB_WORM_BODY,
    LIB_WORM_HEAD_HURT,
    LIB_WORM_HEAD_LEVEL_END,
    LIB_WORM_HEAD_EYES_CLOSED,
    LIB_WORM_HEAD_GRAB_EYES_CLOSED,
    LIB_WORM_HEAD_GRAB_STARS,
    LIB_WORMHOLE_ARROW,
    LIB_ARROW,
    LIB_HUD_BUG,
    LIB_ROPE,
    LIB_BUG_WING_LEFT,
    LIB_BUG_WING_RIGHT,
    LIB_END_BUG_BLINK,
    LIB_END_BUG_OUCH,
    LIB_END_BUG_SHOOTING,
    LIB_END_BUG_DEAD,
    LIB_END_BUG_HEALTH,
    LIB_END_BUG_HEALTH_BACK,
    LIB_BUG_FLYING_BLINK,
    LIB_BUG_FLYING_HAPPY,
    LIB_BUG_FLYING_DEAD,
    LIB_BUG_SHOOTING_BLINK,
    LIB_BUG_SHOOTING_HAPPY,
    LIB_BUG_SHOOTING_DEAD,
    LIB_BUG_HOMING_AGGRO_LINES,
    LIB_BUG_HOMING_BLINK,
    LIB_BUG_HOMING_HAPPY,
    LIB_BUG_HOMING_DEAD,
    LIB_BUBBLE_SPIKE,
    LIB_WARNING_TRIANGLE,
    LIB_FRUIT,
    LIB_FRUIT_SILHOUETTE,
    LIB_EGG,
    LIB_EGG_SILHOUETTE,
    LIB_CLOCK_FACE,
    LIB_CLOCK_FILL,
    LIB_CLOCK_FILL_2,
    LIB_STAR,
    LIB_STAR_BLACK,
    LIB_TIME_ADD,
    LIB_WORM_LIFE_COUNTER,
    LIB_TUTORIAL_CIRCLE_WORM,
    LIB_TUTORIAL_CIRCLE_OTHER,
    LIB_TUTORIAL_HAND,
    LIB_NUM_BITMAPS
};

// Font slots.
enum LibFont { LIB_FONT_SMALL, LIB_FONT_MEDIUM, LIB_NUM_FONTS };

// Sound slots (music/game-music among them).
enum LibSound {
    LIB_SND_HEAD_GRAB,
    LIB_SND_TAIL_GRAB,
    LIB_SND_TAIL_GRAB_HARD,
    LIB_SND_COLLECTING_FRUIT,
    LIB_SND_DAMAGE_1,
    LIB_SND_DAMAGE_2,
    LIB_SND_DAMAGE_3,
    LIB_SND_HITTING_BUG,
    LIB_SND_FRUITS_COLLECTED,
    LIB_SND_GREEDY_BUG,
    LIB_SND_THROUGH_EXIT,
    LIB_SND_STRETCHING,
    LIB_SND_SWUNG_FAST,
    LIB_SND_ROTATING_PEG,
    LIB_SND_HITTING_GREEDY_BUG,
    LIB_SND_EGG_HIT,
    LIB_SND_FLYING_END_BUG,
    LIB_SND_VICTORY_FANFARE,
    LIB_MUSIC_GAME,
    LIB_SND_SHOOTING,
    LIB_SND_MINE_EXPLODES,
    LIB_SND_HITTING_HOMING,
    LIB_SND_HITTING_MINE,
    LIB_SND_HITTING_SHOOTING,
    LIB_SND_HITTING_AMMO,
    LIB_SND_HITTING_BOSS,
    LIB_SND_DIES_BOSS,
    LIB_SND_DIES_WORM,
    LIB_SND_HOMING_STARTS,
    LIB_NUM_SOUNDS
};

// Effect slots; the three weather slots name one effect each.
enum LibEffect {
    LIB_FX_STARS,
    LIB_FX_HAZARD_DESTROYED,
    LIB_FX_LIFE_LOST,
    LIB_FX_HEARTS,
    LIB_FX_STAR_PIECES,
    LIB_FX_POW_0,
    LIB_FX_POW_1,
    LIB_FX_POW_2,
    LIB_FX_POW_3,
    LIB_FX_SPLASH,
    LIB_FX_SPLASH_RED,
    LIB_FX_LEVEL_END_SHOCKWAVE,
    LIB_FX_WINGS_BROKEN,
    LIB_FX_WEATHER_1,
    LIB_FX_WEATHER_2,
    LIB_FX_WEATHER_3,
    LIB_NUM_EFFECTS
};

struct DeziDediLib {
    kd_bitmap_t* bitmaps[LIB_NUM_BITMAPS];
    kd_font_t* fonts[LIB_NUM_FONTS];
    kd_sound_t* sounds[LIB_NUM_SOUNDS];
    fx_t* effects[LIB_NUM_EFFECTS];

    kd_bitmap_t* Bitmap(LibBitmap slot) const { return bitmaps[slot]; }
    kd_font_t* Font(LibFont slot) const { return fonts[slot]; }
    kd_sound_t* Sound(LibSound slot) const { return sounds[slot]; }
    fx_t* Effect(LibEffect slot) const { return effects[slot]; }

    // Fills every slot: bitmaps and sounds through `assets` (released
    // together when the game is unloaded), fonts from the engine, effects
    // from the particle burst manager.
    void Load(AssetManager& assets);
    // Empties every slot (the assets are released by their owner).
    void Clear();

    // The names, slot by slot, as the data tree holds them.
    static const char* BitmapName(int slot);
    static const char* FontName(int slot);
    static const char* SoundName(int slot);
    static const char* EffectName(int slot);
};

extern DeziDediLib lib;

#endif
