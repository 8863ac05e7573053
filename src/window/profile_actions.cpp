#include "profile_actions.h"

#include "texts/message_numbers.h"
#include "window/frm_config_porteval.h"
#include "window/length_limit_validator.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

using namespace Qt::StringLiterals;

ProfileActions::ProfileActions(frmConfigPorteval &window)
    : QObject(&window)
    , m_window(window)
{ }

Profile ProfileActions::fromWindow() const
{
    Profile profile;
    profile.config = m_window.configFieldTexts();
    profile.slot = m_window.selectedMessage() + 1;
    for (int i = 0; i < 8; ++i)
        profile.messages[std::size_t(i)] = m_window.messageText(i);
    return profile;
}

void ProfileActions::toWindow(const Profile &profile)
{
    const ConfigFieldTexts &c = profile.config;
    const std::pair<QLineEdit *, QString> fields[]
        = { { m_window.txtCfgUART0, c.uart0 },        { m_window.txtCfgUART1, c.uart1 },
            { m_window.txtIniPos, c.startPosition },  { m_window.txtFinPos, c.endPosition },
            { m_window.txtNumBloc, c.blockNumber },   { m_window.txtCfgTRef, c.refreshTime },
            { m_window.txtCfgTBack, c.backlightTime } };
    for (const auto &[box, text] : fields)
        setProgramText(box, text);
    m_window.cCfgMode->setEditText(c.mode);
    for (int i = 0; i < 8; ++i)
        setProgramText(m_window.txtCfgMis[i], profile.messages[std::size_t(i)]);
    m_window.opCfgMis[profile.slot - 1]->setChecked(true);
    if (profile.oldKey)
        setProgramText(m_window.txtOldKey, *profile.oldKey);
}

QString ProfileActions::why(const ProfileError &error) const
{
    const QString text = error.kind == ProfileError::System
        ? QString()
        : m_window.GetMis(Mis::FirstProfileError + error.kind);
    if (text.isEmpty()) // the system's own words, or a language file without these texts
        return error.text();
    return error.kind == ProfileError::TooLong ? text.arg(error.key).arg(error.limit) : text;
}

bool ProfileActions::saveTo(const QString &path, bool withOldKey)
{
    Profile profile = fromWindow();
    if (withOldKey)
        profile.oldKey = m_window.oldKeyText();
    ProfileError error;
    const bool saved = saveProfile(path, profile, &error);
    const QString file = QDir::toNativeSeparators(path);
    m_window.SetTextStatus(saved ? m_window.GetMis(Mis::ProfileSaved).arg(file)
                                 : m_window.GetMis(Mis::ProfileNotSaved).arg(file, why(error)));
    return saved;
}

bool ProfileActions::loadFrom(const QString &path)
{
    ProfileError error;
    const std::optional<Profile> profile = loadProfile(path, fromWindow(), &error);
    const QString file = QDir::toNativeSeparators(path);
    if (!profile) {
        m_window.SetTextStatus(m_window.GetMis(Mis::ProfileRejected).arg(file, why(error)));
        return false;
    }
    toWindow(*profile);
    m_window.SetTextStatus(m_window.GetMis(Mis::ProfileLoaded).arg(file));
    return true;
}

void ProfileActions::saveWithDialogs()
{
    const QString filter = m_window.GetMis(Mis::ProfileFiles) + u" (*.ini)"_s;
    const QString path = QFileDialog::getSaveFileName(&m_window, m_window.GetMis(Mis::SaveProfile),
                                                      u"site.ini"_s, filter);
    if (path.isEmpty())
        return;
    // The key stays out unless the user says otherwise: No is the default answer.
    const bool withOldKey
        = QMessageBox::question(&m_window, m_window.GetMis(Mis::SaveProfile),
                                m_window.GetMis(Mis::ProfileIncludeKey),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
    saveTo(path, withOldKey);
}

void ProfileActions::loadWithDialog()
{
    const QString filter = m_window.GetMis(Mis::ProfileFiles) + u" (*.ini);;* (*)"_s;
    const QString path = QFileDialog::getOpenFileName(&m_window, m_window.GetMis(Mis::LoadProfile),
                                                      QString(), filter);
    if (!path.isEmpty())
        loadFrom(path);
}
