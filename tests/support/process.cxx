#include "process.hxx"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace e2e
{
long long nowMs()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static std::string tempPath(const char* what)
{
  static std::atomic<int> counter{0};
  const char* dir = getenv("TMPDIR");
  std::ostringstream s;
  s << (dir && *dir ? dir : "/tmp") << "/vesko-e2e-" << getpid() << "-" << counter++ << "-"
    << what;
  return s.str();
}

Child::~Child()
{
  if (childPid > 0 && !reaped) {
    kill(childPid, SIGKILL);
    int st;
    waitpid(childPid, &st, 0);
  }
  if (!outputPath.empty())
    unlink(outputPath.c_str());
}

bool Child::start(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
  outputPath = tempPath("out");
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; e++) {
    std::string entry = *e;
    bool replaced = false;
    for (auto& extra : env)
      if (entry.substr(0, entry.find('=') + 1) == extra.substr(0, extra.find('=') + 1))
        replaced = true;
    if (!replaced)
      envStrings.push_back(entry);
  }
  for (auto& extra : env)
    envStrings.push_back(extra);

  std::vector<char*> args, envp;
  for (auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : envStrings)
    envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  // fork/exec rather than posix_spawn, so the child can be told to die with the test:
  // a test killed by its timeout must not leave a jackd behind (a machine runs few).
  int outFd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (outFd < 0)
    return false;
  pid_t parent = getpid();
  childPid = fork();
  if (childPid < 0) {
    close(outFd);
    childPid = -1;
    return false;
  }
  if (childPid == 0) {
    // SIGTERM, not SIGKILL: a jackd must get to unregister itself.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
      _exit(127);
    int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(outFd, 1);
    dup2(outFd, 2);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(outFd);
  reaped = false;
  return true;
}

void Child::signal(int sig)
{
  if (childPid > 0 && !reaped)
    kill(childPid, sig);
}

bool Child::wait(int timeoutMs, int* status)
{
  if (childPid <= 0)
    return false;
  long long end = nowMs() + timeoutMs;
  while (!reaped) {
    int st = 0;
    pid_t r = waitpid(childPid, &st, WNOHANG);
    if (r == childPid) {
      reaped = true;
      int code = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      if (status)
        *status = code;
      lastStatus = code;
      return true;
    }
    if (nowMs() > end)
      return false;
    usleep(5000);
  }
  if (status)
    *status = lastStatus;
  return true;
}

bool Child::running()
{
  int st;
  return !wait(0, &st);
}

std::string Child::output() const
{
  std::ifstream in(outputPath);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Child::waitForOutput(const std::string& text, int timeoutMs)
{
  long long end = nowMs() + timeoutMs;
  while (nowMs() <= end) {
    if (output().find(text) != std::string::npos)
      return true;
    usleep(10000);
  }
  return output().find(text) != std::string::npos;
}

JackServer::JackServer(int samplerate, int period)
{
  // JACK keeps its servers in a registry of eight entries, and an entry is reclaimed only
  // when a server of the same name starts again. So the tests use a few fixed names, never
  // one per process, and stop their servers with SIGTERM so that they unregister.
  long long end = nowMs() + 60000;
  int slot = 0;
  do {
    serverName = "vesko-test-" + std::to_string(slot);
    slot = (slot + 1) % 6;
    if (!server.start({"jackd", "--no-realtime", "-n", serverName, "-d", "dummy", "-r",
                       std::to_string(samplerate), "-p", std::to_string(period)},
                      {"JACK_NO_START_SERVER=1"}))
      return;
    int status = -1;
    runCommand({"jack_wait", "-w", "-t", "5", "-s", serverName}, env(), 8000, &status);
    started = status == 0 && server.running() &&
              server.output().find("Too many servers") == std::string::npos;
    if (!started) {
      // That name is taken by a running server, or the registry is full: try the next.
      server.signal(SIGTERM);
      int st;
      if (!server.wait(3000, &st)) {
        server.signal(SIGKILL);
        server.wait(2000, &st);
      }
      usleep(200000);
    }
  } while (!started && nowMs() < end);
}

JackServer::~JackServer()
{
  server.signal(SIGTERM);
  int st;
  if (!server.wait(3000, &st)) {
    server.signal(SIGKILL);
    server.wait(3000, &st);
  }
}

std::vector<std::string> JackServer::env() const
{
  return {"JACK_DEFAULT_SERVER=" + serverName, "JACK_NO_START_SERVER=1"};
}

std::string runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int timeoutMs, int* status)
{
  Child c;
  int st = -1;
  if (!c.start(argv, env)) {
    if (status)
      *status = -1;
    return "";
  }
  if (!c.wait(timeoutMs, &st)) {
    c.signal(SIGKILL);
    c.wait(2000, &st);
    st = -2;
  }
  if (status)
    *status = st;
  return c.output();
}
} // namespace e2e
