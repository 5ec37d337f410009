#include "platform/qt/close_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace kelvane {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};
struct sigaction previous[std::size(kSignals)];

void OnSignal(int sig) {
  const int saved = errno;
  const char byte = static_cast<char>(sig);
  // A full pipe already holds a pending request; losing this byte is fine.
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

CloseSignals::CloseSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Drain(); });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  // SA_RESETHAND: the next signal of this kind takes its default action.
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &sa, &previous[i]);
}

CloseSignals::~CloseSignals() {
  if (!notifier_) return;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  delete notifier_;
  close(signalPipe[0]);
  close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}

void CloseSignals::Drain() {
  char bytes[16];
  bool any = false;
  while (read(signalPipe[0], bytes, sizeof bytes) > 0) any = true;
  if (any && onSignal_) onSignal_();
}

}  // namespace kelvane
