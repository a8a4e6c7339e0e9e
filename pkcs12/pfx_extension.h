// Which key files sign and verify read as PKCS#12.
#pragma once

#include <string>

// A key file is PKCS#12 when the text after the last dot of its path (TextAfterLastDot) starts
// with "pfx" or "p12" in any letter case: key.p12, key.P12, key.pFx and key.pfxold are;
// key.pem, key.pf and a name without an extension are PEM.
bool IsPkcs12Extension(const std::string& extension);
