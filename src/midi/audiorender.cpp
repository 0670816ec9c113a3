#include "audiorender.h"

#include "song/midifile.h"
#include "song/musictime.h"
#include "soundfont.h"

#include "backends/fluidsynthlib.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr int kBlockFrames = 64;

const char* FluidTypeName(AudioFileType type) {
    switch (type) {
    case AudioFileType::Wav:
        return "wav";
    case AudioFileType::Flac:
        return "flac";
    case AudioFileType::Ogg:
        return "oga";
    }
    return "wav";
}

struct SettingsDeleter {
    const FluidApi* fl;
    void operator()(fluid_settings_t* p) const { fl->delete_fluid_settings(p); }
};
struct SynthDeleter {
    const FluidApi* fl;
    void operator()(fluid_synth_t* p) const { fl->delete_fluid_synth(p); }
};
struct RendererDeleter {
    const FluidApi* fl;
    void operator()(fluid_file_renderer_t* p) const { fl->delete_fluid_file_renderer(p); }
};

void CollectOption(void* data, const char*, const char* option) {
    static_cast<std::vector<std::string>*>(data)->emplace_back(option);
}

int64_t FrameOfTick(int64_t tick, uint32_t microsPerQuarter) {
    // Exact in integers: ticks x µs per quarter stays far below 2^63.
    const int64_t micros = tick * int64_t(microsPerQuarter);
    return (micros * kAudioSampleRate + int64_t(kTicksPerQuarter) * 500000) /
           (int64_t(kTicksPerQuarter) * 1000000);
}

/// Creates a new, empty file named base + "." + six random characters and returns its name;
/// empty, with errno set, when none can be created. open applies the umask itself, so the file
/// has the mode any new file gets, where mkstemp's would be private.
std::string CreateFileBeside(const std::string& base) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::minstd_rand random(
        uint32_t(std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = base + '.';
        for (int i = 0; i < 6; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

int64_t SongTicks(const Song& song) {
    int64_t ticks = 0;
    for (int i = 0; i < song.count; ++i)
        ticks += GetDurationTicks(song.events[size_t(i)].code);
    return ticks;
}

} // namespace

std::vector<AudioFileType> AvailableAudioFileTypes() {
    std::vector<std::string> names;
    if (const FluidApi* fl = LoadFluidSynth()) {
        std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(fl->new_fluid_settings(), {fl});
        if (settings)
            fl->fluid_settings_foreach_option(settings.get(), "audio.file.type", &names,
                                              CollectOption);
    }
    std::vector<AudioFileType> types{AudioFileType::Wav};
    for (AudioFileType type : {AudioFileType::Flac, AudioFileType::Ogg}) {
        if (std::find(names.begin(), names.end(), FluidTypeName(type)) != names.end())
            types.push_back(type);
    }
    return types;
}

bool AudioFileTypeOfPath(const std::string& path, AudioFileType& type) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "wav")
        type = AudioFileType::Wav;
    else if (extension == "flac")
        type = AudioFileType::Flac;
    else if (extension == "ogg" || extension == "oga")
        type = AudioFileType::Ogg;
    else
        return false;
    return true;
}

double RenderedAudioSeconds(const Song& song) {
    return double(FrameOfTick(SongTicks(song), MidiTempoOfByte(song.tempo))) / kAudioSampleRate +
           kAudioTailSeconds;
}

MidiStatus AudioRenderResult::Status(const std::string& path) const {
    switch (failure) {
    case Failure::None:
        return kMidiOk;
    case Failure::Cancelled:
        return kMidiErrCancelled;
    case Failure::NoLibrary:
        return {kMidiErrNoDriver, "the FluidSynth library (libfluidsynth.so.3) cannot be loaded"};
    case Failure::NoSoundFont:
        return {kMidiErrNoSoundFont,
                "no General MIDI soundfont found (install timgm6mb-soundfont)"};
    case Failure::CannotCreate:
        return {kMidiErrError,
                "cannot create a file beside " + path + ": " + std::strerror(systemError)};
    case Failure::SynthFailed:
        return {kMidiErrError, "FluidSynth could not start"};
    case Failure::TypeUnsupported:
        return {kMidiErrError, "this FluidSynth cannot write " + subject + " files"};
    case Failure::SoundFontUnreadable:
        return {kMidiErrError, "cannot load the soundfont " + subject};
    case Failure::CannotWrite:
        return {kMidiErrError,
                "cannot write " + path +
                    (systemError ? std::string(": ") + std::strerror(systemError) : std::string())};
    }
    return kMidiErrError;
}

AudioRenderResult RenderSongToAudio(const Song& song, const std::string& path, AudioFileType type,
                                    const AudioProgress& progress) {
    using Failure = AudioRenderResult::Failure;
    const auto fail = [](Failure failure, int systemError = 0, std::string subject = {}) {
        return AudioRenderResult{failure, systemError, std::move(subject)};
    };
    const FluidApi* fl = LoadFluidSynth();
    if (!fl)
        return fail(Failure::NoLibrary);
    const std::string soundFont = FindSoundFont();
    if (soundFont.empty())
        return fail(Failure::NoSoundFont);

    // The temporary file lies in the target's folder, so the rename cannot cross devices.
    const std::string temporary = CreateFileBeside(path);
    if (temporary.empty())
        return fail(Failure::CannotCreate, errno);
    struct Remover {
        const std::string& name;
        bool keep = false;
        ~Remover() {
            if (!keep)
                std::remove(name.c_str());
        }
    } remover{temporary};

    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(fl->new_fluid_settings(), {fl});
    if (!settings)
        return fail(Failure::SynthFailed);
    fl->fluid_settings_setnum(settings.get(), "synth.sample-rate", kAudioSampleRate);
    fl->fluid_settings_setint(settings.get(), "audio.period-size", kBlockFrames);
    fl->fluid_settings_setstr(settings.get(), "audio.file.name", temporary.c_str());
    fl->fluid_settings_setstr(settings.get(), "audio.file.format", "s16");
    if (fl->fluid_settings_setstr(settings.get(), "audio.file.type", FluidTypeName(type)) !=
        FLUID_OK)
        return fail(Failure::TypeUnsupported, 0, FluidTypeName(type));
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth(fl->new_fluid_synth(settings.get()), {fl});
    if (!synth)
        return fail(Failure::SynthFailed);
    if (fl->fluid_synth_sfload(synth.get(), soundFont.c_str(), 1) == FLUID_FAILED)
        return fail(Failure::SoundFontUnreadable, 0, soundFont);
    std::unique_ptr<fluid_file_renderer_t, RendererDeleter> renderer(
        fl->new_fluid_file_renderer(synth.get()), {fl});
    if (!renderer)
        return fail(Failure::CannotWrite);

    const uint32_t tempo = MidiTempoOfByte(song.tempo);
    const std::vector<PlayEvent> events = BuildPerformance(song);
    const int64_t total = FrameOfTick(SongTicks(song), tempo) +
                          int64_t(std::lround(kAudioTailSeconds * kAudioSampleRate));
    size_t next = 0;
    int64_t lastReport = 0;
    for (int64_t frame = 0; frame < total; frame += kBlockFrames) {
        // Messages sound from the first block at or after their frame.
        for (; next < events.size() && FrameOfTick(events[next].tick, tempo) <= frame; ++next) {
            const uint32_t message = events[next].message;
            const int key = int(message >> 8) & 0x7F;
            const int velocity = int(message >> 16) & 0x7F;
            if ((message & 0xF0) == 0x90 && velocity > 0)
                fl->fluid_synth_noteon(synth.get(), int(message & 0x0F), key, velocity);
            else
                fl->fluid_synth_noteoff(synth.get(), int(message & 0x0F), key);
        }
        if (fl->fluid_file_renderer_process_block(renderer.get()) != FLUID_OK)
            return fail(Failure::CannotWrite);
        if (progress && frame - lastReport >= kAudioSampleRate / 4) {
            lastReport = frame;
            if (!progress(double(frame) / double(total)))
                return fail(Failure::Cancelled);
        }
    }
    renderer.reset(); // closes the file
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return fail(Failure::CannotWrite, errno);
    remover.keep = true;
    if (progress)
        progress(1.0);
    return {};
}
