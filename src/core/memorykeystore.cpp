#include "core/memorykeystore.h"

MemoryKeyStore::MemoryKeyStore() : root_(std::make_unique<Node>()) {}

int MemoryKeyStore::CaseInsensitiveLess::Compare(QStringView a, QStringView b) {
  // Plain ASCII names (all of ours) compare with a cheap fold; anything else the full way.
  const qsizetype n = std::min(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) {
    char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x >= 0x80 || y >= 0x80) return a.compare(b, Qt::CaseInsensitive);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

MemoryKeyStore::~MemoryKeyStore() = default;

namespace {

// The end of the longest run of whole keys two absolute paths share: a position where both
// have a backslash or end, with the same text before it (0 when they share none).
qsizetype SharedKeys(QStringView a, QStringView b) {
  const qsizetype n = std::min(a.size(), b.size());
  qsizetype same = 0;
  while (same < n && a[same] == b[same]) ++same;
  const auto boundary = [](QStringView p, qsizetype at) { return at == p.size() || p[at] == QLatin1Char('\\'); };
  if (boundary(a, same) && boundary(b, same)) return same;
  const qsizetype back = a.first(same).lastIndexOf(QLatin1Char('\\'));
  return back < 0 ? 0 : back;
}

}  // namespace

MemoryKeyStore::Node* MemoryKeyStore::Find(const QString& path, bool create) {
  const bool absolute = path.startsWith(QLatin1Char('\\'));
  Node* node = (absolute || !current_) ? root_.get() : current_;
  // The parts between backslashes, read in place: a calendar load opens a key per record.
  const QStringView whole(path);
  qsizetype from = 0;
  // A load opens key after key below the same keys ("\...\Notes\12", "\...\Notes\12\Exceptions",
  // "\...\Notes\13"): the walk starts at the deepest key this path shares with the last one
  // walked, reached by climbing from where that one ended.
  if (absolute && walked_) {
    const qsizetype shared = SharedKeys(walkedPath_, whole);
    if (shared > 0) {
      Node* start = walked_;
      for (QStringView part : QStringView(walkedPath_).sliced(shared).tokenize(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        Q_UNUSED(part);
        start = start->parent;
      }
      node = start;
      from = shared;
    }
  }
  for (; from < whole.size();) {
    qsizetype to = whole.indexOf(QLatin1Char('\\'), from);
    if (to < 0) to = whole.size();
    const QStringView part = whole.sliced(from, to - from);
    from = to + 1;
    if (part.isEmpty()) continue;
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
  if (absolute) {
    walkedPath_ = path;
    walked_ = node;
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
  return true;
}

bool MemoryKeyStore::OpenKeyReadOnly(const QString& path) {
  Node* node = Find(path, false);
  if (!node) return false;
  current_ = node;
  readOnly_ = true;
  valueHint_ = 0;
  return true;
}

void MemoryKeyStore::CloseKey() {
  current_ = nullptr;
  readOnly_ = false;
}

bool MemoryKeyStore::KeyExists(const QString& path) { return Find(path, false) != nullptr; }

void MemoryKeyStore::DeleteTree(Node& node) {
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
  walked_ = nullptr;
  DeleteTree(*node);
  Node* parent = node->parent;
  parent->children.erase(node->name);
  return true;
}

QStringList MemoryKeyStore::GetKeyNames() {
  QStringList names;
  if (!current_) return names;
  names.reserve(static_cast<qsizetype>(current_->children.size()));
  for (const auto& [name, child] : current_->children) names.append(child->name);
  return names;
}

QStringList MemoryKeyStore::GetValueNames() {
  QStringList names;
  if (!current_) return names;
  names.reserve(static_cast<qsizetype>(current_->values.size()));
  for (const Value& v : current_->values) names.append(v.name);
  return names;
}

MemoryKeyStore::Value* MemoryKeyStore::FindValue(const QString& name) {
  if (!current_) return nullptr;
  auto& values = current_->values;
  const size_t n = values.size();
  // Values are mostly read in the order they were written: look from the last hit on, with
  // an exact comparison first, before comparing without regard to case.
  for (size_t k = 0; k < n; ++k) {
    const size_t at = (valueHint_ + k) % n;
    if (values[at].name == name) {
      valueHint_ = at + 1;
      return &values[at];
    }
  }
  // A value that is not there (an optional one, or one older stores lack) is looked for this
  // way too: names of another length never match (case folding keeps the length), and ASCII
  // names fold at once.
  for (Value& v : values) {
    if (v.name.size() == name.size() && CaseInsensitiveLess::Compare(v.name, name) == 0) return &v;
  }
  return nullptr;
}

bool MemoryKeyStore::ValueExists(const QString& name) { return FindValue(name) != nullptr; }

std::optional<KeyStore::ValueType> MemoryKeyStore::GetValueType(const QString& name) {
  const Value* v = FindValue(name);
  if (!v) return std::nullopt;
  return v->type;
}

bool MemoryKeyStore::DeleteValue(const QString& name) {
  if (!current_ || readOnly_) return false;
  auto& values = current_->values;
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (it->name.compare(name, Qt::CaseInsensitive) == 0) {
      values.erase(it);
      NodeChanged(*current_);
      return true;
    }
  }
  return false;
}

std::optional<QString> MemoryKeyStore::ReadString(const QString& name) {
  const Value* v = FindValue(name);
  if (!v || v->type != ValueType::Text) return std::nullopt;
  return v->text;
}

std::optional<qint32> MemoryKeyStore::ReadInteger(const QString& name) {
  const Value* v = FindValue(name);
  if (!v || v->type != ValueType::Integer) return std::nullopt;
  return v->integer;
}

std::optional<TDateTime> MemoryKeyStore::ReadDate(const QString& name) {
  const Value* v = FindValue(name);
  if (!v || v->type != ValueType::Date) return std::nullopt;
  return v->date;
}

bool MemoryKeyStore::WriteAllowed(const QString& valueName) {
  if (!failValue_.isEmpty() && valueName.compare(failValue_, Qt::CaseInsensitive) == 0) {
    lastError_ = QStringLiteral("Failed to write value \"%1\"").arg(valueName);
    return false;
  }
  return true;
}

bool MemoryKeyStore::Write(const QString& name, Value value) {
  if (!current_ || readOnly_) {
    lastError_ = QStringLiteral("Failed to write value \"%1\": no key open for writing").arg(name);
    return false;
  }
  if (!WriteAllowed(name)) return false;
  if (Value* existing = FindValue(name)) {
    value.name = existing->name;
    *existing = std::move(value);
  } else {
    value.name = name;
    current_->values.push_back(std::move(value));
  }
  NodeChanged(*current_);
  return true;
}

bool MemoryKeyStore::WriteString(const QString& name, const QString& value) {
  Value v;
  v.type = ValueType::Text;
  v.text = value;
  return Write(name, std::move(v));
}

bool MemoryKeyStore::WriteInteger(const QString& name, qint32 value) {
  Value v;
  v.type = ValueType::Integer;
  v.integer = value;
  return Write(name, std::move(v));
}

bool MemoryKeyStore::WriteDate(const QString& name, TDateTime value) {
  Value v;
  v.type = ValueType::Date;
  v.date = value;
  return Write(name, std::move(v));
}

std::unique_ptr<MemoryKeyStore::Node> MemoryKeyStore::Clone(const Node& node, Node* parent) {
  auto copy = std::make_unique<Node>();
  copy->id = node.id;
  copy->name = node.name;
  copy->parent = parent;
  copy->values = node.values;
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
  walked_ = nullptr;
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
  for (const auto& v : node.values) {
    out += QStringLiteral("  %1 = ").arg(v.name);
    switch (v.type) {
      case KeyStore::ValueType::Text:
        out += QStringLiteral("text:") + v.text;
        break;
      case KeyStore::ValueType::Integer:
        out += QStringLiteral("int:%1").arg(v.integer);
        break;
      case KeyStore::ValueType::Date:
        out += QStringLiteral("date:%1").arg(v.date, 0, 'g', 17);
        break;
    }
    out += QLatin1Char('\n');
  }
  for (const auto& [name, child] : node.children) DumpNode(*child, out);
}

}  // namespace

QString MemoryKeyStore::Dump() const {
  QString out;
  DumpNode(*root_, out);
  return out;
}
