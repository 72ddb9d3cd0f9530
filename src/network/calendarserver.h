#pragma once

// A calendar server as the synchronisation sees it: the few CalDAV operations it needs, each
// answered later through a callback (the real client on Qt Network, caldavclient.h; a fake in
// the tests). Every answer comes once, on the thread that asked.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A collection of the user's calendar home.
struct ServerCollection {
  QString path;  // decoded path on the server, ending in "/"
  QString displayName;
  QStringList components;  // "VEVENT", "VTODO"; empty: the server did not say
  QString ctag;
  QString syncToken;

  bool Holds(const QString& component) const { return components.isEmpty() || components.contains(component); }
};

// One calendar object resource.
struct ServerItem {
  QString path;
  QString etag;
  QByteArray data;  // its iCalendar text, when asked for
};

struct ServerAnswer {
  int status = 0;  // HTTP status of the (last) request; 0 when none came
  QString error;   // empty: done as asked
  // The server's certificate could not be verified, or is not the one trusted: its SHA-256
  // fingerprint ("AB:12:..."), for the user to compare with the server's and to trust.
  QString certificate;
  // Discover: the other host the calendar home is on (CalDavClient::HostOf; empty when it is
  // on the server's own). With an error, the user has not yet agreed to send the password there.
  QString otherHost;
  // Discovery: the calendar home and its calendar collections; MakeCalendar: the new one.
  QString home;
  QList<ServerCollection> collections;
  // Changes: what changed (paths and ETags) and what went since the token, and the new token;
  // List: every resource with its ETag; Fetch: the resources with their text.
  QList<ServerItem> items;
  QStringList removed;
  QString syncToken;
  bool tokenRefused = false;  // the server no longer knows the token: start again without one
  bool unsupported = false;   // the server does not offer the report asked for
  // Put: the new ETag, when the server told it.
  QString etag;

  bool ok() const { return error.isEmpty(); }
  bool unauthorized() const { return status == 401; }
  bool preconditionFailed() const { return status == 412; }
};

using ServerCallback = std::function<void(const ServerAnswer&)>;

// Asks one request and waits for its answer in a local event loop (for the command line and
// the bench; the panel never waits).
ServerAnswer WaitForAnswer(const std::function<void(ServerCallback)>& ask);

class CalendarServer {
 public:
  virtual ~CalendarServer() = default;

  // The user's calendar home and its calendar collections.
  virtual void Discover(ServerCallback done) = 0;
  // A calendar for events and tasks named name in the home; answers the new collection.
  virtual void MakeCalendar(const QString& home, const QString& name, ServerCallback done) = 0;
  // What changed in the collection since the token (everything, with an empty token).
  virtual void Changes(const QString& collection, const QString& syncToken, ServerCallback done) = 0;
  // Every resource of the collection with its ETag, and the collection's token.
  virtual void List(const QString& collection, ServerCallback done) = 0;
  // The text of the named resources of the collection.
  virtual void Fetch(const QString& collection, const QStringList& paths, ServerCallback done) = 0;
  // Writes a resource: over the version etag names, or as a new one when etag is empty.
  virtual void Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) = 0;
  // Removes the version etag names.
  virtual void Remove(const QString& path, const QString& etag, ServerCallback done) = 0;
};
