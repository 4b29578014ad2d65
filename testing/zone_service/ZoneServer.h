#pragma once
// The seller-zone test service: a SOAP server for the twelve status-service operations over
// a Model, on a loopback port, over HTTP or HTTPS. Runs on its own thread (tests) or in the
// calling thread (the zone-service program).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testing/zone_service/ZoneModel.h"

struct soap;

namespace zone_service {

struct ServerOptions {
  int port = 0;  // 0: a free port chosen by the system
  bool https = false;
  std::string certFile;  // PEM certificate (HTTPS)
  std::string keyFile;   // PEM private key (HTTPS); may be the same file as the certificate
};

class Server {
 public:
  explicit Server(Model& model);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server();

  // Binds 127.0.0.1 and prepares TLS. False with a message when that fails.
  bool Bind(const ServerOptions& options, std::string* error);
  // Serves on a background thread until Stop().
  void StartThread();
  // Accepts in the calling thread until Stop() (from another thread or a signal handler),
  // serving each connection on a thread of its own, at most kMaxWorkers at a time (further
  // connections wait in the listen queue); a worker is joined as soon as its connection ended
  // (by a thread of its own, so also while no new connection comes).
  // Returns when all of them ended.
  void Run();
  static constexpr int kMaxWorkers = 32;
  void Stop();

  int port() const { return port_; }
  std::string Url() const;  // http(s)://127.0.0.1:<port>/rpcrouter
  int connectionsServed() const { return served_.load(); }
  // Worker threads not yet joined: those serving a connection and those just finished.
  int workerThreads();
  // Whether the acceptor waits for a worker to end before it accepts again (kMaxWorkers serve).
  bool waitingForAWorker();
  // Waits, at most `limit`, until `done` holds. It is checked at once and again whenever a worker
  // starts, ends or is joined, or the acceptor starts or stops waiting for a worker; it runs
  // without the server's lock, so it may call the accessors above.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));

 private:
  Model& model_;
  struct soap* soap_ = nullptr;
  ServerOptions options_;
  std::string combinedPem_;  // key + certificate, as the TLS set-up wants them in one file
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> served_{0};
  std::thread thread_;
  struct Worker {
    std::thread thread;
    bool done = false;
  };
  void JoinFinishedWorkers();  // with workersMutex_ held
  void Changed();              // with workersMutex_ held: wakes WaitUntil
  std::mutex workersMutex_;
  std::condition_variable workerDone_;
  std::list<Worker> workers_;  // one per open connection
  bool waitingForAWorker_ = false;  // with workersMutex_
  std::condition_variable changed_;
  unsigned long changes_ = 0;  // with workersMutex_
};

// Makes a self-signed certificate for localhost and 127.0.0.1 with the openssl command line
// in `dir`; returns false when openssl failed. The files are cert.pem and key.pem.
bool MakeSelfSignedCertificate(const std::string& dir, std::string* certFile, std::string* keyFile);

}  // namespace zone_service
