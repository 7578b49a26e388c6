// The HTTP transport behind KD_SendHttpRequest (kd-http.cpp).
#ifndef KD_HTTP_H
#define KD_HTTP_H

// The servers requests may go to: the product values "analytics_url" and
// "news_url" of the program settings (null or empty: none). Set each time
// the settings are read; with neither set, no request is ever made.
void KDI_SetHttpEndpoints(const char* analytics_url, const char* news_url);

// Ends the requests in flight at their next progress report and refuses
// new ones until the endpoints are set again. Shutdown calls it before it
// waits for the program's threads, so an upload cannot hold the wait up.
void KDI_CancelHttpRequests();

// Time-outs and the reply cap, for the tests.
enum {
    KD_HTTP_CONNECT_TIMEOUT_MS = 3000,
    KD_HTTP_TOTAL_TIMEOUT_MS = 5000,
    KD_HTTP_REPLY_CAP = 1 << 20,
    KD_HTTP_URL_MAX = 8192,
};

#endif
