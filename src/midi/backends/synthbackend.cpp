// The built-in synthesizer: FluidSynth with a General MIDI soundfont. It is loaded on the first
// open and then kept for the life of the program, so later opens start sounding at once.
#include "midibackend.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace {

constexpr int kPolyphony = 256;

void SilentFluidLog(int, const char*, void*) {}

std::string FindSoundFont() {
    namespace fs = std::filesystem;
    std::vector<fs::path> folders;
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome)
        folders.emplace_back(fs::path(dataHome) / "soundfonts");
    if (const char* home = std::getenv("HOME"); home && *home)
        folders.emplace_back(fs::path(home) / ".local/share/soundfonts");
    for (const char* folder : {"/usr/local/share/soundfonts", "/usr/share/soundfonts",
                               "/usr/share/sounds/sf2", "/usr/share/sounds/sf3"})
        folders.emplace_back(folder);

    static const char* const preferred[] = {"default-GM.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2",
                                            "default-GM.sf3", "FluidR3_GM.sf3"};
    std::error_code error;
    for (const auto& folder : folders) {
        for (const char* name : preferred) {
            if (fs::is_regular_file(folder / name, error))
                return (folder / name).string();
        }
    }
    for (const auto& folder : folders) {
        std::vector<fs::path> found;
        for (const auto& item : fs::directory_iterator(folder, error)) {
            const auto extension = item.path().extension();
            if ((extension == ".sf2" || extension == ".sf3") && item.is_regular_file(error))
                found.push_back(item.path());
        }
        if (!found.empty())
            return std::min_element(found.begin(), found.end())->string();
    }
    return {};
}

bool HasAlsaPcmDevice() {
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator("/dev/snd", error)) {
        if (item.path().filename().string().rfind("pcm", 0) == 0)
            return true;
    }
    return false;
}

/// The one loaded synthesizer of the program.
class CSynthEngine {
public:
    static CSynthEngine& Instance() {
        static CSynthEngine engine;
        return engine;
    }

    ~CSynthEngine() {
        if (m_pDriver)
            delete_fluid_audio_driver(m_pDriver);
        if (m_pSynth)
            delete_fluid_synth(m_pSynth);
        if (m_pSettings)
            delete_fluid_settings(m_pSettings);
    }

    /// Loads the synthesizer and opens its audio output unless that was done before.
    MidiResult Ensure(const std::string& soundFont, fluid_synth_t*& synth) {
        std::lock_guard lock(m_mutex);
        if (!m_pSynth) {
            const MidiResult result = Load(soundFont);
            if (result != kMidiOk)
                return result;
        }
        synth = m_pSynth;
        return kMidiOk;
    }

private:
    CSynthEngine() {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, SilentFluidLog, nullptr);
    }

    MidiResult Load(const std::string& soundFont) {
        // JACK when a server runs, else the desktop's audio service, else ALSA directly.
        std::vector<const char*> drivers;
        if (IsJackServerRunning())
            drivers.push_back("jack");
        drivers.push_back("pipewire");
        drivers.push_back("pulseaudio");
        // Without a sound card ALSA has nothing to open, and its library would say so aloud.
        if (HasAlsaPcmDevice())
            drivers.push_back("alsa");

        for (const char* driver : drivers) {
            fluid_settings_t* settings = new_fluid_settings();
            if (!settings)
                return kMidiErrNoMemory;
            fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
            fluid_settings_setstr(settings, "audio.jack.id", "kesv-synth");
            fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
            if (fluid_settings_setstr(settings, "audio.driver", driver) != FLUID_OK) {
                delete_fluid_settings(settings);
                continue;
            }
            fluid_synth_t* synth = new_fluid_synth(settings);
            if (!synth) {
                delete_fluid_settings(settings);
                return kMidiErrNoMemory;
            }
            if (fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
                delete_fluid_synth(synth);
                delete_fluid_settings(settings);
                return kMidiErrNoSoundFont;
            }
            fluid_audio_driver_t* audio = new_fluid_audio_driver(settings, synth);
            if (!audio) {
                delete_fluid_synth(synth);
                delete_fluid_settings(settings);
                continue;
            }
            m_pSettings = settings;
            m_pSynth = synth;
            m_pDriver = audio;
            return kMidiOk;
        }
        return kMidiErrNoAudioOutput;
    }

    std::mutex m_mutex;
    fluid_settings_t* m_pSettings = nullptr;
    fluid_synth_t* m_pSynth = nullptr;
    fluid_audio_driver_t* m_pDriver = nullptr;
};

class CSynthOutDevice final : public IMidiOutDevice {
public:
    CSynthOutDevice(fluid_synth_t* synth, MidiNotify notify)
        : m_pSynth(synth), m_notify(std::move(notify)) {
        if (m_notify)
            m_notify(kMomOpen, 0, 0);
    }
    ~CSynthOutDevice() override {
        if (m_notify)
            m_notify(kMomClose, 0, 0);
    }

    MidiResult SendShort(uint32_t message) override {
        const int status = int(message & 0xFF);
        const int channel = status & 0x0F;
        const int data1 = int((message >> 8) & 0x7F);
        const int data2 = int((message >> 16) & 0x7F);
        if (status < 0x80)
            return kMidiErrInvalidParam;
        switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(m_pSynth, channel, data1);
            break;
        case 0x90:
            if (data2 == 0)
                fluid_synth_noteoff(m_pSynth, channel, data1);
            else
                fluid_synth_noteon(m_pSynth, channel, data1, data2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(m_pSynth, channel, data1, data2);
            break;
        case 0xB0:
            fluid_synth_cc(m_pSynth, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(m_pSynth, channel, data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(m_pSynth, channel, data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(m_pSynth, channel, data1 | (data2 << 7));
            break;
        default:
            if (status == 0xFF)
                fluid_synth_system_reset(m_pSynth);
            break; // other system messages mean nothing to the synthesizer
        }
        return kMidiOk;
    }

    MidiResult Reset() override {
        fluid_synth_all_notes_off(m_pSynth, -1);
        return kMidiOk;
    }

private:
    fluid_synth_t* m_pSynth;
    MidiNotify m_notify;
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

    MidiResult OpenOutput(const MidiPortRecord& port, MidiNotify notify,
                          std::unique_ptr<IMidiOutDevice>& device) override {
        fluid_synth_t* synth = nullptr;
        const MidiResult result = CSynthEngine::Instance().Ensure(port.key, synth);
        if (result != kMidiOk)
            return result;
        device = std::make_unique<CSynthOutDevice>(synth, std::move(notify));
        return kMidiOk;
    }

    MidiResult OpenInput(const MidiPortRecord&, MidiNotify,
                         std::unique_ptr<IMidiInDevice>&) override {
        return kMidiErrBadDeviceId;
    }

private:
    std::string m_strSoundFont;
};

} // namespace

std::unique_ptr<IMidiBackend> CreateSynthBackend() {
    return std::make_unique<CSynthBackend>();
}
