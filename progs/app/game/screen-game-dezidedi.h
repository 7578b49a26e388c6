// The screen a level is played on: a thin shell that loads the game's UI
// layout and hands frames, drawing and input to the game.
#ifndef APP_SCREEN_GAME_DEZIDEDI_H
#define APP_SCREEN_GAME_DEZIDEDI_H

#include "ui/screen.h"

class ScreenGameDeziDedi : public Screen {
public:
    ScreenGameDeziDedi();
    // The game screen's script functions (ChangeDetailLevel), for every
    // state: on the main thread, before the screens are preloaded (on the
    // loading thread), so that the layout's scripts find them.
    static void RegisterLuaFunctions();
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override;
    void Enter() override;
    void Leave() override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t* event) override;
};

extern ScreenGameDeziDedi screen_GameDeziDedi;

#endif
