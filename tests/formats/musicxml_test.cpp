#include "formats/midiimport.h"
#include "formats/musicxml.h"
#include "formats/notation.h"
#include "mxlarchive.h"
#include "song/songcodec.h"
#include "text/cp932.h"

#include <QRegularExpression>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <random>
#include <stop_token>

namespace {

constexpr uint8_t kCodes[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                              0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1};

Song RandomSong(std::mt19937& random) {
    static const QString kLetters = QStringLiteral("Melody 旋律のテスト ﾒﾛﾃﾞｨ&<>\"'");
    Song song;
    QString title;
    for (int i = int(random() % 12); i > 0; --i)
        title += kLetters[qsizetype(random() % kLetters.size())];
    song.title = *EncodeCp932(title);
    song.tempo = uint8_t(0x60 + random() % 64);
    song.count = 1 + int(random() % kMaxEvents);
    for (int i = 0; i < song.count; ++i) {
        const int kind = int(random() % 5);
        song.events[size_t(i)] = {0, kCodes[random() % std::size(kCodes)],
                                  uint8_t(kind == 0   ? kPitchRest
                                          : kind == 1 ? kPitchTie
                                                      : 1 + random() % 0x5F)};
    }
    ComputeStartTicks(song);
    return song;
}

// The score as another program would leave it: the notes only.
QByteArray WithoutKeptEvents(QByteArray xml) {
    static const QRegularExpression fields(QStringLiteral("<miscellaneous>.*</miscellaneous>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    return QString::fromUtf8(xml).remove(fields).toUtf8();
}

MusicXmlError ErrorOf(const char* xml) {
    MusicXmlImport import;
    return DecodeMusicXml(QByteArray(xml), import).error;
}

} // namespace

TEST(MusicXml, RandomSongsComeBackByteForByteAndSoundTheSameFromTheNotesAlone) {
    std::mt19937 random(2027);
    for (const TimeSignature signature :
         {TimeSignature{4, 4}, TimeSignature{3, 4}, TimeSignature{6, 8}, TimeSignature{7, 16}}) {
        for (int round = 0; round < 6; ++round) {
            const Song song = RandomSong(random);
            const QByteArray xml = EncodeMusicXml(song, signature);
            MusicXmlImport import;
            ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
            EXPECT_TRUE(import.keptEvents);
            ASSERT_EQ(EncodeSong(import.song), EncodeSong(song));

            MusicXmlImport notes;
            ASSERT_EQ(DecodeMusicXml(WithoutKeptEvents(xml), notes).error, MusicXmlError::None);
            EXPECT_FALSE(notes.keptEvents);
            EXPECT_TRUE(SoundTheSame(SoundingUnits(notes.song), SoundingUnits(song)));
            EXPECT_EQ(notes.song.title, song.title);
            EXPECT_EQ(notes.song.tempo, song.tempo);
            EXPECT_EQ(notes.timeNumerator, signature.beatsPerBar);
            EXPECT_EQ(notes.lengthsRounded, 0);
        }
    }
}

TEST(MusicXml, EditedNotesWinOverTheKeptEvents) {
    Song song;
    song.events[0] = {0, 0xC4, 0x33};
    song.events[1] = {0, 0xC4, 0x35};
    song.count = 2;
    QByteArray xml = EncodeMusicXml(song, {4, 4});
    xml.replace("<step>D</step>", "<step>E</step>");
    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
    EXPECT_FALSE(import.keptEvents);
    EXPECT_EQ(import.song.events[1].pitch, 0x37);
}

TEST(MusicXml, CompressedFilesHoldTheirScoreAndNothingElse) {
    Song song;
    song.events[0] = {0, 0xC0, 0x33};
    song.count = 1;
    const QByteArray xml = EncodeMusicXml(song, {4, 4});
    const QByteArray archive = PackMxl(xml);
    ASSERT_TRUE(LooksLikeZip(archive));
    QByteArray unpacked;
    ASSERT_EQ(UnpackMxl(archive, unpacked).error, MusicXmlError::None);
    EXPECT_EQ(unpacked, xml);

    EXPECT_EQ(UnpackMxl(QByteArray("PK\x03\x04 not really"), unpacked).error,
              MusicXmlError::NotZip);
    // An archive whose score (as its container names it) is larger than any melody needs.
    const QByteArray huge(kMaxMusicXmlBytes + 1, ' ');
    EXPECT_EQ(UnpackMxl(PackMxl(huge), unpacked).error, MusicXmlError::TooLarge);
    EXPECT_EQ(unpacked, xml);

    // A container that names an empty path or a missing file: no score, whatever the name.
    for (const QByteArray& path : {QByteArray(), QByteArray("missing.musicxml")}) {
        const QByteArray named =
            MakeZip({{"META-INF/container.xml", ContainerNaming(path)}, {"score.musicxml", xml}});
        EXPECT_EQ(UnpackMxl(named, unpacked).error, MusicXmlError::NoScoreInZip) << path.data();
    }
    const QByteArray other =
        MakeZip({{"META-INF/container.xml", ContainerNaming("a/b.xml")}, {"a/b.xml", xml}});
    ASSERT_EQ(UnpackMxl(other, unpacked).error, MusicXmlError::None);
    EXPECT_EQ(unpacked, xml);
}

TEST(MusicXml, HostileAndWrongFilesAreRefused) {
    EXPECT_EQ(ErrorOf("<score-partwise><part id='P1'><measure>"), MusicXmlError::Malformed);
    EXPECT_EQ(ErrorOf("<html><body/></html>"), MusicXmlError::WrongRoot);
    EXPECT_EQ(ErrorOf("<score-timewise/>"), MusicXmlError::Timewise);
    EXPECT_EQ(ErrorOf("<score-partwise/>"), MusicXmlError::NoParts);
    EXPECT_EQ(ErrorOf("<score-partwise><part id='P1'><measure><note><rest/><duration>4</duration>"
                      "</note></measure></part></score-partwise>"),
              MusicXmlError::NoNotes);
    // Entity expansion: a billion copies of "lol" if it were ever expanded.
    QByteArray bomb = "<?xml version='1.0'?><!DOCTYPE score-partwise [<!ENTITY a0 'lol'>";
    for (int i = 1; i < 10; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 '&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;'>")
                    .arg(i)
                    .arg(i - 1)
                    .toUtf8();
    bomb += "]><score-partwise><work><work-title>&a9;</work-title></work></score-partwise>";
    MusicXmlImport import;
    EXPECT_EQ(DecodeMusicXml(bomb, import).error, MusicXmlError::DeclaresEntities);
    EXPECT_EQ(DecodeMusicXml(QByteArray(kMaxMusicXmlBytes + 1, ' '), import).error,
              MusicXmlError::TooLarge);
}

TEST(MusicXml, HugeElementsNestingAndPartCounts_AreReadOrRefusedInBoundedWork) {
    const QByteArray part = "<part id='P'><measure><note><pitch><step>C</step><octave>5</octave>"
                            "</pitch><duration>1</duration></note></measure></part>";
    // One element of 200,000 attributes is read (a check of each against all before it would
    // take minutes); with five times as many the parser would need more memory than any score
    // does, and the file is refused.
    for (const int count : {200000, 1000000}) {
        QByteArray xml = "<score-partwise><work";
        for (int i = 0; i < count; ++i)
            xml += " a" + QByteArray::number(i) + "=''";
        xml += "/>" + part + "</score-partwise>";
        MusicXmlImport import;
        EXPECT_EQ(DecodeMusicXml(xml, import).error,
                  count == 200000 ? MusicXmlError::None : MusicXmlError::TooComplex);
    }
    for (const int depth : {200, 300}) {
        const QByteArray xml = "<score-partwise><work>" + QByteArray("<a>").repeated(depth) +
                               QByteArray("</a>").repeated(depth) + "</work>" + part +
                               "</score-partwise>";
        MusicXmlImport import;
        EXPECT_EQ(DecodeMusicXml(xml, import).error,
                  depth == 200 ? MusicXmlError::None : MusicXmlError::TooComplex);
    }

    // 40,000 parts listed in the opposite order: each finds its own name.
    constexpr int kParts = 40000;
    QByteArray names;
    QByteArray parts;
    for (int i = 0; i < kParts; ++i) {
        const QByteArray id = QByteArray::number(kParts - 1 - i);
        names += "<score-part id='P" + id + "'><part-name>N" + id + "</part-name></score-part>";
        parts += QByteArray(part).replace("'P'", "'P" + QByteArray::number(i) + "'");
    }
    const QByteArray many =
        "<score-partwise><part-list>" + names + "</part-list>" + parts + "</score-partwise>";
    std::vector<MusicXmlPart> listed;
    ASSERT_EQ(ListMusicXmlParts(many, listed).error, MusicXmlError::None);
    ASSERT_EQ(listed.size(), size_t(kParts));
    for (const int i : {0, 12345, kParts - 1})
        EXPECT_EQ(listed[size_t(i)].name, "N" + std::to_string(i));

    // A reading that is asked to stop stops.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(ListMusicXmlParts(many, listed, stop.get_token()).error, MusicXmlError::Cancelled);
    MusicXmlImport import;
    EXPECT_EQ(DecodeMusicXml(many, import, 0, stop.get_token()).error, MusicXmlError::Cancelled);
}

TEST(MusicXml, NotesLeftOutOrChanged_AreCountedAndNumbersReadWhole) {
    // A piano part whose left hand is voice 1 as well, a note begun under a longer one, a note
    // without a duration and one longer than any song; numbers split by comments.
    const char* xml = R"(<score-partwise><part-list><score-part id="P"><part-name>Piano</part-name>
    </score-part></part-list><part id="P">
    <measure><attributes><divisions>4<!-- a -->80</divisions></attributes>
      <note><pitch><step>E</step><octave>5</octave></pitch><duration>4<!-- b -->80</duration></note>
      <note><pitch><step>F</step><octave>5</octave></pitch><duration>480</duration></note>
      <note><pitch><step>G</step><octave>5</octave></pitch><duration>480</duration></note>
      <note><pitch><step>A</step><octave>5</octave></pitch><duration>480</duration></note>
      <backup><duration>1920</duration></backup>
      <note><pitch><step>C</step><octave>3</octave></pitch><duration>480</duration></note>
      <note><pitch><step>E</step><octave>3</octave></pitch><duration>480</duration></note>
      <note><pitch><step>G</step><octave>3</octave></pitch><duration>480</duration></note>
      <note><pitch><step>C</step><octave>3</octave></pitch><duration>480</duration></note>
    </measure>
    <measure>
      <note><pitch><step>C</step><octave>5</octave></pitch><duration>960</duration></note>
      <backup><duration>480</duration></backup>
      <note><pitch><step>G</step><octave>3</octave></pitch><duration>960</duration></note>
      <note><pitch><step>D</step><octave>5</octave></pitch></note>
    </measure>
    <measure>
      <note><pitch><step>E</step><octave>5</octave></pitch><duration>1e300</duration></note>
      <note><pitch><step>F</step><octave>5</octave></pitch><duration>480</duration></note>
    </measure></part></score-partwise>)";
    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
    EXPECT_EQ(import.overlapping, 4);
    EXPECT_EQ(import.overlapsCut, 1);
    EXPECT_EQ(import.withoutLength, 1);
    EXPECT_EQ(import.lengthsCut, 1);
    EXPECT_TRUE(import.truncated); // the long note fills the song, and it ends before it
    const std::vector<SoundingUnit> expected = {{0, 480, 76},    {480, 480, 77},  {960, 480, 79},
                                                {1440, 480, 81}, {1920, 960, 72}, {2880, 480, 55}};
    EXPECT_EQ(SoundingUnits(import.song), expected);
}

TEST(MusicXml, PartsBeyondASongOrItsKeys_SayWhyAndTheirRangeStaysMidiKeys) {
    const auto score = [](const char* attributes, const char* notes) {
        return QByteArray("<score-partwise><part id='P'><measure><attributes>") + attributes +
               "</attributes>" + notes + "</measure></part></score-partwise>";
    };
    MusicXmlImport import;
    EXPECT_EQ(DecodeMusicXml(score("", "<forward><duration>1e300</duration></forward><note><pitch>"
                                       "<step>C</step><octave>5</octave></pitch>"
                                       "<duration>1</duration></note>"),
                             import)
                  .error,
              MusicXmlError::NotesBeyondSong);
    EXPECT_EQ(DecodeMusicXml(score("", "<note><pitch><step>C</step><octave>9</octave></pitch>"
                                       "<duration>1</duration></note>"),
                             import)
                  .error,
              MusicXmlError::NoNotesInRange);

    // Transposed four octaves down from C-1, and an octave no number holds: the table shows
    // the lowest and highest MIDI keys, never a key that is none.
    std::vector<MusicXmlPart> parts;
    ASSERT_EQ(ListMusicXmlParts(
                  score("<transpose><chromatic>-48</chromatic></transpose>",
                        "<note><pitch><step>C</step><octave>-1</octave></pitch></note>"
                        "<note><pitch><step>C</step><octave>2147483647</octave></pitch></note>"),
                  parts)
                  .error,
              MusicXmlError::None);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(MidiKeyName(parts[0].lowestKey), "C-1");
    EXPECT_EQ(MidiKeyName(parts[0].highestKey), "G9");
    for (const int key : {-1, 128, INT_MIN, INT_MAX})
        EXPECT_EQ(MidiKeyName(key), "?") << key;
}

TEST(MusicXml, AScoreInAnEncodingOfItsOwnIsDecoded) {
    QStringEncoder shiftJis("Shift_JIS");
    ASSERT_TRUE(shiftJis.isValid());
    const QByteArray xml = "<?xml version='1.0' encoding='Shift_JIS'?><score-partwise>"
                           "<movement-title>" +
                           QByteArray(shiftJis.encode(QStringLiteral("旋律"))) +
                           "</movement-title><part id='P'><measure><note><pitch><step>C</step>"
                           "<octave>5</octave></pitch><duration>1</duration></note></measure>"
                           "</part></score-partwise>";
    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
    EXPECT_EQ(import.title, "旋律");
}

TEST(MusicXml, ANotationProgramsScoreGivesItsTopVoiceAndSaysWhatWasLeft) {
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="3.1">
  <movement-title>Sonatine</movement-title>
  <part-list>
    <score-part id="P1"><part-name>Piano</part-name></score-part>
    <score-part id="P2"><part-name>Bass</part-name></score-part>
  </part-list>
  <part id="P1">
    <measure number="1">
      <attributes><divisions>2</divisions><time><beats>3</beats><beat-type>4</beat-type></time></attributes>
      <direction><direction-type><metronome><beat-unit>quarter</beat-unit><beat-unit-dot/>
        <per-minute>60</per-minute></metronome></direction-type></direction>
      <note><grace/><pitch><step>D</step><octave>5</octave></pitch><voice>1</voice></note>
      <note><pitch><step>C</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice></note>
      <note><chord/><pitch><step>E</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice></note>
      <note><rest/><duration>1</duration><voice>1</voice></note>
      <note><pitch><step>B</step><alter>-1</alter><octave>4</octave></pitch><duration>3</duration>
        <tie type="start"/><voice>1</voice></note>
      <backup><duration>6</duration></backup>
      <note><pitch><step>C</step><octave>3</octave></pitch><duration>6</duration><voice>2</voice></note>
    </measure>
    <measure number="2">
      <note><pitch><step>B</step><alter>-1</alter><octave>4</octave></pitch><duration>1</duration>
        <tie type="stop"/><voice>1</voice></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>5</duration><voice>1</voice></note>
    </measure>
  </part>
  <part id="P2">
    <measure number="1"><attributes><divisions>2</divisions>
        <transpose><diatonic>-7</diatonic><chromatic>-12</chromatic></transpose></attributes>
      <note><pitch><step>C</step><octave>3</octave></pitch><duration>6</duration></note></measure>
  </part>
</score-partwise>)";
    std::vector<MusicXmlPart> parts;
    ASSERT_EQ(ListMusicXmlParts(xml, parts).error, MusicXmlError::None);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name, "Piano");
    EXPECT_EQ(parts[0].notes, 7);
    EXPECT_EQ(parts[1].lowestKey, 36); // written an octave above its sound

    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
    EXPECT_EQ(import.title, "Sonatine");
    EXPECT_EQ(import.song.title, "Sonatine");
    EXPECT_EQ(TempoFromByte(import.song.tempo), 90); // dotted quarter 60
    EXPECT_EQ(import.graceNotes, 1);
    EXPECT_EQ(import.chordNotes, 1);
    EXPECT_EQ(import.otherVoices, 1);
    EXPECT_EQ(import.timeNumerator, 3);
    // E5 quarter (the chord's top), eighth rest, B flat dotted quarter tied over the bar line
    // to an eighth (one half note's length), A4 for five eighths (1200 ticks, one code).
    const std::vector<SoundingUnit> expected = {
        {0, 480, 76}, {480, 240, -1}, {720, 960, 70}, {1680, 1200, 69}};
    EXPECT_EQ(SoundingUnits(import.song), expected);
    EXPECT_EQ(import.song.events[2].code, 0xC2);

    ASSERT_EQ(DecodeMusicXml(xml, import, 1).error, MusicXmlError::None);
    EXPECT_EQ(SoundingUnits(import.song), (std::vector<SoundingUnit>{{0, 1440, 36}}));
    EXPECT_EQ(DecodeMusicXml(xml, import, 2).error, MusicXmlError::NoSuchPart);
}

// A jig in G with an eighth upbeat: the key, 6/8 and an implicit bar 0 go into the score, and
// come back from the notes alone; a KesV export comes back byte for byte, the song file's
// extension included.
TEST(MusicXml, KeyTimeAndPickupGoIntoTheScoreAndComeBack) {
    Song song;
    for (const SongEvent& event : {SongEvent{0, 0xC6, 0x2D}, SongEvent{0, 0xC3, 0x32},
                                   SongEvent{0, 0xC3, 0x36}, SongEvent{0, 0xC3, 0x2D}})
        song.events[size_t(song.count++)] = event;
    song.music = {SongKey{1, false}, TimeSignature{6, 8}, 240, {}};
    ComputeStartTicks(song);
    const QByteArray xml = EncodeMusicXml(song, {4, 4});
    for (const char* part : {"<fifths>1</fifths>", "<mode>major</mode>", "<beats>6</beats>",
                             "<beat-type>8</beat-type>", "<measure number=\"0\" implicit=\"yes\">",
                             "<measure number=\"1\">"})
        EXPECT_TRUE(xml.contains(part)) << part;
    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(xml, import).error, MusicXmlError::None);
    EXPECT_EQ(EncodeSong(import.song), EncodeSong(song));
    ASSERT_EQ(DecodeMusicXml(WithoutKeptEvents(xml), import).error, MusicXmlError::None);
    EXPECT_EQ(import.song.music, song.music);
    EXPECT_FALSE(import.keyDetected);
}

// Notes are spelt by the key: an E flat minor tune writes C flat under six flats and restates
// the natural of its leading note; a song without a key is written in the key of its notes,
// which the song does not take on when KesV reads it back; a score without a key gets the key
// of its notes and says so.
TEST(MusicXml, NotesAreSpeltByTheKey) {
    Song song;
    for (const uint8_t pitch : {0x36, 0x39, 0x3B, 0x3D, 0x3E, 0x3D, 0x35, 0x36})
        song.events[size_t(song.count++)] = {0, 0xC4, pitch}; // Eb Gb Ab Bb Cb Bb D Eb
    ComputeStartTicks(song);
    const QByteArray detected = EncodeMusicXml(song, {4, 4});
    EXPECT_TRUE(detected.contains("<fifths>-6</fifths>"));
    EXPECT_TRUE(detected.contains("<mode>minor</mode>"));
    EXPECT_TRUE(detected.contains("<step>C</step><alter>-1</alter><octave>5</octave>"));
    EXPECT_TRUE(detected.contains("<step>D</step><octave>4</octave></pitch><duration>480</duration>"
                                  "<type>quarter</type><accidental>natural</accidental>"));
    EXPECT_FALSE(detected.contains("<accidental>flat</accidental>"));
    MusicXmlImport import;
    ASSERT_EQ(DecodeMusicXml(detected, import).error, MusicXmlError::None);
    EXPECT_EQ(import.song.music, SongMusic{});

    QByteArray keyless = WithoutKeptEvents(detected);
    keyless.replace("<key><fifths>-6</fifths><mode>minor</mode></key>", "");
    ASSERT_EQ(DecodeMusicXml(keyless, import).error, MusicXmlError::None);
    EXPECT_TRUE(import.keyDetected);
    EXPECT_EQ(import.song.music.key, (SongKey{-6, true}));
}
