#include "controller/bindinglist.hxx"

BindingList::BindingList(int capacity)
    : room(capacity > 0 ? capacity : 0), places(new std::atomic<const Binding*>[room > 0 ? room : 1])
{
  for (int i = 0; i < room; i++)
    places[i].store(nullptr, std::memory_order_relaxed);
}

bool BindingList::append(const Binding* b)
{
  const int n = used.load(std::memory_order_relaxed);
  if (!b || n >= room)
    return false;
  places[n].store(b, std::memory_order_release);
  used.store(n + 1, std::memory_order_release);
  return true;
}

const Binding* BindingList::remove(int id)
{
  const int n = used.load(std::memory_order_relaxed);
  for (int i = 0; i < n; i++) {
    const Binding* b = places[i].load(std::memory_order_relaxed);
    if (b && b->ID == id) {
      places[i].store(nullptr, std::memory_order_release);
      return b;
    }
  }
  return nullptr;
}

std::vector<Binding> BindingList::copy() const
{
  std::vector<Binding> out;
  out.reserve(used.load(std::memory_order_acquire));
  forEach([&](const Binding& b) { out.push_back(b); });
  return out;
}
