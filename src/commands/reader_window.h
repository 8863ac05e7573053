// What a reader operation needs of the window it runs in: the exchange, the status line, the
// control state, and the controls it reads and fills. The reader session implements it for the
// window and the command line alike, and so does the test bench, so that every operation runs
// without widgets too.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

inline constexpr int kSectors = 16;
inline constexpr int kMessageSlots = 8;

// The configuration tab's fields, as the user typed them.
struct ConfigFieldTexts
{
    QString uart0;
    QString uart1;
    QString mode; // the read-mode selector's text; only its first character counts
    QString startPosition;
    QString endPosition;
    QString blockNumber;
    QString refreshTime;
    QString backlightTime;
};

// The fields' texts as plain values, starting as the window's controls start: the one place
// that says what those are.
struct ReaderFieldValues
{
    std::array<QString, kSectors> keys {};
    QString oldKey = QStringLiteral("5A17C3E09B42");
    int message = 0; // the selected slot, 0 to 7
    // Message 8 is fixed and starts as one blank, as the terminal's own.
    std::array<QString, kMessageSlots> messages {
        { {}, {}, {}, {}, {}, {}, {}, QStringLiteral(" ") }
    };
    ConfigFieldTexts config {
        QStringLiteral("&H00"), QStringLiteral("&H91"), QStringLiteral("0- UID de tarjeta"),
        QStringLiteral("&H00"), QStringLiteral("&H04"), QStringLiteral("&H09"),
        QStringLiteral("&H20"), QStringLiteral("&H40")
    };
};

// The controls an operation reads and fills: the window's own, or plain values.
class ReaderFields
{
public:
    virtual ~ReaderFields() = default;

    virtual QString keyText(int sector) const = 0;
    virtual void setKeyText(int sector, const QString &text) = 0;
    virtual QString oldKeyText() const = 0;
    // Index (0 to 7) of the selected message option button.
    virtual int selectedMessage() const = 0;
    virtual QString messageText(int index) const = 0;
    virtual ConfigFieldTexts configFieldTexts() const = 0;
};

class ReaderWindow : public ReaderFields
{
public:
    virtual quint8 SendCom_RebAns(quint8 iCmdCode, QString &sTermID, QByteArray &sDataSend,
                                  QByteArray &sDataReb)
        = 0;
    virtual quint8 SendCommand(quint8 iFunction, QString &sTermID, QByteArray &sData) = 0;

    virtual void SetTextStatus(const QString &sText) = 0;
    virtual QString GetMisResp(quint8 bNumResp) const = 0;
    virtual QString GetMis(int iNumMis) const = 0;
    virtual void EnableControls(bool bEnable) = 0;
    // bKeyCardRead = True; nothing ever sets it back.
    virtual void setKeyCardRead() = 0;
};
