#include "kesdoc.h"

#include "song/musictime.h"
#include "song/songcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <vector>

namespace {

QString DescribeDecodeError(SongDecodeError error) {
    switch (error) {
    case SongDecodeError::BadFrame:
        return QStringLiteral("曲ファイルの形式ではありません（先頭が E1 で始まらないか、末尾が FF "
                              "で終わっていません）。");
    case SongDecodeError::UnendedTitle:
        return QStringLiteral("曲ファイルが壊れています（タイトルが終わっていません）。");
    case SongDecodeError::NoTempo:
        return QStringLiteral("曲ファイルが壊れています（テンポがありません）。");
    case SongDecodeError::None:
        break;
    }
    return {};
}

constexpr qint64 kMaxSongFileBytes = 1 << 20; // a song of 999 events is about 2 KB

} // namespace

CKesDoc::CKesDoc(QObject* parent) : QObject(parent) {}

CKesDoc::~CKesDoc() = default;

QString CKesDoc::GetTitle() const {
    if (m_strPathName.isEmpty())
        return QStringLiteral("無題");
    return QFileInfo(m_strPathName).fileName();
}

void CKesDoc::SetModifiedFlag(bool modified) {
    if (m_bModified == modified)
        return;
    m_bModified = modified;
    Q_EMIT modifiedChanged(modified);
}

void CKesDoc::OnSongChanged() {
    ComputeStartTicks(m_song);
    SetModifiedFlag(true);
}

void CKesDoc::OnNewDocument() {
    m_song = Song{};
    ComputeStartTicks(m_song);
    m_strPathName.clear();
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    Q_EMIT songReplaced();
}

bool CKesDoc::OnOpenDocument(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("ファイルを開けません: %1").arg(file.errorString());
        return false;
    }
    if (file.size() > kMaxSongFileBytes) {
        if (error)
            *error =
                QStringLiteral("曲ファイルとしては大きすぎます（%1 バイト）。").arg(file.size());
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("ファイルを読み込めません: %1").arg(file.errorString());
        return false;
    }
    Song song = m_song;
    const SongDecodeError result =
        DecodeSong(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                            size_t(data.size())),
                   song);
    if (result != SongDecodeError::None) {
        if (error)
            *error = DescribeDecodeError(result);
        return false;
    }
    m_song = song;
    ComputeStartTicks(m_song);
    m_strPathName = QFileInfo(path).absoluteFilePath();
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    Q_EMIT songReplaced();
    return true;
}

bool CKesDoc::OnSaveDocument(const QString& path, QString* error) {
    const std::vector<uint8_t> bytes = EncodeSong(m_song);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("ファイルを作成できません: %1").arg(file.errorString());
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("ファイルに書き込めません: %1").arg(file.errorString());
        return false;
    }
    m_strPathName = QFileInfo(path).absoluteFilePath();
    SetModifiedFlag(false);
    Q_EMIT pathChanged(m_strPathName);
    return true;
}
