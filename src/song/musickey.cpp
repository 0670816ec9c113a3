#include "musickey.h"

#include "musictime.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// Places on the line of fifths: C 0, G 1, ... B 5, F♯ 6; F -1, B♭ -2, ... F♭ -8. Those from -8
// to 12 take one accidental at most.
constexpr int kFlattestPlace = -8;
constexpr int kSharpestPlace = 12;

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int PositiveMod(int a, int b) {
    return ((a % b) + b) % b;
}

// The twelve places a key spells with: in a major key from its flattened third to its
// sharpened fifth, in a minor key from its flattened second to its sharpened fourth.
int FirstPlace(const SongKey& key) {
    return std::clamp(key.fifths - (key.minor ? 2 : 3), kFlattestPlace, kSharpestPlace - 11);
}

int PlaceOf(int pitchClass, const SongKey& key) {
    const int first = FirstPlace(key);
    return first + PositiveMod(7 * pitchClass - first, 12); // 7 is its own inverse mod 12
}

// Profiles of how much each degree from the tonic sounds in major and minor keys: Temperley's
// from the Kostka–Payne corpus.
constexpr double kMajorProfile[12] = {0.748, 0.060, 0.488, 0.082, 0.670, 0.460,
                                      0.096, 0.715, 0.104, 0.366, 0.057, 0.400};
constexpr double kMinorProfile[12] = {0.712, 0.084, 0.474, 0.618, 0.049, 0.460,
                                      0.105, 0.747, 0.404, 0.067, 0.133, 0.330};

struct CenteredProfile {
    std::array<double, 12> values{};
    double norm = 0;
};

CenteredProfile Center(const double (&profile)[12]) {
    CenteredProfile out;
    double mean = 0;
    for (const double v : profile)
        mean += v / 12;
    for (size_t i = 0; i < 12; ++i) {
        out.values[i] = profile[i] - mean;
        out.norm += out.values[i] * out.values[i];
    }
    out.norm = std::sqrt(out.norm);
    return out;
}

// The key signature of a tonic, from six flats to five sharps (G♭ rather than F♯ major, E♭
// rather than D♯ minor).
int FifthsOfTonic(int pitchClass, bool minor) {
    const int major = minor ? (pitchClass + 3) % 12 : pitchClass;
    const int fifths = (major * 7) % 12;
    return fifths > 5 ? fifths - 12 : fifths;
}

} // namespace

KeySpelling SpellKeyIn(int midiKey, const SongKey& key) {
    const int place = PlaceOf(PositiveMod(midiKey, 12), key);
    const int alter = FloorDiv(place + 1, 7);
    return {"FCGDAEB"[PositiveMod(place + 1, 7)], alter, FloorDiv(midiKey - alter, 12) - 1};
}

int SignatureAlter(char step, const SongKey& key) {
    // The signature's places run from F (-1) on for sharps and from B (5) down for flats.
    static constexpr char kOrder[] = "FCGDAEB";
    const int place = int(std::string_view(kOrder).find(step)) - 1;
    if (key.fifths > 0)
        return place < key.fifths - 1 ? 1 : 0;
    return place > 5 + key.fifths ? -1 : 0;
}

int TonicPitchClass(const SongKey& key) {
    return PositiveMod(7 * key.fifths + (key.minor ? 9 : 0), 12);
}

std::array<char, 3> GetNoteName(uint8_t pitch, const std::optional<SongKey>& key) {
    if (!key)
        return GetNoteName(pitch);
    const KeySpelling spelling = SpellKeyIn(pitch + 9, *key);
    const char sign = spelling.alter > 0 ? '#' : spelling.alter < 0 ? 'b' : ' ';
    return {spelling.step, sign, char('0' + spelling.octave)};
}

std::optional<SongKey> DetectKey(const Song& song) {
    std::array<double, 12> sounding{};
    double total = 0;
    for (int i = 0; i < song.count; ++i) {
        const int length = GatherTiedUnit(song, i);
        if (i >= song.count)
            break;
        const uint8_t pitch = song.events[size_t(i)].pitch;
        if (pitch == kPitchRest || pitch > 0x5F || length <= 0)
            continue;
        sounding[size_t((pitch + 9) % 12)] += length;
        total += length;
    }
    if (total <= 0)
        return std::nullopt;
    double spread = 0;
    for (double& v : sounding) {
        v -= total / 12;
        spread += v * v;
    }
    if (spread <= 0) // all twelve alike: nothing to tell one key from another
        return std::nullopt;

    static const CenteredProfile kMajor = Center(kMajorProfile);
    static const CenteredProfile kMinor = Center(kMinorProfile);
    SongKey best;
    double bestScore = -2;
    for (const bool minor : {false, true}) {
        const CenteredProfile& profile = minor ? kMinor : kMajor;
        for (int tonic = 0; tonic < 12; ++tonic) {
            double sum = 0;
            for (int degree = 0; degree < 12; ++degree)
                sum += sounding[size_t((tonic + degree) % 12)] * profile.values[size_t(degree)];
            // The notes' spread is the same for every key, so only the profile's divides.
            const double score = sum / profile.norm;
            if (score > bestScore) {
                bestScore = score;
                best = {FifthsOfTonic(tonic, minor), minor};
            }
        }
    }
    return best;
}
