// Certificate names as the console shows them.
#pragma once

#include <openssl/x509.h>

#include <string>

// The name's one-line form, "/C=TJ/CN=...": the library's own text (X509_NAME_oneline) when
// every value is ASCII; otherwise the same form with each value in UTF-8, where the library
// would show each byte of a letter outside ASCII as \xHH.
std::string NameLine(const X509_NAME* name);
