#include <csignal>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <lo/lo.h>

#include "process.hxx"

using e2e::Child;
using e2e::JackServer;

namespace
{
struct Message {
  std::string path;
  std::string types;
  std::vector<std::string> strings;
  std::vector<int> ints;
  std::string fromPort;
};

// A session manager of the tests' own, speaking the public protocol over UDP on loopback.
class TestManager
{
public:
  TestManager()
  {
    server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
    lo_server_add_method(server, nullptr, nullptr, record, this);
  }
  ~TestManager() { lo_server_free(server); }

  std::string url() const
  {
    return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(server)) + "/";
  }

  // Waits for a message with that path, up to timeoutMs.
  bool waitFor(const std::string& path, Message* out, int timeoutMs)
  {
    long long end = e2e::nowMs() + timeoutMs;
    while (e2e::nowMs() < end) {
      lo_server_recv_noblock(server, 20);
      for (size_t i = 0; i < received.size(); i++)
        if (received[i].path == path) {
          if (out)
            *out = received[i];
          received.erase(received.begin() + i);
          return true;
        }
    }
    return false;
  }

  // Sends to the client from this manager's own socket.
  void send(const std::string& port, const char* path, lo_message m)
  {
    lo_address a = lo_address_new("127.0.0.1", port.c_str());
    lo_send_message_from(a, server, path, m);
    lo_address_free(a);
    lo_message_free(m);
  }

private:
  static int record(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* data)
  {
    Message m;
    m.path = path;
    m.types = types;
    for (int i = 0; i < argc; i++) {
      // liblo's arguments are only 4-byte aligned: read them as bytes.
      if (types[i] == 's') {
        m.strings.push_back(reinterpret_cast<const char*>(argv[i]));
      } else if (types[i] == 'i') {
        int32_t v;
        memcpy(&v, argv[i], sizeof(v));
        m.ints.push_back(v);
      }
    }
    m.fromPort = lo_address_get_port(lo_message_get_source(msg));
    static_cast<TestManager*>(data)->received.push_back(m);
    return 0;
  }

  lo_server server;
  std::vector<Message> received;
};

bool clientExists(const JackServer& server, const std::string& name, int timeoutMs)
{
  long long end = e2e::nowMs() + timeoutMs;
  do {
    std::string ports = e2e::runCommand({"jack_lsp"}, server.env(), 5000);
    if (ports.find(name + ":master_left") != std::string::npos)
      return true;
    usleep(50000);
  } while (e2e::nowMs() < end);
  return false;
}

std::string tempDir()
{
  char tmpl[] = "/tmp/vesko-nsm-XXXXXX";
  return mkdtemp(tmpl);
}

lo_message strings(std::initializer_list<const char*> args)
{
  lo_message m = lo_message_new();
  for (const char* a : args)
    lo_message_add_string(m, a);
  return m;
}
} // namespace

TEST(Nsm, AnnounceOpenAndSaveFromTheManagerOnly)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  TestManager manager;
  std::string home = tempDir();
  std::vector<std::string> env = jackd.env();
  env.push_back("HOME=" + home);
  env.push_back("NSM_URL=" + manager.url());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));

  Message announce;
  ASSERT_TRUE(manager.waitFor("/nsm/server/announce", &announce, 5000)) << vesko.output();
  EXPECT_EQ(announce.types, "sssiii");
  EXPECT_EQ(announce.strings, (std::vector<std::string>{"Vesko", "", VESKO_BINARY}));
  EXPECT_EQ(announce.ints, (std::vector<int>{1, 0, vesko.pid()}));

  // No engine before the open.
  usleep(300000);
  EXPECT_FALSE(clientExists(jackd, "Vesko", 0));

  manager.send(announce.fromPort, "/reply",
               strings({"/nsm/server/announce", "Welcome", "Test Manager", ":switch:"}));

  // A stranger's open is ignored.
  {
    lo_server stranger = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
    lo_address a = lo_address_new("127.0.0.1", announce.fromPort.c_str());
    lo_send_from(a, stranger, LO_TT_IMMEDIATE, "/nsm/client/open", "sss", "/tmp/evil", "Evil", "evil.client");
    lo_send_from(a, stranger, LO_TT_IMMEDIATE, "/some/unrelated/path", "i", 3);
    lo_address_free(a);
    lo_server_free(stranger);
  }
  EXPECT_TRUE(vesko.waitForOutput("not the session manager Vesko registered with", 3000)) << vesko.output();
  EXPECT_FALSE(clientExists(jackd, "evil.client", 0));

  std::string project = home + "/project-a";
  manager.send(announce.fromPort, "/nsm/client/open", strings({project.c_str(), "Vesko A", "vesko.nABCD"}));
  Message reply;
  ASSERT_TRUE(manager.waitFor("/reply", &reply, 10000)) << vesko.output();
  EXPECT_EQ(reply.strings, (std::vector<std::string>{"/nsm/client/open", "OK"}));
  EXPECT_TRUE(clientExists(jackd, "vesko.nABCD", 5000)) << vesko.output();
  EXPECT_FALSE(clientExists(jackd, "Vesko", 0));
  struct stat st;
  EXPECT_EQ(stat((project + "/audio").c_str(), &st), 0) << "the project directory is prepared";

  manager.send(announce.fromPort, "/nsm/client/save", lo_message_new());
  ASSERT_TRUE(manager.waitFor("/reply", &reply, 5000)) << vesko.output();
  EXPECT_EQ(reply.strings, (std::vector<std::string>{"/nsm/client/save", "OK"}));

  // A second open reads the new path with the same engine.
  std::string projectB = home + "/project-b";
  manager.send(announce.fromPort, "/nsm/client/open", strings({projectB.c_str(), "Vesko B", "vesko.nABCD"}));
  ASSERT_TRUE(manager.waitFor("/reply", &reply, 5000)) << vesko.output();
  EXPECT_EQ(reply.strings, (std::vector<std::string>{"/nsm/client/open", "OK"}));
  EXPECT_TRUE(vesko.waitForOutput("DiskReader::readSession() " + projectB, 3000));
  EXPECT_NE(vesko.output().find("JACK instance already exists!"), std::string::npos);

  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0) << vesko.output();
}

TEST(Nsm, RefusedAnnounceLeavesVeskoRunningWithoutAnEngine)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  TestManager manager;
  std::vector<std::string> env = jackd.env();
  env.push_back("HOME=" + tempDir());
  env.push_back("NSM_URL=" + manager.url());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));
  Message announce;
  ASSERT_TRUE(manager.waitFor("/nsm/server/announce", &announce, 5000));
  lo_message m = lo_message_new();
  lo_message_add_string(m, "/nsm/server/announce");
  lo_message_add_int32(m, -4);
  lo_message_add_string(m, "Incompatible API version");
  manager.send(announce.fromPort, "/error", m);
  EXPECT_TRUE(vesko.waitForOutput("NSM: Failed to register with NSM server: Incompatible API version", 3000))
    << vesko.output();
  EXPECT_TRUE(vesko.running());
  EXPECT_FALSE(clientExists(jackd, "Vesko", 0));
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0);
}

TEST(Nsm, MalformedUrlStartsWithoutASessionManager)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  std::vector<std::string> env = jackd.env();
  env.push_back("HOME=" + tempDir());
  env.push_back("NSM_URL=this is not a url");
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));
  EXPECT_TRUE(clientExists(jackd, "Vesko", 5000)) << vesko.output();
  EXPECT_NE(vesko.output().find("is not an OSC address; starting without a session manager"), std::string::npos);
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0);
}

// Without NSM_URL no OSC socket is opened at all.
TEST(Nsm, NoUrlNoSocket)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  std::vector<std::string> env = jackd.env();
  env.push_back("HOME=" + tempDir());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));
  ASSERT_TRUE(clientExists(jackd, "Vesko", 5000));
  // Every UDP socket of the process shows in /proc/net/udp by inode; count the process's
  // socket inodes that are UDP.
  std::string fdDir = "/proc/" + std::to_string(vesko.pid()) + "/fd";
  std::string udp = e2e::runCommand({"cat", "/proc/net/udp", "/proc/net/udp6"}, {}, 2000);
  std::string links = e2e::runCommand({"sh", "-c", "for f in " + fdDir + "/*; do readlink $f; done"}, {}, 2000);
  int udpSockets = 0;
  std::istringstream in(links);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("socket:[", 0) != 0)
      continue;
    std::string inode = line.substr(8, line.size() - 9);
    if (udp.find(" " + inode + " ") != std::string::npos)
      udpSockets++;
  }
  EXPECT_EQ(udpSockets, 0);
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(3000, &status));
}
