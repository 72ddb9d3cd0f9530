#pragma once

#include <QtGlobal>

// Division rounded toward negative infinity (C++ division truncates toward zero): -1 / 9
// gives -1, not 0. b must not be 0.
constexpr qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
