#pragma once

#include "core/tdatetime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A tree of keys holding typed values (text, 32-bit integer, 8-byte date), addressed by
// paths of names separated by "\". A path with a leading "\" starts at the root, otherwise
// it is relative to the current key. Key names are matched without regard to case.
// Subkeys enumerate sorted as text without regard to case; values in creation order.
class KeyStore {
 public:
  enum class ValueType { Text, Integer, Date };

  virtual ~KeyStore() = default;

  // Opens a key (creating it and missing parents when create is true); it becomes the
  // current key. False when it does not exist (or cannot be created).
  virtual bool OpenKey(const QString& path, bool create) = 0;
  virtual bool OpenKeyReadOnly(const QString& path) = 0;
  virtual void CloseKey() = 0;
  virtual bool KeyExists(const QString& path) = 0;
  // Deletes a key with all its subkeys and values.
  virtual bool DeleteKey(const QString& path) = 0;

  // Of the current key.
  virtual QStringList GetKeyNames() = 0;
  virtual QStringList GetValueNames() = 0;
  virtual bool ValueExists(const QString& name) = 0;
  virtual std::optional<ValueType> GetValueType(const QString& name) = 0;
  virtual bool DeleteValue(const QString& name) = 0;

  // Reads answer nothing when the value is missing or holds another type.
  virtual std::optional<QString> ReadString(const QString& name) = 0;
  virtual std::optional<qint32> ReadInteger(const QString& name) = 0;
  virtual std::optional<TDateTime> ReadDate(const QString& name) = 0;
  std::optional<bool> ReadBool(const QString& name) {
    auto v = ReadInteger(name);
    if (!v) return std::nullopt;
    return *v != 0;
  }
  std::optional<TDateTime> ReadDateTime(const QString& name) { return ReadDate(name); }

  // Writes create or replace the value; false on failure (see LastError).
  virtual bool WriteString(const QString& name, const QString& value) = 0;
  virtual bool WriteInteger(const QString& name, qint32 value) = 0;
  virtual bool WriteDate(const QString& name, TDateTime value) = 0;
  bool WriteBool(const QString& name, bool value) { return WriteInteger(name, value ? 1 : 0); }
  bool WriteDateTime(const QString& name, TDateTime value) { return WriteDate(name, value); }

  // A transaction makes everything between Begin and Commit happen at once or not at all.
  // Rollback returns the store to what it held at Begin.
  virtual bool BeginTransaction() = 0;
  virtual bool Commit() = 0;
  virtual void Rollback() = 0;

  // True when another program wrote the store since this one last read it: its picture of
  // the store is out of date, and writing over it would lose what the other program wrote.
  virtual bool ChangedElsewhere() { return false; }
  // Reads the whole store afresh; false when it cannot be read.
  virtual bool Reload() { return true; }

  // One key of a subtree handed to a reader: its id and its parent's id (unique within the
  // store), its depth below the subtree's top (1 for a subkey of it), its name and its
  // values packed as MemoryKeyStore::PackValues packs them. The views are valid only during
  // the call.
  struct SubtreeKey {
    qint64 id = 0;
    qint64 parent = 0;
    int depth = 0;
    QStringView name;
    QByteArrayView values;
  };
  // Hands every key below `path` to `visit`, each key before its subkeys: the keys and
  // values the key-by-key reads find, for readers of whole collections. False (and nothing
  // handed) when the key does not exist or this store does not offer it.
  virtual bool ReadSubtree(const QString& path, const std::function<void(const SubtreeKey&)>& visit) {
    (void)path;
    (void)visit;
    return false;
  }

  // Gives the open key's subkey `name` the name `newName`, with its values and subkeys as they
  // are, as if it had been deleted and written again under the new name; a copy it carries
  // stays with it (see WriteCopy), and the open key's own copy is dropped. False when this
  // store does not offer it, when there is no such subkey, or when another subkey already has
  // the new name; nothing is changed then.
  virtual bool RenameKey(const QString& name, const QString& newName) {
    (void)name;
    (void)newName;
    return false;
  }

  // A key may carry a copy: bytes a reader made from the key's values and its subkeys', kept
  // beside the keys so that they can be read in one go. A copy is dropped as soon as the key
  // or one of its direct subkeys is created, written or deleted, or a direct subkey renamed,
  // by this program or by any other (an older one too): a copy that is there was made from
  // the keys as they are. A key this program renames keeps its own copy, which is not made from
  // its name.
  // WriteCopy sets the copy of the key at `path` (under the open key when relative), written
  // after the transaction's key changes; false (and nothing kept) when the key does not exist
  // or this store keeps no copies.
  virtual bool WriteCopy(const QString& path, const QByteArray& copy) {
    (void)path;
    (void)copy;
    return false;
  }
  // The copy of the key at `path` (nothing when it has none; set before the first visit), and
  // the copies its subkeys have handed to `visit` in the order the subkeys were made, with
  // their names; the views are valid only during the call. False when the key does not exist
  // or this store keeps no copies.
  virtual bool ReadCopies(const QString& path, std::optional<QByteArray>& own,
                          const std::function<void(QStringView name, QByteArrayView copy)>& visit) {
    (void)path;
    (void)own;
    (void)visit;
    return false;
  }

  // What the last failed operation reported.
  virtual QString LastError() const = 0;
};
