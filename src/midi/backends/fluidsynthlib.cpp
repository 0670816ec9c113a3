#include "fluidsynthlib.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace {

constexpr const char* kFluidLibrary = "libfluidsynth.so.3";

void SilentFluidLog(int, const char*, void*) {}

bool Resolve(FluidApi& api) {
    const char* file = std::getenv("KESV_FLUIDSYNTH_LIBRARY");
    void* handle = dlopen(file && *file ? file : kFluidLibrary, RTLD_NOW | RTLD_LOCAL);
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

const FluidApi* LoadFluidSynth() {
    static std::mutex mutex;
    static FluidApi api;
    static bool loaded = false;
    std::lock_guard lock(mutex);
    if (!loaded)
        loaded = Resolve(api);
    return loaded ? &api : nullptr;
}
