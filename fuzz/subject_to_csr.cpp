// ParseSubject and GenerateCsr on arbitrary subject strings, with one RSA key
// pair made at start-up (1024 bits, so that each signature stays cheap). A
// usable key must give a request exactly when ParseSubject takes the subject,
// and the request must carry the very name ParseSubject builds and a valid
// signature.
#include <openssl/pem.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "common/handles.h"
#include "csr/csr_builder.h"
#include "fuzz/fuzz_support.h"
#include "keys/rsa_keys.h"

namespace {

// A scratch folder for the key files, removed when the run ends normally.
struct KeyFolder {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("cspTRIL-fuzz-" + std::to_string(std::random_device{}()));
  std::string privateKey = (path / "rsa_private_key.pem").string();
  std::string publicKey = (path / "rsa_public_key.pem").string();
  ~KeyFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

const KeyFolder& Keys() {
  static const KeyFolder keys;
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareFuzzing();
  std::filesystem::create_directory(Keys().path);
  if (!GenerateAndSaveRsaKeys(1024, Keys().privateKey, Keys().publicKey)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string subject = InputBytes(data, size);
  const X509NamePtr name(X509_NAME_new());
  if (!name) return 0;
  const bool parsed = ParseSubject(name.get(), subject);

  const std::string pem = GenerateCsr("SHA256", Keys().privateKey, Keys().publicKey, subject);
  if (!parsed) {
    if (!pem.empty()) std::abort();  // a subject refused makes no request
    return 0;
  }
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  const X509ReqPtr request(PEM_read_bio_X509_REQ(bio.get(), nullptr, nullptr, nullptr));
  if (!request) std::abort();
  if (X509_NAME_cmp(X509_REQ_get_subject_name(request.get()), name.get()) != 0) std::abort();
  const PkeyPtr key(X509_REQ_get_pubkey(request.get()));
  if (X509_REQ_verify(request.get(), key.get()) != 1) std::abort();
  NoteLibraryErrors();
  return 0;
}
