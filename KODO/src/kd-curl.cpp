#include "kd-curl.h"

#include <dlfcn.h>

#include <mutex>

#include "kd-internal.h"

namespace {

std::once_flag once;
kd_curl_api_t api;
bool ready = false;  // written once inside `once`

template <typename F>
bool Find(void* lib, const char* name, F* out) {
    *out = reinterpret_cast<F>(dlsym(lib, name));
    return *out != nullptr;
}

void Load() {
    void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: libcurl could not be loaded: %s\n", dlerror());
        return;
    }
    bool all = Find(lib, "curl_global_init", &api.global_init) && Find(lib, "curl_easy_init", &api.easy_init) &&
               Find(lib, "curl_easy_setopt", &api.easy_setopt) && Find(lib, "curl_easy_perform", &api.easy_perform) &&
               Find(lib, "curl_easy_getinfo", &api.easy_getinfo) && Find(lib, "curl_easy_cleanup", &api.easy_cleanup) &&
               Find(lib, "curl_easy_strerror", &api.easy_strerror) &&
               Find(lib, "curl_slist_append", &api.slist_append) &&
               Find(lib, "curl_slist_free_all", &api.slist_free_all) && Find(lib, "curl_url", &api.url) &&
               Find(lib, "curl_url_set", &api.url_set) && Find(lib, "curl_url_get", &api.url_get) &&
               Find(lib, "curl_url_cleanup", &api.url_cleanup) && Find(lib, "curl_free", &api.free);
    if (!all) {
        KD_PrintDebugf(KD_LOG_WARNING, "HTTP: libcurl lacks an entry point: %s\n", dlerror());
        return;
    }
    // The library stays loaded for the rest of the run: its global set-up
    // is never undone.
    ready = api.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

}  // namespace

const kd_curl_api_t* KDI_Curl() {
    std::call_once(once, Load);
    return ready ? &api : nullptr;
}
