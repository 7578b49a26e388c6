// The leaderboards screen "Leaderboards": the local table of one category
// at a time, rows of rank, name and points drawn by the screen in the
// component "Scores", clipped to "Scissor" and scrolled by the touch field
// "TF"; "PrevCategory" and "NextCategory" step through the categories of
// "leaderboards/leaderboards.xml", "Download" asks for the table again and
// the developer's "Submit50" fills "TEST_CATEGORY" with random scores.
//
// Categories tagged "DEVELOPER" (the test table) are stepped to only in
// developer mode. Menus push the screen and then send it "SetCategory".
#ifndef GAME_SCREEN_LEADERBOARDS_H
#define GAME_SCREEN_LEADERBOARDS_H

#include "dataman.h"
#include "services/leaderboards.h"
#include "ui/screen.h"

class ScreenLeaderboards : public Screen {
public:
    ScreenLeaderboards() : Screen("Leaderboards") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void DrawUIComp(UIComp* comp) override;
    void Update(float dt) override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t*) override { return 1; }
    int ProcessScreenMessage(Screen* sender, const char* message, const char* value) override;

    void SetCategory(const char* category);
    // The current category's place among the categories shown; -1 when it
    // is not one of them.
    int CurrentIndex() const;
    // The ids of the categories the player steps through, in file order.
    int NumberShown() const;
    const char* ShownId(int index) const;

    LeaderboardsClient* client = nullptr;
    DMDatabase* definitions = nullptr;
    DMArray* categories = nullptr;

private:
    void DrawScores(UIComp* comp);
    bool Shown(DMNode* node) const;
};

extern ScreenLeaderboards screen_Leaderboards;

#endif
