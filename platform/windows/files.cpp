#include <aclapi.h>
#include <openssl/crypto.h>

#include <chrono>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/windows/utf16.h"

namespace {

// A path that is not valid UTF-8 names no file.
std::wstring WidePath(const std::string& path) { return Utf16(path, MB_ERR_INVALID_CHARS); }

HANDLE AsHandle(OsFile file) { return reinterpret_cast<HANDLE>(file); }

// The system's own reading of a reserved device name ("COM1", "nul.txt",
// "C:\x\AUX"): its full path is "\\.\" and the device. Empty for any other path.
std::wstring DeviceName(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (length < 4 || length >= MAX_PATH || std::wstring(full, 4) != L"\\\\.\\") return {};
  std::wstring name(full + 4, length - 4);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// NUL, the console and named pipes end; every other device may not.
bool IsStreamDevice(const std::wstring& name) {
  return name == L"NUL" || name == L"CON" || name == L"CONIN$" || name.rfind(L"PIPE\\", 0) == 0;
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

bool OwnedByCurrentUser(const std::wstring& path) {
  std::vector<unsigned char> user = CurrentUserSid();
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (user.empty() ||
      GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool same = EqualSid(owner, user.data()) != 0;
  LocalFree(descriptor);
  return same;
}

// An access list with one entry, reading and writing (and deleting, so that
// a later run can replace it) for that account: no group, no administrator,
// nothing inherited from the folder. Wine turns it into a host mode with no
// bits for others and none for writing by the group.
std::vector<unsigned char> OwnerOnlyAcl(PSID sid) {
  const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
  std::vector<unsigned char> acl(size);
  const PACL list = reinterpret_cast<PACL>(acl.data());
  if (!InitializeAcl(list, size, ACL_REVISION) ||
      !AddAccessAllowedAce(list, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE,
                           sid)) {
    return {};
  }
  return acl;
}

// A descriptor for a new file that its owner alone may read, and the memory
// it points into; built whole or not at all.
struct OwnerOnlyDescriptor {
  std::vector<unsigned char> sid, acl;
  SECURITY_DESCRIPTOR descriptor{};

  bool Build() {
    sid = CurrentUserSid();
    if (sid.empty()) return false;
    acl = OwnerOnlyAcl(sid.data());
    return !acl.empty() &&
           InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.data()),
                                     FALSE) &&
           SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
};

bool WriteBytes(HANDLE file, const char* bytes, std::size_t count) {
  while (count > 0) {
    const DWORD piece = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(file, bytes, piece, &written, nullptr) || written == 0) return false;
    bytes += written;
    count -= written;
  }
  return true;
}

}  // namespace

FileKind KindOfPath(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return FileKind::Missing;
  const std::wstring device = DeviceName(wide);
  if (!device.empty()) return IsStreamDevice(device) ? FileKind::Stream : FileKind::Device;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
  // A name can stand for something other than a file on disk too (under
  // Wine, a FIFO or a device of the host): asked without reading or writing.
  const HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileKind::Regular;  // as fopen will find out
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  if (type == FILE_TYPE_DISK) return FileKind::Regular;
  return type == FILE_TYPE_PIPE ? FileKind::Stream : FileKind::Device;
}

bool SameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string* paths[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    if (KindOfPath(*paths[i]) != FileKind::Regular) return false;
    const HANDLE file = CreateFileW(WidePath(*paths[i]).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool read = GetFileInformationByHandle(file, &info[i]) != 0;
    CloseHandle(file);
    if (!read) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool MayReplace(const std::string& path, bool keyMaterial) {
  const std::wstring wide = WidePath(path);
  if (wide.empty() || !DeviceName(wide).empty()) return false;
  // Attributes of the name itself: a link is replaced, never followed.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  return KindOfPath(path) == FileKind::Regular && (attributes & FILE_ATTRIBUTE_READONLY) == 0 &&
         (!keyMaterial || OwnedByCurrentUser(wide));
}

std::string PathBeside(const std::string& path, const std::string& name) {
  const std::size_t end = path.find_last_of("\\/:");
  return end == std::string::npos ? name : path.substr(0, end + 1) + name;
}

std::string FolderOf(const std::string& path) {
  const std::size_t end = path.find_last_of("\\/:");
  if (end == std::string::npos) return {};
  // "C:", "\" and "C:\" name a drive's current folder or a root: kept whole.
  const bool root = path[end] == ':' || end == 0 || path[end - 1] == ':';
  return path.substr(0, root ? end + 1 : end);
}

bool FolderOpenToOthers(const std::string& folder) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(WidePath(folder).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  // Adding a file, removing any file, or taking the folder over; entries only
  // handed down to what is made inside (CREATOR OWNER's among them) are not
  // the folder's own. A folder without an access list is open to all.
  constexpr ACCESS_MASK kChanges =
      FILE_ADD_FILE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  bool open = list == nullptr;
  for (DWORD i = 0; list != nullptr && i < list->AceCount && !open; ++i) {
    void* entry = nullptr;
    if (!GetAce(list, i, &entry)) break;
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    const PSID sid = &ace->SidStart;
    open = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
           (ace->Header.AceFlags & INHERIT_ONLY_ACE) == 0 && (ace->Mask & kChanges) != 0 &&
           (IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinBuiltinUsersSid) ||
            IsWellKnownSid(sid, WinAuthenticatedUserSid));
  }
  LocalFree(descriptor);
  return open;
}

OsFile CreateNewFile(const std::string& path, bool keyMaterial) {
  OwnerOnlyDescriptor ownerOnly;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
  if (keyMaterial) {
    if (!ownerOnly.Build()) return kNoFile;
    attributes.lpSecurityDescriptor = &ownerOnly.descriptor;
  }
  const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<OsFile>(file);
}

bool WriteAllTo(OsFile file, const std::string& bytes, bool textMode) {
  if (!textMode) return WriteBytes(AsHandle(file), bytes.data(), bytes.size());
  // Lines end in CR LF, as a text stream would write them; the converted
  // copy may be key text, so its buffer is wiped.
  char piece[4096];
  std::size_t used = 0;
  bool written = true;
  for (const char c : bytes) {
    if (used + 2 > sizeof piece) {
      written = written && WriteBytes(AsHandle(file), piece, used);
      used = 0;
    }
    if (c == '\n') piece[used++] = '\r';
    piece[used++] = c;
  }
  written = written && WriteBytes(AsHandle(file), piece, used);
  OPENSSL_cleanse(piece, sizeof piece);
  return written;
}

bool FlushAndClose(OsFile file) {
  const bool flushed = FlushFileBuffers(AsHandle(file)) != 0;
  return CloseHandle(AsHandle(file)) != 0 && flushed;
}

namespace {

// Another program (a virus scanner, an indexer) may hold the old file open for
// a moment: the move is tried again for up to a second. A name that is taken
// when it must be free is never tried again.
bool Move(const std::string& from, const std::string& to, DWORD flags) {
  const std::wstring source = WidePath(from), target = WidePath(to);
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), flags | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

bool MoveOver(const std::string& from, const std::string& to) {
  return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

bool MoveToFreeName(const std::string& from, const std::string& to) { return Move(from, to, 0); }

bool NameTaken(const std::string& path) {
  // The attributes of the name itself: a link is not followed.
  return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveFile(const std::string& path) { DeleteFileW(WidePath(path).c_str()); }
