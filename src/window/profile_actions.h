// "Save profile" and "Load profile" of the window: the configuration fields and the message
// texts (and, when the user says so, the old key) to a profile file and back.
#pragma once

#include "commands/profile.h"

#include <QObject>

class ReaderFields;
class ReaderSession;
class QWidget;

class ProfileActions : public QObject
{
    Q_OBJECT

public:
    // Loads into and saves from `fields`; says how it went on `session`'s status line, in its
    // language; its dialogs belong to `window`.
    ProfileActions(QWidget &window, ReaderFields &fields, ReaderSession &session);

    // The dialogs: a file to save to, whether the old key goes in, or a file to load.
    void saveWithDialogs();
    void loadWithDialog();

    // The same without dialogs; each puts its outcome on the status line.
    bool saveTo(const QString &path, bool withOldKey);
    bool loadFrom(const QString &path);

    Profile fromFields() const;
    void toFields(const Profile &profile);

private:
    // Why a profile was refused, in the language shown.
    QString why(const ProfileError &error) const;

    QWidget &m_window;
    ReaderFields &m_fields;
    ReaderSession &m_session;
};
