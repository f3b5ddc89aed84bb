#include "common/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/date.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

/// The kind of an I/O failure, from its errno.
ErrorCode codeOfErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ErrorCode::permissionDenied;
    case ENOENT:
    case ENOTDIR:
      return ErrorCode::notFound;
    case ENOSPC:
    case EDQUOT:
      return ErrorCode::unavailable;
    default:
      return ErrorCode::internal;
  }
}

Error errnoError(std::string_view action, const fs::path& path, int error) {
  return Error(codeOfErrno(error),
               std::string(action) + " " + path.string() + ": " + std::strerror(error));
}

// Writes every byte, resuming after partial writes and interrupted calls.
bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Flushes a folder's entries so a completed rename survives a power cut.
bool syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

// Renames `from` to `to` unless `to` exists. Fails with EEXIST when it does.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  // Some file systems do not support the flag; the hard-link route below gives
  // the same no-overwrite guarantee there.
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    const int saved = errno;
    ::unlink(to.c_str());  // keep only the original name rather than two
    errno = saved;
    return false;
  }
  return true;
}

}  // namespace

Status writeFileAtomically(const fs::path& path, std::string_view contents, mode_t mode) {
  const fs::path name = path.filename();
  if (name.empty() || name == "." || name == "..") {
    return Error(ErrorCode::invalidArgument,
                 "Could not write " + path.string() + ": not a file name");
  }
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");

  std::string tempName = (folder / ("." + name.string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
  if (fd < 0) return errnoError("Could not write", path, errno);

  auto fail = [&](int error, bool stillOpen) -> Status {
    if (stillOpen) ::close(fd);
    ::unlink(tempName.c_str());
    return errnoError("Could not write", path, error);
  };

  if (!writeAll(fd, contents)) return fail(errno, true);
  if (::fchmod(fd, mode) != 0) return fail(errno, true);
  if (::fsync(fd) != 0) return fail(errno, true);
  if (::close(fd) != 0) return fail(errno, false);
  if (::rename(tempName.c_str(), path.c_str()) != 0) return fail(errno, false);

  // The new content is in place; only its durability across a crash is in doubt.
  if (!syncFolder(folder)) return errnoError("Could not sync the folder of", path, errno);
  return {};
}

bool createPrivateFolders(const fs::path& folder, std::error_code& ec) {
  ec.clear();
  fs::path target = folder.lexically_normal();
  if (!target.empty() && target.filename().empty()) target = target.parent_path();  // "a/b/"
  // The folders that are missing, deepest first.
  std::vector<fs::path> missing;
  for (fs::path p = target; !p.empty(); p = p.parent_path()) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        ec = std::make_error_code(std::errc::not_a_directory);
        return false;
      }
      break;
    }
    if (errno != ENOENT) {
      ec = std::error_code(errno, std::generic_category());
      return false;
    }
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0700) != 0) {
      const int error = errno;
      std::error_code ignored;
      if (error == EEXIST && fs::is_directory(*it, ignored)) continue;  // made meanwhile
      ec = std::error_code(error, std::generic_category());
      return false;
    }
    // mkdir leaves out what the umask takes, which may be the owner's own bits.
    if (::chmod(it->c_str(), 0700) != 0) {
      ec = std::error_code(errno, std::generic_category());
      return false;
    }
  }
  return !missing.empty();
}

Result<std::string> readFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errnoError("Could not read", path, errno);

  std::string contents;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    contents.reserve(static_cast<std::size_t>(info.st_size));
  }
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return errnoError("Could not read", path, error);
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return contents;
}

Result<fs::path> setFileAside(const fs::path& path, std::string_view suffix) {
  const std::string base =
      path.filename().string() + "." + std::string(suffix) + "-" + fileTimestamp(now());
  const fs::path folder = path.parent_path();

  // Two asides within the same second get "-2", "-3"...; the bound only guards
  // against looping forever on a folder that somehow reports every name as taken.
  constexpr int kMaxAttempts = 1000;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    const std::string candidate = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    const fs::path target = folder / candidate;
    if (renameNoReplace(path, target)) return target;
    if (errno != EEXIST) return errnoError("Could not set aside", path, errno);
  }
  return Error(ErrorCode::alreadyExists,
               "Could not set aside " + path.string() + ": too many earlier copies");
}

}  // namespace qm
