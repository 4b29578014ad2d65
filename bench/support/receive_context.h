#pragma once
// The synchronisation manager's side as the receive stores see it, for benchmarks: started job
// logs of their own, a count of the records stored and of the failures (the first few printed).
#include <cstdio>

#include "auctions/sync/receivestores.h"
#include "platform/strings/convert.h"

namespace benchsupport {

class ReceiveContext : public lotrix::CReceiveContext {
 public:
  ReceiveContext()
      : m_auctions(CHxLog::jsReceiveAuctions), m_customers(CHxLog::jsReceiveCustomers),
        m_transactions(CHxLog::jsReceiveTransactions), m_comments(CHxLog::jsReceiveComments) {
    for (CHxLog* log : {&m_auctions, &m_customers, &m_transactions, &m_comments}) log->StartJob();
  }
  ~ReceiveContext() override {
    for (CHxLog* log : {&m_auctions, &m_customers, &m_transactions, &m_comments}) log->EndJobAutoResult(0);
  }
  bool IsTerminated() override { return false; }
  CHxLog& ReceiveLog(CHxLog::JobSubtype subtype) override {
    switch (subtype) {
      case CHxLog::jsReceiveAuctions: return m_auctions;
      case CHxLog::jsReceiveCustomers: return m_customers;
      case CHxLog::jsReceiveTransactions: return m_transactions;
      default: return m_comments;
    }
  }
  void CountReceived(CHxLog::JobSubtype) override { ++stored; }
  bool FullAuctionData() override { return true; }
  void ReportError(const _com_error& error, const CString& prefix, CHxLog& log) override {
    if (failed < 3) {
      const _bstr_t description = error.Description();
      std::fprintf(stderr, "%s %s (0x%08X)\n", platform::WideToUtf8(prefix.GetString()).c_str(),
                   platform::WideToUtf8(description.length() ? static_cast<const wchar_t*>(description) : L"").c_str(),
                   static_cast<unsigned>(error.Error()));
    }
    ++failed;
    log.Error(prefix);
  }
  long stored = 0, failed = 0;

 private:
  CHxLog m_auctions, m_customers, m_transactions, m_comments;
};

}  // namespace benchsupport
