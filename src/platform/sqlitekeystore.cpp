#include "platform/sqlitekeystore.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " vals BLOB NOT NULL,"
    " UNIQUE(parent, name COLLATE NOCASE));"
    // Keys' copies under their keys' ids, each dropped by any change of a row that it was
    // made from: the key's own or one of its subkeys'.
    "CREATE TABLE IF NOT EXISTS copies("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " data BLOB NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS key_inserted_drops_copies AFTER INSERT ON keys BEGIN"
    " DELETE FROM copies WHERE id IN (NEW.id, NEW.parent); END;"
    "CREATE TRIGGER IF NOT EXISTS key_updated_drops_copies AFTER UPDATE ON keys BEGIN"
    " DELETE FROM copies WHERE id IN (OLD.id, OLD.parent, NEW.id, NEW.parent); END;"
    "CREATE TRIGGER IF NOT EXISTS key_deleted_drops_copies AFTER DELETE ON keys BEGIN"
    " DELETE FROM copies WHERE id IN (OLD.id, OLD.parent); END;";

// Copies are dropped, and written, this many at a time with one statement.
constexpr int DropBatch = 32;
constexpr int WriteBatch = 16;

// Writes `rows` copies; one that is there already as it is is left alone (no page of it is
// written).
std::string WriteCopiesSql(int rows) {
  std::string sql = "INSERT INTO copies(parent, id, name, data) VALUES(?, ?, ?, ?)";
  for (int k = 1; k < rows; ++k) sql += ",(?, ?, ?, ?)";
  return sql +
         " ON CONFLICT(id) DO UPDATE SET parent = excluded.parent, name = excluded.name, data = excluded.data"
         " WHERE parent IS NOT excluded.parent OR name IS NOT excluded.name OR data IS NOT excluded.data";
}

std::string DropCopiesSql() {
  std::string sql = "DELETE FROM copies WHERE id IN (?";
  for (int k = 1; k < DropBatch; ++k) sql += ",?";
  return sql + ")";
}

// The key ?1 and the keys below it, each under a parent of a smaller id as the tree takes them.
#define KEYS_BELOW                                   \
  "WITH RECURSIVE below(id) AS (SELECT ?1 UNION ALL" \
  " SELECT keys.id FROM keys JOIN below ON keys.parent = below.id AND keys.id > below.id)"
// Their copies, and the copy of the key's parent ?2, go first.
const char* const DeleteSubtreeSql[] = {KEYS_BELOW " DELETE FROM copies WHERE id IN below OR id = ?2",
                                        KEYS_BELOW " DELETE FROM keys WHERE id IN below"};
#undef KEYS_BELOW

bool IsDamage(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

}  // namespace

SqliteKeyStore::SqliteKeyStore(sqlite3* db) : db_(db) {}

SqliteKeyStore::~SqliteKeyStore() {
  if (inTransaction_) Rollback();
  sqlite3_finalize(insert_);
  sqlite3_finalize(update_);
  sqlite3_finalize(delete_);
  sqlite3_finalize(writeCopy_);
  sqlite3_finalize(writeCopies_);
  sqlite3_finalize(dropCopies_);
  for (sqlite3_stmt* statement : {rename_, renameCopy_, dropCopy_, findChild_, deleteSubtree_[0], deleteSubtree_[1],
                                  renameChild_, renameChildCopy_})
    sqlite3_finalize(statement);
  sqlite3_close(db_);
}

SqliteKeyStore::OpenResult SqliteKeyStore::Open(const QString& path) {
  OpenResult result;
  QDir().mkpath(QFileInfo(path).absolutePath());

  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!QFileInfo::exists(path)) {
      QFile file(path);
      if (file.open(QIODevice::WriteOnly)) file.close();
    }
    QFile::setPermissions(path, OwnerOnly);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<SqliteKeyStore> store(new SqliteKeyStore(db));
    if (rc == SQLITE_OK) {
      sqlite3_busy_timeout(db, 3000);
      rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, Schema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK && store->Prepare() && store->LoadTree()) {
      result.store = std::move(store);
      return result;
    }
    if (rc == SQLITE_OK) rc = sqlite3_errcode(db);
    result.error = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    store.reset();  // closes the database before the file is moved
    if (attempt > 0 || !IsDamage(rc)) return result;

    // Not a database, or a damaged one: keep it for the user, start afresh.
    const QString aside =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path, aside)) {
      result.error = QStringLiteral("Could not move the damaged database %1 aside").arg(path);
      return result;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
      const QString extra = path + QLatin1String(suffix);
      if (QFileInfo::exists(extra)) QFile::rename(extra, aside + QLatin1String(suffix));
    }
    result.movedAside = aside;
  }
  return result;
}

bool SqliteKeyStore::Prepare() {
  // A copy that is there already as it is is left alone: no page of it is written. Without
  // this statement (an SQLite too old for it) the store keeps no copies: its keys are all
  // there is.
  if (sqlite3_prepare_v2(db_, WriteCopiesSql(1).c_str(), -1, &writeCopy_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, WriteCopiesSql(WriteBatch).c_str(), -1, &writeCopies_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, DropCopiesSql().c_str(), -1, &dropCopies_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(writeCopy_);
    sqlite3_finalize(writeCopies_);
    writeCopy_ = writeCopies_ = nullptr;
  }
  // The triggers that drop the copies are there for other programs: this one drops them
  // itself when it writes keys (Flush), all at once and only those that can be there,
  // instead of a statement run for every row. Where they cannot be turned off they still
  // fire, which changes nothing but the time taken.
  if (writeCopy_) sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  return sqlite3_prepare_v2(db_, "INSERT INTO keys(id, parent, name, vals) VALUES(?, ?, ?, ?)", -1, &insert_,
                            nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "UPDATE keys SET vals = ? WHERE id = ?", -1, &update_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "DELETE FROM keys WHERE id = ?", -1, &delete_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "UPDATE keys SET name = ?2 WHERE id = ?1", -1, &rename_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "UPDATE copies SET name = ?2 WHERE id = ?1", -1, &renameCopy_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "DELETE FROM copies WHERE id = ?", -1, &dropCopy_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "SELECT id FROM keys WHERE parent = ?1 AND id > ?1 AND name = ?2 COLLATE NOCASE", -1,
                            &findChild_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, DeleteSubtreeSql[0], -1, &deleteSubtree_[0], nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, DeleteSubtreeSql[1], -1, &deleteSubtree_[1], nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "UPDATE keys SET name = ?3 WHERE parent = ?1 AND id > ?1 AND name = ?2 COLLATE NOCASE",
                            -1, &renameChild_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_,
                            "UPDATE copies SET name = ?2 WHERE id ="
                            " (SELECT id FROM keys WHERE parent = ?1 AND id > ?1 AND name = ?2 COLLATE NOCASE)",
                            -1, &renameChildCopy_, nullptr) == SQLITE_OK;
}

// Keys deeper than this are read into the tree when first used: a calendar's records
// (\Software\Orvane\Notes\<i> and their subkeys) are many small keys that the calendar's
// loader reads straight from the database (ReadSubtree), and that the tree needs only when
// a save writes them (a save that renames or deletes them does so in the database alone).
constexpr int EagerDepth = 3;

bool SqliteKeyStore::LoadTree() {
  // Level by level through the (parent, name) index, so that the records below the eager
  // depth are not read at all. A key counts only under a parent of a smaller id, as the
  // keys are created (a subkey after its key): a row that names a later row, or a missing
  // one, as its parent is left out, whatever its depth.
  sqlite3_stmt* children = nullptr;
  sqlite3_stmt* anyChild = nullptr;
  sqlite3_stmt* maxId = nullptr;
  const auto finalize = [&] {
    sqlite3_finalize(children);
    sqlite3_finalize(anyChild);
    sqlite3_finalize(maxId);
  };
  if (sqlite3_prepare_v2(db_, "SELECT id, name, vals FROM keys WHERE parent = ?1 AND id > ?1 ORDER BY id", -1,
                         &children, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, "SELECT 1 FROM keys WHERE parent = ?1 AND id > ?1 LIMIT 1", -1, &anyChild, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(db_, "SELECT max(id) FROM keys", -1, &maxId, nullptr) != SQLITE_OK) {
    finalize();
    return false;
  }
  auto root = std::make_unique<Node>();
  std::vector<std::pair<Node*, int>> level{{root.get(), 0}};
  bool ok = true;
  while (ok && !level.empty()) {
    std::vector<std::pair<Node*, int>> next;
    for (const auto& [up, depth] : level) {
      if (depth == EagerDepth) {
        // Its subkeys are read on first use (ReadPending).
        sqlite3_reset(anyChild);
        sqlite3_bind_int64(anyChild, 1, up->id);
        const int rc = sqlite3_step(anyChild);
        up->pending = rc == SQLITE_ROW;
        ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
        continue;
      }
      sqlite3_reset(children);
      sqlite3_bind_int64(children, 1, up->id);
      int rc;
      while ((rc = sqlite3_step(children)) == SQLITE_ROW) {
        auto node = std::make_unique<Node>();
        node->id = sqlite3_column_int64(children, 0);
        node->name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(children, 1)),
                                       sqlite3_column_bytes(children, 1));
        node->parent = up;
        // A malformed blob (written by something else) keeps the values before the damage.
        const QByteArrayView blob(static_cast<const char*>(sqlite3_column_blob(children, 2)),
                                  sqlite3_column_bytes(children, 2));
        node->values = blob.first(WellFormedLength(blob)).toByteArray();
        Node* raw = node.get();
        if (!up->children.try_emplace(raw->name, std::move(node)).second) continue;  // a name taken
        next.emplace_back(raw, depth + 1);
      }
      ok = ok && rc == SQLITE_DONE;
    }
    level = std::move(next);
  }
  qint64 lastId = 0;
  if (ok && sqlite3_step(maxId) == SQLITE_ROW) lastId = sqlite3_column_int64(maxId, 0);
  finalize();
  if (!ok) return false;
  readVersion_ = DataVersion();
  ResetTree(std::move(root));
  SetLastId(lastId);
  createdOrder_.clear();
  created_.clear();
  changed_.clear();
  deleted_.clear();
  copies_.clear();
  return true;
}

namespace {

// Names that match without regard to case are told apart by the database only when they are
// not plain ASCII: those are checked here, as the tree's ordering checks them. True for a
// name that another under the same parent matched already.
class FoldedNames {
 public:
  bool Taken(qint64 parent, QByteArrayView utf8, const QString& name) {
    bool ascii = true;
    for (qsizetype i = 0; i < utf8.size() && ascii; ++i) ascii = static_cast<unsigned char>(utf8[i]) < 0x80;
    if (ascii) return false;
    const auto key = std::pair(parent, name.toCaseFolded());
    if (seen_.contains(key)) return true;
    seen_.insert(key);
    return false;
  }

 private:
  QSet<std::pair<qint64, QString>> seen_;
};

}  // namespace

bool SqliteKeyStore::ReadRows(qint64 top, const RowFn& take) {
  sqlite3_stmt* select = nullptr;
  // A key's subkeys come after it in id order (LoadTree takes no other): one pass over the
  // rows after the top, in the order the table keeps them, finds every row below it.
  const char* const sql = "SELECT id, parent, name, vals FROM keys WHERE id > ?1 ORDER BY id";
  if (sqlite3_prepare_v2(db_, sql, -1, &select, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_int64(select, 1, top);
  // The rows taken, with their depths, in increasing id order.
  std::vector<std::pair<qint64, int>> taken{{top, 0}};
  FoldedNames foldedNames;
  int rc;
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
    const qint64 id = sqlite3_column_int64(select, 0);
    const qint64 parentId = sqlite3_column_int64(select, 1);
    const auto parent = std::lower_bound(taken.begin(), taken.end(), std::pair(parentId, 0),
                                         [](const auto& a, const auto& b) { return a.first < b.first; });
    if (parent == taken.end() || parent->first != parentId) continue;
    const int depth = parent->second + 1;
    const auto* nameBytes = reinterpret_cast<const char*>(sqlite3_column_text(select, 2));
    const int nameLength = sqlite3_column_bytes(select, 2);
    const QString name = QString::fromUtf8(nameBytes, nameLength);
    if (foldedNames.Taken(parentId, QByteArrayView(nameBytes, nameLength), name)) continue;
    const QByteArrayView blob(static_cast<const char*>(sqlite3_column_blob(select, 3)),
                              sqlite3_column_bytes(select, 3));
    take(id, parentId, depth, name, blob.first(WellFormedLength(blob)));
    taken.emplace_back(id, depth);
  }
  sqlite3_finalize(select);
  return rc == SQLITE_DONE;
}

void SqliteKeyStore::ReadPending(Node& top) {
  top.pending = false;
  std::unordered_map<qint64, Node*> byId{{top.id, &top}};
  ReadRows(top.id, [&](qint64 id, qint64 parentId, int, QStringView name, QByteArrayView values) {
    const auto parent = byId.find(parentId);
    if (parent == byId.end()) return;  // its parent's name was taken
    Node* up = parent->second;
    auto node = std::make_unique<Node>();
    node->id = id;
    node->name = name.toString();
    node->parent = up;
    node->values = values.toByteArray();
    Node* raw = node.get();
    if (up->children.try_emplace(raw->name, std::move(node)).second) byId.emplace(id, raw);
  });
}

QStringList SqliteKeyStore::GetKeyNames() {
  Node* node = CurrentNode();
  if (!node || !node->pending) return MemoryKeyStore::GetKeyNames();
  // Listed straight from the database, the subtree left unread until a key of it is used
  // (a save lists a collection's record keys and often leaves them all alone): the rows
  // ReadPending would take as the key's subkeys, in the tree's order.
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT name FROM keys WHERE parent = ?1 AND id > ?1 ORDER BY id", -1, &select,
                         nullptr) != SQLITE_OK) {
    ReadPending(*node);
    return MemoryKeyStore::GetKeyNames();
  }
  sqlite3_bind_int64(select, 1, node->id);
  QStringList names;
  FoldedNames foldedNames;
  int rc;
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
    const QByteArrayView utf8(reinterpret_cast<const char*>(sqlite3_column_text(select, 0)),
                              sqlite3_column_bytes(select, 0));
    QString name = QString::fromUtf8(utf8);
    if (!foldedNames.Taken(node->id, utf8, name)) names.append(std::move(name));
  }
  sqlite3_finalize(select);
  if (rc != SQLITE_DONE) {
    ReadPending(*node);
    return MemoryKeyStore::GetKeyNames();
  }
  // Of names that match without regard to case, the first made, as the tree keeps it.
  std::stable_sort(names.begin(), names.end(), CaseInsensitiveLess());
  names.erase(std::unique(names.begin(), names.end(),
                          [](const QString& a, const QString& b) { return CaseInsensitiveLess::Compare(a, b) == 0; }),
              names.end());
  return names;
}

bool SqliteKeyStore::ReadSubtree(const QString& path, const std::function<void(const SubtreeKey&)>& visit) {
  Node* top = FindKeyNode(path);
  if (!top) return false;
  if (!top->pending) return MemoryKeyStore::ReadSubtree(path, visit);
  // Straight from the database, without building the tree.
  return ReadRows(top->id, [&](qint64 id, qint64 parentId, int depth, QStringView name, QByteArrayView values) {
    visit(SubtreeKey{id, parentId, depth, name, values});
  });
}

bool SqliteKeyStore::WriteCopy(const QString& path, const QByteArray& copy) {
  Node* node = FindKeyNode(path);
  if (!writeCopy_ || !node || node == &Root()) return false;
  copies_[node] = copy;
  return AutoCommit(true);
}

bool SqliteKeyStore::ReadCopies(const QString& path, std::optional<QByteArray>& own,
                                const std::function<void(QStringView name, QByteArrayView copy)>& visit) {
  own.reset();
  Node* node = FindKeyNode(path);
  if (!node || node == &Root()) return false;
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT data FROM copies WHERE id = ?2 AND parent = ?1", -1, &select, nullptr) !=
      SQLITE_OK)
    return false;
  sqlite3_bind_int64(select, 1, node->parent ? node->parent->id : 0);
  sqlite3_bind_int64(select, 2, node->id);
  int rc = sqlite3_step(select);
  if (rc == SQLITE_ROW) {
    own = QByteArray(static_cast<const char*>(sqlite3_column_blob(select, 0)), sqlite3_column_bytes(select, 0));
    rc = sqlite3_step(select);
  }
  sqlite3_finalize(select);
  if (rc != SQLITE_DONE) return false;
  if (sqlite3_prepare_v2(db_, "SELECT name, data FROM copies WHERE parent = ?1 ORDER BY id", -1, &select, nullptr) !=
      SQLITE_OK)
    return false;
  sqlite3_bind_int64(select, 1, node->id);
  // The scan reads each page of the table once: a few pages of cache serve it, where keeping
  // every page would only fill fresh memory (the page faults cost more than the reading).
  const std::optional<qint64> cacheSize = CacheSize();
  if (cacheSize) SetCacheSize(ScanCachePages);
  QString name;
  QStringDecoder utf8(QStringConverter::Utf8);
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
    const auto* nameBytes = reinterpret_cast<const char*>(sqlite3_column_text(select, 0));
    const QByteArrayView nameUtf8(nameBytes, sqlite3_column_bytes(select, 0));
    // One buffer for every name: UTF-8 never takes fewer bytes than UTF-16 code units.
    name.resize(nameUtf8.size());
    QChar* end = utf8.appendToBuffer(name.data(), nameUtf8);
    name.truncate(end - name.constData());
    visit(name,
          QByteArrayView(static_cast<const char*>(sqlite3_column_blob(select, 1)), sqlite3_column_bytes(select, 1)));
  }
  sqlite3_finalize(select);
  if (cacheSize) SetCacheSize(*cacheSize);
  return rc == SQLITE_DONE;
}

std::optional<qint64> SqliteKeyStore::PragmaNumber(const char* sql) const {
  sqlite3_stmt* pragma = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &pragma, nullptr) != SQLITE_OK) return std::nullopt;
  std::optional<qint64> value;
  if (sqlite3_step(pragma) == SQLITE_ROW) value = sqlite3_column_int64(pragma, 0);
  sqlite3_finalize(pragma);
  return value;
}

std::optional<qint64> SqliteKeyStore::CacheSize() const { return PragmaNumber("PRAGMA cache_size"); }

void SqliteKeyStore::SetCacheSize(qint64 size) {
  const QByteArray sql = "PRAGMA cache_size = " + QByteArray::number(size);
  sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr);
}

std::optional<qint64> SqliteKeyStore::DataVersion() const { return PragmaNumber("PRAGMA data_version"); }

bool SqliteKeyStore::ChangedElsewhere() {
  if (inTransaction_) return false;
  const std::optional<qint64> now = DataVersion();
  return now && readVersion_ && *now != *readVersion_;
}

bool SqliteKeyStore::Reload() {
  if (inTransaction_) return false;
  return LoadTree();
}

void SqliteKeyStore::DropCopiesAround(Node& node) {
  if (copies_.empty()) return;
  copies_.erase(&node);
  if (node.parent) copies_.erase(node.parent);
}

void SqliteKeyStore::NodeCreated(Node& node) {
  DropCopiesAround(node);
  createdOrder_.push_back(&node);
  created_.insert(&node);
}

void SqliteKeyStore::NodeChanged(Node& node) {
  DropCopiesAround(node);
  if (!created_.count(&node)) changed_.insert(&node);
}

void SqliteKeyStore::NodeDeleted(Node& node) {
  DropCopiesAround(node);
  const bool changed = changed_.erase(&node) > 0;
  if (created_.erase(&node)) return;  // never reached the database
  DeletedKey gone{node.id, node.parent ? node.parent->id : 0, node.name, std::nullopt};
  if (!changed) gone.values = node.values;
  deleted_.push_back(std::move(gone));
}

QString SqliteKeyStore::SqlError() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

bool SqliteKeyStore::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  SetLastError(SqlError());
  return false;
}

bool SqliteKeyStore::Flush() {
  auto fail = [this](const QString& what) {
    SetLastError(QStringLiteral("%1: %2").arg(what, SqlError()));
    return false;
  };
  // A key deleted and made again under the same parent and name (a save rewriting its
  // records) keeps its row: the row's values are updated, or left alone when they are the
  // same, instead of the row being deleted and inserted again. A key made again takes the
  // old key's id; its parent comes before it in creation order and has its final id by then.
  QHash<std::pair<qint64, QString>, size_t> deletedAt;
  deletedAt.reserve(static_cast<qsizetype>(deleted_.size()));
  for (size_t k = 0; k < deleted_.size(); ++k) deletedAt.insert({deleted_[k].parent, deleted_[k].name}, k);
  std::vector<char> kept(deleted_.size(), 0);
  std::vector<std::pair<Node*, size_t>> order;  // each live new key, with the row it keeps or npos
  order.reserve(createdOrder_.size());
  for (Node* node : createdOrder_) {
    // A node deleted in this transaction is gone from created_; its address may have been
    // reused by a later node, which is then listed twice: write it once.
    if (!created_.erase(node)) continue;
    size_t row = std::string::npos;
    const auto at = deletedAt.constFind({node->parent ? node->parent->id : 0, node->name});
    if (at != deletedAt.cend() && !kept[*at]) {
      row = *at;
      kept[row] = 1;
      node->id = deleted_[row].id;
    }
    order.emplace_back(node, row);
  }
  // The keys whose copies the writes below make untrue, as the triggers would drop them: a
  // row's own key and its parent. A key inserted has no copy (copies are only ever those of
  // rows that are there), only its parent's.
  std::vector<qint64> stale;
  const auto written = [&stale](qint64 id, qint64 parent) {
    stale.push_back(id);
    stale.push_back(parent);
  };
  for (size_t k = 0; k < deleted_.size(); ++k) {
    if (kept[k]) continue;
    written(deleted_[k].id, deleted_[k].parent);
    sqlite3_reset(delete_);
    sqlite3_bind_int64(delete_, 1, deleted_[k].id);
    if (sqlite3_step(delete_) != SQLITE_DONE) return fail(QStringLiteral("Failed to delete a key"));
  }
  auto update = [&](Node* node) {
    const QByteArray& vals = node->values;
    sqlite3_reset(update_);
    sqlite3_bind_blob(update_, 1, vals.constData(), static_cast<int>(vals.size()), SQLITE_STATIC);
    sqlite3_bind_int64(update_, 2, node->id);
    return sqlite3_step(update_) == SQLITE_DONE;
  };
  for (const auto& [node, row] : order) {
    if (row != std::string::npos) {
      if (deleted_[row].values == node->values) continue;
      written(node->id, node->parent ? node->parent->id : 0);
      if (!update(node)) return fail(QStringLiteral("Failed to write key \"%1\"").arg(PathOf(*node)));
      continue;
    }
    stale.push_back(node->parent ? node->parent->id : 0);
    const QByteArray name = node->name.toUtf8();
    const QByteArray& vals = node->values;
    sqlite3_reset(insert_);
    sqlite3_bind_int64(insert_, 1, node->id);
    sqlite3_bind_int64(insert_, 2, node->parent ? node->parent->id : 0);
    sqlite3_bind_text(insert_, 3, name.constData(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert_, 4, vals.constData(), static_cast<int>(vals.size()), SQLITE_STATIC);
    if (sqlite3_step(insert_) != SQLITE_DONE)
      return fail(QStringLiteral("Failed to write key \"%1\"").arg(PathOf(*node)));
  }
  for (Node* node : changed_) {
    written(node->id, node->parent ? node->parent->id : 0);
    if (!update(node)) return fail(QStringLiteral("Failed to write key \"%1\"").arg(PathOf(*node)));
  }
  // After the keys: their writes drop the copies made from them. A copy is made from the
  // keys as the tree has them, which are the database's only while no other program has
  // written since the tree was read; else the copies are left to the next save after a reload.
  if (!readVersion_ || DataVersion() != readVersion_) copies_.clear();
  // The copies in the order of their keys' ids, which is the table's: each row goes after the
  // last, not to a page anywhere in the table.
  std::vector<std::pair<qint64, const std::pair<Node* const, QByteArray>*>> copies;
  copies.reserve(copies_.size());
  for (const auto& copy : copies_) copies.emplace_back(copy.first->id, &copy);
  std::sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (writeCopy_ && !stale.empty()) {
    std::sort(stale.begin(), stale.end());
    stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
    auto rewritten = copies.begin();  // those rewritten below need no dropping first
    int bound = 0;
    const auto drop = [&] {
      // The places left are taken by the root's id, which has no copy.
      for (; bound > 0 && bound < DropBatch; ++bound) sqlite3_bind_int64(dropCopies_, bound + 1, 0);
      bound = 0;
      const bool dropped = sqlite3_step(dropCopies_) == SQLITE_DONE;
      sqlite3_reset(dropCopies_);
      return dropped;
    };
    for (qint64 id : stale) {
      while (rewritten != copies.end() && rewritten->first < id) ++rewritten;
      if (id == 0 || (rewritten != copies.end() && rewritten->first == id)) continue;
      sqlite3_bind_int64(dropCopies_, ++bound, id);
      if (bound == DropBatch && !drop()) return fail(QStringLiteral("Failed to drop the copies of keys"));
    }
    if (bound > 0 && !drop()) return fail(QStringLiteral("Failed to drop the copies of keys"));
  }
  QByteArray names[WriteBatch];  // bound as they are, until the statement has run
  for (size_t k = 0; k < copies.size();) {
    const size_t rows = copies.size() - k >= WriteBatch ? WriteBatch : 1;
    sqlite3_stmt* const write = rows == 1 ? writeCopy_ : writeCopies_;
    for (size_t r = 0; r < rows; ++r) {
      const auto& [node, copy] = *copies[k + r].second;
      names[r] = node->name.toUtf8();
      const int at = static_cast<int>(4 * r);
      sqlite3_bind_int64(write, at + 1, node->parent ? node->parent->id : 0);
      sqlite3_bind_int64(write, at + 2, node->id);
      sqlite3_bind_text(write, at + 3, names[r].constData(), static_cast<int>(names[r].size()), SQLITE_STATIC);
      sqlite3_bind_blob(write, at + 4, copy.constData(), static_cast<int>(copy.size()), SQLITE_STATIC);
    }
    const bool written = sqlite3_step(write) == SQLITE_DONE;
    sqlite3_reset(write);
    if (!written)
      return fail(QStringLiteral("Failed to write the copy of key \"%1\"").arg(PathOf(*copies[k].second->first)));
    k += rows;
  }
  if (!copies.empty()) parentCopyDropped_ = 0;
  copies_.clear();
  createdOrder_.clear();
  created_.clear();
  changed_.clear();
  deleted_.clear();
  return true;
}

bool SqliteKeyStore::BeginTransaction() {
  if (inTransaction_) {
    SetLastError(QStringLiteral("A transaction is already open"));
    return false;
  }
  if (!Exec("BEGIN IMMEDIATE")) return false;
  inTransaction_ = true;
  parentCopyDropped_ = 0;
  // A save may change a page anywhere in the store (records moving to other keys): with
  // SQLite's usual cache of 2 MB, changed pages would be written out and read back during
  // the transaction. The cache is given back when it ends.
  outsideCacheSize_ = CacheSize();
  if (outsideCacheSize_) SetCacheSize(TransactionCacheSize);
  return true;
}

bool SqliteKeyStore::Commit() {
  if (!inTransaction_) return true;
  if (!Flush() || !Exec("COMMIT")) return false;  // the caller rolls back
  inTransaction_ = false;
  RestoreCacheSize();
  return true;
}

void SqliteKeyStore::RestoreCacheSize() {
  if (outsideCacheSize_) SetCacheSize(*outsideCacheSize_);
  outsideCacheSize_.reset();
}

void SqliteKeyStore::Rollback() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  RestoreCacheSize();
  // The mirror may hold changes the database never took: read it again.
  LoadTree();
}

bool SqliteKeyStore::AutoCommit(bool opResult) {
  if (inTransaction_ || (created_.empty() && changed_.empty() && deleted_.empty() && copies_.empty())) return opResult;
  if (!BeginTransaction()) {
    LoadTree();
    return false;
  }
  if (!Commit()) {
    const QString error = LastError();
    Rollback();
    SetLastError(error);
    return false;
  }
  return opResult;
}

namespace {

// A name that no other name matches without regard to case but itself: ASCII without letters
// (digits, as the calendar names its records). The database finds it as the tree would.
bool CaselessName(const QString& name) {
  if (name.isEmpty()) return false;
  for (QChar c : name)
    if (c.unicode() >= 0x80 || c.isLetter() || c == QLatin1Char('\\')) return false;
  return true;
}

}  // namespace

bool SqliteKeyStore::OpenKey(const QString& path, bool create) {
  return AutoCommit(MemoryKeyStore::OpenKey(path, create));
}

bool SqliteKeyStore::DeleteKey(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
  const QString name = path.mid(slash + 1);
  const QString parentPath = slash < 0 ? QString() : slash == 0 ? QStringLiteral("\\") : path.left(slash);
  Node* parent = CaselessName(name) ? FindKeyNode(parentPath) : nullptr;
  if (!parent || !parent->pending) return AutoCommit(MemoryKeyStore::DeleteKey(path));
  // Under a key whose subkeys are not read yet (a calendar's records), as RenameKey.
  if (inTransaction_ && Pending() && !Flush()) return false;
  const std::optional<qint64> id = ChildId(*parent, name);
  if (!id) return false;
  return InOneTransaction([&] {
    // The key, every key below it as the tree would take them, and their copies and the
    // parent's.
    bool ok = true;
    for (sqlite3_stmt* statement : deleteSubtree_) {
      sqlite3_bind_int64(statement, 1, *id);
      if (sqlite3_bind_parameter_count(statement) > 1) sqlite3_bind_int64(statement, 2, parent->id);
      ok = ok && sqlite3_step(statement) == SQLITE_DONE;
      sqlite3_reset(statement);
    }
    if (!ok) SetLastError(QStringLiteral("Failed to delete key \"%1\": %2").arg(path, SqlError()));
    return ok;
  });
}

bool SqliteKeyStore::DeleteValue(const QString& name) { return AutoCommit(MemoryKeyStore::DeleteValue(name)); }

bool SqliteKeyStore::WriteString(const QString& name, const QString& value) {
  return AutoCommit(MemoryKeyStore::WriteString(name, value));
}

bool SqliteKeyStore::WriteInteger(const QString& name, qint32 value) {
  return AutoCommit(MemoryKeyStore::WriteInteger(name, value));
}

bool SqliteKeyStore::WriteDate(const QString& name, TDateTime value) {
  return AutoCommit(MemoryKeyStore::WriteDate(name, value));
}

bool SqliteKeyStore::RenameKey(const QString& name, const QString& newName) {
  // What the tree holds that the database has not taken yet goes first: the database goes
  // through the same changes in the same order.
  if (inTransaction_ && Pending() && !Flush()) return false;
  Node* parent = WritableNode();
  if (!parent || !parent->pending || !CaselessName(name) || !CaselessName(newName))
    return MemoryKeyStore::RenameKey(name, newName);
  // Subkeys not read yet (a calendar's records) are renamed in the database alone, as they
  // stand there: the tree reads them when they are first used. Outside a transaction a
  // failure would read the tree again, so the names are checked first; inside one, a name
  // taken fails only the statement that would take it.
  if (!inTransaction_) {
    if (!ChildId(*parent, name)) return false;
    if (name != newName && ChildId(*parent, newName)) {
      SetLastError(QStringLiteral("Cannot rename key \"%1\" to \"%2\"").arg(name, newName));
      return false;
    }
  }
  return InOneTransaction([&] {
    const QByteArray from = name.toUtf8(), to = newName.toUtf8();
    sqlite3_bind_int64(renameChild_, 1, parent->id);
    sqlite3_bind_text(renameChild_, 2, from.constData(), static_cast<int>(from.size()), SQLITE_STATIC);
    sqlite3_bind_text(renameChild_, 3, to.constData(), static_cast<int>(to.size()), SQLITE_STATIC);
    bool ok = sqlite3_step(renameChild_) == SQLITE_DONE;
    sqlite3_reset(renameChild_);
    if (!ok) {
      SetLastError(QStringLiteral("Cannot rename key \"%1\" to \"%2\": %3").arg(name, newName, SqlError()));
    } else if (sqlite3_changes(db_) == 0) {
      SetLastError(QStringLiteral("Key \"%1\" does not exist").arg(name));
      ok = false;
    } else {
      // The copy is found by its key's new name.
      sqlite3_bind_int64(renameChildCopy_, 1, parent->id);
      sqlite3_bind_text(renameChildCopy_, 2, to.constData(), static_cast<int>(to.size()), SQLITE_STATIC);
      ok = sqlite3_step(renameChildCopy_) == SQLITE_DONE && DropParentCopy(parent->id);
      sqlite3_reset(renameChildCopy_);
      if (!ok) SetLastError(QStringLiteral("Cannot rename key \"%1\" to \"%2\": %3").arg(name, newName, SqlError()));
    }
    return ok;
  });
}

std::optional<qint64> SqliteKeyStore::ChildId(const Node& parent, const QString& name) {
  const QByteArray utf8 = name.toUtf8();
  sqlite3_bind_int64(findChild_, 1, parent.id);
  sqlite3_bind_text(findChild_, 2, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(findChild_);
  const qint64 id = rc == SQLITE_ROW ? sqlite3_column_int64(findChild_, 0) : 0;
  sqlite3_reset(findChild_);
  if (rc == SQLITE_ROW) return id;
  SetLastError(rc == SQLITE_DONE ? QStringLiteral("Key \"%1\" does not exist").arg(name) : SqlError());
  return std::nullopt;
}

bool SqliteKeyStore::InOneTransaction(const std::function<bool()>& change) {
  if (inTransaction_) return change();
  if (!BeginTransaction()) return false;
  // A failure leaves the database as it was; the tree is read again from it.
  if (change() && Commit()) return true;
  const QString error = LastError();
  Rollback();
  SetLastError(error);
  return false;
}

bool SqliteKeyStore::RenameAllowed(Node& node, const QString& newName) {
  return RenameRow(node.id, node.parent ? node.parent->id : 0, newName);
}

bool SqliteKeyStore::RenameRow(qint64 id, qint64 parent, const QString& newName) {
  return InOneTransaction([&] {
    const QByteArray utf8 = newName.toUtf8();
    bool ok = true;
    for (sqlite3_stmt* statement : {rename_, renameCopy_}) {
      sqlite3_bind_int64(statement, 1, id);
      sqlite3_bind_text(statement, 2, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_STATIC);
      ok = ok && sqlite3_step(statement) == SQLITE_DONE;
      sqlite3_reset(statement);
    }
    ok = ok && DropParentCopy(parent);
    if (!ok) SetLastError(QStringLiteral("Cannot rename a key to \"%1\": %2").arg(newName, SqlError()));
    return ok;
  });
}

bool SqliteKeyStore::DropParentCopy(qint64 parent) {
  // Made from its subkeys' names too; it stays dropped until copies are written again.
  if (parent == parentCopyDropped_) return true;
  sqlite3_bind_int64(dropCopy_, 1, parent);
  const bool ok = sqlite3_step(dropCopy_) == SQLITE_DONE;
  sqlite3_reset(dropCopy_);
  if (ok) parentCopyDropped_ = parent;
  return ok;
}
