#pragma once

#include <QString>

// The user's data folder, made ready once, before anything is written into it: created when
// missing and open to its owner only, since it holds the calendar. A folder made by an older
// version may be open to others: it is closed.
class DataFolder {
 public:
  virtual ~DataFolder() = default;
  // The folder, with a trailing "/".
  virtual QString Path() const = 0;
  // Creates or closes the folder. False, with what went wrong, when it cannot be made ready.
  virtual bool Prepare(QString& error) = 0;
};

// The folder on disk; UserDataDir() unless given.
class UserDataFolder final : public DataFolder {
 public:
  explicit UserDataFolder(QString path = QString());
  QString Path() const override { return path_; }
  bool Prepare(QString& error) override;

 private:
  QString path_;
};
