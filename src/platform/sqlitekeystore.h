#pragma once

#include "core/memorykeystore.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The key store in an SQLite database: one row per key (its parent, its name and its values
// packed into one blob, the bytes the mirror keeps: see MemoryKeyStore::PackValues),
// mirrored in memory so that reads never touch the disk. Changes are written when a
// transaction commits, or at once outside a transaction. The database is readable and
// writable by its owner only.
//
// Keys' copies (see KeyStore::WriteCopy) are rows of a table of their own; triggers on the
// keys table drop a key's copy whenever a row of the key or of one of its subkeys is
// inserted, updated or deleted, so that every program writing the keys, one that knows
// nothing of copies too, keeps them true.
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
  QStringList GetKeyNames() override;
  bool WriteString(const QString& name, const QString& value) override;
  bool WriteInteger(const QString& name, qint32 value) override;
  bool WriteDate(const QString& name, TDateTime value) override;
  bool RenameKey(const QString& name, const QString& newName) override;
  bool BeginTransaction() override;
  bool Commit() override;
  void Rollback() override;
  bool ChangedElsewhere() override;
  bool Reload() override;
  bool ReadSubtree(const QString& path, const std::function<void(const SubtreeKey&)>& visit) override;
  bool WriteCopy(const QString& path, const QByteArray& copy) override;
  bool ReadCopies(const QString& path, std::optional<QByteArray>& own,
                  const std::function<void(QStringView name, QByteArrayView copy)>& visit) override;

 protected:
  void NodeCreated(Node& node) override;
  void NodeChanged(Node& node) override;
  void NodeDeleted(Node& node) override;
  void ReadPending(Node& node) override;
  bool RenameAllowed(Node& node, const QString& newName) override;

 private:
  explicit SqliteKeyStore(sqlite3* db);
  bool Prepare();
  bool LoadTree();
  // The rows below a key, parents before their subkeys, as the tree takes them: a row whose
  // parent was not taken is not either, nor a second row whose name matches a sibling's
  // without regard to case. `take` gets each row taken with its parent's id and its depth
  // below the key.
  using RowFn = std::function<void(qint64 id, qint64 parent, int depth, QStringView name, QByteArrayView values)>;
  bool ReadRows(qint64 top, const RowFn& take);
  bool Flush();
  bool Pending() const { return !created_.empty() || !changed_.empty() || !deleted_.empty() || !copies_.empty(); }
  // Renames the row `id` under `parent` in the database, its copy with it, and drops the
  // parent's copy, in one transaction.
  bool RenameRow(qint64 id, qint64 parent, const QString& newName);
  // Drops the copy of the key `parent`, whose subkeys' names changed.
  bool DropParentCopy(qint64 parent);
  // The id of the subkey `name` as the database finds it (the name being one that matches no
  // other without regard to case); nothing, with the error set, when there is none.
  std::optional<qint64> ChildId(const Node& parent, const QString& name);
  // Makes one change, in the open transaction or in one of its own that is committed, or
  // rolled back when the change fails; true when it took.
  bool InOneTransaction(const std::function<bool()>& change);
  // Drops the copies waiting to be written that a change of this key makes untrue: its own
  // and its parent's, as the triggers drop them in the database.
  void DropCopiesAround(Node& node);
  bool Exec(const char* sql);
  bool AutoCommit(bool opResult);
  QString SqlError() const;
  std::optional<qint64> DataVersion() const;
  // The number a pragma answers; nothing when it does not.
  std::optional<qint64> PragmaNumber(const char* sql) const;
  // SQLite's page cache, as its cache_size pragma gives and takes it.
  std::optional<qint64> CacheSize() const;
  void SetCacheSize(qint64 size);
  static constexpr qint64 ScanCachePages = 16;
  // In kibibytes (negative, as the pragma takes them).
  static constexpr qint64 TransactionCacheSize = -65536;
  void RestoreCacheSize();
  std::optional<qint64> outsideCacheSize_;

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* delete_ = nullptr;
  sqlite3_stmt* writeCopy_ = nullptr;
  sqlite3_stmt* writeCopies_ = nullptr;  // several at once
  sqlite3_stmt* dropCopies_ = nullptr;
  sqlite3_stmt* rename_ = nullptr;
  sqlite3_stmt* renameCopy_ = nullptr;
  sqlite3_stmt* dropCopy_ = nullptr;
  sqlite3_stmt* findChild_ = nullptr;
  sqlite3_stmt* renameChild_ = nullptr;      // by its parent and name
  sqlite3_stmt* renameChildCopy_ = nullptr;  // by its parent and new name
  sqlite3_stmt* deleteSubtree_[2] = {};      // the copies, then the keys
  qint64 parentCopyDropped_ = 0;             // by a rename in this transaction (0: none)
  bool inTransaction_ = false;
  // SQLite's count of commits by other connections, as it was when the tree was read.
  std::optional<qint64> readVersion_;
  std::vector<Node*> createdOrder_;
  std::unordered_set<Node*> created_;
  std::unordered_set<Node*> changed_;
  // A key deleted since the last flush, as the database holds it.
  struct DeletedKey {
    qint64 id = 0;
    qint64 parent = 0;
    QString name;
    std::optional<QByteArray> values;  // nothing when changed before it was deleted
  };
  std::vector<DeletedKey> deleted_;
  // Copies to write with the next flush, after the keys.
  std::unordered_map<Node*, QByteArray> copies_;
};
