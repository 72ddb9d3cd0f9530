#pragma once

#include "core/memorykeystore.h"

#include <QHash>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The key store in an SQLite database: one row per key (its parent, its name and its values
// packed into one blob), mirrored in memory so that reads never touch the disk. Changes are
// written when a transaction commits, or at once outside a transaction. The database is
// readable and writable by its owner only.
class SqliteKeyStore final : public MemoryKeyStore {
 public:
  struct OpenResult {
    std::unique_ptr<SqliteKeyStore> store;  // null only when even a fresh database failed
    QString movedAside;                     // where a damaged database was moved, when it was
    QString error;
  };
  // Opens or creates the database. A file that is not a readable database is moved aside
  // (never overwritten) and a new, empty store is started in its place.
  static OpenResult Open(const QString& path);

  ~SqliteKeyStore() override;

  bool OpenKey(const QString& path, bool create) override;
  bool DeleteKey(const QString& path) override;
  bool DeleteValue(const QString& name) override;
  bool WriteString(const QString& name, const QString& value) override;
  bool WriteInteger(const QString& name, qint32 value) override;
  bool WriteDate(const QString& name, TDateTime value) override;
  bool BeginTransaction() override;
  bool Commit() override;
  void Rollback() override;
  bool ChangedElsewhere() override;
  bool Reload() override;

  // Packs and unpacks a key's values (exposed for tests and fuzzing). Unpacking skips
  // nothing silently: false when the blob is malformed.
  static QByteArray PackValues(const std::vector<Value>& values);
  static bool UnpackValues(const QByteArray& blob, std::vector<Value>& values);
  // The value names met so far, shared by every key that has them: by their bytes, and by
  // their place in the keys read (records of one kind list the same names in the same order).
  struct ValueNames {
    QHash<QByteArray, QString> byBytes;
    std::vector<std::pair<QByteArray, QString>> byPlace;
  };
  // The same, sharing value names through `names`.
  static bool UnpackValues(const QByteArray& blob, std::vector<Value>& values, ValueNames& names);

 protected:
  void NodeCreated(Node& node) override;
  void NodeChanged(Node& node) override;
  void NodeDeleted(Node& node) override;

 private:
  explicit SqliteKeyStore(sqlite3* db);
  bool Prepare();
  bool LoadTree();
  bool Flush();
  bool Exec(const char* sql);
  bool AutoCommit(bool opResult);
  QString SqlError() const;
  std::optional<qint64> DataVersion() const;

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* delete_ = nullptr;
  bool inTransaction_ = false;
  // SQLite's count of commits by other connections, as it was when the tree was read.
  std::optional<qint64> readVersion_;
  std::vector<Node*> createdOrder_;
  std::unordered_set<Node*> created_;
  std::unordered_set<Node*> changed_;
  std::vector<qint64> deleted_;
};
