#include "nsm.hxx"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "config.hxx"
#include "logger.hxx"

namespace
{
// An OSC string argument. liblo's arguments are only 4-byte aligned, so they are read as
// bytes rather than through the 8-byte lo_arg union.
const char* str(lo_arg* a) { return reinterpret_cast<const char*>(a); }

void quietErrors(int num, const char* msg, const char* where)
{
  VESKO_WARN("OSC error %d: %s (%s)", num, msg ? msg : "", where ? where : "");
}

std::string sourceHost(lo_message msg)
{
  lo_address src = lo_message_get_source(msg);
  const char* h = src ? lo_address_get_hostname(src) : nullptr;
  return h ? h : "";
}

std::string sourcePort(lo_message msg)
{
  lo_address src = lo_message_get_source(msg);
  const char* p = src ? lo_address_get_port(src) : nullptr;
  return p ? p : "";
}
} // namespace

NsmClient* NsmClient::create(const char* executable, OpenCallback open, SaveCallback save,
                             void* userData)
{
  const char* url = getenv("NSM_URL");
  if (!url)
    return nullptr;

  int proto = lo_url_get_protocol_id(url);
  lo_address target = lo_address_new_from_url(url);
  if (proto < 0 || !target) {
    VESKO_ERROR("NSM_URL \"%s\" is not an OSC address; starting without a session manager", url);
    if (target)
      lo_address_free(target);
    return nullptr;
  }

  NsmClient* c = new NsmClient();
  c->url = url;
  c->openCallback = open;
  c->saveCallback = save;
  c->userData = userData;
  c->server = lo_server_new_with_proto(nullptr, proto, quietErrors);
  if (!c->server) {
    VESKO_ERROR("No OSC server for the session manager at %s; starting without one", url);
    lo_address_free(target);
    delete c;
    return nullptr;
  }

  lo_server_add_method(c->server, "/error", "sis", onError, c);
  lo_server_add_method(c->server, "/reply", "ssss", onReply, c);
  lo_server_add_method(c->server, "/nsm/client/open", "sss", onOpen, c);
  lo_server_add_method(c->server, "/nsm/client/save", "", onSave, c);
  lo_server_add_method(c->server, "/nsm/client/session_is_loaded", "", onLoaded, c);
  lo_server_add_method(c->server, nullptr, nullptr, onAnything, c);

  // Sent from our own server, so the answer comes back to it.
  if (lo_send_from(target, c->server, LO_TT_IMMEDIATE, "/nsm/server/announce", "sssiii",
                   VESKO_NAME, "", executable ? executable : "vesko", 1, 0, (int)getpid()) < 0)
    fprintf(stderr, "NSM: Bad address!");
  lo_address_free(target);
  VESKO_NOTE("Announcing to NSM");
  return c;
}

NsmClient::~NsmClient()
{
  if (serverAddress)
    lo_address_free(serverAddress);
  if (server)
    lo_server_free(server);
}

void NsmClient::poll()
{
  while (lo_server_wait(server, 0) > 0)
    lo_server_recv_noblock(server, 0);
}

bool NsmClient::fromManager(lo_message msg, const char* path)
{
  if (active && sourceHost(msg) == serverHost && sourcePort(msg) == serverPort)
    return true;
  VESKO_WARN("NSM: %s from %s:%s ignored: not the session manager Vesko registered with", path,
             sourceHost(msg).c_str(), sourcePort(msg).c_str());
  return false;
}

void NsmClient::answer(const char* path, int result, const char* message)
{
  if (!serverAddress)
    return;
  if (result == 0)
    lo_send_from(serverAddress, server, LO_TT_IMMEDIATE, "/reply", "ss", path, "OK");
  else
    lo_send_from(serverAddress, server, LO_TT_IMMEDIATE, "/error", "sis", path, result,
                 message ? message : "");
}

int NsmClient::onError(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
{
  NsmClient* self = static_cast<NsmClient*>(data);
  if (strcmp(str(argv[0]), "/nsm/server/announce") != 0)
    return -1;
  fprintf(stderr, "NSM: Failed to register with NSM server: %s", str(argv[2]));
  self->active = false;
  return 0;
}

int NsmClient::onReply(const char*, const char*, lo_arg** argv, int, lo_message msg, void* data)
{
  NsmClient* self = static_cast<NsmClient*>(data);
  if (strcmp(str(argv[0]), "/nsm/server/announce") != 0)
    return -1;
  fprintf(stderr, "NSM: Successfully registered. NSM says: %s", str(argv[1]));
  self->active = true;
  self->manager = str(argv[2]);
  self->serverHost = sourceHost(msg);
  self->serverPort = sourcePort(msg);
  if (self->serverAddress)
    lo_address_free(self->serverAddress);
  self->serverAddress = lo_address_new(self->serverHost.c_str(), self->serverPort.c_str());
  return 0;
}

int NsmClient::onOpen(const char* path, const char*, lo_arg** argv, int, lo_message msg, void* data)
{
  NsmClient* self = static_cast<NsmClient*>(data);
  if (!self->fromManager(msg, path))
    return 0;
  self->id = str(argv[2]);
  char* message = nullptr;
  int r = self->openCallback ? self->openCallback(str(argv[0]), str(argv[1]), str(argv[2]), &message,
                                                  self->userData)
                             : 0;
  self->answer(path, r, message);
  free(message);
  return 0;
}

int NsmClient::onSave(const char* path, const char*, lo_arg**, int, lo_message msg, void* data)
{
  NsmClient* self = static_cast<NsmClient*>(data);
  if (!self->fromManager(msg, path))
    return 0;
  char* message = nullptr;
  int r = self->saveCallback ? self->saveCallback(&message, self->userData) : 0;
  if (r == REPLY_LATER)
    self->saveWaiting = true;
  else
    self->answer(path, r, message);
  free(message);
  return 0;
}

void NsmClient::answerSave(int result, const char* message)
{
  if (!saveWaiting)
    return;
  saveWaiting = false;
  answer("/nsm/client/save", result, result ? message : nullptr);
}

int NsmClient::onLoaded(const char*, const char*, lo_arg**, int, lo_message, void*) { return 0; }

int NsmClient::onAnything(const char*, const char*, lo_arg**, int, lo_message, void*) { return 0; }
