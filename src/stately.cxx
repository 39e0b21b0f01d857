#include "stately.hxx"

#include "event.hxx"
#include "eventhandler.hxx"
#include "jack.hxx"
#include "logger.hxx"
#include "statemanager.hxx"

int Stately::saveSuccess = 0;
int Stately::saveErrors = 0;

Stately::Stately()
{
  if (jack && jack->getStateManager())
    jack->getStateManager()->registerStately(this);
  else
    VESKO_ERROR("%s", "Stately made before the engine's state manager: it takes no part in saves");
}

Stately::~Stately()
{
  if (jack && jack->getStateManager())
    jack->getStateManager()->unregisterStately(this);
}

void Stately::success()
{
  saveSuccess++;
  checkCompletion();
}

void Stately::error(const char* /*message*/)
{
  saveErrors++;
  checkCompletion();
}

void Stately::checkCompletion()
{
  StateManager* sm = jack ? jack->getStateManager() : nullptr;
  if (!sm || saveSuccess + saveErrors < sm->count())
    return;
  sm->allAnswered();
}
