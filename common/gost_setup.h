// GOST for the run: the built-in engine or the system's GOST provider, as the
// program was built (common/gost_way/), set up the first time a command needs
// it and never for a run that does not. Above this the program reaches GOST
// by algorithm names alone, so one code serves both ways.
#pragma once

#include <openssl/err.h>
#include <openssl/types.h>

#include <string>

// GOST in the default library context for the rest of the run. GOST that a
// user's configuration already brought (the engine or the provider) is used
// as it is: nothing is loaded twice. False when GOST cannot be had; with
// `report`, after the one line "GOST is not available: REASON" on standard
// error, REASON naming the library's version. Done once; a later call gives
// the same answer.
bool PrepareGost(bool report);

// Whether GOST has been set up in this run.
bool GostPrepared();

// For a command that sets GOST up in a library context of its own: whether
// GOST is installed at all, nothing loaded yet. False, with `report` after
// the line of PrepareGost, when it is not.
bool GostInstalled(bool report);

// Whether GOST set up in the default context serves every library context
// (the engine does); else a context of a command's own has GOST only by
// LoadGostInto, and only where the default context has none.
bool GostServesEveryContext();

// GOST in a library context of a command's own: its provider loaded into it
// and handed to the caller to unload (null where the engine serves every
// context, or the context already has GOST). The provider's module keeps
// state of its own that a second copy in the process would share and tear
// down with it: it is loaded into one context of the run, never two. False
// after the line of PrepareGost when it cannot be had there.
bool LoadGostInto(OSSL_LIB_CTX* context, OSSL_PROVIDER*& loaded);

// Whether the read that just failed may have failed for want of GOST: not
// when the text held no PEM block of the kind at all.
bool FailureMayBeGosts();

// A key or certificate that cannot be read without GOST: `read` once, and
// again after GOST is set up when the first read gave nothing and GOST was
// not there yet. A run with RSA keys alone never sets GOST up; the first
// read's errors go when the second succeeds.
template <typename Read>
auto ReadNeedingGost(Read read) -> decltype(read()) {
  ERR_set_mark();
  auto got = read();
  if (!got && !GostPrepared() && FailureMayBeGosts() && PrepareGost(false)) {
    ERR_pop_to_mark();
    return read();
  }
  ERR_clear_last_mark();
  return got;
}

// The GOST engine, when the library's list has one (a user's configuration
// loaded it, or the program added its own), made the default for all it
// offers, so that lookups by name find it. False when there is none (always
// on OpenSSL 4, which has no engines).
bool UseListedGostEngine();

// What the build's way does (common/gost_way/engine.cpp or provider.cpp):
// GOST made available in the context (null: the default one), or why it
// cannot be, in words that name the library's version; why GOST is not
// installed, or empty; whether the default context's GOST serves all.
std::string GostWayInto(OSSL_LIB_CTX* context, OSSL_PROVIDER*& loaded);
std::string GostWayMissing();
extern const bool kGostWayServesEveryContext;

// "OpenSSL 3.6.5": the library the program runs with, as failures name it.
std::string OpenSslVersion();
