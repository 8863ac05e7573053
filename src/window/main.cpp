// porteval: set up and test a card-reader terminal on a serial line.
//   porteval          the system's serial ports
//   porteval --demo   the built-in simulated terminal behind every port number
#include "history/history_file.h"
#include "platform/system_ports.h"
#include "sim/demo_ports.h"
#include "window/frm_config_porteval.h"
#include "window/qt_translation.h"
#include "window/resources/resources.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Whether Qt can open a window here. Without a display server, Qt's X11 and Wayland platforms
// abort with advice to reinstall, which sends the user the wrong way; every other platform
// (offscreen, vnc, eglfs, ...) brings its own screen, and Windows and macOS always have one.
bool windowCanOpen(const QStringList &arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (const QString &option : { u"-platform"_s, u"--platform"_s }) {
        const qsizetype at = arguments.indexOf(option);
        if (at > 0 && at + 1 < arguments.size())
            platforms = arguments.at(at + 1);
    }
    // A list such as "wayland;xcb" is tried in order; a name may carry options after ':'.
    for (const QString &platform : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString name = platform.section(u':', 0, 0);
        if (name != u"xcb"_s && !name.startsWith(u"wayland"_s))
            return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(arguments);
    return true;
#endif
}

// Under Wine, Qt's Windows font engine (GDI and DirectWrite alike) draws no text in line edits:
// the port box and the key boxes look empty. Its FreeType engine draws them. On Windows itself
// nothing changes, and a platform the user names wins.
void drawTextUnderWine(const QStringList &arguments)
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !arguments.contains(u"-platform"_s))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#else
    Q_UNUSED(arguments);
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(u"porteval"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(PORTEVAL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Set up and test a card-reader terminal on a serial line."_s);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption demo(u"demo"_s,
                                  u"Talk to the built-in simulated terminal instead of a serial "
                                  "port: every port number reaches it."_s);
    parser.addOption(demo);

    // --help and --version need no window, and the window needs a display: both are decided
    // before Qt's GUI starts. Mistyped options are reported later, by the window's own parse,
    // once Qt has taken its own options (-platform, -style, ...) out of the list.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    parser.parse(arguments);
    if (parser.isSet(helpOption) || parser.isSet(versionOption) || !windowCanOpen(arguments)) {
        // The usage line shows the first argument: the name the user types, not the path of
        // the binary behind the launcher.
        char name[] = "porteval";
        char *coreArgv[] = { name, nullptr };
        int coreArgc = 1;
        QCoreApplication app(coreArgc, coreArgv);
        if (parser.isSet(helpOption))
            parser.showHelp();
        if (parser.isSet(versionOption))
            parser.showVersion();
        std::fputs(
            "porteval: no display found; the window needs a graphical session. Without one, use "
            "porteval-cli, or try the window with: xvfb-run porteval --demo\n",
            stderr);
        return 1;
    }

    drawTextUnderWine(arguments);
    QApplication app(argc, argv);
    initPortevalResources();
    QApplication::setWindowIcon(QIcon(u":/porteval/porteval.png"_s));
    parser.process(app);

    SystemPorts systemPorts;
    DemoPorts demoPorts;
    const bool demoMode = parser.isSet(demo);
    PortProvider &ports = demoMode ? static_cast<PortProvider &>(demoPorts) : systemPorts;

    // Qt's own texts follow the language the window shows.
    QtTranslation qtTexts;
    // The language files live beside the program.
    frmConfigPorteval window(ports, QCoreApplication::applicationDirPath(), historyFilePath());
    window.setVersionText(u"porteval "_s + QCoreApplication::applicationVersion(), demoMode);
    window.show();
    return app.exec();
}
