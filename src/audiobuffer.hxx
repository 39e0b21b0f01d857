#ifndef VESKO_AUDIOBUFFER_HXX
#define VESKO_AUDIOBUFFER_HXX

#include <cstdint>
#include <vector>

// The audio of one clip: two channels of equal length plus its musical facts. Made,
// resized and destroyed on the interface thread only; while a clip owns it the JACK
// thread reads and writes its samples and fields but never its size.
class AudioBuffer
{
public:
  static const int NAME_LENGTH = 20;

  // Takes an ID from the process-wide counter.
  AudioBuffer();
  // size frames of silence; takes no ID (the receiving clip gives it one).
  explicit AudioBuffer(uint64_t size);

  // beats and lengthFrames to 0; the samples stay.
  void clear();

  int getID() const { return ID; }
  void setID(int id) { ID = id; }
  int getBeats() const { return beats; }
  void setBeats(int b) { beats = b; }
  int64_t getLengthFrames() const { return lengthFrames; }
  void setLengthFrames(int64_t f) { lengthFrames = f; }

  // At most 20 characters; held in place so that no thread allocates for it.
  const char* getName() const { return name; }
  void setName(const char* n);

  std::vector<float>& getLeft() { return left; }
  std::vector<float>& getRight() { return right; }
  const std::vector<float>& getLeft() const { return left; }
  const std::vector<float>& getRight() const { return right; }

  // Capacity in frames: the channel length.
  int64_t getSize() const;

  // Interface thread: swaps the channels' contents with l and r (no copy).
  void takeSamples(std::vector<float>& l, std::vector<float>& r);
  // Interface thread: both channels to size frames, new frames silent.
  void resizeChannels(uint64_t size);

private:
  static int privateID;

  int ID = 0;
  int beats = 0;
  int64_t lengthFrames = 0;
  char name[NAME_LENGTH + 1] = {};
  std::vector<float> left;
  std::vector<float> right;
};

#endif
