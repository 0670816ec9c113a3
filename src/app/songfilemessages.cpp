#include "songfilemessages.h"

#include "document/kesdoc.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("SongFile", text);
}

QString DescribeDecodeError(SongDecodeError error) {
    switch (error) {
    case SongDecodeError::BadFrame:
        return Tr("曲ファイルの形式ではありません（先頭が E1 で始まらないか、末尾が FF "
                  "で終わっていません）。");
    case SongDecodeError::UnendedTitle:
        return Tr("曲ファイルが壊れています（タイトルが終わっていません）。");
    case SongDecodeError::NoTempo:
        return Tr("曲ファイルが壊れています（テンポがありません）。");
    case SongDecodeError::None:
        break;
    }
    return {};
}

QString DescribeFileType(SongFileError::FileType type) {
    switch (type) {
    case SongFileError::FileType::Folder:
        return Tr("フォルダ");
    case SongFileError::FileType::Device:
        return Tr("デバイス");
    case SongFileError::FileType::Pipe:
        return Tr("名前付きパイプ");
    case SongFileError::FileType::Socket:
        return Tr("ソケット");
    case SongFileError::FileType::Other:
        break;
    }
    return Tr("特殊なファイル");
}

} // namespace

QString DescribeSongFileError(const SongFileError& error) {
    using Kind = SongFileError::Kind;
    switch (error.kind) {
    case Kind::NotRegularFile:
        return Tr("通常のファイルではありません（%1）。").arg(DescribeFileType(error.fileType));
    case Kind::CannotOpen:
        return Tr("ファイルを開けません: %1").arg(qt_error_string(error.systemError));
    case Kind::CannotRead:
        return Tr("ファイルを読み込めません: %1").arg(qt_error_string(error.systemError));
    case Kind::TooLarge:
        return Tr("曲ファイルとしては大きすぎます（%1 バイト）。").arg(error.size);
    case Kind::Malformed:
        return DescribeDecodeError(error.decode);
    case Kind::CannotCreate:
        return Tr("ファイルを作成できません: %1").arg(error.detail);
    case Kind::CannotWrite:
        return Tr("ファイルに書き込めません: %1").arg(error.detail);
    case Kind::None:
        break;
    }
    return {};
}
