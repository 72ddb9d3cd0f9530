#pragma once

#include "network/calendarserver.h"

#include <gtest/gtest.h>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>

// A calendar server in memory for the synchronisation's tests: one collection, ETags and sync
// tokens counted up with every change, answers delivered from the event loop as a network
// client's would be. A test can change the collection behind the client's back (Write,
// Erase) and make requests fail (interfere).
class FakeCalendarServer : public CalendarServer {
 public:
  struct Resource {
    QByteArray data;
    QString etag;
  };
  QString collection = QStringLiteral("/cal/");
  std::map<QString, Resource> resources;
  bool offersSyncReport = true;
  int requests = 0;
  // Asked before each request with its method and path: an answer given replaces the
  // server's. Set wrote to let a write happen and only its answer be replaced.
  std::function<std::optional<ServerAnswer>(const QByteArray& verb, const QString& path, bool& wrote)> interfere;

  void Write(const QString& path, const QByteArray& data) {
    resources[path] = Resource{data, QStringLiteral("\"%1\"").arg(++version_)};
    log_.push_back({version_, path});
  }
  // By value: the path may be the key of the resource it erases.
  void Erase(QString path) {
    resources.erase(path);
    log_.push_back({++version_, path});
  }

  // The synchronisation never asks these.
  void Discover(ServerCallback) override { ADD_FAILURE() << "Discover"; }
  void MakeCalendar(const QString&, const QString&, ServerCallback) override { ADD_FAILURE() << "MakeCalendar"; }

  void Changes(const QString&, const QString& syncToken, ServerCallback done) override {
    ServerAnswer answer;
    int since = 0;
    if (!offersSyncReport) {
      answer.status = 501;
      answer.error = QStringLiteral("not offered");
      answer.unsupported = true;
    } else if (!syncToken.isEmpty() &&
               (!syncToken.startsWith(QLatin1Char('t')) || syncToken.mid(1).toInt() > version_)) {
      answer.status = 403;
      answer.error = QStringLiteral("unknown token");
      answer.tokenRefused = true;
    } else {
      since = syncToken.isEmpty() ? 0 : syncToken.mid(1).toInt();
      std::map<QString, bool> touched;
      for (const auto& [version, path] : log_)
        if (version > since) touched[path] = true;
      for (const auto& [path, unused] : touched) {
        const auto found = resources.find(path);
        if (found != resources.end())
          answer.items << ServerItem{path, found->second.etag, {}};
        else if (since > 0)
          answer.removed << path;
      }
      answer.syncToken = QStringLiteral("t%1").arg(version_);
    }
    Answer("REPORT", collection, answer, std::move(done));
  }
  void List(const QString&, ServerCallback done) override {
    ServerAnswer answer;
    for (const auto& [path, resource] : resources) answer.items << ServerItem{path, resource.etag, {}};
    Answer("PROPFIND", collection, answer, std::move(done));
  }
  void Fetch(const QString&, const QStringList& paths, ServerCallback done) override {
    ServerAnswer answer;
    for (const QString& path : paths) {
      const auto found = resources.find(path);
      if (found != resources.end()) answer.items << ServerItem{path, found->second.etag, found->second.data};
    }
    Answer("REPORT", collection, answer, std::move(done));
  }
  void Put(const QString& path, const QByteArray& data, const QString& etag, ServerCallback done) override {
    Change("PUT", path, etag, std::move(done), [=, this] {
      Write(path, data);
      ServerAnswer answer;
      answer.status = 201;
      answer.etag = resources[path].etag;
      return answer;
    });
  }
  void Remove(const QString& path, const QString& etag, ServerCallback done) override {
    Change("DELETE", path, etag, std::move(done), [=, this] {
      Erase(path);
      ServerAnswer answer;
      answer.status = 204;
      return answer;
    });
  }

 private:
  template <typename Apply>
  void Change(const QByteArray& verb, const QString& path, const QString& etag, ServerCallback done, Apply apply) {
    const auto found = resources.find(path);
    const bool matches =
        etag.isEmpty() ? found == resources.end() : found != resources.end() && found->second.etag == etag;
    ServerAnswer answer;
    if (!matches) {
      answer.status = 412;
      answer.error = QStringLiteral("precondition failed");
    }
    ++requests;
    bool wrote = false;
    std::optional<ServerAnswer> replaced = interfere ? interfere(verb, path, wrote) : std::nullopt;
    if ((!replaced || wrote) && matches) answer = apply();
    Deliver(replaced.value_or(answer), std::move(done));
  }
  void Answer(const QByteArray& verb, const QString& path, ServerAnswer answer, ServerCallback done) {
    ++requests;
    bool wrote = false;
    if (interfere)
      if (auto replaced = interfere(verb, path, wrote)) answer = *replaced;
    Deliver(answer, std::move(done));
  }
  static void Deliver(const ServerAnswer& answer, ServerCallback done) {
    QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
  }

  int version_ = 0;
  std::vector<std::pair<int, QString>> log_;
};
