#include "zone/protocol/transport_policy.h"

#include <cstdarg>
#include <cstdio>
#include <new>

namespace vorlen::transport {

bool IsResolvableSendError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_INCORRECT_PASSWORD:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR:
    case ERROR_INTERNET_POST_IS_NON_SECURE:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return true;
    default:
      return false;
  }
}

TransportPolicy::TransportPolicy(const void* context, LogSink log, ErrorText text, LogWanted wanted)
    : context_(context), log_(std::move(log)), text_(std::move(text)), wanted_(std::move(wanted)) {}

void TransportPolicy::Log(const char* format, ...) {
  if (!Logging()) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line;
  if (n > 0) {
    line.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(line.data(), line.size(), format, args);
    line.resize(static_cast<size_t>(n));
  }
  va_end(args);
  log_(line);
}

std::string TransportPolicy::Text(DWORD error) const {
  std::string t = text_ ? text_(error) : std::string();
  return t.empty() ? std::string("(unknown)") : t;
}

void TransportPolicy::SetCallback(ResolveSendErrorCallback callback) {
  callback_ = callback;
  Log("wininet %p: resolve_send_error callback = '%p'\n", context_, reinterpret_cast<void*>(callback));
}

SendResult TransportPolicy::Send(const char* data, size_t count) {
  errorNumber_ = 0;
  lastResolved_ = 0;
  Log("wininet %p: fsend, data len = %lu bytes\n", context_, static_cast<unsigned long>(count));
  if (!exchange_) return SendResult::Eof;
  try {
    buffer_.append(data, count);
  } catch (const std::bad_alloc&) {
    buffer_ = std::string();
    expected_ = 0xFFFFFFFFu;
    return SendResult::OutOfMemory;
  }
  // An unknown length (all ones) is never reached: such a request waits for more.
  if (buffer_.size() < expected_) return SendResult::Ok;
  SendResult result = SendMessage();
  buffer_ = std::string();
  expected_ = 0xFFFFFFFFu;
  return result;
}

bool TransportPolicy::Resolve(DWORD answer, DWORD error, int& counter) {
  switch (static_cast<ResolveSendErrorAnswer>(answer)) {
    case ResolveSendErrorAnswer::ShowDialog: {
      DWORD r = exchange_->ErrorDialog(error);
      return r == ERROR_SUCCESS || r == ERROR_INTERNET_FORCE_RETRY;
    }
    case ResolveSendErrorAnswer::ResendWithinBudget:
      if (counter == 0) {
        counter = 2;
      } else if (error != lastResolved_ || --counter == 0) {
        return false;
      }
      Log("wininet %p: fsend - resending request - %d chance\n", context_, 4 - counter);
      return true;
    case ResolveSendErrorAnswer::Resend:
      return true;
    default:
      return false;
  }
}

SendResult TransportPolicy::SendMessage() {
  int counter = 0;
  for (;;) {
    BeginAnswer();
    if (exchange_->Send(buffer_)) {
      bool again = false;
      SendResult r = AfterSend(counter, again);
      if (!again) return r;
      continue;
    }
    DWORD error = exchange_->LastError();
    errorNumber_ = error;
    Log("wininet %p: fsend, error %d (%s) in HttpSendRequest\n", context_, static_cast<int>(error), Text(error).c_str());
    if (!IsResolvableSendError(error)) {
      lastResolved_ = error;
      return SendResult::HttpError;
    }
    DWORD answer = callback_ ? callback_(exchange_->Handle(), error)
                             : static_cast<DWORD>(ResolveSendErrorAnswer::ShowDialog);
    bool resolved = Resolve(answer, error, counter);
    lastResolved_ = error;
    if (!resolved) return SendResult::HttpError;
    Log("wininet %p: fsend, error %d has been resolved\n", context_, static_cast<int>(error));
    disconnect_ = false;
  }
}

SendResult TransportPolicy::AfterSend(int& counter, bool& again) {
  again = false;
  DWORD status = 0;
  if (!exchange_->QueryStatus(status)) {
    DWORD error = exchange_->LastError();
    errorNumber_ = error;
    lastResolved_ = error;
    Log("wininet %p: fsend, error %d (%s) in HttpQueryInfo\n", context_, static_cast<int>(error), Text(error).c_str());
    return SendResult::HttpError;
  }
  std::string headers;
  if (Logging() && exchange_->QueryRawHeaders(headers)) Log("wininet %p: header:\n%s\n", context_, headers.c_str());
  Log("wininet %p: fsend, HTTP status code = %lu\n", context_, static_cast<unsigned long>(status));
  if (status != HTTP_STATUS_DENIED && status != HTTP_STATUS_PROXY_AUTH_REQ) return SendResult::Ok;

  Log("wininet %p: fsend, user authenication required\n", context_);
  bool resolved;
  DWORD answer = callback_ ? callback_(exchange_->Handle(), status)
                           : static_cast<DWORD>(ResolveSendErrorAnswer::ShowDialog);
  if (static_cast<ResolveSendErrorAnswer>(answer) == ResolveSendErrorAnswer::ShowDialog) {
    DWORD r = exchange_->ErrorDialog(ERROR_INTERNET_INCORRECT_PASSWORD);
    resolved = r == ERROR_SUCCESS || r == ERROR_INTERNET_FORCE_RETRY;
  } else {
    resolved = static_cast<ResolveSendErrorAnswer>(answer) == ResolveSendErrorAnswer::Resend;
  }
  if (!resolved) return SendResult::Ok;  // the runtime reads the answer's body
  Log("wininet %p: fsend, authentication has been provided\n", context_);
  disconnect_ = false;
  again = true;
  static_cast<void>(counter);
  return SendResult::Ok;
}

void TransportPolicy::BeginAnswer() {
  received_ = 0;
  answerStarted_ = false;
  complete_ = false;
  failure_ = ReceiveFailure::None;
}

size_t TransportPolicy::Fail(ReceiveFailure failure) {
  failure_ = failure;
  Log("wininet %p: recv, received 0 bytes\n", context_);
  return 0;
}

size_t TransportPolicy::Receive(char* buffer, size_t capacity) {
  if (failure_ != ReceiveFailure::None) return 0;
  errorNumber_ = 0;
  lastResolved_ = 0;
  Log("wininet %p: frecv, available buffer len = %lu\n", context_, static_cast<unsigned long>(capacity));
  if (exchange_ && !answerStarted_) {
    answerStarted_ = true;
    uint64_t announced = 0;
    if (exchange_->QueryContentLength(announced) && announced > limit_) {
      Log("wininet %p: frecv, answer of %llu bytes is above the limit of %llu bytes\n", context_,
          static_cast<unsigned long long>(announced), static_cast<unsigned long long>(limit_));
      return Fail(ReceiveFailure::TooLarge);
    }
  }
  size_t total = 0;
  while (exchange_ && total < capacity) {
    size_t got = 0;
    if (!exchange_->Read(buffer + total, capacity - total, got)) {
      DWORD error = exchange_->LastError();
      errorNumber_ = error;
      lastResolved_ = error;
      Log("wininet %p: frecv, error %d (%s) in InternetReadFile, received %lu bytes\n", context_,
          static_cast<int>(error), Text(error).c_str(), static_cast<unsigned long>(got));
      return Fail(ReceiveFailure::Transport);
    }
    if (got == 0) {
      complete_ = true;
      break;
    }
    total += got;
    received_ += got;
    if (received_ > limit_) {
      Log("wininet %p: frecv, answer is above the limit of %llu bytes\n", context_,
          static_cast<unsigned long long>(limit_));
      return Fail(ReceiveFailure::TooLarge);
    }
  }
  Log("wininet %p: recv, received %lu bytes\n", context_, static_cast<unsigned long>(total));
  return total;
}

ReceiveFailure TransportPolicy::FinishReceive() {
  char rest[16384];
  while (failure_ == ReceiveFailure::None && exchange_ && Receive(rest, sizeof rest) > 0) {
  }
  return failure_;
}

}  // namespace vorlen::transport
