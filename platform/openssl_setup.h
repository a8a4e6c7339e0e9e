// What PrepareOpenSsl (platform/openssl_setup.cpp) leaves to each system.
#pragma once

// Limits where the engines and providers that a configuration names by name
// are looked for, before any configuration is read.
void ConfineLoadableModules();
