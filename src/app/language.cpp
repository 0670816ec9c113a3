#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

UiLanguage ChooseUiLanguage(const QStringList& uiLanguages) {
    if (uiLanguages.isEmpty())
        return UiLanguage::Japanese;
    const QString first = uiLanguages.constFirst();
    if (first == QLatin1String("C") || first == QLatin1String("POSIX") ||
        first == QLatin1String("ja") || first.startsWith(QLatin1String("ja-")) ||
        first.startsWith(QLatin1String("ja_")))
        return UiLanguage::Japanese;
    return UiLanguage::English;
}

UiLanguage SystemUiLanguage() {
    return ChooseUiLanguage(QLocale::system().uiLanguages());
}

namespace {

QPointer<QTranslator> g_program;
QPointer<QTranslator> g_qt;

void Replace(QPointer<QTranslator>& slot, QTranslator* translator) {
    if (slot) {
        QCoreApplication::removeTranslator(slot);
        delete slot;
    }
    slot = translator;
    if (translator)
        QCoreApplication::installTranslator(translator);
}

} // namespace

void InstallTranslations(QCoreApplication& app, UiLanguage language) {
    const bool english = language == UiLanguage::English;
    auto* qt = new QTranslator(&app);
    if (!qt->load(QLocale(english ? QLocale::English : QLocale::Japanese,
                          english ? QLocale::UnitedStates : QLocale::Japan),
                  QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        qt = nullptr;
    }
    Replace(g_qt, qt);

    QTranslator* program = nullptr;
    if (english) {
        program = new QTranslator(&app);
        if (!program->load(QStringLiteral(":/i18n/kesv_en.qm"))) {
            delete program;
            program = nullptr;
        }
    }
    Replace(g_program, program);
}
