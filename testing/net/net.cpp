#include "testing/net/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <zlib.h>

namespace testing_net {
namespace {

bool IEquals(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void Run(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("command failed: " + command);
}

int ConnectLoopback(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// Port of a "127.0.0.1:port" or "localhost:port" authority; 0 for anything else.
uint16_t LoopbackPort(const std::string& authority) {
  auto colon = authority.rfind(':');
  if (colon == std::string::npos) return 0;
  std::string host = authority.substr(0, colon);
  if (host != "127.0.0.1" && host != "localhost") return 0;
  return static_cast<uint16_t>(std::atoi(authority.c_str() + colon + 1));
}

}  // namespace

std::string Base64(const std::string& in) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], k[v & 63]};
  }
  if (i + 1 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16;
    out += {k[v >> 18], k[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], '='};
  }
  return out;
}

std::string Compress(const std::string& in, Encoding encoding) {
  const int windowBits = encoding == Encoding::Gzip ? 31 : encoding == Encoding::Zlib ? 15 : -15;
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

// --- certificates -------------------------------------------------------------------------

Certificates::Certificates() {
  char tmpl[] = "/tmp/vantor-certs-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  const std::string d = dir_ + "/";
  const std::string newKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  Run("openssl req -x509 " + newKey + " -keyout " + d + "ca.key -out " + d + "ca.pem -days 3 -subj /CN=VantorTestCA");
  ca_ = d + "ca.pem";
  auto issue = [&](const std::string& name, const std::string& san, const std::string& days) {
    Run("openssl req " + newKey + " -keyout " + d + name + ".key -out " + d + name + ".csr -subj /CN=" + name);
    {
      std::ofstream ext(d + name + ".ext");
      ext << "subjectAltName=" << san << "\n";
    }
    Run("openssl x509 -req -in " + d + name + ".csr -CA " + d + "ca.pem -CAkey " + d + "ca.key -set_serial " +
        std::to_string(std::rand() % 100000 + 2) + " -days " + days + " -extfile " + d + name + ".ext -out " + d +
        name + ".pem");
    return Pair{d + name + ".pem", d + name + ".key"};
  };
  good_ = issue("localhost", "DNS:localhost,IP:127.0.0.1", "2");
  expired_ = issue("expired", "DNS:localhost,IP:127.0.0.1", "-1");
  wrongName_ = issue("wrongname", "DNS:other.invalid", "2");
  Run("openssl req -x509 " + newKey + " -keyout " + d + "other.key -out " + d +
      "other.pem -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1");
  otherCa_ = Pair{d + "other.pem", d + "other.key"};
}

Certificates::~Certificates() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

// --- requests and peers ------------------------------------------------------------------

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [k, v] : headers)
    if (IEquals(k, name)) return v;
  return {};
}

Peer::Peer(Server& server, int fd, SSL* ssl) : server_(server), fd_(fd), ssl_(ssl) {}

Peer::~Peer() {
  if (ssl_) {
    SSL_shutdown(ssl_);
    SSL_free(ssl_);
  }
  if (fd_ >= 0) {
    std::lock_guard lock(server_.mutex_);
    auto& fds = server_.openFds_;
    fds.erase(std::remove(fds.begin(), fds.end(), fd_), fds.end());
    ::close(fd_);
  }
}

long Peer::RecvSome(char* buf, size_t n) {
  if (ssl_) {
    int r = SSL_read(ssl_, buf, static_cast<int>(n));
    return r > 0 ? r : -1;
  }
  ssize_t r = ::recv(fd_, buf, n, 0);
  return r > 0 ? r : -1;
}

bool Peer::ReadRequest(HttpRequest& out) {
  out = HttpRequest{};
  size_t end;
  while ((end = buffered_.find("\r\n\r\n")) == std::string::npos) {
    char buf[16384];
    long n = RecvSome(buf, sizeof buf);
    if (n <= 0) return false;
    buffered_.append(buf, static_cast<size_t>(n));
  }
  std::string head = buffered_.substr(0, end);
  buffered_.erase(0, end + 4);
  size_t lineEnd = head.find("\r\n");
  std::string first = head.substr(0, lineEnd);
  auto s1 = first.find(' '), s2 = first.rfind(' ');
  if (s1 == std::string::npos || s2 == s1) return false;
  out.method = first.substr(0, s1);
  out.target = first.substr(s1 + 1, s2 - s1 - 1);
  out.version = first.substr(s2 + 1);
  while (lineEnd != std::string::npos) {
    size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    out.headers.emplace_back(line.substr(0, colon), value);
  }
  size_t length = static_cast<size_t>(std::strtoull(out.Header("Content-Length").c_str(), nullptr, 10));
  while (buffered_.size() < length) {
    char buf[16384];
    long n = RecvSome(buf, sizeof buf);
    if (n <= 0) return false;
    buffered_.append(buf, static_cast<size_t>(n));
  }
  out.body = buffered_.substr(0, length);
  buffered_.erase(0, length);
  return true;
}

bool Peer::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    long n;
    if (ssl_)
      n = SSL_write(ssl_, bytes.data() + done, static_cast<int>(std::min<size_t>(bytes.size() - done, 1 << 20)));
    else
      n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool Peer::Respond(int status, const std::string& body, const std::string& extraHeaders,
                   const std::string& contentType) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + (status < 300 ? " OK" : " Error") + "\r\n" +
                     "Content-Type: " + contentType + "\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\n" + extraHeaders + "\r\n";
  return Write(head + body);
}

void Peer::Reset() {
  linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  if (ssl_) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  {
    std::lock_guard lock(server_.mutex_);
    auto& fds = server_.openFds_;
    fds.erase(std::remove(fds.begin(), fds.end(), fd_), fds.end());
  }
  ::close(fd_);
  fd_ = -1;
}

void Peer::Hang() { server_.WaitStopped(); }

// --- server ------------------------------------------------------------------------------------

Server::Server(Script script, const Certificates::Pair* tls) : script_(std::move(script)) {
  ::signal(SIGPIPE, SIG_IGN);
  if (tls) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (!ctx_ || SSL_CTX_use_certificate_file(ctx_, tls->cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, tls->key.c_str(), SSL_FILETYPE_PEM) != 1) {
      if (ctx_) SSL_CTX_free(ctx_);
      throw std::runtime_error("cannot load the server certificate");
    }
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(listenFd_);
    if (ctx_) SSL_CTX_free(ctx_);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

Server::~Server() {
  Stop();
  if (ctx_) SSL_CTX_free(ctx_);
}

void Server::WaitStopped() {
  std::unique_lock lock(mutex_);
  stopped_.wait(lock, [this] { return stopping_.load(); });
}

void Server::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_.exchange(true)) return;
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  ::close(listenFd_);
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

void Server::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    ++accepted_;
    openFds_.push_back(fd);
    workers_.emplace_back([this, fd] {
      SSL* ssl = nullptr;
      if (ctx_) {
        ssl = SSL_new(ctx_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
          ERR_clear_error();
          SSL_free(ssl);
          Peer closing(*this, fd, nullptr);
          return;
        }
      }
      Peer peer(*this, fd, ssl);
      script_(peer);
      ERR_clear_error();
    });
  }
}

// --- proxy --------------------------------------------------------------------------------------

Proxy::Proxy(std::string user, std::string password)
    : expected_(user.empty() ? std::string() : "Basic " + Base64(user + ":" + password)),
      server_([this](Peer& p) { Handle(p); }) {}

std::string Proxy::LastAuthorization() const {
  std::lock_guard lock(mutex_);
  return lastAuthorization_;
}

void Proxy::Handle(Peer& peer) {
  HttpRequest req;
  while (peer.ReadRequest(req)) {
    std::string auth = req.Header("Proxy-Authorization");
    {
      std::lock_guard lock(mutex_);
      lastAuthorization_ = auth;
    }
    if (!expected_.empty() && auth != expected_) {
      ++refused_;
      peer.Respond(407, "<html><body>Proxy authentication required</body></html>",
                   "Proxy-Authenticate: Basic realm=\"test\"\r\n", "text/html");
      continue;
    }
    std::string authority = req.target;
    std::string origin = "/";
    if (req.method != "CONNECT") {
      auto scheme = authority.find("://");
      if (scheme == std::string::npos) return;
      authority = authority.substr(scheme + 3);
      auto slash = authority.find('/');
      if (slash != std::string::npos) {
        origin = authority.substr(slash);
        authority.resize(slash);
      }
    }
    uint16_t port = LoopbackPort(authority);
    int up = port ? ConnectLoopback(port) : -1;
    if (up < 0) {
      peer.Respond(502, "bad gateway", "Connection: close\r\n", "text/plain");
      return;
    }
    ++forwarded_;
    if (req.method == "CONNECT") {
      peer.Write("HTTP/1.1 200 Connection established\r\n\r\n");
    } else {
      std::string out = req.method + " " + origin + " " + req.version + "\r\n";
      for (const auto& [k, v] : req.headers)
        if (!IEquals(k, "Proxy-Authorization") && !IEquals(k, "Proxy-Connection")) out += k + ": " + v + "\r\n";
      out += "\r\n" + req.body;
      ::send(up, out.data(), out.size(), MSG_NOSIGNAL);
    }
    // Relay both ways until either side closes (or the server stops).
    pollfd fds[2] = {{peer.Fd(), POLLIN, 0}, {up, POLLIN, 0}};
    char buf[65536];
    while (!peer.Owner().Stopping()) {
      if (::poll(fds, 2, 50) <= 0) continue;
      if (fds[0].revents) {
        ssize_t n = ::recv(peer.Fd(), buf, sizeof buf, 0);
        if (n <= 0 || ::send(up, buf, static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
      }
      if (fds[1].revents) {
        ssize_t n = ::recv(up, buf, sizeof buf, 0);
        if (n <= 0 || ::send(peer.Fd(), buf, static_cast<size_t>(n), MSG_NOSIGNAL) != n) break;
      }
    }
    ::close(up);
    return;
  }
}

}  // namespace testing_net
