#include "owner_only_file.h"

#include <QFile>

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

// The user this process runs as; empty when the token cannot be read.
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

QString systemMessage(DWORD code)
{
    return u"Windows error %1"_s.arg(code);
}

} // namespace

bool restrictToOwner(const QString &path, QString *error)
{
    std::vector<char> user = currentUser();
    if (user.empty()) {
        *error = systemMessage(GetLastError());
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
    if (const DWORD code = SetEntriesInAclW(1, &access, nullptr, &rawAcl); code != ERROR_SUCCESS) {
        *error = systemMessage(code);
        return false;
    }
    const std::unique_ptr<ACL, LocalFreer> acl(rawAcl);
    std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // Protected: the folder's entries (Users, Everyone, ...) are no longer inherited.
    const DWORD code
        = SetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl.get(), nullptr);
    if (code != ERROR_SUCCESS) {
        *error = systemMessage(code);
        return false;
    }
    return true;
}

bool othersMayAccess(const QString &path)
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
        const auto *header = static_cast<ACE_HEADER *>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), sidOf(user)))
            return true;
    }
    return false;
}

#else

namespace {
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther
    | QFileDevice::ExeOther;
} // namespace

bool restrictToOwner(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool othersMayAccess(const QString &path)
{
    return QFile::exists(path) && (QFile::permissions(path) & kOthers);
}

#endif
