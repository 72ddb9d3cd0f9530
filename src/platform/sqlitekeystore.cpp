#include "platform/sqlitekeystore.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <cstring>
#include <unordered_map>

namespace {

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " vals BLOB NOT NULL,"
    " UNIQUE(parent, name COLLATE NOCASE))";

bool IsDamage(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

void AppendU32(QByteArray& out, quint32 v) {
  char buf[4];
  qToLittleEndian(v, buf);
  out.append(buf, 4);
}

}  // namespace

SqliteKeyStore::SqliteKeyStore(sqlite3* db) : db_(db) {}

SqliteKeyStore::~SqliteKeyStore() {
  if (inTransaction_) Rollback();
  sqlite3_finalize(insert_);
  sqlite3_finalize(update_);
  sqlite3_finalize(delete_);
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
    // The whole tree is read at every start: read the file through a mapping of it rather than
    // copying it a page at a time (a command's start over a large calendar).
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
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
  return sqlite3_prepare_v2(db_, "INSERT INTO keys(id, parent, name, vals) VALUES(?, ?, ?, ?)", -1, &insert_,
                            nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "UPDATE keys SET vals = ? WHERE id = ?", -1, &update_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "DELETE FROM keys WHERE id = ?", -1, &delete_, nullptr) == SQLITE_OK;
}

bool SqliteKeyStore::LoadTree() {
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT id, parent, name, vals FROM keys ORDER BY id", -1, &select, nullptr) !=
      SQLITE_OK) {
    return false;
  }
  auto root = std::make_unique<Node>();
  std::unordered_map<qint64, Node*> byId;
  byId.emplace(0, root.get());
  qint64 lastId = 0;
  ValueNames names;
  int rc;
  while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
    const qint64 id = sqlite3_column_int64(select, 0);
    const qint64 parentId = sqlite3_column_int64(select, 1);
    auto parent = byId.find(parentId);
    lastId = std::max(lastId, id);
    if (parent == byId.end()) continue;  // an orphan cannot be reached; leave it be
    auto node = std::make_unique<Node>();
    node->id = id;
    node->name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, 2)),
                                   sqlite3_column_bytes(select, 2));
    node->parent = parent->second;
    const auto* blob = static_cast<const char*>(sqlite3_column_blob(select, 3));
    UnpackValues(QByteArray::fromRawData(blob, sqlite3_column_bytes(select, 3)), node->values, names);
    Node* raw = node.get();
    parent->second->children.emplace(raw->name, std::move(node));
    byId.emplace(id, raw);
  }
  sqlite3_finalize(select);
  if (rc != SQLITE_DONE) return false;
  readVersion_ = DataVersion();
  ResetTree(std::move(root));
  SetLastId(lastId);
  createdOrder_.clear();
  created_.clear();
  changed_.clear();
  deleted_.clear();
  return true;
}

std::optional<qint64> SqliteKeyStore::DataVersion() const {
  sqlite3_stmt* pragma = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &pragma, nullptr) != SQLITE_OK) return std::nullopt;
  std::optional<qint64> version;
  if (sqlite3_step(pragma) == SQLITE_ROW) version = sqlite3_column_int64(pragma, 0);
  sqlite3_finalize(pragma);
  return version;
}

bool SqliteKeyStore::ChangedElsewhere() {
  if (inTransaction_) return false;
  const std::optional<qint64> now = DataVersion();
  return now && readVersion_ && *now != *readVersion_;
}

bool SqliteKeyStore::Reload() {
  if (inTransaction_) return false;
  return LoadTree();
}

QByteArray SqliteKeyStore::PackValues(const std::vector<Value>& values) {
  QByteArray out;
  for (const Value& v : values) {
    const QByteArray name = v.name.toUtf8();
    out.append(static_cast<char>(v.type));
    AppendU32(out, static_cast<quint32>(name.size()));
    out.append(name);
    switch (v.type) {
      case ValueType::Text: {
        const QByteArray text = v.text.toUtf8();
        AppendU32(out, static_cast<quint32>(text.size()));
        out.append(text);
        break;
      }
      case ValueType::Integer:
        AppendU32(out, 4);
        AppendU32(out, static_cast<quint32>(v.integer));
        break;
      case ValueType::Date: {
        AppendU32(out, 8);
        char buf[8];
        qToLittleEndian(v.date, buf);
        out.append(buf, 8);
        break;
      }
    }
  }
  return out;
}

bool SqliteKeyStore::UnpackValues(const QByteArray& blob, std::vector<Value>& values) {
  ValueNames names;
  return UnpackValues(blob, values, names);
}

bool SqliteKeyStore::UnpackValues(const QByteArray& blob, std::vector<Value>& values, ValueNames& names) {
  values.clear();
  // One allocation for the values of a key: count them first. Each value is a type byte, a
  // name and its data, both after their length; the count stops where the reading below
  // would, or earlier, and the lengths are checked again there.
  size_t count = 0;
  for (qsizetype at = 0; at + 5 <= blob.size(); ++count) {
    if (static_cast<unsigned char>(blob.at(at)) > static_cast<unsigned>(ValueType::Date)) break;
    at += 5 + qsizetype(qFromLittleEndian<quint32>(blob.constData() + at + 1));
    if (at + 4 > blob.size()) break;
    at += 4 + qsizetype(qFromLittleEndian<quint32>(blob.constData() + at));
  }
  values.reserve(count + 1);
  const char* p = blob.constData();
  qsizetype left = blob.size();
  auto readU32 = [&](quint32& v) {
    if (left < 4) return false;
    v = qFromLittleEndian<quint32>(p);
    p += 4;
    left -= 4;
    return true;
  };
  while (left > 0) {
    Value v;
    const auto type = static_cast<unsigned char>(*p);
    ++p;
    --left;
    quint32 nameLen, dataLen;
    if (type > static_cast<unsigned>(ValueType::Date) || !readU32(nameLen) || nameLen > static_cast<quint32>(left)) {
      return false;
    }
    // The same few value names recur in every record: share one string for each.
    const QByteArrayView rawName(p, nameLen);
    const size_t place = values.size();
    if (place < names.byPlace.size() && names.byPlace[place].first == rawName) {
      v.name = names.byPlace[place].second;
    } else {
      auto known = names.byBytes.constFind(QByteArray::fromRawData(p, nameLen));
      if (known == names.byBytes.cend())
        known = names.byBytes.insert(rawName.toByteArray(), QString::fromUtf8(rawName));
      v.name = *known;
      if (place >= names.byPlace.size()) names.byPlace.resize(place + 1);
      names.byPlace[place] = {known.key(), *known};
    }
    p += nameLen;
    left -= nameLen;
    if (!readU32(dataLen) || dataLen > static_cast<quint32>(left)) return false;
    v.type = static_cast<ValueType>(type);
    switch (v.type) {
      case ValueType::Text:
        v.text = QString::fromUtf8(p, dataLen);
        break;
      case ValueType::Integer:
        if (dataLen != 4) return false;
        v.integer = static_cast<qint32>(qFromLittleEndian<quint32>(p));
        break;
      case ValueType::Date:
        if (dataLen != 8) return false;
        v.date = qFromLittleEndian<double>(p);
        break;
    }
    p += dataLen;
    left -= dataLen;
    values.push_back(std::move(v));
  }
  return true;
}

void SqliteKeyStore::NodeCreated(Node& node) {
  createdOrder_.push_back(&node);
  created_.insert(&node);
}

void SqliteKeyStore::NodeChanged(Node& node) {
  if (!created_.count(&node)) changed_.insert(&node);
}

void SqliteKeyStore::NodeDeleted(Node& node) {
  changed_.erase(&node);
  if (created_.erase(&node)) return;  // never reached the database
  deleted_.push_back(node.id);
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
  for (qint64 id : deleted_) {
    sqlite3_reset(delete_);
    sqlite3_bind_int64(delete_, 1, id);
    if (sqlite3_step(delete_) != SQLITE_DONE) return fail(QStringLiteral("Failed to delete a key"));
  }
  for (Node* node : createdOrder_) {
    // A node deleted in this transaction is gone from created_; its address may have been
    // reused by a later node, which is then listed twice: insert it once.
    if (!created_.erase(node)) continue;
    const QByteArray name = node->name.toUtf8();
    const QByteArray vals = PackValues(node->values);
    sqlite3_reset(insert_);
    sqlite3_bind_int64(insert_, 1, node->id);
    sqlite3_bind_int64(insert_, 2, node->parent ? node->parent->id : 0);
    sqlite3_bind_text(insert_, 3, name.constData(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert_, 4, vals.constData(), static_cast<int>(vals.size()), SQLITE_STATIC);
    if (sqlite3_step(insert_) != SQLITE_DONE)
      return fail(QStringLiteral("Failed to write key \"%1\"").arg(PathOf(*node)));
  }
  for (Node* node : changed_) {
    const QByteArray vals = PackValues(node->values);
    sqlite3_reset(update_);
    sqlite3_bind_blob(update_, 1, vals.constData(), static_cast<int>(vals.size()), SQLITE_STATIC);
    sqlite3_bind_int64(update_, 2, node->id);
    if (sqlite3_step(update_) != SQLITE_DONE)
      return fail(QStringLiteral("Failed to write key \"%1\"").arg(PathOf(*node)));
  }
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
  return true;
}

bool SqliteKeyStore::Commit() {
  if (!inTransaction_) return true;
  if (!Flush() || !Exec("COMMIT")) return false;  // the caller rolls back
  inTransaction_ = false;
  return true;
}

void SqliteKeyStore::Rollback() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  // The mirror may hold changes the database never took: read it again.
  LoadTree();
}

bool SqliteKeyStore::AutoCommit(bool opResult) {
  if (inTransaction_ || (created_.empty() && changed_.empty() && deleted_.empty())) return opResult;
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

bool SqliteKeyStore::OpenKey(const QString& path, bool create) {
  return AutoCommit(MemoryKeyStore::OpenKey(path, create));
}

bool SqliteKeyStore::DeleteKey(const QString& path) { return AutoCommit(MemoryKeyStore::DeleteKey(path)); }

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
