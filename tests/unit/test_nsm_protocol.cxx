#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <lo/lo.h>

#include "nsm.hxx"

namespace
{
struct Calls {
  std::vector<std::string> opens;
  int saves = 0;
};

int onOpen(const char* path, const char* name, const char* id, char**, void* data)
{
  static_cast<Calls*>(data)->opens.push_back(std::string(path) + "|" + name + "|" + id);
  return 0;
}
int onSave(char**, void* data) { return ++static_cast<Calls*>(data)->saves, 0; }

// One OSC message as the bytes that arrive on the wire.
std::string packet(const char* path, lo_message m)
{
  size_t size = 0;
  void* bytes = lo_message_serialise(m, path, nullptr, &size);
  std::string out(static_cast<char*>(bytes), size);
  free(bytes);
  lo_message_free(m);
  return out;
}

lo_message strings(std::initializer_list<const char*> args)
{
  lo_message m = lo_message_new();
  for (const char* a : args)
    lo_message_add_string(m, a);
  return m;
}
} // namespace

// Packets handed straight to the client: string arguments are read safely wherever they
// lie (found by fuzzing, a misaligned read), and nothing changes files before the announce
// was answered.
TEST(NsmProtocol, OpenAndSaveCountOnlyAfterRegistration)
{
  setenv("NSM_URL", "osc.udp://127.0.0.1:9/", 1);
  Calls calls;
  testing::internal::CaptureStdout();
  NsmClient* c = NsmClient::create("vesko", onOpen, onSave, &calls);
  ASSERT_NE(c, nullptr);

  std::string open = packet("/nsm/client/open", strings({"/p/a", "Display", "vesko.nX"}));
  c->dispatch(&open[0], open.size());
  EXPECT_TRUE(calls.opens.empty()) << "not registered yet";

  std::string reply = packet("/reply", strings({"/nsm/server/announce", "hi", "Manager", ":caps:"}));
  c->dispatch(&reply[0], reply.size());
  EXPECT_TRUE(c->isActive());
  EXPECT_EQ(c->managerName(), "Manager");

  open = packet("/nsm/client/open", strings({"/p/a", "Display", "vesko.nX"}));
  c->dispatch(&open[0], open.size());
  std::string save = packet("/nsm/client/save", lo_message_new());
  c->dispatch(&save[0], save.size());
  std::string junk = packet("/nsm/client/open", strings({"only one"}));
  c->dispatch(&junk[0], junk.size());
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(calls.opens, std::vector<std::string>{"/p/a|Display|vesko.nX"});
  EXPECT_EQ(calls.saves, 1);
  EXPECT_EQ(c->clientId(), "vesko.nX");
  delete c;
  unsetenv("NSM_URL");
}
