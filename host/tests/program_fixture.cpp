#include "host/tests/program_fixture.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace program_test {

// The folder of the running test, made afresh for it and removed after it: its database, its
// registry and the reference site's working copy beside the database, so that tests running at
// once (or a file left by a test that was killed) share nothing.
std::string& TestFolder() {
  static std::string folder;
  return folder;
}

// The registry file of the running test: the program registers the system's servers at start,
// never into the user's own registry.
std::string RegistryFile() { return TestFolder() + "/registry"; }

// Runs a shell command; its exit status and its output with its errors.
Result RunCommand(const std::string& line) {
  const std::string command = line + " 2>&1";
  Result result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Runs the program behind `prefix` (another user, say) with its own registry file.
Result RunAs(const std::string& prefix, const std::string& registry, const std::string& args) {
  return RunCommand(prefix + std::string(VANTOR_PROGRAM) + " --registry " + registry + " " + args);
}

Result RunProgram(const std::string& args) { return RunAs("", RegistryFile(), args); }

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// Runs statements on the database file in this process.
void RunSql(const std::string& db, std::initializer_list<const wchar_t*> statements) {
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    for (const wchar_t* sql : statements) h.Connection()->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
  }
  CoUninitialize();
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
  }
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

// The first column of the first row, read from the database file in this process (empty
// without a row).
_variant_t QueryValue(const std::string& db, const wchar_t* sql) {
  _variant_t value;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(sql), nullptr, adCmdText);
    if (!rs->GetadoEOF()) value = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  }
  CoUninitialize();
  return value;
}

LONG QueryLong(const std::string& db, const wchar_t* sql) {
  const _variant_t value = QueryValue(db, sql);
  return value.vt == VT_EMPTY || value.vt == VT_NULL ? -1 : static_cast<LONG>(value);
}

// The rows of the tables a receive fills: auctions, their images, buyers, purchases, comments.
std::vector<LONG> ReceivedRows(const std::string& db) {
  std::vector<LONG> rows;
  for (const wchar_t* sql : {L"SELECT COUNT(*) FROM au__Auction", L"SELECT COUNT(*) FROM au_Image",
                             L"SELECT COUNT(*) FROM kd_Image", L"SELECT COUNT(*) FROM cs__Customer",
                             L"SELECT COUNT(*) FROM tr__Transaction", L"SELECT COUNT(*) FROM tr_Comment"})
    rows.push_back(QueryLong(db, sql));
  return rows;
}

// The synchronisation lock that a run killed midway leaves refuses the next run of `command`
// (which tells who holds it and exits 0) until unlock takes the lock `lock` away.
void ExpectRefusedUntilUnlocked(const std::string& db, const std::string& command, int lock) {
  Result refused = RunProgram("--db " + db + " " + command);
  EXPECT_EQ(refused.status, 0) << refused.out;
  EXPECT_NE(refused.out.find("Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."),
            std::string::npos)
      << refused.out;
  Result unlocked = RunProgram("--db " + db + " unlock");
  EXPECT_NE(unlocked.out.find("Usunięto blokadę synchronizacji nr " + std::to_string(lock)), std::string::npos)
      << unlocked.out;
}

// A prepared auction of the account and a comment to give to a buyer of the reference site.
void PrepareSends(const std::string& db, std::initializer_list<LONG> auctions) {
  for (LONG id : auctions) {
    const std::wstring sql =
        L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_RegSiteId, au_SiteId, au_SvcProvId, au_State, "
        L"au_Quantity, au_StartPrice, au_Duration) SELECT " + std::to_wstring(id) + L", N'Kubek nr " +
        std::to_wstring(id) + L"', rs_RegId, rs_Id, rs_SiteId, 1, 1, 2, 15, 7 FROM reg_Site";
    RunSql(db, {sql.c_str()});
  }
  RunSql(db, {L"UPDATE tr_Comment SET tc_SentComment = N'Dziękuję za zakupy', tc_SentScore = 1 WHERE tc_TransId IN "
              L"(SELECT tr_Id FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId WHERE "
              L"cs_ExtServiceId = 8100003)"});
}

// The reference site (row 10, number 1) with the reference site's shop account 5 on it.
void AddReferenceShop(const std::string& db) {
  RunSql(db, {
      L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (10, 1, 1, N'Wzorcowo')",
      L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_Active, reg_HasShop) "
      L"VALUES (5, 1, 'sklep_wzorcowy', 'ak1:2E3B33', 1, 1)",
      L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 5, 10)",
  });
}

// A value of the database file read in this process, as text ("" for none).
std::wstring QueryText(const std::string& db, const wchar_t* sql) {
  std::wstring out;
  CoInitialize(nullptr);
  {
    host::Host h(std::wstring(CString(db.c_str()).GetString()));
    _RecordsetPtr rs = h.Connection()->Execute(_bstr_t(sql), nullptr, adCmdText);
    if (!rs->GetadoEOF()) {
      _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      if (v.vt != VT_NULL && v.vt != VT_EMPTY) out = static_cast<const wchar_t*>(_bstr_t(v));
    }
  }
  CoUninitialize();
  return out;
}

RunningProgram::RunningProgram(const std::string& args) {
  int out[2];
  if (pipe(out) != 0) return;
  const std::string line = "exec " + std::string(VANTOR_PROGRAM) + " --registry " + RegistryFile() + " " + args + " 2>&1";
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  fd_ = out[0];
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (fd_ >= 0) close(fd_);
}

bool RunningProgram::WaitFor(const std::string& text, int seconds) {
  while (out_.find(text) == std::string::npos)
    if (!ReadSome(seconds)) return false;
  return true;
}

bool RunningProgram::WaitStopped(int seconds) {
  int status = 0;
  if (!WaitChild(WUNTRACED, status, seconds)) return false;
  if (WIFSTOPPED(status)) return true;
  pid_ = -1;  // it ended
  return false;
}

void RunningProgram::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

Result RunningProgram::Finish(int seconds) {
  while (ReadSome(seconds)) {
  }
  int status = 0;
  Result result{-1, out_};
  if (pid_ > 0 && WaitChild(0, status, seconds)) {
    pid_ = -1;
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  return result;
}

namespace {
void OnAlarm(int) {}
}  // namespace

bool RunningProgram::WaitChild(int options, int& status, int seconds) {
  if (pid_ <= 0) return false;
  struct sigaction action {}, old {};
  action.sa_handler = OnAlarm;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, &old);
  alarm(static_cast<unsigned>(seconds));
  const pid_t got = waitpid(pid_, &status, options);
  alarm(0);
  sigaction(SIGALRM, &old, nullptr);
  return got == pid_;
}

bool RunningProgram::ReadSome(int seconds) {
  if (fd_ < 0) return false;
  pollfd ready{fd_, POLLIN, 0};
  if (poll(&ready, 1, seconds * 1000) <= 0) return false;
  char buffer[4096];
  const ssize_t got = read(fd_, buffer, sizeof buffer);
  if (got <= 0) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  out_.append(buffer, static_cast<size_t>(got));
  return true;
}

ZoneService::ZoneService(const testing_net::Certificates& certificates, const std::string& accountsFile,
                         const std::string& state) {
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    if (state.empty())
      execl(ZONE_SERVICE_PROGRAM, ZONE_SERVICE_PROGRAM, "--https", "--cert", certificates.Good().cert.c_str(), "--key",
            certificates.Good().key.c_str(), "--accounts-file", accountsFile.c_str(), static_cast<char*>(nullptr));
    else
      execl(ZONE_SERVICE_PROGRAM, ZONE_SERVICE_PROGRAM, "--https", "--cert", certificates.Good().cert.c_str(), "--key",
            certificates.Good().key.c_str(), "--accounts-file", accountsFile.c_str(), "--state", state.c_str(),
            static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  const size_t colon = line.rfind(':');
  if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
}

void ZoneService::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void ZoneService::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

}  // namespace program_test
