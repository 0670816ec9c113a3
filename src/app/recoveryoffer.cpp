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

namespace {

struct RecoveryText {
    Q_DECLARE_TR_FUNCTIONS(Recovery)
};

} // namespace

void OfferRecovery(CMainFrame* frame, CAutoBackup* backup, const QString& folder) {
    QStringList damaged;
    bool restored = false;
    for (const auto& claim : CRecoveryClaim::FindOrphans(folder)) {
        if (!claim->IsIntact()) {
            damaged.append(QDir::toNativeSeparators(claim->MoveAside()));
            continue;
        }
        if (restored)
            continue;
        const QString path = claim->GetOriginalPath();
        const QString name =
            path.isEmpty() ? CMainFrame::UntitledName() : QFileInfo(path).fileName();
        const QString when =
            QLocale().toString(claim->GetSavedAt().toLocalTime(), QLocale::ShortFormat);
        QMessageBox box(QMessageBox::Question, QStringLiteral("KesV"),
                        RecoveryText::tr("%1 の保存されていない変更が残っています（%2）。\n"
                                         "復元しますか?")
                            .arg(name, when),
                        QMessageBox::NoButton, frame);
        QPushButton* restore = box.addButton(RecoveryText::tr("復元"), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(RecoveryText::tr("破棄"), QMessageBox::DestructiveRole);
        QPushButton* later = box.addButton(RecoveryText::tr("後で"), QMessageBox::RejectRole);
        box.setDefaultButton(restore);
        box.setEscapeButton(later);
        box.exec();
        if (box.clickedButton() == discard) {
            claim->Discard();
        } else if (box.clickedButton() == restore && frame->SaveModified()) {
            frame->GetDocument()->OnRecoverDocument(claim->GetSong(), path);
            // The song is safe in this window's own file before the old one goes.
            backup->BackUpNow();
            claim->Discard();
            restored = true;
        }
    }
    if (!damaged.isEmpty())
        frame->ShowMessage(RecoveryText::tr("壊れた復元ファイルを %1 に移しました")
                               .arg(damaged.join(QStringLiteral("、"))));
}

QString DescribeBackupFailure(const RecoveryWriteError& error) {
    if (error.kind == RecoveryWriteError::Kind::CannotLock)
        return RecoveryText::tr("自動バックアップを %1 に書けません: 別の KesV が使っています")
            .arg(QDir::toNativeSeparators(error.folder));
    return RecoveryText::tr("自動バックアップを %1 に書けません: %2")
        .arg(QDir::toNativeSeparators(error.folder), qt_error_string(error.systemError));
}
