// The frame monitor: a window of its own that shows every frame as it goes and comes, with keys
// masked until the user asks to see them (for this window only, and only until it closes). Its
// rows are collected from the program's start by the main window, whether it is open or not.
#pragma once

#include <QWidget>

class FrameMonitorModel;
class LanguageTable;
class QCheckBox;
class QPushButton;
class QTableView;

class FrameMonitor : public QWidget
{
    Q_OBJECT

public:
    FrameMonitor(FrameMonitorModel &rows, const LanguageTable &languages,
                 QWidget *parent = nullptr);
    ~FrameMonitor() override;

    // Below `window` if the screen has room there, else beside it, so as not to cover it.
    void placeBeside(const QWidget *window);
    void retranslate();

    FrameMonitorModel &model() { return *m_model; }
    QTableView *view() const { return m_view; }
    QCheckBox *showKeys() const { return m_showKeys; }

    // The selected rows, one text line each, as "Copy" puts them on the clipboard.
    QString selectedText() const;
    // Every row into `path`, one text line each, the keys as "**" unless `keysInClear`; false
    // with `error` set when it cannot.
    bool saveTo(const QString &path, bool keysInClear, QString *error);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void copySelection();
    void saveAll();

    const LanguageTable &m_languages;
    FrameMonitorModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QCheckBox *m_showKeys = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_clear = nullptr;
    bool m_followEnd = true;
};
