#include "app/quitsignals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <utility>

namespace {

// The pair whose first end the handler writes to; the handler can reach nothing else. It is
// made once, before any handler is installed.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

bool ExitOnSignals(QObject* parent, std::initializer_list<int> signalNumbers, std::function<void()> onSignal) {
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return false;
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [onSignal = std::move(onSignal)] {
    char byte;
    [[maybe_unused]] auto got = ::read(signalPipe[1], &byte, 1);
    if (onSignal) onSignal();
    QCoreApplication::exit(0);
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : signalNumbers) sigaction(number, &action, nullptr);
  return true;
}
