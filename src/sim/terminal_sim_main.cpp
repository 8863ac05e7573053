// porteval-terminal-sim: the simulated terminal on a pseudo-terminal, for tests of the real
// serial-port path and for trying the program without a reader.
#include "sim/pty_terminal.h"
#include "sim/sim_rules.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so that the log is flushed and the pseudo-terminal
// closed properly.
bool quitOnSignals(QCoreApplication &app)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
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

void printError(const QString &text)
{
    std::fprintf(stderr, "porteval-terminal-sim: %s\n", qPrintable(text));
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

    PtyTerminal terminal(commandLine->options);
    if (!commandLine->logFile.isEmpty() && !terminal.startLog(commandLine->logFile, &error)) {
        printError(error);
        return 1;
    }
    if (!terminal.open(&error) || !quitOnSignals(app)) {
        printError(error.isEmpty() ? QStringLiteral("cannot catch SIGTERM") : error);
        return 1;
    }
    QObject::connect(&terminal, &PtyTerminal::finished, &app, &QCoreApplication::exit);

    // The first line is for whoever started us: the device to open.
    std::printf("%s\n", qPrintable(terminal.devicePath()));
    std::fflush(stdout);
    return app.exec();
}
