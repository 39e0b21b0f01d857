#ifndef VESKO_TEST_PROCESS_HXX
#define VESKO_TEST_PROCESS_HXX

// Real processes for end-to-end tests: a private jackd per test, the vesko binary, and the
// example clients that ship with JACK.

#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e
{
// A child process whose standard output and error go to a file.
class Child
{
public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts argv[0] (searched in PATH) with the current environment plus `env` (NAME=value).
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  pid_t pid() const { return childPid; }
  void signal(int sig);
  // Waits up to timeoutMs for the child to end. Returns true with its exit status (or
  // 128 + signal) in *status when it ended.
  bool wait(int timeoutMs, int* status);
  bool running();
  // Everything the child printed so far.
  std::string output() const;
  // Waits until `text` appears in the output, up to timeoutMs.
  bool waitForOutput(const std::string& text, int timeoutMs);

private:
  pid_t childPid = -1;
  bool reaped = false;
  std::string outputPath;
  int lastStatus = -1;
};

// A jackd of its own for one test: dummy driver, private name.
class JackServer
{
public:
  explicit JackServer(int samplerate = 48000, int period = 256);
  ~JackServer();
  bool ok() const { return started; }
  const std::string& name() const { return serverName; }
  // "JACK_DEFAULT_SERVER=<name>" and "JACK_NO_START_SERVER=1", for clients.
  std::vector<std::string> env() const;
  // Sends the server a signal: SIGKILL for a server that dies without a word.
  void signal(int sig) { server.signal(sig); }

private:
  Child server;
  std::string serverName;
  bool started = false;
};

// Runs a command to its end and returns what it printed; *status gets its exit status.
std::string runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int timeoutMs, int* status = nullptr);

// Milliseconds on a monotonic clock.
long long nowMs();
} // namespace e2e

#endif
