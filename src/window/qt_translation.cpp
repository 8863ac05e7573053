#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

QtTranslation::QtTranslation() = default;

// The translator removes itself from the application as it goes.
QtTranslation::~QtTranslation() = default;

QString QtTranslation::qtLanguage(const QString &languageName)
{
    // By the language's own name, whatever slot its file went into. Qt translates into
    // Brazilian Portuguese only: closer to European Portuguese than Qt's English.
    static const std::pair<QString, QString> known[] = {
        { u"Español"_s, u"es"_s },
        { u"Català"_s, u"ca"_s },
        { u"Français"_s, u"fr"_s },
        { u"Português"_s, u"pt_BR"_s },
    };
    const QString name = languageName.trimmed();
    for (const auto &[own, qt] : known) {
        if (name.compare(own, Qt::CaseInsensitive) == 0)
            return qt;
    }
    return {};
}

QStringList QtTranslation::folders()
{
    return { QCoreApplication::applicationDirPath() + u"/translations"_s,
             QLibraryInfo::path(QLibraryInfo::TranslationsPath) };
}

bool QtTranslation::use(const QString &languageName)
{
    // Removing a translator and installing one each tell every widget that the language
    // changed: Qt's dialogs, open or not, then speak the new one.
    const QString language = qtLanguage(languageName);
    if (m_translator && language == m_language)
        return true;
    m_translator.reset();
    if (language.isEmpty())
        return false;
    auto translator = std::make_unique<QTranslator>();
    for (const QString &folder : folders()) {
        if (translator->load(u"qtbase_"_s + language, folder)) {
            QCoreApplication::installTranslator(translator.get());
            m_translator = std::move(translator);
            m_language = language;
            return true;
        }
    }
    return false;
}
