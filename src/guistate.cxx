#include "guistate.hxx"

GuiState::GuiState()
{
  for (int t = 0; t < NTRACKS; t++)
    tracks[t].name = "Track " + std::to_string(t + 1);
  for (int s = 0; s < NSCENES; s++)
    master.sceneNames[s] = "Scene " + std::to_string(s + 1);
}
