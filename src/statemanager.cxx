#include "statemanager.hxx"

#include <algorithm>

#include "event.hxx"
#include "eventhandler.hxx"
#include "gridlogic.hxx"
#include "jack.hxx"
#include "stately.hxx"

StateManager::StateManager() { statelys.reserve(NTRACKS * NSCENES); }

void StateManager::registerStately(Stately* s) { statelys.push_back(s); }

void StateManager::unregisterStately(Stately* s)
{
  statelys.erase(std::remove(statelys.begin(), statelys.end(), s), statelys.end());
}

void StateManager::save()
{
  if (saveInProgress) {
    dspPrint("Save refused: the last save is not done yet");
    return;
  }
  saveInProgress = true;
  // The last participant to answer may do so right here, which ends the save at once.
  for (size_t i = 0; i < statelys.size(); i++)
    statelys[i]->save();
  if (statelys.empty())
    saveInProgress = false;
}

void StateManager::reset()
{
  for (size_t i = 0; i < statelys.size(); i++)
    statelys[i]->reset();
  if (GridLogic* grid = jack->getGridLogic())
    grid->refreshAll();
}

void StateManager::allAnswered()
{
  finishPending = true;
  finish();
}

void StateManager::finish()
{
  EventStateSaveFinish done(Stately::saveErrors);
  if (!handToGui(&done))
    return;
  if (Stately::saveErrors != 0)
    dspPrint("Saved with %i clips !saved due to errors", Stately::saveErrors);
  Stately::saveSuccess = 0;
  Stately::saveErrors = 0;
  finishPending = false;
  saveInProgress = false;
}

void StateManager::process(int nframes)
{
  if (!saveInProgress || nframes <= 0)
    return;
  if (finishPending) {
    finish();
    return;
  }
  int64_t budget = (int64_t)SAVE_COPY_FRAMES_PER_FRAME * nframes;
  for (size_t i = 0; i < statelys.size() && budget > 0; i++)
    budget -= statelys[i]->continueSave(budget);
}
