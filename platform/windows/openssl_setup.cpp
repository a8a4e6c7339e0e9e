#include "platform/openssl_setup.h"

#include <openssl/provider.h>

#include <cstdlib>
#include <string>

#include "platform/windows_api.h"

namespace {

// The folder that holds cspTRIL.exe, with its final separator, in UTF-8 (the
// program's code page); empty when it cannot be had.
std::string ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of("\\/") + 1);
}

}  // namespace

// The library would look for engines and providers in the folders compiled
// into it: the build machine's, which Windows resolves on the current drive,
// where any local user may create them and put a DLL that would then run in
// the process that holds the private key. The program's own folder is the
// only one trusted as much as the program itself.
void ConfineLoadableModules() {
  const std::string folder = ProgramFolder();
  if (folder.empty()) return;
  // The library reads this through the C runtime's copy of the environment.
  _putenv_s("OPENSSL_ENGINES", folder.c_str());
  OSSL_PROVIDER_set_default_search_path(nullptr, folder.c_str());
}
