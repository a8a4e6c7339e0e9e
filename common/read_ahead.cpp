#include "common/read_ahead.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/secret.h"

namespace {

// Reads and takes in turn, on the calling thread, through one buffer.
bool ReadInTurn(const PieceSource& read, unsigned char* buffer, std::size_t size,
                const PieceSink& take) {
  std::size_t count = 0;
  while ((count = read(buffer, size)) > 0) {
    if (!take(buffer, count)) return false;
  }
  return true;
}

// The slots that pass between the reader and the taker: piece n goes into
// slot n % slots, and a piece of 0 bytes is the end. The counters and the
// pieces' lengths are shared, under the lock; the bytes of a slot belong to
// one thread at a time, as the counters say. A wake-up costs a system call
// (under Wine, a round trip to its server), so each side wakes the other only
// when it waits for what has just happened, and the reader, once the ring is
// full, sleeps until the taker is down to its last piece, then fills every
// free slot in one go.
class Ring {
 public:
  Ring(unsigned char* storage, std::size_t pieceSize, std::size_t slots)
      : storage_(storage), pieceSize_(pieceSize), slots_(slots), counts_(slots) {}

  // The reader thread's work: fills slots until the source ends or the taker stops.
  void Fill(const PieceSource& read) {
    for (std::uint64_t n = 0;; ++n) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (n - taken_ == slots_) {
          readerWaits_ = true;
          changed_.wait(lock, [this, n] { return stopped_ || n - taken_ <= 1; });
          readerWaits_ = false;
        }
        if (stopped_) return;
      }
      const std::size_t count = read(Slot(n), pieceSize_);
      bool wake = false;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        counts_[n % slots_] = count;
        filled_ = n + 1;
        wake = takerWaits_;
      }
      if (wake) changed_.notify_one();
      if (count == 0) return;
    }
  }

  // The taker's work, on the calling thread: takes the pieces as they are filled.
  bool Drain(const PieceSink& take) {
    for (std::uint64_t n = 0;; ++n) {
      std::size_t count = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (filled_ == n) {
          takerWaits_ = true;
          changed_.wait(lock, [this, n] { return filled_ > n; });
          takerWaits_ = false;
        }
        count = counts_[n % slots_];
      }
      if (count == 0) return true;
      if (!take(Slot(n), count)) return false;
      bool wake = false;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        taken_ = n + 1;
        wake = readerWaits_ && filled_ - taken_ <= 1;
      }
      if (wake) changed_.notify_one();
    }
  }

  // Frees a reader that waits for a slot: it reads nothing more.
  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_one();
  }

 private:
  unsigned char* Slot(std::uint64_t n) const { return storage_ + (n % slots_) * pieceSize_; }

  unsigned char* const storage_;
  const std::size_t pieceSize_;
  const std::uint64_t slots_;
  std::vector<std::size_t> counts_;
  std::mutex mutex_;
  // One serves both sides: only one of them ever waits at a time, the reader
  // on a full ring and the taker on an empty one.
  std::condition_variable changed_;
  std::uint64_t filled_ = 0;
  std::uint64_t taken_ = 0;
  bool readerWaits_ = false;
  bool takerWaits_ = false;
  bool stopped_ = false;
};

// Stops and joins the reader on every way out of the taker's loop: the ring,
// its buffers and the source must outlive the thread.
class JoinOnExit {
 public:
  JoinOnExit(Ring& ring, std::thread& reader) : ring_(ring), reader_(reader) {}
  JoinOnExit(const JoinOnExit&) = delete;
  JoinOnExit& operator=(const JoinOnExit&) = delete;
  ~JoinOnExit() {
    ring_.Stop();
    reader_.join();
  }

 private:
  Ring& ring_;
  std::thread& reader_;
};

}  // namespace

bool ReadAhead(const PieceSource& read, std::size_t pieceSize, std::size_t slots,
               const PieceSink& take) {
  SecretString storage;
  storage.value().resize(pieceSize * slots);
  auto* const bytes = reinterpret_cast<unsigned char*>(storage.value().data());
  if (slots < 2) return ReadInTurn(read, bytes, pieceSize, take);
  Ring ring(bytes, pieceSize, slots);
  std::thread reader;
  try {
    reader = std::thread([&ring, &read] { ring.Fill(read); });
  } catch (const std::system_error&) {
    // No thread to be had (a process limit): the reading is merely slower.
    return ReadInTurn(read, bytes, pieceSize, take);
  }
  const JoinOnExit join(ring, reader);
  return ring.Drain(take);
}
