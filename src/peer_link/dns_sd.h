#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

// Publishing a service over DNS-SD (multicast DNS) through the Avahi daemon,
// so that phones on the same network find the companion by its service type.

namespace asio {
class io_context;
}

namespace qm {

struct DnsSdService {
  /// The instance name ("Quillmere on ...", here the desktop's device
  /// identifier); Avahi picks "name #2" and so on when another host has it.
  std::string instanceName;
  /// "_<name>._tcp"; see `dnsSdServiceType`.
  std::string type;
  std::uint16_t port = 0;
  std::map<std::string, std::string> txt;
};

/// What became of a publication. Each runs on the thread that runs `io`.
struct DnsSdEvents {
  /// The daemon announces the service under `name`.
  std::function<void(const std::string& name)> published;
  /// No daemon can be reached (none running, no system bus), or it went away.
  /// The service is published as soon as a daemon appears.
  std::function<void(const std::string& why)> unavailable;
  /// The daemon refused the service.
  std::function<void(const std::string& why)> failed;
};

/// The DNS-SD service type for `type`: as given when it already has the
/// "_name._tcp" form, else "_" + type + "._tcp" ("quillmere-pair" becomes
/// "_quillmere-pair._tcp").
std::string dnsSdServiceType(std::string_view type);

/// Publishes one service while it lives. Avahi runs on a thread of its own
/// (never blocking the caller's loop); what it reports is posted to `io`.
/// Destroying the publisher withdraws the service, and nothing is reported
/// afterwards.
class DnsSdPublisher {
 public:
  DnsSdPublisher(asio::io_context& io, DnsSdService service, DnsSdEvents events);
  ~DnsSdPublisher();
  DnsSdPublisher(const DnsSdPublisher&) = delete;
  DnsSdPublisher& operator=(const DnsSdPublisher&) = delete;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace qm
