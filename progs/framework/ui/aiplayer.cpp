// The automated player and its manager: see aiplayer.h.
#include "ui/aiplayer.h"

#include <math.h>
#include <stdlib.h>
#include <time.h>

#include "feature-manager.h"
#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"
#include "profiles.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-widgets.h"

AIPlayerMan ai_man;
AIPlayer* AIPlayerMan::players[AIPlayerMan::MAX_PLAYERS] = {};
int AIPlayerMan::num_ais = 0;
bool (*AIPlayerMan::in_level_play)() = nullptr;

// The components the generic policy presses when the player names none
// that the screen has, in this order.
static const char* const kFallbackComps[] = {"Ok", "Play", "Go", "Continue", "Next", "description", "desc"};

static vec2_t Lerp(vec2_t a, vec2_t b, float t) { return vec2_t{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; }

// Pointer 0 with the first mouse button, at p truncated to whole units.
static kd_event_t PointerEvent(int type, vec2_t p) {
    kd_event_t e{};
    e.type = type;
    e.x = (intptr_t)p.x;
    e.y = (intptr_t)p.y;
    e.button = KD_KEY_MOUSE_BUTTON_0;
    return e;
}

static void SetPointer(vec2_t p) {
    kd->SetKeyStatef(KD_KEY_POINTER_X, p.x);
    kd->SetKeyStatef(KD_KEY_POINTER_Y, p.y);
}

void AIPlayer::PressAt(vec2_t p) {
    SetPointer(p);
    kd_event_t e = PointerEvent(KD_EVENT_BUTTON_DOWN, p);
    sman.ProcessEvent(e);
}

void AIPlayer::ReleaseAt(vec2_t p) {
    kd_event_t e = PointerEvent(KD_EVENT_BUTTON_UP, p);
    e.prev_x = e.x;
    e.prev_y = e.y;
    sman.ProcessEvent(e);
}

void AIPlayer::DragAt(vec2_t from, vec2_t to) {
    SetPointer(to);
    kd->SetKeyStatei(KD_KEY_MOUSE_BUTTON_0, 1);
    kd_event_t e = PointerEvent(KD_EVENT_POINTER_MOVE, to);
    e.prev_x = (intptr_t)from.x;
    e.prev_y = (intptr_t)from.y;
    sman.ProcessEvent(e);
}

void AIPlayer::DragAt(vec2_t p) {
    SetPointer(p);
    kd_event_t e = PointerEvent(KD_EVENT_POINTER_MOVE, p);
    sman.ProcessEvent(e);
}

void AIPlayer::ClickAt(vec2_t p) {
    SetPointer(p);
    kd_event_t e = PointerEvent(KD_EVENT_BUTTON_DOWN, p);
    sman.ProcessEvent(e);
    e.type = KD_EVENT_BUTTON_UP;
    sman.ProcessEvent(e);
    timer = 0;
}

void AIPlayer::ClickComponent(Screen* screen, UIComp* comp) {
    if (!screen || !comp) return;
    // The click may reload the layout or pop the screen, and so free the
    // component: its centre is read before.
    vec2_t p = comp->GetAlignedPos();
    p.x += comp->width / 2;
    p.y += comp->height / 2;
    sman.SendComponentClick(comp, screen->uiset);
    DragAt(p);
    timer = 0;
}

void AIPlayer::Drag(vec2_t from, vec2_t to, float seconds, bool without_press) {
    drag_start = from;
    drag_end = to;
    drag_speed = seconds > 0 ? 1.0f / seconds : 1.0f;
    drag_progress = 0;
    drag_without_press = without_press;
    if (!without_press) PressAt(from);
    dragging = true;
}

bool AIPlayer::IsOnScreen(vec2_t p) {
    const float x = ui_screen.virtual_x, y = ui_screen.virtual_y;
    return p.x > x && p.y > y && p.x < x + (float)ui_screen.virtual_width && p.y < y + (float)ui_screen.virtual_height;
}

bool AIPlayer::IsOnLookAtArea(vec2_t p) const { return fabsf(p.x - look_at.x) < 100 && fabsf(p.y - look_at.y) < 75; }

void AIPlayer::UpdateLookAt() {
    const float a = truncf(2.0f * GetLevelNumLearningCoeff() * in_game_time) * 0.001f;
    look_at = vec2_t{400 + 200 * sinf(a), 300 + 150 * cosf(a)};
}

void AIPlayer::Draw() {
    const float x = kd->GetKeyStatef(KD_KEY_POINTER_X), y = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    // Plain blending: a level's particles may leave it additive.
    kd->SetBlend(0);
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 0, 1);
    kd->DrawRect(x - 1, y - 10, 3, 20);
    kd->DrawRect(x - 10, y - 1, 20, 3);
    kd->SetColor(1, 1, 1);
}

void AIPlayer::Update(float dt) {
    UpdateGame(dt);
    if (dragging) {
        StepDrag(dt);
        return;
    }
    timer += dt;
    if (IsInGame()) {
        PlayInGame(dt);
    } else if (IsComplexScreen()) {
        in_game_time = 0;
        Screen* top = sman.TopScreen();
        UpdateComplexScreen(dt, top, top ? top->GetName() : "");
    } else if (timer > screen_press_delay) {
        in_game_time = 0;
        PressScreenComponent();
    }
}

void AIPlayer::StepDrag(float dt) {
    const float previous = drag_progress;
    drag_progress = fminf(1.0f, drag_progress + dt * drag_speed);
    DragAt(Lerp(drag_start, drag_end, previous), Lerp(drag_start, drag_end, drag_progress));
    if (drag_progress < 1.0f) return;
    timer = 0;
    drag_progress = 0;
    dragging = false;
    if (!drag_without_press) ReleaseAt(drag_end);
}

void AIPlayer::PlayInGame(float dt) {
    if (UpdatePlayerInGame(dt)) timer = 0;
    in_game_time += dt;
    if (timer * GetLevelNumLearningCoeff() <= in_game_action_threshold) return;
    UpdateLookAt();
    timer = 0;
    bool press = true;
    const vec2_t p = GetGamePositionToPress(press);
    if (press) ClickAt(p);
}

// The player's choice, else the first of the usual buttons the screen
// has; pressed only when visible and partly on the screen.
void AIPlayer::PressScreenComponent() {
    Screen* s = sman.TopScreen();
    if (!s) return;
    const char* name = s->GetName();
    UIComp* comp = s->GetComp(GetCompToPress(s, name));
    for (int i = 0; !comp && i < (int)(sizeof kFallbackComps / sizeof *kFallbackComps); i++)
        comp = s->GetComp(kFallbackComps[i]);
    if (!comp || !comp->IsVisible()) return;
    const vec2_t a = comp->GetAlignedPos();
    const float w = comp->width, h = comp->height;
    if (!IsOnScreen(vec2_t{a.x + 0.25f * w, a.y + 0.25f * h}) &&
        !IsOnScreen(vec2_t{a.x + 0.75f * w, a.y + 0.25f * h}) && !IsOnScreen(vec2_t{a.x + 0.5f * w, a.y + 0.75f * h}))
        return;
    // The click may free the component: its name is logged before.
    kd->Printf("AI clicked %s\n", comp->name);
    ClickComponent(s, comp);
}

// ---------------------------------------------------------------------------
// The manager.

void AIPlayerMan::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AIPlayerMan::Initialize.\n");
    enabled = feature_man.ProductFeatureExists("AUTO_TESTING_MODE");
    if (!enabled) return;
    // A run's random choices come again from the seed it logs.
    const char* given = getenv("SOAK_SEED");
    const unsigned seed = given && *given ? (unsigned)strtoul(given, nullptr, 10) : (unsigned)time(nullptr);
    srand(seed);
    kd->Printf("AI Player seed %u\n", seed);
}

void AIPlayerMan::SelectOrCreateAIProfile() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AIPlayerMan::SelectOrCreateAIProfile.\n");
    profile_man.SelectOrCreateProfile("dev_AIPlayer");
    if (!current) current = GetAI(0);
    if (current) current->InitProfile();
    profile_man.SaveProfiles();
}

int AIPlayerMan::ProcessEvent(kd_event_t* event) {
    if (!event || event->type != KD_EVENT_KEY_DOWN || event->id != 'A') return 0;
    if (!UIDeveloperMode() || !in_level_play || !in_level_play()) return 0;
    enabled = !enabled;
    kd->Printf("AI Player is now %s\n", enabled ? "ENABLED" : "DISABLED");
    return 0;
}

void AIPlayerMan::PlayTheGame(float dt) {
    if (!enabled) return;
    if (!current) current = GetAI(0);
    if (current) current->Update(dt);
}

void AIPlayerMan::Draw() {
    if (current) current->Draw();
}

void AIPlayerMan::RegisterAI(AIPlayer* player) {
    if (player && num_ais < MAX_PLAYERS) players[num_ais++] = player;
}

AIPlayer* AIPlayerMan::GetAI(int i) { return i >= 0 && i < num_ais ? players[i] : nullptr; }

AIPlayer* AIPlayerMan::GetAIByName(const char* name) {
    for (int i = 0; i < num_ais; i++)
        if (nStringsMatch(players[i]->GetName(), name)) return players[i];
    return nullptr;
}

void AIPlayerMan::ClearRegistry() { num_ais = 0; }
