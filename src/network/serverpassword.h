#pragma once

#include <QString>
#include <functional>
#include <optional>

// Where the calendar server's password is kept: the desktop's secret store (Secret Service or
// KWallet, through QtKeychain), or, only where no secret store runs and the user agreed, a
// file in the config folder that only the user can read. Never the calendar store or the
// settings.
namespace serverpassword {

enum class Place { SecretStore, File };

struct Stored {
  bool ok = false;
  Place place = Place::SecretStore;
  QString error;  // why it could not be kept
};

// The file's path: orvane/calendar-server-password in the user's config folder.
QString FilePath();
// "the desktop's secret store" / "FILE (readable only by you)".
QString Describe(Place place);

// Keeps the password of account (a name for the server and user): in the secret store, or,
// when none answers and fileAllowed, in the file.
Stored Store(const QString& account, const QString& password, bool fileAllowed);
// The kept password and where it was found; nothing (error set) when none is kept.
std::optional<QString> Load(const QString& account, Place& place, QString& error);
// The same without waiting: done comes later, from the event loop (the panel keeps running
// while the secret store answers), with the password or nothing and the error.
void LoadLater(const QString& account,
               std::function<void(std::optional<QString> password, Place place, QString error)> done);
// Removes it from both places.
void Forget(const QString& account);

}  // namespace serverpassword
