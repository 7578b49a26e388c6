// News: see news.h.
#include "services/news.h"

#include <ctype.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "analytics.h"
#include "atomic-file.h"
#include "feature-manager.h"
#include "manager.h"
#include "services/service-screens.h"
#include "services/service-text.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-image.h"

NewsManager news_man;
ScreenVantreoNews screen_VantreoNews;

const char* const NewsManager::kStateFile = "user://vantreo-news.txt";
const char* const NewsManager::kScreenName = "VantreoNews";
const char* const NewsManager::kPictureList = "user://cache/news-pictures.txt";

namespace {

const float kPi = 3.14159265f;

bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool StartsWith(const char* s, const char* prefix) { return s && strncmp(s, prefix, strlen(prefix)) == 0; }

bool IsWebLink(const char* s) { return StartsWith(s, "http://") || StartsWith(s, "https://"); }

// "http://host:port" of an http address, lower case; empty otherwise.
std::string Origin(const char* url) {
    if (!StartsWith(url, "http://")) return "";
    const char* end = url + 7;
    while (*end && *end != '/' && *end != '?' && *end != '#') end++;
    std::string o(url, end);
    for (char& c : o) c = (char)tolower((unsigned char)c);
    if (o.find(':', 7) == std::string::npos) o += ":80";
    return o;
}

bool Exists(const std::string& path) {
    kd_file_t* f = kd->OpenFile(path.c_str(), "rb");
    if (f) kd->CloseFile(f);
    return f != nullptr;
}

// A cached picture's own name ("news-" and 16 hex digits, ".png" or
// ".jpg"): the only names the cache's list may have removed.
bool IsCachedPictureName(const std::string& n) {
    if (n.size() != 25 || n.compare(0, 5, "news-") != 0 || (n.compare(21, 4, ".png") && n.compare(21, 4, ".jpg")))
        return false;
    return std::all_of(n.begin() + 5, n.begin() + 21, [](char c) { return isxdigit((unsigned char)c) != 0; });
}

// A name of the bundled tree: relative, without "..", a scheme or a
// drive, and there under "res://". A "res://" name the bundle lacks reads
// the player's folder, so a name the player's folder holds is not taken.
bool InBundle(const char* name) {
    if (!name || !*name || name[0] == '/' || name[0] == '\\' || strstr(name, "..") || strchr(name, ':')) return false;
    return Exists(std::string("res://") + name) && !Exists(std::string("user://") + name);
}

// E(u): falls from 1 at u = 0 to 0 at u = 1, eased at both ends.
float Ease(float u) {
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    return cosf(sinf(u * kPi / 2) * kPi / 2);
}

void NewsFetcherThread(void*) { news_man.Fetch(); }

// At most `most` bytes of a server's text for a log line, every byte
// outside printable ASCII written as \xNN: a reply cannot add lines of its
// own. A value read from the reply (an id, a link, a picture) is shown
// whole.
std::string LogExcerpt(const std::string& text, size_t most = 60) {
    std::string out;
    size_t n = text.size() < most ? text.size() : most;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += (char)c;
        } else {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    if (n < text.size()) out += "...";
    return out;
}

std::string Escaped(const char* value) { return LogExcerpt(value ? value : "", NewsManager::kMaxValue); }

}  // namespace

// ---------------------------------------------------------------------------
// The reply

bool NewsManager::ParseReply(const char* text, int size, News* out) {
    struct Pair {
        const char* key;
        nString* value;
        bool found;
    } pairs[] = {{"id", &out->id, false},
                 {"image", &out->image, false},
                 {"link", &out->link, false},
                 {"tags", &out->tags, false},
                 {"variant", &out->variant, false},
                 {"allowed_events", &out->allowed_events, false},
                 {"skip_text", &out->skip_text, false}};
    *out = News();
    const char* p = text + 1;           // after '{'
    const char* end = text + size - 1;  // the closing '}'
    while (p < end) {
        while (p < end && IsSeparator(*p)) p++;
        const char* key = p;
        while (p < end && *p != '=' && !IsSeparator(*p)) p++;
        if (p + 1 >= end || *p != '=' || p[1] != '"') {
            while (p < end && !IsSeparator(*p)) p++;  // not a pair: skipped
            continue;
        }
        size_t key_len = (size_t)(p - key);
        const char* value = p + 2;
        const char* close = (const char*)memchr(value, '"', (size_t)(end - value));
        if (!close) break;  // an unclosed value ends the reply
        p = close + 1;
        if (close - value > kMaxValue) continue;  // too long: as if missing
        for (Pair& pair : pairs) {
            if (pair.found || strlen(pair.key) != key_len || strncmp(pair.key, key, key_len) != 0) continue;
            pair.value->Set(std::string(value, close).c_str());
            pair.found = true;
        }
    }
    if (!pairs[0].found) {
        kd->Printf("Vantreo News: Missing news id tag.\n");
        return false;
    }
    if (out->id.Length() < 2) {
        kd->Printf("Vantreo News: news id '%s' too short.\n", Escaped(out->id.c_str()).c_str());
        return false;
    }
    // The seen file joins ids with ',': an id holding one would never read
    // back whole, and its item would show again and again.
    for (const char* c = out->id.c_str(); *c; c++) {
        if (*c == ',' || (unsigned char)*c < 0x20) {
            kd->Printf("Vantreo News: news id '%s' holds a character ids may not.\n", Escaped(out->id.c_str()).c_str());
            return false;
        }
    }
    if (!pairs[1].found) {
        kd->Printf("Vantreo News: Missing image tag.\n");
        return false;
    }
    out->has_link = pairs[2].found && out->link.Length() > 2 && IsWebLink(out->link.c_str());
    if (pairs[2].found && !out->has_link)
        kd->Printf("Vantreo News: link '%s' is not an http:// or https:// address; the picture opens nothing.\n",
                   Escaped(out->link.c_str()).c_str());
    return true;
}

bool NewsManager::EventAllowed(const char* allowed, const char* event) {
    return !allowed || strlen(allowed) <= 3 || ServiceHasWord(allowed, event);
}

// ---------------------------------------------------------------------------
// The fetch

kd_mutex_t* NewsManager::Mutex() {
    if (!mutex) mutex = kd->GetMutex("vantreo_NEWS");
    return mutex;
}

std::string NewsManager::BuildUrl() const {
    const char* endpoint = feature_man.GetProductValue("news_url");
    kd_prog_t* record = Manager::GetProgramRecord();
    std::string url = endpoint ? endpoint : "";
    url += std::string("version=") + (record ? record->version : "");
    url += std::string("&app=") + (record ? record->id : "");
    std::string platform = feature_man.GetCurrentPlatformId();
    size_t slash = platform.find('/');
    url += "&platform=" + platform.substr(0, slash);
    if (slash != std::string::npos && slash + 1 < platform.size()) url += "&form_factor=" + platform.substr(slash + 1);
    const char* locale = Manager::GetParms()->locale;
    if (locale && *locale) url += std::string("&locale=") + locale;
    if (area_width > 0 && area_height > 0)
        url += "&area_size=" + std::to_string(area_width) + "x" + std::to_string(area_height);
    return url;
}

const char* NewsManager::PictureKind(const unsigned char* b, size_t size) {
    static const unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 8 && memcmp(b, kPng, 8) == 0) return ".png";
    if (size >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff) return ".jpg";
    return nullptr;
}

// Asked of the engine, which reads the header with the decoder's own
// library and settings: a reading of our own would follow the markers its
// own way, and a file can lead two readings to two sizes.
bool NewsManager::PictureSize(const char* path, int* width, int* height) {
    const char* size = kd->CallExtension("ImageSize", path);
    return size && sscanf(size, "%dx%d", width, height) == 2 && *width > 0 && *height > 0;
}

// One fetch runs at a time, so the list has one writer. Only names of the
// cache's own form are read from it.
void NewsManager::KeepNewestPictures(const std::string& kept) {
    std::vector<std::string> names;
    if (kd_file_t* f = kd->OpenFile(kPictureList, "rb")) {
        char text[1024];
        unsigned n = kd->ReadFile(text, sizeof text, f);
        kd->CloseFile(f);
        std::string lines(text, n);
        for (size_t at = 0, end; at < lines.size(); at = end + 1) {
            end = std::min(lines.find('\n', at), lines.size());
            std::string name = lines.substr(at, end - at);
            if (IsCachedPictureName(name) && name != kept) names.push_back(name);
        }
    }
    names.push_back(kept);
    std::string list;
    for (size_t i = 0; i < names.size(); i++) {
        if (names.size() - i > kKeptPictures)
            kd->DeleteFile(("user://cache/" + names[i]).c_str());
        else
            list += names[i] + "\n";
    }
    AtomicWriteFile(kPictureList, list.data(), (unsigned)list.size());
}

kd_bitmap_t* NewsManager::LoadPicture(const News& item, bool* too_large) const {
    *too_large = false;
    const char* name = item.image.c_str();
    const std::string shown = Escaped(name);
    std::string origin = Origin(name);
    bool on_server = false;
    for (const char* key : {"news_url", "analytics_url"}) {
        std::string named = Origin(feature_man.GetProductValue(key));
        on_server = on_server || (!origin.empty() && origin == named);
    }
    if (!on_server && !InBundle(name)) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Vantreo News: picture '%s' is neither on a server prog.xml names nor in the bundled data.\n",
                        shown.c_str());
        return nullptr;
    }
    // A server's picture is fetched here, as the reply was: no bitmap is
    // held while the transfer runs, and a shutdown cancels it at once.
    std::string bytes, path = std::string("res://") + name;
    if (on_server) {
        kd_buffer_t got;
        memset(&got, 0, sizeof got);
        int status = kd->SendHttpRequest(2, name, "application/octet-stream", nullptr, 0, &got, nullptr);
        if (status == 200 && got.data && got.size > 0 && got.capacity <= got.size)
            bytes.assign((const char*)got.data, (size_t)got.size);
        if (got.data) kd->FreeBuffer(&got);
    } else if (kd_file_t* f = kd->OpenFile(path.c_str(), "rb")) {
        char buffer[4096];
        unsigned n;
        while (bytes.size() < kMaxPictureFile && (n = kd->ReadFile(buffer, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        kd->CloseFile(f);
    }
    const char* ext = PictureKind((const unsigned char*)bytes.data(), bytes.size());
    if (!ext) {
        kd->PrintDebugf(KD_LOG_WARNING, "Vantreo News: picture '%s' %s.\n", shown.c_str(),
                        bytes.empty() ? "could not be fetched" : "is no PNG or JPEG picture");
        return nullptr;
    }
    if (on_server) {
        // Decoded from a file of its own, named after its address: a
        // bitmap is known by its name, so another address is another
        // bitmap, and the same one is the same.
        uint64_t hash = 14695981039346656037ull;
        for (const char* c = name; *c; c++) hash = (hash ^ (unsigned char)*c) * 1099511628211ull;
        char local[64];
        snprintf(local, sizeof local, "user://cache/news-%016llx%s", (unsigned long long)hash, ext);
        path = local;
        kd->CreateDirectory("user://cache");
        if (!AtomicWriteFile(local, bytes.data(), (unsigned)bytes.size())) {
            kd->PrintDebugf(KD_LOG_WARNING, "Vantreo News: picture '%s' could not be kept as '%s'.\n", shown.c_str(),
                            local);
            return nullptr;
        }
    }
    // The size before the pixels: a few hundred KB of compressed picture
    // can claim hundreds of MB of them. A server's picture that is not
    // shown is not kept.
    int width = 0, height = 0;
    bool readable = PictureSize(path.c_str(), &width, &height);
    *too_large = readable && (width > area_width || height > area_height);
    if (!readable || *too_large) {
        if (!readable)
            kd->PrintDebugf(KD_LOG_WARNING, "Vantreo News: picture '%s' has no size that can be read.\n",
                            shown.c_str());
        else
            kd->PrintDebugf(KD_LOG_WARNING,
                            "Vantreo News: picture '%s' (%d x %d) is larger than the news area (%d x %d); it is not "
                            "decoded.\n",
                            shown.c_str(), width, height, area_width, area_height);
        if (on_server) kd->DeleteFile(path.c_str());
        return nullptr;
    }
    if (on_server) KeepNewestPictures(path.substr(strlen("user://cache/")));
    return kd->LoadBitmap(path.c_str(), 4);
}

// The request, the parse and the picture run outside the mutex (a
// download may take seconds, and the main thread reads the item every
// frame of a transition); the item is replaced under it.
void NewsManager::Fetch() {
    std::string url = BuildUrl();
    kd->Printf("Call '%s'\n", url.c_str());
    kd_buffer_t reply;
    memset(&reply, 0, sizeof reply);
    int status = kd->SendHttpRequest(2, url.c_str(), "application/x-www-form-urlencoded", nullptr, 0, &reply, nullptr);
    News item;
    bool parsed = false;
    if (status != 200) {
        kd->Printf("Connection failure (http returns %d)\n", status);
    } else if (!reply.data || reply.size < 1 || reply.size > kMaxReply) {
        kd->Printf("Returned buffer fails sanity check (size %d)\n", reply.size);
    } else {
        std::string text((const char*)reply.data, (size_t)reply.size);
        if (text.front() != '{' || text.back() != '}')
            kd->PrintDebugf(KD_LOG_WARNING, "Failed {} check ('%s').\n", LogExcerpt(text).c_str());
        else
            parsed = ParseReply(text.c_str(), (int)text.size(), &item);
    }
    if (reply.data) kd->FreeBuffer(&reply);
    bool too_large = false;
    kd_bitmap_t* bm = parsed ? LoadPicture(item, &too_large) : nullptr;
    // Made by the main thread before the thread started; once the flag is
    // clear, Reset may go on, so nothing of the record is read after it.
    kd_mutex_t* m = Mutex();
    kd->LockMutex(m);
    if (bm && (bm->width < 1 || bm->height < 1 || bm->ref_count < 1)) {
        kd->PrintDebugf(KD_LOG_WARNING, "Vantreo News: Unable to load received bitmap (%s)\n",
                        bm->name ? bm->name : "");
        if (bm->ref_count >= 1) Retire(bm);
    } else if (bm || too_large) {
        // A picture refused for its size still makes the item current,
        // not showable, so that an older one is not shown instead.
        item.bitmap = bm;
        item.showable = bm && bm->width <= area_width && bm->height <= area_height;
        if (bm && !item.showable) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "Vantreo News: picture '%s' (%d x %d) is larger than the news area (%d x %d).\n",
                            Escaped(item.image.c_str()).c_str(), bm->width, bm->height, area_width, area_height);
            Retire(bm);
            item.bitmap = nullptr;
        }
        if (current.bitmap) Retire(current.bitmap);
        current = item;
        kd->Printf("Vantreo News: news '%s' received%s.\n", item.id.c_str(), item.showable ? "" : ", not showable");
    }
    fetching = false;
    kd->UnlockMutex(m);
}

// Under the mutex.
void NewsManager::Retire(kd_bitmap_t* bm) { retired.InsertLast(bm); }

void NewsManager::ReleaseRetired() {
    kd->LockMutex(Mutex());
    for (int i = 0; i < retired.count; i++) kd->ReleaseBitmap(retired[i]);
    retired.Free();
    kd->UnlockMutex(Mutex());
}

NewsManager::News NewsManager::CurrentItem() {
    kd->LockMutex(Mutex());
    News copy = current;
    kd->UnlockMutex(Mutex());
    return copy;
}

// ---------------------------------------------------------------------------
// NewsManager

void NewsManager::Initialize(int width, int height) {
    kd->PrintDebugf(KD_LOG_SYSTEM, "NewsManager::Initialize (%d x %d).\n", width, height);
    if (initialised) return;
    area_width = width;
    area_height = height;
    initialised = true;
    LoadState();
    RefreshNews();
}

void NewsManager::Reset() {
    // A fetch under way ends within the transport's time-outs.
    while (fetching) kd->Sleep(1);
    ReleaseRetired();
    kd->LockMutex(Mutex());
    if (current.bitmap) kd->ReleaseBitmap(current.bitmap);
    current = News();
    kd->UnlockMutex(Mutex());
    seen.Free();
    initialised = state_ready = false;
    time_ms = 0;
    area_width = area_height = 0;
    mutex = nullptr;  // the engine's, gone with it
}

void NewsManager::Update(float dt) {
    if (!initialised) return;
    int before = time_ms / 60000;
    time_ms += (int)(dt * 1000);
    if (!IsShowingNews()) ReleaseRetired();
    if (Manager::GetParms()->developer_mode && time_ms / 60000 != before) RefreshNews();
}

void NewsManager::RefreshNews() {
    if (!initialised || fetching || IsShowingNews()) return;
    kd->LockMutex(Mutex());
    current.showable = false;
    kd->UnlockMutex(Mutex());
    fetching = true;
    if (kd->CreateThread("vantreo_news_fetcher", NewsFetcherThread, nullptr, 0) == (unsigned long)-1) {
        fetching = false;
        kd->PrintDebugf(KD_LOG_WARNING, "Vantreo News: no fetch thread could be started.\n");
    }
}

bool NewsManager::IsShowingNews() const { return service_screens->InStack(kScreenName); }

bool NewsManager::HasNewsBeenAlreadySeen(const char* id) const {
    for (int i = 0; id && i < seen.count; i++)
        if (strcmp(seen[i].c_str(), id) == 0) return true;
    return false;
}

bool NewsManager::IsNewsReadyToBeShown() {
    if (!state_ready || !played_enough || !played_enough()) return false;
    News item = CurrentItem();
    return item.showable && !HasNewsBeenAlreadySeen(item.id.c_str());
}

bool NewsManager::ShowNews(const char* event) {
    if (!initialised || !IsNewsReadyToBeShown() || IsShowingNews()) return false;
    kd->LockMutex(Mutex());
    bool allowed = EventAllowed(current.allowed_events.c_str(), event);
    if (allowed) current.trigger_event.Set(event ? event : "");
    nString id = current.id;
    kd->UnlockMutex(Mutex());
    if (!allowed) return false;
    seen.InsertLast(id);
    service_screens->Push(kScreenName);
    SendEventToAnalyst("Shown");
    SaveState();
    return true;
}

void NewsManager::SendEventToAnalyst(const char* action) {
    News item = CurrentItem();
    nString name;
    if (action && *action)
        name.Format("NEWS_%s_%s", item.id.c_str(), action);
    else
        name.Format("NEWS_%s", item.id.c_str());
    nArray<Analyst::KeyValue> pairs;
    pairs.InsertLast(Analyst::KeyValue("event", item.trigger_event.c_str()));
    if (!item.variant.IsEmpty()) pairs.InsertLast(Analyst::KeyValue("variant", item.variant.c_str()));
    analyst.LogEventWithKeyValues(name.c_str(), pairs);
}

bool NewsManager::ReadState(const char* text, long size) {
    static const char kHeader[] = "OLD_NEWS=";
    if (size < (long)sizeof kHeader - 1 || strncmp(text, kHeader, sizeof kHeader - 1) != 0) {
        kd->PrintDebugf(KD_LOG_WARNING, "Vantreo news: bad header\n");
        return false;
    }
    seen.Free();
    std::string rest(text + sizeof kHeader - 1, (size_t)(size - (long)sizeof kHeader + 1));
    if (rest.empty()) return true;
    size_t from = 0;
    for (int n = 0; n < kMaxReadIds; n++) {
        size_t comma = rest.find(',', from);
        seen.InsertLast(
            nString(rest.substr(from, comma == std::string::npos ? std::string::npos : comma - from).c_str()));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return true;
}

bool NewsManager::LoadState() {
    if (Manager::GetParms()->developer_mode) {
        state_ready = true;
        return true;
    }
    state_ready = false;
    bool read = false;
    kd_file_t* f = kd->OpenFile(kStateFile, "rb");
    if (f) {
        kd->SetFilePosition(f, 0, SEEK_END);
        long size = kd->GetFilePosition(f);
        kd->SetFilePosition(f, 0, SEEK_SET);
        if (size >= 0 && size <= kMaxStateFile) {
            std::string text((size_t)size, '\0');
            long got = size ? (long)kd->ReadFile(&text[0], (unsigned)size, f) : 0;
            read = ReadState(text.c_str(), got);
        }
        kd->CloseFile(f);
    }
    state_ready = true;
    return read;
}

void NewsManager::SaveState() {
    if (!state_ready) return;
    while (seen.count > kMaxSavedIds) seen.RemoveIndex(0);
    std::string text = "OLD_NEWS=";
    for (int i = 0; i < seen.count; i++) text += (i ? "," : "") + std::string(seen[i].c_str());
    if (!AtomicWriteFile(kStateFile, text.data(), (unsigned)text.size()))
        kd->PrintDebugf(KD_LOG_WARNING, "Vantreo news: the seen news could not be saved to '%s'.\n", kStateFile);
}

// ---------------------------------------------------------------------------
// The news screen

bool ScreenVantreoNews::PreLoad() {
    LoadUI("ui/fw/vantreo-news.lua");
    return true;
}

void ScreenVantreoNews::Draw(float) {
    DrawUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

void ScreenVantreoNews::Enter() {
    shown = news_man.CurrentItem();
    UICompImage* image = GetCompImage("NewsImage");
    if (shown.showable && image) {
        image->SetBitmap(shown.bitmap);
        image->scale = 1;
        image->UpdateDimensions();
        if (image->width > 0 && image->height > 0) {
            float fw = (float)news_man.area_width / image->width, fh = (float)news_man.area_height / image->height;
            fit = fw < fh ? fw : fh;
        }
    }
    sman.SetText(GetComp("Close"), "%s", shown.skip_text.c_str());
    time = 0;
    answered = false;
    Animate(0);
}

void ScreenVantreoNews::Update(float dt) { Animate(dt); }

void ScreenVantreoNews::Animate(float dt) {
    const float kCloseShown = 1.95f;
    if (time < kCloseShown && time + dt >= kCloseShown) kd->Printf("Vantreo News: '%s' settled.\n", shown.id.c_str());
    time += dt;
    float t = time;
    UIComp* image = GetComp("NewsImage");
    if (image && t < 1.25f) {
        image->position_offset.x = Ease(t);
        image->position_offset.y = 0.1f - 0.8f * Ease(t);
        image->angle = (1 - Ease(1 - t)) * kPi * 0.37f;
        image->scale = fit * (2 - Ease(1 - t));
    } else if (image) {
        float u = 2 * (t - 1.4f);
        image->position_offset.x = 0;
        image->position_offset.y = 0.1f * (1 - Ease(1 - u));
        image->angle = 0;
        image->scale = fit * (1 - 0.1f * (1 - Ease(u)));
    }
    if (image) image->alpha = trans;
    UIComp* close = GetComp("Close");
    if (close) {
        close->fading = t < kCloseShown;
        if (t < 1) close->fading_akey = 0;
    }
}

int ScreenVantreoNews::ProcessUICompClick(UIComp* comp, int) {
    const char* comp_name = comp && comp->name ? comp->name : "";
    bool open = strcmp(comp_name, "NewsImage") == 0 && shown.showable && shown.has_link;
    if (!open && strcmp(comp_name, "Close") != 0) return 1;
    if (open) kd->CallExtension("OpenURL", shown.link.c_str());
    if (!answered) news_man.SendEventToAnalyst(open ? "TapYes" : "TapNo");
    answered = true;
    service_screens->Pop(NewsManager::kScreenName);
    return 1;
}
