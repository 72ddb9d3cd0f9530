#pragma once

#include "core/records.h"

#include <optional>
#include <vector>

// What the key store holds under each record key "i" since the last successful save (or
// nothing known). A save leaves a key alone when its record still equals what it holds.
struct SaveState {
  std::vector<std::optional<TNote>> notes;
  std::vector<std::optional<TToDo>> todos;
  // Learned by the load from the store's copies rather than written by this program's saves.
  bool loaded = false;

  void Clear() {
    notes.clear();
    todos.clear();
    loaded = false;
  }
};
