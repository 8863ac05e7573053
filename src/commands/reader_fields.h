// The fields a reader operation reads and fills: the sector keys, the old key, the message slots
// and the configuration card's fields. The window's controls hold them, or plain values do.
#pragma once

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

// The controls an operation reads and fills, and a profile loads: the window's own, or plain
// values.
class ReaderFields
{
public:
    virtual ~ReaderFields() = default;

    virtual QString keyText(int sector) const = 0;
    virtual void setKeyText(int sector, const QString &text) = 0;
    virtual QString oldKeyText() const = 0;
    virtual void setOldKeyText(const QString &text) = 0;
    // Index (0 to 7) of the selected message option button.
    virtual int selectedMessage() const = 0;
    virtual void selectMessage(int index) = 0;
    virtual QString messageText(int index) const = 0;
    virtual void setMessageText(int index, const QString &text) = 0;
    virtual ConfigFieldTexts configFieldTexts() const = 0;
    virtual void setConfigFieldTexts(const ConfigFieldTexts &texts) = 0;
};

// The fields as plain values: a session's own when no window shows them.
class ReaderFieldStore final : public ReaderFields
{
public:
    ReaderFieldValues values;

    QString keyText(int sector) const override { return values.keys[std::size_t(sector)]; }
    void setKeyText(int sector, const QString &text) override
    {
        values.keys[std::size_t(sector)] = text;
    }
    QString oldKeyText() const override { return values.oldKey; }
    void setOldKeyText(const QString &text) override { values.oldKey = text; }
    int selectedMessage() const override { return values.message; }
    void selectMessage(int index) override { values.message = index; }
    QString messageText(int index) const override { return values.messages[std::size_t(index)]; }
    void setMessageText(int index, const QString &text) override
    {
        values.messages[std::size_t(index)] = text;
    }
    ConfigFieldTexts configFieldTexts() const override { return values.config; }
    void setConfigFieldTexts(const ConfigFieldTexts &texts) override { values.config = texts; }
};
