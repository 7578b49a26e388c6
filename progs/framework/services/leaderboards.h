// Leaderboards: high-score tables per category, kept in a local score
// database shared by every profile on the device ("user://leaderboards-db.xml",
// at most 100 scores a category), a best score per category in each
// profile, and, with a game centre, every score sent there too, queued per
// profile until the game centre acknowledges it.
//
// Definitions: "leaderboards/leaderboards.xml", array "CATEGORIES", one
// node per category (id = category name; "tags", where the word
// "ONE_SCORE_PER_PLAYER" keeps the category out of the local database;
// "display_name", the screen's title).
//
// Scripts reach it through the eight "LM_" functions; the leaderboards
// screen reads a category's table through its LeaderboardsClient.
#ifndef FRAMEWORK_LEADERBOARDS_H
#define FRAMEWORK_LEADERBOARDS_H

#include <stdint.h>

#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class Profile;

struct LeaderboardScore {
    int32_t rank = 0;  // 1-based place in the list that holds it
    char player[32] = {};
    int32_t points = 0;
    int32_t duration = 0;
    int32_t spare1 = 0;  // a profile's best: its time_created
    int32_t spare2 = 0, spare3 = 0;
};

class LeaderboardsClient;

// Where scores are stored and read back from.
class LeaderboardsServer {
public:
    virtual ~LeaderboardsServer() {}
    virtual bool Initialize() { return false; }
    virtual void Shutdown() {}
    // False when the score was not stored.
    virtual bool SubmitScore(LeaderboardsClient*, LeaderboardScore) { return true; }
    // Ranks from the first, that many, and the caller's flags.
    virtual void RequestScores(LeaderboardsClient*, int, int, int) {}
};

// The device's own table: one array per category in the score database,
// one node per score, in the order stored.
class LeaderboardsServerLocalDatabase : public LeaderboardsServer {
public:
    bool Initialize() override;
    bool SubmitScore(LeaderboardsClient* client, LeaderboardScore score) override;
    void RequestScores(LeaderboardsClient* client, int first, int count, int flags) override;

    static const char* const kFile;
    enum { kMaxScores = 100 };
    DMDatabase* db = nullptr;  // owned by dman
    bool blocked = false;      // the file could not be read or kept aside: never written
};

// One category's table as the player sees it.
class LeaderboardsClient {
public:
    enum { kMaxName = 30 };
    LeaderboardsClient() {}
    virtual ~LeaderboardsClient();
    LeaderboardsClient(const LeaderboardsClient&) = delete;
    LeaderboardsClient& operator=(const LeaderboardsClient&) = delete;

    virtual bool Initialize(LeaderboardsServer* server, const char* game, const char* version, const char* category);
    virtual const char* GetGameName() const { return game.c_str(); }
    virtual const char* GetGameVersion() const { return version.c_str(); }
    virtual const char* GetCategory() const { return category.c_str(); }
    virtual void SetGamePlatform(const char* text) { platform.Set(text ? text : ""); }
    virtual const char* GetGamePlatform(const char*) const { return platform.c_str(); }
    virtual void SetLocalPlayerId(const char* text) { player_id.Set(text ? text : ""); }
    virtual const char* GetLocalPlayerId() const { return player_id.c_str(); }
    virtual void SetLocalPlayerDisplayName(const char* text);
    virtual const char* GetLocalPlayerDisplayName() const { return display_name.c_str(); }
    virtual bool SubmitScore(long points, long duration);
    virtual void Download(int first, int count, int flags);
    virtual int GetDownloadState() const { return download_state; }
    virtual bool ResetDownloadState();
    virtual int GetCurrentPlayerRank() const { return 0; }
    virtual LeaderboardScore* GetScoreByRank(int rank) const;
    virtual LeaderboardScore* GetScoreByIndex(int index) const;
    virtual int GetNumberOfScores() const { return scores.count; }

    void Lock() { kd->LockMutex(mutex); }
    void Unlock() { kd->UnlockMutex(mutex); }
    void ReleaseScores();
    // Takes the entry and places it after every entry with equal or more
    // points; ranks then run 1..n.
    void InsertScore(LeaderboardScore* score);
    // Answered by a server inside RequestScores: the list becomes these
    // entries, best first (copied in that order and ranked 1..n), and the
    // download is over.
    void SetDownloaded(const nArray<LeaderboardScore*>& entries);

private:
    LeaderboardsServer* server = nullptr;
    nArray<LeaderboardScore*> scores;
    kd_mutex_t* mutex = nullptr;
    int download_state = 0;  // 0 idle, 1 under way
    nString display_name, player_id, platform, game, category, version;
    bool initialised = false;
};

class LeaderboardsManager {
public:
    LeaderboardsManager() {}
    ~LeaderboardsManager();
    LeaderboardsManager(const LeaderboardsManager&) = delete;
    LeaderboardsManager& operator=(const LeaderboardsManager&) = delete;

    void Initialize();
    // Back to the state before Initialize: no clients, no server.
    void Reset();
    bool IsInitialized() const { return initialised; }
    // Game-centre results (types 19 to 22); 1 when handled.
    int ProcessEvent(kd_event_t* event);
    LeaderboardsClient* GetLeaderboardsForCategory(const char* category);
    // False when the score, or the profile's best, could not be saved.
    bool SubmitScore(const char* category, long points, unsigned long duration);
    void ShowLeaderboards(const char* category, const char* time_scope, const char* player_scope);
    LeaderboardScore GetBestScoreForProfile(Profile* profile, const char* category) const;
    LeaderboardScore GetPersonalBestScore(const char* category) const;
    LeaderboardScore GetBestLocalScore(const char* category) const;
    LeaderboardsClient* GetLastSubmittedClient() const { return last_submitted; }

    static const char* const kDefinitionsFile;
    // The definitions' array (null when the file or the array is missing).
    static DMArray* Categories();

private:
    struct Entry {
        nString category;
        LeaderboardsClient* client;
    };
    nArray<Entry*> map;
    LeaderboardsClient* last_submitted = nullptr;
    LeaderboardsServer* server = nullptr;
    bool initialised = false;
};

extern LeaderboardsManager leaderboards_man;

#endif
