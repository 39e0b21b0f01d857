#ifndef VESKO_TIMEOBSERVER_HXX
#define VESKO_TIMEOBSERVER_HXX

// Everything that follows musical time: told of tempo changes, transport restarts, bars
// and beats by the time manager, on the JACK thread, between the two pieces of a period
// split at a beat (so at the beat's exact sample).
class TimeObserver
{
public:
  // Interface thread, during engine construction, after the time manager exists:
  // registers the new observer with it at once. The time manager's first setFpb call
  // reaches this base class only, so an observer that needs the starting tempo must be
  // registered once more when fully built.
  TimeObserver();
  virtual ~TimeObserver() {}

  // JACK thread (and once at registration): the tempo changed.
  virtual void setFpb(double fpb) {}
  // JACK thread: the transport has just been started.
  virtual void transportRestart() {}
  // JACK thread: a bar line is being passed (always after beat()).
  virtual void bar() {}
  // JACK thread: a beat is being passed.
  virtual void beat() {}
};

#endif
