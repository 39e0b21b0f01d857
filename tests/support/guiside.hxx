#ifndef VESKO_TEST_GUISIDE_HXX
#define VESKO_TEST_GUISIDE_HXX

// Plays the interface thread's part of the buffer hand-overs, and writes down what the
// engine sent. Call drain() outside any rtcheck::ProcessScope: it allocates, as the
// interface does.

#include <cstring>
#include <string>
#include <vector>

#include <jack/ringbuffer.h>

#include "audiobuffer.hxx"
#include "event.hxx"
#include "eventhandler.hxx"

class GuiSide
{
public:
  struct Saved {
    int track, scene;
    int id, beats;
    int64_t lengthFrames;
    bool keepBuffer;
    std::vector<float> left, right;
  };

  // Answers go back to the engine through its queue; with false they wait in `answers`
  // for the test to hand to a clip itself.
  bool answerThroughQueue = true;
  bool answerRecordRequests = true;
  // Save buffers are made this many frames shorter than asked (to make them too small),
  // for every clip or only for the clip shortTrack, shortScene.
  int64_t saveBufferShortBy = 0;
  int shortTrack = -1, shortScene = -1;

  std::vector<std::string> prints;
  std::vector<int> types; // every record, in order
  std::vector<const AudioBuffer*> freed;
  std::vector<Saved> saved;
  std::vector<uint64_t> recordRequests; // sizes asked for
  std::vector<uint64_t> saveRequests;
  int finishes = 0;
  int clipsNotSaved = -1; // as the last finish said

  struct Answer {
    int type, track, scene;
    AudioBuffer* ab;
  };
  std::vector<Answer> answers;

  GuiSide() = default;
  GuiSide(const GuiSide&) = delete;
  GuiSide& operator=(const GuiSide&) = delete;
  ~GuiSide() { clear(); }

  // Forgets everything written down, frees the answers not handed over, and goes back to
  // answering through the queue.
  void clear()
  {
    for (Answer& a : answers)
      delete a.ab;
    answers.clear();
    prints.clear();
    types.clear();
    freed.clear();
    saved.clear();
    recordRequests.clear();
    saveRequests.clear();
    finishes = 0;
    answerThroughQueue = true;
    answerRecordRequests = true;
    saveBufferShortBy = 0;
    shortTrack = shortScene = -1;
  }

  void drain()
  {
    char buf[256];
    while (jack_ringbuffer_read_space(rbToGui) >= 8) {
      jack_ringbuffer_peek(rbToGui, buf, 8);
      uint32_t size = reinterpret_cast<EventBase*>(buf)->size();
      jack_ringbuffer_read(rbToGui, buf, size);
      const int type = reinterpret_cast<EventBase*>(buf)->type();
      types.push_back(type);
      switch (type) {
      case EVENT_GUI_PRINT:
        prints.push_back(reinterpret_cast<EventGuiPrint*>(buf)->getMessage());
        break;
      case EVENT_LOOPER_CLIP_REQUEST_BUFFER: {
        auto* ev = reinterpret_cast<EventLooperClipRequestBuffer*>(buf);
        recordRequests.push_back(ev->numElements);
        if (answerRecordRequests)
          answer(EVENT_LOOPER_CLIP_REQUEST_BUFFER, ev->track, ev->scene, new AudioBuffer(ev->numElements));
        break;
      }
      case EVENT_REQUEST_SAVE_BUFFER: {
        auto* ev = reinterpret_cast<EventRequestSaveBuffer*>(buf);
        saveRequests.push_back(ev->bufferSize);
        const bool shortened = shortTrack < 0 || (ev->track == shortTrack && ev->scene == shortScene);
        int64_t n = (int64_t)ev->bufferSize - (shortened ? saveBufferShortBy : 0);
        answer(EVENT_REQUEST_SAVE_BUFFER, ev->track, ev->scene, new AudioBuffer(n < 0 ? 0 : n));
        break;
      }
      case EVENT_DEALLOCATE_BUFFER: {
        auto* ev = reinterpret_cast<EventDeallocateBuffer*>(buf);
        freed.push_back(ev->ab);
        delete ev->ab;
        break;
      }
      case EVENT_STATE_SAVE_BUFFER: {
        auto* ev = reinterpret_cast<EventStateSaveBuffer*>(buf);
        AudioBuffer* ab = ev->ab;
        Saved s{ev->track, ev->scene, ab->getID(), ab->getBeats(), ab->getLengthFrames(), ev->keepBuffer, {}, {}};
        int64_t n = ab->getLengthFrames() < ab->getSize() ? ab->getLengthFrames() : ab->getSize();
        s.left.assign(ab->getLeft().begin(), ab->getLeft().begin() + n);
        s.right.assign(ab->getRight().begin(), ab->getRight().begin() + n);
        saved.push_back(std::move(s));
        if (!ev->keepBuffer)
          delete ab;
        break;
      }
      case EVENT_STATE_SAVE_FINISH:
        finishes++;
        clipsNotSaved = reinterpret_cast<EventStateSaveFinish*>(buf)->clipsNotSaved;
        break;
      default:
        break;
      }
    }
  }

  bool printed(const std::string& text) const
  {
    for (const std::string& p : prints)
      if (p == text)
        return true;
    return false;
  }
  int count(int type) const
  {
    int n = 0;
    for (int t : types)
      n += t == type;
    return n;
  }
  bool wasFreed(const AudioBuffer* b) const
  {
    for (const AudioBuffer* f : freed)
      if (f == b)
        return true;
    return false;
  }

  // Takes the oldest waiting answer of that type (null when none waits).
  AudioBuffer* take(int type)
  {
    for (size_t i = 0; i < answers.size(); i++) {
      if (answers[i].type == type) {
        AudioBuffer* ab = answers[i].ab;
        answers.erase(answers.begin() + i);
        return ab;
      }
    }
    return nullptr;
  }

private:
  void answer(int type, int track, int scene, AudioBuffer* ab)
  {
    if (!answerThroughQueue) {
      answers.push_back({type, track, scene, ab});
      return;
    }
    if (type == EVENT_LOOPER_CLIP_REQUEST_BUFFER) {
      EventLooperClipRequestBuffer ev(track, scene, 0, ab);
      writeToDspRingbuffer(&ev);
    } else {
      EventRequestSaveBuffer ev(track, scene, ab->getSize(), ab);
      writeToDspRingbuffer(&ev);
    }
  }
};

#endif
