#pragma once

#include "platform/screens.h"

// The monitors Qt knows (QGuiApplication::screens()); needs a QGuiApplication.
class QtScreens final : public Screens {
 public:
  int count() const override;
  Monitor info(int index) const override;
  int primary() const override;
};
