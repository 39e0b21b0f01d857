#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include <FL/Fl.H>
#include <FL/x.H>

#include "config.hxx"
#include "diskreader.hxx"
#include "eventhandler.hxx"
#include "gui.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "signalflag.hxx"

// Runs on the interface thread once the loop has started; data is the session path.
static void gui_static_loadSession_cb(void* data)
{
  std::string* path = static_cast<std::string*>(data);
  int result = gui ? gui->getDiskReader()->readSession(*path) : 2;
  if (result != 0)
    VESKO_ERROR("Error loading session");
  delete path;
}

static void setFlushToZero()
{
#if defined(__SSE__) || defined(__x86_64__)
  // Flush-to-zero and denormals-are-zero: denormals cost hundreds of cycles each.
  _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

int main(int argc, char** argv)
{
  std::vector<std::string> sessions;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "-test") == 0)
      continue;
    if (strcmp(argv[i], "--version") == 0 || strcmp(argv[i], "-v") == 0) {
      printf("%s\n", VESKO_VERSION);
      return 0;
    }
    sessions.push_back(argv[i]);
  }

  // Lines reach a pipe or a log file as they are written.
  setvbuf(stdout, nullptr, _IOLBF, 0);

  VESKO_NOTE("Git: %s", VESKO_VERSION);

  setFlushToZero();
  installSignalHandlers();
  createEventQueues();

  // The toolkit would end the process with a terse line of its own: say what is missing.
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = getenv("DISPLAY");
    VESKO_ERROR("Cannot open the X display \"%s\": Vesko needs a graphical session (a desktop, "
                "or Xvfb for a headless machine).", name ? name : "");
    return 1;
  }
  fl_open_display(display);

  for (const std::string& s : sessions)
    Fl::add_timeout((double)(1.f / 30.f), gui_static_loadSession_cb, new std::string(s));

  Gui* g = new Gui(argv[0]);

  // Under a session manager the engine is built when it opens a project, under the name
  // it gives.
  if (!g->getNsm() && !Jack::setup(VESKO_NAME)) {
    delete g;
    return 1;
  }

  g->run();
  delete g;
  return 0;
}
