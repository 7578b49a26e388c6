// Minimal player services: see player-services-min.h.
#include "services/player-services-min.h"

#include "framework-kd.h"
#include "kodo.h"

NewsManager news_man;

void NewsManager::Initialize(int width, int height) {
    view_width = width;
    view_height = height;
    kd->PrintDebugf(3, "NewsManager::Initialize (%d x %d).\n", width, height);
}
