// The built-in synthesizer: FluidSynth with a General MIDI soundfont. The library is not linked:
// it and the many libraries it needs are loaded on the first open, so start-up and listing
// the devices never pay for them. Once loaded, the synthesizer and its soundfont are kept for
// the life of the program, so later opens start sounding at once; only its audio output is
// let go while nothing sounds.
#include "midi/midibackend.h"
#include "midi/midinames.h"
#include "midi/midisetup.h"
#include "midi/soundfont.h"

#include "fluidsynthlib.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr int kPolyphony = 256;

std::atomic<std::chrono::milliseconds::rep> g_idleReleaseMs{10000};

bool HasAlsaPcmDevice() {
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator("/dev/snd", error)) {
        if (item.path().filename().string().rfind("pcm", 0) == 0)
            return true;
    }
    return false;
}

/// The one loaded synthesizer of the program. The synthesizer with its soundfont is loaded
/// once and kept; its audio output opens when a message arrives and closes again after a few
/// idle seconds, so an idle program holds no audio stream and uses no processor time. Every
/// message and the idle watch's release take the engine's lock, so a message never finds the
/// output open and then plays into one that has just been let go.
class CSynthEngine {
public:
    static CSynthEngine& Instance() {
        static CSynthEngine engine;
        return engine;
    }

    ~CSynthEngine() {
        {
            std::lock_guard lock(m_mutex);
            m_bStopping = true;
        }
        m_wake.notify_all();
        if (m_idleWatch.joinable())
            m_idleWatch.join();
        if (m_pDriver)
            m_api.delete_fluid_audio_driver(m_pDriver);
        if (m_pSynth)
            m_api.delete_fluid_synth(m_pSynth);
        if (m_pSettings)
            m_api.delete_fluid_settings(m_pSettings);
    }

    /// Loads the library and the synthesizer with its soundfont unless that was done before,
    /// and opens the audio output. A library that does not load is tried again on the next
    /// call; an audio output that cannot be opened is not tried again for a while, so that a
    /// machine without sound answers at once.
    MidiResult Ensure(const std::string& soundFont, const FluidApi*& api, fluid_synth_t*& synth) {
        std::lock_guard lock(m_mutex);
        if (!m_bApiLoaded) {
            const FluidApi* loaded = LoadFluidSynth();
            if (!loaded)
                return kMidiErrNoDriver;
            m_api = *loaded;
            m_bApiLoaded = true;
        }
        if (!m_pSynth) {
            const MidiResult result = LoadSynth(soundFont);
            if (result != kMidiOk)
                return result;
        }
        const MidiResult result = OpenDriverLocked();
        if (result != kMidiOk)
            return result;
        api = &m_api;
        synth = m_pSynth;
        return kMidiOk;
    }

    /// Hands one message to the synthesizer (`play`), with the audio output open again if it
    /// was let go while idle.
    template <typename Play> void Send(Play play) {
        std::lock_guard lock(m_mutex);
        m_lastActivity = Clock::now();
        OpenDriverLocked(); // without audio the message still sets the synthesizer's state
        play();
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kRetryAfterFailure = std::chrono::seconds(60);

    CSynthEngine() = default;

    MidiResult LoadSynth(const std::string& soundFont) {
        const FluidApi& fl = m_api;
        fluid_settings_t* settings = fl.new_fluid_settings();
        if (!settings)
            return kMidiErrNoMemory;
        fl.fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
        fl.fluid_settings_setstr(settings, "audio.jack.id", kJackClientName);
        fl.fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
        fluid_synth_t* synth = fl.new_fluid_synth(settings);
        if (!synth) {
            fl.delete_fluid_settings(settings);
            return kMidiErrNoMemory;
        }
        if (fl.fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
            fl.delete_fluid_synth(synth);
            fl.delete_fluid_settings(settings);
            return kMidiErrNoSoundFont;
        }
        m_pSettings = settings;
        m_pSynth = synth;
        return kMidiOk;
    }

    MidiResult OpenDriverLocked() {
        if (m_pDriver)
            return kMidiOk;
        if (m_bStopping)
            return kMidiErrNoAudioOutput;
        const auto now = Clock::now();
        if (m_lastFailure && now - *m_lastFailure < kRetryAfterFailure)
            return kMidiErrNoAudioOutput;
        // JACK when a server runs, else the desktop's audio service, else ALSA directly.
        std::vector<const char*> drivers;
        if (IsMidiEnvironmentPrepared() && IsJackServerRunning())
            drivers.push_back("jack");
        drivers.push_back("pipewire");
        drivers.push_back("pulseaudio");
        // Without a sound card ALSA has nothing to open, and its library would say so aloud.
        if (HasAlsaPcmDevice())
            drivers.push_back("alsa");
        for (const char* driver : drivers) {
            if (m_api.fluid_settings_setstr(m_pSettings, "audio.driver", driver) != FLUID_OK)
                continue;
            if ((m_pDriver = m_api.new_fluid_audio_driver(m_pSettings, m_pSynth)))
                break;
        }
        if (!m_pDriver) {
            m_lastFailure = now;
            return kMidiErrNoAudioOutput;
        }
        m_lastFailure.reset();
        m_lastActivity = now;
        if (m_idleWatch.joinable())
            m_wake.notify_all();
        else
            m_idleWatch = std::thread([this] { ReleaseWhenIdle(); });
        return kMidiOk;
    }

    // The idle watch: lets the audio output go once nothing has sounded for a while, and
    // sleeps while the output is closed.
    void ReleaseWhenIdle() {
        std::unique_lock lock(m_mutex);
        while (!m_bStopping) {
            if (!m_pDriver) {
                m_wake.wait(lock);
                continue;
            }
            const std::chrono::milliseconds idle(g_idleReleaseMs.load());
            m_wake.wait_for(lock, std::min<Clock::duration>(idle / 4, std::chrono::seconds(1)));
            if (m_bStopping || !m_pDriver ||
                Clock::now() - m_lastActivity < std::chrono::milliseconds(g_idleReleaseMs.load()) ||
                m_api.fluid_synth_get_active_voice_count(m_pSynth) > 0)
                continue;
            m_api.delete_fluid_audio_driver(m_pDriver);
            m_pDriver = nullptr;
        }
    }

    static constexpr const char* kJackClientName = "KesV Synth";

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_idleWatch;
    // The rest under m_mutex.
    bool m_bStopping = false;
    FluidApi m_api;
    bool m_bApiLoaded = false;
    fluid_settings_t* m_pSettings = nullptr;
    fluid_synth_t* m_pSynth = nullptr;
    fluid_audio_driver_t* m_pDriver = nullptr;
    Clock::time_point m_lastActivity;
    std::optional<Clock::time_point> m_lastFailure;
};

class CSynthOutDevice final : public IMidiOutDevice {
public:
    CSynthOutDevice(const FluidApi& api, fluid_synth_t* synth) : m_api(api), m_pSynth(synth) {}

    MidiResult SendShort(uint32_t message) override {
        const int status = int(message & 0xFF);
        if (status < 0x80)
            return kMidiErrInvalidParam;
        CSynthEngine::Instance().Send([&] { Play(message); });
        return kMidiOk;
    }

    MidiResult Reset() override {
        m_api.fluid_synth_all_notes_off(m_pSynth, -1);
        return kMidiOk;
    }

private:
    void Play(uint32_t message) {
        const int status = int(message & 0xFF);
        const int channel = status & 0x0F;
        const int data1 = int((message >> 8) & 0x7F);
        const int data2 = int((message >> 16) & 0x7F);
        switch (status & 0xF0) {
        case 0x80:
            m_api.fluid_synth_noteoff(m_pSynth, channel, data1);
            break;
        case 0x90:
            if (data2 == 0)
                m_api.fluid_synth_noteoff(m_pSynth, channel, data1);
            else
                m_api.fluid_synth_noteon(m_pSynth, channel, data1, data2);
            break;
        case 0xA0:
            m_api.fluid_synth_key_pressure(m_pSynth, channel, data1, data2);
            break;
        case 0xB0:
            m_api.fluid_synth_cc(m_pSynth, channel, data1, data2);
            break;
        case 0xC0:
            m_api.fluid_synth_program_change(m_pSynth, channel, data1);
            break;
        case 0xD0:
            m_api.fluid_synth_channel_pressure(m_pSynth, channel, data1);
            break;
        case 0xE0:
            m_api.fluid_synth_pitch_bend(m_pSynth, channel, data1 | (data2 << 7));
            break;
        default:
            if (status == 0xFF)
                m_api.fluid_synth_system_reset(m_pSynth);
            break; // other system messages mean nothing to the synthesizer
        }
    }

    const FluidApi& m_api;
    fluid_synth_t* m_pSynth;
};

class CSynthBackend final : public IMidiBackend {
public:
    void List(std::vector<MidiPortRecord>&, std::vector<MidiPortRecord>& outputs) override {
        if (m_strSoundFont.empty())
            m_strSoundFont = FindSoundFont();
        if (m_strSoundFont.empty())
            return;
        MidiPortRecord record;
        record.name = kBuiltinSynthName;
        record.key = m_strSoundFont;
        record.wPid = 3;
        record.vDriverVersion = uint32_t(FLUIDSYNTH_VERSION_MAJOR << 8 | FLUIDSYNTH_VERSION_MINOR);
        record.wTechnology = kModSynth;
        record.wVoices = kPolyphony;
        record.wNotes = kPolyphony;
        record.wChannelMask = 0xFFFF;
        outputs.push_back(std::move(record));
    }

    MidiResult OpenOutput(const MidiPortRecord& port,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        const FluidApi* api = nullptr;
        fluid_synth_t* synth = nullptr;
        const MidiResult result = CSynthEngine::Instance().Ensure(port.key, api, synth);
        if (result != kMidiOk)
            return result;
        device = std::make_unique<CSynthOutDevice>(*api, synth);
        return kMidiOk;
    }

    MidiResult OpenInput(const MidiPortRecord&, MidiInData,
                         std::unique_ptr<IMidiInDevice>&) override {
        return kMidiErrBadDeviceId;
    }

private:
    std::string m_strSoundFont;
};

} // namespace

void SetSynthIdleRelease(std::chrono::milliseconds time) {
    g_idleReleaseMs.store(std::max<std::chrono::milliseconds::rep>(1, time.count()));
}

std::unique_ptr<IMidiBackend> CreateSynthBackend() {
    return std::make_unique<CSynthBackend>();
}
