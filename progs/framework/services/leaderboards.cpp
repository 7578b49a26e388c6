// Leaderboards: see leaderboards.h.
#include "services/leaderboards.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "feature-manager.h"
#include "lua-args.h"
#include "manager.h"
#include "profiles.h"
#include "services/service-screens.h"
#include "services/service-text.h"

LeaderboardsManager leaderboards_man;

const char* const LeaderboardsManager::kDefinitionsFile = "leaderboards/leaderboards.xml";
const char* const LeaderboardsServerLocalDatabase::kFile = "user://leaderboards-db.xml";

namespace {

// Whole numbers are written as integers; older profiles hold "%g" texts
// ("1e+06"), so both forms read back, clamped to the int range.
int ReadWhole(const char* text) {
    if (!text) return 0;
    double v = strtod(text, nullptr);
    if (!(v == v)) return 0;
    if (v >= (double)INT_MAX) return INT_MAX;
    if (v <= (double)INT_MIN) return INT_MIN;
    return (int)v;
}

void CopyName(char* out, const char* name) { snprintf(out, sizeof(LeaderboardScore::player), "%s", name ? name : ""); }

const char* ProfileName() {
    const char* name = prof ? prof->GetName() : nullptr;
    return name && *name ? name : "Player";
}

int luaf_LM_ShowLeaderboards(lua_State* L) {
    LuaArgs a(L, __func__);
    leaderboards_man.ShowLeaderboards(a.OptText(1), "ALL_TIME", "GLOBAL");
    return 0;
}

int luaf_LM_GetPersonalBestScore(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnInt(L, leaderboards_man.GetPersonalBestScore(a.Text(1)).points);
}

int luaf_LM_GetBestLocalScore(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnInt(L, leaderboards_man.GetBestLocalScore(a.Text(1)).points);
}

int luaf_LM_GetBestLocalScoreDisplayName(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnText(L, leaderboards_man.GetBestLocalScore(a.Text(1)).player);
}

int luaf_LM_SubmitScore(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* category = a.Text(1);
    int points = a.Int(2), duration = a.Int(3);
    return LuaReturnBool(
        L, !a.Failed() && leaderboards_man.SubmitScore(category, points, (unsigned long)(duration > 0 ? duration : 0)));
}

// The category's entry of that rank, or null.
LeaderboardScore* ScoreByRank(LuaArgs& a) {
    const char* category = a.Text(1);
    int rank = a.Int(2);
    if (a.Failed()) return nullptr;
    return leaderboards_man.GetLeaderboardsForCategory(category)->GetScoreByRank(rank);
}

int luaf_LM_GetScoreByRank(lua_State* L) {
    LuaArgs a(L, __func__);
    LeaderboardScore* s = ScoreByRank(a);
    return s ? LuaReturnInt(L, s->points) : 0;
}

int luaf_LM_GetNameByRank(lua_State* L) {
    LuaArgs a(L, __func__);
    LeaderboardScore* s = ScoreByRank(a);
    return s ? LuaReturnText(L, s->player) : 0;
}

int luaf_LM_DownloadTopHundred(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* category = a.Text(1);
    if (!a.Failed()) leaderboards_man.GetLeaderboardsForCategory(category)->Download(1, 100, 16777215);
    return 0;
}

const LuaBinding kLeaderboardBindings[] = {
    LUA_BINDING(LM_ShowLeaderboards),  LUA_BINDING(LM_GetPersonalBestScore),
    LUA_BINDING(LM_GetBestLocalScore), LUA_BINDING(LM_GetBestLocalScoreDisplayName),
    LUA_BINDING(LM_SubmitScore),       LUA_BINDING(LM_GetScoreByRank),
    LUA_BINDING(LM_GetNameByRank),     LUA_BINDING(LM_DownloadTopHundred),
};
static_assert(std::size(kLeaderboardBindings) == 8, "the LM_ script functions");

// Ordered by points, highest first; an entry goes after every entry with
// equal or more points, so equal points keep their arrival order. Only
// the ranks from the new entry on change.
void InsertByPoints(nArray<LeaderboardScore*>& list, LeaderboardScore* score) {
    int at = 0;
    while (at < list.count && list[at]->points >= score->points) at++;
    list.InsertLast(score);
    for (int i = list.count - 1; i > at; i--) list[i] = list[i - 1];
    list[at] = score;
    for (int i = at; i < list.count; i++) list[i]->rank = i + 1;
}

// The indices of a category's nodes, best first; equal points keep the
// order in which they were stored.
std::vector<int> ByPoints(DMArray* array) {
    std::vector<std::pair<int, int>> order;  // points, index
    order.reserve((size_t)array->GetSize());
    for (int i = 0; i < array->GetSize(); i++) order.emplace_back(ReadWhole(array->GetNodeValue(i, "points")), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a.first > b.first; });
    std::vector<int> indices;
    indices.reserve(order.size());
    for (const auto& o : order) indices.push_back(o.second);
    return indices;
}

// A category holding more than the cap (a file written elsewhere) keeps
// its best, in their stored order; every later step then works on no
// more than the cap.
void CutToBest(DMDatabase* db, DMArray* array, int cap) {
    std::vector<int> best = ByPoints(array);
    if ((int)best.size() <= cap) return;
    kd->PrintDebugf(KD_LOG_WARNING, "The score database '%s' holds %d scores in '%s'; its %d best are kept.\n",
                    LeaderboardsServerLocalDatabase::kFile, (int)best.size(), array->GetId(), cap);
    best.resize((size_t)cap);
    std::sort(best.begin(), best.end());
    std::string id = array->GetId();
    std::vector<DMNode*> kept;
    for (int i : best) {
        DMNode* from = array->GetNode(i);
        DMNode* copy = new DMNode(nullptr);
        for (int v = 0; v < from->GetNumberOfValues(); v++)
            copy->AppendValue(from->GetValueAt(v)->GetName(), from->GetValueAt(v)->GetValue());
        copy->SetIdRaw(from->GetId());
        kept.push_back(copy);
    }
    // Rebuilt rather than thinned node by node: removing from the middle
    // of a list of thousands moves the rest each time.
    db->RemoveArray(id.c_str());
    DMArray* fresh = db->AddArray(id.c_str());
    for (DMNode* node : kept) fresh->AppendNode(node);
}

}  // namespace

// ---------------------------------------------------------------------------
// The local database

// Scores of every player on the device: a damaged file is kept aside
// before a submission saves over it, as the profiles are.
bool LeaderboardsServerLocalDatabase::Initialize() {
    db = LoadPlayerDatabase(kFile, &blocked);
    std::vector<std::string> categories;
    for (int i = 0; i < db->GetNumberOfArrays(); i++)
        if (db->GetArray(i)->GetSize() > kMaxScores && db->GetArray(i)->GetId())
            categories.push_back(db->GetArray(i)->GetId());
    for (const std::string& c : categories) CutToBest(db, db->GetArray(c.c_str()), kMaxScores);
    return true;
}

bool LeaderboardsServerLocalDatabase::SubmitScore(LeaderboardsClient* client, LeaderboardScore score) {
    if (!db) return false;
    const char* category = client->GetCategory();
    DMArray* array = db->GetArray(category);
    if (!array) array = db->AddArray(category);
    DMNode* node = array->AddNode(nullptr);
    node->SetValue("player", score.player);
    char number[16];
    snprintf(number, sizeof number, "%d", score.points);
    node->SetValue("points", number);
    snprintf(number, sizeof number, "%d", score.duration);
    node->SetValue("duration", number);
    if (array->GetSize() > kMaxScores) {
        // The lowest goes; of equal lowest, the one stored last.
        int lowest = 0;
        for (int i = 1; i < array->GetSize(); i++)
            if (ReadWhole(array->GetNodeValue(i, "points")) <= ReadWhole(array->GetNodeValue(lowest, "points")))
                lowest = i;
        array->RemoveNode(lowest);
    }
    if (!blocked) return db->Save(kFile);
    kd->PrintDebugf(KD_LOG_WARNING, "The score database '%s' could not be read and is not written.\n", kFile);
    return false;
}

void LeaderboardsServerLocalDatabase::RequestScores(LeaderboardsClient* client, int, int, int) {
    DMArray* array = db ? db->GetArray(client->GetCategory()) : nullptr;
    if (!array) return;  // nothing stored yet: the download stays under way
    nArray<LeaderboardScore*> read;
    for (int i : ByPoints(array)) {
        LeaderboardScore* s = new LeaderboardScore;
        s->rank = read.count + 1;
        s->points = ReadWhole(array->GetNodeValue(i, "points"));
        s->duration = ReadWhole(array->GetNodeValue(i, "duration"));
        const char* player = array->GetNodeValue(i, "player");
        CopyName(s->player, player && strlen(player) >= LeaderboardsClient::kMaxName ? "Unknown" : player);
        read.InsertLast(s);
    }
    client->SetDownloaded(read);
    for (int i = 0; i < read.count; i++) delete read[i];
}

// ---------------------------------------------------------------------------
// LeaderboardsClient

LeaderboardsClient::~LeaderboardsClient() {
    ReleaseScores();
    if (mutex) kd->ReleaseMutex(mutex);
}

bool LeaderboardsClient::Initialize(LeaderboardsServer* srv, const char* game_name, const char* game_version,
                                    const char* category_name) {
    if (!srv || !game_name || !game_version || !category_name) return false;
    server = srv;
    game.Set(game_name);
    version.Set(game_version);
    category.Set(category_name);
    display_name.Set(ProfileName());
    kd->Printf("Initializing leaderboards for '%s' v%s %s\n", game_name, game_version, category_name);
    if (!mutex) mutex = kd->GetMutex(nullptr);
    initialised = true;
    return true;
}

void LeaderboardsClient::SetLocalPlayerDisplayName(const char* text) {
    if (text && strlen(text) > kMaxName) {
        kd->PrintDebugf(KD_LOG_WARNING, "LeaderboardsClient::SetLocalPlayerDisplayName name '%s' too long.\n", text);
        return;
    }
    display_name.Set(text ? text : "");
}

bool LeaderboardsClient::SubmitScore(long points, long duration) {
    if (!initialised) return false;
    LeaderboardScore* s = new LeaderboardScore;
    s->rank = 1;
    CopyName(s->player, display_name.Length() >= kMaxName ? "Unknown" : display_name.c_str());
    s->points = (int32_t)points;
    s->duration = (int32_t)duration;
    const bool stored = server->SubmitScore(this, *s);
    Lock();
    InsertScore(s);
    Unlock();
    kd->Printf("Submit #%d - %d by '%s'\n", s->rank, s->points, s->player);
    return stored;
}

void LeaderboardsClient::Download(int, int count, int flags) {
    kd->Printf("Downloading %d scores.\n", count);
    if (download_state != 0) return;
    Lock();
    download_state = 1;
    ReleaseScores();
    Unlock();
    server->RequestScores(this, 1, count, flags);
}

void LeaderboardsClient::SetDownloaded(const nArray<LeaderboardScore*>& entries) {
    Lock();
    ReleaseScores();
    for (int i = 0; i < entries.count; i++) {
        scores.InsertLast(new LeaderboardScore(*entries[i]));
        scores[i]->rank = i + 1;
    }
    download_state = 0;
    Unlock();
}

bool LeaderboardsClient::ResetDownloadState() {
    Lock();
    bool finished = download_state == 3 || download_state == 4;
    if (finished) download_state = 0;
    Unlock();
    return finished;
}

LeaderboardScore* LeaderboardsClient::GetScoreByRank(int rank) const {
    for (int i = 0; i < scores.count; i++)
        if (scores[i]->rank == rank) return scores[i];
    return nullptr;
}

LeaderboardScore* LeaderboardsClient::GetScoreByIndex(int index) const {
    return index >= 0 && index < scores.count ? scores[index] : nullptr;
}

void LeaderboardsClient::ReleaseScores() {
    for (int i = 0; i < scores.count; i++) delete scores[i];
    scores.Free();
}

void LeaderboardsClient::InsertScore(LeaderboardScore* score) { InsertByPoints(scores, score); }

// ---------------------------------------------------------------------------
// LeaderboardsManager

LeaderboardsManager::~LeaderboardsManager() {
    // The engine is gone by now: the clients' mutexes go with it.
    for (int i = 0; i < map.count; i++) delete map[i];
}

void LeaderboardsManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "LeaderboardsManager::Initialize.\n");
    initialised = true;
    kd->Printf("LeaderboardsManager Initializing.\n");
    lua_man.AddLuaFunctions(kLeaderboardBindings);
    if (feature_man.IsGameCenterEnabled()) kd->CallExtension("GameCenter", "Authenticate");
}

void LeaderboardsManager::Reset() {
    for (int i = 0; i < map.count; i++) {
        delete map[i]->client;
        delete map[i];
    }
    map.Free();
    if (server) {
        LeaderboardsServerLocalDatabase* local = (LeaderboardsServerLocalDatabase*)server;
        if (local->db) dman.ReleaseDatabase(local->db);
        delete server;
    }
    server = nullptr;
    last_submitted = nullptr;
    initialised = false;
}

DMArray* LeaderboardsManager::Categories() { return dman.GetDatabase(kDefinitionsFile)->GetArray("CATEGORIES"); }

LeaderboardsClient* LeaderboardsManager::GetLeaderboardsForCategory(const char* category) {
    if (!server) {
        server = new LeaderboardsServerLocalDatabase;
        server->Initialize();
    }
    const char* name = category ? category : "";
    for (int i = 0; i < map.count; i++)
        if (strcmp(map[i]->category.c_str(), name) == 0) return map[i]->client;
    kd_prog_t* record = Manager::GetProgramRecord();
    LeaderboardsClient* client = new LeaderboardsClient;
    client->Initialize(server, record ? record->id : "", record ? record->version : "", name);
    map.InsertLast(new Entry{nString(name), client});
    return client;
}

bool LeaderboardsManager::SubmitScore(const char* category, long points, unsigned long duration) {
    if (!category) return false;
    bool saved = true;
    nString command;
    if (feature_man.IsGameCenterEnabled()) {
        command.Format("SubmitScore,%s,%d", category, (int)points);
        kd->CallExtension("GameCenter", command.text);
    }
    DMArray* categories = Categories();
    const char* tags = categories ? categories->GetNodeValue(category, "tags") : nullptr;
    if (!ServiceHasWord(tags, "ONE_SCORE_PER_PLAYER")) {
        LeaderboardsClient* client = GetLeaderboardsForCategory(category);
        last_submitted = client;
        client->SetLocalPlayerDisplayName(ProfileName());
        client->SetLocalPlayerId(ProfileName());
        saved = client->SubmitScore(points, (long)duration);
    }
    if (!prof) return saved;
    // A category the game's data does not name is a script's text: what is
    // kept under it is the script's, as the values it sets are.
    ScriptValues chosen(!(categories && categories->GetNode(category)));
    if (points > GetPersonalBestScore(category).points) {
        prof->SetValuef("BEST_SCORES", category, "points", "%ld", points);
        prof->SetValuef("BEST_SCORES", category, "duration", "%lu", duration);
        prof->SetValuef("BEST_SCORES", category, "time_created", "%d", (int)time(nullptr));
        saved = prof->Save() && saved;
    }
    const char* uid = prof->GetValue("GAME_CENTER", "profile", "uid");
    if (uid) {
        command.Format("%s_%s", uid, category);
        int queued = ReadWhole(prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", command.text, "points"));
        prof->SetValuef("GAME_CENTER_LEADERBOARDS_QUEUE", command.text, "points", "%ld",
                        points > queued ? points : (long)queued);
        prof->SetValue("GAME_CENTER_LEADERBOARDS_QUEUE", command.text, "category", category);
        saved = prof->Save() && saved;
    }
    if (Manager::GetParms()->developer_mode) {
        // The developer's history grows by a node with every score a
        // script submits: it is kept as the script's values are.
        ScriptValues history;
        command.Format("%d", prof->GetNumberOfValuesInCategory("SCORE_HISTORY"));
        prof->SetValue("SCORE_HISTORY", command.text, "category", category);
        prof->SetValuef("SCORE_HISTORY", command.text, "points", "%ld", points);
        prof->SetValuef("SCORE_HISTORY", command.text, "duration", "%lu", duration);
        prof->SetValuef("SCORE_HISTORY", command.text, "time_created", "%d", (int)time(nullptr));
        saved = prof->Save() && saved;
    }
    return saved;
}

void LeaderboardsManager::ShowLeaderboards(const char* category, const char* time_scope, const char* player_scope) {
    DMArray* categories = Categories();
    if (!category && categories && categories->GetSize() > 0) category = categories->GetNode(0)->GetId();
    if (feature_man.IsGameCenterEnabled() && kd->CallExtension("GameCenter", "IsAuthenticated")) {
        nString command;
        command.Format("ShowLeaderboards,%s,%s,%s", category ? category : "", time_scope ? time_scope : "",
                       player_scope ? player_scope : "");
        kd->CallExtension("GameCenter", command.text);
        return;
    }
    service_screens->Message("PopupOk", "text", "Leaderboards are available only in GameCenter.");
    ServicePushScreen("PopupOk");
}

LeaderboardScore LeaderboardsManager::GetBestScoreForProfile(Profile* p, const char* category) const {
    LeaderboardScore s;
    s.rank = 1;
    if (!p || !category) return s;
    CopyName(s.player, p->GetName());
    s.points = ReadWhole(p->GetValue("BEST_SCORES", category, "points"));
    s.duration = ReadWhole(p->GetValue("BEST_SCORES", category, "duration"));
    s.spare1 = ReadWhole(p->GetValue("BEST_SCORES", category, "time_created"));
    return s;
}

LeaderboardScore LeaderboardsManager::GetPersonalBestScore(const char* category) const {
    return GetBestScoreForProfile(prof, category);
}

LeaderboardScore LeaderboardsManager::GetBestLocalScore(const char* category) const {
    LeaderboardScore best;
    for (int i = 0; i < profile_man.GetNumberOfProfiles(); i++) {
        LeaderboardScore s = GetBestScoreForProfile(profile_man.GetProfileByIndex(i), category);
        if (s.points > best.points) best = s;
    }
    return best;
}

int LeaderboardsManager::ProcessEvent(kd_event_t* e) {
    if (!initialised || !e) return 0;
    if (e->type == KD_EVENT_GC_NO_DATA) return 1;
    if (e->type == KD_EVENT_GC_SCORE_SUBMITTED) {
        if (!(e->y & 0xff)) return 1;
        const char* id = (const char*)e->id;
        if (!prof || !ServiceTextFits(id, 255)) return 0;
        const char* prefix = feature_man.GetProductValue("game_center_id");
        for (int i = 0; i < prof->GetNumberOfValuesInCategory("GAME_CENTER_LEADERBOARDS_QUEUE"); i++) {
            const char* tag = prof->GetValueNameByIndex("GAME_CENTER_LEADERBOARDS_QUEUE", i);
            const char* category = prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", tag, "category");
            nString board;
            if (prefix)
                board.Format("%s.%s", prefix, category ? category : "");
            else
                board.Set(category ? category : "");
            int queued = ReadWhole(prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", tag, "points"));
            if (strcmp(board.c_str(), id) != 0 || queued != (int)e->x) continue;
            prof->RemoveValue("GAME_CENTER_LEADERBOARDS_QUEUE", tag);
            profile_man.SaveProfiles();
            return 1;
        }
        return 0;
    }
    if (e->type != KD_EVENT_GC_LOGIN) return 0;
    if (!(e->id & 0xff) || !prof) return 1;
    nString uid = ServiceTextCut((const char*)e->x, 255), alias = ServiceTextCut((const char*)e->y, 255);
    prof->SetValue("GAME_CENTER", "profile", "uid", uid.c_str());
    prof->SetValue("GAME_CENTER", "profile", "alias", alias.c_str());
    for (int i = 0; i < prof->GetNumberOfValuesInCategory("GAME_CENTER_LEADERBOARDS_QUEUE"); i++) {
        const char* tag = prof->GetValueNameByIndex("GAME_CENTER_LEADERBOARDS_QUEUE", i);
        if (uid.IsEmpty() || strncmp(tag, uid.c_str(), (size_t)uid.Length()) != 0) continue;
        const char* category = prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", tag, "category");
        const char* points = prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", tag, "points");
        nString command;
        command.Format("SubmitScore,%s,%s", category ? category : "", points ? points : "0");
        kd->CallExtension("GameCenter", command.text);
    }
    return 1;
}
