// A stand-in for libfluidsynth that the synthesizer tests load instead of the real one: no
// sound, only a record of what the program did with the audio output and the notes.
// Counting the voices takes a while (kesv_fake_set_count_delay), as a busy synthesizer may,
// and the count is taken when it starts: a note that arrives meanwhile is not in it.
#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

char g_object; // every object handed out points here
std::atomic<bool> g_bDriverOpen{false};
std::atomic<int> g_nDriversOpened{0};
std::atomic<int> g_nSounding{0};
std::atomic<int> g_nSilentNotes{0}; // a note-on with no audio output open
std::atomic<int> g_nCutNotes{0};    // the output closed under a sounding note
std::atomic<bool> g_bCounting{false};
std::atomic<int> g_nCountDelayMs{0};

template <typename T> T* Object() {
    return reinterpret_cast<T*>(&g_object);
}

} // namespace

extern "C" {

// What the tests read and set.
int kesv_fake_drivers_opened() {
    return g_nDriversOpened.load();
}
bool kesv_fake_driver_open() {
    return g_bDriverOpen.load();
}
int kesv_fake_silent_notes() {
    return g_nSilentNotes.load();
}
int kesv_fake_cut_notes() {
    return g_nCutNotes.load();
}
bool kesv_fake_counting() {
    return g_bCounting.load();
}
void kesv_fake_set_count_delay(int ms) {
    g_nCountDelayMs.store(ms);
}

fluid_log_function_t fluid_set_log_function(int, fluid_log_function_t, void*) {
    return nullptr;
}
fluid_settings_t* new_fluid_settings() {
    return Object<fluid_settings_t>();
}
void delete_fluid_settings(fluid_settings_t*) {}
int fluid_settings_setint(fluid_settings_t*, const char*, int) {
    return FLUID_OK;
}
int fluid_settings_setnum(fluid_settings_t*, const char*, double) {
    return FLUID_OK;
}
int fluid_settings_setstr(fluid_settings_t*, const char*, const char*) {
    return FLUID_OK;
}
void fluid_settings_foreach_option(fluid_settings_t*, const char*, void*,
                                   fluid_settings_foreach_option_t) {}
fluid_synth_t* new_fluid_synth(fluid_settings_t*) {
    return Object<fluid_synth_t>();
}
void delete_fluid_synth(fluid_synth_t*) {}
int fluid_synth_sfload(fluid_synth_t*, const char*, int) {
    return 1;
}
fluid_audio_driver_t* new_fluid_audio_driver(fluid_settings_t*, fluid_synth_t*) {
    g_nDriversOpened.fetch_add(1);
    g_bDriverOpen.store(true);
    return Object<fluid_audio_driver_t>();
}
void delete_fluid_audio_driver(fluid_audio_driver_t*) {
    g_bDriverOpen.store(false);
    if (g_nSounding.load() > 0)
        g_nCutNotes.fetch_add(1);
}
fluid_file_renderer_t* new_fluid_file_renderer(fluid_synth_t*) {
    return nullptr;
}
void delete_fluid_file_renderer(fluid_file_renderer_t*) {}
int fluid_file_renderer_process_block(fluid_file_renderer_t*) {
    return FLUID_FAILED;
}
int fluid_synth_noteon(fluid_synth_t*, int, int, int) {
    if (!g_bDriverOpen.load())
        g_nSilentNotes.fetch_add(1);
    g_nSounding.fetch_add(1);
    return FLUID_OK;
}
int fluid_synth_noteoff(fluid_synth_t*, int, int) {
    if (g_nSounding.load() > 0)
        g_nSounding.fetch_sub(1);
    return FLUID_OK;
}
int fluid_synth_key_pressure(fluid_synth_t*, int, int, int) {
    return FLUID_OK;
}
int fluid_synth_cc(fluid_synth_t*, int, int, int) {
    return FLUID_OK;
}
int fluid_synth_program_change(fluid_synth_t*, int, int) {
    return FLUID_OK;
}
int fluid_synth_channel_pressure(fluid_synth_t*, int, int) {
    return FLUID_OK;
}
int fluid_synth_pitch_bend(fluid_synth_t*, int, int) {
    return FLUID_OK;
}
int fluid_synth_system_reset(fluid_synth_t*) {
    g_nSounding.store(0);
    return FLUID_OK;
}
int fluid_synth_all_notes_off(fluid_synth_t*, int) {
    g_nSounding.store(0);
    return FLUID_OK;
}
int fluid_synth_get_active_voice_count(fluid_synth_t*) {
    const int sounding = g_nSounding.load();
    g_bCounting.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(g_nCountDelayMs.load()));
    g_bCounting.store(false);
    return sounding;
}
int fluid_synth_write_float(fluid_synth_t*, int, void*, int, int, void*, int, int) {
    return FLUID_OK;
}
void fluid_synth_set_gain(fluid_synth_t*, float) {}
float fluid_synth_get_gain(fluid_synth_t*) {
    return 1.0f;
}

} // extern "C"
