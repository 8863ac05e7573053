#include "secret_file.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>

#include <aclapi.h>

#include <memory>
#include <vector>
#endif

using namespace Qt::StringLiterals;

#ifdef Q_OS_WIN

namespace {

struct LocalFreer
{
    void operator()(void *memory) const { LocalFree(memory); }
};

// The user this process runs as (a TOKEN_USER); empty when the token cannot be read.
std::vector<char> currentUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    return ok ? user : std::vector<char>();
}

PSID sidOf(std::vector<char> &user)
{
    return reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
}

// An access list of one entry, the current user with every right, protected from the folder's.
bool restrictToOwner(const QString &path, QString *error)
{
    std::vector<char> user = currentUser();
    if (user.empty()) {
        *error = u"cannot tell who runs this program (Windows error %1)"_s.arg(GetLastError());
        return false;
    }
    EXPLICIT_ACCESSW access {};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sidOf(user));
    PACL rawAcl = nullptr;
    DWORD code = SetEntriesInAclW(1, &access, nullptr, &rawAcl);
    const std::unique_ptr<ACL, LocalFreer> acl(rawAcl);
    std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (code == ERROR_SUCCESS) {
        code
            = SetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl.get(), nullptr);
    }
    if (code != ERROR_SUCCESS) {
        *error = u"cannot make %1 its owner's alone (Windows error %2)"_s.arg(path).arg(code);
        return false;
    }
    return true;
}

} // namespace

bool writeSecretFile(const QString &path, const QByteArray &bytes, QString *error)
{
    // Windows gives no say over the access list of the file QSaveFile writes first; it is set on
    // the file once in place, before anything reads it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return restrictToOwner(path, error);
}

bool readableByOthers(const QString &path)
{
    std::vector<char> user = currentUser();
    if (user.empty())
        return false;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &rawDescriptor)
        != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, LocalFreer> descriptor(rawDescriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
    // No access list at all lets everyone in; an unprotected one takes the folder's entries.
    if (!acl || !(control & SE_DACL_PROTECTED))
        return true;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void *entry = nullptr;
        if (!GetAce(acl, i, &entry))
            return true;
        if (static_cast<ACE_HEADER *>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), sidOf(user)))
            return true;
    }
    return false;
}

#else

bool writeSecretFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Narrowed before anything is written: the new file that replaces `path` is never readable
    // by others, whatever the older one allowed.
    if (!file.open(QIODevice::WriteOnly)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool readableByOthers(const QString &path)
{
    return QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

#endif
