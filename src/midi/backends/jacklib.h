// JACK's client library, loaded at run time: libjack and what it needs (Berkeley DB among
// them) are opened when the program first looks for a JACK server, so start-up never pays
// for them and the program runs where JACK is not installed.
#pragma once

// Only for the types and the prototypes the pointers take their types from.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

// The functions the program uses, resolved from the library.
struct JackApi {
#define KESV_JACK_FUNCTIONS(X)                                                                     \
    X(jack_set_error_function)                                                                     \
    X(jack_set_info_function)                                                                      \
    X(jack_client_open)                                                                            \
    X(jack_client_close)                                                                           \
    X(jack_activate)                                                                               \
    X(jack_deactivate)                                                                             \
    X(jack_set_process_callback)                                                                   \
    X(jack_set_xrun_callback)                                                                      \
    X(jack_on_info_shutdown)                                                                       \
    X(jack_get_buffer_size)                                                                        \
    X(jack_get_sample_rate)                                                                        \
    X(jack_frame_time)                                                                             \
    X(jack_last_frame_time)                                                                        \
    X(jack_get_ports)                                                                              \
    X(jack_free)                                                                                   \
    X(jack_connect)                                                                                \
    X(jack_port_disconnect)                                                                        \
    X(jack_port_by_name)                                                                           \
    X(jack_port_connected)                                                                         \
    X(jack_port_get_buffer)                                                                        \
    X(jack_port_name)                                                                              \
    X(jack_port_register)                                                                          \
    X(jack_port_unregister)                                                                        \
    X(jack_midi_clear_buffer)                                                                      \
    X(jack_midi_event_get)                                                                         \
    X(jack_midi_event_write)                                                                       \
    X(jack_midi_get_event_count)                                                                   \
    X(jack_ringbuffer_create)                                                                      \
    X(jack_ringbuffer_free)                                                                        \
    X(jack_ringbuffer_peek)                                                                        \
    X(jack_ringbuffer_read)                                                                        \
    X(jack_ringbuffer_read_advance)                                                                \
    X(jack_ringbuffer_read_space)                                                                  \
    X(jack_ringbuffer_reset)                                                                       \
    X(jack_ringbuffer_write)                                                                       \
    X(jack_ringbuffer_write_space)
#define KESV_JACK_POINTER(name) decltype(&::name) name = nullptr;
    KESV_JACK_FUNCTIONS(KESV_JACK_POINTER)
#undef KESV_JACK_POINTER
};

/// The library's functions, its messages silenced; null when the library or one of its
/// functions is missing (tried once). Safe from any thread.
const JackApi* LoadJack();

/// The functions LoadJack has found, for code that runs once it has: every client, port and
/// device of ours, and JACK's own threads. Takes no lock.
const JackApi& Jack();
