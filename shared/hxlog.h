#pragma once
// One job of the host's job log: start, dated lines of three statuses, end with count and result.
// A job log never makes a job fail: every operation swallows COM errors.
#include "shared/hxinstance.h"

class CHxLog {
 public:
  enum JobType { jtAuctions = 1, jtMessages = 2, jtErp = 3, jtSellerZone = 4, jtOther = 5 };
  enum JobResult { jrOk = 0, jrWarning = 1, jrError = 2 };
  enum MsgStatus { msInfo = 0, msWarning = 1, msError = 2 };
  enum MsgDest { mdStoreOnly = 0, mdShow = 1 };
  enum JobSubtype {
    jsSendAuctions = 1,
    jsReceiveAuctions = 2,
    jsReceiveCustomers = 3,
    jsReceiveTransactions = 4,
    jsSendComments = 5,
    jsReceiveComments = 6,
    jsReceiveParams = 7,
    jsSendMessages = 8,
    jsReceiveMessages = 9,
    jsCreateInitialDocs = 10,
    jsUpdateInitialDocs = 11,
    jsCreateFinalDocs = 12,
    jsSyncProducts = 13,
    jsOtherErpOperations = 14,
    jsClosePages = 15,
    jsOpenPages = 16,
    jsReceivePageData = 17,
    jsSendPageData = 18,
  };

  explicit CHxLog(JobSubtype subtype);
  CHxLog(const CHxLog& other);
  CHxLog& operator=(const CHxLog& other);
  ~CHxLog();

  void StartJob();
  bool Started();

  void AddString(const wchar_t* text, MsgDest destination, MsgStatus status);
  void Echo(const wchar_t* text) { AddString(text, mdShow, msInfo); }
  void Warning(const wchar_t* text) { AddString(text, mdShow, msWarning); }
  void Error(const wchar_t* text) { AddString(text, mdShow, msError); }
  void Error(LONG hr);

  void EndJob(LONG count, JobResult result);
  void EndJobOk(LONG count) { EndJob(count, jrOk); }
  void EndJobAutoResult(LONG count) { EndJob(count, static_cast<JobResult>(m_result)); }
  void EndJobNoAffected();
  void EndJobTerminated(LONG count);

  void ShowStartMsg();
  void ShowEndMsg();

  JobSubtype Subtype() const { return m_subtype; }
  LONG WorstStatus() const { return m_result; }

  static CString Descr(JobSubtype subtype);
  static CString Descr(JobType type);
  static CString SummaryText(JobSubtype subtype);
  static JobType TypeFromSubtype(JobSubtype subtype);
  static bool ShowSummary(JobSubtype subtype);
  static CString StartWord() { return CString(L"Rozpoczęto"); }
  static CString EndWord() { return CString(L"Zakończono"); }
  static void DeleteAll();

 private:
  IHxJobLogStorePtr m_store;
  JobSubtype m_subtype;
  LONG m_result;
};

// The text of a failure: empty for hr of 0 or above; the thread's COM error description when
// there is one; "Nieznany błąd" for the framework's unspecified database error; otherwise
// "Błąd: %s" with the message text of hr.
CString hxFormatError(LONG hr);
// The message library's text of hr in the user's language, with its fallbacks.
CString hxSystemMessage(LONG hr);
