// The window as a user meets it, offscreen: captions and languages, control state, the port box
// and the reader operations run from their buttons against the simulated terminal, the tips and
// the history.
#include "history/history_file.h"
#include "platform/durable_file.h"
#include "sim/demo_ports.h"
#include "temporary_history.h"
#include "texts/message_numbers.h"
#include "window/clickable_label.h"
#include "window/frame_monitor.h"
#include "window/frm_config_porteval.h"
#include "window/history_dialog.h"
#include "window/history_model.h"
#include "window/port_finder.h"
#include "window/profile_actions.h"
#include "window/qt_translation.h"
#include "window/resources/resources.h"
#include "window/tip_balloon.h"
#include "window/tool_actions.h"
#include "window/tooltip.h"
#include "window_controls.h"

#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMutex>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Demo mode's simulated terminal behind every port, recording what was asked for.
class RecordingPorts : public DemoPorts
{
public:
    std::unique_ptr<SerialDevice> device(const PortRequest &request, QString *whyNot) override
    {
        requests << request.text();
        return DemoPorts::device(request, whyNot);
    }
    QStringList requests;
};

const QString languageDir = QStringLiteral(PORTEVAL_LANG_DIR);

// The controls' enabled states: open and port box, close and key query, card buttons, data block.
QList<bool> enabled(const WindowControls &w)
{
    return { w.cmdOpenCOM->isEnabled() && w.cEditCfg1->isEnabled(),
             w.cmdCloseCOM->isEnabled() && w.cmdGetInfoKeyCard->isEnabled(),
             w.cmdCfgMaster[0]->isEnabled() && w.cmdCfgConfig[1]->isEnabled()
                 && w.cmdCfgMis[0]->isEnabled(),
             w.txtNumBloc->isEnabled() && w.fFrame[6]->isEnabled() && w.lLabel[27]->isEnabled() };
}

// What Qt sends when the mouse rests on a control; true when someone took it.
bool restMouseOn(QWidget *control)
{
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), control->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(control, &event);
    return event.isAccepted();
}

QWidget *shownBalloon()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"porteval_tip_balloon" && window->isVisible())
            return window;
    }
    return nullptr;
}

// Where the window finds Qt's translations: beside the program (as the Windows release and its
// tests have them) or where Qt keeps them.
QString qtFolder()
{
    for (const QString &folder : QtTranslation::folders()) {
        if (QFile::exists(folder + u"/qtbase_es.qm"_s))
            return folder;
    }
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

// A text as it reads: no mnemonic marks, no shortcut column.
QString plain(const QString &text)
{
    return text.section(u'\t', 0, 0).remove(u'&').trimmed();
}

// The texts of a Qt translation file: its translations, or their English sources.
QStringList qtTexts(const QString &qm, bool sources)
{
    QFile file(qtFolder() + u'/' + qm);
    QStringList texts;
    QDataStream in(&file);
    if (!file.open(QIODevice::ReadOnly) || in.skipRawData(16) != 16) // the magic number
        return texts;
    for (quint8 section = 0, tag = 0; !in.atEnd();) {
        quint32 size = 0, length = 0;
        in >> section >> size;
        for (const qint64 end = file.pos() + size; file.pos() < end;) {
            if (section != 0x69 || (in >> tag, tag == 1)) { // not a message; a message's end
                file.seek(section == 0x69 ? file.pos() : end);
                continue;
            }
            in >> length;
            QByteArray bytes(length == 0xFFFFFFFF ? 0 : qsizetype(length), '\0');
            in.readRawData(bytes.data(), int(bytes.size()));
            if (tag == (sources ? 6 : 3))
                texts << (sources ? QString::fromUtf8(bytes)
                                  : QString(QStringDecoder(QStringDecoder::Utf16BE)(bytes)));
        }
    }
    return texts;
}

// Every text `top` shows with widgets of its own: captions, items, headers, cells and tips.
QStringList shownTexts(QWidget *top, const Tooltip *tips = nullptr)
{
    QStringList texts { top->windowTitle() };
    for (QAction *action : top->findChildren<QAction *>()) {
        if (auto *owner = qobject_cast<QWidget *>(action->parent());
            owner && owner->window() == top)
            texts << action->text() << action->toolTip();
    }
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (w->window() != top || !w->isVisibleTo(top))
            continue;
        texts << (tips ? tips->tipTextFor(w) : QString());
        for (const char *property : { "text", "title", "placeholderText", "toolTip" })
            texts << w->property(property).toString();
        const auto *tabs = qobject_cast<QTabBar *>(w);
        for (int i = 0; tabs && i < tabs->count(); ++i)
            texts << tabs->tabText(i);
        const auto *header = qobject_cast<QHeaderView *>(w);
        for (int i = 0; header && i < header->count(); ++i)
            texts << header->model()->headerData(i, header->orientation()).toString();
        const auto *combo = qobject_cast<QComboBox *>(w);
        const QAbstractItemModel *cells = combo ? combo->model()
            : w->inherits("QTableView") || w->inherits("QListWidget")
            ? static_cast<QAbstractItemView *>(w)->model()
            : nullptr;
        for (int row = 0; cells && row < cells->rowCount(); ++row) {
            for (int column = 0; column < cells->columnCount(); ++column)
                texts << cells->index(row, column).data().toString();
        }
    }
    return texts;
}

// The words of `texts` in neither a text of the language (`own`) nor a whole Qt text (`qt`),
// leaving out paths, file patterns, hex and a few names.
QStringList strayWords(const QStringList &texts, const QStringList &own, const QStringList &qt)
{
    static const QRegularExpression word(u"\\p{L}+"_s),
        notWords(u"[/\\\\*]|^H?(?=.*\\d)[0-9A-F]+$"_s);
    QSet<QString> known { u"porteval"_s, u"OpenPortCOM"_s, u"OK"_s, u"PTV"_s, u"SIM"_s };
    QSet<QString> qtWhole;
    for (const QString &text : own) {
        for (auto found = word.globalMatch(text); found.hasNext();)
            known << found.next().captured();
    }
    for (const QString &text : qt)
        qtWhole << plain(text);
    QStringList stray;
    for (const QString &text : texts) {
        for (const QString &token : plain(text).split(u' ', Qt::SkipEmptyParts)) {
            for (auto found = word.globalMatch(token); !qtWhole.contains(plain(text))
                 && !notWords.match(token).hasMatch() && found.hasNext();) {
                if (const QString w = found.next().captured(); !known.contains(w))
                    stray << w + u" in \""_s + text + u'"';
            }
        }
    }
    return stray;
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initPortevalResources(); }
    // Without language files, or with one only: the missing languages' labels are empty and
    // ignore clicks, and the window works.
    void languageFolders_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("current");
        QTest::newRow("none") << QString() << 0;
        QTest::newRow("only file 3, packed into slot 5") << u"MisI03.dat"_s << 5;
    }

    void languageFolders()
    {
        QFETCH(QString, file);
        QFETCH(int, current);
        QTemporaryDir dir;
        if (!file.isEmpty())
            QVERIFY(QFile::copy(languageDir + u'/' + file, dir.filePath(file)));
        RecordingPorts ports;
        frmConfigPorteval window(ports, dir.path(), temporaryHistoryPath());
        const WindowControls c(window);
        QCOMPARE(int(window.languages().iIdioma), current);
        const QString title = window.windowTitle();
        QCOMPARE(title.isEmpty(), current == 0);
        QTest::mouseClick(c.cIdioma[0], Qt::LeftButton);
        QCOMPARE(int(window.languages().iIdioma), current);
        QCOMPARE(window.windowTitle(), title);
        c.cmdOpenCOM->click();
        QCOMPARE(c.txtStatus->text(), u"OpenPortCOM: OK"_s);
    }

    void languages()
    {
        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(window);
        QCOMPARE(int(window.languages().iIdioma), 1);
        QCOMPARE(window.windowTitle(), u"Porteval - Programa demo"_s);
        QCOMPARE(c.cCfgMode->currentText(), u"0- UID de tarjeta"_s);
        c.txtCfgMis[1]->clear();
        QTest::keyClicks(c.txtCfgMis[1], u"typed by the user"_s);

        QTest::mouseClick(c.cIdioma[1], Qt::LeftButton);
        QCOMPARE(int(window.languages().iIdioma), 2);
        QCOMPARE(c.cmdOpenCOM->text(), u"Open COM"_s);
        QCOMPARE(c.cIdioma[0]->text(), u"Espa\u00f1ol"_s); // the language row stays
        QCOMPARE(window.tooltips()->iNumTip(), 51);
        QCOMPARE(window.tooltips()->tipTextFor(c.cmdOpenCOM), window.languages().GetMis(90));
        QCOMPARE(window.tooltips()->tipTextFor(c.txtKey[5]), window.languages().GetMis(111));
        QCOMPARE(window.tooltips()->tipTextFor(c.opCfgMis[7]), window.languages().GetMis(152));
        // A language brings its own sample messages, from between the quotes of their tips, into
        // every box, typed text included.
        QStringList samples;
        for (const QLineEdit *box : c.txtCfgMis)
            samples << box->text();
        QCOMPARE(samples,
                 (QStringList { u"Present your card"_s, u"Card accepted"_s, u"Card rejected"_s,
                                u"Welcome"_s, u"Insufficient balance"_s, u"Out of service"_s,
                                u"Remove your card"_s, u"Thank you"_s }));
        // Every box is announced by its caption, without colon.
        QCOMPARE(c.txtKey[0]->accessibleName(), u"Sector 0"_s);
        QCOMPARE(c.cEditCfg1->accessibleName(), u"Port number"_s);
    }

    // The sample of message 1 in a language whose tip for it is `tip`.
    void messageSamples_data()
    {
        QTest::addColumn<QByteArray>("tip");
        QTest::addColumn<QString>("sample");
        QTest::newRow("up to the quote that closes it")
            << QByteArray("Message 1.~Sample: \"Hi\" (or \"Hello\")") << u"Hi"_s;
        QTest::newRow("no closing quote, no sample")
            << QByteArray("Message 1.~Sample: \"Hi") << QString();
    }

    void messageSamples()
    {
        QFETCH(QByteArray, tip);
        QFETCH(QString, sample);
        QTemporaryDir dir;
        QFile file(dir.filePath(LanguageTable::fileName(2)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("m\r\n").repeated(129) + tip + "\r\n");
        file.close();
        RecordingPorts ports;
        frmConfigPorteval window(ports, dir.path(), temporaryHistoryPath());
        const WindowControls c(window);
        QCOMPARE(c.txtCfgMis[0]->text(), sample);
    }

    // A hostile file 1 beside the English file 2: the window starts at once, keeps what it could
    // read within bounds, and works.
    void hostileLanguageFiles_data()
    {
        QTest::addColumn<QByteArray>("file"); // "fifo": a named pipe, which would block a reader
        QTest::addColumn<QString>("first"); // its first two messages as kept
        QTest::addColumn<QString>("second");
        // Messages are cut at 4096 bytes, joined lines too; each "~" then becomes a line break.
        const QByteArray pieces = QByteArray("0123456789~").repeated(373).left(4096);
        QTest::newRow("20 MB of continued lines")
            << "Twenty\r\n" + QByteArray("0123456789~\r\n").repeated((20 << 20) / 13) << u"Twenty"_s
            << QString::fromLatin1(pieces).replace(u'~', u"\r\n"_s);
        QTest::newRow("one line of a million characters") << QByteArray(1000000, 'W')
                + "\r\nafter\r\n" << QString(4096, u'W') << u"after"_s;
#ifdef Q_OS_UNIX
        QTest::newRow("named pipe") << QByteArray("fifo") << QString() << QString();
#endif
    }

    void hostileLanguageFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QTemporaryDir dir;
        const QString path = dir.filePath(LanguageTable::fileName(1));
#ifdef Q_OS_UNIX
        if (file == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else
#endif
        {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(file), file.size());
        }
        QVERIFY(QFile::copy(languageDir + u"/MisI02.dat"_s, dir.filePath(u"MisI02.dat"_s)));

        RecordingPorts ports;
        QElapsedTimer clock;
        clock.start();
        frmConfigPorteval window(ports, dir.path(), temporaryHistoryPath());
        const WindowControls c(window);
        qInfo("start-up: %lld ms", clock.elapsed());
        QCOMPARE(c.cIdioma[4]->text(), u"English"_s);
        QCOMPARE(c.cIdioma[3]->text(), first);
        QCOMPARE(window.languages().message(4, 2), second);
        QCOMPARE(window.size(), QSize(443, 499));
        c.cmdOpenCOM->click();
        QCOMPARE(c.txtStatus->text(), u"OpenPortCOM: OK"_s);
    }

    // Starting, opening, reading a key card, closing, opening again: which controls can be used
    // (none while a wait is under way), what the status line says, and the hidden "Set Card"
    // buttons stay hidden throughout.
    void portAndControlState()
    {
        using L = QList<bool>;
        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(window);
        window.show();
        QCOMPARE(enabled(c), (L { true, false, false, false }));
        c.cmdOpenCOM->click();
        QCOMPARE(c.txtStatus->text(), u"OpenPortCOM: OK"_s);
        QCOMPARE(enabled(c), (L { false, true, false, false }));
        QCOMPARE(ports.lastDevice()->lineSettings().baudRate, 38400);

        ports.lastDevice()->terminal().addRule(u"0x72:2 inter=5 gap=50 then answer gap=100"_s);
        QStringList seen; // the status line and the enabled states while waiting
        QTimer probe;
        connect(&probe, &QTimer::timeout, &window, [&] {
            if (window.session().isWaiting())
                seen << c.txtStatus->text() + (enabled(c).contains(true) ? u"!"_s : u""_s);
        });
        probe.start(20);
        c.cmdGetInfoKeyCard->click();
        QVERIFY(seen.contains(window.session().GetMisResp(5)) && !seen.join(u'|').contains(u'!'));
        QCOMPARE(c.txtStatus->text(), u"GetInfoKeyCard[16]: "_s + window.session().GetMisResp(0));
        QCOMPARE(c.txtKey[2]->text(), u"020380A1B2C3"_s);
        c.cCfgMode->setCurrentIndex(1); // data-block mode
        QCOMPARE(enabled(c), (L { false, true, true, true }));
        c.cmdCloseCOM->click();
        QCOMPARE(c.txtStatus->text(), u"ClosePort: OK"_s);
        QCOMPARE(enabled(c), (L { true, false, false, true }));
        c.cCfgMode->setEditText(u"0"_s);
        QCOMPARE(enabled(c), (L { true, false, false, false }));
        c.cmdOpenCOM->click();
        QCOMPARE(enabled(c), (L { false, true, true, false }));
        for (int tab = 0; tab < 4; ++tab) {
            c.SSTab1->setCurrentIndex(tab);
            QVERIFY(!c.cmdCfgMaster[1]->isVisible() && !c.cmdCfgMis[1]->isVisible());
        }
    }

    void portNumberTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("request"); // what the ports were asked for; empty: nothing
        QTest::addColumn<bool>("opens");
        QTest::newRow("a number") << u"3"_s << u"3"_s << true;
        QTest::newRow("empty box") << QString() << u"0"_s << false;
        QTest::newRow("beyond 16 bits") << u"40000"_s << QString() << false;
    }

    // The port box's text as the session that the window and the command line share reads it.
    void portNumberTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, request);
        QFETCH(bool, opens);
        RecordingPorts ports;
        LanguageTable languages;
        ReaderSession session(ports, languages);
        session.openPort(text);
        QCOMPARE(session.lastStatus(),
                 opens ? u"OpenPortCOM: OK"_s : u"OpenPortCOM: ERROR( 255)"_s);
        QCOMPARE(ports.requests, request.isEmpty() ? QStringList() : QStringList { request });
        QCOMPARE(int(session.bPortOpen()), opens ? 1 : 0);
    }

    void typingLimits()
    {
        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(window);
        c.txtOldKey->clear();
        QTest::keyClicks(c.txtOldKey, u"0123456789ABCD"_s);
        QCOMPARE(c.txtOldKey->text(), u"0123456789AB"_s);
        c.txtCfgMis[0]->clear();
        QTest::keyClicks(c.txtCfgMis[0], QString(25, u'x'));
        QCOMPARE(c.txtCfgMis[0]->text().size(), 20);
        QVERIFY(!c.txtCfgMis[3]->isEnabled() && !c.txtKey[0]->isEnabled());
        // What the program writes is not cut: a terminal's key of 16 characters.
        c.cmdOpenCOM->click();
        ports.lastDevice()->terminal().addRule(u"0x72:0 data=30313233343536373839414243444546"_s);
        c.cmdGetInfoKeyCard->click();
        QCOMPARE(c.txtKey[0]->text(), u"0123456789ABCDEF"_s);
    }

    // Tools > History: this window's operations and another program's, newest first across a
    // roll-over, filtered by outcome, port and text, the rows shown exported as CSV, in every
    // language; a line that is no record is skipped and counted.
    void historyDialog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"history.jsonl"_s);
        HistoryRecord other;
        other.time = QDateTime::currentDateTimeUtc().addDays(-1);
        other.program = u"cli"_s;
        other.port = u"7"_s;
        other.operation = u"write-messages"_s;
        other.card = messagesCardFields(2, u"Hola, \"amigo\""_s);
        HistoryRecord older = other;
        older.port = u"9"_s;
        older.operation = u"beep"_s;
        older.card = {};
        QString error;
        const HistoryFile rollingOver(path, 1); // each append but the first rolls the file over
        QCOMPARE(rollingOver.append({ older }, {}, &error), HistoryFile::Appended::Yes);
        QCOMPARE(rollingOver.append({ other }, {}, &error), HistoryFile::Appended::Yes);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("not a record\n");
        file.close();

        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, path);
        const WindowControls c(window);
        c.cEditCfg1->setText(u"0"_s);
        c.cmdOpenCOM->click();
        c.cEditCfg1->setText(u"1"_s);
        c.cmdOpenCOM->click();
        c.actionHistory->trigger();
        HistoryDialog *dialog = window.historyDialog();
        QVERIFY(dialog && dialog->isVisible());
        c.cmdGetInfoKeyCard->click(); // added once written
        HistoryModel &rows = dialog->model();
        QTRY_COMPARE(rows.rowCount(), 5);
        QStringList portColumn;
        for (int row = 0; row < rows.rowCount(); ++row)
            portColumn << rows.cellText(row, HistoryModel::Port).section(u' ', 0, 0);
        QCOMPARE(portColumn, QStringList({ u"1"_s, u"1"_s, u"0"_s, u"7"_s, u"9"_s }));
        QCOMPARE(rows.cellText(0, HistoryModel::Status), c.txtStatus->text());
        QVERIFY(dialog->summary()->text().contains(
            window.languages().GetMis(Mis::HistorySkipped).arg(1)));

        dialog->outcomeFilter()->setCurrentIndex(2); // failed
        QCOMPARE(rows.rowCount(), 1);
        QCOMPARE(rows.cellText(0, HistoryModel::Result), u"255"_s);
        dialog->outcomeFilter()->setCurrentIndex(0);
        dialog->portFilter()->setCurrentIndex(dialog->portFilter()->findData(u"1"_s));
        QCOMPARE(rows.rowCount(), 2);
        dialog->portFilter()->setCurrentIndex(0);
        dialog->textFilter()->setText(u"amigo"_s);
        QCOMPARE(rows.rowCount(), 1);
        const QString csv = dir.filePath(u"shown.csv"_s);
        QVERIFY(dialog->exportTo(csv, &error));
        QFile exported(csv);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = exported.readAll().split('\n');
        QCOMPARE(lines.size(), 3); // titles, the row, the end
        QVERIFY(lines[1].endsWith(",\"slot=2 text=Hola, \"\"amigo\"\"\"\r"));
        dialog->textFilter()->clear();

        for (int language = 0; language < 5; ++language) {
            QTest::mouseClick(c.cIdioma[language], Qt::LeftButton);
            QCOMPARE(rows.headerData(HistoryModel::Operation, Qt::Horizontal).toString(),
                     window.languages().GetMis(Mis::HistoryFirstColumn + HistoryModel::Operation));
            QCOMPARE(rows.cellText(0, HistoryModel::Operation),
                     window.languages().GetMis(operationEntry(Operation::ReadKeys).textNumber));
            QCOMPARE(dialog->windowTitle(), window.languages().GetMis(Mis::HistoryTitle));
        }
    }

    // Every text the window, its dialogs, Qt's standard buttons and a line edit's menu show comes
    // from the language picked or from Qt's translation of it, found by the language's name
    // whatever its slot; English, and a language Qt does not know, keep Qt's English. Dialogs
    // open at the switch (from Spanish, where the window starts) follow it. A word from anywhere
    // else is one the language files lack.
    void everyShownTextFromTheLanguage_data()
    {
        QTest::addColumn<int>("label"); // of the language row
        QTest::addColumn<QString>("qm"); // Qt's translation expected; empty: English
        QTest::addColumn<int>("lone"); // a language file alone, or 0 for all five
        QTest::addColumn<QByteArray>("name"); // the lone file's own name instead of its own
        QTest::newRow("Espa\u00f1ol") << 0 << u"es"_s << 0 << QByteArray();
        QTest::newRow("English") << 1 << QString() << 0 << QByteArray();
        QTest::newRow("Catal\u00e0") << 2 << u"ca"_s << 0 << QByteArray();
        QTest::newRow("Fran\u00e7ais") << 3 << u"fr"_s << 0 << QByteArray();
        QTest::newRow("Portugu\u00eas") << 4 << u"pt_BR"_s << 0 << QByteArray();
        QTest::newRow("Catal\u00e0 alone, in the last slot") << 4 << u"ca"_s << 3 << QByteArray();
        QTest::newRow("a language Qt does not know")
            << 4 << QString() << 2 << QByteArray("Deutsch");
    }

    void everyShownTextFromTheLanguage()
    {
        QFETCH(int, label);
        QFETCH(QString, qm);
        QFETCH(int, lone);
        QFETCH(QByteArray, name);
        QTranslator qt;
        if (!QFile::exists(qtFolder() + u"/qtbase_es.qm"_s)
            || !(qm.isEmpty() || qt.load(u"qtbase_"_s + qm, qtFolder())))
            QSKIP("Qt's translations are not installed (Debian: qt6-translations-l10n)");
        QTemporaryDir dir;
        QFile profile(dir.filePath(u"bad.ini"_s));
        QVERIFY(profile.open(QIODevice::WriteOnly)
                && profile.write("[porteval]\nprofile=1\n[messages]\nslot=9\n"));
        profile.close();
        if (lone != 0) {
            QFile source(languageDir + u'/' + LanguageTable::fileName(lone)),
                copy(dir.filePath(LanguageTable::fileName(lone)));
            QVERIFY(source.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly));
            const QByteArray text = source.readAll();
            copy.write(name.isEmpty() ? text : name + text.mid(text.indexOf('\r')));
        }
        RecordingPorts ports;
        frmConfigPorteval window(ports, lone != 0 ? dir.path() : languageDir,
                                 dir.filePath(u"history.jsonl"_s));
        const WindowControls c(window);
        window.setVersionText(u"porteval 0.1.0"_s, true);
        c.cmdOpenCOM->click(); // on record, with its device
        QMessageBox box(QMessageBox::Question, {}, {},
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &window);
        box.show();
        QFileDialog files(&window);
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.show();
        QTest::mouseClick(c.cIdioma[label], Qt::LeftButton);
        window.profiles().loadFrom(profile.fileName()); // refused, and the status line says why
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(box.button(QMessageBox::Yes)->text(),
                 qm.isEmpty() ? u"&Yes"_s : qt.translate("QPlatformTheme", "&Yes"));
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        // Qt's texts in English, or in another language, would show as stray words.
        QStringList texts = shownTexts(&box) + shownTexts(&files) + shownTexts(menu.get());
        for (int tab = 0; tab < c.SSTab1->count(); ++tab) {
            c.SSTab1->setCurrentIndex(tab);
            texts << shownTexts(&window, window.tooltips());
        }
        c.actionMonitor->trigger();
        c.actionHistory->trigger();
        texts << shownTexts(window.frameMonitor()) << shownTexts(window.historyDialog());
        c.cmdCloseCOM->click();
        c.actionFindTerminal->trigger();
        auto *finder = window.findChild<PortFinder *>();
        QTRY_VERIFY(finder && !finder->isProbing());
        texts << shownTexts(finder);
        QStringList own { c.lNorvalt->text() };
        for (int slot = 1; slot <= 5; ++slot)
            own << window.languages().message(slot, 1);
        for (int n = 2; n <= LanguageTable::kFilesRead; ++n)
            own << window.languages().GetMis(n);
        const QStringList stray = strayWords(
            texts, own,
            qtTexts(qm.isEmpty() ? u"qtbase_es.qm"_s : u"qtbase_"_s + qm + u".qm"_s, qm.isEmpty()));
        QVERIFY2(stray.isEmpty(), qPrintable(stray.join(u", "_s)));
    }

    // What became of an operation's record, said on the status line in the window's language
    // after the operation: nothing when it is on the disk, else written but not confirmed, or
    // not written. The syncs made: the file, and its folder when the file is new. A record goes
    // out once, however it went, and a slow disk never holds the window up.
    void historyOutcomes_data()
    {
        QTest::addColumn<QString>("name"); // in a folder holding a file "plain"
        QTest::addColumn<QString>("linkTo"); // the history is a link to it, if given
        QTest::addColumn<int>("failure"); // the error number each sync of the file fails with
        QTest::addColumn<int>("delayMs"); // how long each sync takes
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("said"); // the status line's message; 0: none of its own
        QTest::addColumn<QStringList>("syncs"); // of the file and of "the folder", in order
        const QString file = u"history.jsonl"_s, folder = u"the folder"_s;
        QTest::newRow("on the disk, a new file")
            << file << QString() << 0 << 0 << 1 << 0 << QStringList { file, folder, file };
        QTest::newRow("on the disk, slowly")
            << file << QString() << 0 << 2000 << 2 << 0 << QStringList { file, folder, file };
        QTest::newRow("not confirmed") << file << QString() << EIO << 0 << 0
                                       << Mis::HistoryNotConfirmed << QStringList { file, file };
        QTest::newRow("not written: its folder is a file")
            << u"plain/history.jsonl"_s << QString() << 0 << 0 << 3 << Mis::HistoryNotWritten
            << QStringList();
#ifdef Q_OS_LINUX
        QTest::newRow("not confirmed: a device without a disk")
            << u"null.jsonl"_s << u"/dev/null"_s << 0 << 0 << 4 << Mis::HistoryNotConfirmed
            << QStringList { u"null.jsonl"_s, u"null.jsonl"_s };
#endif
    }

    void historyOutcomes()
    {
        QFETCH(QString, name);
        QFETCH(QString, linkTo);
        QFETCH(int, failure);
        QFETCH(int, delayMs);
        QFETCH(int, language);
        QFETCH(int, said);
        QFETCH(QStringList, syncs);
        QTemporaryDir dir;
        QFile plain(dir.filePath(u"plain"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(linkTo.isEmpty() || QFile::link(linkTo, dir.filePath(name)));
        QMutex guard;
        QStringList synced;
        setSyncHookForTests([&](const QString &path) {
            QThread::msleep(ulong(delayMs));
            const QMutexLocker locked(&guard);
            const bool isFolder = QFileInfo(path) == QFileInfo(dir.path());
            synced << (isFolder ? u"the folder"_s : QFileInfo(path).fileName());
            return isFolder ? 0 : failure;
        });
        {
            RecordingPorts ports;
            frmConfigPorteval window(ports, languageDir, dir.filePath(name));
            const WindowControls c(window);
            QTest::mouseClick(c.cIdioma[language], Qt::LeftButton);
            c.cmdOpenCOM->click();
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(c.cEditCfg1, Qt::Key_End);
            c.cmdCloseCOM->click();
            qInfo("a key and a click, a sync taking %d ms: %lld ms", delayMs, clock.elapsed());
            QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
            const auto syncsMade = [&] {
                const QMutexLocker locked(&guard);
                return synced.size();
            };
            QTRY_COMPARE_WITH_TIMEOUT(syncsMade(), syncs.size(), 10000);
            const QString text = window.languages().GetMis(said).section(u'%', 0, 0);
            if (said != 0)
                QTRY_VERIFY2(c.txtStatus->text().startsWith(text), qPrintable(c.txtStatus->text()));
            else
                QCOMPARE(c.txtStatus->text(), u"ClosePort: OK"_s);
        }
        setSyncHookForTests({});
        QCOMPARE(synced, syncs);
        if (linkTo.isEmpty())
            QCOMPARE(HistoryFile(dir.filePath(name)).read().records.size(),
                     syncs.isEmpty() ? 0 : 2);
    }

    // Every control shows whole in every style this Qt has (under Wine: Windows 11 and Vista)
    // and in every language: inside the window, and no button, box or selector shorter than its
    // style needs.
    void controlsShowWhole_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<int>("language");
        for (const QString &style : QStyleFactory::keys()) {
            for (int language = 0; language < 5; ++language)
                QTest::addRow("%s, language %d", qPrintable(style), language) << style << language;
        }
    }

    void controlsShowWhole()
    {
        QFETCH(QString, style);
        QFETCH(int, language);
        const QString before = QApplication::style()->name();
        QApplication::setStyle(style);
        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(window);
        QTest::mouseClick(c.cIdioma[language], Qt::LeftButton);
        window.show();
        QStringList cut;
        for (int tab = 0; tab < c.SSTab1->count(); ++tab) {
            c.SSTab1->setCurrentIndex(tab);
            for (const QWidget *w : window.findChildren<QWidget *>()) {
                if (!w->isVisibleTo(&window) || w->window() != &window)
                    continue;
                const QRect shown(w->mapTo(&window, QPoint(0, 0)), w->size());
                // A combo box's own line edit is drawn without a frame of its own.
                const bool control = qobject_cast<const QAbstractButton *>(w)
                    || qobject_cast<const QComboBox *>(w)
                    || (qobject_cast<const QLineEdit *>(w)
                        && !qobject_cast<const QComboBox *>(w->parentWidget()));
                if (!window.rect().contains(shown)
                    || (control && w->height() < w->minimumSizeHint().height()))
                    cut << w->objectName() + u' ' + QString::number(w->height());
            }
        }
        QApplication::setStyle(before);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u", "_s)));
    }

    void closingDuringAWait()
    {
        RecordingPorts ports;
        auto *window = new frmConfigPorteval(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(*window);
        window->show();
        c.cmdOpenCOM->click();
        ports.lastDevice()->terminal().addRule(u"0x72:3 silent"_s);
        QTimer::singleShot(300, window, [window] { window->close(); });
        QElapsedTimer clock;
        clock.start();
        c.cmdGetInfoKeyCard->click();
        // Sector 3's unanswered wait alone would last 2 s.
        QVERIFY2(clock.elapsed() < 1900, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!window->isVisible() && !window->tooltips() && !window->session().bKeyCardRead());
        delete window;
    }

    // The port box's tip: its message with "~" as line breaks and the ports as numbered now below
    // it, dark blue on white in a balloon of our own, never Qt's tool tip; leaving the box or a
    // click ends it. A disabled key box shows its tip when the mouse rests on it, though Qt sends
    // it no mouse events, and keeps it while the mouse moves inside.
    void tipsOnTheWindow()
    {
        RecordingPorts ports;
        frmConfigPorteval window(ports, languageDir, temporaryHistoryPath());
        const WindowControls c(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(restMouseOn(c.cEditCfg1));
        QVERIFY(!QToolTip::isVisible());
        QCOMPARE(window.tooltips()->balloon()->lines(),
                 window.languages().GetMis(105).split(u"\r\n"_s) << u"1: "_s
                         + window.languages().GetMis(Mis::SimulatedPort)); // in the language shown
        const QImage image = shownBalloon()->grab().toImage();
        int bluish = 0, white = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                bluish += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y)) > 60 ? 1 : 0;
                white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
            }
        }
        QVERIFY(bluish > 10 && white > image.width() * image.height() / 2);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(c.cEditCfg1, &leave);
        QVERIFY(!shownBalloon());
        QVERIFY(restMouseOn(c.cEditCfg1));
        QTest::mouseClick(c.lLabel[1], Qt::LeftButton);
        QVERIFY(!shownBalloon());

        const QPoint key = c.txtKey[3]->mapTo(&window, QPoint(20, 5));
        for (int x : { -4, 0, 6 })
            QTest::mouseMove(window.windowHandle(), key + QPoint(x, 0));
        QTRY_VERIFY(shownBalloon());
        QCOMPARE(window.tooltips()->balloon()->lines(),
                 window.languages().GetMis(109).split(u"\r\n"_s));
        QTest::qWait(200);
        QVERIFY(shownBalloon());
    }

    // A fixed number of slots; emptied, their controls lose tip and description; a destroyed
    // control takes its tip away; released, nothing is left.
    void tipSlots()
    {
        QWidget window;
        window.show();
        auto *edit = new QLineEdit(&window);
        auto tip = std::make_unique<Tooltip>();
        tip->IniMaxTip(150);
        QVERIFY(tip->CreateTip(edit, u"old"_s));
        for (int i = 1; i < 151; ++i)
            QCOMPARE(tip->CreateTip(new QLineEdit(&window), u"tip %1"_s.arg(i)), i < 150);
        QCOMPARE(edit->accessibleDescription(), u"old"_s);
        tip->IniTip();
        QVERIFY(edit->accessibleDescription().isEmpty() && !restMouseOn(edit));
        QVERIFY(tip->CreateTip(edit, u"new"_s));
        QVERIFY(restMouseOn(edit));
        QCOMPARE(tip->balloon()->lines(), QStringList { u"new"_s });
        // A later slot without text takes the tip away; Qt's own tool tip does not show either.
        QVERIFY(tip->CreateTip(edit, QString()));
        QVERIFY(restMouseOn(edit) && !shownBalloon());
        delete edit;
        QVERIFY(!shownBalloon());
        auto *other = new QLineEdit(&window);
        QVERIFY(tip->CreateTip(other, u"other"_s) && restMouseOn(other));
        tip.reset();
        QVERIFY(!shownBalloon());
        QVERIFY(other->accessibleDescription().isEmpty() && !restMouseOn(other));
    }

private:
    QtTranslation m_qtTexts; // the application's, as main makes it
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
