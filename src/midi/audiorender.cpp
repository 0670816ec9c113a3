#include "audiorender.h"

#include "formats/midifile.h"
#include "settings/userfolders.h"
#include "song/musictime.h"
#include "soundfont.h"

#include "backends/fluidsynthlib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

// The temporary file of the render in progress, for the signal handler: a fixed buffer, read
// there only when the flag says it is complete.
char g_temporaryPath[PATH_MAX + 16];
volatile std::sig_atomic_t g_hasTemporary = 0;

extern "C" void RemoveTemporaryAndEnd(int signal) {
    if (g_hasTemporary)
        ::unlink(g_temporaryPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Holds SIGINT and SIGTERM back while the temporary file and its record change together, so
// that the handler never meets a file it does not know of yet or any longer.
class CSignalsHeld {
public:
    CSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &held, &m_previous);
    }
    ~CSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    CSignalsHeld(const CSignalsHeld&) = delete;
    CSignalsHeld& operator=(const CSignalsHeld&) = delete;

private:
    sigset_t m_previous{};
};

void RegisterTemporary(const std::string& name) {
    g_hasTemporary = 0;
    if (name.size() >= sizeof g_temporaryPath)
        return;
    std::memcpy(g_temporaryPath, name.c_str(), name.size() + 1);
    g_hasTemporary = 1;
}

bool CopyFileTo(const std::string& from, int to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::write(to, buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            ok = put > 0;
            done += put > 0 ? put : 0;
        }
        if (!ok)
            break;
    }
    const int error = errno;
    ::close(in);
    errno = error;
    return ok;
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
                                    const AudioProgress& progress,
                                    const AudioRenderOptions& options) {
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

    // Where the bytes go: a regular file is replaced (through links: the target), anything
    // else that exists is written as it is, from a temporary file in the temporary folder.
    const bool toStandardOutput = path == "-";
    std::string target = path;
    if (char* real = toStandardOutput ? nullptr : ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat existing {};
    const bool exists = !toStandardOutput && ::stat(target.c_str(), &existing) == 0;
    const bool inPlace = toStandardOutput || (exists && !S_ISREG(existing.st_mode));
    std::string temporaryBase;
    if (inPlace)
        temporaryBase = (GetUserFolders().temp / "kesv-audio").string();
    // The temporary file lies in the target's folder, so the rename cannot cross devices.
    std::string temporary;
    int createError = 0;
    {
        const CSignalsHeld held;
        temporary = CreateFileBeside(inPlace ? temporaryBase : target);
        createError = errno;
        if (!temporary.empty())
            RegisterTemporary(temporary);
    }
    if (temporary.empty())
        return fail(Failure::CannotCreate, createError);
    struct Remover {
        const std::string& name;
        bool keep = false;
        ~Remover() {
            const CSignalsHeld held;
            g_hasTemporary = 0;
            if (!keep)
                std::remove(name.c_str());
        }
    } remover{temporary};
    if (exists && !inPlace)
        ::chmod(temporary.c_str(), existing.st_mode & 07777);

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

    const uint32_t tempo = MidiTempoOfByte(song.tempo);
    const std::vector<PlayEvent> events = BuildPerformance(song);
    const int64_t total = FrameOfTick(SongTicks(song), tempo) +
                          int64_t(std::lround(kAudioTailSeconds * kAudioSampleRate));
    // One pass over the song through a fresh synthesizer; `block` renders each block of
    // kBlockFrames frames. The passes share the progress: the measuring one the first half.
    const auto pass = [&](fluid_synth_t* synth, const std::function<bool()>& block, double from,
                          double share) {
        size_t next = 0;
        int64_t lastReport = 0;
        for (int64_t frame = 0; frame < total; frame += kBlockFrames) {
            // Messages sound from the first block at or after their frame.
            for (; next < events.size() && FrameOfTick(events[next].tick, tempo) <= frame; ++next) {
                const uint32_t message = events[next].message;
                const int key = int(message >> 8) & 0x7F;
                const int velocity = int(message >> 16) & 0x7F;
                if ((message & 0xF0) == 0x90 && velocity > 0)
                    fl->fluid_synth_noteon(synth, int(message & 0x0F), key, velocity);
                else
                    fl->fluid_synth_noteoff(synth, int(message & 0x0F), key);
            }
            if (!block())
                return Failure::CannotWrite;
            if (progress && frame - lastReport >= kAudioSampleRate / 4) {
                lastReport = frame;
                if (!progress(from + share * double(frame) / double(total)))
                    return Failure::Cancelled;
            }
        }
        return Failure::None;
    };
    const auto newSynth = [&]() -> std::unique_ptr<fluid_synth_t, SynthDeleter> {
        std::unique_ptr<fluid_synth_t, SynthDeleter> synth(fl->new_fluid_synth(settings.get()),
                                                           {fl});
        if (synth && fl->fluid_synth_sfload(synth.get(), soundFont.c_str(), 1) == FLUID_FAILED)
            synth.reset();
        return synth;
    };

    double gain = 0;
    if (options.normalize) {
        // The synthesizer renders the same song the same way twice, so the peak of a pass that
        // only measures gives the gain of the pass that writes.
        auto synth = newSynth();
        if (!synth)
            return fail(Failure::SoundFontUnreadable, 0, soundFont);
        float left[kBlockFrames];
        float right[kBlockFrames];
        float peak = 0;
        const Failure measured = pass(
            synth.get(),
            [&] {
                if (fl->fluid_synth_write_float(synth.get(), kBlockFrames, left, 0, 1, right, 0,
                                                1) != FLUID_OK)
                    return false;
                for (int i = 0; i < kBlockFrames; ++i)
                    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
                return true;
            },
            0.0, 0.5);
        if (measured != Failure::None)
            return fail(measured);
        if (peak > 0)
            gain = double(fl->fluid_synth_get_gain(synth.get())) *
                   std::pow(10.0, options.peakDbfs / 20.0) / double(peak);
    }
    auto synth = newSynth();
    if (!synth)
        return fail(Failure::SoundFontUnreadable, 0, soundFont);
    if (gain > 0)
        fl->fluid_synth_set_gain(synth.get(), float(std::min(gain, 10.0)));
    std::unique_ptr<fluid_file_renderer_t, RendererDeleter> renderer(
        fl->new_fluid_file_renderer(synth.get()), {fl});
    if (!renderer) // libsndfile writes the header as it opens the file
        return fail(Failure::CannotWrite, errno);
    const double start = options.normalize ? 0.5 : 0.0;
    int writeError = 0;
    const Failure written = pass(
        synth.get(),
        [&] {
            if (fl->fluid_file_renderer_process_block(renderer.get()) == FLUID_OK)
                return true;
            // libsndfile's failed write (a full disk, a file-size limit) leaves its errno.
            writeError = errno;
            return false;
        },
        start, 1.0 - start);
    if (written != Failure::None)
        return fail(written, written == Failure::CannotWrite ? writeError : 0);
    renderer.reset(); // closes the file
    if (inPlace) {
        const int out =
            toStandardOutput ? STDOUT_FILENO : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (out < 0)
            return fail(Failure::CannotWrite, errno);
        const bool copied = CopyFileTo(temporary, out);
        const int error = errno;
        if ((!toStandardOutput && ::close(out) != 0) || !copied)
            return fail(Failure::CannotWrite, copied ? errno : error);
    } else if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(Failure::CannotWrite, errno);
    } else {
        remover.keep = true;
    }
    if (progress)
        progress(1.0);
    return {};
}

void RemoveAudioTemporaryOnSignals() {
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}
