// FluidSynth, loaded at run time: the library and the many libraries it needs are opened on
// first use (the synthesizer's first open, an audio export), so start-up never pays for them.
#pragma once

// Only for the types and the prototypes the pointers take their types from.
#include <fluidsynth.h>

// The functions the program uses, resolved from the library.
struct FluidApi {
#define KESV_FLUID_FUNCTIONS(X)                                                                    \
    X(fluid_set_log_function)                                                                      \
    X(new_fluid_settings)                                                                          \
    X(delete_fluid_settings)                                                                       \
    X(fluid_settings_setint)                                                                       \
    X(fluid_settings_setnum)                                                                       \
    X(fluid_settings_setstr)                                                                       \
    X(fluid_settings_foreach_option)                                                               \
    X(new_fluid_synth)                                                                             \
    X(delete_fluid_synth)                                                                          \
    X(fluid_synth_sfload)                                                                          \
    X(new_fluid_audio_driver)                                                                      \
    X(delete_fluid_audio_driver)                                                                   \
    X(new_fluid_file_renderer)                                                                     \
    X(delete_fluid_file_renderer)                                                                  \
    X(fluid_file_renderer_process_block)                                                           \
    X(fluid_synth_noteon)                                                                          \
    X(fluid_synth_noteoff)                                                                         \
    X(fluid_synth_key_pressure)                                                                    \
    X(fluid_synth_cc)                                                                              \
    X(fluid_synth_program_change)                                                                  \
    X(fluid_synth_channel_pressure)                                                                \
    X(fluid_synth_pitch_bend)                                                                      \
    X(fluid_synth_system_reset)                                                                    \
    X(fluid_synth_all_notes_off)                                                                   \
    X(fluid_synth_get_active_voice_count)                                                          \
    X(fluid_synth_write_float)                                                                     \
    X(fluid_synth_set_gain)                                                                        \
    X(fluid_synth_get_gain)
#define KESV_FLUID_POINTER(name) decltype(&::name) name = nullptr;
    KESV_FLUID_FUNCTIONS(KESV_FLUID_POINTER)
#undef KESV_FLUID_POINTER
};

/// The library's functions, its log silenced; null when the library or one of its functions
/// is missing, and then tried again on the next call. SetFluidSynthLibrary (midisetup.h) names
/// another file. Safe from any thread.
const FluidApi* LoadFluidSynth();
