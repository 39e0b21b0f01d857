#include <cjson/cJSON.h>
#include <csignal>
#include <fstream>
#include <random>
#include <sndfile.h>
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

  // Several argument-less messages in one packet, so that the client handles them together.
  void sendBundle(const std::string& port, std::initializer_list<const char*> paths)
  {
    lo_address a = lo_address_new("127.0.0.1", port.c_str());
    lo_bundle b = lo_bundle_new(LO_TT_IMMEDIATE);
    for (const char* p : paths)
      lo_bundle_add_message(b, p, lo_message_new());
    lo_send_bundle_from(a, server, b);
    lo_bundle_free_recursive(b);
    lo_address_free(a);
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

namespace
{
// A session written by the test itself: clips of random audio in random slots, random
// mixer values and names, as the format lays it out.
struct MadeSession {
  std::map<std::string, std::vector<float>> audio; // file name -> interleaved samples
  std::string json;
};

MadeSession makeSession(const std::string& dir, unsigned seed)
{
  MadeSession m;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-1.f, 1.f);
  mkdir(dir.c_str(), 0775);
  mkdir((dir + "/audio").c_str(), 0775);
  std::ostringstream cfg, tracks;
  cfg << "{";
  bool firstClip = true;
  for (int t = 0; t < 8; t++) {
    tracks << (t ? "," : "") << "{\"ID\":" << t << ",\"name\":\"tr" << rng() % 1000 << "\",\"fader\":"
           << (rng() % 100) / 100.0 << ",\"pan\":" << (rng() % 100) / 100.0 << ",\"sendAmount\":"
           << (rng() % 100) / 100.0 << ",\"sendActive\":" << rng() % 2 << ",\"jacksendAmount\":"
           << (rng() % 100) / 100.0 << ",\"jacksendActive\":" << rng() % 2 << ",\"xsideAmount\":"
           << (rng() % 100) / 100.0 << ",\"keyActive\":" << rng() % 2 << ",\"clips\":[";
    for (int s = 0; s < 10; s++) {
      std::string file;
      if (rng() % 8 == 0) {
        file = "t_" + std::to_string(t) + "_s_" + std::to_string(s) + ".wav";
        int frames = 2000 + rng() % 40000;
        std::vector<float> data(2 * frames);
        for (float& x : data)
          x = d(rng);
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open((dir + "/audio/" + file).c_str(), SFM_WRITE, &info);
        sf_writef_float(f, data.data(), frames);
        sf_close(f);
        m.audio[file] = data;
        cfg << (firstClip ? "" : ",") << "\"" << file << "\":{\"beats\":" << 1 + rng() % 16
            << ",\"name\":\"c" << rng() % 100 << "\"}";
        firstClip = false;
      }
      tracks << (s ? "," : "") << "\"" << file << "\"";
    }
    tracks << "]}";
  }
  cfg << "}";
  m.json = "{\"session\":\"made\",\"version_major\":1,\"version_minor\":0,\"version_patch\":0,"
           "\"master\":{\"fader\":0.6,\"bpm\":133,\"inputVolume\":0.4,\"inputToSndActive\":1,"
           "\"inputToKeyActive\":0,\"inputToMixActive\":1,\"inputToSndVol\":0.3,\"inputToXSide\":0.2,"
           "\"inputToMixVol\":0.7,\"sceneNames\":[\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\"]},"
           "\"tracks\":[" + tracks.str() + "]}";
  FILE* f = fopen((dir + "/session.vesko").c_str(), "w");
  fputs(m.json.c_str(), f);
  fclose(f);
  f = fopen((dir + "/audio/audio.cfg").c_str(), "w");
  fputs(cfg.str().c_str(), f);
  fclose(f);
  return m;
}

std::vector<float> readWav(const std::string& path)
{
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f)
    return {};
  std::vector<float> data(info.frames * info.channels);
  sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  return data;
}

std::string slurp(const std::string& path)
{
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Starts Vesko under the manager and has it open `project` as client `clientId`; the port
// Vesko's messages come from goes to *port.
::testing::AssertionResult openManaged(Child& vesko, const JackServer& jackd, TestManager& manager,
                                       const std::string& home, const std::string& project,
                                       const char* clientId, std::string* port)
{
  std::vector<std::string> env = jackd.env();
  env.push_back("HOME=" + home);
  env.push_back("NSM_URL=" + manager.url());
  if (!vesko.start({VESKO_BINARY}, env))
    return ::testing::AssertionFailure() << "Vesko did not start";
  Message announce;
  if (!manager.waitFor("/nsm/server/announce", &announce, 5000))
    return ::testing::AssertionFailure() << "no announce\n" << vesko.output();
  manager.send(announce.fromPort, "/reply", strings({"/nsm/server/announce", "hi", "M", ""}));
  manager.send(announce.fromPort, "/nsm/client/open", strings({project.c_str(), "made", clientId}));
  if (!manager.waitFor("/reply", nullptr, 10000))
    return ::testing::AssertionFailure() << "the open was not answered\n" << vesko.output();
  *port = announce.fromPort;
  return ::testing::AssertionSuccess();
}
} // namespace

// The whole system: a session opened by the manager goes through the engine and is saved
// again by it; every sample comes back bit-identical and every value and name equal.
TEST(Nsm, OpenedSessionSavesBackIdentical)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  TestManager manager;
  std::string home = tempDir();
  for (unsigned seed : {11u, 12u}) {
    std::string project = home + "/p" + std::to_string(seed);
    MadeSession made = makeSession(project, seed);
    Child vesko;
    std::string port;
    ASSERT_TRUE(openManaged(vesko, jackd, manager, home, project, "vesko.rt", &port));
    Message reply;
    // Remove what was loaded, so that what is found afterwards was written by the save.
    std::string sessionBefore = slurp(project + "/session.vesko");
    for (auto& [file, data] : made.audio)
      unlink((project + "/audio/" + file).c_str());
    unlink((project + "/session.vesko").c_str());
    // The session's tempo takes effect at the next bar line; save after it.
    EXPECT_TRUE(vesko.waitForOutput("bpm = 133", 6000)) << vesko.output();
    usleep(300000); // the announcements of the load reach the interface
    if (seed == 11) {
      // Two saves in one packet: the second arrives while the first is under way.
      manager.sendBundle(port, {"/nsm/client/save", "/nsm/client/save"});
      Message refused;
      ASSERT_TRUE(manager.waitFor("/error", &refused, 5000)) << vesko.output();
      EXPECT_EQ(refused.strings, (std::vector<std::string>{"/nsm/client/save", "A save is already under way"}));
    } else {
      manager.send(port, "/nsm/client/save", lo_message_new());
    }
    // "OK" means written: the manager may close the session as soon as it hears it.
    ASSERT_TRUE(manager.waitFor("/reply", &reply, 10000)) << vesko.output();
    EXPECT_EQ(reply.strings, (std::vector<std::string>{"/nsm/client/save", "OK"}));

    for (auto& [file, data] : made.audio)
      EXPECT_EQ(readWav(project + "/audio/" + file), data) << file;
    cJSON* before = cJSON_Parse(sessionBefore.c_str());
    cJSON* after = cJSON_Parse(slurp(project + "/session.vesko").c_str());
    ASSERT_NE(after, nullptr) << vesko.output();
    cJSON* tb = cJSON_GetObjectItem(before, "tracks");
    cJSON* ta = cJSON_GetObjectItem(after, "tracks");
    for (int t = 0; t < 8; t++) {
      cJSON* b = cJSON_GetArrayItem(tb, t);
      cJSON* a = cJSON_GetArrayItem(ta, t);
      EXPECT_STREQ(cJSON_GetObjectItem(a, "name")->valuestring, cJSON_GetObjectItem(b, "name")->valuestring);
      for (const char* key : {"fader", "pan", "sendAmount", "sendActive", "jacksendAmount",
                              "jacksendActive", "xsideAmount", "keyActive"})
        EXPECT_NEAR(cJSON_GetObjectItem(a, key)->valuedouble, cJSON_GetObjectItem(b, key)->valuedouble, 1e-6)
          << "track " << t << " " << key;
      for (int s = 0; s < 10; s++)
        EXPECT_STREQ(cJSON_GetArrayItem(cJSON_GetObjectItem(a, "clips"), s)->valuestring,
                     cJSON_GetArrayItem(cJSON_GetObjectItem(b, "clips"), s)->valuestring);
    }
    cJSON* mb = cJSON_GetObjectItem(before, "master");
    cJSON* ma = cJSON_GetObjectItem(after, "master");
    for (const char* key : {"fader", "bpm", "inputVolume", "inputToSndActive", "inputToKeyActive",
                            "inputToMixActive", "inputToSndVol", "inputToXSide", "inputToMixVol"})
      EXPECT_NEAR(cJSON_GetObjectItem(ma, key)->valuedouble, cJSON_GetObjectItem(mb, key)->valuedouble, 1e-6)
        << "master " << key;
    char* scenes = cJSON_PrintUnformatted(cJSON_GetObjectItem(ma, "sceneNames"));
    EXPECT_STREQ(scenes, "[\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\"]");
    free(scenes);
    EXPECT_EQ(slurp(project + "/audio/audio.cfg").empty(), made.audio.empty());
    cJSON_Delete(before);
    cJSON_Delete(after);
    vesko.signal(SIGTERM);
    int st = -1;
    ASSERT_TRUE(vesko.wait(3000, &st));
  }
}

// The server dies under a managed Vesko: the manager's save still writes every clip, taken
// straight from the stopped engine, and hears "OK" only once that is done.
TEST(Nsm, SaveAfterTheServerDiedWritesTheClips)
{
  JackServer jackd;
  ASSERT_TRUE(jackd.ok());
  TestManager manager;
  std::string home = tempDir();
  std::string project = home + "/p";
  MadeSession made = makeSession(project, 13);
  ASSERT_FALSE(made.audio.empty());
  Child vesko;
  std::string port;
  ASSERT_TRUE(openManaged(vesko, jackd, manager, home, project, "vesko.gone", &port));
  usleep(500000); // the loaded clips reach the engine
  for (auto& [file, data] : made.audio)
    unlink((project + "/audio/" + file).c_str());

  jackd.signal(SIGKILL);
  ASSERT_TRUE(vesko.waitForOutput("clips hold audio", 10000)) << vesko.output();
  manager.send(port, "/nsm/client/save", lo_message_new());
  Message reply;
  ASSERT_TRUE(manager.waitFor("/reply", &reply, 10000)) << vesko.output();
  EXPECT_EQ(reply.strings, (std::vector<std::string>{"/nsm/client/save", "OK"}));
  for (auto& [file, data] : made.audio)
    EXPECT_EQ(readWav(project + "/audio/" + file), data) << file;
  vesko.signal(SIGTERM);
  int st = -1;
  ASSERT_TRUE(vesko.wait(5000, &st));
}
