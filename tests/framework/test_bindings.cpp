// The script functions: every registered function given wrong arguments
// without a Lua error, a crash or a stray result, and the engine reached
// with the arguments each binding hands on. Which names the bundled
// scripts need is checked against the data (app/test_bundled_data).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "analytics.h"
#include "audioman.h"
#include "dataman.h"
#include "feature-manager.h"
#include "fw-support.h"
#include "lua-bindings.h"
#include "luaman.h"
#include "manager.h"
#include "particle-effects.h"
#include "profiles.h"
#include "recording-kd.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/screen.h"
#include "ui/timeline.h"
#include "ui/ui-layout.h"

namespace {

std::map<std::string, kd_bitmap_t*> bitmaps;  // the fake bitmap table
kd_sound_t fake_sound;
std::vector<std::string>& calls() { return rec().calls; }

std::string F(float v) {
    char b[32];
    snprintf(b, sizeof b, "%g", v);
    return b;
}

kd_bitmap_t* Find(const char* name) {
    auto it = bitmaps.find(name ? name : "");
    return it == bitmaps.end() ? nullptr : it->second;
}
kd_bitmap_t* RGetBitmap(const char* name) {
    calls().push_back(std::string("GetBitmap ") + name);
    return Find(name);
}
kd_bitmap_t* RGetBitmapEx(const char* name, int mode) { return Find(name); }
kd_bitmap_t* RLoadBitmap(const char* name, int mode) {
    calls().push_back(std::string("LoadBitmap ") + name + " " + std::to_string(mode));
    return Find(name);
}
void RReleaseBitmap(kd_bitmap_t* bm) { calls().push_back(std::string("ReleaseBitmap ") + bm->name); }
void RSetBitmapCacheMode(kd_bitmap_t* bm, int m) { calls().push_back("CacheMode " + std::to_string(m)); }
void RDrawBitmap(kd_bitmap_t* bm, float x, float y) {
    calls().push_back(std::string("DrawBitmap ") + bm->name + " " + F(x) + " " + F(y));
}
void RDrawBitmapRS(kd_bitmap_t* bm, float x, float y, float r, float s) {
    calls().push_back(std::string("DrawBitmapRS ") + bm->name + " " + F(x) + " " + F(y) + " " + F(r) + " " + F(s) +
                      " u " + F(bm->hw.left_u) + " " + F(bm->hw.right_u));
}
void RDrawRect(float x, float y, float w, float h) {
    calls().push_back("DrawRect " + F(x) + " " + F(y) + " " + F(w) + " " + F(h));
}
void RSetColor(float r, float g, float b) { calls().push_back("SetColor " + F(r) + " " + F(g) + " " + F(b)); }
void RSetBlend(int m) { calls().push_back("SetBlend " + std::to_string(m)); }
void RSetPixelFilter(int m) { calls().push_back("SetPixelFilter " + std::to_string(m)); }
void RSetTextAlign(int m) { calls().push_back("SetTextAlign " + std::to_string(m)); }
bool RSetScissorRect(int x, int y, int w, int h) {
    calls().push_back("Scissor " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " +
                      std::to_string(h));
    return true;
}
kd_font_t fake_font;
kd_font_t* RGetFont(const char* name) { return strcmp(name, "f.sft") == 0 ? &fake_font : nullptr; }
float RDrawTextf(kd_font_t* font, float x, float y, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    calls().push_back("DrawText " + F(x) + " " + F(y) + " " + RecFormat(format, ap));
    va_end(ap);
    return font ? 12.7f : 0.0f;
}
kd_sound_t* RGetSound(const char* name) { return &fake_sound; }
long RPlaySound(kd_sound_t* s, float v, float p, float f) {
    calls().push_back("PlaySound " + F(v) + " " + F(p) + " " + F(f));
    return 17;
}
const char* RCallExtension(const char* c, const char* p) {
    calls().push_back(std::string("CallExtension ") + c + " " + std::to_string(p ? strlen(p) : 0));
    return "answer";
}
bool RSignalShutdown() {
    calls().push_back("SignalShutdown");
    return true;
}

// A bitmap held in memory, filled with one colour.
struct FakeBitmap {
    kd_bitmap_t bm;
    std::vector<uint8_t> pixels;
    FakeBitmap(const char* name, int w, int h, uint32_t rgba = 0xffffffff, bool with_pixels = true) {
        memset(&bm, 0, sizeof bm);
        bm.name = (char*)name;
        bm.width = w;
        bm.height = h;
        bm.frame_count = 3;
        bm.hw.left_u = 0.25f;
        bm.hw.right_u = 0.75f;
        if (with_pixels && w > 0 && h > 0) {
            pixels.resize((size_t)w * h * 4);
            for (size_t i = 0; i < pixels.size(); i += 4)
                for (int c = 0; c < 4; c++) pixels[i + c] = (uint8_t)(rgba >> (24 - 8 * c));
            bm.pixels = pixels.data();
        }
        bitmaps[name] = &bm;
    }
    ~FakeBitmap() { bitmaps.erase(bm.name); }
    const uint8_t* Px(int i) const { return &pixels[(size_t)i * 4]; }
};

std::string Eval(lua_State* L, const std::string& code) {
    int top = lua_gettop(L);
    std::string out;
    if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
        out = std::string("ERR:") + lua_tostring(L, -1);
    } else if (lua_isnil(L, -1)) {
        out = "nil";
    } else if (lua_isboolean(L, -1)) {
        out = lua_toboolean(L, -1) ? "true" : "false";
    } else {
        std::string type = luaL_typename(L, -1);
        const char* text = lua_tostring(L, -1);
        out = type + ":" + (text ? text : "");
    }
    lua_settop(L, top);
    return out;
}

struct Bindings : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    kd_prog_t record;
    lua_State* L = nullptr;
    void SetUp() override {
        ASSERT_TRUE(e.started);
        kodo_t& t = r.table;
        t.GetBitmap = RGetBitmap;
        t.GetBitmapEx = RGetBitmapEx;
        t.LoadBitmap = RLoadBitmap;
        t.ReleaseBitmap = RReleaseBitmap;
        t.SetBitmapCacheMode = RSetBitmapCacheMode;
        t.DrawBitmap = RDrawBitmap;
        t.DrawBitmapRS = RDrawBitmapRS;
        t.DrawRect = RDrawRect;
        t.SetColor = RSetColor;
        t.SetBlend = RSetBlend;
        t.SetPixelFilter = RSetPixelFilter;
        t.SetTextAlign = RSetTextAlign;
        t.SetScissorRect = RSetScissorRect;
        t.GetSound = RGetSound;
        t.GetFont = RGetFont;
        t.DrawTextf = RDrawTextf;
        memset(&fake_font, 0, sizeof fake_font);
        fake_font.size = 24;
        t.PlaySound = RPlaySound;
        t.CallExtension = RCallExtension;
        t.SignalShutdown = RSignalShutdown;
        r.Install();
        memset(&record, 0, sizeof record);
        record.parms.width = 1024;
        record.parms.height = 600;
        Manager::SetProgramRecord(&record);
        memset(&fake_sound, 0, sizeof fake_sound);
        fake_sound.name = (char*)"fake.wav";
        fake_sound.max_instances = -1;
        L = lua_man.OpenLuaState(0);
        ASSERT_TRUE(L);
    }
    void TearDown() override {
        lua_man.CloseLuaState(L);
        Manager::SetProgramRecord(nullptr);
    }
};

// The global C functions of L that a stock state lacks: every function a
// binding file registered there (the replaced stock ones are left out).
std::vector<std::string> HostFunctionNames(lua_State* L) {
    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    std::vector<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_iscfunction(L, -1)) {
            lua_getglobal(stock, lua_tostring(L, -2));
            if (lua_isnil(stock, -1)) names.push_back(lua_tostring(L, -2));
            lua_pop(stock, 1);
        }
        lua_pop(L, 1);
    }
    lua_close(stock);
    std::sort(names.begin(), names.end());
    return names;
}

// Calls the global `name` from C with each set of wrong arguments: t a
// table, n nil, 1 a number where texts go, x a text where numbers go, b a
// flag, f a function, q NaN, h/m huge numbers, s a 5,000-character text.
// Answers "" or what went wrong.
std::string CallWithWrongArguments(lua_State* L, const std::string& name) {
    static const char* const kSets[] = {"",        "nnnn",    "ttttttt", "1111111", "xxxxxxx", "bbbbbbb",
                                        "fffffff", "qqqqqqq", "hmhmhmh", "ss1",     "xtttttt"};
    lua_pushstring(L, "the caller's own value");
    lua_newtable(L);  // the table argument: no result may be this table
    int base = lua_gettop(L);
    for (const char* set : kSets) {
        lua_getglobal(L, name.c_str());
        int n = 0;
        for (const char* k = set; *k; k++, n++) {
            switch (*k) {
                case 't': lua_pushvalue(L, base); break;
                case 'n': lua_pushnil(L); break;
                case '1': lua_pushinteger(L, n + 1); break;
                case 'x': lua_pushstring(L, "x"); break;
                case 'b': lua_pushboolean(L, n & 1); break;
                case 'f': lua_getglobal(L, "tostring"); break;
                case 'q': lua_pushnumber(L, 0.0 / 0.0); break;
                case 'h': lua_pushnumber(L, 1e300); break;
                case 'm': lua_pushnumber(L, -1e300); break;
                default: lua_pushstring(L, std::string(5000, 'y').c_str()); break;
            }
        }
        std::string fault;
        if (lua_pcall(L, n, LUA_MULTRET, 0) != 0) {
            const char* m = lua_tostring(L, -1);
            fault = std::string("raised '") + (m ? m : "?") + "'";
        }
        // A function that answers more results than it pushed hands back its
        // own arguments, or itself when it had none.
        for (int i = base + 1; fault.empty() && i <= lua_gettop(L); i++) {
            lua_getglobal(L, name.c_str());
            if (lua_rawequal(L, i, base) || lua_rawequal(L, i, -1)) fault = "answered what it did not push";
            lua_pop(L, 1);
        }
        lua_settop(L, base);
        if (!fault.empty()) {
            lua_settop(L, base - 2);
            return name + " with '" + set + "': " + fault;
        }
    }
    lua_settop(L, base - 2);
    return "";
}

}  // namespace

TEST_F(Bindings, WrongArgumentsReportAndReturn) {
    FakeBitmap b("b.png", 3, 3);
    // Every binding with no arguments, nils, tables, functions, booleans,
    // NaN and huge numbers: never a Lua error, never a crash.
    lua_newtable(L);
    for (int i = 0; i < lua_builtin_binding_count; i++) {
        lua_pushstring(L, lua_builtin_bindings[i].name);
        lua_rawseti(L, -2, i + 1);
    }
    lua_setglobal(L, "names");
    std::string result = Eval(L, R"(
        local sets = {
            {}, {nil, nil, nil, nil}, {{}, {}, {}, {}, {}, {}, {}}, {print, print, print},
            {true, false, true}, {0/0, 0/0, 0/0, 0/0, 0/0, 0/0, 0/0}, {1e300, -1e300, 1e300, 1e300, 1e300},
            {'b.png', {}, {}, {}, {}, {}, {}}, {'b.png', 'x', 'y', 'z', 'w'}, {-1, -1, -1, -1, -1},
            {string.rep('x', 5000), string.rep('y', 5000), 3},
        }
        for _, name in ipairs(names) do
            if name ~= 'LuaInclude' and name ~= 'KodoShutdown' then
                for i, args in ipairs(sets) do
                    local ok, err = pcall(_G[name], unpack(args, 1, 7))
                    if not ok then return name .. ' set ' .. i .. ': ' .. tostring(err) end
                end
            end
        end
        return 'all returned')");
    EXPECT_EQ(result, "string:all returned");
    EXPECT_TRUE(rec().PopupContains("1|Lua KD_DrawRect: argument 1 should be a number.\n"));
    EXPECT_TRUE(rec().PopupContains("1|Lua KD_DrawBitmap: argument 1 should be a text.\n"));
    EXPECT_EQ(Eval(L, "return pcall(LuaInclude, {})"), "true");
    EXPECT_EQ(Eval(L, "return pcall(LuaInclude, 'user://none.lua')"), "true");
}

TEST_F(Bindings, DrawingReachesTheEngine) {
    FakeBitmap b("b.png", 5, 7);
    calls().clear();
    Eval(L, "KD_DrawRect(1, 2, 3, 4) KD_SetColor(0.5, 0.25, 1) KD_SetBlend('ADDITIVE') KD_SetBlend('additive')"
            " KD_SetPixelFilter('point') KD_SetPixelFilter('LINEAR') KD_RemoveScissorRect()");
    std::vector<std::string> expected = {"DrawRect 1 2 3 4", "SetColor 0.5 0.25 1", "SetBlend 1", "SetBlend 0",
                                         "SetPixelFilter 0", "SetPixelFilter 1", "Scissor 0 0 1024 600"};
    EXPECT_EQ(calls(), expected);

    calls().clear();
    // Odd sizes: the top-left corner is shifted by half a pixel.
    Eval(L, "KD_DrawBitmapS('b.png', 10, 20, 2)");
    Eval(L, "KD_DrawBitmapMirroredRS('b.png', 1, 2, 0.5, 3)");
    Eval(L, "KD_DrawBitmapAligned('b.png', 100, 100, 'CENTER')");
    Eval(L, "KD_DrawBitmapAligned('b.png', 100, 100, 'HCENTER')");
    Eval(L, "KD_DrawBitmapAligned('b.png', 100, 100, 'BOTTOM|RIGHT')");
    Eval(L, "KD_DrawBitmap('missing.png', 1, 1)");
    expected = {"DrawBitmapRS b.png 15.5 27.5 0 2 u 0.25 0.75",
                "DrawBitmapRS b.png 1 2 0.5 3 u 0.75 0.25",
                "DrawBitmap b.png 98 97",
                "DrawBitmap b.png 98 100",
                "DrawBitmap b.png 95 93",
                "GetBitmap missing.png"};
    EXPECT_EQ(calls(), expected);
    // The mirrored draw put the coordinates back.
    EXPECT_EQ(b.bm.hw.left_u, 0.25f);
    EXPECT_EQ(b.bm.hw.right_u, 0.75f);
    EXPECT_EQ(Eval(L, "return KD_GetBitmapWidth('b.png') .. 'x' .. KD_GetBitmapHeight('b.png') .. ' ' .. "
                      "KD_GetNumBitmapFrames('b.png')"),
              "string:5x7 3");
    calls().clear();
    EXPECT_EQ(Eval(L, "return KD_DrawText('f.sft', 3, 4, '%d%s')"), "number:12");
    EXPECT_EQ(Eval(L, "return KD_DrawText('none.sft', 3, 4, 'x')"), "number:0");
    EXPECT_EQ(calls(), (std::vector<std::string>{"DrawText 3 4 %d%s", "DrawText 3 4 x"}));
    EXPECT_EQ(Eval(L, "return KD_GetFontHeight('f.sft') .. ' ' .. KD_GetFontHeight('none.sft')"), "string:24 0");
    EXPECT_EQ(ParseDrawAlignFlags("CENTER"), 12);
    EXPECT_EQ(ParseDrawAlignFlags("HCENTER|BOTTOM"), 10);
    EXPECT_EQ(ParseDrawAlignFlags(nullptr), 0);
}

TEST_F(Bindings, BitmapTableOperations) {
    FakeBitmap b("b.png", 2, 2);
    calls().clear();
    Eval(L, "KD_LoadBitmap('b.png') KD_LoadBitmap('b.png', 'NOTHING') KD_LoadBitmap('b.png', 'nothing')");
    Eval(L, "KD_SetBitmapCacheMode('b.png', 'sw_data_only') KD_SetBitmapCacheMode('b.png', 'bogus')");
    Eval(L, "KD_ReleaseBitmap('b.png') KD_ReleaseBitmap('never.png')");
    std::vector<std::string> expected = {"LoadBitmap b.png 4", "LoadBitmap b.png 0", "LoadBitmap b.png 4",
                                         "GetBitmap b.png",    "CacheMode 2",        "GetBitmap b.png",
                                         "ReleaseBitmap b.png"};
    EXPECT_EQ(calls(), expected);
    EXPECT_TRUE(rec().PopupContains("1|Lua KD_ReleaseBitmap ('never.png') - bitmap isn't loaded at all."));
    FakeBitmap same("same.png", 2, 2), other("other.png", 3, 2), bare("bare.png", 2, 2, 0, false);
    EXPECT_EQ(Eval(L, "return KD_CopyBitmap('b.png', 'same.png')"), "true");
    EXPECT_EQ(Eval(L, "return KD_CopyBitmap('b.png', 'other.png')"), "false");
    EXPECT_EQ(Eval(L, "return KD_CopyBitmap('b.png', 'bare.png')"), "false");
}

TEST_F(Bindings, ColourFiltersAndBlur) {
    FakeBitmap white("white.png", 2, 1, 0xffffff80);
    EXPECT_EQ(Eval(L, "return KD_BitmapColorSepia('white.png', 0)"), "true");
    EXPECT_EQ(white.Px(0)[0], 254);
    EXPECT_EQ(white.Px(0)[1], 254);
    EXPECT_EQ(white.Px(0)[2], 239);
    EXPECT_EQ(white.Px(0)[3], 0x80);  // alpha untouched
    FakeBitmap c("c.png", 1, 1, 0xff000000 | 0xff);
    EXPECT_EQ(Eval(L, "return KD_BitmapColorBlackAndWhite('c.png', 0)"), "true");
    EXPECT_EQ(c.Px(0)[0], 84);  // m = 85, 255 * 85 >> 8
    EXPECT_EQ(c.Px(0)[1], 84);
    // Without pixel memory or with a zero size: false, nothing touched.
    FakeBitmap bare("bare.png", 4, 4, 0, false);
    FakeBitmap empty("empty.png", 0, 4);
    EXPECT_EQ(Eval(L, "return KD_BitmapColorSepia('bare.png', 0)"), "false");
    EXPECT_EQ(Eval(L, "return KD_BlurBitmap('empty.png', 1)"), "false");
    EXPECT_EQ(Eval(L, "return KD_BitmapColorSepia('nothing.png', 0.5)"), "false");
    // Blur: a single bright pixel in the middle of a 3 x 3 bitmap.
    FakeBitmap blur("blur.png", 3, 3, 0x000000ff);
    blur.pixels[4 * 4] = 200;
    EXPECT_EQ(Eval(L, "return KD_BlurBitmap('blur.png', 0)"), "true");
    EXPECT_EQ(blur.Px(1)[0], 50);  // top row: left, self, right, below (200) / 4
    EXPECT_EQ(blur.Px(7)[0], 50);  // bottom row: above is the centre
    // Inner rows read what was written before them: the pixel left of the
    // centre became (0 + 200 + 0 + 0) / 4 = 50, so the centre is
    // (50 + 0 + 50 + 50) / 4.
    EXPECT_EQ(blur.Px(3)[0], 50);
    EXPECT_EQ(blur.Px(4)[0], 37);
    EXPECT_EQ(blur.Px(0)[0], 0);   // corners keep their values
    // One row or one column: nothing read outside the bitmap.
    FakeBitmap row("row.png", 5, 1), col("col.png", 1, 5);
    EXPECT_EQ(Eval(L, "return KD_BlurBitmap('row.png', 0)"), "true");
    EXPECT_EQ(Eval(L, "return KD_BlurBitmap('col.png', 0)"), "true");
}

TEST_F(Bindings, SoundsExtensionsAndSettings) {
    // Full volumes, as a new player's profile has them.
    aman.SetSoundVolume(1);
    aman.SetMusicVolume(1);
    calls().clear();
    EXPECT_EQ(Eval(L, "return KD_PlaySound('s.wav')"), "number:17");
    Eval(L, "KD_PlaySound('s.wav', nil) PlaySound('s.wav', 0.5, -1, 2)");
    std::vector<std::string> expected = {"PlaySound 1 0 1", "PlaySound 0 0 1", "PlaySound 0.5 -1 2"};
    EXPECT_EQ(calls(), expected);
    Eval(L, "KD_SetSoundParm('s.wav', 'maxinstances', 3)");
    EXPECT_EQ(fake_sound.max_instances, 3);
    Eval(L, "KD_SetSoundParm('s.wav', 'Volume', 9)");
    EXPECT_EQ(fake_sound.max_instances, 3);

    calls().clear();
    EXPECT_EQ(Eval(L, "return KD_CallExtension('CMD')"), "string:answer");
    EXPECT_EQ(Eval(L, "return KD_CallExtension('CMD', string.rep('p', 1022))"), "string:answer");
    EXPECT_EQ(Eval(L, "return KD_CallExtension('CMD', string.rep('p', 1023))"), "nil");
    // No script moves one player file over another.
    EXPECT_EQ(Eval(L, "return KD_CallExtension('RenameFile', 'user://p/1.xml|user://local-in-app-purchases.xml')"),
              "nil");
    EXPECT_EQ(Eval(L, "return KD_CallExtension('renamefile', 'user://a|user://b')"), "nil");
    EXPECT_TRUE(rec().DebugContains("1|KD_CallExtension: \"RenameFile\" is refused to scripts."));
    expected = {"CallExtension CMD 0", "CallExtension CMD 1022"};
    EXPECT_EQ(calls(), expected);
    calls().clear();
    Eval(L, "KodoShutdown()");
    EXPECT_EQ(calls(), std::vector<std::string>{"SignalShutdown"});

    EXPECT_EQ(Eval(L, "SetScreenWindowed(true) return IsScreenWindowed()"), "true");
    EXPECT_TRUE(record.parms.windowed);
    EXPECT_EQ(Eval(L, "return IsDeveloperModeActive()"), "false");
    EXPECT_EQ(Eval(L, "return KD_IsPurchased('x')"), "false");
    EXPECT_EQ(Eval(L, "return GetMusicVolume()"), "number:1");
}

TEST_F(Bindings, KeysFilesTimesAndData) {
    EXPECT_EQ(KD_GetKeyByName("RETURN"), 13);
    EXPECT_EQ(KD_GetKeyByName("a"), 65);  // the key A, as keys arrive
    EXPECT_EQ(KD_GetKeyByName("7"), 55);
    EXPECT_EQ(KD_GetKeyByName("MOUSE_BUTTON_LEFT"), 510);
    EXPECT_EQ(KD_GetKeyByName("MOUSE_BUTTON_7"), 517);
    EXPECT_EQ(KD_GetKeyByName("VOLUME_DOWN"), 1633);
    EXPECT_EQ(KD_GetKeyByName("A"), 0);
    EXPECT_EQ(KD_GetKeyByName("F1"), 0);
    EXPECT_EQ(KD_GetKeyByName("ab"), 0);
    EXPECT_EQ(KD_GetKeyByName(nullptr), 0);
    // Key states reach the engine's own table and come back.
    EXPECT_EQ(Eval(L, "KD_SetKeyState('z', 5) return KD_GetKeyState('z')"), "number:5");
    EXPECT_EQ(Eval(L, "KD_SetKeyStateFloat('MOUSE_X', 2.5) return KD_GetKeyStateFloat('MOUSE_X')"), "number:2.5");

    WriteNative(e.UserPath("here.txt"), "x");
    EXPECT_EQ(Eval(L, "return KD_FileExists('user://here.txt')"), "number:1");
    EXPECT_EQ(Eval(L, "return KD_FileExists('user://not-here.txt')"), "number:0");

    EXPECT_EQ(Eval(L, "return GetFormattedTime(3723000)"), "string:01:02:03");
    EXPECT_EQ(Eval(L, "return GetFormattedTime(83000, 'MM:SS')"), "string:01:23");
    EXPECT_EQ(Eval(L, "return GetFormattedTime(83000)"), "string:00:01:23");
    EXPECT_EQ(Eval(L, "return GetFormattedTime(-1e300, 'MM:SS')").rfind("string:", 0), 0u);
    EXPECT_EQ(Eval(L, "return type(KD_GetTime())"), "string:number");

    WriteNative(e.UserPath("t.xml"),
                "<?xml version=\"1.0\"?>\n<root>\n<array id=\"levels\">\n<node id=\"E01\" time=\"30\"/>\n"
                "<node id=\"E02\" time=\"45\"/>\n</array>\n</root>\n");
    ASSERT_EQ(dman.GetDatabase("user://t.xml")->GetNumberOfArrays(), 1);
    EXPECT_EQ(Eval(L, "return DM_GetValue('user://t.xml', 'levels', 'E02', 'time')"), "string:45");
    EXPECT_EQ(Eval(L, "return DM_GetValue('user://t.xml', 0, 1, 'time')"), "string:45");
    EXPECT_EQ(Eval(L, "return DM_GetValue('user://t.xml', '0', '0', 'time')"), "string:30");
    EXPECT_EQ(Eval(L, "return DM_GetValue('user://t.xml', 'levels', 'E09', 'time')"), "nil");
    EXPECT_EQ(Eval(L, "return DM_GetValue('user://t.xml', 5, 0, 'time')"), "nil");
    EXPECT_EQ(Eval(L, "return DM_GetArraySize('user://t.xml', 'levels')"), "number:2");
    EXPECT_EQ(Eval(L, "return DM_GetArrayId('user://t.xml', 'levels')"), "string:levels");
    EXPECT_EQ(Eval(L, "return DM_GetNumberOfArrays('user://t.xml')"), "number:1");
    EXPECT_EQ(Eval(L, "return DM_GetNodeIndexById('user://t.xml', 'levels', 'E02')"), "number:1");
    EXPECT_EQ(Eval(L, "return DM_GetNodeIndexById('user://t.xml', 'nope', 'E02')"), "nil");

    EXPECT_EQ(Eval(L, "return Localize('Play')"), "string:Play");
    EXPECT_EQ(Eval(L, "return LocalizeNumber(1234)"), "string:1,234");
}

TEST_F(Bindings, EveryRegisteredFunctionTakesWrongArgumentsQuietly) {
    feature_man.Initialize();
    profile_man.Initialize();
    game_man.Initialize();
    pbman.Init();
    // The player services, switched on, so that their functions act.
    kd->CreateDirectory("user://in-app-purchases");
    kd->CreateDirectory("user://achievements");
    WriteNative(e.UserPath("in-app-purchases/in-app-purchases.xml"),
                "<root><array id=\"ITEMS\"><node id=\"x\" name=\"X\"/></array></root>");
    WriteNative(e.UserPath("achievements/achievements.xml"),
                "<root><array id=\"ACHIEVEMENTS\"><node id=\"x\" name=\"X\"/></array></root>");
    ASSERT_TRUE(iap_man.Initialize());
    achievement_man.Initialize();
    ASSERT_TRUE(achievement_man.IsInitialized());
    leaderboards_man.Initialize();
    analyst.RegisterLuaFunctions();
    analyst.Initialize();
    ScreenMan::RegisterLuaFunctions();
    timeline.Init();
    UISet set("ui/bad-arguments.lua", nullptr);
    ASSERT_TRUE(set.L);
    UILayoutRegisterFunctions(set.L);

    // A bad index or name selects, writes and deletes nothing.
    ASSERT_TRUE(lua_man.ExecLuaString(L, "AddProfile('Ann') AddProfile('Ben')"));
    int profiles = profile_man.GetNumberOfProfiles();
    Profile* active = prof;
    EXPECT_EQ(Eval(L, "DeleteProfile({}) DeleteProfile('x') DeleteProfile() return SetProfile(nil)"), "false");
    EXPECT_EQ(Eval(L, "return AddProfile({})"), "number:-1");
    EXPECT_EQ(Eval(L, "SetProfileValue('C', 'T', 'v', {}) return GetNumberOfValuesInCategory('C')"), "number:0");
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), profiles);
    EXPECT_EQ(prof, active);
    EXPECT_TRUE(rec().PopupContains("1|Lua DeleteProfile: argument 1 should be a number.\n"));
    EXPECT_TRUE(rec().PopupContains("1|Lua SetProfileValue: argument 4 should be a text.\n"));
    // The feature functions answer their defaults where they used to raise.
    EXPECT_EQ(Eval(L, "return FM_ProductFeatureExists({})"), "false");
    EXPECT_EQ(Eval(L, "return select('#', FM_GetProductValue({}))"), "number:1");
    EXPECT_EQ(Eval(L, "return FM_UsesPackage()"), "false");
    EXPECT_TRUE(rec().PopupContains("1|Lua FM_ProductFeatureExists: argument 1 should be a text.\n"));
    EXPECT_TRUE(rec().PopupContains("1|Lua FM_UsesPackage: argument 1 should be a text.\n"));
    EXPECT_EQ(Eval(L, "return GetGameNameByIndex({})"), "string:NULL");

    // Every function of every kind of state: the states of the UI sets
    // (every state's functions plus the layout statements) and the effect
    // state.
    std::set<std::string> called;
    for (lua_State* state : {set.L, pbman.GetLuaState()}) {
        ASSERT_TRUE(state);
        int top = lua_gettop(state);
        for (const std::string& name : HostFunctionNames(state)) {
            if (!called.insert(name).second) continue;
            EXPECT_EQ(CallWithWrongArguments(state, name), "");
        }
        EXPECT_EQ(lua_gettop(state), top);
    }
    EXPECT_TRUE(called.count("RemoveProfileTag") && called.count("UIEvents") && called.count("AddFX"));
    EXPECT_TRUE(called.count("IAP_GetItemDescription") && called.count("AM_ShowAchievements") &&
                called.count("Analyst_LogEventLevelTime") && called.count("LM_GetNameByRank"));
    UILayoutDeleteComps(&set);
    analyst.Shutdown();
    iap_man.Reset();
    achievement_man.Reset();
    leaderboards_man.Reset();
}
