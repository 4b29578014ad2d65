#pragma once
// What the seller-zone HTTPS transport decides, apart from the HTTP client that carries it:
// collecting the SOAP request until its announced length, the resend loop for the listed send
// failures (asked of the resolve-send-error callback), the 401/407 handling, the receive loop and
// the diagnostic lines. The HTTP client is reached through HttpExchange only.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/http/wininet.h"

namespace vorlen::transport {

// Answers of the resolve-send-error callback.
enum class ResolveSendErrorAnswer : DWORD {
  Fail = 0,
  Resend = 1,
  ShowDialog = 2,
  ResendWithinBudget = 3,
};

// Asked with the request handle and the failure's code (an internet-client error, or the HTTP
// status 401/407); returns a ResolveSendErrorAnswer value (anything else counts as Fail).
using ResolveSendErrorCallback = DWORD (*)(HINTERNET request, DWORD code);

// One open request of the HTTP client, as the policy uses it.
class HttpExchange {
 public:
  virtual ~HttpExchange() = default;
  virtual HINTERNET Handle() const = 0;
  // Sends the request with `body`; false with LastError() set when it failed.
  virtual bool Send(const std::string& body) = 0;
  virtual DWORD LastError() const = 0;
  virtual bool QueryStatus(DWORD& status) = 0;
  // The answer's raw headers (CR LF separated) when they fit the 512-character buffer.
  virtual bool QueryRawHeaders(std::string& headers) = 0;
  // The length the answer announces (Content-Length, on the wire); false when it has none.
  virtual bool QueryContentLength(uint64_t& length) = 0;
  // Reads up to `size` body bytes; false with LastError() set when the read failed.
  virtual bool Read(char* buffer, size_t size, size_t& got) = 0;
  // The connection-error dialog for `error`; returns its answer (0 or 12032 = resolved).
  virtual DWORD ErrorDialog(DWORD error) = 0;
};

// Results of the send hook, in the runtime's terms.
enum class SendResult { Ok, OutOfMemory, HttpError, Eof };

// Why the answer being received failed: its transfer broke off, timed out or was malformed on
// the wire (the error number says which), or it is larger than the answer limit.
enum class ReceiveFailure { None, Transport, TooLarge };

// The answer limit when the owner sets none.
inline constexpr uint64_t kDefaultAnswerLimit = uint64_t{64} << 20;

class TransportPolicy {
 public:
  using LogSink = std::function<void(const std::string&)>;
  using ErrorText = std::function<std::string(DWORD)>;

  using LogWanted = std::function<bool()>;

  // `context` is only printed in the log lines. `text` gives the message text of an error for
  // the log ("(unknown)" when it has none). `wanted` says whether lines are written at all
  // (none are formatted otherwise); without it, every line goes to `log`.
  TransportPolicy(const void* context, LogSink log, ErrorText text, LogWanted wanted = {});

  // The open request; null when none is open (the previous exchange closed it).
  void SetExchange(HttpExchange* exchange) {
    exchange_ = exchange;
    BeginAnswer();
  }
  HttpExchange* Exchange() const { return exchange_; }

  // The announced request length (from the Content-Length header); all ones = unknown.
  void SetExpectedLength(DWORD length) { expected_ = length; }
  DWORD ExpectedLength() const { return expected_; }

  ResolveSendErrorCallback Callback() const { return callback_; }
  void SetCallback(ResolveSendErrorCallback callback);

  // One block of the request from the runtime; the request goes out once it is complete.
  SendResult Send(const char* data, size_t count);
  // The largest answer body taken, in bytes (0 = kDefaultAnswerLimit): an answer that
  // announces more is refused before anything is read, one that brings more is refused at
  // the byte that passes the limit.
  void SetAnswerLimit(uint64_t bytes) { limit_ = bytes ? bytes : kDefaultAnswerLimit; }
  uint64_t AnswerLimit() const { return limit_; }

  // One buffer of the answer's body for the runtime; 0 at the end or on failure. A failed
  // answer hands the runtime nothing more: neither the bytes read into the failing buffer nor
  // any later ones, and its error number stays until the next request is sent.
  size_t Receive(char* buffer, size_t capacity);
  // After the runtime has read its envelope: reads what is left of the body, so that an answer
  // whose transfer broke off, or that is larger than the limit, fails even when the envelope
  // came whole. None when the answer arrived whole.
  ReceiveFailure FinishReceive();
  ReceiveFailure Failure() const { return failure_; }
  // Whether the answer of the request last sent was read to its end without failing (the
  // only kind of exchange after which its connection may carry the next request).
  bool AnswerComplete() const { return complete_; }

  DWORD ErrorNumber() const { return errorNumber_; }
  DWORD LastResolvedError() const { return lastResolved_; }
  bool DisconnectRequested() const { return disconnect_; }
  void SetDisconnect(bool requested) { disconnect_ = requested; }

  // Writes one formatted diagnostic line (printf rules, as the C library formats them).
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Logging() const { return log_ && (!wanted_ || wanted_()); }
  std::string Text(DWORD error) const;

 private:
  SendResult SendMessage();
  void BeginAnswer();
  size_t Fail(ReceiveFailure failure);
  SendResult AfterSend(int& counter, bool& again);
  bool Resolve(DWORD answer, DWORD error, int& counter);

  const void* context_;
  LogSink log_;
  ErrorText text_;
  LogWanted wanted_;
  HttpExchange* exchange_ = nullptr;
  ResolveSendErrorCallback callback_ = nullptr;
  std::string buffer_;
  DWORD expected_ = 0xFFFFFFFFu;
  DWORD errorNumber_ = 0;
  DWORD lastResolved_ = 0;
  bool disconnect_ = false;
  uint64_t limit_ = kDefaultAnswerLimit;
  uint64_t received_ = 0;  // body bytes of the current answer so far
  bool answerStarted_ = false;
  bool complete_ = false;
  ReceiveFailure failure_ = ReceiveFailure::None;
};

// The nine send failures that the callback may resolve.
bool IsResolvableSendError(DWORD error);

}  // namespace vorlen::transport
