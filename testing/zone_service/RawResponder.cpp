#include "testing/zone_service/RawResponder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <cstdlib>
#include <cstring>

namespace zone_service {

std::string EnvelopeOf(const std::string& bodyContent) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
         " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
         " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
         " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
         " xmlns:ss=\"http://www.kordel.pl/webservices/StatusService\">"
         "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">" +
         bodyContent + "</SOAP-ENV:Body></SOAP-ENV:Envelope>\n";
}

RawResponder::RawResponder() { Start(); }

RawResponder::RawResponder(const std::string& certFile, const std::string& keyFile) {
  tls_ = SSL_CTX_new(TLS_server_method());
  if (!tls_ || SSL_CTX_use_certificate_chain_file(tls_, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(tls_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    std::abort();
  Start();
}

void RawResponder::Start() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener_, 16) != 0) std::abort();
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RawResponder::~RawResponder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  close(listener_);
  if (tls_) SSL_CTX_free(tls_);
}

void RawResponder::PushRaw(std::string bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(std::move(bytes));
}

void RawResponder::PushHttp(const std::string& body, int status) {
  std::string reason = status == 200 ? "OK" : status == 500 ? "Internal Server Error" : "Error";
  PushRaw("HTTP/1.1 " + std::to_string(status) + " " + reason +
          "\r\nContent-Type: text/xml; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\n\r\n" + body);
}

void RawResponder::PushEnvelope(const std::string& bodyContent, int status) {
  PushHttp(EnvelopeOf(bodyContent), status);
}

std::vector<std::string> RawResponder::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string RawResponder::LastRequest() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.empty() ? std::string() : requests_.back();
}

std::string RawResponder::LastRequestHead() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastHead_;
}

std::string RawResponder::Url() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/rpcrouter";
}

namespace {

// One connection's reads and writes, plain or through TLS.
struct Channel {
  int fd;
  SSL* ssl = nullptr;
  long Receive(char* buf, size_t n) {
    return ssl ? SSL_read(ssl, buf, static_cast<int>(n)) : static_cast<long>(recv(fd, buf, n, 0));
  }
  long Send(const char* buf, size_t n) {
    return ssl ? SSL_write(ssl, buf, static_cast<int>(n)) : static_cast<long>(send(fd, buf, n, MSG_NOSIGNAL));
  }
};

// Reads one HTTP request (headers and a Content-Length body).
bool ReadRequest(Channel& channel, std::string* head, std::string* body) {
  const int fd = channel.fd;
  std::string data;
  char buf[4096];
  size_t headerEnd = std::string::npos;
  size_t length = 0;
  for (;;) {
    if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + length) break;
    pollfd p{fd, POLLIN, 0};
    if ((!channel.ssl || SSL_pending(channel.ssl) == 0) && poll(&p, 1, 5000) <= 0) return false;
    long n = channel.Receive(buf, sizeof buf);
    if (n <= 0) return false;
    data.append(buf, static_cast<size_t>(n));
    if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      std::string headers = data.substr(0, headerEnd);
      for (char& c : headers) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (auto at = headers.find("content-length:"); at != std::string::npos)
        length = std::strtoul(headers.c_str() + at + 15, nullptr, 10);
    }
  }
  *head = data.substr(0, headerEnd);
  *body = data.substr(headerEnd + 4, length);
  return true;
}

}  // namespace

void RawResponder::Serve() {
  while (!stop_.load()) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    Channel channel{fd};
    if (tls_) {
      channel.ssl = SSL_new(tls_);
      SSL_set_fd(channel.ssl, fd);
      if (SSL_accept(channel.ssl) != 1) {
        SSL_free(channel.ssl);
        close(fd);
        continue;
      }
    }
    std::string head, body;
    if (ReadRequest(channel, &head, &body)) {
      std::string answer;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(body);
        lastHead_ = head;
        if (!answers_.empty()) {
          answer = std::move(answers_.front());
          answers_.pop_front();
        } else {
          answer = "HTTP/1.1 503 No canned answer\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        }
      }
      size_t sent = 0;
      while (sent < answer.size()) {
        long n = channel.Send(answer.data() + sent, answer.size() - sent);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
    }
    if (channel.ssl) {
      SSL_shutdown(channel.ssl);
      SSL_free(channel.ssl);
    }
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
}

}  // namespace zone_service
