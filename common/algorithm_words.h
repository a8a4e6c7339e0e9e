// The algorithm words of sign, verify and CSR, each with everything it
// means: one row per word, read by every command, so that a new word, or a
// check one command forgot, is one edit here.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>

#include "common/handles.h"

struct AlgorithmWord {
  const char* word;              // as the command line names it, exactly (ASCII)
  const char* digest;            // the library's name of the digest it signs with
  const char* keyType;           // the only key type it takes, as KeyTypeName gives it
  const char* signAnnouncement;  // what sign and verify say of the word
  const char* csrAnnouncement;   // what CSR says of the word
  const char* recordPrefix;      // what sign prints before the record
};

// The row of the word (compared exactly, letter case included), or null.
const AlgorithmWord* FindAlgorithmWord(const std::wstring& word);

// The row whose digest this is, or null: for code handed a digest name.
const AlgorithmWord* WordOfDigest(const std::string& digestName);

// The GOST word's row: its digest is Streebog-256 (GOST R 34.11-2012, 256 bits).
const AlgorithmWord& GostWord();

// Streebog-512, which no word signs with: the PKCS#12 files of the GOST
// profiles derive their keys and MACs with it.
extern const char kStreebog512Digest[];

// The digest of that name, whichever way the library has it: a provider's
// (fetched) or an engine's (looked up by name, as fetching does not see it).
// Null when neither knows the name.
MdPtr DigestByName(const std::string& name);

// The block cipher of that name, found the same two ways as DigestByName.
CipherPtr CipherByName(const std::string& name);
