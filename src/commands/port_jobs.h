// Reader operations on many ports at once. Each port gets a thread of its own with its own event
// loop and its own session, so that a wait on one port never delays another; outcomes come back
// on the owner's thread as each port finishes.
#pragma once

#include "commands/operations.h"
#include "commands/reader_fields.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class LanguageTable;
class PortProvider;
class QThread;

// What one port's operation came to: as the command line prints it and the port finder lists it.
struct PortOutcome
{
    QString port; // as given
    QString device; // as opened; empty when it did not open
    Operation operation = Operation::Find;
    bool opened = false;
    int result = 255; // what the operation's last status line ends with; 255: not opened
    QString text; // the last status line
    QStringList steps; // every status line but those of a step still waiting
    QStringList lines; // every status line, the port's own included
    qint64 ms = 0;
    QJsonObject fields; // the operation's own results: "keys", "version"
};
Q_DECLARE_METATYPE(PortOutcome)

// Opens `port` in a fresh session on `ports` whose fields hold `fields`, runs `id` (pressing
// card button `button`) and closes the port again. A card is written with the keys given, as
// after a key card query.
PortOutcome runOnPort(PortProvider &ports, const LanguageTable &languages, const QString &port,
                      Operation id, const ReaderFieldValues &fields = {}, int button = 0);

class PortJobs : public QObject
{
    Q_OBJECT

public:
    // Runs in the port's own thread; `ports` is made there too, for that thread alone.
    using Job = std::function<PortOutcome(const QString &port)>;

    explicit PortJobs(QObject *parent = nullptr);
    // Ends every wait under way and waits for the threads.
    ~PortJobs() override;

    void start(const QStringList &ports, const Job &job);
    // Every wait under way ends as a time-out would; the jobs finish soon after.
    void cancel();
    bool isRunning() const { return m_running > 0; }

signals:
    void finished(int index, const PortOutcome &outcome);
    void allFinished();

private:
    std::vector<QThread *> m_threads;
    int m_running = 0;
};
