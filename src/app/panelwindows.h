#pragma once

// Every window of the desktop panel's run, wired to each other: the panel, the editors, the
// to-do and month windows, the print view, the theme chooser, the options, the about box,
// and the weather, network and update keepers behind them. The panel and the keepers are
// made at once; the windows the panel opens are made the first time they are asked for, so
// that the start neither waits for them nor holds them. The main sequence makes one; tests
// make one over a test context to check that every menu command reaches its window.

#include "desktop/desktopwindow.h"
#include "editors/aboutbox.h"
#include "editors/mainform.h"
#include "editors/noteform.h"
#include "editors/options.h"
#include "editors/printview.h"
#include "editors/taskform.h"
#include "editors/themeselect.h"
#include "editors/todo.h"
#include "network/lanprotocol.h"
#include "network/network.h"
#include "network/serversync.h"
#include "network/update.h"
#include "network/weather.h"

#include <memory>

class AppContext;
class NetworkPresence;
class Screens;
class Shell;
class Sound;

// What the windows use of the platform. They stay owned by the caller and outlive the windows.
struct PanelServices {
  const Screens& screens;
  Sound& alarmSound;
  // The options dialog's preview has a player of its own, so closing the dialog never cuts
  // an alarm short.
  Sound& previewSound;
  Shell& shell;
  // Asked by the weather and update keepers before they reach for a server.
  NetworkPresence& presence;
  quint16 lanPort = Lan::Port;
};

class PanelWindows {
 public:
  PanelWindows(AppContext& context, const PanelServices& services);
  PanelWindows(const PanelWindows&) = delete;
  PanelWindows& operator=(const PanelWindows&) = delete;

  // In the order they are made (and the reverse of the order they go).
 private:
  AppContext& context_;
  const PanelServices services_;
  // Made with the panel when it shows the weather, else the first time it is set to (the
  // keeper reaches for a secure connection, which is not loaded before it is needed).
  std::unique_ptr<T_Weather> weather_;

 public:
  T_DesktopWindow desktop;

 private:
  // Made at the first check for a newer version.
  std::unique_ptr<T_Update> update_;

 public:
  T_Network network;

  T_Weather& weather();
  T_Update& update();

  // The windows the panel opens, each made (and wired) when first asked for.
  T_TaskForm& taskForm();
  T_ToDo& toDo();
  T_NoteForm& noteForm();
  T_PrintView& printView();
  T_Main& month();
  T_ThemeSelect& themeSelect();
  T_Options& options();
  T_About& about();

 private:
  // Empty until asked for; they go after the synchronisation below, in this order reversed.
  std::unique_ptr<T_TaskForm> taskForm_;
  std::unique_ptr<T_ToDo> toDo_;
  std::unique_ptr<T_NoteForm> noteForm_;
  std::unique_ptr<T_PrintView> printView_;
  std::unique_ptr<T_Main> month_;
  std::unique_ptr<T_ThemeSelect> themeSelect_;
  std::unique_ptr<T_Options> options_;
  std::unique_ptr<T_About> about_;

 public:
  // The calendar server's synchronisation; started by the main sequence.
  ServerSync serverSync;

 private:
  void Wire(AppContext& context, Shell& shell);
};
