#include "generalmidi.h"

#include <QCoreApplication>

namespace {

// The sixteen families of eight General MIDI programs each.
constexpr const char* kFamilies[] = {
    QT_TRANSLATE_NOOP("GeneralMidi", "ピアノ"),
    QT_TRANSLATE_NOOP("GeneralMidi", "クロマチック打楽器"),
    QT_TRANSLATE_NOOP("GeneralMidi", "オルガン"),
    QT_TRANSLATE_NOOP("GeneralMidi", "ギター"),
    QT_TRANSLATE_NOOP("GeneralMidi", "ベース"),
    QT_TRANSLATE_NOOP("GeneralMidi", "ストリングス"),
    QT_TRANSLATE_NOOP("GeneralMidi", "アンサンブル"),
    QT_TRANSLATE_NOOP("GeneralMidi", "ブラス"),
    QT_TRANSLATE_NOOP("GeneralMidi", "リード"),
    QT_TRANSLATE_NOOP("GeneralMidi", "パイプ"),
    QT_TRANSLATE_NOOP("GeneralMidi", "シンセリード"),
    QT_TRANSLATE_NOOP("GeneralMidi", "シンセパッド"),
    QT_TRANSLATE_NOOP("GeneralMidi", "シンセ効果"),
    QT_TRANSLATE_NOOP("GeneralMidi", "民族楽器"),
    QT_TRANSLATE_NOOP("GeneralMidi", "打楽器"),
    QT_TRANSLATE_NOOP("GeneralMidi", "効果音"),
};

} // namespace

QString GeneralMidiInstrumentName(int program) {
    if (program < 0 || program > 127)
        return QStringLiteral("-");
    return QStringLiteral("%1 (%2)")
        .arg(QCoreApplication::translate("GeneralMidi", kFamilies[program / 8]))
        .arg(program + 1);
}
