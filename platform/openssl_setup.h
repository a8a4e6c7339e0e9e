// What PrepareOpenSsl (platform/openssl_setup.cpp) leaves to each system.
#pragma once

// Makes the GOST engine known to the library under its name "gost": the
// system's own engine is found by the library where it finds engines; a build
// with the engine linked in adds it to the library's list.
void MakeGostEngineKnown();

// Limits where the engines and providers that a configuration names by name
// are looked for, before any configuration is read.
void ConfineLoadableModules();
