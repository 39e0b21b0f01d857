#include "audiobuffer.hxx"

#include <cstring>

#include "logger.hxx"

int AudioBuffer::privateID = 0;

AudioBuffer::AudioBuffer() : ID(privateID++) {}

AudioBuffer::AudioBuffer(uint64_t size) : left(size, 0.f), right(size, 0.f) {}

void AudioBuffer::clear()
{
  beats = 0;
  lengthFrames = 0;
}

void AudioBuffer::setName(const char* n)
{
  if (!n)
    n = "";
  strncpy(name, n, NAME_LENGTH);
  name[NAME_LENGTH] = '\0';
}

int64_t AudioBuffer::getSize() const
{
  if (left.size() == right.size())
    return (int64_t)left.size();
  VESKO_WARN("left and right channels of audio buffer have different size: %i vs %i",
             (int)left.size(), (int)right.size());
  return (int64_t)(left.size() < right.size() ? left.size() : right.size());
}

void AudioBuffer::takeSamples(std::vector<float>& l, std::vector<float>& r)
{
  left.swap(l);
  right.swap(r);
}

void AudioBuffer::resizeChannels(uint64_t size)
{
  left.resize(size, 0.f);
  right.resize(size, 0.f);
}
