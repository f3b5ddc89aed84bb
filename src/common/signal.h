#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace qm {

/// A handle to one subscription: the subscription ends when the handle is
/// destroyed or `reset`, or when the signal itself goes away. Movable, not
/// copyable.
class [[nodiscard]] Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, {});
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { reset(); }

  /// Ends the subscription now; the handler is never called again.
  void reset() {
    if (auto cancel = std::exchange(cancel_, {})) cancel();
  }
  bool active() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

/// Change notifications with any number of subscribers, called in the order
/// they subscribed. A handler may subscribe or unsubscribe (itself or others)
/// while the signal is being emitted: one that ends during an emission is not
/// called after that, one that begins is called from the next emission on.
/// Single-threaded, like everything on the main loop.
template <class... Args>
class Signal {
 public:
  using Handler = std::function<void(const Args&...)>;

  Signal() : handlers_(std::make_shared<Handlers>()) {}
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  Subscription subscribe(Handler handler) {
    const std::uint64_t id = nextID_++;
    (*handlers_)[id] = std::make_shared<Handler>(std::move(handler));
    std::weak_ptr<Handlers> weak = handlers_;
    return Subscription([weak, id] {
      if (auto handlers = weak.lock()) handlers->erase(id);
    });
  }

  void emit(const Args&... args) const {
    std::vector<std::pair<std::uint64_t, std::weak_ptr<Handler>>> current;
    current.reserve(handlers_->size());
    for (const auto& [id, handler] : *handlers_) current.emplace_back(id, handler);
    for (const auto& [id, weak] : current) {
      // Still subscribed? (An earlier handler may have ended this one.)
      auto found = handlers_->find(id);
      if (found == handlers_->end()) continue;
      auto handler = found->second;  // kept alive while it runs
      (*handler)(args...);
    }
  }

  std::size_t subscriberCount() const { return handlers_->size(); }

 private:
  using Handlers = std::map<std::uint64_t, std::shared_ptr<Handler>>;
  std::shared_ptr<Handlers> handlers_;
  std::uint64_t nextID_ = 1;
};

}  // namespace qm
