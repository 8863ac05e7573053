// Qt's own texts (standard buttons, file dialogs, context menus) in the language the window
// shows, from Qt's translation files. Qt's translator is the application's: main makes the one
// QtTranslation, and every window has it follow the language it shows.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QTranslator;

class QtTranslation
{
public:
    QtTranslation();
    ~QtTranslation();
    // The application's, while it exists; nullptr when none was made.
    static QtTranslation *instance();
    QtTranslation(const QtTranslation &) = delete;
    QtTranslation &operator=(const QtTranslation &) = delete;

    // Qt's name for the language that a language file names on its first line ("Français":
    // "fr"); empty for English, which Qt has built in, and for a language Qt does not know.
    static QString qtLanguage(const QString &languageName);
    // Where Qt's translations are looked for: the "translations" folder beside the program
    // (what the Windows release carries), then Qt's own.
    static QStringList folders();

    // Installs Qt's translation of `languageName` on the application in place of the one
    // before. False, and Qt's English, when there is none.
    bool use(const QString &languageName);

private:
    std::unique_ptr<QTranslator> m_translator;
    QString m_language; // Qt's name of the one installed
};
