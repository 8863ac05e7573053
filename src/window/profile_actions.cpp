#include "profile_actions.h"

#include "commands/reader_session.h"
#include "texts/message_numbers.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

using namespace Qt::StringLiterals;

ProfileActions::ProfileActions(QWidget &window, ReaderFields &fields, ReaderSession &session)
    : QObject(&window)
    , m_window(window)
    , m_fields(fields)
    , m_session(session)
{ }

Profile ProfileActions::fromFields() const
{
    Profile profile;
    profile.config = m_fields.configFieldTexts();
    profile.slot = m_fields.selectedMessage() + 1;
    for (int i = 0; i < kMessageSlots; ++i)
        profile.messages[std::size_t(i)] = m_fields.messageText(i);
    return profile;
}

void ProfileActions::toFields(const Profile &profile)
{
    m_fields.setConfigFieldTexts(profile.config);
    for (int i = 0; i < kMessageSlots; ++i)
        m_fields.setMessageText(i, profile.messages[std::size_t(i)]);
    m_fields.selectMessage(profile.slot - 1);
    if (profile.oldKey)
        m_fields.setOldKeyText(*profile.oldKey);
}

QString ProfileActions::why(const ProfileError &error) const
{
    const QString text = error.kind == ProfileError::System
        ? QString()
        : m_session.GetMis(Mis::FirstProfileError + error.kind);
    if (text.isEmpty()) // the system's own words, or a language file without these texts
        return error.text();
    return error.kind == ProfileError::TooLong ? text.arg(error.key).arg(error.limit) : text;
}

bool ProfileActions::saveTo(const QString &path, bool withOldKey)
{
    Profile profile = fromFields();
    if (withOldKey)
        profile.oldKey = m_fields.oldKeyText();
    ProfileError error;
    const bool saved = saveProfile(path, profile, &error);
    const QString file = QDir::toNativeSeparators(path);
    m_session.SetTextStatus(saved ? m_session.GetMis(Mis::ProfileSaved).arg(file)
                                  : m_session.GetMis(Mis::ProfileNotSaved).arg(file, why(error)));
    return saved;
}

bool ProfileActions::loadFrom(const QString &path)
{
    ProfileError error;
    const std::optional<Profile> profile = loadProfile(path, fromFields(), &error);
    const QString file = QDir::toNativeSeparators(path);
    if (!profile) {
        m_session.SetTextStatus(m_session.GetMis(Mis::ProfileRejected).arg(file, why(error)));
        return false;
    }
    toFields(*profile);
    m_session.SetTextStatus(m_session.GetMis(Mis::ProfileLoaded).arg(file));
    return true;
}

void ProfileActions::saveWithDialogs()
{
    const QString filter = m_session.GetMis(Mis::ProfileFiles) + u" (*.ini)"_s;
    const QString path = QFileDialog::getSaveFileName(&m_window, m_session.GetMis(Mis::SaveProfile),
                                                      u"site.ini"_s, filter);
    if (path.isEmpty())
        return;
    // The key stays out unless the user says otherwise: No is the default answer.
    const bool withOldKey
        = QMessageBox::question(&m_window, m_session.GetMis(Mis::SaveProfile),
                                m_session.GetMis(Mis::ProfileIncludeKey),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
    saveTo(path, withOldKey);
}

void ProfileActions::loadWithDialog()
{
    const QString filter = m_session.GetMis(Mis::ProfileFiles) + u" (*.ini);;* (*)"_s;
    const QString path = QFileDialog::getOpenFileName(&m_window, m_session.GetMis(Mis::LoadProfile),
                                                      QString(), filter);
    if (!path.isEmpty())
        loadFrom(path);
}
