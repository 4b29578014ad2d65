// zone-service: the seller-zone test service as a program.
//   zone-service [--port N] [--https --cert FILE --key FILE] [--accounts-file FILE] [--seed N]
//                [--state FILE]
//   zone-service --state FILE [--accounts-file FILE] --enter-buyer-data SELLER_USER_ID
// Prints "listening on <url>" once it accepts requests; stops on SIGINT or SIGTERM. With --state
// the pages live on in FILE: read at the start when it exists, written when the service stops.
// --enter-buyer-data enters the demonstration's buyer entry on the seller's open pages of the
// state (as buyers would between two runs), saves it and ends.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "testing/zone_service/ZoneServer.h"

namespace {
zone_service::Server* g_server = nullptr;
void OnSignal(int) {
  if (g_server) g_server->Stop();
}
int Usage() {
  std::fprintf(stderr,
               "usage: zone-service [--port N] [--https --cert FILE --key FILE] [--accounts-file FILE] [--seed N]\n"
               "                    [--state FILE]\n"
               "       zone-service --state FILE [--accounts-file FILE] --enter-buyer-data SELLER_USER_ID\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  zone_service::ServerOptions options;
  std::string accountsFile, stateFile;
  long long enterFor = 0;
  unsigned seed = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* value = nullptr;
    if (arg == "--https") {
      options.https = true;
    } else if (arg == "--port" && (value = next())) {
      options.port = std::atoi(value);
    } else if (arg == "--cert" && (value = next())) {
      options.certFile = value;
    } else if (arg == "--key" && (value = next())) {
      options.keyFile = value;
    } else if (arg == "--accounts-file" && (value = next())) {
      accountsFile = value;
    } else if (arg == "--state" && (value = next())) {
      stateFile = value;
    } else if (arg == "--enter-buyer-data" && (value = next())) {
      enterFor = std::atoll(value);
      if (enterFor <= 0) return Usage();
    } else if (arg == "--seed" && (value = next())) {
      seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
    } else {
      return Usage();
    }
  }
  if (options.https && (options.certFile.empty() || options.keyFile.empty())) return Usage();
  if (enterFor && stateFile.empty()) return Usage();

  zone_service::Model model;
  model.Seed(seed);
  std::string error;
  if (!accountsFile.empty() && !model.LoadAccountsFile(accountsFile, &error)) {
    std::fprintf(stderr, "zone-service: %s\n", error.c_str());
    return 1;
  }
  if (!stateFile.empty() && std::ifstream(stateFile) && !model.LoadState(stateFile, &error)) {
    std::fprintf(stderr, "zone-service: %s\n", error.c_str());
    return 1;
  }
  auto save = [&] {
    if (stateFile.empty() || model.SaveState(stateFile, &error)) return true;
    std::fprintf(stderr, "zone-service: %s\n", error.c_str());
    return false;
  };
  if (enterFor) {
    const int pages = model.EnterDemoBuyerData(enterFor, std::time(nullptr));
    if (!save()) return 1;
    std::printf("buyer data entered on %d open pages of seller %lld\n", pages, enterFor);
    return 0;
  }
  zone_service::Server server(model);
  if (!server.Bind(options, &error)) {
    std::fprintf(stderr, "zone-service: %s\n", error.c_str());
    return 1;
  }
  g_server = &server;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::printf("listening on %s\n", server.Url().c_str());
  std::fflush(stdout);
  server.Run();
  return save() ? 0 : 1;
}
