#include "jacklib.h"

#include <dlfcn.h>

#include <mutex>

namespace {

constexpr const char* kJackLibrary = "libjack.so.0";

void SilentJackMessage(const char*) {}

bool Resolve(JackApi& api) {
    void* handle = dlopen(kJackLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    bool complete = true;
#define KESV_JACK_RESOLVE(name)                                                                    \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(handle, #name));                         \
    complete = complete && api.name != nullptr;
    KESV_JACK_FUNCTIONS(KESV_JACK_RESOLVE)
#undef KESV_JACK_RESOLVE
    if (!complete) {
        api = JackApi{};
        dlclose(handle);
        return false;
    }
    api.jack_set_error_function(SilentJackMessage);
    api.jack_set_info_function(SilentJackMessage);
    return true; // never closed: JACK's threads run in it until the program ends
}

// Written once, in LoadJack; read only by code that runs after a LoadJack that found the library.
JackApi g_api;
bool g_bLoaded = false;

} // namespace

const JackApi* LoadJack() {
    static std::once_flag once;
    std::call_once(once, [] { g_bLoaded = Resolve(g_api); });
    return g_bLoaded ? &g_api : nullptr;
}

const JackApi& Jack() {
    return g_api;
}
