#pragma once
// A loopback HTTP responder that answers each request with the next canned answer, byte for
// byte: for the wire shapes a well-behaved SOAP server never sends (renamed elements,
// multi-reference answers, foreign faults, truncated or malformed XML, wrong types).
// It records every request body it received. Over HTTPS when given a certificate and its key.
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_ctx_st;

namespace zone_service {

class RawResponder {
 public:
  RawResponder();
  // HTTPS with the PEM certificate and key (the test authority's "Good" pair, for instance).
  RawResponder(const std::string& certFile, const std::string& keyFile);
  RawResponder(const RawResponder&) = delete;
  RawResponder& operator=(const RawResponder&) = delete;
  ~RawResponder();

  // Queues an answer as raw bytes (status line, headers, body), sent as they stand and
  // followed by closing the connection.
  void PushRaw(std::string bytes);
  // Queues an HTTP answer with the right Content-Length around `body`.
  void PushHttp(const std::string& body, int status = 200);
  // Queues a SOAP envelope whose body holds `bodyContent` (the usual namespace prefixes
  // SOAP-ENV, SOAP-ENC, xsi, xsd and ss are declared on the envelope).
  void PushEnvelope(const std::string& bodyContent, int status = 200);

  std::vector<std::string> Requests();  // bodies received so far
  std::string LastRequest();
  std::string LastRequestHead();  // request line and header lines of the last request
  int port() const { return port_; }
  std::string Url() const;

 private:
  void Start();
  void Serve();
  ssl_ctx_st* tls_ = nullptr;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<std::string> answers_;
  std::vector<std::string> requests_;
  std::string lastHead_;
  std::thread thread_;
};

// The envelope start and end that PushEnvelope wraps around body content.
std::string EnvelopeOf(const std::string& bodyContent);

}  // namespace zone_service
