#pragma once

#include <QString>

// The text without its leading and trailing characters whose code is 32 or less (blanks,
// tabs, line breaks and the other control characters below the blank).
QString TrimControl(const QString& text);

// As TrimControl, and also without leading and trailing Unicode control and space characters
// above 32 (DEL, the C1 controls, no-break and other wide spaces): the panel's texts as shown.
QString TrimControlAndSpace(const QString& text);
