#include "history_dialog.h"

#include "history/history_file.h"
#include "texts/language_table.h"
#include "texts/message_numbers.h"
#include "window/history_model.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A field as RFC 4180 has it: in double quotes, doubled inside, when it holds a comma, a quote
// or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n')
        && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', u"\"\""_s) + u'"';
}

QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return quoted.join(u',').toUtf8() + "\r\n";
}

} // namespace

HistoryDialog::HistoryDialog(const QString &historyPath, const LanguageTable &languages,
                             QWidget *parent)
    : QDialog(parent)
    , m_path(historyPath)
    , m_languages(languages)
    , m_model(new HistoryModel(languages, this))
{
    setObjectName(u"historyDialog"_s);
    resize(1100, 480);
    auto *layout = new QVBoxLayout(this);
    auto *filters = new QHBoxLayout;
    m_text = new QLineEdit(this);
    m_text->setObjectName(u"historyText"_s);
    m_text->setClearButtonEnabled(true);
    m_port = new QComboBox(this);
    m_port->setObjectName(u"historyPort"_s);
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_outcome = new QComboBox(this);
    m_outcome->setObjectName(u"historyOutcome"_s);
    m_outcome->addItems({ QString(), QString(), QString() }); // any, succeeded, failed
    filters->addWidget(m_text, 1);
    filters->addWidget(m_port);
    filters->addWidget(m_outcome);
    layout->addLayout(filters);

    m_view = new QTableView(this);
    m_view->setObjectName(u"historyRows"_s);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_view, 1);

    auto *bottom = new QHBoxLayout;
    m_summary = new QLabel(this);
    m_summary->setObjectName(u"historySummary"_s);
    auto *buttons = new QDialogButtonBox(this);
    m_reload = buttons->addButton(QString(), QDialogButtonBox::ActionRole);
    m_export = buttons->addButton(QString(), QDialogButtonBox::ActionRole);
    m_close = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);

    connect(m_text, &QLineEdit::textChanged, this, &HistoryDialog::applyFilter);
    connect(m_port, &QComboBox::currentIndexChanged, this, &HistoryDialog::applyFilter);
    connect(m_outcome, &QComboBox::currentIndexChanged, this, &HistoryDialog::applyFilter);
    connect(m_reload, &QPushButton::clicked, this, &HistoryDialog::reload);
    connect(m_export, &QPushButton::clicked, this, &HistoryDialog::exportWithDialog);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fillPorts();
    retranslate();
}

HistoryDialog::~HistoryDialog() = default;

void HistoryDialog::reload()
{
    HistoryFile::Contents contents = HistoryFile(m_path).read();
    m_notes = contents.notes;
    m_skipped = contents.skippedLines;
    m_model->setRecords(std::move(contents.records));
    fillPorts();
    showSummary();
    fitColumns();
}

void HistoryDialog::addRecord(const HistoryRecord &record)
{
    m_model->addRecord(record);
    if (m_port->findData(record.port) < 0)
        fillPorts();
    showSummary();
}

void HistoryDialog::retranslate()
{
    const auto text = [this](int number) {
        return m_languages.GetMis(number);
    };
    setWindowTitle(text(Mis::HistoryTitle));
    m_text->setPlaceholderText(text(Mis::HistoryFilterText));
    m_text->setAccessibleName(text(Mis::HistoryFilterText));
    m_port->setItemText(0, text(Mis::HistoryAllPorts));
    m_port->setAccessibleName(text(Mis::HistoryFirstColumn + 2));
    const int outcomes[] = { Mis::HistoryAllOutcomes, Mis::HistorySucceeded, Mis::HistoryFailed };
    for (int i = 0; i < 3; ++i)
        m_outcome->setItemText(i, text(outcomes[i]));
    m_outcome->setAccessibleName(text(Mis::HistoryFirstColumn + 4));
    m_view->setAccessibleName(text(Mis::HistoryTitle));
    m_reload->setText(text(Mis::HistoryReload));
    m_export->setText(text(Mis::HistoryExport));
    m_close->setText(text(Mis::Close));
    m_model->retranslate();
    showSummary();
    fitColumns();
}

void HistoryDialog::fitColumns()
{
    // To the titles and the rows (Qt measures the first thousand or so), but no column so wide
    // that the others leave the dialog: a long status line shows whole in its tip.
    m_view->resizeColumnsToContents();
    const int widest = 40 * m_view->fontMetrics().horizontalAdvance(u'0');
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        m_view->setColumnWidth(column, qMin(m_view->columnWidth(column), widest));
}

void HistoryDialog::fillPorts()
{
    const QString chosen = m_port->currentData().toString();
    const QSignalBlocker quiet(m_port);
    m_port->clear();
    m_port->addItem(m_languages.GetMis(Mis::HistoryAllPorts), QString());
    for (const QString &port : m_model->ports())
        m_port->addItem(port, port);
    m_port->setCurrentIndex(qMax(0, m_port->findData(chosen)));
}

void HistoryDialog::applyFilter()
{
    HistoryFilter filter;
    filter.text = m_text->text().trimmed();
    if (!m_port->currentData().toString().isEmpty())
        filter.ports = QStringList { m_port->currentData().toString() };
    filter.outcome = HistoryFilter::Outcome(qMax(0, m_outcome->currentIndex()));
    m_model->setFilter(filter);
    showSummary();
}

void HistoryDialog::showSummary()
{
    QString text
        = m_languages.GetMis(Mis::HistoryShown).arg(m_model->rowCount()).arg(m_model->totalCount());
    if (m_skipped > 0)
        text += u"  \u2013  "_s + m_languages.GetMis(Mis::HistorySkipped).arg(m_skipped);
    m_summary->setText(text);
    // Where the history is, and the notes of what was skipped.
    m_summary->setToolTip((QStringList { QDir::toNativeSeparators(m_path) } + m_notes).join(u'\n'));
}

bool HistoryDialog::exportTo(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    // The byte order mark tells spreadsheet programs that the text is UTF-8.
    file.write("\xEF\xBB\xBF");
    QStringList titles;
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        titles << m_model->headerData(column, Qt::Horizontal).toString();
    file.write(csvLine(titles));
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < HistoryModel::ColumnCount; ++column)
            cells << m_model->cellText(row, column);
        file.write(csvLine(cells));
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void HistoryDialog::exportWithDialog()
{
    const QString filter = m_languages.GetMis(Mis::HistoryCsvFiles) + u" (*.csv)"_s;
    const QString path = QFileDialog::getSaveFileName(this, m_languages.GetMis(Mis::HistoryExport),
                                                      u"history.csv"_s, filter);
    if (path.isEmpty())
        return;
    QString error;
    const QString file = QDir::toNativeSeparators(path);
    m_summary->setText(exportTo(path, &error)
                           ? m_languages.GetMis(Mis::HistoryExported).arg(file)
                           : m_languages.GetMis(Mis::HistoryNotExported).arg(file, error));
}
