#pragma once

#include "network/calendarserver.h"

#include "core/dataformat.h"
#include "platform/icalendar.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class KeyStore;

// What one synchronisation did.
struct SyncReport {
  QStringList up;            // titles sent to the server
  QStringList down;          // titles that came from it
  QStringList settled;       // changed on both sides: which copy was kept
  QStringList removedHere;   // deleted on the server, so deleted here
  QStringList removedThere;  // deleted here, so deleted on the server
  QStringList readOnly;      // changed here but kept as the server has them (it says more than they can)
  QStringList problems;      // entries that could not be read or written
  QStringList postponed;     // changed on the server while open in an editor here: next time
  QString error;             // why the synchronisation stopped early
  bool unauthorized = false;
  bool unreachable = false;  // no answer came (the network, or the server is down)
  // The calendar and the server hold the same: nothing failed and nothing waits to go up.
  bool agree = false;
};

// Records as they were when last found unchanged since they were sent or received, by their
// place in the calendar. A record equal to its copy here (server copy included) is unchanged
// without working out its fingerprint again, which for every record of a large calendar
// would be most of a run that finds nothing to do. Whoever runs synchronisations keeps one
// between runs; a copy of a record that moved or changed is simply no longer equal.
struct UnchangedRecords {
  std::vector<std::optional<TNote>> notes;
  std::vector<std::optional<TToDo>> todos;
};

// Two-way synchronisation of the calendar with one collection of a calendar server.
//
// Each event series (with the records of its changed instances) and each task travels as one
// iCalendar object resource, named by its UID. A record remembers where it is kept on the
// server (TServerCopy): the resource, its ETag and a fingerprint of the record as last sent
// or received, so that a change here shows as a fingerprint that no longer matches.
//
// A run asks what changed on the server since the last run (sync-collection with the token
// kept in the store, or a listing of ETags where the server has no such report), fetches the
// changed resources, applies them and keeps the new token, all in one transaction of the
// store. Then it sends every record changed here, each write guarded by the ETag it replaces
// (or as new), and removes what was deleted here. A write refused because the server's copy
// changed meanwhile (412) is settled by the merge rule: the later change wins, the loser is
// kept as a deleted record. Records the server describes in more than Orvane's patterns can
// say are kept read-only. An interrupted run leaves the store as the last transaction left
// it; the next run starts from there, and resources are named by UID, so nothing doubles.
class CalendarSync {
 public:
  using Done = std::function<void(const SyncReport&)>;

  // unchanged: kept by the caller between runs (a run without one keeps its own).
  CalendarSync(DataFormat& calendar, KeyStore& store, CalendarServer& server, const QString& collection,
               UnchangedRecords* unchanged = nullptr);

  // Runs one synchronisation to its end; done comes once, afterwards.
  void Run(Done done);
  // The same, waiting for the end in a local event loop (the command line and the bench).
  SyncReport RunAndWait();

  // Answers whether the records of a UID are open in an editor. What the server changed of
  // such records waits (the token is not moved past it) until a run finds them closed, so an
  // editor's unsaved work never meets a record replaced or deleted under it; its Save then
  // makes the later change, which the next run settles as usual.
  std::function<bool(const QString& uid)> InUse;

  // The collection new tasks go to when it is not the calendar's (a task list of its own):
  // a run then synchronises the calendar's collection and then the task list's, each with
  // its own token, and reports both together. A task already kept in the calendar's
  // collection stays there.
  QString TaskList;

  // Where the collection's token is kept in the store.
  static QString StateKey();

 private:
  // The records of one resource: an event series and its instances, or a task.
  struct Group {
    std::vector<int> notes;
    std::vector<int> todos;
    bool empty() const { return notes.empty() && todos.empty(); }
  };

  void StartLeg();
  bool SeparateTaskList() const;
  QString LegStateKey() const;
  void Pull();
  void PullByListing();
  void Listed(const QList<ServerItem>& items, QStringList removed, bool complete, const QString& token);
  void FetchNext(QStringList queue);
  void ReadSome();
  void ApplyDown();
  void Push();
  void PushNext();
  void Pushed();
  void Finish(const ServerAnswer* failure = nullptr);

  bool Save();
  // A resource read into records (before anything is applied), and what reading it found.
  struct ReadItem {
    ServerItem item;
    std::unique_ptr<DataFormat> records;
    IcsImportResult read;
  };
  ReadItem Read(const ServerItem& item) const;
  void ApplyItem(const ServerItem& item);
  void ApplyItem(ReadItem& item);
  void RemoveHere(const QString& path);
  void Replace(const Group& group, DataFormat& incoming, const ServerItem& item, bool readOnly);
  void KeepLoser(const Group& group);
  // How many resources of the collection the records know they are kept in.
  int KnownResources() const;
  bool InCollection(const TServerCopy& copy) const;
  bool SentHere(const Group& group);
  // The index of the records by UID and by resource, built when the calendar changed since.
  void Index();
  void BuildIndex();
  bool IndexCurrent() const;
  void MarkIndexed();
  void AddToIndex(const Group& group);
  // The records of group were changed by this run; indexed: the index was current before.
  void Changed(const Group& group, bool indexed);
  // How many resources the records know they are kept in, from the index.
  int IndexedResources();
  Group GroupOfHref(const QString& path) const;
  Group GroupOfUid(const QString& uid) const;
  bool Dirty(const Group& group) const;
  bool NoteChanged(int i) const;
  bool ToDoChanged(int i) const;
  bool Held(const Group& group) const;
  bool Same(const Group& group, const DataFormat& incoming) const;
  QString Title(const Group& group) const;
  QString PathFor(const QString& uid) const;
  TServerCopy* FirstCopy(const Group& group);

  DataFormat& calendar_;
  KeyStore& store_;
  CalendarServer& server_;
  QString calendarCollection_;
  QString collection_;  // the one this part of the run works on
  Done done_;
  SyncReport report_;
  QString token_;
  QString pendingToken_;
  std::optional<QString> savedToken_;  // what the store holds, when known
  QStringList removed_;
  // Read as each answer arrives, so that the reading is spread over the waits for the next
  // answers and the panel keeps painting; applied all together.
  std::vector<ReadItem> fetched_;
  std::deque<ServerItem> toRead_;  // received, not read yet
  bool fetching_ = false;          // answers still to come
  // Alive as long as the object: what the event loop calls later asks it first.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  bool fetchedAll_ = true;
  std::vector<QString> pushQueue_;          // UIDs of the groups to send
  QStringList conflicts_;                   // resources whose write was refused
  QHash<QString, Group> byUid_;             // every record by UID
  QHash<QString, Group> byHref_;            // records kept on the server by resource
  std::optional<quint64> indexedRevision_;  // the calendar's revision the index was built for
  size_t indexedNotes_ = 0;
  size_t indexedTodos_ = 0;
  UnchangedRecords ownUnchanged_;
  UnchangedRecords* unchanged_;
  int round_ = 0;
  bool finished_ = false;
  bool tasksLeg_ = false;
  bool waiting_ = false;  // a part of the run left changes to send
  bool storeFailed_ = false;
};

// What a first synchronisation of a calendar with a collection that already holds resources
// meets: the events and tasks on each side (a series with its changed instances counted once)
// and how many of them are the same on both.
struct FirstSyncPreview {
  int here = 0;
  int there = 0;
  int same = 0;
};
// items: every resource of the collection with its text.
FirstSyncPreview PreviewFirstSync(const DataFormat& calendar, const QList<ServerItem>& items);
// No record knows a server copy, and some are live: a first synchronisation meets them.
bool FirstSyncOfRecords(const DataFormat& calendar);

// A fingerprint of what a record holds (its server copy aside).
QString ServerFingerprint(const TNote& note);
QString ServerFingerprint(const TToDo& todo);
