// The data that the signing and verification engines digest.
#pragma once

#include <functional>
#include <string>

#include "common/files.h"

// Hands the engines' data to the library a piece at a time: bytes already in
// memory as one piece, or an input file as it is read, through one small
// buffer, so that the input of sign and verify passes in flat memory whatever
// its size. A byte string converts to it implicitly, so the engines are still
// called with data in memory as they always were.
class Message {
 public:
  Message(const std::string& bytes)  // NOLINT(google-explicit-constructor): see above
      : feed_([&bytes](const PieceSink& take) {
          return take(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        }) {}
  Message(InputFile& file)  // NOLINT(google-explicit-constructor)
      : feed_([&file](const PieceSink& take) { return file.ForEachPiece(take); }) {}

  // Hands every byte to take, in order; false as soon as take refuses a piece.
  bool Feed(const PieceSink& take) const { return feed_(take); }

 private:
  std::function<bool(const PieceSink&)> feed_;
};
