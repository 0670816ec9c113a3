#include "keynames.h"

#include <QCoreApplication>

namespace {

struct KeyNameText {
    Q_DECLARE_TR_FUNCTIONS(KeyName)
};

// Step letters C to B as the key names have them.
constexpr const char* kLetters[] = {
    QT_TRANSLATE_NOOP("KeyName", "ハ"), QT_TRANSLATE_NOOP("KeyName", "ニ"),
    QT_TRANSLATE_NOOP("KeyName", "ホ"), QT_TRANSLATE_NOOP("KeyName", "ヘ"),
    QT_TRANSLATE_NOOP("KeyName", "ト"), QT_TRANSLATE_NOOP("KeyName", "イ"),
    QT_TRANSLATE_NOOP("KeyName", "ロ"),
};

} // namespace

QString SongKeyName(const SongKey& key) {
    const KeySpelling tonic = SpellKeyIn(TonicPitchClass(key), key);
    QString name = KeyNameText::tr(kLetters[(tonic.step - 'A' + 5) % 7]);
    if (tonic.alter > 0)
        name = KeyNameText::tr("嬰%1").arg(name);
    else if (tonic.alter < 0)
        name = KeyNameText::tr("変%1").arg(name);
    return key.minor ? KeyNameText::tr("%1短調").arg(name) : KeyNameText::tr("%1長調").arg(name);
}
