#include "port_finder.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

PortFinder::PortFinder(const PortProvider &ports, const LanguageTable &languages, QWidget *parent)
    : QDialog(parent)
    , m_languages(languages)
    , m_ports(ports.numberedPorts())
{
    setObjectName(u"portFinder"_s);
    setWindowTitle(languages.GetMis(Mis::FinderTitle));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    m_status = new QLabel(languages.GetMis(Mis::FinderProbing), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(u"portFinderList"_s);
    m_list->setAccessibleName(windowTitle());
    m_list->setMinimumWidth(520);
    auto *buttons = new QDialogButtonBox(this);
    m_use = buttons->addButton(languages.GetMis(Mis::FinderUse), QDialogButtonBox::AcceptRole);
    buttons->addButton(languages.GetMis(Mis::Close), QDialogButtonBox::RejectRole);
    m_use->setEnabled(false);
    layout->addWidget(m_status);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    for (const NumberedPort &port : std::as_const(m_ports)) {
        const QString device = port.simulated ? languages.GetMis(Mis::SimulatedPort) : port.device;
        auto *item = new QListWidgetItem(QString::number(port.number) + u": "_s + device, m_list);
        item->setData(Qt::UserRole, false); // answered
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_use, &QPushButton::clicked, this, &PortFinder::useSelected);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &PortFinder::useSelected);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_use->setEnabled(row >= 0 && m_list->item(row)->data(Qt::UserRole).toBool());
    });
    connect(&m_jobs, &PortJobs::finished, this, &PortFinder::showOutcome);
    connect(&m_jobs, &PortJobs::allFinished, this, [this] {
        showCount();
        emit probingFinished();
    });

    // Each port is asked in a thread of its own, through a provider made for it.
    QStringList numbers;
    for (const NumberedPort &port : std::as_const(m_ports))
        numbers << QString::number(port.number);
    std::shared_ptr<const PortProvider> source(ports.clone());
    const LanguageTable *texts = &languages;
    m_jobs.start(numbers, [source, texts](const QString &port) {
        const std::unique_ptr<PortProvider> own = source->clone();
        return runOnPort(*own, *texts, port, Operation::Find);
    });
}

void PortFinder::showOutcome(int index, const PortOutcome &outcome)
{
    QListWidgetItem *item = m_list->item(index);
    const NumberedPort &port = m_ports[index];
    const QString device = port.simulated ? m_languages.GetMis(Mis::SimulatedPort) : port.device;
    QString verdict;
    if (!outcome.opened)
        verdict = m_languages.GetMis(Mis::FinderCannotOpen);
    else if (outcome.result != 0)
        verdict = m_languages.GetMis(Mis::FinderNoAnswer);
    else
        verdict = m_languages.GetMis(Mis::FinderAnswers)
                      .arg(outcome.fields.value(u"version"_s).toString());
    item->setText(QString::number(port.number) + u": "_s + device + u" \u2013 "_s + verdict);
    const bool answered = outcome.opened && outcome.result == 0;
    item->setData(Qt::UserRole, answered);
    if (answered) {
        ++m_answered;
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        if (m_list->currentRow() < 0)
            m_list->setCurrentRow(index);
    }
    // The row may have been current before its answer came: clicked, or given the focus.
    if (m_list->currentRow() == index)
        m_use->setEnabled(answered);
    ++m_done;
    emit portAsked(outcome);
}

void PortFinder::showCount()
{
    m_status->setText(m_languages.GetMis(Mis::FinderDone).arg(m_answered).arg(m_ports.size()));
}

void PortFinder::useSelected()
{
    const int row = m_list->currentRow();
    if (row < 0 || !m_list->item(row)->data(Qt::UserRole).toBool())
        return;
    emit portChosen(QString::number(m_ports[row].number));
    accept();
}
