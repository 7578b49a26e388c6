// The player services still to come, as far as framework start-up needs
// them: the managers exist and their start-up calls log and do nothing
// else. The leaderboards (local and platform) and the news fetcher and
// screen replace them.
//
// The services already built have headers of their own; they are
// included here so that code written against this header finds every
// service manager.
#ifndef FRAMEWORK_PLAYER_SERVICES_MIN_H
#define FRAMEWORK_PLAYER_SERVICES_MIN_H

#include "analytics.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"

class NewsManager {
public:
    void Initialize(int width, int height);
    int view_width = 0, view_height = 0;
};

extern NewsManager news_man;

#endif
