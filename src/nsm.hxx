#ifndef VESKO_NSM_HXX
#define VESKO_NSM_HXX

#include <string>

#include <lo/lo.h>

// The client side of the NSM session-manager protocol over OSC. Interface thread only: its
// server has no thread of its own and is polled from a toolkit timeout.
class NsmClient
{
public:
  // Called with (project path, display name, client id); returns 0 or an error code and
  // may set a message.
  typedef int (*OpenCallback)(const char* path, const char* displayName, const char* clientId,
                              char** outMessage, void* userData);
  // Returns 0, an error code (with a message), or REPLY_LATER when the save goes on after
  // the callback: answerSave then replies once it is over.
  typedef int (*SaveCallback)(char** outMessage, void* userData);
  static const int REPLY_LATER = 0x7fff;

  // Reads NSM_URL: null when it is unset, malformed, or no OSC server could be made (the
  // reason is logged), in which case Vesko runs without a session manager.
  static NsmClient* create(const char* executable, OpenCallback open, SaveCallback save,
                           void* userData);

  ~NsmClient();

  // Handles every message waiting, without blocking.
  void poll();

  // Handles one OSC packet as if it had arrived on the client's port (for tests).
  void dispatch(void* data, size_t size) { lo_server_dispatch_data(server, data, size); }

  // Answers the save the manager is waiting for (nothing when none waits): "OK" for 0,
  // otherwise an error with that code and message.
  void answerSave(int result, const char* message);
  bool saveAwaitingAnswer() const { return saveWaiting; }

  bool isActive() const { return active; }
  const std::string& clientId() const { return id; }
  const std::string& managerName() const { return manager; }
  int port() const { return server ? lo_server_get_port(server) : 0; }

private:
  NsmClient() {}

  static int onError(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);
  static int onReply(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);
  static int onOpen(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);
  static int onSave(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);
  static int onLoaded(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);
  static int onAnything(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg, void* self);

  // Only the server that answered the announce may change files.
  bool fromManager(lo_message msg, const char* path);
  void answer(const char* path, int result, const char* message);

  std::string url;
  lo_server server = nullptr;
  lo_address serverAddress = nullptr;
  std::string serverHost, serverPort;
  bool active = false;
  bool saveWaiting = false;
  std::string id;
  std::string manager;
  OpenCallback openCallback = nullptr;
  SaveCallback saveCallback = nullptr;
  void* userData = nullptr;
};

#endif
