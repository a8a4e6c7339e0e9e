// PfxToPrivateKey on arbitrary PKCS#12 bytes and passwords (see SplitPfxInput).

#include "common/handles.h"
#include "fuzz/fuzz_support.h"
#include "pkcs12/PFX_parser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PfxInput input = SplitPfxInput(data, size);
  std::string serialnumber;
  const PkeyPtr key(PfxToPrivateKey(input.pfx, input.password, serialnumber));
  NoteLibraryErrors();
  return 0;
}
