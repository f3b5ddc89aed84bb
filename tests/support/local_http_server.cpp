#include "support/local_http_server.h"

#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "support/http_text.h"

namespace qm::test {

namespace {

template <auto release>
struct Releaser {
  template <class T>
  void operator()(T* handle) const {
    release(handle);
  }
};
using PKey = std::unique_ptr<EVP_PKEY, Releaser<EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Releaser<X509_free>>;
using Bio = std::unique_ptr<BIO, Releaser<BIO_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Releaser<X509_EXTENSION_free>>;
using SslContext = std::unique_ptr<SSL_CTX, Releaser<SSL_CTX_free>>;
using Ssl = std::unique_ptr<SSL, Releaser<SSL_free>>;

Error tlsError(std::string_view what) {
  char text[256] = "";
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  return Error(std::string(what) + ": " + text);
}

bool addExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
  Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

std::string pem(Bio& bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

std::string reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

/// One accepted connection, plain or TLS; every wait is bounded by the
/// socket's five-second limits.
struct Connection {
  int fd = -1;
  Ssl ssl;

  long read(char* into, std::size_t size) {
    if (ssl) {
      const int n = SSL_read(ssl.get(), into, static_cast<int>(size));
      return n > 0 ? n : -1;
    }
    const ssize_t n = ::recv(fd, into, size, 0);
    return n > 0 ? n : -1;
  }

  bool writeAll(std::string_view bytes, const std::atomic<bool>& stopping) {
    while (!bytes.empty() && !stopping) {
      const std::size_t chunk = std::min<std::size_t>(bytes.size(), 64 * 1024);
      long n = 0;
      if (ssl) {
        n = SSL_write(ssl.get(), bytes.data(), static_cast<int>(chunk));
      } else {
        n = ::send(fd, bytes.data(), chunk, MSG_NOSIGNAL);
      }
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return bytes.empty();
  }
};

/// Reads one request (head and a Content-Length body); nothing when the
/// client closed or sent something else.
std::optional<RecordedRequest> readRequest(Connection& connection) {
  std::string received;
  char buffer[16 * 1024];
  std::size_t headEnd = std::string::npos;
  while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
    const long n = connection.read(buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  RecordedRequest request;
  std::string_view head(received.data(), headEnd);
  std::size_t lineEnd = head.find("\r\n");
  const std::string_view requestLine = head.substr(0, lineEnd);
  const std::size_t firstSpace = requestLine.find(' ');
  const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
  if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) {
    return std::nullopt;
  }
  request.method = std::string(requestLine.substr(0, firstSpace));
  request.target = std::string(requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1));
  while (lineEnd != std::string_view::npos) {
    head.remove_prefix(lineEnd + 2);
    lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers[lowercase(trimmed(line.substr(0, colon)))] =
        std::string(trimmed(line.substr(colon + 1)));
  }
  std::size_t length = 0;
  if (auto found = request.headers.find("content-length"); found != request.headers.end()) {
    length = static_cast<std::size_t>(std::strtoull(found->second.c_str(), nullptr, 10));
  }
  request.body = received.substr(headEnd + 4);
  while (request.body.size() < length) {
    const long n = connection.read(buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    request.body.append(buffer, static_cast<std::size_t>(n));
  }
  return request;
}

}  // namespace

Result<LoopbackCertificate> makeLoopbackCertificate() {
  PKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key) return tlsError("key generation failed");
  Cert cert(X509_new());
  if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
      ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), std::rand() + 1) != 1 ||
      X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) == nullptr ||
      X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600) == nullptr ||
      X509_set_pubkey(cert.get(), key.get()) != 1) {
    return tlsError("certificate set-up failed");
  }
  X509_NAME* name = X509_get_subject_name(cert.get());
  if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>("localhost"), -1, -1,
                                 0) != 1 ||
      X509_set_issuer_name(cert.get(), name) != 1 ||
      !addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !addExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
      !addExtension(cert.get(), NID_subject_key_identifier, "hash") ||
      !addExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")) {
    return tlsError("certificate extensions failed");
  }
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) return tlsError("signing failed");
  Bio certBio(BIO_new(BIO_s_mem()));
  Bio keyBio(BIO_new(BIO_s_mem()));
  if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert.get()) != 1 ||
      PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1) {
    return tlsError("PEM encoding failed");
  }
  return LoopbackCertificate{pem(certBio), pem(keyBio)};
}

struct LocalHTTPServer::Impl {
  int listenFd = -1;
  std::uint16_t port = 0;
  SslContext tls;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  ScriptedReply reply;
  std::vector<RecordedRequest> requests;
  std::thread thread;

  void start() {
    // A client that gives up mid-answer must not end the test with SIGPIPE
    // (TLS writes go through write(), which has no MSG_NOSIGNAL).
    ::signal(SIGPIPE, SIG_IGN);
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd, 8) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();  // a test cannot run without its server
    }
    port = ntohs(address.sin_port);
    thread = std::thread([this] { run(); });
  }

  void run() {
    while (!stopping) {
      pollfd ready{listenFd, POLLIN, 0};
      if (::poll(&ready, 1, 50) <= 0) continue;
      const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      serve(fd);
      ::close(fd);
    }
  }

  void serve(int fd) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    Connection connection{fd, nullptr};
    if (tls) {
      connection.ssl.reset(SSL_new(tls.get()));
      if (!connection.ssl || SSL_set_fd(connection.ssl.get(), fd) != 1 ||
          SSL_accept(connection.ssl.get()) != 1) {
        ERR_clear_error();
        return;
      }
    }
    auto request = readRequest(connection);
    if (!request) return;
    ScriptedReply answer;
    {
      std::lock_guard lock(mutex);
      requests.push_back(std::move(*request));
      answer = reply;
    }
    const auto until = std::chrono::steady_clock::now() + answer.delay;
    while (!stopping && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                       reasonPhrase(answer.status) +
                       "\r\nContent-Type: application/json\r\nConnection: close\r\n";
    if (answer.sendLength) head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    head += "\r\n";
    if (connection.writeAll(head, stopping) && connection.writeAll(answer.body, stopping) &&
        connection.ssl) {
      SSL_shutdown(connection.ssl.get());
    }
    ERR_clear_error();
  }
};

LocalHTTPServer::LocalHTTPServer() : impl_(std::make_unique<Impl>()) {
  impl_->start();
}

LocalHTTPServer::LocalHTTPServer(const LoopbackCertificate& certificate)
    : impl_(std::make_unique<Impl>()) {
  impl_->tls.reset(SSL_CTX_new(TLS_server_method()));
  Bio certBio(BIO_new_mem_buf(certificate.certificatePEM.data(),
                              static_cast<int>(certificate.certificatePEM.size())));
  Bio keyBio(BIO_new_mem_buf(certificate.privateKeyPEM.data(),
                             static_cast<int>(certificate.privateKeyPEM.size())));
  Cert cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
  PKey key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  if (!impl_->tls || !cert || !key || SSL_CTX_use_certificate(impl_->tls.get(), cert.get()) != 1 ||
      SSL_CTX_use_PrivateKey(impl_->tls.get(), key.get()) != 1) {
    std::abort();
  }
  impl_->start();
}

LocalHTTPServer::~LocalHTTPServer() {
  impl_->stopping = true;
  if (impl_->thread.joinable()) impl_->thread.join();
  if (impl_->listenFd >= 0) ::close(impl_->listenFd);
}

std::uint16_t LocalHTTPServer::port() const {
  return impl_->port;
}

std::string LocalHTTPServer::url() const {
  return std::string(impl_->tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port());
}

void LocalHTTPServer::setReply(ScriptedReply reply) {
  std::lock_guard lock(impl_->mutex);
  impl_->reply = std::move(reply);
}

std::vector<RecordedRequest> LocalHTTPServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

}  // namespace qm::test
