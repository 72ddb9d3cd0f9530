#pragma once

#include <functional>
#include <initializer_list>

class QObject;

// Turns the given signals (SIGTERM, SIGINT, ...) into an event of the Qt loop: the handler
// only writes a byte into a socket pair, and the loop, woken by it, calls onSignal (when given)
// and then ends with QCoreApplication::exit(0) — which also ends a dialog shown before the
// loop runs. The watcher lives as long as parent. False when the socket pair cannot be made.
bool ExitOnSignals(QObject* parent, std::initializer_list<int> signalNumbers, std::function<void()> onSignal = {});
