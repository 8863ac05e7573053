#include "port_jobs.h"

#include "commands/reader_session.h"
#include "link/command_set.h"

#include <QElapsedTimer>
#include <QThread>

PortOutcome runOnPort(PortProvider &ports, const LanguageTable &languages, const QString &port,
                      Operation id, const ReaderFieldValues &fields, int button)
{
    PortOutcome outcome;
    outcome.port = port;
    outcome.operation = id;
    QElapsedTimer clock;
    clock.start();
    ReaderSession session(ports, languages);
    session.ownValues() = fields;
    if (writesCard(id))
        session.setKeyCardRead();
    if (session.run(Operation::OpenPort, { port }) == 0) {
        outcome.opened = true;
        outcome.device = session.deviceName();
        outcome.result = session.run(id, { port, button }, &outcome.fields);
        if (session.portOpen())
            session.run(Operation::ClosePort);
    }
    outcome.ms = clock.elapsed();
    // The open and close lines frame the operation; the operation's own lines are its steps,
    // but for those of a step still waiting.
    for (const OperationStep &step : session.steps()) {
        outcome.lines << step.line;
        const bool portStep
            = step.operation == Operation::OpenPort || step.operation == Operation::ClosePort;
        if ((portStep && outcome.opened) || step.result == Resp::Waiting)
            continue;
        outcome.steps << step.line;
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
