#include "recoveryoffer.h"

#include "document/autobackup.h"
#include "document/kesdoc.h"
#include "document/recovery.h"
#include "mainframe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <memory>

namespace {

struct RecoveryText {
    Q_DECLARE_TR_FUNCTIONS(Recovery)
};

} // namespace

void OfferRecovery(CMainFrame* frame, CAutoBackup* backup, const QString& folder) {
    const auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
    QStringList damaged;
    QStringList notes;
    bool restored = false;
    for (auto& claim : CRecoveryClaim::FindOrphans(folder)) {
        if (!claim->IsIntact()) {
            int error = 0;
            const QString movedTo = claim->MoveAside(&error);
            if (movedTo.isEmpty())
                notes.append(RecoveryText::tr("壊れた復元ファイル %1 を移せませんでした: %2")
                                 .arg(native(claim->SongFile()), qt_error_string(error)));
            else
                damaged.append(native(movedTo));
            continue;
        }
        if (restored)
            continue;
        const QString path = claim->GetOriginalPath();
        const QString name =
            path.isEmpty() ? CMainFrame::UntitledName() : QFileInfo(path).fileName();
        const auto when = [](const QDateTime& at) {
            return QLocale().toString(at.toLocalTime(), QLocale::ShortFormat);
        };
        QString question = RecoveryText::tr("%1 の保存されていない変更が残っています（%2）。")
                               .arg(name, when(claim->GetSavedAt()));
        // Restoring an older state and saving it would overwrite the newer file.
        const QDateTime fileSavedAt = claim->GetFileSavedAt();
        if (fileSavedAt.isValid() && fileSavedAt > claim->GetSavedAt())
            question +=
                QLatin1Char('\n') + RecoveryText::tr("%1 はその後（%2）に保存されています。")
                                        .arg(name, when(fileSavedAt));
        question += QLatin1Char('\n') + RecoveryText::tr("復元しますか?");
        QMessageBox box(QMessageBox::Question, QStringLiteral("KesV"), question,
                        QMessageBox::NoButton, frame);
        QPushButton* restore = box.addButton(RecoveryText::tr("復元"), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(RecoveryText::tr("破棄"), QMessageBox::DestructiveRole);
        QPushButton* later = box.addButton(RecoveryText::tr("後で"), QMessageBox::RejectRole);
        box.setDefaultButton(restore);
        box.setEscapeButton(later);
        box.exec();
        if (box.clickedButton() == discard) {
            if (const int error = claim->Discard())
                notes.append(RecoveryText::tr("復元ファイル %1 を削除できませんでした: %2")
                                 .arg(native(claim->SongFile()), qt_error_string(error)));
        } else if (box.clickedButton() == restore && frame->SaveModified()) {
            frame->GetDocument()->OnRecoverDocument(claim->GetSong(), path);
            // The old file goes only once the song is safe in this window's own.
            RecoveryWriteError error;
            if (backup->BackUpNow(&error)) {
                claim->Discard();
            } else {
                const QString why = error.kind == RecoveryWriteError::Kind::None
                                        ? RecoveryText::tr("自動バックアップは切られています")
                                        : DescribeBackupFailure(error);
                notes.append(RecoveryText::tr("%1。復元ファイル %2 は曲を保存するまで残します")
                                 .arg(why, native(claim->SongFile())));
                backup->KeepClaim(std::move(claim));
            }
            restored = true;
        }
    }
    if (!damaged.isEmpty())
        notes.prepend(RecoveryText::tr("壊れた復元ファイルを %1 に移しました")
                          .arg(damaged.join(QStringLiteral("、"))));
    if (!notes.isEmpty()) {
        // After the backup's own report of a failed write, which is already on its way.
        QMetaObject::invokeMethod(
            frame, [frame, text = notes.join(QStringLiteral("  "))] { frame->ShowMessage(text); },
            Qt::QueuedConnection);
    }
}

void ShowBackupFailures(CMainFrame* frame, CAutoBackup* backup) {
    auto shown = std::make_shared<QString>();
    QObject::connect(backup, &CAutoBackup::backupFailed, frame,
                     [frame, shown](const RecoveryWriteError& error) {
                         *shown = DescribeBackupFailure(error);
                         frame->ShowMessage(*shown);
                     });
    QObject::connect(backup, &CAutoBackup::backupResumed, frame, [frame, shown] {
        if (!shown->isEmpty() && frame->statusBar()->currentMessage().startsWith(*shown))
            frame->ShowMessage(QString());
        shown->clear();
    });
}

QString DescribeBackupFailure(const RecoveryWriteError& error) {
    if (error.kind == RecoveryWriteError::Kind::CannotLock)
        return RecoveryText::tr("自動バックアップを %1 に書けません: 別の KesV が使っています")
            .arg(QDir::toNativeSeparators(error.folder));
    return RecoveryText::tr("自動バックアップを %1 に書けません: %2")
        .arg(QDir::toNativeSeparators(error.folder), qt_error_string(error.systemError));
}
