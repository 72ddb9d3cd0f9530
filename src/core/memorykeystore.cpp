#include "core/memorykeystore.h"

#include <QStringTokenizer>
#include <QtEndian>

#include <cstring>

MemoryKeyStore::MemoryKeyStore() : root_(std::make_unique<Node>()) {}

int MemoryKeyStore::CaseInsensitiveLess::Compare(QStringView a, QStringView b) {
  // Plain ASCII names (all of ours) compare with a cheap fold; anything else the full way.
  const qsizetype n = std::min(a.size(), b.size());
  const char16_t* const p = a.utf16();
  const char16_t* const q = b.utf16();
  for (qsizetype i = 0; i < n; ++i) {
    char16_t x = p[i], y = q[i];
    if (x == y && x < 0x80) continue;  // most names share a beginning
    if (x >= 0x80 || y >= 0x80) return a.compare(b, Qt::CaseInsensitive);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

namespace {

void AppendU32(QByteArray& out, quint32 v) {
  char buf[4];
  qToLittleEndian(v, buf);
  out.append(buf, 4);
}

// A stored name (UTF-8) against a name asked for, exactly. While the stored bytes are ASCII
// they line up with the name's characters; the first other byte decodes the whole name. A
// name whose ASCII bytes cover the other name and go on (or stop short) decodes longer
// (or shorter), so it differs.
}  // namespace

bool MemoryKeyStore::SameName(QByteArrayView stored, QStringView name) {
  const qsizetype n = std::min(stored.size(), name.size());
  for (qsizetype i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(stored[i]);
    if (b >= 0x80) return QString::fromUtf8(stored) == name;
    if (name[i].unicode() != b) return false;
  }
  if (stored.size() > n && static_cast<unsigned char>(stored[n]) >= 0x80) return QString::fromUtf8(stored) == name;
  return stored.size() == name.size();
}

namespace {

// The same without regard to case. Characters that fold to ASCII letters are single UTF-16
// units, so the lengths work out as above.
bool SameNameAnyCase(QByteArrayView stored, QStringView name) {
  const qsizetype n = std::min(stored.size(), name.size());
  for (qsizetype i = 0; i < n; ++i) {
    char16_t x = name[i].unicode(), y = static_cast<unsigned char>(stored[i]);
    if (x >= 0x80 || y >= 0x80) return QString::fromUtf8(stored).compare(name, Qt::CaseInsensitive) == 0;
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  if (stored.size() > n && static_cast<unsigned char>(stored[n]) >= 0x80)
    return QString::fromUtf8(stored).compare(name, Qt::CaseInsensitive) == 0;
  return stored.size() == name.size();
}

}  // namespace

qint32 MemoryKeyStore::PackedValue::Integer() const {
  return data.size() == 4 ? static_cast<qint32>(qFromLittleEndian<quint32>(data.data())) : 0;
}

TDateTime MemoryKeyStore::PackedValue::Date() const {
  return data.size() == 8 ? qFromLittleEndian<double>(data.data()) : 0;
}

qsizetype MemoryKeyStore::WellFormedLength(QByteArrayView packed) {
  const char* const begin = packed.data();
  const char* p = begin;
  qsizetype left = packed.size();
  qsizetype whole = 0;
  auto readU32 = [&](quint32& v) {
    if (left < 4) return false;
    v = qFromLittleEndian<quint32>(p);
    p += 4;
    left -= 4;
    return true;
  };
  while (left > 0) {
    const auto type = static_cast<unsigned char>(*p);
    ++p;
    --left;
    quint32 nameLength, dataLength;
    if (type > static_cast<unsigned>(ValueType::Date) || !readU32(nameLength) ||
        nameLength > static_cast<quint32>(left)) {
      break;
    }
    p += nameLength;
    left -= nameLength;
    if (!readU32(dataLength) || dataLength > static_cast<quint32>(left)) break;
    if (type == static_cast<unsigned>(ValueType::Integer) && dataLength != 4) break;
    if (type == static_cast<unsigned>(ValueType::Date) && dataLength != 8) break;
    p += dataLength;
    left -= dataLength;
    whole = p - begin;
  }
  return whole;
}

qsizetype MemoryKeyStore::ReadPacked(QByteArrayView packed, qsizetype at, PackedValue& value) {
  const char* p = packed.data() + at;
  value.type = static_cast<ValueType>(static_cast<unsigned char>(p[0]));
  const quint32 nameLength = qFromLittleEndian<quint32>(p + 1);
  value.name = QByteArrayView(p + 5, nameLength);
  p += 5 + nameLength;
  const quint32 dataLength = qFromLittleEndian<quint32>(p);
  value.data = QByteArrayView(p + 4, dataLength);
  return at + 1 + 4 + nameLength + 4 + dataLength;
}

namespace {

char16_t Unit(char c) { return static_cast<unsigned char>(c); }
char16_t Unit(QChar c) { return c.unicode(); }

// A hash of an ASCII name without regard to case (FNV-1a over the upper-case letters).
template <typename Chars>
quint32 FoldedHash(const Chars& name) {
  quint32 h = 2166136261u;
  for (const auto c : name) {
    char16_t u = Unit(c);
    if (u >= 'a' && u <= 'z') u -= 32;
    h = (h ^ u) * 16777619u;
  }
  return h;
}

}  // namespace

MemoryKeyStore::PackedNames MemoryKeyStore::PackedNames::Of(QByteArrayView packed) {
  PackedNames names;
  PackedValue v;
  for (qsizetype at = 0; at < packed.size() && !names.any_;) {
    at = ReadPacked(packed, at, v);
    names.Add(v.name);
  }
  return names;
}

void MemoryKeyStore::PackedNames::Add(QByteArrayView stored) {
  char high = 0;
  for (const char c : stored) high |= c;
  if ((high & 0x80) || stored.isEmpty()) {
    any_ = true;
    return;
  }
  const quint32 bit = FoldedHash(stored) % (64 * Words);
  bits_[bit / 64] |= quint64(1) << (bit % 64);
}

bool MemoryKeyStore::PackedNames::MayHold(QStringView name) const {
  if (any_ || name.isEmpty()) return true;
  for (const QChar c : name)
    if (c.unicode() >= 0x80) return true;
  const quint32 bit = FoldedHash(QStringView(name)) % (64 * Words);
  return (bits_[bit / 64] & (quint64(1) << (bit % 64))) != 0;
}

qsizetype MemoryKeyStore::FindPacked(QByteArrayView packed, QStringView name, qsizetype& hint) {
  const qsizetype size = packed.size();
  PackedValue v;
  if (hint < 0 || hint >= size) hint = 0;
  // From the hint to the end, then from the start to the hint.
  for (int round = 0; round < 2; ++round) {
    const qsizetype from = round == 0 ? hint : 0;
    const qsizetype to = round == 0 ? size : hint;
    for (qsizetype at = from; at < to;) {
      const qsizetype next = ReadPacked(packed, at, v);
      if (SameName(v.name, name)) {
        hint = next;
        return at;
      }
      at = next;
    }
  }
  for (qsizetype at = 0; at < size;) {
    const qsizetype next = ReadPacked(packed, at, v);
    if (SameNameAnyCase(v.name, name)) return at;
    at = next;
  }
  return -1;
}

QByteArray MemoryKeyStore::PackValues(const std::vector<Value>& values) {
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

bool MemoryKeyStore::UnpackValues(QByteArrayView packed, std::vector<Value>& values) {
  values.clear();
  const qsizetype whole = WellFormedLength(packed);
  PackedValue p;
  for (qsizetype at = 0; at < whole;) {
    at = ReadPacked(packed, at, p);
    Value v;
    v.name = QString::fromUtf8(p.name);
    v.type = p.type;
    switch (p.type) {
      case ValueType::Text:
        v.text = p.Text();
        break;
      case ValueType::Integer:
        v.integer = p.Integer();
        break;
      case ValueType::Date:
        v.date = p.Date();
        break;
    }
    values.push_back(std::move(v));
  }
  return whole == packed.size();
}

MemoryKeyStore::~MemoryKeyStore() = default;

MemoryKeyStore::Node* MemoryKeyStore::Find(const QString& path, bool create) {
  Node* node = (path.startsWith(QLatin1Char('\\')) || !current_) ? root_.get() : current_;
  for (QStringView part : qTokenize(QStringView(path), u'\\', Qt::SkipEmptyParts)) {
    if (node->pending) ReadPending(*node);
    auto it = node->children.find(part);
    if (it != node->children.end()) {
      node = it->second.get();
      continue;
    }
    if (!create) return nullptr;
    auto child = std::make_unique<Node>();
    child->id = NextId();
    child->name = part.toString();
    child->parent = node;
    Node* raw = child.get();
    node->children.emplace(raw->name, std::move(child));
    NodeCreated(*raw);
    node = raw;
  }
  return node;
}

bool MemoryKeyStore::OpenKey(const QString& path, bool create) {
  Node* node = Find(path, create);
  if (!node) {
    lastError_ = QStringLiteral("Key \"%1\" does not exist").arg(path);
    return false;
  }
  current_ = node;
  readOnly_ = false;
  valueHint_ = 0;
  currentNames_.reset();
  return true;
}

bool MemoryKeyStore::OpenKeyReadOnly(const QString& path) {
  Node* node = Find(path, false);
  if (!node) return false;
  current_ = node;
  readOnly_ = true;
  valueHint_ = 0;
  currentNames_.reset();
  return true;
}

void MemoryKeyStore::CloseKey() {
  current_ = nullptr;
  readOnly_ = false;
}

bool MemoryKeyStore::KeyExists(const QString& path) { return Find(path, false) != nullptr; }

void MemoryKeyStore::DeleteTree(Node& node) {
  if (node.pending) ReadPending(node);
  for (auto& [name, child] : node.children) DeleteTree(*child);
  if (current_ == &node) current_ = nullptr;
  NodeDeleted(node);
}

bool MemoryKeyStore::DeleteKey(const QString& path) {
  Node* node = Find(path, false);
  if (!node || node == root_.get()) {
    lastError_ = QStringLiteral("Key \"%1\" does not exist").arg(path);
    return false;
  }
  DeleteTree(*node);
  Node* parent = node->parent;
  parent->children.erase(node->name);
  return true;
}

QStringList MemoryKeyStore::GetKeyNames() {
  QStringList names;
  if (!current_) return names;
  if (current_->pending) ReadPending(*current_);
  names.reserve(static_cast<qsizetype>(current_->children.size()));
  for (const auto& [name, child] : current_->children) names.append(child->name);
  return names;
}

QStringList MemoryKeyStore::GetValueNames() {
  QStringList names;
  if (!current_) return names;
  PackedValue v;
  for (qsizetype at = 0; at < current_->values.size();) {
    at = ReadPacked(current_->values, at, v);
    names.append(QString::fromUtf8(v.name));
  }
  return names;
}

qsizetype MemoryKeyStore::FindValue(const QString& name) {
  if (!current_) return -1;
  if (!currentNames_) currentNames_ = PackedNames::Of(current_->values);
  if (!currentNames_->MayHold(name)) return -1;
  return FindPacked(current_->values, name, valueHint_);
}

std::optional<MemoryKeyStore::PackedValue> MemoryKeyStore::ValueNamed(const QString& name) {
  const qsizetype at = FindValue(name);
  if (at < 0) return std::nullopt;
  PackedValue v;
  ReadPacked(current_->values, at, v);
  return v;
}

bool MemoryKeyStore::ValueExists(const QString& name) { return FindValue(name) >= 0; }

std::optional<KeyStore::ValueType> MemoryKeyStore::GetValueType(const QString& name) {
  const auto v = ValueNamed(name);
  if (!v) return std::nullopt;
  return v->type;
}

bool MemoryKeyStore::DeleteValue(const QString& name) {
  if (!current_ || readOnly_) return false;
  QByteArray& values = current_->values;
  PackedValue v;
  for (qsizetype at = 0; at < values.size();) {
    const qsizetype next = ReadPacked(values, at, v);
    if (SameNameAnyCase(v.name, name)) {
      values.remove(at, next - at);
      // The hint keeps pointing at the same value.
      if (valueHint_ > at) valueHint_ -= next - at;
      NodeChanged(*current_);
      return true;
    }
    at = next;
  }
  return false;
}

std::optional<QString> MemoryKeyStore::ReadString(const QString& name) {
  const auto v = ValueNamed(name);
  if (!v || v->type != ValueType::Text) return std::nullopt;
  return v->Text();
}

std::optional<qint32> MemoryKeyStore::ReadInteger(const QString& name) {
  const auto v = ValueNamed(name);
  if (!v || v->type != ValueType::Integer) return std::nullopt;
  return v->Integer();
}

std::optional<TDateTime> MemoryKeyStore::ReadDate(const QString& name) {
  const auto v = ValueNamed(name);
  if (!v || v->type != ValueType::Date) return std::nullopt;
  return v->Date();
}

bool MemoryKeyStore::WriteAllowed(const QString& valueName) {
  if (!failValue_.isEmpty() && valueName.compare(failValue_, Qt::CaseInsensitive) == 0) {
    lastError_ = QStringLiteral("Failed to write value \"%1\"").arg(valueName);
    return false;
  }
  return true;
}

namespace {

// The UTF-8 of a text, made without a buffer of its own when it is short and ASCII, as the
// names and most values of a record are.
class Utf8 {
 public:
  explicit Utf8(QStringView text) {
    bool ascii = text.size() <= Room;
    for (qsizetype i = 0; i < text.size() && ascii; ++i) ascii = text[i].unicode() < 0x80;
    if (!ascii) {
      heap_ = text.toUtf8();
      view_ = heap_;
      return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) room_[i] = static_cast<char>(text[i].unicode());
    view_ = QByteArrayView(room_, text.size());
  }
  Utf8(const Utf8&) = delete;  // the view may point into the object itself
  Utf8& operator=(const Utf8&) = delete;
  QByteArrayView view() const { return view_; }

 private:
  static constexpr qsizetype Room = 256;
  char room_[Room];
  QByteArray heap_;
  QByteArrayView view_;
};

}  // namespace

bool MemoryKeyStore::Write(const QString& name, ValueType type, QByteArrayView data) {
  if (!current_ || readOnly_) {
    lastError_ = QStringLiteral("Failed to write value \"%1\": no key open for writing").arg(name);
    return false;
  }
  if (!WriteAllowed(name)) return false;
  QByteArray& values = current_->values;
  const qsizetype at = FindValue(name);
  if (at >= 0) {
    // The value keeps its place and the spelling of its name.
    PackedValue old;
    const qsizetype next = ReadPacked(values, at, old);
    const qsizetype nameLength = old.name.size();
    QByteArray entry;
    entry.reserve(1 + 4 + nameLength + 4 + data.size());
    entry.append(static_cast<char>(type));
    AppendU32(entry, static_cast<quint32>(nameLength));
    entry.append(old.name);
    AppendU32(entry, static_cast<quint32>(data.size()));
    entry.append(data);
    values.replace(at, next - at, entry);
    // The hint keeps pointing at the same value.
    if (valueHint_ > at) valueHint_ += entry.size() - (next - at);
  } else {
    const Utf8 utf8(name);
    const QByteArrayView stored = utf8.view();
    if (currentNames_) currentNames_->Add(stored);
    // A new key gets room for a record's values at once; each value is put in place in one go.
    if (values.isEmpty()) values.reserve(512);
    const qsizetype end = values.size();
    values.resize(end + 1 + 4 + stored.size() + 4 + data.size());
    char* p = values.data() + end;
    *p++ = static_cast<char>(type);
    qToLittleEndian(static_cast<quint32>(stored.size()), p);
    p += 4;
    if (!stored.isEmpty()) std::memcpy(p, stored.data(), static_cast<size_t>(stored.size()));
    p += stored.size();
    qToLittleEndian(static_cast<quint32>(data.size()), p);
    p += 4;
    if (!data.isEmpty()) std::memcpy(p, data.data(), static_cast<size_t>(data.size()));
  }
  NodeChanged(*current_);
  return true;
}

bool MemoryKeyStore::RenameKey(const QString& name, const QString& newName) {
  if (!current_ || readOnly_) {
    lastError_ = QStringLiteral("Failed to rename key \"%1\": no key open for writing").arg(name);
    return false;
  }
  if (current_->pending) ReadPending(*current_);
  auto& children = current_->children;
  const auto from = children.find(QStringView(name));
  if (from == children.end()) {
    lastError_ = QStringLiteral("Key \"%1\" does not exist").arg(name);
    return false;
  }
  const auto to = children.find(QStringView(newName));
  if (newName.isEmpty() || newName.contains(QLatin1Char('\\')) || (to != children.end() && to != from)) {
    lastError_ = QStringLiteral("Cannot rename key \"%1\" to \"%2\"").arg(name, newName);
    return false;
  }
  if (!RenameAllowed(*from->second, newName)) return false;
  std::unique_ptr<Node> node = std::move(from->second);
  children.erase(from);
  node->name = newName;
  Node* raw = node.get();
  children.emplace(raw->name, std::move(node));
  return true;
}

bool MemoryKeyStore::WriteString(const QString& name, const QString& value) {
  return Write(name, ValueType::Text, Utf8(value).view());
}

bool MemoryKeyStore::WriteInteger(const QString& name, qint32 value) {
  char buf[4];
  qToLittleEndian(static_cast<quint32>(value), buf);
  return Write(name, ValueType::Integer, QByteArrayView(buf, 4));
}

bool MemoryKeyStore::WriteDate(const QString& name, TDateTime value) {
  char buf[8];
  qToLittleEndian(value, buf);
  return Write(name, ValueType::Date, QByteArrayView(buf, 8));
}

std::unique_ptr<MemoryKeyStore::Node> MemoryKeyStore::Clone(const Node& node, Node* parent) {
  auto copy = std::make_unique<Node>();
  copy->id = node.id;
  copy->name = node.name;
  copy->parent = parent;
  copy->values = node.values;
  copy->pending = node.pending;
  for (const auto& [name, child] : node.children) copy->children.emplace(name, Clone(*child, copy.get()));
  return copy;
}

bool MemoryKeyStore::BeginTransaction() {
  if (inTransaction_) {
    lastError_ = QStringLiteral("A transaction is already open");
    return false;
  }
  snapshot_ = Clone(*root_, nullptr);
  snapshotLastId_ = lastId_;
  inTransaction_ = true;
  return true;
}

bool MemoryKeyStore::Commit() {
  snapshot_.reset();
  inTransaction_ = false;
  return true;
}

void MemoryKeyStore::Rollback() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  if (snapshot_) {
    ResetTree(std::move(snapshot_));
    lastId_ = snapshotLastId_;
  }
}

void MemoryKeyStore::ResetTree(std::unique_ptr<Node> root) {
  root_ = std::move(root);
  current_ = nullptr;
  readOnly_ = false;
}

QString MemoryKeyStore::PathOf(const Node& node) {
  QStringList parts;
  for (const Node* n = &node; n && n->parent; n = n->parent) parts.prepend(n->name);
  return QLatin1Char('\\') + parts.join(QLatin1Char('\\'));
}

namespace {

void DumpNode(const MemoryKeyStore::Node& node, QString& out) {
  out += MemoryKeyStore::PathOf(node);
  out += QLatin1Char('\n');
  MemoryKeyStore::PackedValue v;
  for (qsizetype at = 0; at < node.values.size();) {
    at = MemoryKeyStore::ReadPacked(node.values, at, v);
    out += QStringLiteral("  %1 = ").arg(QString::fromUtf8(v.name));
    switch (v.type) {
      case KeyStore::ValueType::Text:
        out += QStringLiteral("text:") + v.Text();
        break;
      case KeyStore::ValueType::Integer:
        out += QStringLiteral("int:%1").arg(v.Integer());
        break;
      case KeyStore::ValueType::Date:
        out += QStringLiteral("date:%1").arg(v.Date(), 0, 'g', 17);
        break;
    }
    out += QLatin1Char('\n');
  }
  for (const auto& [name, child] : node.children) DumpNode(*child, out);
}

}  // namespace

QString MemoryKeyStore::Dump() {
  ReadAllPending(*root_);
  QString out;
  DumpNode(*root_, out);
  return out;
}

void MemoryKeyStore::ReadAllPending(Node& node) {
  if (node.pending) ReadPending(node);
  for (auto& [name, child] : node.children) ReadAllPending(*child);
}

bool MemoryKeyStore::ReadSubtree(const QString& path, const std::function<void(const SubtreeKey&)>& visit) {
  Node* top = Find(path, false);
  if (!top) return false;
  // Each key before its subkeys.
  std::function<void(Node&, int)> walk = [&](Node& node, int depth) {
    if (node.pending) ReadPending(node);
    for (const auto& [name, child] : node.children) {
      visit(SubtreeKey{child->id, node.id, depth, child->name, child->values});
      walk(*child, depth + 1);
    }
  };
  walk(*top, 1);
  return true;
}
