// What a won level leaves in the player's profile: its times and stars
// under "LEVELS"/<event id>, the episode's totals under "GAME"/"episode_<n>",
// the bugs of the last level and the level last played. Every number is
// written as a whole decimal, so a time of a million seconds reads back as
// a million. The caller saves the profile.
#ifndef APP_GAME_RECORDS_H
#define APP_GAME_RECORDS_H

class Profile;

// What the result screen shows of a won level.
struct LevelRecord {
    int seconds = 0;              // the level's time, whole seconds
    int ideal = 0;                // the world's ideal time, whole seconds
    int stars = 0;                // 1 to 3 for this run
    bool new_record = false;      // first completion, or faster than the best
    int previous_best = 0;        // the best time before this run (this run's time when there was none)
    int previous_best_stars = 0;  // the best stars before this run (0 when none)
    bool flawless = false;        // no life lost
};

// Stars for a time against the ideal: 3 up to the ideal, 2 up to one and a
// half times it (rounded up), else 1.
int StarsForTime(int seconds, int ideal);
// The time that gains the next star after `stars` (the ideal for 2, one
// and a half times it for 1); 0 for 3 stars.
int NextStarTime(int stars, int ideal);
// A level's event id in an episode: "E0<e>_L0<n>", "E0<e>_L<n>" from level 10.
void LevelEventId(char* out, int size, int episode, int level_number);

// Writes the records of a won level into `p` (nothing into a null
// profile) and answers what the result screen shows.
LevelRecord WriteLevelRecords(Profile* p, const char* event_id, int clock_ms, int ideal_time, bool flawless,
                              int episode, int bugs_killed);

// A whole number stored in the profile: false when the value is absent;
// a value that is no whole number is reported once (naming the profile's
// file) and counts as absent.
bool ReadProfileInt(const Profile* p, const char* cat, const char* tag, const char* name, long long* out);

#endif
