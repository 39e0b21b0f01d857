#ifndef VESKO_BINDINGLIST_HXX
#define VESKO_BINDINGLIST_HXX

#include <atomic>
#include <memory>
#include <vector>

#include "controller/binding.hxx"

// A controller's ordered input bindings, with one writer and readers on another thread and
// no lock. The places are fixed at construction and filled in order; a removed binding
// leaves its place empty instead of moving the others. So a reader on the interface thread
// walking the places while the JACK thread appends or removes sees every binding at most
// once, in order, and only bindings that are fully written (they are published with a
// release store). The bindings themselves belong to the controller and live as long as it.
class BindingList
{
public:
  // Interface thread, before the list is shared.
  explicit BindingList(int capacity);

  // The writer's thread (the interface thread before the controller is handed to the
  // engine, the JACK thread after). False when every place has been used.
  bool append(const Binding* b);
  // The writer's thread: empties the place of the first binding with this ID and returns
  // that binding, or null when none has it.
  const Binding* remove(int id);

  // Any thread: calls f(const Binding&) for each binding in order.
  template <class F> void forEach(F f) const
  {
    const int n = used.load(std::memory_order_acquire);
    for (int i = 0; i < n; i++)
      if (const Binding* b = places[i].load(std::memory_order_acquire))
        f(*b);
  }
  // Interface thread: a copy of the bindings, in order.
  std::vector<Binding> copy() const;

  int capacity() const { return room; }
  // Places used so far, empty ones included.
  int placesUsed() const { return used.load(std::memory_order_acquire); }

private:
  int room;
  std::unique_ptr<std::atomic<const Binding*>[]> places;
  std::atomic<int> used{0};
};

#endif
