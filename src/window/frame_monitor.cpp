#include "frame_monitor.h"

#include "texts/language_table.h"
#include "texts/message_numbers.h"
#include "window/frame_monitor_model.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FrameMonitor::FrameMonitor(FrameMonitorModel &rows, const LanguageTable &languages, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_languages(languages)
    , m_model(&rows)
{
    setObjectName(u"frameMonitor"_s);
    resize(940, 380);
    auto *layout = new QVBoxLayout(this);
    m_view = new QTableView(this);
    m_view->setObjectName(u"frameMonitorRows"_s);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideRight);
    // Fixed row heights and column widths: nothing is measured per row, however fast rows come.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    const int digit = m_view->fontMetrics().horizontalAdvance(u'0');
    const int widths[] = { 13, 14, 15, 22, 17 };
    for (int column = 0; column < 5; ++column)
        m_view->setColumnWidth(column, widths[column] * digit);
    QFont fixed = QFont(u"monospace"_s);
    fixed.setStyleHint(QFont::TypeWriter);
    m_view->setFont(fixed);
    layout->addWidget(m_view, 1);

    auto *buttons = new QHBoxLayout;
    m_showKeys = new QCheckBox(this);
    m_showKeys->setObjectName(u"frameMonitorShowKeys"_s);
    m_copy = new QPushButton(this);
    m_save = new QPushButton(this);
    m_clear = new QPushButton(this);
    buttons->addWidget(m_showKeys);
    buttons->addStretch(1);
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    buttons->addWidget(m_clear);
    layout->addLayout(buttons);

    connect(m_showKeys, &QCheckBox::toggled, m_model, &FrameMonitorModel::setShowKeys);
    connect(m_copy, &QPushButton::clicked, this, &FrameMonitor::copySelection);
    connect(m_save, &QPushButton::clicked, this, &FrameMonitor::saveAll);
    connect(m_clear, &QPushButton::clicked, m_model, &FrameMonitorModel::clear);
    auto *copyKey = new QShortcut(QKeySequence::Copy, m_view);
    connect(copyKey, &QShortcut::activated, this, &FrameMonitor::copySelection);
    // Stay with the newest rows unless the user has scrolled up to read older ones. The range
    // grows after the rows come in, so that is when to follow it.
    QScrollBar *scroll = m_view->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { m_followEnd = value >= scroll->maximum(); });
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int maximum) {
        if (m_followEnd)
            scroll->setValue(maximum);
    });
    retranslate();
}

FrameMonitor::~FrameMonitor()
{
    // The view's scroll bar still signals while the view goes, after this object's own part is
    // gone: its handlers must not run then.
    m_view->verticalScrollBar()->disconnect(this);
}

void FrameMonitor::placeBeside(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect main = window->frameGeometry();
    QRect wanted(QPoint(main.left(), main.bottom() + 8), size());
    if (!available.contains(wanted))
        wanted.moveTopLeft(QPoint(main.right() + 8, main.top()));
    if (!available.contains(wanted))
        wanted.moveTopLeft(available.topLeft());
    move(wanted.topLeft());
}

void FrameMonitor::retranslate()
{
    setWindowTitle(m_languages.GetMis(Mis::MonitorTitle));
    m_showKeys->setText(m_languages.GetMis(Mis::MonitorShowKeys));
    m_copy->setText(m_languages.GetMis(Mis::MonitorCopy));
    m_save->setText(m_languages.GetMis(Mis::MonitorSave));
    m_clear->setText(m_languages.GetMis(Mis::MonitorClear));
    m_view->setAccessibleName(m_languages.GetMis(Mis::MonitorTitle));
    m_model->retranslate();
}

QString FrameMonitor::selectedText() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << m_model->rowText(row);
    return lines.join(u'\n');
}

bool FrameMonitor::saveTo(const QString &path, bool keysInClear, QString *error)
{
    m_model->flush();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    for (int row = 0; row < m_model->rowCount(); ++row)
        file.write(m_model->rowText(row, keysInClear).toUtf8() + '\n');
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void FrameMonitor::closeEvent(QCloseEvent *event)
{
    // Keys are shown for this sitting only.
    m_showKeys->setChecked(false);
    event->accept();
}

void FrameMonitor::copySelection()
{
    QApplication::clipboard()->setText(selectedText());
}

void FrameMonitor::saveAll()
{
    const QString path = QFileDialog::getSaveFileName(
        this, m_languages.GetMis(Mis::MonitorSaveTitle), u"frames.txt"_s);
    if (path.isEmpty())
        return;
    // Keys shown on the screen go to a file only when the user says so again: No, the default,
    // saves them as "**".
    const bool keysInClear = m_showKeys->isChecked()
        && QMessageBox::question(this, m_languages.GetMis(Mis::MonitorSaveTitle),
                                 m_languages.GetMis(Mis::MonitorSaveKeys),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    QString error;
    if (!saveTo(path, keysInClear, &error))
        setWindowTitle(m_languages.GetMis(Mis::MonitorTitle) + u" \u2013 "_s + error);
}
