// KesV: step entry of short melodies.
#include "app/displaycheck.h"
#include "app/exchange.h"
#include "app/kesapp.h"
#include "app/language.h"
#include "app/mainframe.h"
#include "midi/audiorender.h"
#include "midi/midisetup.h"

#include <QCommandLineParser>
#include <QTimer>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct CommandLineText {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Once the window is on the screen and painted: saves it as an image (when `screenshot` is
// given) or prints "shown <resident kB>", then ends the program.
void ReportWhenShown(CMainFrame* frame, const QString& screenshot) {
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, frame, [frame, poll, screenshot] {
        if (!frame->windowHandle() || !frame->windowHandle()->isExposed())
            return;
        poll->stop();
        frame->repaint();
        if (!screenshot.isEmpty()) {
            const bool saved = frame->grab().save(screenshot);
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save",
                         qPrintable(screenshot));
            QCoreApplication::exit(saved ? 0 : 2);
            return;
        }
        std::printf("shown %ld\n", ResidentKilobytes());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll->start(1);
}

struct CommandLine {
    QStringList songs;
    QString screenshot;
    bool probe = false;
    QList<std::pair<Conversion, QString>> conversions; // each with the file it writes
    QStringList listTracks;                            // the MIDI files whose tracks to list
    QStringList tracks;                                // --track: N or N:CHANNEL
    QStringList listTunes;                             // the ABC files whose tunes to list
    QStringList tunes;                                 // --tune: an X: number
    bool noNormalize = false;
    QString error; // the parser's complaint; the usage follows it
    QString help;
};

constexpr std::pair<Conversion, const char*> kConversionOptions[] = {
    {Conversion::ExportMidi, "export-midi"},
    {Conversion::ExportAudio, "export-audio"},
    {Conversion::ImportMidi, "import-midi"},
    {Conversion::ExportMusicXml, "export-musicxml"},
    {Conversion::ImportMusicXml, "import-musicxml"},
    {Conversion::ExportAbc, "export-abc"},
    {Conversion::ImportAbc, "import-abc"},
};
// The options that need no window: the conversions and these.
constexpr const char* kWindowlessOptions[] = {"list-tracks", "track", "no-normalize", "list-tunes",
                                              "tune"};

// kesv [song.kes], or one conversion: kesv --export-midi OUT.mid SONG.kes and the like. The
// developer options stay out of the help: --screenshot <png> saves the
// painted main window (scripts/screenshot.sh), --startup-probe reports it shown (the start-up
// benchmark). --help and --version print and end the program here; a wrong option is left in
// `error`.
CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("song.kes"),
                                 CommandLineText::tr("開く曲ファイル。"),
                                 QStringLiteral("[song.kes]"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("png"));
    QCommandLineOption probe(QStringLiteral("startup-probe"), QString());
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    probe.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({screenshot, probe});
    const QString kinds[] = {
        CommandLineText::tr(
            "SONG.kes を Standard MIDI File（フォーマット 0）に書き出して終了します。"),
        CommandLineText::tr("SONG.kes を .wav、.flac または .ogg ファイルに書き出して終了します。"),
        CommandLineText::tr("Standard MIDI File（最後の引数）を曲ファイルに読み込んで終了します。"),
        CommandLineText::tr("SONG.kes を MusicXML の楽譜（.musicxml、圧縮は .mxl）に書き出して"
                            "終了します。"),
        CommandLineText::tr("MusicXML の楽譜（.musicxml か "
                            ".mxl、最後の引数）を曲ファイルに読み込んで終了します。"),
        CommandLineText::tr("SONG.kes を ABC 記譜法のファイル（.abc）に書き出して終了します。"),
        CommandLineText::tr("ABC ファイル（最後の引数）の曲を曲ファイルに読み込んで終了します。")};
    QList<QCommandLineOption> conversions;
    for (size_t i = 0; i < std::size(kConversionOptions); ++i) {
        conversions.append(QCommandLineOption(QString::fromLatin1(kConversionOptions[i].second),
                                              kinds[i], QStringLiteral("out")));
        parser.addOption(conversions.back());
    }
    const QCommandLineOption listTracks(
        QStringLiteral("list-tracks"),
        CommandLineText::tr("MIDI ファイルの旋律の候補を得点つきで表示して終了します。"),
        QStringLiteral("in.mid"));
    const QCommandLineOption track(
        QStringLiteral("track"),
        CommandLineText::tr(
            "--import-midi で旋律を取るトラック（--list-tracks の番号、:ch でチャンネルも）、"
            "--import-musicxml では読むパートの番号。"),
        QStringLiteral("n"));
    const QCommandLineOption noNormalize(
        QStringLiteral("no-normalize"),
        CommandLineText::tr(
            "--export-audio で音量を揃えず、シンセサイザーの音量のまま書き出します。"));
    const QCommandLineOption listTunes(
        QStringLiteral("list-tunes"),
        CommandLineText::tr("ABC ファイルの曲の一覧（X: の番号、調、拍子、長さ、曲名）を表示して"
                            "終了します。"),
        QStringLiteral("in.abc"));
    const QCommandLineOption tune(
        QStringLiteral("tune"),
        CommandLineText::tr("--import-abc で読む曲の X: の番号（既定は最初の曲）。"),
        QStringLiteral("x"));
    parser.addOptions({listTracks, track, noNormalize, listTunes, tune});
    CommandLine line;
    line.help = parser.helpText();
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    line.songs = parser.positionalArguments();
    line.screenshot = parser.value(screenshot);
    line.probe = parser.isSet(probe);
    for (size_t i = 0; i < std::size(kConversionOptions); ++i) {
        for (const QString& out : parser.values(conversions[qsizetype(i)]))
            line.conversions.append({kConversionOptions[i].first, out});
    }
    line.listTracks = parser.values(listTracks);
    line.tracks = parser.values(track);
    line.listTunes = parser.values(listTunes);
    line.tunes = parser.values(tune);
    line.noNormalize = parser.isSet(noNormalize);
    return line;
}

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// --help and --version need no window, so they work without a display too.
bool OnlyPrints(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "--help-all" ||
            arg == "--version" || arg == "-v")
            return true;
    }
    return false;
}

// The conversions need no window either, nor a display.
bool Converts(int argc, char** argv) {
    std::vector<std::string> names;
    for (const auto& [conversion, name] : kConversionOptions)
        names.emplace_back(name);
    names.insert(names.end(), std::begin(kWindowlessOptions), std::end(kWindowlessOptions));
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            return false;
        for (const std::string& name : names) {
            const std::string option = "--" + name;
            if (arg == option || arg.rfind(option + "=", 0) == 0 || arg == option.substr(1) ||
                arg.rfind(option.substr(1) + "=", 0) == 0)
                return true;
        }
    }
    return false;
}

int Fail(const QString& text, int status) {
    std::fprintf(stderr, "kesv: %s\n", qPrintable(text));
    return status;
}

// A wrong command line: the complaint in one line, then the usage; status 2.
int UsageError(const CommandLine& line) {
    std::fprintf(stderr, "kesv: %s\n%s", qPrintable(line.error), qPrintable(line.help));
    return 2;
}

// --track N or N:CHANNEL, both counted from 1 as --list-tracks shows them.
bool ParseTrack(const QString& text, MelodyChoice& choice) {
    const QStringList parts = text.split(QLatin1Char(':'));
    bool trackOk = false;
    bool channelOk = true;
    const int track = parts.value(0).toInt(&trackOk);
    const int channel = parts.size() > 1 ? parts[1].toInt(&channelOk) : 0;
    if (parts.size() > 2 || !trackOk || !channelOk || track < 1 || channel < 0 || channel > 16)
        return false;
    choice = {track - 1, channel - 1};
    return true;
}

int RunConversionLine(const CommandLine& line) {
    if (!line.error.isEmpty())
        return UsageError(line);
    if (!line.listTracks.isEmpty()) {
        if (line.listTracks.size() != 1 || !line.conversions.isEmpty() || !line.songs.isEmpty())
            return Fail(
                CommandLineText::tr("--list-tracks には MIDI ファイルを一つだけ指定してください"),
                2);
        QString text;
        QString message;
        const int status = ListMidiTracks(line.listTracks.constFirst(), &text, &message);
        if (status != 0)
            return Fail(message, status);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!line.listTunes.isEmpty()) {
        if (line.listTunes.size() != 1 || !line.conversions.isEmpty() || !line.songs.isEmpty())
            return Fail(
                CommandLineText::tr("--list-tunes には ABC ファイルを一つだけ指定してください"), 2);
        QString text;
        QString message;
        const int status = ListAbcFileTunes(line.listTunes.constFirst(), &text, &message);
        if (status != 0)
            return Fail(message, status);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (line.conversions.size() != 1)
        return Fail(
            CommandLineText::tr("--export-midi、--export-audio、--import-midi、--export-musicxml、"
                                "--import-musicxml、--export-abc、--import-abc のどれか一つを"
                                "指定してください"),
            2);
    if (line.songs.size() != 1)
        return Fail(CommandLineText::tr("出力ファイルの後に入力ファイルを一つ指定してください"), 2);
    const auto& [conversion, out] = line.conversions.constFirst();
    ConversionOptions options;
    options.normalize = !line.noNormalize;
    if (!line.tracks.isEmpty()) {
        if ((conversion != Conversion::ImportMidi && conversion != Conversion::ImportMusicXml) ||
            line.tracks.size() != 1 || !ParseTrack(line.tracks.constFirst(), options.melody))
            return Fail(
                CommandLineText::tr("--track は --import-midi（または --import-musicxml）と"
                                    "一つ、番号（または番号:チャンネル）で指定してください"),
                2);
    }
    if (!line.tunes.isEmpty()) {
        bool ok = false;
        options.tune = line.tunes.constFirst().toInt(&ok);
        if (conversion != Conversion::ImportAbc || line.tunes.size() != 1 || !ok ||
            options.tune < 0)
            return Fail(
                CommandLineText::tr("--tune は --import-abc と一つ、X: の番号で指定してください"),
                2);
    }
    if (conversion == Conversion::ExportAudio)
        RemoveAudioTemporaryOnSignals();
    QString message;
    const int status = RunConversion(conversion, out, line.songs.constFirst(), options, &message);
    if (!message.isEmpty())
        std::fprintf(stderr, "kesv: %s\n", qPrintable(message));
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // First, while this is the only thread: the environment the MIDI layer's libraries read.
    PrepareMidiEnvironment();
    // A write past a file-size limit then fails with EFBIG, which every writer reports and
    // survives, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("KesV"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESV_VERSION));
    const QStringList arguments = Arguments(argc, argv);
    // Without a window the line is read after the translations are in; a wrong option is
    // found before a window is tried, so that it needs no display either.
    if (OnlyPrints(argc, argv) || Converts(argc, argv) ||
        !ParseCommandLine(arguments).error.isEmpty()) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        const CommandLine line = ParseCommandLine(arguments);
        return line.error.isEmpty() ? RunConversionLine(line) : UsageError(line);
    }

    if (const QString problem = DisplayProblem(); !problem.isEmpty()) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        std::fprintf(stderr, "kesv: %s\n",
                     qPrintable(CommandLineText::tr("ディスプレイを開けません（%1）")
                                    .arg(DescribeDisplayProblem(problem))));
        return 1;
    }
    CKesApp app(argc, argv);
    ReleaseDisplayCheck();
    InstallTranslations(app, SystemUiLanguage());
    QGuiApplication::setDesktopFileName(QStringLiteral(KESV_APP_ID));
    const CommandLine line = ParseCommandLine(arguments);

    if (!app.InitInstance(line.songs))
        return 1; // the song of the command line could not be opened; the user was told
    // The window keeps the compiled-in icon; a desktop finds the theme's icon at every size
    // through the desktop file name. Looking the theme up here would search every icon
    // folder and cost a fifth of the start-up.
    CMainFrame* frame = app.GetMainFrame();
    frame->show();
    if (!line.screenshot.isEmpty() || line.probe)
        ReportWhenShown(frame, line.screenshot);
    return CKesApp::exec();
}
