#ifndef VESKO_DISKWRITER_HXX
#define VESKO_DISKWRITER_HXX

#include <string>

// Writes what the interface keeps on disk: the configuration directories and the default
// preferences (more arrives with sessions and controller maps). Interface thread only.
class DiskWriter
{
public:
  // Makes $HOME/.config/morvit/, .../vesko and .../vesko/controllers/.
  DiskWriter();

  // Writes the default preferences file, replacing any there.
  void writeDefaultConfigToUserHome();
};

// $HOME/.config/morvit/vesko, and the files and directories in it.
std::string veskoConfigDir();
std::string veskoControllersDir();
std::string veskoPreferencesPath();

#endif
