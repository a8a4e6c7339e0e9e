// Reading a file on a second thread while the command's thread works on what
// was read before: the input of sign and verify is then signed at the speed of
// the digest, its reading hidden behind the digest's work.
#pragma once

#include <cstddef>
#include <functional>

#include "common/files.h"

// Puts the next bytes of a source into the buffer, at most the count asked
// for, and tells how many; 0 at the end, and on a read error, which ends the
// source there.
using PieceSource = std::function<std::size_t(unsigned char* into, std::size_t most)>;

// Hands take every piece that read gives, in order, on the calling thread,
// until read gives 0 (true) or take refuses a piece (false). With more than
// one slot, read runs on a thread of its own, up to that many pieces ahead of
// take; that thread has ended when this returns, however it returns (an
// exception from take included), so it may wait for a read that blocks. Its
// buffers (slots of pieceSize bytes) are wiped before they are freed: they
// may have held key text.
bool ReadAhead(const PieceSource& read, std::size_t pieceSize, std::size_t slots,
               const PieceSink& take);
