#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

#include <aclapi.h>

namespace {

// Paths are UTF-8 throughout the tool; the wide system calls take UTF-16.
std::wstring WidePath(const std::string& path) {
  if (path.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                       static_cast<int>(path.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                      wide.data(), size);
  return wide;
}

// The security identifier of the account this process runs as.
std::vector<unsigned char> CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
  CloseHandle(token);
  if (!read) return {};
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  std::vector<unsigned char> copy(GetLengthSid(sid));
  if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

// An access list with a single entry, full control for that account: no
// group, no administrator, nothing inherited from the folder.
std::vector<unsigned char> OwnerOnlyAcl(PSID sid) {
  const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
  std::vector<unsigned char> acl(size);
  const PACL list = reinterpret_cast<PACL>(acl.data());
  if (!InitializeAcl(list, size, ACL_REVISION) ||
      !AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid)) {
    return {};
  }
  return acl;
}

}  // namespace

bool IsDirectoryStream(std::FILE* file) {
  struct _stat64 info {};
  return _fstat64(_fileno(file), &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
}

void RestrictToOwner(const std::string& path) {
  const std::wstring widePath = WidePath(path);
  std::vector<unsigned char> sid = CurrentUserSid();
  if (widePath.empty() || sid.empty()) return;
  std::vector<unsigned char> acl = OwnerOnlyAcl(sid.data());
  if (acl.empty()) return;
  const PACL list = reinterpret_cast<PACL>(acl.data());

  // A new file is born with the protected list; an existing one keeps its
  // content until the writer replaces it, but loses every other entry first.
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
  const HANDLE file = CreateFileW(widePath.c_str(), READ_CONTROL | WRITE_DAC,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &attributes, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // Only files on disk: NUL and other devices keep what they have.
  if (GetFileType(file) == FILE_TYPE_DISK) {
    SetSecurityInfo(file, SE_FILE_OBJECT,
                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, list, nullptr);
  }
  CloseHandle(file);
}
