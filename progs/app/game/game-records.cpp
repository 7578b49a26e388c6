// The records of a won level. See game-records.h.
#include "game/game-records.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "framework-kd.h"
#include "profiles.h"

int StarsForTime(int seconds, int ideal) {
    if (seconds <= ideal) return 3;
    // ceil(1.5 x ideal) in whole numbers, without a float's rounding.
    const long long two_star = ((long long)ideal * 3 + 1) / 2;
    return seconds <= two_star ? 2 : 1;
}

int NextStarTime(int stars, int ideal) {
    if (stars >= 3) return 0;
    if (stars == 2) return ideal;
    return (int)(((long long)ideal * 3 + 1) / 2);
}

void LevelEventId(char* out, int size, int episode, int level_number) {
    if (level_number < 10)
        snprintf(out, (size_t)size, "E0%d_L0%d", episode, level_number);
    else
        snprintf(out, (size_t)size, "E0%d_L%d", episode, level_number);
}

bool ReadProfileInt(const Profile* p, const char* cat, const char* tag, const char* name, long long* out) {
    const char* text = p ? p->GetValue(cat, tag, name) : nullptr;
    if (!text) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < 0 || v > INT_MAX) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Profile '%s': %s/%s/%s is '%.40s', not a whole number; it is taken as absent.\n",
                        p->GetFileName(), cat, tag, name, text);
        return false;
    }
    *out = v;
    return true;
}

namespace {

int ReadOr(const Profile* p, const char* cat, const char* tag, const char* name, int fallback, bool* present = nullptr) {
    long long v = 0;
    const bool has = ReadProfileInt(p, cat, tag, name, &v);
    if (present) *present = has;
    return has ? (int)v : fallback;
}

// The episode's totals over its ten levels.
void WriteEpisodeTotals(Profile* p, int episode) {
    long long total_time = 0;
    bool all_completed = true, all_stars = true;
    int stars = 0, completed = 0;
    for (int n = 1; n <= 10; n++) {
        char id[32];
        LevelEventId(id, sizeof id, episode, n);
        bool has_time = false, has_stars = false;
        const int best_time = ReadOr(p, "LEVELS", id, "best_time", 0, &has_time);
        const int best_stars = ReadOr(p, "LEVELS", id, "best_stars", 0, &has_stars);
        if (has_time) total_time += best_time;
        all_completed = all_completed && has_time;
        all_stars = all_stars && has_stars && best_stars == 3;
        stars += best_stars;
        completed += best_stars >= 1;
    }
    char tag[32];
    snprintf(tag, sizeof tag, "episode_%d", episode);
    p->SetValuef("GAME", tag, "best_total_time", "%lld", total_time);
    p->SetValue("GAME", tag, "all_levels_completed", all_completed ? "1" : "0");
    p->SetValue("GAME", tag, "all_stars_collected", all_stars ? "1" : "0");
    p->SetValuef("GAME", tag, "levels_completed", "%d", completed);
    p->SetValuef("GAME", tag, "stars_collected", "%d", stars);
}

}  // namespace

LevelRecord WriteLevelRecords(Profile* p, const char* event_id, int clock_ms, int ideal_time, bool flawless,
                              int episode, int bugs_killed) {
    LevelRecord r;
    r.seconds = clock_ms > 0 ? clock_ms / 1000 : 0;
    r.ideal = ideal_time > 0 ? ideal_time : 0;
    r.stars = StarsForTime(r.seconds, r.ideal);
    r.flawless = flawless;
    const char* id = event_id ? event_id : "";

    bool had_best = false;
    r.previous_best = ReadOr(p, "LEVELS", id, "best_time", r.seconds, &had_best);
    r.new_record = !had_best || r.seconds < r.previous_best;
    r.previous_best_stars = ReadOr(p, "LEVELS", id, "best_stars", 0);
    if (!p) return r;

    if (flawless) {
        const int before = ReadOr(p, "LEVELS", id, "flawless_play", 0);
        p->SetValuef("LEVELS", id, "flawless_play", "%d", before < INT_MAX ? before + 1 : before);
    }
    p->SetValuef("LEVELS", id, "last_time", "%d", r.seconds);
    p->SetValuef("LEVELS", id, "best_time", "%d", r.seconds < r.previous_best ? r.seconds : r.previous_best);
    p->SetValuef("LEVELS", id, "last_stars", "%d", r.stars);
    if (r.stars > r.previous_best_stars) p->SetValuef("LEVELS", id, "best_stars", "%d", r.stars);

    WriteEpisodeTotals(p, episode);
    p->SetValuef("GAME", "bugs_killed", "last_level", "%d", bugs_killed);
    p->SetValuef("GAME", "last_played", "episode_name", "episode_%d", episode);
    p->SetValuef("GAME", "last_played", "episode", "%d", episode);
    return r;
}
