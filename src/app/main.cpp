// KesV: step entry of short melodies.
#include "app/displaycheck.h"
#include "app/exchange.h"
#include "app/kesapp.h"
#include "app/language.h"
#include "app/mainframe.h"

#include <QCommandLineParser>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

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
};

constexpr std::pair<Conversion, const char*> kConversionOptions[] = {
    {Conversion::ExportMidi, "export-midi"},
    {Conversion::ExportAudio, "export-audio"},
    {Conversion::ImportMidi, "import-midi"},
};

// kesv [song.kes], or one conversion: kesv --export-midi OUT.mid SONG.kes and the like. The
// developer options stay out of the help: --screenshot <png> saves the
// painted main window (scripts/screenshot.sh), --startup-probe reports it shown (the start-up
// benchmark). --help, --version and a wrong option print and end the program here.
CommandLine ParseCommandLine(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
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
        CommandLineText::tr(
            "Standard MIDI File（最後の引数）を曲ファイルに読み込んで終了します。")};
    QList<QCommandLineOption> conversions;
    for (size_t i = 0; i < std::size(kConversionOptions); ++i) {
        conversions.append(QCommandLineOption(QString::fromLatin1(kConversionOptions[i].second),
                                              kinds[i], QStringLiteral("out")));
        parser.addOption(conversions.back());
    }
    parser.process(app);
    CommandLine line{
        parser.positionalArguments(), parser.value(screenshot), parser.isSet(probe), {}};
    for (size_t i = 0; i < std::size(kConversionOptions); ++i) {
        for (const QString& out : parser.values(conversions[qsizetype(i)]))
            line.conversions.append({kConversionOptions[i].first, out});
    }
    return line;
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
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            return false;
        for (const auto& [conversion, name] : kConversionOptions) {
            const std::string option = std::string("--") + name;
            if (arg == option || arg.rfind(option + "=", 0) == 0 || arg == option.substr(1) ||
                arg.rfind(option.substr(1) + "=", 0) == 0)
                return true;
        }
    }
    return false;
}

int RunConversionLine(const CommandLine& line) {
    const auto fail = [](const QString& text, int status) {
        std::fprintf(stderr, "kesv: %s\n", qPrintable(text));
        return status;
    };
    if (line.conversions.size() != 1)
        return fail(
            CommandLineText::tr(
                "--export-midi、--export-audio、--import-midi のどれか一つを指定してください"),
            2);
    if (line.songs.size() != 1)
        return fail(CommandLineText::tr("出力ファイルの後に入力ファイルを一つ指定してください"), 2);
    QString message;
    const auto& [conversion, out] = line.conversions.constFirst();
    const int status = RunConversion(conversion, out, line.songs.constFirst(), &message);
    if (!message.isEmpty())
        std::fprintf(stderr, "kesv: %s\n", qPrintable(message));
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("KesV"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESV_VERSION));
    if (OnlyPrints(argc, argv)) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        ParseCommandLine(app);
        return 0;
    }
    if (Converts(argc, argv)) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        return RunConversionLine(ParseCommandLine(app));
    }

    if (const QString problem = DisplayProblem(); !problem.isEmpty()) {
        QCoreApplication app(argc, argv);
        InstallTranslations(app, SystemUiLanguage());
        std::fprintf(
            stderr, "kesv: %s\n",
            qPrintable(CommandLineText::tr("ディスプレイを開けません（%1）").arg(problem)));
        return 1;
    }
    CKesApp app(argc, argv);
    InstallTranslations(app, SystemUiLanguage());
    QGuiApplication::setDesktopFileName(QStringLiteral(KESV_APP_ID));
    const CommandLine line = ParseCommandLine(app);

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
