// Which key files sign and verify read as PKCS#12: the one place that decides it.
#pragma once

#include <string>

// A key file is PKCS#12 when the text after the last dot of its path (a dot that is not the
// path's first character; it may stand in a folder name) starts with "pfx" or "p12" in any
// letter case: key.p12, key.P12, key.pFx and key.pfxold are; key.pem, key.pf, ".pfx" alone
// and a name without an extension are PEM.
bool IsPkcs12KeyFile(const std::string& path);
