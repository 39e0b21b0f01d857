#ifndef VESKO_PREFERENCES_HXX
#define VESKO_PREFERENCES_HXX

#include <string>
#include <vector>

// What the preferences file chose, held by the interface. Interface thread only.
struct Preferences {
  // 0 linear, 1 fastest sinc, 2 best sinc.
  int resampleQuality = 1;
  // Full paths of the controller maps to load when the engine is built.
  std::vector<std::string> controllerPaths;
  // Where "Save Session" creates sessions and "Load Session" starts.
  std::string projectsDir;
  bool enablePerTrackOutput = false;
};

#endif
