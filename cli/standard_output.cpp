#include <cerrno>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "cli/entry.h"
#include "platform/platform.h"

namespace {

// Hands everything on to standard output's own buffer and keeps the reason
// of the first write that failed: what the command printed, its result, did
// not all reach its reader.
class DeliveryWatch : public std::streambuf {
 public:
  explicit DeliveryWatch(std::streambuf* to) : to_(to) {}
  int failure() const { return failure_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const int_type put = to_->sputc(traits_type::to_char_type(c));
    if (traits_type::eq_int_type(put, traits_type::eof())) Fail();
    return put;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    const std::streamsize put = to_->sputn(text, count);
    if (put != count) Fail();
    return put;
  }

  int sync() override {
    if (to_->pubsync() == 0) return 0;
    Fail();
    return -1;
  }

 private:
  void Fail() {
    if (failure_ == 0) failure_ = errno != 0 ? errno : EIO;
  }

  std::streambuf* to_;
  int failure_ = 0;
};

// Lives as long as the process: the stream flushes into it while static
// objects are being destroyed.
DeliveryWatch& Watch() {
  static DeliveryWatch* const watch = new DeliveryWatch(std::cout.rdbuf());
  return *watch;
}

}  // namespace

void WatchStandardOutput() {
  if (std::cout.rdbuf() != &Watch()) std::cout.rdbuf(&Watch());
}

bool StandardOutputDelivered() {
  std::cout.flush();
  const int failure = StandardOutputWasClosed() ? EBADF : Watch().failure();
  if (failure == 0) return true;
  std::cerr << "Cannot write standard output: " << std::strerror(failure) << std::endl;
  return false;
}
