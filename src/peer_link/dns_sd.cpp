#include "peer_link/dns_sd.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <utility>

namespace qm {

std::string dnsSdServiceType(std::string_view type) {
  if (type.starts_with('_')) return std::string(type);
  return "_" + std::string(type) + "._tcp";
}

// Everything Avahi calls runs on its own thread with Avahi's lock held, so
// `client`, `group` and `name` are only touched there, or by the destructor
// once that thread has stopped. What the owner should learn is posted to `io`
// with a weak reference to the events, which the destructor drops.
struct DnsSdPublisher::Impl {
  enum class Outcome { published, unavailable, failed };

  asio::io_context& io;
  DnsSdService service;
  std::string name;
  std::shared_ptr<DnsSdEvents> events;
  AvahiThreadedPoll* poll = nullptr;
  AvahiTimeout* connectTimer = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;

  Impl(asio::io_context& context, DnsSdService s, DnsSdEvents e)
      : io(context),
        service(std::move(s)),
        name(service.instanceName),
        events(std::make_shared<DnsSdEvents>(std::move(e))) {}

  void start() {
    poll = avahi_threaded_poll_new();
    if (poll == nullptr) {
      report(Outcome::unavailable, "Avahi's event thread could not be created");
      return;
    }
    // The client is made on Avahi's thread: connecting to the system bus and
    // asking the daemon for its version are blocking calls.
    const AvahiPoll* api = avahi_threaded_poll_get(poll);
    timeval now{};
    avahi_elapse_time(&now, 0, 0);
    connectTimer = api->timeout_new(api, &now, &Impl::connectNow, this);
    if (connectTimer == nullptr || avahi_threaded_poll_start(poll) < 0) {
      report(Outcome::unavailable, "Avahi's event thread could not be started");
      stop();
    }
  }

  void stop() {
    if (poll == nullptr) return;
    avahi_threaded_poll_stop(poll);
    if (client != nullptr) avahi_client_free(client);  // frees the group too
    client = nullptr;
    group = nullptr;
    if (connectTimer != nullptr) avahi_threaded_poll_get(poll)->timeout_free(connectTimer);
    connectTimer = nullptr;
    avahi_threaded_poll_free(poll);
    poll = nullptr;
  }

  void report(Outcome outcome, std::string text) {
    asio::post(io, [weak = std::weak_ptr(events), outcome, text = std::move(text)] {
      auto e = weak.lock();
      if (!e) return;
      const auto& callback = outcome == Outcome::published     ? e->published
                             : outcome == Outcome::unavailable ? e->unavailable
                                                               : e->failed;
      if (callback) callback(text);
    });
  }

  // (Re)connects to the daemon; with AVAHI_CLIENT_NO_FAIL a missing daemon is
  // waited for rather than an error.
  static void connectNow(AvahiTimeout* timer, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    avahi_threaded_poll_get(self->poll)->timeout_update(timer, nullptr);
    if (self->client != nullptr) avahi_client_free(self->client);
    self->client = nullptr;
    self->group = nullptr;
    int error = 0;
    AvahiClient* made = avahi_client_new(avahi_threaded_poll_get(self->poll), AVAHI_CLIENT_NO_FAIL,
                                         &Impl::clientChanged, self, &error);
    if (made == nullptr) {
      self->report(Outcome::unavailable, avahi_strerror(error));
      return;
    }
    self->client = made;
  }

  static void clientChanged(AvahiClient* c, AvahiClientState state, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    self->client = c;  // also during avahi_client_new, before it returns
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING:
        self->publish(c);
        break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:
        // The host name is being (re)established; publish again once running.
        if (self->group != nullptr) avahi_entry_group_reset(self->group);
        break;
      case AVAHI_CLIENT_CONNECTING:
        self->report(Outcome::unavailable, "no Avahi daemon is running");
        break;
      case AVAHI_CLIENT_FAILURE: {
        const int error = avahi_client_errno(c);
        self->report(Outcome::unavailable, avahi_strerror(error));
        if (error == AVAHI_ERR_DISCONNECTED) {
          // The daemon went away; a new client waits for the next one. The
          // old client cannot be freed inside its own callback.
          timeval now{};
          avahi_elapse_time(&now, 0, 0);
          avahi_threaded_poll_get(self->poll)->timeout_update(self->connectTimer, &now);
        }
        break;
      }
    }
  }

  static void groupChanged(AvahiEntryGroup* g, AvahiEntryGroupState state, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    switch (state) {
      case AVAHI_ENTRY_GROUP_ESTABLISHED:
        self->report(Outcome::published, self->name);
        break;
      case AVAHI_ENTRY_GROUP_COLLISION:
        self->rename();
        avahi_entry_group_reset(g);
        self->publish(avahi_entry_group_get_client(g));
        break;
      case AVAHI_ENTRY_GROUP_FAILURE:
        self->report(Outcome::failed,
                     avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g))));
        break;
      case AVAHI_ENTRY_GROUP_UNCOMMITED:
      case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
  }

  /// The next name Avahi suggests after a collision ("name #2", ...).
  void rename() {
    char* next = avahi_alternative_service_name(name.c_str());
    name = next;
    avahi_free(next);
  }

  void publish(AvahiClient* c) {
    if (group == nullptr) {
      group = avahi_entry_group_new(c, &Impl::groupChanged, this);
      if (group == nullptr) {
        report(Outcome::failed, avahi_strerror(avahi_client_errno(c)));
        return;
      }
    }
    if (!avahi_entry_group_is_empty(group)) return;
    // Each collision renames; the bound keeps a pathological network from
    // spinning here.
    for (int attempt = 0; attempt < 16; ++attempt) {
      AvahiStringList* txt = nullptr;
      for (const auto& [key, value] : service.txt) {
        txt = avahi_string_list_add_pair(txt, key.c_str(), value.c_str());
      }
      const int added = avahi_entry_group_add_service_strlst(
          group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
          name.c_str(), service.type.c_str(), nullptr, nullptr, service.port, txt);
      avahi_string_list_free(txt);
      if (added == AVAHI_ERR_COLLISION) {
        rename();
        avahi_entry_group_reset(group);
        continue;
      }
      const int committed = added < 0 ? added : avahi_entry_group_commit(group);
      if (committed < 0) report(Outcome::failed, avahi_strerror(committed));
      return;
    }
    report(Outcome::failed, "no free service name");
  }
};

DnsSdPublisher::DnsSdPublisher(asio::io_context& io, DnsSdService service, DnsSdEvents events)
    : impl_(std::make_unique<Impl>(io, std::move(service), std::move(events))) {
  impl_->start();
}

DnsSdPublisher::~DnsSdPublisher() {
  impl_->stop();
  impl_->events.reset();
}

}  // namespace qm
