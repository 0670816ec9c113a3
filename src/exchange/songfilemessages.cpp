#include "songfilemessages.h"

#include "document/kesdoc.h"

#include <QCoreApplication>

namespace {

// The context of these texts in the translations.
struct SongFileText {
    Q_DECLARE_TR_FUNCTIONS(SongFile)
};

QString DescribeDecodeError(SongDecodeError error) {
    switch (error) {
    case SongDecodeError::BadFrame:
        return SongFileText::tr(
            "KesV の曲ファイルではありません（先頭が E1 で始まらないか、末尾が FF "
            "で終わっていません）。MIDI ファイルや MusicXML の楽譜は読み込みのコマンドで"
            "開いてください。");
    case SongDecodeError::UnendedTitle:
        return SongFileText::tr("曲ファイルが壊れています（タイトルが終わっていません）。");
    case SongDecodeError::NoTempo:
        return SongFileText::tr("曲ファイルが壊れています（テンポがありません）。");
    case SongDecodeError::None:
        break;
    }
    return {};
}

QString DescribeFileType(SongFileError::FileType type) {
    switch (type) {
    case SongFileError::FileType::Folder:
        return SongFileText::tr("フォルダ");
    case SongFileError::FileType::Device:
        return SongFileText::tr("デバイス");
    case SongFileError::FileType::Pipe:
        return SongFileText::tr("名前付きパイプ");
    case SongFileError::FileType::Socket:
        return SongFileText::tr("ソケット");
    case SongFileError::FileType::Other:
        break;
    }
    return SongFileText::tr("特殊なファイル");
}

} // namespace

QString DescribeSongFileError(const SongFileError& error) {
    using Kind = SongFileError::Kind;
    switch (error.kind) {
    case Kind::NotRegularFile:
        return SongFileText::tr("通常のファイルではありません（%1）。")
            .arg(DescribeFileType(error.fileType));
    case Kind::CannotOpen:
        return SongFileText::tr("ファイルを開けません: %1").arg(qt_error_string(error.systemError));
    case Kind::CannotRead:
        return SongFileText::tr("ファイルを読み込めません: %1")
            .arg(qt_error_string(error.systemError));
    case Kind::TooLarge:
        return SongFileText::tr("曲ファイルとしては大きすぎます（%1 バイト）。").arg(error.size);
    case Kind::Malformed:
        return DescribeDecodeError(error.decode);
    case Kind::CannotSave:
        return DescribeFileWriteError(error.write);
    case Kind::None:
        break;
    }
    return {};
}

QString DescribeFileWriteError(const FileWriteError& error) {
    using Step = FileWriteError::Step;
    QString what;
    switch (error.step) {
    case Step::None:
        return {};
    case Step::NotRegular:
        return SongFileText::tr("通常のファイルではありません。");
    case Step::ReadOnly:
        return SongFileText::tr("ファイルは書き込みが禁止されています。");
    case Step::ReadLink:
        what = SongFileText::tr("リンク先を読めません: %1");
        break;
    case Step::Open:
        what = SongFileText::tr("ファイルを開けません: %1");
        break;
    case Step::Write:
        what = SongFileText::tr("ファイルに書き込めません: %1");
        break;
    case Step::CreateFolder:
        what = SongFileText::tr("フォルダを作成できません: %1");
        break;
    case Step::Create:
        what = SongFileText::tr("ファイルを作成できません: %1");
        break;
    case Step::Replace:
        what = SongFileText::tr("ファイルを置き換えられません: %1");
        break;
    }
    return what.arg(qt_error_string(error.systemError));
}
