// The HTTP transport: KD_SendHttpRequest on libcurl (loaded on the first
// request, kd-curl.h).
//
// The engine reaches the network only where the program settings say it
// may: a request goes out when its URL has the scheme, host and port of
// one of the endpoints (the product values "analytics_url" and
// "news_url"); with no endpoint set nothing is ever requested and the
// answer is 0, as on the tablet build. So the analytics upload, the news
// fetch and the downloads of the "http://" file opener and of http
// bitmaps all stay on the servers the product names.
//
// Every request is bounded: a connect and a total time-out, a reply cap,
// no redirects (they could lead off the named servers), HTTP and HTTPS
// only. Requests run on whichever thread asks, each on a curl handle of
// its own; what they share (the endpoints, the cancel flag, libcurl's
// global set-up) is locked, atomic or done once.
//
// The reply buffer is filled as the engine's file layer reads it: `data`
// (one byte more than received, holding a 0, so a text reply is a
// C string), `size` the bytes received, `capacity` the length the server
// announced, or more than `size` when the body was cut short by the cap,
// a time-out or a dropped connection. The result is the HTTP status, 0
// when no reply arrived or no request was made; the status word, when
// given, receives the same.
#include "kd-http.h"

#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <mutex>
#include <string>

#include "kd-curl.h"
#include "kd-internal.h"

namespace {

std::mutex endpoints_mutex;
std::string endpoints[2];  // analytics, news; guarded by endpoints_mutex
std::atomic<bool> cancelled{false};

// Scheme, host and port of a URL, lower case; false when it does not
// parse as an absolute http or https URL.
bool Origin(const kd_curl_api_t* lib, const char* url, std::string* out) {
    CURLU* u = lib->url();
    if (!u) return false;
    bool ok = lib->url_set(u, CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    ok = ok && lib->url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
         lib->url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
         lib->url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK;
    if (ok) {
        std::string s = std::string(scheme) + "://" + host + ":" + port;
        for (char& c : s) c = (char)tolower((unsigned char)c);
        ok = s.compare(0, 7, "http://") == 0 || s.compare(0, 8, "https://") == 0;
        if (ok) *out = s;
    }
    lib->free(scheme);
    lib->free(host);
    lib->free(port);
    lib->url_cleanup(u);
    return ok;
}

// Whether the server of this origin is one the settings name.
bool AllowedOrigin(const kd_curl_api_t* lib, const std::string& want) {
    std::lock_guard<std::mutex> lock(endpoints_mutex);
    for (const std::string& e : endpoints) {
        std::string have;
        if (!e.empty() && Origin(lib, e.c_str(), &have) && have == want) return true;
    }
    return false;
}

bool AnyEndpoint() {
    std::lock_guard<std::mutex> lock(endpoints_mutex);
    return !endpoints[0].empty() || !endpoints[1].empty();
}

struct Body {
    unsigned char* data = nullptr;
    size_t size = 0, room = 0;
    bool cut = false;  // the cap was reached
};

size_t Receive(char* bytes, size_t one, size_t count, void* user) {
    Body* b = (Body*)user;
    size_t n = one * count;
    size_t take = n;
    if (b->size + take > (size_t)KD_HTTP_REPLY_CAP) {
        take = (size_t)KD_HTTP_REPLY_CAP - b->size;
        b->cut = true;
    }
    if (b->size + take + 1 > b->room) {
        size_t room = b->room ? b->room : 4096;
        while (room < b->size + take + 1) room *= 2;
        unsigned char* grown = (unsigned char*)realloc(b->data, room);
        if (!grown) return 0;
        b->data = grown;
        b->room = room;
    }
    memcpy(b->data + b->size, bytes, take);
    b->size += take;
    b->data[b->size] = 0;
    return b->cut ? 0 : n;  // 0 ends the transfer
}

int Progress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return cancelled ? 1 : 0; }

}  // namespace

void KDI_SetHttpEndpoints(const char* analytics_url, const char* news_url) {
    std::lock_guard<std::mutex> lock(endpoints_mutex);
    endpoints[0] = analytics_url ? analytics_url : "";
    endpoints[1] = news_url ? news_url : "";
    cancelled = false;
}

void KDI_CancelHttpRequests() { cancelled = true; }

bool KDI_HttpAllowed(const char* url) {
    // Without an endpoint nothing is ever sent, and libcurl, which also
    // parses the addresses, stays unloaded.
    const kd_curl_api_t* lib = AnyEndpoint() ? KDI_Curl() : nullptr;
    std::string origin;
    if (lib && !Origin(lib, url, &origin)) {
        KD_Printf("HTTP: no request to '%s': it is not a well-formed http or https address.\n", url);
        return false;
    }
    if (!lib || !AllowedOrigin(lib, origin)) {
        KD_Printf("HTTP: no request to '%s': no endpoint in prog.xml names its server.\n", url);
        return false;
    }
    return true;
}

std::string KDI_HttpCacheName(const char* url) {
    // FNV-1a over the whole address: "/a/b" and "/a_b", "?a=12" and
    // "?a1=2" are different addresses and get different files.
    uint64_t hash = 14695981039346656037ull;
    for (const char* p = url; *p; p++) hash = (hash ^ (unsigned char)*p) * 1099511628211ull;
    char name[64];
    nStringFormat(name, sizeof name, "user://cache/%016llx", (unsigned long long)hash);
    // The extension of the address's last path segment, which the image
    // loaders go by; only letters and digits, at most eight.
    size_t end = strcspn(url, "?#");
    const char* dot = nullptr;
    for (size_t i = 0; i < end; i++) {
        if (url[i] == '/') dot = nullptr;
        if (url[i] == '.') dot = url + i;
    }
    std::string out = name;
    if (!dot) return out;
    size_t n = (size_t)(url + end - dot) - 1;
    bool plain = n >= 1 && n <= 8;
    for (size_t i = 1; plain && i <= n; i++) plain = isalnum((unsigned char)dot[i]) != 0;
    if (plain) out.append(dot, n + 1);
    return out;
}

int KD_SendHttpRequest(int kind, const char* url, const char* contentType, const char* body, int bodyLength,
                       kd_buffer_t* reply, int* status) {
    if (reply) memset(reply, 0, sizeof *reply);
    if (status) *status = 0;
    if (!url) return 0;
    if (strlen(url) >= KD_HTTP_URL_MAX) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: a URL of %d characters is refused.\n", (int)strlen(url));
        return 0;
    }
    // Kind 2 is the one every caller sends: a GET, any body ignored.
    if (kind != 2) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: request kind %d for '%s' is not known.\n", kind, url);
        return 0;
    }
    if (cancelled || !KDI_HttpAllowed(url)) return 0;
    const kd_curl_api_t* lib = KDI_Curl();  // loaded: an endpoint is named
    CURL* curl = lib ? lib->easy_init() : nullptr;
    if (!curl) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: the transport could not start.\n");
        return 0;
    }
    Body got;
    struct curl_slist* headers = nullptr;
    lib->easy_setopt(curl, CURLOPT_URL, url);
    lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, (long)KD_HTTP_CONNECT_TIMEOUT_MS);
    lib->easy_setopt(curl, CURLOPT_TIMEOUT_MS, (long)KD_HTTP_TOTAL_TIMEOUT_MS);
    lib->easy_setopt(curl, CURLOPT_USERAGENT, "Kodo");
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, Receive);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &got);
    lib->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    lib->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    if (contentType && *contentType) {
        std::string line = std::string("Content-Type: ") + contentType;
        headers = lib->slist_append(headers, line.c_str());
        lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }

    CURLcode rc = lib->easy_perform(curl);
    long code = 0;
    lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_off_t announced = -1;
    lib->easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    lib->slist_free_all(headers);
    lib->easy_cleanup(curl);

    if (code <= 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: request to '%s' failed: %s\n", url, lib->easy_strerror(rc));
        free(got.data);
        return 0;
    }
    if (got.cut)
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: the reply from '%s' is cut at %d bytes.\n", url, KD_HTTP_REPLY_CAP);
    else if (rc != CURLE_OK)
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: the reply from '%s' ended early: %s\n", url, lib->easy_strerror(rc));
    long long expected = announced >= 0 ? (long long)announced : (long long)got.size;
    if (rc != CURLE_OK && expected <= (long long)got.size) expected = (long long)got.size + 1;
    if (expected > 0x7fffffffLL) expected = 0x7fffffffLL;
    if (reply) {
        reply->data = got.data;
        reply->size = (int32_t)got.size;
        reply->capacity = (int32_t)expected;
    } else {
        free(got.data);
    }
    if (status) *status = (int)code;
    return (int)code;
}
