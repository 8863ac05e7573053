// "Find the terminal": asks every numbered port at once for its firmware version and lists those
// that answer; choosing one puts its number into the port box.
#pragma once

#include "commands/port_jobs.h"
#include "platform/port_provider.h"

#include <QDialog>

class LanguageTable;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QPushButton;

class PortFinder : public QDialog
{
    Q_OBJECT

public:
    PortFinder(const PortProvider &ports, const LanguageTable &languages, QWidget *parent);

    QListWidget *list() const { return m_list; }
    QPushButton *useButton() const { return m_use; }
    int answered() const { return m_answered; }
    bool isProbing() const { return m_jobs.isRunning(); }

signals:
    // The port text to put into the port box.
    void portChosen(const QString &portText);
    // One port has answered, or not.
    void portAsked(const PortOutcome &outcome);
    void probingFinished();

private:
    void showOutcome(int index, const PortOutcome &outcome);
    void showCount();
    void useSelected();

    const LanguageTable &m_languages;
    QList<NumberedPort> m_ports;
    PortJobs m_jobs;
    QLabel *m_status = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_use = nullptr;
    int m_answered = 0;
    int m_done = 0;
};
