// Tools > History: what was done with porteval and porteval-cli, newest first, filtered by
// text, port and outcome; the rows shown can be exported as CSV. Operations of this window are
// added as they end.
#pragma once

#include <QDialog>

class HistoryModel;
class LanguageTable;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
struct HistoryRecord;

class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    HistoryDialog(const QString &historyPath, const LanguageTable &languages, QWidget *parent);
    ~HistoryDialog() override;

    // Reads the history file again, with what other programs added meanwhile.
    void reload();
    void addRecord(const HistoryRecord &record);
    void retranslate();

    // The rows shown, with the column titles first, as CSV (UTF-8); false with `error` set
    // when the file cannot be written.
    bool exportTo(const QString &path, QString *error) const;

    HistoryModel &model() const { return *m_model; }
    QTableView *view() const { return m_view; }
    QLineEdit *textFilter() const { return m_text; }
    QComboBox *portFilter() const { return m_port; }
    QComboBox *outcomeFilter() const { return m_outcome; }
    // How many rows are shown, and what could not be read.
    QLabel *summary() const { return m_summary; }

private:
    void applyFilter();
    void fillPorts();
    void showSummary();
    void fitColumns();
    void exportWithDialog();

    QString m_path;
    const LanguageTable &m_languages;
    HistoryModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QLineEdit *m_text = nullptr;
    QComboBox *m_port = nullptr;
    QComboBox *m_outcome = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_reload = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_close = nullptr;
    QStringList m_notes;
    int m_skipped = 0;
};
