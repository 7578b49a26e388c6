// The HTTP transport behind KD_SendHttpRequest (kd-http.cpp).
#ifndef KD_HTTP_H
#define KD_HTTP_H

#include <string>

// The servers requests may go to: the product values "analytics_url" and
// "news_url" of the program settings (null or empty: none). Set each time
// the settings are read; with neither set, no request is ever made.
void KDI_SetHttpEndpoints(const char* analytics_url, const char* news_url);

// Ends the requests in flight at their next progress report and refuses
// new ones until the endpoints are set again. Shutdown calls it before it
// waits for the program's threads, so an upload cannot hold the wait up.
void KDI_CancelHttpRequests();

// Whether a request to the URL may go out: a well-formed http or https
// address on a server the settings name. Refusals are logged, each as
// what it is. The download caches ask before they look for a cached copy.
bool KDI_HttpAllowed(const char* url);

// The download cache's file for a URL: "user://cache/" and a hash of the
// whole address, with the extension of its path when it has a plain one.
std::string KDI_HttpCacheName(const char* url);

// The download cache's steps, shared by the "http://" file opener and
// http bitmaps (kd-file.cpp): the whole download of an allowed URL (false,
// with its line, for any status but 200 and a body that ended early); the
// download written beside the cache file ("part-<name>"); and the part
// renamed into the cache's place (false, and the part deleted, when it
// cannot be).
struct kd_buffer_t;
class nString;
bool KDI_HttpDownload(const char* url, kd_buffer_t* reply);
bool KDI_HttpWritePart(const char* cache, const kd_buffer_t& reply, nString* part);
bool KDI_HttpCommitPart(const nString& part, const char* cache);

// Time-outs and the reply cap, for the tests.
enum {
    KD_HTTP_CONNECT_TIMEOUT_MS = 3000,
    KD_HTTP_TOTAL_TIMEOUT_MS = 5000,
    KD_HTTP_REPLY_CAP = 1 << 20,
    KD_HTTP_URL_MAX = 8192,
    // The download cache ("user://cache", the engine's own files): all of
    // them together, the oldest going first to make room (kd-file.cpp).
    KD_HTTP_CACHE_MAX_BYTES = 16 << 20,
};

#endif
