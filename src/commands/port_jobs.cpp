#include "port_jobs.h"

#include "commands/reader_session.h"
#include "link/command_set.h"

#include <QElapsedTimer>
#include <QThread>

PortOutcome runOnPort(PortProvider &ports, const LanguageTable &languages, const QString &port,
                      const QString &operationName, const PortOperation &operation)
{
    PortOutcome outcome;
    outcome.port = port;
    outcome.operation = operationName;
    QElapsedTimer clock;
    clock.start();
    ReaderSession session(ports, languages);
    if (session.openPort(port) == 0) {
        outcome.opened = true;
        outcome.device = session.deviceName();
        outcome.result = operation(session, outcome.fields);
        if (session.portOpen())
            session.closePort();
    }
    outcome.ms = clock.elapsed();
    const QString waiting = session.GetMisResp(Resp::Waiting);
    const QStringList &lines = session.statusLines();
    outcome.lines = lines;
    // The open and close lines frame the operation; the operation's own lines are its steps.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool portLine = lines[i].startsWith(QLatin1String("OpenPortCOM:"))
            || lines[i].startsWith(QLatin1String("ClosePort:"));
        if ((portLine && outcome.opened) || (!waiting.isEmpty() && lines[i].endsWith(waiting)))
            continue;
        outcome.steps << lines[i];
    }
    outcome.text = outcome.steps.value(outcome.steps.size() - 1);
    if (!outcome.opened)
        outcome.text += QLatin1String(" ") + session.portError();
    return outcome;
}

PortJobs::PortJobs(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<PortOutcome>();
}

PortJobs::~PortJobs()
{
    cancel();
    for (QThread *thread : m_threads) {
        thread->wait();
        delete thread;
    }
}

void PortJobs::start(const QStringList &ports, const Job &job)
{
    m_running += int(ports.size());
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const int index = int(i);
        QThread *thread = QThread::create([this, index, port = ports[i], job] {
            const PortOutcome outcome = job(port);
            QMetaObject::invokeMethod(
                this,
                [this, index, outcome] {
                    emit finished(index, outcome);
                    if (--m_running == 0)
                        emit allFinished();
                },
                Qt::QueuedConnection);
        });
        m_threads.push_back(thread);
        thread->start();
    }
    if (ports.isEmpty())
        QMetaObject::invokeMethod(this, &PortJobs::allFinished, Qt::QueuedConnection);
}

void PortJobs::cancel()
{
    for (QThread *thread : m_threads)
        thread->requestInterruption();
}
