// porteval: set up and test a card-reader terminal on a serial line.
//   porteval          the system's serial ports
//   porteval --demo   the built-in simulated terminal behind every port number
#include "platform/system_ports.h"
#include "sim/demo_ports.h"
#include "window/frm_config_porteval.h"
#include "window/resources/resources.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"porteval"_s);
    QApplication::setApplicationVersion(QStringLiteral(PORTEVAL_VERSION));
    initPortevalResources();
    QApplication::setWindowIcon(QIcon(u":/porteval/porteval.png"_s));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Set up and test a card-reader terminal on a serial line."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(u"demo"_s,
                                  u"Talk to the built-in simulated terminal instead of a serial "
                                  "port: every port number reaches it."_s);
    parser.addOption(demo);
    parser.process(app);

    SystemPorts systemPorts;
    DemoPorts demoPorts;
    const bool demoMode = parser.isSet(demo);
    PortProvider &ports = demoMode ? static_cast<PortProvider &>(demoPorts) : systemPorts;

    // The language files live beside the program.
    frmConfigPorteval window(ports, QCoreApplication::applicationDirPath());
    QString version = u"porteval "_s + QCoreApplication::applicationVersion();
    if (demoMode)
        version += u"  \u2013  demo: simulated terminal"_s;
    window.setVersionText(version);
    window.show();
    return app.exec();
}
