// The worm game's automated player, "DeziDediAI": which button to press
// on each of the game's screens, how to browse the level selection, and
// what to do in a level. It does not play by physics: now and then it
// touches the head, and otherwise it takes shortcuts through the level
// record (the tail kills the hazards, the head is sent into the wormhole
// or the moon, or in a level without an exit everything mortal dies), so
// that unattended runs move on from level to level.
#ifndef APP_GAME_AI_DEZIDEDI_H
#define APP_GAME_AI_DEZIDEDI_H

#include "ui/aiplayer.h"

struct Actor;
class PhysicsSimulation;

class AIDeziDedi : public AIPlayer {
public:
    // Registers itself with the automated players' manager.
    AIDeziDedi();

    // Out of line: the program names the player by it, and so links it in.
    const char* GetName() override;
    bool IsInGame() override;
    bool IsComplexScreen() override;
    const char* GetCompToPress(Screen* screen, const char* screen_name) override;
    vec2_t GetGamePositionToPress(bool& press) override;
    void UpdateComplexScreen(float dt, Screen* screen, const char* screen_name) override;

    // The level-end shortcuts alone, on a simulation (tests give their own).
    static void TakeLevelShortcuts(PhysicsSimulation* sim);

    // The episode whose first level the level selection presses next.
    int episode = 1;
};

extern AIDeziDedi ai_dezidedi;

#endif
