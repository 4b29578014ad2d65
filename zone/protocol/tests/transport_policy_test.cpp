// The transport's decisions against a scripted HTTP exchange: collecting, the resend policy,
// 401/407, receiving and the diagnostic lines.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "zone/protocol/transport_policy.h"

using vorlen::transport::HttpExchange;
using vorlen::transport::ReceiveFailure;
using vorlen::transport::ResolveSendErrorAnswer;
using vorlen::transport::SendResult;
using vorlen::transport::TransportPolicy;

namespace {

// One try of the request: a send error, or an answer with a status and headers.
struct Try {
  DWORD error = 0;
  DWORD status = 200;
  bool statusFails = false;
  bool headersFit = true;
};

class ScriptedExchange : public HttpExchange {
 public:
  std::deque<Try> tries;
  std::vector<std::string> sent;
  std::vector<DWORD> dialogs;
  DWORD dialogAnswer = ERROR_CANCELLED;
  // Body pieces; a piece "!" fails the read with ERROR_INTERNET_CONNECTION_RESET.
  std::deque<std::string> body;
  std::optional<uint64_t> contentLength;  // what the answer announces
  int reads = 0;

  HINTERNET Handle() const override { return reinterpret_cast<HINTERNET>(0x1234); }
  bool Send(const std::string& b) override {
    sent.push_back(b);
    current_ = tries.empty() ? Try{} : tries.front();
    if (!tries.empty()) tries.pop_front();
    error_ = current_.error;
    return current_.error == 0;
  }
  DWORD LastError() const override { return error_; }
  bool QueryStatus(DWORD& status) override {
    if (current_.statusFails) {
      error_ = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
      return false;
    }
    status = current_.status;
    return true;
  }
  bool QueryRawHeaders(std::string& headers) override {
    headers = "HTTP/1.1 " + std::to_string(current_.status) + " X\r\n\r\n";
    return current_.headersFit;
  }
  bool QueryContentLength(uint64_t& length) override {
    if (contentLength) length = *contentLength;
    return contentLength.has_value();
  }
  bool Read(char* buffer, size_t size, size_t& got) override {
    ++reads;
    got = 0;
    if (body.empty()) return true;
    if (body.front() == "!") {
      body.pop_front();
      error_ = ERROR_INTERNET_CONNECTION_RESET;
      return false;
    }
    std::string& piece = body.front();
    got = std::min(size, piece.size());
    piece.copy(buffer, got);
    piece.erase(0, got);
    if (piece.empty()) body.pop_front();
    return true;
  }
  DWORD ErrorDialog(DWORD error) override {
    dialogs.push_back(error);
    return dialogAnswer;
  }

 private:
  Try current_;
  DWORD error_ = 0;
};

// The callback is a plain function: its answers and the codes it was asked with live here.
std::deque<DWORD> gAnswers;
std::vector<DWORD> gAsked;
DWORD Callback(HINTERNET request, DWORD code) {
  EXPECT_EQ(request, reinterpret_cast<HINTERNET>(0x1234));
  gAsked.push_back(code);
  DWORD a = gAnswers.empty() ? 0 : gAnswers.front();
  if (gAnswers.size() > 1) gAnswers.pop_front();  // the last answer repeats
  return a;
}

DWORD Answer(ResolveSendErrorAnswer a) { return static_cast<DWORD>(a); }

class Policy : public ::testing::Test {
 protected:
  void SetUp() override {
    gAnswers.clear();
    gAsked.clear();
    policy.SetExchange(&exchange);
  }
  // Sends "<m/>" as one message announced with its length.
  SendResult SendMessage(const std::string& message = "<m/>") {
    policy.SetExpectedLength(static_cast<DWORD>(message.size()));
    return policy.Send(message.data(), message.size());
  }
  int Count(const std::string& needle) const {
    int n = 0;
    for (const auto& l : lines)
      if (l.find(needle) != std::string::npos) ++n;
    return n;
  }
  void UseCallback(std::initializer_list<DWORD> answers) {
    gAnswers = answers;
    policy.SetCallback(&Callback);
  }

  std::vector<std::string> lines;
  ScriptedExchange exchange;
  TransportPolicy policy{reinterpret_cast<void*>(0xC0), [this](const std::string& l) { lines.push_back(l); },
                         [](DWORD e) { return e == ERROR_INTERNET_TIMEOUT ? std::string("timed out") : std::string(); }};
};

}  // namespace

TEST_F(Policy, RequestIsCollectedUntilItsAnnouncedLengthThenSentOnce) {
  policy.SetExpectedLength(10);
  EXPECT_EQ(policy.Send("<env>", 5), SendResult::Ok);
  EXPECT_TRUE(exchange.sent.empty());
  EXPECT_EQ(policy.Send("</env", 5), SendResult::Ok);
  ASSERT_EQ(exchange.sent.size(), 1u);
  EXPECT_EQ(exchange.sent[0], "<env></env");
  EXPECT_EQ(policy.ExpectedLength(), 0xFFFFFFFFu);
  EXPECT_EQ(lines.front(), "wininet 0xc0: fsend, data len = 5 bytes\n");

  // A new message starts empty; one whose length is unknown never goes out.
  EXPECT_EQ(SendMessage("<b/>"), SendResult::Ok);
  EXPECT_EQ(exchange.sent.back(), "<b/>");
  EXPECT_EQ(policy.Send("<c/>", 4), SendResult::Ok);
  EXPECT_EQ(exchange.sent.size(), 2u);

  // Without an open request the send ends the message at once.
  policy.SetExchange(nullptr);
  EXPECT_EQ(SendMessage(), SendResult::Eof);
  EXPECT_EQ(policy.ErrorNumber(), 0u);
}

TEST_F(Policy, ResendWithinBudgetGivesTwoResendsForOneRepeatedError) {
  UseCallback({Answer(ResolveSendErrorAnswer::ResendWithinBudget)});
  exchange.tries = {{ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_TIMEOUT}, {}};
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_EQ(exchange.sent.size(), 3u);
  EXPECT_EQ(Count("fsend - resending request - 2 chance"), 1);
  EXPECT_EQ(Count("fsend - resending request - 3 chance"), 1);
  EXPECT_EQ(Count("fsend, error 12002 (timed out) in HttpSendRequest"), 3);
  EXPECT_EQ(Count("error 12002 has been resolved"), 2);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_EQ(policy.LastResolvedError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));

  // The budget is per message: the next message gets its own two resends and can succeed.
  exchange.tries = {{ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_TIMEOUT}, {}};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(exchange.sent.size(), 6u);
}

TEST_F(Policy, ResendWithinBudgetStopsWhenTheErrorChanges) {
  UseCallback({Answer(ResolveSendErrorAnswer::ResendWithinBudget)});
  exchange.tries = {{ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_CONNECTION_RESET}, {}};
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_EQ(exchange.sent.size(), 2u);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_EQ(Count("resending request"), 1);
}

TEST_F(Policy, ResendHasNoLimitAndDoesNotSpendTheBudget) {
  UseCallback({Answer(ResolveSendErrorAnswer::Resend)});
  for (int i = 0; i < 6; ++i) exchange.tries.push_back({ERROR_INTERNET_CONNECTION_RESET});
  exchange.tries.push_back({});
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(exchange.sent.size(), 7u);
  EXPECT_EQ(Count("resending request"), 0);
  EXPECT_TRUE(exchange.dialogs.empty());

  // Resend once, then the budget for the same error: the counter only starts at the budget.
  gAnswers = {Answer(ResolveSendErrorAnswer::Resend), Answer(ResolveSendErrorAnswer::ResendWithinBudget)};
  exchange.tries = {{ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_TIMEOUT}, {ERROR_INTERNET_TIMEOUT},
                    {ERROR_INTERNET_TIMEOUT}, {}};
  exchange.sent.clear();
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_EQ(exchange.sent.size(), 4u);
}

TEST_F(Policy, FailAndUnknownAnswersFailAtOnceWithoutADialog) {
  for (DWORD answer : {0u, 7u}) {
    UseCallback({answer});
    exchange.tries = {{ERROR_INTERNET_INVALID_CA}, {}};
    exchange.sent.clear();
    EXPECT_EQ(SendMessage(), SendResult::HttpError);
    EXPECT_EQ(exchange.sent.size(), 1u);
    EXPECT_TRUE(exchange.dialogs.empty());
    EXPECT_EQ(gAsked.back(), static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
  }
}

TEST_F(Policy, WithoutCallbackTheDialogDecides) {
  exchange.tries = {{ERROR_INTERNET_SEC_CERT_CN_INVALID}, {}};
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_EQ(exchange.dialogs, std::vector<DWORD>{ERROR_INTERNET_SEC_CERT_CN_INVALID});

  for (DWORD resolving : {static_cast<DWORD>(ERROR_SUCCESS), static_cast<DWORD>(ERROR_INTERNET_FORCE_RETRY)}) {
    exchange.dialogAnswer = resolving;
    exchange.tries = {{ERROR_INTERNET_SEC_CERT_CN_INVALID}, {}};
    exchange.sent.clear();
    EXPECT_EQ(SendMessage(), SendResult::Ok);
    EXPECT_EQ(exchange.sent.size(), 2u);
  }
}

TEST_F(Policy, ErrorsOutsideTheListAreNotAskedAbout) {
  UseCallback({Answer(ResolveSendErrorAnswer::Resend)});
  exchange.tries = {{ERROR_INTERNET_CANNOT_CONNECT}, {}};
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_TRUE(gAsked.empty());
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_EQ(policy.LastResolvedError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_EQ(Count("fsend, error 12029 ((unknown)) in HttpSendRequest"), 1);
}

TEST_F(Policy, AuthenticationStatusesAreResolvedOnlyByResendOrTheDialog) {
  // The budget answer does not resolve a 407: the body is read as the answer.
  UseCallback({Answer(ResolveSendErrorAnswer::ResendWithinBudget)});
  exchange.tries = {{0, 407}, {}};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(exchange.sent.size(), 1u);
  EXPECT_EQ(gAsked, std::vector<DWORD>{407});
  EXPECT_EQ(Count("user authenication required"), 1);
  EXPECT_EQ(Count("authentication has been provided"), 0);
  EXPECT_EQ(policy.ErrorNumber(), 0u);

  // Resend resolves it, and the request goes again.
  gAnswers = {Answer(ResolveSendErrorAnswer::Resend)};
  exchange.tries = {{0, 401}, {0, 200}};
  exchange.sent.clear();
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(exchange.sent.size(), 2u);
  EXPECT_EQ(Count("authentication has been provided"), 1);

  // Without a callback the dialog is shown for a refused password.
  policy.SetCallback(nullptr);
  exchange.tries = {{0, 401}, {}};
  exchange.sent.clear();
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(exchange.dialogs, std::vector<DWORD>{ERROR_INTERNET_INCORRECT_PASSWORD});
  EXPECT_EQ(exchange.sent.size(), 1u);
}

TEST_F(Policy, StatusAndHeaderLines) {
  exchange.tries = {{0, 500}};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(Count("wininet 0xc0: header:\nHTTP/1.1 500 X\r\n\r\n\n"), 1);
  EXPECT_EQ(Count("wininet 0xc0: fsend, HTTP status code = 500\n"), 1);

  exchange.tries = {{0, 200, false, false}};
  lines.clear();
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(Count("header:"), 0);
  EXPECT_EQ(Count("HTTP status code = 200"), 1);

  exchange.tries = {{0, 200, true}};
  EXPECT_EQ(SendMessage(), SendResult::HttpError);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  EXPECT_EQ(Count("in HttpQueryInfo"), 1);
}

TEST_F(Policy, ReceiveFillsTheBufferAndStopsAtTheEnd) {
  exchange.body = {"abc", "defgh", "ij"};
  char buf[6];
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 6u);
  EXPECT_EQ(std::string(buf, 6), "abcdef");
  EXPECT_FALSE(policy.AnswerComplete());  // its end not seen yet
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 4u);
  EXPECT_EQ(std::string(buf, 4), "ghij");
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 0u);
  EXPECT_EQ(policy.Failure(), ReceiveFailure::None);
  EXPECT_TRUE(policy.AnswerComplete());
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::None);
  EXPECT_EQ(Count("wininet 0xc0: frecv, available buffer len = 6\n"), 3);
  EXPECT_EQ(Count("wininet 0xc0: recv, received 4 bytes\n"), 1);
}

// A broken transfer fails the answer: the bytes of the failing buffer are not handed over,
// nothing is afterwards, and the error number stays until the next request.
TEST_F(Policy, ABrokenTransferHandsNothingMore) {
  exchange.body = {"<whole-envelope/>", "!", "never"};
  char buf[64];
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 0u);
  EXPECT_EQ(policy.Failure(), ReceiveFailure::Transport);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_EQ(Count("frecv, error 12031 ((unknown)) in InternetReadFile, received 0 bytes"), 1);
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 0u);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::Transport);
  EXPECT_EQ(exchange.body.front(), "never");
  EXPECT_FALSE(policy.AnswerComplete());

  // The next request's answer starts clean.
  exchange.body = {"ok"};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(policy.Failure(), ReceiveFailure::None);
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 2u);
  EXPECT_EQ(policy.ErrorNumber(), 0u);
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::None);
  EXPECT_TRUE(policy.AnswerComplete());
  // A new request forgets that the answer before it was complete.
  exchange.body = {"ok"};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_FALSE(policy.AnswerComplete());
}

// The envelope came in the first buffer; the break comes after it.
TEST_F(Policy, TheRestOfTheBodyMustArriveWholeToo) {
  exchange.body = {std::string(8, 'e'), std::string(100, ' '), "!"};
  char buf[8];
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 8u);
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::Transport);
  EXPECT_EQ(policy.ErrorNumber(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
  EXPECT_FALSE(policy.AnswerComplete());

  exchange.body = {std::string(8, 'e'), std::string(100, ' ')};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 8u);
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::None);
  EXPECT_TRUE(exchange.body.empty());
  EXPECT_TRUE(policy.AnswerComplete());
}

TEST_F(Policy, AnswersAboveTheLimitAreRefused) {
  EXPECT_EQ(policy.AnswerLimit(), vorlen::transport::kDefaultAnswerLimit);
  policy.SetAnswerLimit(10);
  char buf[64];

  // Announced above the limit: refused before anything is read.
  exchange.contentLength = 11;
  exchange.body = {"0123456789X"};
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 0u);
  EXPECT_EQ(policy.Failure(), ReceiveFailure::TooLarge);
  EXPECT_EQ(exchange.reads, 0);
  EXPECT_FALSE(policy.AnswerComplete());
  EXPECT_EQ(policy.ErrorNumber(), 0u);
  EXPECT_EQ(Count("frecv, answer of 11 bytes is above the limit of 10 bytes"), 1);

  // Unannounced: refused at the byte past the limit, across buffers and in the rest.
  for (const auto& pieces : {std::deque<std::string>{"01234", "56789", "X"}, std::deque<std::string>{"0123456789X"}}) {
    exchange.contentLength.reset();
    exchange.body = pieces;
    EXPECT_EQ(SendMessage(), SendResult::Ok);
    size_t first = policy.Receive(buf, 5);
    EXPECT_EQ(first, 5u);
    EXPECT_EQ(policy.Receive(buf, sizeof buf), 0u);
    EXPECT_EQ(policy.Failure(), ReceiveFailure::TooLarge);
  }
  exchange.body = {"0123456", "789X"};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(policy.Receive(buf, 7), 7u);
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::TooLarge);
  EXPECT_FALSE(policy.AnswerComplete());

  // Exactly the limit passes; 0 restores the default.
  exchange.contentLength = 10;
  exchange.body = {"0123456789"};
  EXPECT_EQ(SendMessage(), SendResult::Ok);
  EXPECT_EQ(policy.Receive(buf, sizeof buf), 10u);
  EXPECT_EQ(policy.FinishReceive(), ReceiveFailure::None);
  EXPECT_TRUE(policy.AnswerComplete());
  policy.SetAnswerLimit(0);
  EXPECT_EQ(policy.AnswerLimit(), uint64_t{64} << 20);
}

TEST_F(Policy, SettingTheCallbackIsLogged) {
  policy.SetCallback(&Callback);
  EXPECT_EQ(policy.Callback(), &Callback);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("wininet 0xc0: resolve_send_error callback = '0x", 0), 0u);
  policy.SetCallback(nullptr);
  EXPECT_EQ(lines.back(), "wininet 0xc0: resolve_send_error callback = '(nil)'\n");

  // Without a test log nothing is written (nor formatted).
  bool wanted = false;
  int written = 0;
  TransportPolicy quiet(nullptr, [&](const std::string&) { ++written; }, {}, [&] { return wanted; });
  quiet.SetExchange(&exchange);
  quiet.SetCallback(&Callback);
  quiet.SetExpectedLength(4);
  EXPECT_EQ(quiet.Send("<m/>", 4), SendResult::Ok);
  EXPECT_EQ(written, 0);
  wanted = true;
  quiet.SetCallback(nullptr);
  EXPECT_EQ(written, 1);
}
