#include "settings/user_defaults.h"

#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/log.h"

namespace qm {

namespace {

using Json = nlohmann::json;
using Observer = std::function<void(const std::string& key)>;

std::optional<DefaultsValue> fromJson(const Json& json) {
  if (json.is_boolean()) return DefaultsValue(json.get<bool>());
  if (json.is_string()) return DefaultsValue(json.get<std::string>());
  if (json.is_array()) {
    std::vector<std::string> texts;
    texts.reserve(json.size());
    for (const auto& element : json) {
      if (!element.is_string()) return std::nullopt;
      texts.push_back(element.get<std::string>());
    }
    return DefaultsValue(std::move(texts));
  }
  return std::nullopt;
}

Json toJson(const DefaultsValue& value) {
  return std::visit([](const auto& v) { return Json(v); }, value);
}

/// What loading the file found: the document, and why writing must be refused
/// when the file exists but could neither be read nor moved out of the way.
struct Loaded {
  Json document = Json::object();
  std::optional<std::string> writeBlock;
};

Loaded loadDocument(const std::filesystem::path& file) {
  Loaded loaded;
  auto text = readFile(file);
  if (!text) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return loaded;
    // The file is there but unreadable (permissions, a folder in its place...).
    // Replacing it could destroy what it holds, so changes are refused instead.
    log::data().warn("Settings file {} could not be read ({}); using defaults", file.string(),
                     text.error().message);
    loaded.writeBlock = "Settings file " + file.string() + " could not be read; not replacing it";
    return loaded;
  }
  auto json = Json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_discarded() && json.is_object()) {
    loaded.document = std::move(json);
    return loaded;
  }
  auto aside = setFileAside(file, "unreadable");
  if (aside) {
    log::data().warn(
        "Settings file {} could not be read as JSON; moved it to {} and using defaults",
        file.string(), aside->string());
  } else {
    log::data().error(
        "Settings file {} could not be read as JSON and could not be moved aside ({}); using "
        "defaults without saving changes",
        file.string(), aside.error().message);
    loaded.writeBlock =
        "Settings file " + file.string() + " could not be read as JSON; not replacing it";
  }
  return loaded;
}

std::set<std::string> changedKeys(const Json& before, const Json& after) {
  std::set<std::string> keys;
  for (const auto& [key, value] : before.items()) {
    auto found = after.find(key);
    if (found == after.end() || *found != value) keys.insert(key);
  }
  for (const auto& [key, value] : after.items()) {
    if (!before.contains(key)) keys.insert(key);
  }
  return keys;
}

}  // namespace

struct UserDefaults::Impl {
  std::filesystem::path file;
  mutable std::mutex mutex;
  Json document = Json::object();
  std::optional<std::string> writeBlock;
  std::map<int, Observer> observers;
  int nextToken = 1;

  void adopt(Loaded loaded) {
    document = std::move(loaded.document);
    writeBlock = std::move(loaded.writeBlock);
  }

  Status save(const Json& updated) const {
    if (writeBlock) return Error(*writeBlock);
    std::string text;
    try {
      text = updated.dump(2) + "\n";
    } catch (const Json::exception&) {
      return Error("Settings can only hold valid UTF-8 text");
    }
    std::error_code ec;
    createPrivateFolders(file.parent_path(), ec);
    if (ec) {
      return Error("Could not create the settings folder " + file.parent_path().string() + ": " +
                   ec.message());
    }
    return writeFileAtomically(file, text, 0600);
  }

  std::vector<Observer> observerSnapshot() const {
    std::vector<Observer> snapshot;
    snapshot.reserve(observers.size());
    for (const auto& [token, observer] : observers) snapshot.push_back(observer);
    return snapshot;
  }
};

namespace {

void notify(const std::vector<Observer>& observers, const std::set<std::string>& keys) {
  for (const auto& key : keys) {
    for (const auto& observer : observers) observer(key);
  }
}

}  // namespace

UserDefaults::UserDefaults(std::filesystem::path file) : impl_(std::make_shared<Impl>()) {
  impl_->file = std::move(file);
  impl_->adopt(loadDocument(impl_->file));
}

UserDefaults::~UserDefaults() = default;

const std::filesystem::path& UserDefaults::file() const {
  return impl_->file;
}

std::optional<DefaultsValue> UserDefaults::value(std::string_view key) const {
  std::lock_guard lock(impl_->mutex);
  auto found = impl_->document.find(key);
  if (found == impl_->document.end()) return std::nullopt;
  return fromJson(*found);
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
  auto found = value(key);
  if (!found) return std::nullopt;
  if (auto* text = std::get_if<std::string>(&*found)) return std::move(*text);
  return std::nullopt;
}

std::optional<bool> UserDefaults::boolean(std::string_view key) const {
  auto found = value(key);
  if (!found) return std::nullopt;
  if (auto* flag = std::get_if<bool>(&*found)) return *flag;
  return std::nullopt;
}

std::vector<std::string> UserDefaults::keys() const {
  std::lock_guard lock(impl_->mutex);
  std::vector<std::string> result;
  for (const auto& [key, value] : impl_->document.items()) result.push_back(key);
  return result;
}

Status UserDefaults::set(std::string key, DefaultsValue value) {
  std::vector<Observer> observers;
  {
    std::lock_guard lock(impl_->mutex);
    Json updated = impl_->document;
    Json newValue = toJson(value);
    auto found = updated.find(key);
    const bool changed = found == updated.end() || *found != newValue;
    updated[key] = std::move(newValue);
    QM_TRY(impl_->save(updated));
    impl_->document = std::move(updated);
    if (!changed) return {};
    observers = impl_->observerSnapshot();
  }
  notify(observers, {key});
  return {};
}

Status UserDefaults::remove(std::string_view key) {
  std::vector<Observer> observers;
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->document.contains(key)) return {};
    Json updated = impl_->document;
    updated.erase(updated.find(key));
    QM_TRY(impl_->save(updated));
    impl_->document = std::move(updated);
    observers = impl_->observerSnapshot();
  }
  notify(observers, {std::string(key)});
  return {};
}

Status UserDefaults::removeDomain() {
  std::vector<Observer> observers;
  std::set<std::string> changed;
  {
    std::lock_guard lock(impl_->mutex);
    std::error_code ec;
    std::filesystem::remove(impl_->file, ec);
    if (ec)
      return Error("Could not delete settings file " + impl_->file.string() + ": " + ec.message());
    changed = changedKeys(impl_->document, Json::object());
    impl_->adopt(Loaded{});
    observers = impl_->observerSnapshot();
  }
  notify(observers, changed);
  return {};
}

void UserDefaults::reload() {
  std::vector<Observer> observers;
  std::set<std::string> changed;
  {
    std::lock_guard lock(impl_->mutex);
    Loaded loaded = loadDocument(impl_->file);
    changed = changedKeys(impl_->document, loaded.document);
    impl_->adopt(std::move(loaded));
    observers = impl_->observerSnapshot();
  }
  notify(observers, changed);
}

Subscription UserDefaults::observe(std::function<void(const std::string& key)> observer) {
  std::lock_guard lock(impl_->mutex);
  const int token = impl_->nextToken++;
  impl_->observers.emplace(token, std::move(observer));
  return Subscription([weak = std::weak_ptr<Impl>(impl_), token] {
    if (auto impl = weak.lock()) {
      std::lock_guard unlock(impl->mutex);
      impl->observers.erase(token);
    }
  });
}

}  // namespace qm
