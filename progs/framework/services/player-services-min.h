// The player services as far as framework start-up needs them: the
// managers exist and their start-up calls log and do nothing else.
//
// Minimal here: construction, Initialize (a log line), the analytics
// enabled flag. The player services add achievements and their pop-ups,
// the local and platform leaderboards, store purchases, the news fetcher
// and screen, and the analytics play log with its upload thread and its
// script functions.
#ifndef FRAMEWORK_PLAYER_SERVICES_MIN_H
#define FRAMEWORK_PLAYER_SERVICES_MIN_H

class AchievementManager {
public:
    void Initialize();
};

class LeaderboardsManager {
public:
    void Initialize();
};

class InAppPurchasesManager {
public:
    void Initialize();
};

// A single byte: the enabled flag.
class Analyst {
public:
    Analyst() : enabled(false) {}
    void RegisterLuaFunctions();
    bool enabled;
};

class NewsManager {
public:
    void Initialize(int width, int height);
    int view_width = 0, view_height = 0;
};

extern AchievementManager achievement_man;
extern LeaderboardsManager leaderboards_man;
extern InAppPurchasesManager iap_man;
extern Analyst analyst;
extern NewsManager news_man;

#endif
