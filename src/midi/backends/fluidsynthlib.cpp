#include "fluidsynthlib.h"

#include "midi/midisetup.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace {

constexpr const char* kFluidLibrary = "libfluidsynth.so.3";

std::mutex g_mutex;
std::string g_strLibrary; // under g_mutex; empty: kFluidLibrary

void SilentFluidLog(int, const char*, void*) {}

bool Resolve(FluidApi& api) {
    void* handle =
        dlopen(g_strLibrary.empty() ? kFluidLibrary : g_strLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    bool complete = true;
#define KESV_FLUID_RESOLVE(name)                                                                   \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(handle, #name));                         \
    complete = complete && api.name != nullptr;
    KESV_FLUID_FUNCTIONS(KESV_FLUID_RESOLVE)
#undef KESV_FLUID_RESOLVE
    if (!complete) {
        api = FluidApi{};
        dlclose(handle);
        return false;
    }
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        api.fluid_set_log_function(level, SilentFluidLog, nullptr);
    return true; // never closed: the synthesizer's threads run in it until the program ends
}

} // namespace

void SetFluidSynthLibrary(std::string file) {
    std::lock_guard lock(g_mutex);
    g_strLibrary = std::move(file);
}

const FluidApi* LoadFluidSynth() {
    static FluidApi api;
    static bool loaded = false;
    std::lock_guard lock(g_mutex);
    if (!loaded)
        loaded = Resolve(api);
    return loaded ? &api : nullptr;
}
