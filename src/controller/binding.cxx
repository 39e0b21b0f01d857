#include "controller/binding.hxx"

std::atomic<int> Binding::privateID{0};

Binding::Binding() : ID(privateID.fetch_add(1, std::memory_order_relaxed)) {}

void Binding::setClipStateValue(int state, int value)
{
  if (state < 0 || state >= CLIP_STATES)
    return;
  clipState[state] = value;
  clipStateKnown |= (unsigned char)(1u << state);
}

bool Binding::clipStateValue(int state, int* value) const
{
  if (state < 0 || state >= CLIP_STATES || !(clipStateKnown & (1u << state)))
    return false;
  *value = clipState[state];
  return true;
}

int Binding::clipStateCount() const
{
  int n = 0;
  for (int s = 0; s < CLIP_STATES; s++)
    n += (clipStateKnown >> s) & 1;
  return n;
}
