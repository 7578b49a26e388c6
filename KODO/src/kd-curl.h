// libcurl's entry points, loaded on the first request rather than by the
// dynamic linker at start: the library and the TLS, LDAP, SSH and
// Kerberos libraries it pulls in cost every start about 6 ms and 6 MB
// (bench/bench_compare), and a run whose settings name no endpoint never
// sends a request.
#pragma once

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

struct kd_curl_api_t {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_perform) easy_perform;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_strerror) easy_strerror;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
    decltype(&curl_url) url;
    decltype(&curl_url_set) url_set;
    decltype(&curl_url_get) url_get;
    decltype(&curl_url_cleanup) url_cleanup;
    decltype(&curl_free) free;
};

// The table, loaded once by whichever thread asks first, its global set-up
// done; null (with one line in the log) when libcurl cannot be loaded or
// set up.
const kd_curl_api_t* KDI_Curl();
