// The opening both PKCS#12 readers share.
#pragma once

#include <string>

#include "common/handles.h"

// Sets the library up, decodes the DER structure and parses it with the
// password, reporting each failure in its own words on standard error
// ("Error creating BIO.", "Error reading PFX file.", "Error parsing PFX
// file: " and the library's text). On success the key and the certificate
// (either may be missing from the file) belong to the caller: the certificate
// whose public key is the key's, or in a file of certificates alone the first
// that is no authority's, else the first.
bool OpenPkcs12(const std::string& pfxData, const std::string& password, PkeyPtr& key,
                X509Ptr& cert);
