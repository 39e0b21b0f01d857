#include <csignal>
#include <map>
#include <unistd.h>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "process.hxx"

using e2e::Child;
using e2e::JackServer;
using e2e::runCommand;

namespace
{
// jack_lsp -p: each port's name, then a line of its properties.
std::map<std::string, std::string> portsOf(const JackServer& server, const std::string& client)
{
  std::map<std::string, std::string> ports;
  std::istringstream in(runCommand({"jack_lsp", "-p"}, server.env(), 10000));
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind(client + ":", 0) == 0) {
      current = line.substr(client.size() + 1);
      ports[current] = "";
    } else if (!current.empty() && line.find("properties:") != std::string::npos) {
      ports[current] = line.find("input") != std::string::npos ? "input" : "output";
      current.clear();
    } else {
      current.clear();
    }
  }
  return ports;
}

bool waitForClient(const JackServer& server, const std::string& client, int timeoutMs)
{
  long long end = e2e::nowMs() + timeoutMs;
  while (e2e::nowMs() < end) {
    if (!portsOf(server, client).empty())
      return true;
    usleep(50000);
  }
  return false;
}

std::vector<std::string> env(const JackServer& server, const std::string& home)
{
  std::vector<std::string> e = server.env();
  e.push_back("HOME=" + home);
  return e;
}

std::string tempHome()
{
  char tmpl[] = "/tmp/vesko-home-XXXXXX";
  return mkdtemp(tmpl);
}
} // namespace

TEST(Startup, RegistersExactlyTheMasterPortsAndQuitsOnSigterm)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env(server, tempHome())));
  ASSERT_TRUE(waitForClient(server, "Vesko", 10000)) << vesko.output();
  usleep(200000); // every port is registered before activation; let jack_lsp settle

  std::map<std::string, std::string> expected = {
    {"master_in_left", "input"},      {"master_in_right", "input"},
    {"master_return_left", "input"},  {"master_return_right", "input"},
    {"master_left", "output"},        {"master_right", "output"},
    {"headphone_out_l", "output"},    {"headphone_out_r", "output"},
    {"send_out_l", "output"},         {"send_out_r", "output"},
    {"sidechain_key_l", "output"},    {"sidechain_key_r", "output"},
    {"sidechain_signal_l", "output"}, {"sidechain_signal_r", "output"}};
  std::map<std::string, std::string> ports = portsOf(server, "Vesko");
  for (auto& [name, dir] : expected) {
    ASSERT_TRUE(ports.count(name)) << "missing port " << name;
    EXPECT_EQ(ports[name], dir) << name;
  }
  // The master ports are all there are, apart from the track chains' own.
  for (auto& [name, dir] : ports)
    EXPECT_TRUE(expected.count(name) || name.find("track_") != std::string::npos) << name;

  long long sent = e2e::nowMs();
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(2000, &status)) << "still running after SIGTERM";
  long long took = e2e::nowMs() - sent;
  EXPECT_EQ(status, 0);
  EXPECT_LE(took, 500) << "quit took " << took << " ms";
  EXPECT_NE(vesko.output().find("Quit JACK."), std::string::npos) << vesko.output();
  EXPECT_NE(vesko.output().find("Git: n/a"), std::string::npos);
}

TEST(Startup, SigintQuitsTooAndTestFlagIsIgnored)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY, "-test"}, env(server, tempHome())));
  ASSERT_TRUE(waitForClient(server, "Vesko", 10000)) << vesko.output();
  vesko.signal(SIGINT);
  int status = -1;
  ASSERT_TRUE(vesko.wait(2000, &status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(vesko.output().find("Error loading session"), std::string::npos)
    << "-test is not a session path";
}

TEST(Startup, VersionPrintsAndExitsBeforeAnythingIsCreated)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  for (std::vector<std::string> args :
       {std::vector<std::string>{VESKO_BINARY, "--version"}, {VESKO_BINARY, "-v"},
        {VESKO_BINARY, "/some/session", "--version"}}) {
    int status = -1;
    std::string out = runCommand(args, env(server, tempHome()), 5000, &status);
    EXPECT_EQ(status, 0) << args.back();
    EXPECT_EQ(out, "n/a\n") << args.back();
  }
  EXPECT_TRUE(portsOf(server, "Vesko").empty());
}

TEST(Startup, ArgumentsThatOnlyBeginWithVAreSessionPaths)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY, "-vv"}, env(server, tempHome())));
  EXPECT_TRUE(vesko.waitForOutput("Error loading session", 5000)) << vesko.output();
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(2000, &status));
  EXPECT_EQ(status, 0);
}

TEST(Startup, NoServerGivesOneClearLineAndStatus1)
{
  std::vector<std::string> e = {"JACK_DEFAULT_SERVER=vesko-test-nobody-here",
                                "JACK_NO_START_SERVER=1", "HOME=" + tempHome()};
  int status = -1;
  long long start = e2e::nowMs();
  std::string out = runCommand({VESKO_BINARY}, e, 10000, &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_LT(e2e::nowMs() - start, 5000) << "no hang";
  EXPECT_NE(out.find("Cannot reach the JACK server \"vesko-test-nobody-here\""), std::string::npos)
    << out;
  EXPECT_NE(out.find("jackd -d dummy"), std::string::npos) << "says how to start one";
}

TEST(Startup, ServerGoingAwayIsReportedAndVeskoKeepsRunning)
{
  Child vesko;
  {
    JackServer server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(vesko.start({VESKO_BINARY}, env(server, tempHome())));
    ASSERT_TRUE(waitForClient(server, "Vesko", 10000)) << vesko.output();
  } // the server is stopped here
  EXPECT_TRUE(vesko.waitForOutput("The JACK server has gone away", 5000)) << vesko.output();
  EXPECT_TRUE(vesko.running()) << vesko.output();
  vesko.signal(SIGTERM);
  int status = -1;
  ASSERT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0) << vesko.output();
}
