#include "profile.h"

#include "platform/secret_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kMarkerKey = u"porteval/profile"_s;
constexpr int kFormat = 1;

QString messageKey(int index)
{
    return u"messages/text%1"_s.arg(index + 1);
}

// A value as text: QSettings reads an unquoted comma as a list, which a hand-edited message may
// well hold.
std::optional<QString> textValue(const QSettings &settings, const QString &key)
{
    if (!settings.contains(key))
        return std::nullopt;
    const QVariant value = settings.value(key);
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(u", "_s);
    return value.toString();
}

bool writeSettings(const QString &path, const Profile &profile)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.clear();
    settings.setValue(kMarkerKey, kFormat);
    for (const ConfigFieldName &key : kConfigFieldNames)
        settings.setValue(u"configuration/"_s + QLatin1String(key.name), profile.config.*key.field);
    settings.setValue(u"messages/slot"_s, profile.slot);
    for (int i = 0; i < 8; ++i)
        settings.setValue(messageKey(i), profile.messages[std::size_t(i)]);
    if (profile.oldKey)
        settings.setValue(u"master/old-key"_s, *profile.oldKey);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// The profile as QSettings writes it, by way of a folder that only this user may enter.
std::optional<QByteArray> settingsText(const Profile &profile)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(u"profile.ini"_s);
    QFile file(path);
    if (!folder.isValid() || !writeSettings(path, profile) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

ProfileError failure(ProfileError::Kind kind, const QString &key = {}, int limit = 0)
{
    return { kind, key, limit, {} };
}

} // namespace

QString ProfileError::text() const
{
    switch (kind) {
    case CannotWrite:
        return u"cannot be written"_s;
    case NotWritable:
        return u"not writable"_s;
    case CannotRead:
        return u"cannot be read"_s;
    case Malformed:
        return u"malformed"_s;
    case NotAProfile:
        return u"no [porteval] profile=%1 in it"_s.arg(kFormat);
    case TooLong:
        return u"%1 is longer than %2 characters"_s.arg(key).arg(limit);
    case SlotRange:
        return u"messages/slot is not 1 to 8"_s;
    case System:
        break;
    }
    return systemText;
}

bool saveProfile(const QString &path, const Profile &profile, ProfileError *error)
{
    // With the old key, the profile is a secret: written as a key file is, its owner's alone.
    if (profile.oldKey) {
        const std::optional<QByteArray> text = settingsText(profile);
        if (!text) {
            *error = failure(ProfileError::CannotWrite);
            return false;
        }
        *error = failure(ProfileError::System);
        return writeSecretFile(path, *text, &error->systemText);
    }
    if (!writeSettings(path, profile)) {
        *error = failure(QFileInfo(path).isWritable() || !QFileInfo::exists(path)
                             ? ProfileError::CannotWrite
                             : ProfileError::NotWritable);
        return false;
    }
    return true;
}

std::optional<Profile> loadProfile(const QString &path, const Profile &base, ProfileError *error)
{
    // QSettings keeps the files it has read and reads one again only when its size or time has
    // changed, without saying again that it is malformed: a malformed profile would be refused
    // the first time only. A copy of our own is read afresh every time.
    const QTemporaryDir copyDir;
    const QString copy = copyDir.filePath(u"profile.ini"_s);
    if (!QFileInfo(path).isReadable() || !copyDir.isValid() || !QFile::copy(path, copy)) {
        *error = failure(ProfileError::CannotRead);
        return std::nullopt;
    }
    const QSettings settings(copy, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        *error = failure(ProfileError::Malformed);
        return std::nullopt;
    }
    if (settings.value(kMarkerKey).toInt() != kFormat) {
        *error = failure(ProfileError::NotAProfile);
        return std::nullopt;
    }
    Profile profile = base;
    for (const ConfigFieldName &key : kConfigFieldNames) {
        const QString name = u"configuration/"_s + QLatin1String(key.name);
        if (const auto text = textValue(settings, name)) {
            if (text->size() > kProfileFieldLength) {
                *error = failure(ProfileError::TooLong, name, kProfileFieldLength);
                return std::nullopt;
            }
            profile.config.*key.field = *text;
        }
    }
    if (settings.contains(u"messages/slot"_s)) {
        bool ok = false;
        profile.slot = settings.value(u"messages/slot"_s).toInt(&ok);
        if (!ok || profile.slot < 1 || profile.slot > 8) {
            *error = failure(ProfileError::SlotRange);
            return std::nullopt;
        }
    }
    for (int i = 0; i < 8; ++i) {
        if (const auto text = textValue(settings, messageKey(i))) {
            if (text->size() > kProfileMessageLength) {
                *error = failure(ProfileError::TooLong, messageKey(i), kProfileMessageLength);
                return std::nullopt;
            }
            profile.messages[std::size_t(i)] = *text;
        }
    }
    if (const auto key = textValue(settings, u"master/old-key"_s)) {
        if (key->size() > kProfileKeyLength) {
            *error = failure(ProfileError::TooLong, u"master/old-key"_s, kProfileKeyLength);
            return std::nullopt;
        }
        profile.oldKey = *key;
    }
    return profile;
}
