#include "game/game-lib.h"

#include <iterator>

#include "manager.h"
#include "particle-effects.h"

DeziDediLib lib;

namespace {

// One name per slot, in slot order; the count checks keep them in step
// with the slot lists of the header.
const char* const kBitmapNames[] = {
    "actors/gfx/worm/worm-body.png",
    "actors/gfx/worm/worm-head-hurt.png",
    "actors/gfx/worm/worm-head-level-end.png",
    "actors/gfx/worm/worm-head-eyes-closed.png",
    "actors/gfx/worm/worm-head-grab-eyes-closed.png",
    "actors/gfx/worm/worm-head-grab-stars.png",
    "actors/gfx/wormhole_arrow.png",
    "actors/gfx/arrow.png",
    "ui/gfx/bug.png",
    "actors/gfx/rope.png",
    "actors/gfx/bug-wing-left.png",
    "actors/gfx/bug-wing-right.png",
    "actors/gfx/end-bug-blink.png",
    "actors/gfx/end-bug-ouch.png",
    "actors/gfx/end-bug-shooting.png",
    "actors/gfx/end-bug-dead.png",
    "actors/gfx/end-bug-health.png",
    "actors/gfx/end-bug-health-back.png",
    "actors/gfx/bug-flying-blink.png",
    "actors/gfx/bug-flying-happy.png",
    "actors/gfx/bug-flying-dead.png",
    "actors/gfx/bug-flying-shooting-blink.png",
    "actors/gfx/bug-flying-shooting-happy.png",
    "actors/gfx/bug-flying-shooting-dead.png",
    "actors/gfx/bug-homing-aggro-lines.png",
    "actors/gfx/bug-homing-blink.png",
    "actors/gfx/bug-homing-happy.png",
    "actors/gfx/bug-homing-dead.png",
    "ui/gfx/bubble-spike.png",
    "ui/gfx/warning-triangle.png",
    "actors/gfx/fruit-1.png",
    "ui/gfx/fruit-silhuet.png",
    "actors/gfx/egg.png",
    "ui/gfx/egg-silhuet.png",
    "ui/gfx/clock-face.png",
    "ui/gfx/clock-fill.png",
    "ui/gfx/clock-fill-2.png",
    "ui/gfx/star.png",
    "ui/gfx/star-black.png",
    "ui/gfx/time-add.png",
    "ui/gfx/worm-life-counter.png",
    "actors/gfx/tutorial-circle-worm.png",
    "actors/gfx/tutorial-circle-other.png",
    "ui/gfx/tutorial-hand.png",
};
static_assert(std::size(kBitmapNames) == LIB_NUM_BITMAPS, "one name per bitmap slot");

const char* const kFontNames[] = {"fonts/small.sft", "fonts/medium.sft"};
static_assert(std::size(kFontNames) == LIB_NUM_FONTS, "one name per font slot");

// Without extensions: the engine picks the platform's sound format.
const char* const kSoundNames[] = {
    "sfx/worm-head-grab",
    "sfx/worm-tail-grab",
    "sfx/worm-tail-grab-hard",
    "sfx/worm-collecting-fruit",
    "sfx/worm_damage_01",
    "sfx/worm_damage_02",
    "sfx/worm_damage_03",
    "sfx/hitting-bug",
    "sfx/fruits-collected",
    "sfx/greedy-bug",
    "sfx/worm-going-through-exit",
    "sfx/worm-stretching",
    "sfx/worm-swung-fast",
    "sfx/rotating-peg",
    "sfx/hitting-greedy-bug",
    "sfx/egg-hit",
    "sfx/flying-end-bug",
    "sfx/victory-fanfare",
    "music/game-music",
    "sfx/shooting",
    "sfx/mine_explodes",
    "sfx/hitting-homing",
    "sfx/hitting-mine",
    "sfx/hitting-shooting",
    "sfx/hitting-ammo",
    "sfx/hitting-boss",
    "sfx/dies-boss",
    "sfx/dies-worm",
    "sfx/homing-starts",
};
static_assert(std::size(kSoundNames) == LIB_NUM_SOUNDS, "one name per sound slot");

const char* const kEffectNames[] = {
    "fxs/stars.lua",
    "fxs/hazard-destroyed.lua",
    "fxs/life-lost.lua",
    "fxs/hearts.lua",
    "fxs/star-pieces.lua",
    "fxs/pow-0.lua",
    "fxs/pow-1.lua",
    "fxs/pow-2.lua",
    "fxs/pow-3.lua",
    "fxs/splash.lua",
    "fxs/splash-red.lua",
    "fxs/level-end-shockwave.lua",
    "fxs/wings-broken.lua",
    "fxs/leaves-summer.lua",
    "fxs/leaves-summer.lua",
    "fxs/leaves-summer.lua",
};
static_assert(std::size(kEffectNames) == LIB_NUM_EFFECTS, "one name per effect slot");

template <typename T, size_t N>
const char* NameAt(const T (&names)[N], int slot) {
    return slot >= 0 && slot < (int)N ? names[slot] : nullptr;
}

}  // namespace

const char* DeziDediLib::BitmapName(int slot) { return NameAt(kBitmapNames, slot); }
const char* DeziDediLib::FontName(int slot) { return NameAt(kFontNames, slot); }
const char* DeziDediLib::SoundName(int slot) { return NameAt(kSoundNames, slot); }
const char* DeziDediLib::EffectName(int slot) { return NameAt(kEffectNames, slot); }

void DeziDediLib::Load(AssetManager& assets) {
    for (int i = 0; i < LIB_NUM_BITMAPS; i++) bitmaps[i] = assets.LoadBitmap(kBitmapNames[i]);
    for (int i = 0; i < LIB_NUM_FONTS; i++) fonts[i] = kd->GetFont(kFontNames[i]);
    for (int i = 0; i < LIB_NUM_SOUNDS; i++) sounds[i] = assets.LoadSound(kSoundNames[i]);
    for (int i = 0; i < LIB_NUM_EFFECTS; i++) effects[i] = pbman.GetFX(kEffectNames[i]);
}

void DeziDediLib::Clear() { *this = DeziDediLib{}; }
