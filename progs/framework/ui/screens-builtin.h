// The screens the framework supplies itself.
//
// - "Transition" (`Screen_ScreenTransition`) carries out SwitchScreen: a
//   cover that fades in, clears the stack below it, pushes the target just
//   under itself and fades out.
// - `ScreenTemplate`: the screens that scripts create with CreateScreen.
// - "ScreenBrowser" (`screen_ScreenScreenBrowser`): a developer screen
//   that shows the registered screens one at a time.
#ifndef FRAMEWORK_UI_SCREENS_BUILTIN_H
#define FRAMEWORK_UI_SCREENS_BUILTIN_H

#include <string>

#include "ui/screen.h"

class ScreenTransition : public Screen {
public:
    ScreenTransition() : Screen("Transition") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override;
    void Enter() override;
    int ProcessUICompClick(UIComp*, int) override { return 1; }

    Screen* target = nullptr;
    int frames_shown = 0;
    int push_depth = 0;
};

class ScreenTemplate : public Screen {
public:
    ScreenTemplate(const char* screen_name, const char* file) : Screen(screen_name), ui_file(file ? file : "") {}
    bool PreLoad() override;
    void Draw(float dt) override { DrawUI(); }
    void Enter() override;
    int ProcessUICompClick(UIComp*, int) override { return 1; }

    nString ui_file;
};

class ScreenScreenBrowser : public Screen {
public:
    ScreenScreenBrowser() : Screen("ScreenBrowser") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override { time_shown += dt; }
    void Enter() override;
    void Leave() override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t* event) override;
    // Shows the layout of the registered screen at that index (wrapping;
    // -1 and below is the last) without entering it; the browser's own
    // index shows its own list. Nothing for a missing screen.
    void Show(int index);
    // The set shown (the browser's `uiset` follows it): the shown screen's
    // set of the moment, or the browser's own.
    UISet* Shown();

    Screen* shown_screen = nullptr;  // null: the browser's own list
    int shown_index = 0;
    float time_shown = 0;
    UISet* own_set = nullptr;
    // Whether the shown screen's bitmaps loaded on entering are the
    // browser's, to give back.
    bool lent_bitmaps = false;

private:
    int Wrap(int index) const;
    void GiveBackBitmaps();
};

extern ScreenTransition Screen_ScreenTransition;
extern ScreenScreenBrowser screen_ScreenScreenBrowser;

// The news the screen and timeline transitions show before their target
// ("Before_<name>"), handed in by the news service (unset: none): whether
// an item waits, and showing it for an event, answering whether it did. A
// transition waits while the news screen is up; one whose event may not
// show the item goes on.
struct TransitionNews {
    bool (*ready)() = nullptr;
    bool (*show)(const char* event) = nullptr;
    bool Shown(const std::string& event) const { return ready && show && ready() && show(event.c_str()); }
};
extern TransitionNews transition_news;

// CreateScreen: a ScreenTemplate of that name, unless one exists, the
// program has kMaxScreens screens (the bundled data makes 18 of its 30) or
// the name is longer than kMaxScreenName (the bundled ones have at most 20).
enum { kMaxScreens = 512, kMaxScreenName = 128 };
void ScreenCreateScripted(const char* name, const char* ui_file);

#endif
