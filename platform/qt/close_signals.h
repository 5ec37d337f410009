// SIGTERM, SIGINT and SIGHUP ask the game to close the normal way. The
// handler only writes a byte to a pipe; the event loop reads it and runs the
// request, since nothing of Qt or the game is safe inside a signal handler.
#pragma once

#include <functional>

class QSocketNotifier;

namespace kelvane {

class CloseSignals {
 public:
  // onSignal runs on the event loop once per signal received. A second
  // signal of the same kind ends the process at once (for a program that no
  // longer answers).
  explicit CloseSignals(std::function<void()> onSignal);
  ~CloseSignals();
  CloseSignals(const CloseSignals&) = delete;
  CloseSignals& operator=(const CloseSignals&) = delete;

 private:
  void Drain();

  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvane
