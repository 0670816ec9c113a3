// The view's commands: the header's tempo and title dialogs, the song's key and time
// signature, play, stop and record, incoming MIDI notes, the play position and the sounding of
// entered notes.
#include "kesview.h"

#include "dialogs/inputdlg.h"
#include "dialogs/songmusicdlg.h"
#include "dialogs/tempodlg.h"
#include "document/kesdoc.h"
#include "midi/midiconnection.h"
#include "settings/envsettings.h"
#include "song/musickey.h"
#include "song/musictime.h"
#include "text/cp932.h"
#include "view/kesviewaccessible.h"
#include "view/noteaudition.h"
#include "view/playbackcontrol.h"
#include "view/staffpainter.h"
#include "view/stepscope.h"

#include <QAction>
#include <QMessageBox>

#include <algorithm>

void CKesView::OnPlayRowChanged(int row) {
    const Song& song = m_pDocument->GetSong();
    if (m_nPlayRow >= 0)
        InvalidateRow(m_nPlayRow, false);
    // The song may have lost rows while it played.
    m_nPlayRow = row < 0 ? -1 : std::min(row, song.count);
    if (m_nPlayRow < 0) {
        if (m_nStaffRow >= 0) {
            m_nStaffRow = -1; // back to the cursor's bar
            InvalidateStaffPanel();
        }
        return;
    }
    InvalidateRow(m_nPlayRow, false);
    // The panel turns to the played bar once the play leaves the bars it shows.
    const int listWidth = GetListWidth();
    const PixelRect panel{listWidth + 1, 1, viewport()->width() - 1, kStaffPanelHeight - 1};
    const uint32_t origin = StaffOriginTick(song, GetStaffOriginRow(),
                                            SongMeter(song, m_pSettings->GetTimeSignature()));
    const uint32_t tick = song.events[size_t(m_nPlayRow)].startTick;
    if (tick < origin || tick - origin >= CStaffPainter::VisibleTicks(panel)) {
        m_nStaffRow = m_nPlayRow;
        InvalidateStaffPanel();
    }
}

void CKesView::OnLButtonDown(Qt::KeyboardModifiers /*flags*/, const QPoint& point) {
    switch (HitTestHeader(m_metrics, point.x(), point.y())) {
    case HeaderHit::Tempo:
        OnEditTempo();
        break;
    case HeaderHit::Title:
        OnEditTitle();
        break;
    case HeaderHit::None:
        break;
    }
}

void CKesView::OnEditTempo() {
    if (m_nStepDepth > 0)
        return;
    Song& song = m_pDocument->GetSong();
    CTempoDlg dialog(this);
    dialog.m_nTempo = TempoFromByte(song.tempo);
    const uint8_t before = song.tempo;
    if (dialog.exec() == QDialog::Accepted && TempoToByte(dialog.m_nTempo) != before) {
        const CStepScope scope(*this);
        NameStep(tr("テンポ変更"));
        song.tempo = TempoToByte(dialog.m_nTempo);
        new CTempoCommand(song, before, song.tempo, CurrentStep());
        SetSongModified();
        RedrawAll();
    }
}

void CKesView::OnEditTitle() {
    if (m_nStepDepth > 0)
        return;
    Song& song = m_pDocument->GetSong();
    CInputDlg dialog(tr("Title編集"), this);
    dialog.m_strText = DecodeCp932(song.title);
    const std::string before = song.title;
    // The dialog accepts only titles that cp932 holds within the file's limit.
    if (dialog.exec() == QDialog::Accepted &&
        EncodeCp932(dialog.m_strText).value_or(before) != before) {
        const CStepScope scope(*this);
        NameStep(tr("タイトル変更"));
        song.title = EncodeCp932(dialog.m_strText).value_or(before);
        new CTitleCommand(song, before, song.title, CurrentStep());
        SetSongModified();
        RedrawAll();
    }
}

void CKesView::OnEditSongMusic() {
    if (m_nStepDepth > 0)
        return;
    Song& song = m_pDocument->GetSong();
    CSongMusicDlg dialog(DetectKey(song), m_pSettings->GetTimeSignature(), this);
    dialog.m_music = song.music;
    const SongMusic before = song.music;
    if (dialog.exec() == QDialog::Accepted && dialog.m_music != before) {
        const CStepScope scope(*this);
        NameStep(tr("調と拍子の変更"));
        song.music = dialog.m_music;
        new CMusicCommand(song, before, song.music, CurrentStep());
        SetSongModified();
        RedrawAll();
    }
}

void CKesView::Refuse(const QString& text) {
    Q_EMIT statusMessage(text);
    CKesViewAccessible::Announce(this, text);
}

int CKesView::OnCreate(CMidiConnection* connection) {
    m_pConnection = connection;
    if (m_pConnection) {
        m_pConnection->SetReceiver(
            {this, [this](quint32 message) { OnMidiInData(message); }, [this] { OnMidiInLost(); }});
        m_pConnection->Open(); // a failure only leaves recording off
    }
    Q_EMIT midiCommandsChanged();
    return 0;
}

void CKesView::OnMidiPlay() {
    PlayRows(0, -1);
}

void CKesView::OnMidiPlayFromCursor() {
    const auto [first, count] = GetSelection();
    if (count > 0)
        PlayRows(first, count);
    else
        PlayRows(Cursor().row, -1);
}

void CKesView::PlayRows(int first, int count) {
    if (m_pPlayback->IsPlaying())
        return; // one run at a time
    const std::string output = m_pSettings->OutputDeviceName();
    if (output.empty()) {
        Q_EMIT failureMessage(
            tr("MIDI 出力デバイスが選ばれていません（表示 → 動作環境 で選べます）"));
        return;
    }
    m_pAudition->Silence(); // the run's first note must not meet an entered one
    if (!m_pPlayback->Play(m_pDocument->GetSong(), output, first, count)) {
        Q_EMIT failureMessage(tr("MIDI 出力デバイスが使用できません"));
        return;
    }
    Q_EMIT statusMessage(QString());
}

void CKesView::SetAuditionEnabled(bool enabled) {
    m_bAudition = enabled;
    if (!enabled)
        m_pAudition->Silence();
}

void CKesView::OnNoteEntered(int row) {
    if (!m_bAudition || m_pPlayback->IsPlaying())
        return;
    const Song& song = m_pDocument->GetSong();
    const SongEvent& event = song.events[size_t(row)];
    if (!IsNotePitch(event.pitch))
        return; // a rest or a tie
    const int ticks = GetDurationTicks(event.code);
    if (ticks <= 0)
        return; // sounds nothing when played either
    // The player's arithmetic: whole milliseconds per quarter at the slowest playable tempo.
    const int msPerQuarter = 60000 / std::max(1, TempoFromByte(song.tempo));
    const int durationMs = int(int64_t(ticks) * msPerQuarter / kTicksPerQuarter);
    m_pAudition->Play(m_pSettings->OutputDeviceName(), uint8_t(event.pitch + kPitchToKey),
                      durationMs);
}

void CKesView::OnMidiStop() {
    m_pPlayback->Stop();
}

void CKesView::OnMidiRecord() {
    if (!m_pConnection)
        return;
    if (m_pConnection->IsOpen()) {
        m_pConnection->Close();
        Q_EMIT midiCommandsChanged();
        return;
    }
    const bool opened = bool(m_pConnection->Open());
    Q_EMIT midiCommandsChanged();
    if (!opened) {
        // None chosen is no broken device: say where to choose one, as play does.
        const QString text =
            m_pSettings->InputDeviceName().empty()
                ? tr("MIDI 入力デバイスが選ばれていません（表示 → 動作環境 で選べます）")
                : tr("MIDI 入力デバイスが使用できません");
        QMessageBox box(QMessageBox::Warning, tr("OKT:MIDI録音"), text, QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("MidiRecordFailure"));
        box.exec();
    }
}

void CKesView::OnUpdateMidiPlay(QAction* cmdUI) const {
    cmdUI->setEnabled(!m_pPlayback->IsPlaying());
}

void CKesView::OnUpdateMidiStop(QAction* cmdUI) const {
    cmdUI->setEnabled(m_pPlayback->IsPlaying());
}

void CKesView::OnUpdateMidiRecord(QAction* cmdUI) const {
    cmdUI->setEnabled(true);
    cmdUI->setCheckable(true);
    cmdUI->setChecked(m_pConnection && m_pConnection->IsOpen());
}

void CKesView::OnMidiInLost() {
    Q_EMIT statusMessage(
        tr("録音中に MIDI 入力の一部が失われたかもしれません（処理が間に合いませんでした）"));
}

void CKesView::OnMidiInData(quint32 message) {
    // The echo goes first so that what the player hears does not wait for the painting.
    if (m_pConnection)
        m_pConnection->SendShort(message);
    const uint8_t status = uint8_t(message & 0xFF);
    const int key = int((message >> 8) & 0xFF);
    const int velocity = int((message >> 16) & 0xFF);
    // Keys 10 to 104 are the pitches 1 to 95 of a song; a note-on of velocity 0 is a release.
    if ((status & 0xF0) == 0x90 && velocity != 0 && key >= kLowestNoteKey &&
        key <= kHighestNoteKey) {
        const CStepScope scope(*this); // one step per note
        m_editor.EnterRecordedPitch(key - kPitchToKey);
    }
}
