#include "qt_translation.h"

#include "texts/language_list.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {
QtTranslation *theTranslation = nullptr;
} // namespace

QtTranslation::QtTranslation()
{
    Q_ASSERT(!theTranslation);
    theTranslation = this;
}

// The translator removes itself from the application as it goes.
QtTranslation::~QtTranslation()
{
    theTranslation = nullptr;
}

QtTranslation *QtTranslation::instance()
{
    return theTranslation;
}

QString QtTranslation::qtLanguage(const QString &languageName)
{
    // By the language's own name, whatever slot its file went into.
    const QString name = languageName.trimmed();
    for (const LanguageEntry &language : kLanguages) {
        if (name.compare(QStringView(language.ownName), Qt::CaseInsensitive) == 0)
            return QLatin1String(language.qtName);
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
