#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "process.hxx"

using e2e::Child;
using e2e::JackServer;

namespace
{
struct PortInfo {
  std::string name, direction, type;
  bool operator==(const PortInfo& o) const
  {
    return name == o.name && direction == o.direction && type == o.type;
  }
};

std::ostream& operator<<(std::ostream& os, const PortInfo& p)
{
  return os << p.name << " (" << p.direction << ", " << p.type << ")";
}

// jack_lsp -p -t: a port's full name, then its properties line, then its type line.
std::vector<PortInfo> portsOf(const JackServer& server, const std::string& client)
{
  std::vector<PortInfo> ports;
  std::istringstream in(e2e::runCommand({"jack_lsp", "-p", "-t"}, server.env(), 10000));
  std::string line;
  PortInfo* current = nullptr;
  while (std::getline(in, line)) {
    if (line.empty())
      continue;
    if (line[0] != '\t') {
      current = nullptr;
      if (line.rfind(client + ":", 0) == 0) {
        ports.push_back({line.substr(client.size() + 1), "", ""});
        current = &ports.back();
      }
    } else if (current && line.find("properties:") != std::string::npos) {
      current->direction = line.find("input") != std::string::npos ? "input" : "output";
    } else if (current) {
      current->type = line.substr(1);
    }
  }
  return ports;
}

std::string tempHome()
{
  char tmpl[] = "/tmp/vesko-home-XXXXXX";
  return mkdtemp(tmpl);
}
} // namespace

// What another JACK client sees: the fourteen master ports, then each track's send and
// return pairs, 46 audio ports in all, with no stray characters in any name.
TEST(Ports, FortySixAudioPortsWithTheirNamesAndDirections)
{
  JackServer server;
  ASSERT_TRUE(server.ok());
  Child vesko;
  std::vector<std::string> env = server.env();
  env.push_back("HOME=" + tempHome());
  ASSERT_TRUE(vesko.start({VESKO_BINARY}, env));

  std::vector<PortInfo> expected;
  const std::string audio = "32 bit float mono audio";
  for (const char* n : {"master_in_left", "master_in_right", "master_return_left",
                        "master_return_right"})
    expected.push_back({n, "input", audio});
  for (const char* n : {"master_left", "master_right", "headphone_out_l", "headphone_out_r",
                        "send_out_l", "send_out_r", "sidechain_key_l", "sidechain_key_r",
                        "sidechain_signal_l", "sidechain_signal_r"})
    expected.push_back({n, "output", audio});
  for (int t = 1; t <= 8; t++) {
    const std::string n = std::to_string(t);
    expected.push_back({"Send_track_" + n + "_l", "output", audio});
    expected.push_back({"Send_track_" + n + "_r", "output", audio});
    expected.push_back({"Return_track_" + n + "_l", "input", audio});
    expected.push_back({"Return_track_" + n + "_r", "input", audio});
  }

  std::vector<PortInfo> ports;
  for (long long end = e2e::nowMs() + 10000; e2e::nowMs() < end; usleep(100000)) {
    ports = portsOf(server, "Vesko");
    if (ports.size() >= expected.size())
      break;
  }
  EXPECT_EQ(ports, expected) << vesko.output();
}
