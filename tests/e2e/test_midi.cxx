#include <csignal>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "midiclient.hxx"
#include "process.hxx"

using e2e::Child;
using e2e::JackServer;
using e2e::MidiBytes;
using e2e::MidiClient;

namespace
{
// A HOME whose preferences name one controller map, pad.ctlr, with the text given.
std::string homeWithMap(const std::string& map)
{
  char tmpl[] = "/tmp/vesko-midi-home-XXXXXX";
  std::string home = mkdtemp(tmpl);
  for (const char* d : {"/.config", "/.config/morvit", "/.config/morvit/vesko",
                        "/.config/morvit/vesko/controllers"})
    mkdir((home + d).c_str(), 0775);
  auto write = [](const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "w");
    fputs(text.c_str(), f);
    fclose(f);
  };
  write(home + "/.config/morvit/vesko/vesko.prfs",
        R"({"saveDirectory": "vesko", "resampleQuality": 1, "defaultControllers": ["pad.ctlr"]})");
  write(home + "/.config/morvit/vesko/controllers/pad.ctlr", map);
  return home;
}

std::vector<std::string> env(const JackServer& server, const std::string& home)
{
  std::vector<std::string> e = server.env();
  e.push_back("HOME=" + home);
  return e;
}

// jack_lsp -t: every port of the server with its type on the next line.
std::string portType(const JackServer& server, const std::string& port)
{
  std::istringstream in(e2e::runCommand({"jack_lsp", "-t"}, server.env(), 10000));
  std::string line;
  while (std::getline(in, line))
    if (line == port && std::getline(in, line))
      return line.substr(line.find_first_not_of(" \t"));
  return "";
}

bool waitForPort(const JackServer& server, const std::string& port, int timeoutMs)
{
  long long end = e2e::nowMs() + timeoutMs;
  while (e2e::nowMs() < end) {
    if (!portType(server, port).empty())
      return true;
    usleep(50000);
  }
  return false;
}

void stop(Child& vesko)
{
  vesko.signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(vesko.wait(3000, &status));
  EXPECT_EQ(status, 0) << vesko.output();
}
} // namespace

TEST(MidiController, AMapNamedInThePreferencesGetsItsTwoMidiPorts)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env(server, homeWithMap(R"({"name": "pad", "inputBindings": []})"))));
  ASSERT_TRUE(waitForPort(server, "Vesko:pad in", 10000)) << vesko.output();
  EXPECT_EQ(portType(server, "Vesko:pad in"), "8 bit raw midi");
  EXPECT_EQ(portType(server, "Vesko:pad out"), "8 bit raw midi");
  EXPECT_TRUE(vesko.waitForOutput("Loading controller pad.ctlr", 1000)) << vesko.output();
  EXPECT_TRUE(vesko.waitForOutput("GenericMIDI registering ports: pad", 1000)) << vesko.output();

  // A real peer can connect to both.
  MidiClient device;
  ASSERT_TRUE(device.open(server.name(), "device"));
  EXPECT_TRUE(device.connect("Vesko:pad in", "Vesko:pad out"));
  stop(vesko);
}
