// Achievements: see achievements.h.
#include "services/achievements.h"

#include <math.h>
#include <string.h>

#include <string>

#include "feature-manager.h"
#include "lua-args.h"
#include "manager.h"
#include "profiles.h"
#include "services/service-screens.h"
#include "services/service-text.h"

AchievementManager achievement_man;

const char* const AchievementManager::kDefinitionsFile = "achievements/achievements.xml";

namespace {

const float kPi = 3.14159265f;

float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// A text of a game-centre answer, cut to its bound.
nString BoundedText(intptr_t word) { return ServiceTextCut((const char*)word, AchievementManager::kMaxText); }

void SendUnlock(const char* id, int percent) {
    nString command;
    command.Format("UnlockAchievement,%s,%d", id, percent);
    kd->CallExtension("GameCenter", command.text);
}

int luaf_AM_UnlockAchievement(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* id = a.Text(1);
    if (!a.Failed()) achievement_man.UnlockAchievement(id);
    return 0;
}

int luaf_AM_IsAchievementUnlocked(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, achievement_man.IsAchievementUnlocked(a.Text(1)));
}

int luaf_AM_ShowAchievements(lua_State*) {
    achievement_man.ShowAchievements();
    return 0;
}

const LuaBinding kAchievementBindings[] = {
    LUA_BINDING(AM_UnlockAchievement),
    LUA_BINDING(AM_IsAchievementUnlocked),
    LUA_BINDING(AM_ShowAchievements),
};
static_assert(std::size(kAchievementBindings) == 3, "the AM_ script functions");

}  // namespace

// ---------------------------------------------------------------------------
// AchievementPopup

void AchievementPopup::ShowWithIcon(const char* shown, const char* icon_file) {
    Unload();
    text.Set(shown);
    icon = icon_file && *icon_file ? kd->LoadBitmap(icon_file, 4) : kd->GetBitmap("!NONE");
    time = 0;
}

void AchievementPopup::LoadAndShow(DMArray* definitions, const char* id) {
    ShowWithIcon(definitions->GetNodeValue(id, "name"), definitions->GetNodeValue(id, "icon"));
}

void AchievementPopup::ShowText(const char* shown) { ShowWithIcon(shown, nullptr); }

void AchievementPopup::Unload() {
    // Built-in bitmaps ("!NONE") are never counted.
    if (icon && icon->name && icon->name[0] != '!') kd->ReleaseBitmap(icon);
    icon = nullptr;
}

namespace {

// The bar's inner margin, the gap between icon and text, and how far it
// slides in and out, at scale 1.
const float kPad = 20, kGap = 16, kSlide = 30;

}  // namespace

bool AchievementPopup::Measure(float* width, float* height) const {
    kd_font_t* font = service_screens->Font();
    if (!icon || !font) return false;
    const float s = service_screens->Scale();
    const float tw = text.text ? kd->GetTextWidthf(font, "%s", text.text) : 0;
    float h = (float)icon->height * s;
    if (h == 0) h = 2 * s * kd->GetTextHeightf(font, "TEST");
    *width = ((float)icon->width + kGap + tw + 2 * kPad) * s;
    *height = h;
    return true;
}

// Slides in from the left with a fade (0.35 s), stays, slides on to the
// right with a fade (0.7 s); the icon swells once after it has arrived.
void AchievementPopup::Draw() {
    kd_font_t* font = service_screens->Font();
    float w = 0, h = 0;
    if (!placed || !Measure(&w, &h)) return;
    const float s = service_screens->Scale();
    float t = time, a = 1, slide = 0;
    if (t < 0.35f) {
        a = Clamp01(t / 0.35f);
        slide = -cosf(sinf(a * kPi / 2) * kPi / 2);
    } else if (t > 2.15f) {
        a = Clamp01(1 - (t - 2.15f) / 0.7f);
        slide = cosf(sinf(a * kPi / 2) * kPi / 2);
    }
    const float left = x + slide * kSlide * s;
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.5f * a);
    kd->DrawRect(left, y, w, h);

    kd->SetColor(1, 1, 1);
    kd->SetAlpha(a);
    const float iw = (float)icon->width;
    const float icon_x = left + (kPad + iw * 0.5f) * s, mid = y + h * 0.5f;
    const float b = Clamp01((t - 0.35f) * 1.5f);
    kd->DrawBitmapRS(icon, icon_x, mid, 0, s + 0.2f * sinf(b * kPi));
    if (text.text) {
        kd->SetTextAlign(4);
        kd->SetTextTransform(s, s, 0);
        kd->DrawTextf(font, icon_x + (iw * 0.5f + kGap) * s, mid, "%s", text.text);
        kd->SetTextTransform(1, 1, 0);
        kd->SetTextAlign(0);
    }
    kd->SetAlpha(1);
}

// ---------------------------------------------------------------------------
// AchievementManager

AchievementManager::~AchievementManager() {
    for (int i = 0; i < popups.count; i++) {
        popups[i]->icon = nullptr;
        delete popups[i];
    }
}

void AchievementManager::RegisterLuaFunctions() { lua_man.AddLuaFunctions(kAchievementBindings); }

void AchievementManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AchievementManager::Initialize.\n");
    kd->Printf("AchievementManager Initializing.\n");
    definitions = dman.GetDatabase(kDefinitionsFile);
    achievements = definitions->GetArray("ACHIEVEMENTS");
    if (!achievements) {
        kd->PrintDebugf(KD_LOG_WARNING, "AchievementManager: no array ACHIEVEMENTS in '%s'; achievements are off.\n",
                        kDefinitionsFile);
        dman.ReleaseDatabase(definitions);  // read afresh by the next try
        definitions = nullptr;
        return;
    }
    RegisterLuaFunctions();
    if (feature_man.IsGameCenterEnabled()) kd->CallExtension("GameCenter", "Authenticate");
    notifications = !feature_man.ProductFeatureExists("HIDE_ACHIEVEMENT_NOTIFICATIONS");
    initialised = true;
}

void AchievementManager::Reset() {
    ClearPopups();
    if (definitions) dman.ReleaseDatabase(definitions);
    definitions = nullptr;
    achievements = nullptr;
    notifications = false;
    initialised = false;
}

void AchievementManager::ClearPopups() {
    for (int i = 0; i < popups.count; i++) delete popups[i];
    popups.Free();
}

bool AchievementManager::GameCenterAvailable() const {
    return feature_man.IsGameCenterEnabled() && kd->CallExtension("GameCenter", "IsAvailable");
}

void AchievementManager::UnlockAchievement(const char* id) {
    if (!initialised) return;
    if (!id || !achievements->GetNode(id)) {
        if (Manager::GetParms()->developer_mode)
            kd->Popupf(1, "AchievementManager::UnlockAchievement: Unknown Achievement id '%s'\n", id ? id : "(null)");
        return;
    }
    if (!prof) return;  // nobody to unlock it for
    bool was_unlocked = prof->TagExists("ACHIEVEMENTS", id);
    // Every call marks it unacknowledged: the game centre hears of it again
    // after the next login.
    prof->SetValue("ACHIEVEMENTS", id, "game_center_ack", "0");
    if (was_unlocked) return;
    if (notifications) {
        AchievementPopup* popup = new AchievementPopup;
        popup->LoadAndShow(achievements, id);
        Queue(popup);
    }
    if (feature_man.IsGameCenterEnabled()) SendUnlock(id, 100);
}

bool AchievementManager::IsAchievementUnlocked(const char* id) const {
    return initialised && prof && id && prof->TagExists("ACHIEVEMENTS", id);
}

int AchievementManager::GetNumberOfUnlockedAchievements() const {
    return initialised && prof ? prof->GetNumberOfValuesInCategory("ACHIEVEMENTS") : 0;
}

const char* AchievementManager::GetUnlockedAchievementByIndex(int index) const {
    return initialised && prof ? prof->GetValueNameByIndex("ACHIEVEMENTS", index) : nullptr;
}

const char* AchievementManager::GetAchievementValue(const char* id, const char* key) const {
    if (!initialised || !id || !key) return nullptr;
    return achievements->GetNodeValue(id, key);
}

void AchievementManager::ShowAchievements() {
    if (!initialised) return;
    if (feature_man.IsGameCenterEnabled() && kd->CallExtension("GameCenter", "IsAuthenticated")) {
        kd->CallExtension("GameCenter", "ShowAchievements");
        return;
    }
    if (service_screens->Exists("Achievements")) ServicePushScreen("Achievements");
}

void AchievementManager::ReportAchievementProgress(const char* id, int percent) {
    if (!initialised || !ServiceTextFits(id, kMaxId) || !GameCenterAvailable()) return;
    SendUnlock(id, percent);
}

void AchievementManager::ShowPopupText(const char* text) {
    AchievementPopup* popup = new AchievementPopup;
    popup->ShowText(text);
    Queue(popup);
}

void AchievementManager::ShowPopup(const char* text, const char* icon_file) {
    AchievementPopup* popup = new AchievementPopup;
    popup->ShowWithIcon(text, icon_file);
    Queue(popup);
}

void AchievementManager::Queue(AchievementPopup* popup) {
    if (popups.count >= kMaxQueuedPopups) {
        kd->PrintDebugf(KD_LOG_WARNING, "AchievementManager: %d notices waiting; '%s' is dropped.\n", popups.count,
                        popup->text.text ? popup->text.text : "");
        delete popup;
        return;
    }
    popups.InsertLast(popup);
}

// The bars of several unlocks show together, so that they do not queue
// into the screens that follow; a bar runs its time only while it has a
// place.
void AchievementManager::UpdateAchievementPopups(float dt) {
    PlacePopups();
    for (int i = 0; i < popups.count && i < kShownAtOnce; i++) {
        AchievementPopup* p = popups[i];
        if (p->placed) {
            p->Update(dt);
        } else if ((p->waited += dt) > AchievementPopup::kWaitSeconds) {
            kd->PrintDebugf(KD_LOG_WARNING, "AchievementManager: no place to show '%s'; it is dropped.\n",
                            p->text.text ? p->text.text : "");
            p->time = AchievementPopup::kShowSeconds + 1;
        }
    }
    for (int i = 0; i < popups.count && i < kShownAtOnce;) {
        if (!popups[i]->Shown()) {
            i++;
            continue;
        }
        AchievementPopup* done = popups[i];
        popups.RemoveIndex(i);
        delete done;
    }
}

void AchievementManager::PlacePopups() {
    int vw = 0, vh = 0;
    service_screens->VirtualSize(&vw, &vh);
    const float s = service_screens->Scale(), margin = 8 * s, slide = kSlide * s;
    // Several bars go two to a row, a lone one in the middle.
    const bool several = popups.count > 1;
    struct Spot {
        float x0, y0, x1, y1;
    };
    Spot taken[kShownAtOnce];
    int count = 0;
    // Free: on the screen, clear of the bars placed before it, and hiding
    // nothing along the way it slides.
    auto free = [&](float x, float y, float w, float h) {
        if (x < 0 || y < 0 || x + w > (float)vw || y + h > (float)vh) return false;
        for (int k = 0; k < count; k++)
            if (x < taken[k].x1 && taken[k].x0 < x + w && y < taken[k].y1 && taken[k].y0 < y + h) return false;
        return !service_screens->Hides || !service_screens->Hides(x - slide, y, w + 2 * slide, h);
    };
    // A bar stays where it was shown: once it would hide what the screen
    // under it shows (another screen came), it ends with its screen
    // rather than jump over the new one's picture.
    for (int i = 0; i < popups.count && i < kShownAtOnce; i++) {
        AchievementPopup* p = popups[i];
        float w = 0, h = 0;
        if (!p->placed) continue;
        p->placed = p->Measure(&w, &h);
        if (!p->placed) continue;
        if (free(p->x, p->y, w, h)) {
            taken[count++] = {p->x, p->y, p->x + w, p->y + h};
            continue;
        }
        p->placed = false;
        p->time = AchievementPopup::kShowSeconds + 1;
    }
    for (int i = 0; i < popups.count && i < kShownAtOnce; i++) {
        AchievementPopup* p = popups[i];
        float w = 0, h = 0;
        if (p->placed || p->Shown() || !p->Measure(&w, &h)) continue;
        // The bottom edge first, then the top edge, then rows nearer the
        // middle; in each the middle, the left and the right.
        const float middle = ((float)vw - w) * 0.5f, left = margin + slide, right = (float)vw - w - margin - slide;
        for (float row : {0.92f, 0.08f, 0.75f, 0.25f, 0.5f}) {
            for (float x : {several ? left : middle, several ? right : left, several ? middle : right}) {
                const float y = row * (float)vh - h * 0.5f;
                if (!free(x, y, w, h)) continue;
                p->placed = true;
                p->x = x;
                p->y = y;
                break;
            }
            if (p->placed) break;
        }
        if (p->placed) taken[count++] = {p->x, p->y, p->x + w, p->y + h};
    }
}

void AchievementManager::DrawAchievementPopups() {
    // A bar queued since the last update has its place before it is drawn.
    for (int i = 0; i < popups.count && i < kShownAtOnce; i++)
        if (!popups[i]->placed) {
            PlacePopups();
            break;
        }
    for (int i = 0; i < popups.count && i < kShownAtOnce; i++) popups[i]->Draw();
}

void AchievementManager::ProcessEvent(kd_event_t* e) {
    if (!initialised || !e || !feature_man.IsGameCenterEnabled()) return;
    if (e->type == KD_EVENT_GC_ACHIEVEMENT_REPORTED && (e->x & 0xff)) {
        const char* id = (const char*)e->id;
        if (!ServiceTextFits(id, kMaxId)) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "AchievementManager: an acknowledgement without a valid achievement id is ignored.\n");
            return;
        }
        if (prof) prof->SetValue("ACHIEVEMENTS", id, "game_center_ack", "1");
        return;
    }
    if (e->type == KD_EVENT_GC_LOGIN && (e->id & 0xff) && prof) {
        nString uid = BoundedText(e->x), alias = BoundedText(e->y);
        prof->SetValue("GAME_CENTER", "profile", "uid", uid.text);
        prof->SetValue("GAME_CENTER", "profile", "alias", alias.text);
        if (!kd->CallExtension("GameCenter", "IsAvailable")) return;
        for (int i = 0; i < prof->GetNumberOfValuesInCategory("ACHIEVEMENTS"); i++) {
            const char* id = prof->GetValueNameByIndex("ACHIEVEMENTS", i);
            const char* ack = prof->GetValue("ACHIEVEMENTS", id, "game_center_ack");
            if (ServiceTextFits(id, kMaxId) && !(ack && ack[0] == '1')) SendUnlock(id, 100);
        }
    }
}
