#include "timeobserver.hxx"

#include "jack.hxx"
#include "timemanager.hxx"

TimeObserver::TimeObserver()
{
  if (jack && jack->getTimeManager())
    jack->getTimeManager()->registerObserver(this);
}
