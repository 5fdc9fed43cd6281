// Helpers for the hive tests: a temporary folder, file contents, SQLite's own integrity check,
// running a piece of code in a forked child (optionally without root's privileges), and
// running the hive_worker program as a process of its own.
#pragma once

#include "rtl/Exception.h"
#include "rtl/UnicodeString.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

class TTempDir {
public:
  TTempDir() {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Pattern = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/hostide-hive-XXXXXX";
    if (!::mkdtemp(Pattern.data()))
      throw std::runtime_error("cannot create a temporary folder");
    FDir = Pattern;
  }
  ~TTempDir() {
    std::error_code Ec;
    // Folders made read-only by a test must become writable again to be removed.
    for (auto& E : std::filesystem::recursive_directory_iterator(FDir, Ec))
      std::filesystem::permissions(E.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, Ec);
    std::filesystem::remove_all(FDir, Ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Dir() const { return FDir; }
  std::string File(const std::string& Name) const { return FDir + "/" + Name; }
  UnicodeString Path(const std::string& Name) const { return UTF8Decode(File(Name)); }

private:
  std::string FDir;
};

inline std::string ReadBytes(const std::string& File) {
  std::ifstream In(File, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& File, const std::string& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out << Bytes;
}

// "ok" or SQLite's first complaint about the database file.
inline std::string IntegrityCheck(const std::string& File) {
  sqlite3* Db = nullptr;
  std::string Result = "cannot open";
  if (sqlite3_open_v2(File.c_str(), &Db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* S = nullptr;
    if (sqlite3_prepare_v2(Db, "PRAGMA integrity_check", -1, &S, nullptr) == SQLITE_OK &&
        sqlite3_step(S) == SQLITE_ROW)
      Result = reinterpret_cast<const char*>(sqlite3_column_text(S, 0));
    else
      Result = sqlite3_errmsg(Db);
    sqlite3_finalize(S);
  }
  sqlite3_close_v2(Db);
  return Result;
}

inline std::string MessageOf(const Exception& E) {
  return UTF8Encode(E.Message());
}

// Runs Body in a forked child and returns what it returned (at most 4 KiB), or a description
// of how the child ended otherwise. With Unprivileged, a child running as root first becomes
// the user "nobody", so that file permissions apply to it as to an ordinary user.
inline std::string RunInChild(const std::function<std::string()>& Body, bool Unprivileged) {
  int Pipe[2];
  if (::pipe(Pipe) != 0)
    return "pipe failed";
  pid_t Pid = ::fork();
  if (Pid == 0) {
    ::close(Pipe[0]);
    std::string Out;
    if (Unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      Out = "cannot drop root privileges";
    } else {
      try {
        Out = Body();
      } catch (const std::exception& E) {
        Out = std::string("exception: ") + E.what();
      }
    }
    if (Out.size() > 4096)
      Out.resize(4096);
    [[maybe_unused]] ssize_t N = ::write(Pipe[1], Out.data(), Out.size());
    ::_exit(0);
  }
  ::close(Pipe[1]);
  std::string Out;
  char Buf[512];
  ssize_t N;
  while ((N = ::read(Pipe[0], Buf, sizeof Buf)) > 0)
    Out.append(Buf, static_cast<size_t>(N));
  ::close(Pipe[0]);
  int Status = 0;
  ::waitpid(Pid, &Status, 0);
  if (!WIFEXITED(Status))
    return "child ended abnormally";
  return Out;
}

// The hive_worker program started with Args, its standard output read through a pipe.
class TWorker {
public:
  explicit TWorker(const std::vector<std::string>& Args) {
    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    std::vector<std::string> All{HIVE_WORKER};
    All.insert(All.end(), Args.begin(), Args.end());
    std::vector<char*> Argv;
    for (std::string& A : All)
      Argv.push_back(A.data());
    Argv.push_back(nullptr);
    int Rc = ::posix_spawn(&FPid, HIVE_WORKER, &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Pipe[1]);
    FOut = Pipe[0];
    if (Rc != 0) {
      ::close(FOut);
      throw std::runtime_error("cannot start " + std::string(HIVE_WORKER));
    }
  }
  ~TWorker() {
    if (FPid > 0) {
      ::kill(FPid, SIGKILL);
      Wait();
    }
    ::close(FOut);
  }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  pid_t Pid() const { return FPid; }
  int OutputFd() const { return FOut; }
  // Everything the worker printed until it closed its output.
  std::string ReadAll() {
    std::string Out;
    char Buf[4096];
    ssize_t N;
    while ((N = ::read(FOut, Buf, sizeof Buf)) > 0 || (N < 0 && errno == EINTR))
      if (N > 0)
        Out.append(Buf, static_cast<size_t>(N));
    return Out;
  }
  // The wait status of the ended worker.
  int Wait() {
    int Status = 0;
    while (::waitpid(FPid, &Status, 0) < 0 && errno == EINTR) {
    }
    FPid = -1;
    return Status;
  }

private:
  pid_t FPid = -1;
  int FOut = -1;
};

// Runs the worker to its end: what it printed, or a description of how it failed.
inline std::string RunWorker(const std::vector<std::string>& Args) {
  TWorker W(Args);
  std::string Out = W.ReadAll();
  int Status = W.Wait();
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
    return "worker failed (status " + std::to_string(Status) + ")";
  return Out;
}
