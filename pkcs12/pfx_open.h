// The opening both PKCS#12 readers share.
#pragma once

#include <string>

#include "common/handles.h"

// Sets the library up, decodes the DER structure and parses it with the
// password, reporting each failure in its own words on standard error
// ("Error creating BIO.", "Error reading PFX file.", "Error parsing PFX
// file: " and the library's text). On success the key and the certificate
// (either may be missing from the file) belong to the caller.
bool OpenPkcs12(const std::string& pfxData, const std::string& password, PkeyPtr& key,
                X509Ptr& cert);
