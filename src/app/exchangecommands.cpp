#include "exchangecommands.h"

#include "dialogs/trackchoicedlg.h"
#include "dialogs/tunechoicedlg.h"
#include "document/kesdoc.h"
#include "exchange/exchange.h"
#include "mainframe.h"
#include "settings/envsettings.h"
#include "text/cp932.h"
#include "view/eventclipboard.h"
#include "view/kesview.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QUrl>

#include <functional>
#include <stop_token>
#include <thread>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Runs `work` on a thread of its own, so the window keeps painting; a progress dialog with
// a Cancel button shows when it takes longer than 200 ms. Cancel asks the work to stop
// through its token; answers false when it was cancelled.
bool RunOffTheWindowThread(QWidget* parent, const QString& label,
                           const std::function<void(std::stop_token)>& work) {
    QProgressDialog progress(label, CExchangeCommands::tr("ｷｬﾝｾﾙ"), 0, 0, parent);
    progress.setWindowTitle(QStringLiteral("KesV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(200);
    progress.setValue(0); // starts the wait before the dialog shows
    std::stop_source stop;
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [&stop] { stop.request_stop(); });
    QEventLoop loop;
    std::thread worker([&work, &loop, token = stop.get_token()] {
        work(token);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return !stop.stop_requested();
}

bool IsMidiFileName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mid") || suffix == QLatin1String("midi");
}

} // namespace

CExchangeCommands::CExchangeCommands(CMainFrame* frame, const EnvSettings& settings)
    : QObject(frame), m_pFrame(frame), m_settings(settings) {}

CExchangeCommands::~CExchangeCommands() = default;

QString CExchangeCommands::SuggestedName(const QString& extension) const {
    const QString path = m_pFrame->GetDocument()->GetPathName();
    if (path.isEmpty())
        return CMainFrame::UntitledName() + QLatin1Char('.') + extension;
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QLatin1Char('.') + extension);
}

void CExchangeCommands::OnFileExportMidi() {
    QFileDialog dialog(m_pFrame, QString(), SuggestedName(QStringLiteral("mid")), MidiFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("mid"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!ExportSongToMidi(m_pFrame->GetDocument()->GetSong(), m_settings.GetTimeSignature(), path,
                          &error)) {
        QMessageBox::warning(m_pFrame, QStringLiteral("KesV"),
                             tr("%1 に書き出せませんでした。\n%2").arg(Native(path), error));
        return;
    }
    m_pFrame->ShowMessage(tr("%1 に書き出しました").arg(Native(path)));
}

QString CExchangeCommands::AskImportFile(const QString& filter) {
    if (!m_pFrame->SaveModified())
        return {};
    QFileDialog dialog(m_pFrame, QString(),
                       QFileInfo(m_pFrame->GetDocument()->GetPathName()).path(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void CExchangeCommands::OnFileImportMidi() {
    if (const QString path = AskImportFile(MidiFileFilter()); !path.isEmpty())
        ImportMidiFile(path);
}

void CExchangeCommands::OnFileExportMusicXml() {
    QFileDialog dialog(m_pFrame, QString(), SuggestedName(QStringLiteral("musicxml")),
                       MusicXmlFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("musicxml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!ExportSongToMusicXml(m_pFrame->GetDocument()->GetSong(), m_settings.GetTimeSignature(),
                              path, &error)) {
        QMessageBox::warning(m_pFrame, QStringLiteral("KesV"),
                             tr("%1 に書き出せませんでした。\n%2").arg(Native(path), error));
        return;
    }
    m_pFrame->ShowMessage(tr("%1 に書き出しました").arg(Native(path)));
}

void CExchangeCommands::OnFileImportMusicXml() {
    if (const QString path = AskImportFile(MusicXmlFileFilter()); !path.isEmpty())
        ImportMusicXmlFile(path);
}

bool CExchangeCommands::ImportMusicXmlFile(const QString& path) {
    QString error;
    std::vector<MusicXmlPart> parts;
    int part = 0;
    const QString reading = tr("MusicXML ファイルを読み込んでいます...");
    bool listed = false;
    if (!RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token stop) {
            listed = ReadMusicXmlParts(path, parts, &error, stop);
        }))
        return ReportCancelled();
    if (listed && parts.size() > 1) {
        // The part choice is the track choice's list: one row a part, no channel of its own.
        std::vector<MelodyCandidate> candidates;
        QStringList names;
        for (size_t i = 0; i < parts.size(); ++i) {
            MelodyCandidate candidate;
            candidate.track = int(i);
            candidate.notes = parts[i].notes;
            candidate.lowestKey = parts[i].lowestKey;
            candidate.highestKey = parts[i].highestKey;
            candidates.push_back(candidate);
            names << PrintableName(QString::fromStdString(parts[i].name));
        }
        CTrackChoiceDlg dialog(candidates, names, m_pFrame);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        part = candidates[size_t(dialog.ChosenIndex())].track;
    }
    MusicXmlImport import;
    bool imported = false;
    if (listed && !RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token stop) {
            imported = ImportSongFromMusicXml(path, import, &error, part, stop);
        }))
        return ReportCancelled();
    return FinishImport(imported, path, error, import.song,
                        imported ? DescribeMusicXmlImport(import, m_settings.GetTimeSignature())
                                 : QString());
}

bool CExchangeCommands::ImportMidiFile(const QString& path) {
    MidiImport import;
    QString error;
    std::vector<MelodyCandidate> candidates;
    MelodyChoice choice;
    bool listed = false;
    const QString reading = tr("MIDI ファイルを読み込んでいます...");
    if (!RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token stop) {
            listed = ReadMidiCandidates(path, candidates, &error, stop);
        }))
        return ReportCancelled();
    if (listed && candidates.size() > 1) {
        QStringList names;
        for (const MelodyCandidate& candidate : candidates)
            names << PrintableName(DecodeMidiText(candidate.trackName));
        CTrackChoiceDlg dialog(candidates, names, m_pFrame);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const MelodyCandidate& chosen = candidates[size_t(dialog.ChosenIndex())];
        choice = {chosen.track, chosen.channel};
    }
    bool imported = false;
    if (listed && !RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token stop) {
            imported = ImportSongFromMidi(path, import, &error, choice, stop);
        }))
        return ReportCancelled();
    return FinishImport(imported, path, error, import.song,
                        imported ? DescribeImport(import, m_settings.GetTimeSignature())
                                 : QString());
}

bool CExchangeCommands::FinishImport(bool imported, const QString& path, const QString& error,
                                     const Song& song, const QString& message) {
    if (!imported) {
        m_pFrame->ReportFileFailure(tr("%1 を読み込めませんでした。\n%2").arg(Native(path), error));
        return false;
    }
    const auto cursor = m_pFrame->GetView()->Cursor();
    m_pFrame->GetDocument()->ReplaceSongAsStep(song, cursor.row, cursor.column);
    m_pFrame->SetImportedFrom(path);
    m_pFrame->ShowMessage(message);
    return true;
}

bool CExchangeCommands::ReportCancelled() {
    m_pFrame->ShowMessage(tr("読み込みを中止しました"));
    return false;
}

void CExchangeCommands::OnFileExportAudio() {
    const QStringList filters = AudioFileFilters();
    QFileDialog dialog(m_pFrame, QString(), SuggestedName(QStringLiteral("wav")),
                       filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    // Qt's own dialog, so that it can hold the level's check box.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* normalize = new QCheckBox(tr("音量を揃える（ピークを -1 dBFS に）"), &dialog);
    normalize->setChecked(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(normalize, grid->rowCount(), 0, 1, -1);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const AudioFileType chosen = AudioFileTypeOfFilter(filter);
        dialog.setDefaultSuffix(QLatin1String(chosen == AudioFileType::Flac  ? "flac"
                                              : chosen == AudioFileType::Ogg ? "ogg"
                                                                             : "wav"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    AudioFileType type = AudioFileTypeOfFilter(dialog.selectedNameFilter());
    AudioFileTypeOfPath(QFile::encodeName(path).toStdString(), type); // a typed extension wins

    QProgressDialog progress(tr("オーディオファイルを書き出しています..."), tr("ｷｬﾝｾﾙ"), 0, 1000,
                             m_pFrame);
    progress.setWindowTitle(QStringLiteral("KesV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    AudioRenderOptions options;
    options.normalize = normalize->isChecked();
    const AudioRenderResult result = RenderSongToAudio(
        m_pFrame->GetDocument()->GetSong(), QFile::encodeName(path).toStdString(), type,
        [&progress](double done) {
            progress.setValue(int(done * 1000));
            return !progress.wasCanceled();
        },
        options);
    progress.reset();
    const bool cancelled = result.failure == AudioRenderResult::Failure::Cancelled;
    if (!result && !cancelled) {
        QMessageBox::warning(
            m_pFrame, QStringLiteral("KesV"),
            tr("%1 に書き出せませんでした。\n%2").arg(Native(path), DescribeAudioFailure(result)));
        return;
    }
    m_pFrame->ShowMessage(cancelled ? tr("オーディオファイルの書き出しを中止しました")
                                    : tr("%1 に書き出しました").arg(Native(path)));
}

QString CExchangeCommands::DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (IsMidiFileName(path) || IsMusicXmlFileName(path) || IsAbcFileName(path) ||
            QFileInfo(path).suffix().toLower() == QLatin1String("kes"))
            return path;
    }
    return {};
}

bool CExchangeCommands::OpenOrImportFile(const QString& path) {
    if (IsMidiFileName(path))
        return ImportMidiFile(path);
    if (IsAbcFileName(path))
        return ImportAbcFile(path);
    return IsMusicXmlFileName(path) ? ImportMusicXmlFile(path) : m_pFrame->OpenDocumentFile(path);
}

void CExchangeCommands::OnFileExportAbc() {
    QFileDialog dialog(m_pFrame, QString(), SuggestedName(QStringLiteral("abc")), AbcFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("abc"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    if (!ExportSongToAbc(m_pFrame->GetDocument()->GetSong(), m_settings.GetTimeSignature(), path,
                         &error)) {
        QMessageBox::warning(m_pFrame, QStringLiteral("KesV"),
                             tr("%1 に書き出せませんでした。\n%2").arg(Native(path), error));
        return;
    }
    m_pFrame->ShowMessage(tr("%1 に書き出しました").arg(Native(path)));
}

void CExchangeCommands::OnFileImportAbc() {
    if (const QString path = AskImportFile(AbcFileFilter()); !path.isEmpty())
        ImportAbcFile(path);
}

bool CExchangeCommands::ChooseAbcTune(const std::vector<AbcTuneInfo>& tunes, int& index) {
    index = 0;
    if (tunes.size() < 2)
        return true;
    CTuneChoiceDlg dialog(tunes, m_pFrame);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    index = dialog.ChosenIndex();
    return true;
}

bool CExchangeCommands::ImportAbcFile(const QString& path) {
    QString error;
    std::vector<AbcTuneInfo> tunes;
    const QString reading = tr("ABC ファイルを読み込んでいます...");
    bool listed = false;
    // The ABC reader is fast and takes no token: Cancel only stops the waiting.
    if (!RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token) {
            listed = ReadAbcTunes(path, tunes, &error);
        }))
        return ReportCancelled();
    int index = 0;
    if (listed && !ChooseAbcTune(tunes, index))
        return false;
    AbcTune import;
    bool imported = false;
    if (listed && !RunOffTheWindowThread(m_pFrame, reading, [&](std::stop_token) {
            imported = ImportSongFromAbc(path, import, &error, index);
        }))
        return ReportCancelled();
    return FinishImport(imported, path, error, import.song,
                        imported ? DescribeAbcImport(import, m_settings.GetTimeSignature())
                                 : QString());
}

void CExchangeCommands::OnEditCopyAsAbc() {
    const CKesView* view = m_pFrame->GetView();
    const Song& song = m_pFrame->GetDocument()->GetSong();
    auto [first, count] = view ? view->GetSelection() : std::pair{0, 0};
    const bool whole = count == 0;
    if (whole)
        count = song.count;
    if (count == 0)
        return;
    QGuiApplication::clipboard()->setText(
        SongToAbcText(song, m_settings.GetTimeSignature(), first, count));
    m_pFrame->ShowMessage(whole ? tr("曲全体を ABC としてコピーしました")
                                : tr("%n 個のイベントを ABC としてコピーしました", nullptr, count));
}

void CExchangeCommands::OnEditPaste() {
    CKesView* view = m_pFrame->GetView();
    if (!view)
        return;
    // Our own events go as they are; of a text, only a tune is read here.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QByteArray text;
    if (data && data->hasText() && !data->hasFormat(QString::fromLatin1(kEventsMimeType)))
        text = data->text().toUtf8();
    const std::string_view abc(text.constData(), size_t(text.size()));
    if (!LooksLikeAbc(abc)) {
        view->OnEditPaste();
        return;
    }
    int index = 0;
    if (!ChooseAbcTune(ListAbcTunes(abc), index))
        return;
    AbcTune tune;
    if (QString error; !ImportSongFromAbcText(text, tune, &error, index)) {
        m_pFrame->ShowFailure(tr("ABC の曲を貼り付けできません。\n%1").arg(error));
        return;
    }
    std::vector<EventBytes> events;
    for (int i = 0; i < tune.song.count; ++i)
        events.push_back({tune.song.events[size_t(i)].code, tune.song.events[size_t(i)].pitch});
    if (!view->PasteEvents(std::move(events)))
        return;
    // The song keeps its own tempo: what the tune's tempo went through does not concern it.
    tune.remarks.tempoClamped = false;
    tune.remarks.tempoChanges = 0;
    const QStringList remarks = AbcImportRemarks(tune, m_settings.GetTimeSignature());
    m_pFrame->ShowMessage(remarks.isEmpty()
                              ? tr("ABC の曲を貼り付けました")
                              : tr("ABC の曲を貼り付けました（%1）").arg(remarks.join(tr("、"))));
}
