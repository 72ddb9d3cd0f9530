#include "network/calendarsync.h"

#include "core/bytestream.h"
#include "core/keystore.h"
#include "platform/icalendar.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace {

const QString TokenName = QStringLiteral("SyncToken");
const QString CollectionName = QStringLiteral("Collection");
const QString ResourcesName = QStringLiteral("Resources");
// Resources fetched with one request.
constexpr int FetchBatch = 100;
// Rounds of settling refused writes in one run.
constexpr int MaxRounds = 3;
// How long the reading of received resources holds the event loop at a time.
constexpr int ReadSliceMs = 8;

QString Fingerprint(const QByteArray& bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(32));
}

// A record as it was when known unchanged since it was sent or received (UnchangedRecords).
template <typename Record, typename Records>
void Remember(std::vector<std::optional<Record>>& unchanged, int at, const Records& records) {
  if (unchanged.size() < records.size()) unchanged.resize(records.size());
  unchanged[size_t(at)] = records[size_t(at)];
}

TDateTime LatestChange(const DataFormat& calendar) {
  TDateTime latest = 0;
  for (const TNote& note : calendar.NoteArray) latest = std::max(latest, note.ModifyDate);
  for (const TToDo& todo : calendar.ToDoArray) latest = std::max(latest, todo.ModifyDate);
  return latest;
}

}  // namespace

QString ServerFingerprint(const TNote& note) {
  QByteArray bytes;
  ByteWriter out(bytes);
  WriteNote(note, out);
  WriteExtraValues(out, ExtraValuesOf(note));
  return Fingerprint(bytes);
}

QString ServerFingerprint(const TToDo& todo) {
  QByteArray bytes;
  ByteWriter out(bytes);
  WriteToDo(todo, out);
  WriteExtraValues(out, ExtraValuesOf(todo));
  return Fingerprint(bytes);
}

namespace {

// The live records of one UID as iCalendar text, without the stamp of the moment it was made:
// two copies that say the same read the same.
QByteArray Said(const DataFormat& from, const QString& uid) {
  DataFormat one(from.clock());
  for (const TNote& note : from.NoteArray)
    if (note.Uid == uid && note.DeleteDate == 0) one.NoteArray.push_back(note);
  for (const TToDo& todo : from.ToDoArray)
    if (todo.Uid == uid && todo.DeleteDate == 0) one.ToDoArray.push_back(todo);
  QByteArray text;
  if (!ExportICalendarText(one, 0, text).ok) return QByteArray();
  QList<QByteArray> lines = text.split('\n');
  lines.removeIf([](const QByteArray& line) { return line.startsWith("DTSTAMP") || line.startsWith("PRODID"); });
  return lines.join('\n');
}

QSet<QString> LiveUids(const DataFormat& calendar) {
  QSet<QString> uids;
  for (const TNote& note : calendar.NoteArray)
    if (note.DeleteDate == 0) uids.insert(note.Uid);
  for (const TToDo& todo : calendar.ToDoArray)
    if (todo.DeleteDate == 0) uids.insert(todo.Uid);
  return uids;
}

}  // namespace

FirstSyncPreview PreviewFirstSync(const DataFormat& calendar, const QList<ServerItem>& items) {
  FirstSyncPreview preview;
  const QSet<QString> here = LiveUids(calendar);
  preview.here = static_cast<int>(here.size());
  preview.there = static_cast<int>(items.size());
  for (const ServerItem& item : items) {
    DataFormat incoming(calendar.clock());
    if (!ImportICalendarText(incoming, item.data, calendar.clock().Now()).ok) continue;
    const QSet<QString> there = LiveUids(incoming);
    if (there.size() != 1 || !here.contains(*there.cbegin())) continue;
    const QString uid = *there.cbegin();
    if (Said(incoming, uid) == Said(calendar, uid)) ++preview.same;
  }
  return preview;
}

bool FirstSyncOfRecords(const DataFormat& calendar) {
  bool live = false;
  for (const TNote& note : calendar.NoteArray) {
    if (!note.Server.Href.isEmpty()) return false;
    live |= note.DeleteDate == 0;
  }
  for (const TToDo& todo : calendar.ToDoArray) {
    if (!todo.Server.Href.isEmpty()) return false;
    live |= todo.DeleteDate == 0;
  }
  return live;
}

CalendarSync::CalendarSync(DataFormat& calendar, KeyStore& store, CalendarServer& server, const QString& collection,
                           UnchangedRecords* unchanged)
    : calendar_(calendar),
      store_(store),
      server_(server),
      calendarCollection_(collection),
      collection_(collection),
      unchanged_(unchanged ? unchanged : &ownUnchanged_) {}

QString CalendarSync::StateKey() { return QStringLiteral("\\Software\\Orvane\\CalendarServer"); }

SyncReport CalendarSync::RunAndWait() {
  std::optional<SyncReport> report;
  QEventLoop loop;
  Run([&](const SyncReport& r) {
    report = r;
    loop.quit();
  });
  if (!report) loop.exec();
  return *report;
}

void CalendarSync::Run(Done done) {
  done_ = std::move(done);
  report_ = SyncReport();
  finished_ = false;
  storeFailed_ = false;
  waiting_ = false;
  tasksLeg_ = false;
  collection_ = calendarCollection_;
  StartLeg();
}

bool CalendarSync::SeparateTaskList() const { return !TaskList.isEmpty() && TaskList != calendarCollection_; }

QString CalendarSync::LegStateKey() const { return tasksLeg_ ? StateKey() + QStringLiteral("\\Tasks") : StateKey(); }

void CalendarSync::StartLeg() {
  round_ = 0;
  token_.clear();
  savedToken_.reset();
  pendingToken_.clear();
  removed_.clear();
  fetched_.clear();
  fetchedAll_ = true;
  pushQueue_.clear();
  conflicts_.clear();
  indexedRevision_.reset();  // another collection: another index
  // The token belongs to the collection it was given for.
  if (store_.OpenKeyReadOnly(LegStateKey())) {
    // It stands for the resources the records knew when it was kept: records that lost
    // theirs since (a restored backup) are compared with the whole collection again.
    if (store_.ReadString(CollectionName).value_or(QString()) == collection_ &&
        store_.ReadInteger(ResourcesName).value_or(-1) == IndexedResources()) {
      token_ = store_.ReadString(TokenName).value_or(QString());
      savedToken_ = token_;
    }
    store_.CloseKey();
  }
  Pull();
}

// --- Down ---------------------------------------------------------------------------------

void CalendarSync::Pull() {
  server_.Changes(collection_, token_, [this](const ServerAnswer& answer) {
    if (answer.tokenRefused && !token_.isEmpty()) {
      token_.clear();
      Pull();
    } else if (answer.unsupported) {
      PullByListing();
    } else if (!answer.ok()) {
      Finish(&answer);
    } else {
      // Without a token the answer lists every resource: what it leaves out is gone.
      Listed(answer.items, answer.removed, token_.isEmpty(), answer.syncToken);
    }
  });
}

void CalendarSync::PullByListing() {
  server_.List(collection_, [this](const ServerAnswer& answer) {
    if (!answer.ok())
      Finish(&answer);
    else
      Listed(answer.items, {}, true, QString());
  });
}

void CalendarSync::Listed(const QList<ServerItem>& items, QStringList removed, bool complete, const QString& token) {
  Index();
  QStringList wanted;
  QSet<QString> listed;
  for (const ServerItem& item : items) {
    listed.insert(item.path);
    const Group group = GroupOfHref(item.path);
    TServerCopy* copy = group.empty() ? nullptr : FirstCopy(group);
    // What this computer sent or received last is not fetched again.
    if (!copy || item.etag.isEmpty() || copy->ETag != item.etag) wanted << item.path;
  }
  if (complete) {
    for (auto it = byHref_.cbegin(); it != byHref_.cend(); ++it)
      if (!listed.contains(it.key()) && !GroupOfHref(it.key()).empty()) removed << it.key();
  }
  removed_ = removed;
  pendingToken_ = token;
  fetched_.clear();
  toRead_.clear();
  fetchedAll_ = true;
  fetching_ = true;
  FetchNext(wanted);
}

void CalendarSync::FetchNext(QStringList queue) {
  if (queue.isEmpty()) {
    fetching_ = false;
    if (toRead_.empty()) ApplyDown();  // else the reading applies them when it is through
    return;
  }
  const QStringList batch = queue.mid(0, FetchBatch);
  queue = queue.mid(FetchBatch);
  server_.Fetch(collection_, batch, [this, batch, queue](const ServerAnswer& answer) {
    if (!answer.ok()) {
      Finish(&answer);
      return;
    }
    const bool reading = !toRead_.empty();
    toRead_.insert(toRead_.end(), answer.items.cbegin(), answer.items.cend());
    // A resource listed a moment ago that the server no longer gives: the next run sees it.
    if (answer.items.size() < batch.size()) fetchedAll_ = false;
    FetchNext(queue);
    if (!reading) ReadSome();
  });
}

// Reads what came in a few resources at a time, each slice in a turn of the event loop of
// its own, so that the panel goes on painting while a large answer is read; the next answer
// is on its way meanwhile.
void CalendarSync::ReadSome() {
  if (finished_) return;
  QElapsedTimer slice;
  slice.start();
  while (!toRead_.empty() && slice.elapsed() < ReadSliceMs) {
    fetched_.push_back(Read(toRead_.front()));
    toRead_.pop_front();
  }
  if (!toRead_.empty()) {
    QTimer::singleShot(0, [this, alive = std::weak_ptr<int>(alive_)] {
      if (!alive.expired()) ReadSome();
    });
  } else if (!fetching_) {
    ApplyDown();
  }
}

void CalendarSync::ApplyDown() {
  for (ReadItem& item : fetched_) ApplyItem(item);
  for (const QString& path : std::as_const(removed_)) RemoveHere(path);
  fetched_.clear();
  removed_.clear();
  // The new token only with everything it stands for.
  if (fetchedAll_) token_ = pendingToken_;
  if (!Save()) return;
  Push();
}

CalendarSync::ReadItem CalendarSync::Read(const ServerItem& item) const {
  ReadItem read{item, std::make_unique<DataFormat>(calendar_.clock()), {}};
  read.read = ImportICalendarText(*read.records, item.data, calendar_.clock().Now());
  read.item.data.clear();  // read: the text is not needed again
  // Each record's fingerprint as received, worked out here too rather than all at the end.
  for (TNote& note : read.records->NoteArray) note.Server.Synced = ServerFingerprint(note);
  for (TToDo& todo : read.records->ToDoArray) todo.Server.Synced = ServerFingerprint(todo);
  return read;
}

void CalendarSync::ApplyItem(const ServerItem& item) {
  ReadItem read = Read(item);
  ApplyItem(read);
}

void CalendarSync::ApplyItem(ReadItem& readItem) {
  const ServerItem& item = readItem.item;
  DataFormat& incoming = *readItem.records;
  const IcsImportResult& read = readItem.read;
  if (!read.ok || (incoming.NoteArray.empty() && incoming.ToDoArray.empty())) {
    report_.problems << QStringLiteral("%1 cannot be read: %2")
                            .arg(item.path, read.ok ? QStringLiteral("it holds no event or task") : read.error);
    return;
  }
  const bool readOnly = read.expandedRules > 0;
  const QString uid = !incoming.NoteArray.empty() ? incoming.NoteArray.front().Uid : incoming.ToDoArray.front().Uid;
  const QString title =
      !incoming.NoteArray.empty() ? incoming.NoteArray.front().Title : incoming.ToDoArray.front().Title;
  Group group = GroupOfHref(item.path);
  if (group.empty()) {
    // A resource this computer wrote without learning it (an interrupted run), or one it has
    // not written yet: the same UID.
    group = GroupOfUid(uid);
    const TServerCopy* copy = group.empty() ? nullptr : FirstCopy(group);
    if (copy && !copy->Href.isEmpty() && copy->Href != item.path) group = Group();
  }
  if ((InUse && InUse(uid)) || Held(group)) {
    report_.postponed << title;
    fetchedAll_ = false;
    return;
  }
  if (!group.empty() && Dirty(group)) {
    const TServerCopy* copy = FirstCopy(group);
    if (copy && copy->Href == item.path && copy->ETag == item.etag) return;  // only changed here
    // The server holds what this computer holds (a write whose answer never came back).
    if (Same(group, incoming)) {
      Replace(group, incoming, item, readOnly);
      return;
    }
    // Changed on both sides: the later change wins.
    TDateTime here = 0;
    for (int i : group.notes) here = std::max(here, calendar_.NoteArray[i].ModifyDate);
    for (int i : group.todos) here = std::max(here, calendar_.ToDoArray[i].ModifyDate);
    if (LatestChange(incoming) > here) {
      KeepLoser(group);
      Replace(group, incoming, item, readOnly);
      report_.settled << QStringLiteral("%1: the server's later change kept").arg(title);
    } else {
      // This computer's copy goes up over the server's.
      for (int i : group.notes) {
        calendar_.NoteArray[i].Server.Href = item.path;
        calendar_.NoteArray[i].Server.ETag = item.etag;
      }
      for (int i : group.todos) {
        calendar_.ToDoArray[i].Server.Href = item.path;
        calendar_.ToDoArray[i].Server.ETag = item.etag;
      }
      Changed(group, IndexCurrent());
      report_.settled << QStringLiteral("%1: this computer's later change kept").arg(Title(group));
    }
    return;
  }
  Replace(group, incoming, item, readOnly);
  report_.down << title;
}

void CalendarSync::Replace(const Group& group, DataFormat& incoming, const ServerItem& item, bool readOnly) {
  const bool indexed = IndexCurrent();
  const TDateTime now = calendar_.clock().Now();
  Group placed;
  std::vector<bool> usedNotes(group.notes.size()), usedTodos(group.todos.size());
  for (TNote& note : incoming.NoteArray) {
    note.Server = TServerCopy{item.path, item.etag, note.Server.Synced, readOnly};
    int at = -1;
    for (size_t k = 0; k < group.notes.size() && at < 0; ++k) {
      const TNote& here = calendar_.NoteArray[group.notes[k]];
      if (!usedNotes[k] && here.Uid == note.Uid && here.RecurrenceId == note.RecurrenceId) {
        usedNotes[k] = true;
        at = group.notes[k];
      }
    }
    if (at < 0) at = calendar_.AppendNote();
    calendar_.NoteArray[at] = std::move(note);
    placed.notes.push_back(at);
  }
  for (TToDo& todo : incoming.ToDoArray) {
    todo.Server = TServerCopy{item.path, item.etag, todo.Server.Synced, false};
    int at = -1;
    for (size_t k = 0; k < group.todos.size() && at < 0; ++k) {
      if (!usedTodos[k] && calendar_.ToDoArray[group.todos[k]].Uid == todo.Uid) {
        usedTodos[k] = true;
        at = group.todos[k];
      }
    }
    if (at < 0) at = calendar_.AppendToDo();  // counted as open
    TToDo& here = calendar_.ToDoArray[at];
    calendar_.OpenToDoCount += (todo.IsOpen() ? 1 : 0) - (here.IsOpen() ? 1 : 0);
    here = std::move(todo);
    placed.todos.push_back(at);
  }
  // What the resource no longer holds is deleted here.
  for (size_t k = 0; k < group.notes.size(); ++k) {
    if (usedNotes[k]) continue;
    TNote& note = calendar_.NoteArray[group.notes[k]];
    if (note.DeleteDate == 0) note.DeleteDate = now;
    note.Server = TServerCopy();
  }
  for (size_t k = 0; k < group.todos.size(); ++k) {
    if (usedTodos[k]) continue;
    TToDo& todo = calendar_.ToDoArray[group.todos[k]];
    if (todo.IsOpen()) --calendar_.OpenToDoCount;
    if (todo.DeleteDate == 0) todo.DeleteDate = now;
    todo.Server = TServerCopy();
  }
  // As received, and so unchanged: the runs to come need not work their fingerprints out.
  for (int i : placed.notes) Remember(unchanged_->notes, i, calendar_.NoteArray);
  for (int i : placed.todos) Remember(unchanged_->todos, i, calendar_.ToDoArray);
  Changed(placed, indexed);
}

// The copy that lost a conflict stays as a deleted record of its own (a UID of its own, on no
// server) for the usual time, so that it can still be found.
void CalendarSync::KeepLoser(const Group& group) {
  const bool indexed = IndexCurrent();
  const TDateTime now = calendar_.clock().Now();
  const QString suffix = QStringLiteral("-replaced-") + QString::number(qint64(now * 86400));
  for (int i : group.notes) {
    TNote loser = calendar_.NoteArray[i];
    loser.Uid += suffix;
    loser.Server = TServerCopy();
    if (loser.DeleteDate == 0) loser.DeleteDate = now;
    calendar_.NoteArray[calendar_.AppendNote()] = std::move(loser);
  }
  for (int i : group.todos) {
    TToDo loser = calendar_.ToDoArray[i];
    loser.Uid += suffix;
    loser.Server = TServerCopy();
    if (loser.DeleteDate == 0) loser.DeleteDate = now;
    calendar_.ToDoArray[calendar_.AppendToDo()] = std::move(loser);
    --calendar_.OpenToDoCount;
  }
  // Deleted and on no server: no index holds them.
  Changed(Group(), indexed);
}

void CalendarSync::RemoveHere(const QString& path) {
  const Group group = GroupOfHref(path);
  if (group.empty()) return;
  if (Held(group)) {
    report_.postponed << Title(group);
    fetchedAll_ = false;
    return;
  }
  const bool indexed = IndexCurrent();
  const TDateTime now = calendar_.clock().Now();
  const bool changedHere = Dirty(group);
  for (int i : group.notes) {
    TNote& note = calendar_.NoteArray[i];
    // A record changed here since goes up again as a new resource: nothing is lost.
    if (!changedHere && note.DeleteDate == 0) note.DeleteDate = now;
    note.Server = TServerCopy();
  }
  for (int i : group.todos) {
    TToDo& todo = calendar_.ToDoArray[i];
    if (!changedHere && todo.DeleteDate == 0) {
      if (todo.IsOpen()) --calendar_.OpenToDoCount;
      todo.DeleteDate = now;
    }
    todo.Server = TServerCopy();
  }
  Changed(Group(), indexed);
  if (!changedHere) report_.removedHere << Title(group);
}

// --- Up -----------------------------------------------------------------------------------

void CalendarSync::Push() {
  Index();
  pushQueue_.clear();
  conflicts_.clear();
  for (auto it = byUid_.cbegin(); it != byUid_.cend(); ++it)
    if (SentHere(it.value()) && Dirty(it.value())) pushQueue_.push_back(it.key());
  // The same order every run: oldest first as the calendar holds them.
  std::sort(pushQueue_.begin(), pushQueue_.end(), [this](const QString& a, const QString& b) {
    const Group& ga = byUid_[a];
    const Group& gb = byUid_[b];
    const int ia = ga.notes.empty() ? 1 << 30 | ga.todos.front() : ga.notes.front();
    const int ib = gb.notes.empty() ? 1 << 30 | gb.todos.front() : gb.notes.front();
    return ia < ib;
  });
  std::reverse(pushQueue_.begin(), pushQueue_.end());
  PushNext();
}

// Sends the next group that needs a request; groups that need none are passed over in the
// loop (not by recursion: there can be many).
void CalendarSync::PushNext() {
  for (;;) {
    if (pushQueue_.empty()) {
      Pushed();
      return;
    }
    const QString uid = pushQueue_.back();
    pushQueue_.pop_back();
    const Group group = GroupOfUid(uid);
    const TServerCopy* copy = FirstCopy(group);
    const QString href = copy ? copy->Href : QString();
    const QString etag = copy ? copy->ETag : QString();
    const QString title = Title(group);

    DataFormat outgoing(calendar_.clock());
    bool readOnly = false;
    for (int i : group.notes) {
      const TNote& note = calendar_.NoteArray[i];
      readOnly |= note.Server.ReadOnly;
      if (note.DeleteDate == 0) outgoing.NoteArray.push_back(note);
    }
    for (int i : group.todos)
      if (calendar_.ToDoArray[i].DeleteDate == 0) outgoing.ToDoArray.push_back(calendar_.ToDoArray[i]);

    // The records as they went: the calendar can change while the answer is on its way (the
    // panel keeps running), and such a change must still show as one afterwards.
    QHash<int, QString> sentNotes, sentTodos;
    for (int i : group.notes)
      if (calendar_.NoteArray[i].DeleteDate == 0) sentNotes.insert(i, ServerFingerprint(calendar_.NoteArray[i]));
    for (int i : group.todos)
      if (calendar_.ToDoArray[i].DeleteDate == 0) sentTodos.insert(i, ServerFingerprint(calendar_.ToDoArray[i]));

    // Marks the group as the server now holds it: what was sent is known to be there; a
    // record changed or added since goes up with the next run; one deleted since is removed.
    auto settle = [this, uid, sentNotes, sentTodos](const QString& path, const QString& newEtag) {
      const bool indexed = IndexCurrent();
      const Group now = GroupOfUid(uid);
      for (int i : now.notes) {
        TNote& note = calendar_.NoteArray[i];
        const bool sent = sentNotes.contains(i);
        if (path.isEmpty() || (note.DeleteDate != 0 && !sent)) {
          note.Server = TServerCopy();
        } else {
          note.Server = TServerCopy{path, newEtag, sentNotes.value(i), note.Server.ReadOnly};
        }
      }
      for (int i : now.todos) {
        TToDo& todo = calendar_.ToDoArray[i];
        const bool sent = sentTodos.contains(i);
        if (path.isEmpty() || (todo.DeleteDate != 0 && !sent)) {
          todo.Server = TServerCopy();
        } else {
          todo.Server = TServerCopy{path, newEtag, sentTodos.value(i), false};
        }
      }
      Changed(now, indexed);
    };
    auto failed = [this, title](const ServerAnswer& answer, const QString& path) {
      if (answer.preconditionFailed()) {
        conflicts_ << path;
      } else if (answer.unauthorized() || answer.status == 0) {
        // Nothing more can go through: stop here, keeping what went up so far.
        Finish(&answer);
        return false;
      } else {
        report_.problems << QStringLiteral("%1 could not be sent: %2").arg(title, answer.error);
      }
      return true;
    };

    if (outgoing.NoteArray.empty() && outgoing.ToDoArray.empty()) {
      server_.Remove(href, etag, [this, settle, failed, href, title](const ServerAnswer& answer) {
        if (answer.ok()) {
          settle(QString(), QString());
          report_.removedThere << title;
        } else if (!failed(answer, href)) {
          return;
        }
        PushNext();
      });
      return;
    }
    if (readOnly) {
      report_.readOnly << title;
      continue;
    }
    QByteArray data;
    const IcsExportResult written = ExportICalendarText(outgoing, calendar_.clock().Now(), data);
    if (!written.ok || written.events + written.tasks == 0) {
      report_.problems << QStringLiteral("%1 could not be sent: %2")
                              .arg(title, written.ok ? QStringLiteral("it falls on no day") : written.error);
      continue;
    }
    const QString path = href.isEmpty() ? PathFor(uid) : href;
    server_.Put(path, data, href.isEmpty() ? QString() : etag,
                [this, settle, failed, path, title](const ServerAnswer& answer) {
                  if (answer.ok()) {
                    settle(path, answer.etag);
                    report_.up << title;
                  } else if (!failed(answer, path)) {
                    return;
                  }
                  PushNext();
                });
    return;
  }
}

void CalendarSync::Pushed() {
  if (!Save()) return;
  if (conflicts_.isEmpty() || round_ >= MaxRounds) {
    Finish();
    return;
  }
  // The writes the server refused: its copies come down and are settled, then the winners
  // go up again.
  ++round_;
  const QStringList asked = conflicts_;
  conflicts_.clear();
  server_.Fetch(collection_, asked, [this, asked](const ServerAnswer& answer) {
    if (!answer.ok()) {
      Finish(&answer);
      return;
    }
    Index();
    QSet<QString> found;
    for (const ServerItem& item : answer.items) {
      found.insert(item.path);
      ApplyItem(item);
    }
    // Gone from the server meanwhile: what changed here goes up as new.
    for (const QString& path : asked)
      if (!found.contains(path)) RemoveHere(path);
    if (!Save()) return;
    Push();
  });
}

void CalendarSync::Finish(const ServerAnswer* failure) {
  if (finished_) return;
  finished_ = true;
  if (failure) {
    report_.error = failure->error;
    report_.unauthorized = failure->unauthorized();
    // A certificate that is not the one trusted is no network trouble: it is said as it is.
    report_.unreachable = failure->status == 0 && !storeFailed_ && failure->certificate.isEmpty();
  }
  bool waiting = !conflicts_.isEmpty();
  if (!failure) {
    Index();
    for (const Group& group : std::as_const(byUid_)) {
      if (!SentHere(group) || !Dirty(group)) continue;
      const TServerCopy* copy = FirstCopy(group);
      if (!copy || !copy->ReadOnly) waiting = true;
    }
  }
  waiting_ |= waiting;
  // The task list's turn, once the calendar's went through.
  if (!failure && !tasksLeg_ && SeparateTaskList()) {
    finished_ = false;
    tasksLeg_ = true;
    collection_ = TaskList;
    StartLeg();
    return;
  }
  report_.agree = !failure && !waiting_ && report_.problems.isEmpty() && report_.postponed.isEmpty();
  if (done_) done_(report_);
}

bool CalendarSync::Save() {
  // A run that learnt nothing new writes nothing; a new token alone leaves the records be.
  const bool stateChanged = calendar_.DataChanged || !savedToken_ || *savedToken_ != token_;
  if (!stateChanged) return true;
  const QString token = token_;
  const QString collection = collection_;
  const SaveResult saved = calendar_.SaveChanged(store_, true, [this, token, collection] {
    SaveResult result;
    if (!store_.OpenKey(LegStateKey(), true) || !store_.WriteString(CollectionName, collection) ||
        !store_.WriteString(TokenName, token) || !store_.WriteInteger(ResourcesName, KnownResources())) {
      result.ok = false;
      result.error = store_.LastError();
    }
    store_.CloseKey();
    return result;
  });
  if (saved.ok) {
    savedToken_ = token;
    return true;
  }
  ServerAnswer failure;
  failure.error = QStringLiteral("the calendar could not be saved: ") + saved.error;
  storeFailed_ = true;
  Finish(&failure);
  return false;
}

// --- Groups ---------------------------------------------------------------------------------

int CalendarSync::KnownResources() const {
  QSet<QString> paths;
  for (const TNote& note : calendar_.NoteArray)
    if (InCollection(note.Server)) paths.insert(note.Server.Href);
  for (const TToDo& todo : calendar_.ToDoArray)
    if (InCollection(todo.Server)) paths.insert(todo.Server.Href);
  return static_cast<int>(paths.size());
}

bool CalendarSync::InCollection(const TServerCopy& copy) const {
  return !copy.Href.isEmpty() && copy.Href.startsWith(collection_);
}

// A group goes up to this collection when it is kept there, or is on no server yet and of the
// kind this collection takes (tasks go to the task list where there is one).
bool CalendarSync::SentHere(const Group& group) {
  if (FirstCopy(group)) return true;  // the index holds this collection's resources only
  const bool task = group.notes.empty();
  return tasksLeg_ ? task : (!task || !SeparateTaskList());
}

int CalendarSync::IndexedResources() {
  Index();
  return static_cast<int>(byHref_.size());
}

bool CalendarSync::IndexCurrent() const {
  return indexedRevision_ && *indexedRevision_ == calendar_.DataChanged.Revision() &&
         indexedNotes_ == calendar_.NoteArray.size() && indexedTodos_ == calendar_.ToDoArray.size();
}

void CalendarSync::Index() {
  if (!IndexCurrent()) BuildIndex();
}

void CalendarSync::Changed(const Group& group, bool indexed) {
  calendar_.DataChanged = true;
  AddToIndex(group);
  // What this run changed it has indexed as it went; a change from elsewhere meanwhile (the
  // panel keeps running) makes the next look rebuild the index.
  if (indexed) MarkIndexed();
}

void CalendarSync::MarkIndexed() {
  indexedRevision_ = calendar_.DataChanged.Revision();
  indexedNotes_ = calendar_.NoteArray.size();
  indexedTodos_ = calendar_.ToDoArray.size();
}

void CalendarSync::BuildIndex() {
  byUid_.clear();
  byHref_.clear();
  // Records deleted here that were never on the server have nothing to synchronise.
  // Records kept in another collection (the task list, or the calendar) belong to its run.
  for (int i = 0; i < calendar_.NoteCount(); ++i) {
    TNote& note = calendar_.NoteArray[i];
    if (note.Server.Href.isEmpty() ? note.DeleteDate != 0 : !InCollection(note.Server)) continue;
    if (note.Uid.isEmpty()) note.Uid = NewUid();
    byUid_[note.Uid].notes.push_back(i);
    if (!note.Server.Href.isEmpty()) byHref_[note.Server.Href].notes.push_back(i);
  }
  for (int i = 0; i < calendar_.ToDoCount(); ++i) {
    TToDo& todo = calendar_.ToDoArray[i];
    if (todo.Server.Href.isEmpty() ? todo.DeleteDate != 0 : !InCollection(todo.Server)) continue;
    if (todo.Uid.isEmpty()) todo.Uid = NewUid();
    byUid_[todo.Uid].todos.push_back(i);
    if (!todo.Server.Href.isEmpty()) byHref_[todo.Server.Href].todos.push_back(i);
  }
  MarkIndexed();
}

void CalendarSync::AddToIndex(const Group& group) {
  auto add = [](Group& to, const Group& from) {
    for (int i : from.notes)
      if (std::find(to.notes.begin(), to.notes.end(), i) == to.notes.end()) to.notes.push_back(i);
    for (int i : from.todos)
      if (std::find(to.todos.begin(), to.todos.end(), i) == to.todos.end()) to.todos.push_back(i);
  };
  for (int i : group.notes) {
    const TNote& note = calendar_.NoteArray[i];
    add(byUid_[note.Uid], Group{{i}, {}});
    if (!note.Server.Href.isEmpty()) add(byHref_[note.Server.Href], Group{{i}, {}});
  }
  for (int i : group.todos) {
    const TToDo& todo = calendar_.ToDoArray[i];
    add(byUid_[todo.Uid], Group{{}, {i}});
    if (!todo.Server.Href.isEmpty()) add(byHref_[todo.Server.Href], Group{{}, {i}});
  }
}

// The index's entries that still hold (records change their server copy as a run goes on).
CalendarSync::Group CalendarSync::GroupOfHref(const QString& path) const {
  Group group;
  const auto found = byHref_.constFind(path);
  if (found == byHref_.cend()) return group;
  for (int i : found->notes)
    if (calendar_.NoteArray[i].Server.Href == path) group.notes.push_back(i);
  for (int i : found->todos)
    if (calendar_.ToDoArray[i].Server.Href == path) group.todos.push_back(i);
  return group;
}

CalendarSync::Group CalendarSync::GroupOfUid(const QString& uid) const {
  Group group;
  const auto found = byUid_.constFind(uid);
  if (found == byUid_.cend()) return group;
  for (int i : found->notes) {
    const TNote& note = calendar_.NoteArray[i];
    if (note.Uid == uid && (note.DeleteDate == 0 || !note.Server.Href.isEmpty())) group.notes.push_back(i);
  }
  for (int i : found->todos) {
    const TToDo& todo = calendar_.ToDoArray[i];
    if (todo.Uid == uid && (todo.DeleteDate == 0 || !todo.Server.Href.isEmpty())) group.todos.push_back(i);
  }
  return group;
}

bool CalendarSync::Same(const Group& group, const DataFormat& incoming) const {
  QStringList here, there;
  for (int i : group.notes)
    if (calendar_.NoteArray[i].DeleteDate == 0) here << ServerFingerprint(calendar_.NoteArray[i]);
  for (int i : group.todos)
    if (calendar_.ToDoArray[i].DeleteDate == 0) here << ServerFingerprint(calendar_.ToDoArray[i]);
  // Incoming records carry their fingerprints as received (Read).
  for (const TNote& note : incoming.NoteArray) there << note.Server.Synced;
  for (const TToDo& todo : incoming.ToDoArray) there << todo.Server.Synced;
  here.sort();
  there.sort();
  return here == there;
}

bool CalendarSync::Held(const Group& group) const {
  if (!InUse) return false;
  for (int i : group.notes)
    if (InUse(calendar_.NoteArray[i].Uid)) return true;
  for (int i : group.todos)
    if (InUse(calendar_.ToDoArray[i].Uid)) return true;
  return false;
}

// Changed here since it was last sent or received, or never sent.
bool CalendarSync::Dirty(const Group& group) const {
  for (int i : group.notes)
    if (NoteChanged(i)) return true;
  for (int i : group.todos)
    if (ToDoChanged(i)) return true;
  return false;
}

namespace {

// A record is unchanged when it equals the copy kept of it the last time it was found so;
// else its fingerprint tells, and an unchanged record leaves its copy for the next time.
template <typename Record>
bool RecordChanged(const Record& record, size_t at, size_t count, std::vector<std::optional<Record>>& unchanged) {
  if (record.Server.Href.isEmpty()) return record.DeleteDate == 0;
  if (at < unchanged.size() && unchanged[at] && *unchanged[at] == record) return false;
  if (ServerFingerprint(record) != record.Server.Synced) return true;
  if (unchanged.size() < count) unchanged.resize(count);
  unchanged[at] = record;
  return false;
}

}  // namespace

bool CalendarSync::NoteChanged(int i) const {
  return RecordChanged(calendar_.NoteArray[i], size_t(i), calendar_.NoteArray.size(), unchanged_->notes);
}

bool CalendarSync::ToDoChanged(int i) const {
  return RecordChanged(calendar_.ToDoArray[i], size_t(i), calendar_.ToDoArray.size(), unchanged_->todos);
}

QString CalendarSync::Title(const Group& group) const {
  if (!group.notes.empty()) return calendar_.NoteArray[group.notes.front()].Title;
  if (!group.todos.empty()) return calendar_.ToDoArray[group.todos.front()].Title;
  return QString();
}

TServerCopy* CalendarSync::FirstCopy(const Group& group) {
  for (int i : group.notes)
    if (!calendar_.NoteArray[i].Server.Href.isEmpty()) return &calendar_.NoteArray[i].Server;
  for (int i : group.todos)
    if (!calendar_.ToDoArray[i].Server.Href.isEmpty()) return &calendar_.ToDoArray[i].Server;
  return nullptr;
}

// A new resource is named by its UID (when the UID is a plain name; else by its digest), so a
// run interrupted before it learnt of its write finds the same resource again.
QString CalendarSync::PathFor(const QString& uid) const {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9@._-]{1,200}$"));
  const QString name =
      plain.match(uid).hasMatch()
          ? uid
          : QString::fromLatin1(QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha256).toHex());
  return collection_ + name + QStringLiteral(".ics");
}
