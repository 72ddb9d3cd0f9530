#pragma once

#include "core/keystore.h"

#include <QByteArray>

#include <array>
#include <map>
#include <memory>
#include <vector>

// A key store held in memory. It is the store of tests and of runs that must not touch the
// user's files, and the mirror that the SQLite store keeps of its database: reads are
// answered from the tree, and the hooks tell a subclass what changed.
//
// Each key keeps its values packed in one byte array, in creation order (see PackValues),
// the same bytes the SQLite store keeps in its row: a calendar of ten thousand records is
// ten thousand small arrays rather than hundreds of thousands of strings.
class MemoryKeyStore : public KeyStore {
 public:
  struct Value {
    QString name;
    ValueType type = ValueType::Text;
    QString text;
    qint32 integer = 0;
    TDateTime date = 0;
    bool operator==(const Value&) const = default;
  };
  // Orders names without regard to case; looks up by QStringView without building strings.
  struct CaseInsensitiveLess {
    using is_transparent = void;
    static int Compare(QStringView a, QStringView b);
    bool operator()(QStringView a, QStringView b) const { return Compare(a, b) < 0; }
  };
  struct Node {
    qint64 id = 0;
    QString name;
    Node* parent = nullptr;
    std::map<QString, std::unique_ptr<Node>, CaseInsensitiveLess> children;
    QByteArray values;     // packed, always well formed
    bool pending = false;  // its subkeys are not read yet (see ReadPending)
  };
  // One value of a packed list, pointing into the list's bytes.
  struct PackedValue {
    ValueType type = ValueType::Text;
    QByteArrayView name;  // UTF-8
    QByteArrayView data;  // text: UTF-8; integer: 4 bytes; date: 8 bytes
    QString Text() const { return QString::fromUtf8(data); }
    qint32 Integer() const;
    TDateTime Date() const;
  };

  // A packed list: per value its type (one byte), its name and its data, each a 32-bit
  // little-endian length and the bytes. Unpacking skips nothing silently: false when the
  // bytes are malformed.
  static QByteArray PackValues(const std::vector<Value>& values);
  static bool UnpackValues(QByteArrayView packed, std::vector<Value>& values);
  // The length of the well-formed beginning of a packed list (its size when it is whole).
  static qsizetype WellFormedLength(QByteArrayView packed);
  // Reads the value at `at` of a well-formed list; answers where the next one starts.
  static qsizetype ReadPacked(QByteArrayView packed, qsizetype at, PackedValue& value);
  // Which names a packed list may hold, to tell at once that a name is absent: a bit for each
  // stored name's hash without regard to case. Two ASCII names match without regard to case
  // only when their upper-case spellings are the same; a stored name that is not ASCII (or is
  // empty) turns the test off.
  class PackedNames {
   public:
    static PackedNames Of(QByteArrayView packed);
    void Add(QByteArrayView stored);
    bool MayHold(QStringView name) const;

   private:
    static constexpr int Words = 8;
    std::array<quint64, Words> bits_{};
    bool any_ = false;
  };
  // A stored name (UTF-8) against a name, exactly.
  static bool SameName(QByteArrayView stored, QStringView name);
  // Where the value named `name` starts, found as reads find it: an exact match first,
  // looked for from `hint` on (values are mostly read in the order they were written) and
  // moving `hint` past it, then a match without regard to case. -1 when there is none.
  static qsizetype FindPacked(QByteArrayView packed, QStringView name, qsizetype& hint);

  MemoryKeyStore();
  ~MemoryKeyStore() override;

  bool OpenKey(const QString& path, bool create) override;
  bool OpenKeyReadOnly(const QString& path) override;
  void CloseKey() override;
  bool KeyExists(const QString& path) override;
  bool DeleteKey(const QString& path) override;
  QStringList GetKeyNames() override;
  QStringList GetValueNames() override;
  bool ValueExists(const QString& name) override;
  std::optional<ValueType> GetValueType(const QString& name) override;
  bool DeleteValue(const QString& name) override;
  std::optional<QString> ReadString(const QString& name) override;
  std::optional<qint32> ReadInteger(const QString& name) override;
  std::optional<TDateTime> ReadDate(const QString& name) override;
  bool WriteString(const QString& name, const QString& value) override;
  bool WriteInteger(const QString& name, qint32 value) override;
  bool WriteDate(const QString& name, TDateTime value) override;
  bool BeginTransaction() override;
  bool Commit() override;
  void Rollback() override;
  bool ReadSubtree(const QString& path, const std::function<void(const SubtreeKey&)>& visit) override;
  bool RenameKey(const QString& name, const QString& newName) override;
  QString LastError() const override { return lastError_; }

  // Test aid: every later write of a value with this name fails (empty: none fails).
  void FailWritesOf(const QString& valueName) { failValue_ = valueName; }
  // The whole tree as text, one line per key and value; equal stores dump equally.
  QString Dump();
  bool InTransaction() const { return inTransaction_; }
  // "\Software\Orvane" for that key.
  static QString PathOf(const Node& node);

 protected:
  // Hooks for a store that keeps the tree somewhere else too.
  virtual void NodeCreated(Node&) {}
  virtual void NodeChanged(Node&) {}
  virtual void NodeDeleted(Node&) {}
  virtual bool WriteAllowed(const QString& valueName);
  // Called before `node` takes the name `newName` (checked free); false (the last error set)
  // leaves it as it is.
  virtual bool RenameAllowed(Node& node, const QString& newName) {
    (void)node;
    (void)newName;
    return true;
  }
  // Reads the subkeys of a key marked pending, the whole subtree below it, and clears the mark.
  virtual void ReadPending(Node&) {}

  Node& Root() { return *root_; }
  // The open key, or null.
  Node* CurrentNode() { return current_; }
  // The open key when it was opened for writing, or null.
  Node* WritableNode() { return readOnly_ ? nullptr : current_; }
  // The key at `path` without reading its subkeys when they are pending, or null.
  Node* FindKeyNode(const QString& path) { return Find(path, false); }
  // Replaces the whole tree (after a rollback or when loading a database).
  void ResetTree(std::unique_ptr<Node> root);
  qint64 NextId() { return ++lastId_; }
  void SetLastId(qint64 id) { lastId_ = id; }
  void SetLastError(const QString& error) { lastError_ = error; }

 private:
  Node* Find(const QString& path, bool create);
  // Where the current key's value named `name` starts, or -1.
  qsizetype FindValue(const QString& name);
  std::optional<PackedValue> ValueNamed(const QString& name);
  bool Write(const QString& name, ValueType type, QByteArrayView data);
  void DeleteTree(Node& node);
  void ReadAllPending(Node& node);
  static std::unique_ptr<Node> Clone(const Node& node, Node* parent);

  std::unique_ptr<Node> root_;
  std::unique_ptr<Node> snapshot_;
  qint64 snapshotLastId_ = 0;
  Node* current_ = nullptr;
  bool readOnly_ = false;
  qsizetype valueHint_ = 0;
  // The names of the open key's values, worked out when first needed after it was opened.
  std::optional<PackedNames> currentNames_;
  bool inTransaction_ = false;
  qint64 lastId_ = 0;
  QString lastError_;
  QString failValue_;
};
