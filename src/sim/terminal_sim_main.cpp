// porteval-terminal-sim: the simulated terminal on a pseudo-terminal, a serial port or a TCP
// port, for tests of the real port paths and for trying the program without a reader.
#include "sim/frame_log.h"
#include "sim/serial_port_terminal.h"
#include "sim/sim_rules.h"
#include "sim/tcp_terminal.h"
#ifdef PORTEVAL_HAVE_PTY
#include "sim/pty_terminal.h"
#endif

#include <QCoreApplication>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so that the port is closed properly.
bool quitOnSignals(QCoreApplication &app)
{
    if (::pipe(signalPipe) != 0)
        return false;
    for (int fd : signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0
        && ::sigaction(SIGINT, &action, nullptr) == 0;
}
#else
// Ctrl+C ends the process at once; every log line is already on disk.
bool quitOnSignals(QCoreApplication &)
{
    return true;
}
#endif

void printError(const QString &text)
{
    std::fprintf(stderr, "porteval-terminal-sim: %s\n", qPrintable(text));
}

std::unique_ptr<SimTransport> makeTransport(const SimCommandLine &commandLine,
                                            TerminalSimulator &terminal)
{
    if (!commandLine.serialPort.isEmpty())
        return std::make_unique<SerialPortTerminal>(terminal, commandLine.serialPort);
    if (!commandLine.listenHost.isEmpty()) {
        return std::make_unique<TcpTerminal>(terminal, commandLine.listenHost,
                                             commandLine.listenPort);
    }
#ifdef PORTEVAL_HAVE_PTY
    auto pty = std::make_unique<PtyTerminal>(terminal);
    pty->setJunk(commandLine.junk);
    return pty;
#else
    return nullptr;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QString error;
    const auto commandLine = parseSimArguments(app.arguments().mid(1), &error);
    if (!commandLine) {
        printError(error);
        return 2;
    }
    if (commandLine->help) {
        std::fputs(qPrintable(simUsage()), stdout);
        return 0;
    }
    if (commandLine->version) {
        std::puts("porteval-terminal-sim " PORTEVAL_VERSION);
        return 0;
    }

    TerminalSimulator terminal(commandLine->options);
    FrameLog log;
    if (!commandLine->logFile.isEmpty()) {
        if (!log.open(commandLine->logFile, &error)) {
            printError(error);
            return 1;
        }
        log.follow(terminal);
    }
    const std::unique_ptr<SimTransport> transport = makeTransport(*commandLine, terminal);
    if (!transport) {
        printError(QStringLiteral("no pseudo-terminals on this system: use --port or --listen"));
        return 2;
    }
    if (!transport->open(&error) || !quitOnSignals(app)) {
        printError(error.isEmpty() ? QStringLiteral("cannot catch SIGTERM") : error);
        return 1;
    }
    QObject::connect(transport.get(), &SimTransport::finished, &app, &QCoreApplication::exit);

    // The first line is for whoever started us: what to open.
    std::printf("%s\n", qPrintable(transport->address()));
    std::fflush(stdout);
    return app.exec();
}
