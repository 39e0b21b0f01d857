#include "diskreader.hxx"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <cjson/cJSON.h>
#include <samplerate.h>
#include <sndfile.h>

#include "audiobuffer.hxx"
#include "config.hxx"
#include "diskwriter.hxx"
#include "event.hxx"
#include "eventhandler.hxx"
#include "fileutil.hxx"
#include "guistate.hxx"
#include "logger.hxx"

namespace
{
// A name that stays inside the directory it is looked up in.
bool isPlainFileName(const char* name)
{
  return name && *name && !strchr(name, '/') && !strchr(name, '\\') && strcmp(name, ".") != 0 &&
         strcmp(name, "..") != 0;
}

void applyProjectsDir(Preferences& prefs, const char* relative)
{
  prefs.projectsDir = fileutil::home();
  if (relative)
    prefs.projectsDir += std::string("/") + relative;
}

template <class E> void toEngine(E ev) { writeToDspRingbuffer(&ev); }

// A number member, or nullptr when it is missing or of another type.
cJSON* number(cJSON* object, const char* key)
{
  cJSON* item = cJSON_GetObjectItem(object, key);
  return cJSON_IsNumber(item) ? item : nullptr;
}

// A control value from a file: 0 .. 1, whatever the file says.
float level(cJSON* item, const char* what, int track)
{
  double v = item->valuedouble;
  if (!(v >= 0.0 && v <= 1.0)) {
    VESKO_WARN("Track %i: %s %f out of range, limited to 0 .. 1", track, what, v);
    v = v > 1.0 ? 1.0 : 0.0;
  }
  return (float)v;
}

std::string baseName(const std::string& path)
{
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dirName(const std::string& path)
{
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A whole number from a file, without undefined behaviour for absurd values.
int toInt(double v)
{
  if (!(v > -2147483648.0))
    return INT32_MIN;
  if (!(v < 2147483647.0))
    return INT32_MAX;
  return (int)v;
}

// True when libsndfile found the audio data shorter than the header declares: it then
// reads what is there without an error, and only its log says so.
bool isCutShort(SNDFILE* f)
{
  char log[8192] = {};
  sf_command(f, SFC_GET_LOG_INFO, log, sizeof(log) - 1);
  for (const char* line = log; line && *line;) {
    const char* end = strchr(line, '\n');
    std::string text(line, end ? end - line : strlen(line));
    if ((text.rfind("data :", 0) == 0 || text.rfind("SSND :", 0) == 0) &&
        text.find("(should be") != std::string::npos)
      return true;
    line = end ? end + 1 : nullptr;
  }
  return false;
}

// Whole files only: a loop of more beats than this is a damaged file, not music.
const int MAX_BEATS = 65536;

// Feeds n interleaved stereo frames to a two-channel converter and appends what it makes to
// l and r; `last` says no frames follow, and drains it. Returns the converter's error or 0.
int resampleBlock(SRC_STATE* state, float ratio, const float* in, long n, bool last,
                  std::vector<float>& l, std::vector<float>& r)
{
  const long OUT = 4096;
  float out[2 * OUT];
  for (;;) {
    SRC_DATA data;
    memset(&data, 0, sizeof(data));
    data.data_in = in;
    data.input_frames = n;
    data.data_out = out;
    data.output_frames = OUT;
    data.src_ratio = ratio;
    data.end_of_input = last ? 1 : 0;
    if (int err = src_process(state, &data))
      return err;
    for (long i = 0; i < data.output_frames_gen; i++) {
      l.push_back(out[2 * i]);
      r.push_back(out[2 * i + 1]);
    }
    in += 2 * data.input_frames_used;
    n -= data.input_frames_used;
    if (n == 0 && (!last || data.output_frames_gen == 0))
      return 0;
    if (data.input_frames_used == 0 && data.output_frames_gen == 0)
      return 0; // no progress: nothing more will come
  }
}
} // namespace

DiskReader::DiskReader(DiskWriter* w) : lastSampleDir(fileutil::home()), writer(w) {}

int DiskReader::readSession(const std::string& dir)
{
  printf("DiskReader::readSession() %s\n", dir.c_str());
  sessionDir = dir;
  printf("session path: %s/session.vesko\n", dir.c_str());
  printf("audio path:  %s/audio/audio.cfg\n", dir.c_str());

  std::string text;
  if (!fileutil::readFile(dir + "/session.vesko", text)) {
    VESKO_ERROR("no session file exists!");
    return 2;
  }
  const char* end = nullptr;
  cJSON* root = cJSON_ParseWithLengthOpts(text.c_str(), text.size() + 1, &end, 0);
  if (!root) {
    VESKO_ERROR("%s %s", "Error in Session JSON before: ", end ? end : cJSON_GetErrorPtr());
    return 2;
  }
  if (!cJSON_IsObject(root)) {
    VESKO_ERROR("%s %s", "Error in Session JSON before: ", "(the session is not an object)");
    cJSON_Delete(root);
    return 2;
  }
  clipsDone = 0;
  clipsTotal = countClips(root);
  if (onProgress)
    onProgress(0, clipsTotal);
  readTracks(root);
  readMaster(root);
  cJSON_Delete(root);
  return 0;
}

// The clips a load will try: names in the grid, whatever becomes of each.
int DiskReader::countClips(cJSON* root)
{
  int total = 0;
  cJSON* tracks = cJSON_GetObjectItem(root, "tracks");
  if (!cJSON_IsArray(tracks))
    return 0;
  int t = 0;
  cJSON* track;
  cJSON_ArrayForEach(track, tracks) {
    if (t++ >= NTRACKS)
      break;
    cJSON* clips = cJSON_IsObject(track) ? cJSON_GetObjectItem(track, "clips") : nullptr;
    if (!cJSON_IsArray(clips))
      continue;
    int s = 0;
    cJSON* clip;
    cJSON_ArrayForEach(clip, clips) {
      if (s++ >= NSCENES)
        break;
      if (cJSON_IsString(clip) && clip->valuestring[0])
        total++;
    }
  }
  return total;
}

void DiskReader::readTracks(cJSON* root)
{
  cJSON* tracks = cJSON_GetObjectItem(root, "tracks");
  if (!cJSON_IsArray(tracks)) {
    VESKO_ERROR("%s", "Error getting clip");
    return;
  }
  int i = -1;
  cJSON* track;
  cJSON_ArrayForEach(track, tracks) {
    i++;
    if (i >= NTRACKS) {
      VESKO_WARN("Session has more than %d tracks; the rest are ignored", NTRACKS);
      break;
    }
    if (!cJSON_IsObject(track)) {
      VESKO_WARN("Track %i is not an object; skipped", i);
      continue;
    }
    readClips(i, track);

    cJSON* name = cJSON_GetObjectItem(track, "name");
    if (cJSON_IsString(name)) {
      if (state)
        state->tracks[i].name = name->valuestring;
    } else {
      VESKO_WARN("Track %i has no name data saved.", i);
    }

    if (cJSON* fader = number(track, "fader"))
      toEngine(EventTrackVol(i, level(fader, "fader", i)));
    else
      VESKO_WARN("Track %i has no fader data saved.", i);

    if (cJSON* pan = number(track, "pan")) {
      float p = level(pan, "pan", i);
      toEngine(EventTrackPan(i, 2.f * p - 1.f));
      VESKO_WARN("Track %i has pan %f", i, p);
    } else {
      VESKO_WARN("Track %i has no pan data saved.", i);
    }

    cJSON* sendAmount = number(track, "sendAmount");
    cJSON* sendActive = number(track, "sendActive");
    cJSON* xsideAmount = number(track, "xsideAmount");
    cJSON* keyActive = number(track, "keyActive");
    if (!sendAmount || !sendActive || !xsideAmount || !keyActive) {
      VESKO_WARN("Track %i has no send data saved.", i);
    } else {
      toEngine(EventTrackSend(i, 0, level(sendAmount, "sendAmount", i)));
      toEngine(EventTrackSendActive(i, 0, sendActive->valuedouble != 0));
      toEngine(EventTrackSendActive(i, 1, keyActive->valuedouble != 0));
      toEngine(EventTrackSend(i, 2, level(xsideAmount, "xsideAmount", i)));
    }

    if (cJSON* jackSend = number(track, "jacksendAmount"))
      toEngine(EventTrackJackSend(i, level(jackSend, "jacksendAmount", i)));
    if (cJSON* jackActive = number(track, "jacksendActive"))
      toEngine(EventTrackJackSendActivate(i, jackActive->valuedouble != 0));
  }
}

void DiskReader::readClips(int track, cJSON* trackJson)
{
  cJSON* clips = cJSON_GetObjectItem(trackJson, "clips");
  if (!cJSON_IsArray(clips))
    return;
  int scene = -1;
  cJSON* clip;
  cJSON_ArrayForEach(clip, clips) {
    scene++;
    if (scene >= NSCENES) {
      VESKO_WARN("Track %i has more than %d clips; the rest are ignored", track, NSCENES);
      break;
    }
    if (!cJSON_IsString(clip)) {
      VESKO_WARN("Track %i, clip %i is not a file name; skipped", track, scene);
    } else if (clip->valuestring[0]) {
      if (isPlainFileName(clip->valuestring))
        loadSample(track, scene, sessionDir + "/audio/" + clip->valuestring, true);
      else
        VESKO_ERROR("Track %i, clip %i: \"%s\" is not a file in the session's audio directory; refused",
                    track, scene, clip->valuestring);
      if (onProgress)
        onProgress(++clipsDone, clipsTotal);
    }
    // Serve what the engine sends back while a long session loads.
    handleGuiEvents();
  }
}

void DiskReader::readMaster(cJSON* root)
{
  cJSON* master = cJSON_GetObjectItem(root, "master");
  if (!cJSON_IsObject(master)) {
    VESKO_ERROR("%s", "Error getting master from JSON");
    return;
  }
  if (cJSON* bpm = number(master, "bpm")) {
    VESKO_NOTE("%s %i", "Session: BPM ", toInt(bpm->valuedouble));
    toEngine(EventTimeBPM((float)bpm->valuedouble));
  }
  if (cJSON* fader = number(master, "fader"))
    toEngine(EventTrackVol(-1, level(fader, "master fader", -1)));
  if (cJSON* v = number(master, "inputVolume"))
    toEngine(EventMasterInputVol(level(v, "inputVolume", -1)));
  if (cJSON* v = number(master, "inputToSndVol"))
    toEngine(EventMasterInputTo(0, level(v, "inputToSndVol", -1)));
  if (cJSON* v = number(master, "inputToXSide"))
    toEngine(EventMasterInputTo(2, level(v, "inputToXSide", -1)));
  if (cJSON* v = number(master, "inputToMixVol"))
    toEngine(EventMasterInputTo(1, level(v, "inputToMixVol", -1)));
  if (cJSON* v = number(master, "inputToSndActive"))
    toEngine(EventMasterInputToActive(0, v->valuedouble != 0));
  if (cJSON* v = number(master, "inputToKeyActive"))
    toEngine(EventMasterInputToActive(3, v->valuedouble != 0));
  if (cJSON* v = number(master, "inputToMixActive"))
    toEngine(EventMasterInputToActive(1, v->valuedouble != 0));

  cJSON* reverb = cJSON_GetObjectItem(master, "reverb");
  if (cJSON_IsObject(reverb)) {
    cJSON* active = number(reverb, "active");
    cJSON* size = number(reverb, "size");
    cJSON* wet = number(reverb, "wet");
    cJSON* damping = number(reverb, "damping");
    if (active && size && wet && damping)
      toEngine(EventFxReverb(active->valuedouble != 0, (float)size->valuedouble,
                             (float)wet->valuedouble, (float)damping->valuedouble));
  }

  cJSON* sceneNames = cJSON_GetObjectItem(master, "sceneNames");
  if (cJSON_IsArray(sceneNames)) {
    int i = -1;
    cJSON* name;
    cJSON_ArrayForEach(name, sceneNames) {
      if (++i >= NSCENES)
        break;
      if (cJSON_IsString(name) && state)
        state->master.sceneNames[i] = name->valuestring;
    }
  }
}

int DiskReader::loadSample(int track, int scene, const std::string& path, bool wholeOnly)
{
  if (track < 0 || track >= NTRACKS || scene < 0 || scene >= NSCENES) {
    VESKO_ERROR("Clip %i, %i is outside the grid; %s not loaded", track, scene, path.c_str());
    return 2;
  }
  SF_INFO info;
  memset(&info, 0, sizeof(info));
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) {
    VESKO_ERROR("File %s, Error %s", path.c_str(), sf_strerror(nullptr));
    return 2;
  }
  if (info.channels < 1 || info.frames < 0 || info.samplerate < 1) {
    VESKO_ERROR("File %s, Error %s", path.c_str(), "no audio channels");
    sf_close(f);
    return 2;
  }
  if (wholeOnly && isCutShort(f)) {
    VESKO_ERROR("Clip %i, %i: %s is truncated (shorter than its header says); the clip stays empty",
                track, scene, path.c_str());
    sf_close(f);
    return 2;
  }

  const sf_count_t frames = info.frames;
  const bool resample = samplerate > 0 && info.samplerate != samplerate;
  const float ratio = resample ? (float)samplerate / (float)info.samplerate : 1.f;
  // A header can claim any rate; the converter takes ratios up to 256 either way.
  if (resample && !src_is_valid_ratio(ratio)) {
    VESKO_ERROR("File %s, Error: a sample rate of %i Hz cannot be converted to %i Hz",
                path.c_str(), info.samplerate, samplerate);
    sf_close(f);
    return 2;
  }
  const int converter = resampleQuality == 0 ? SRC_LINEAR
                        : resampleQuality == 2 ? SRC_SINC_BEST_QUALITY
                                               : SRC_SINC_FASTEST;
  // The sinc converters resample while the file is read, both channels in one pass: they
  // work out each output frame's filter once for all channels, and no copy of the whole
  // file is made. The linear one runs afterwards, channel by channel: its two-channel form
  // reads past a one-frame input.
  SRC_STATE* stream = nullptr;
  if (resample && converter != SRC_LINEAR) {
    int err = 0;
    stream = src_new(converter, 2, &err);
    if (!stream) {
      VESKO_ERROR("File %s, Error %s", path.c_str(), src_strerror(err));
      sf_close(f);
      return 2;
    }
  }

  std::vector<float> left, right;
  // The header's frame count is only a claim: reserve what a sane file would need and let
  // the channels grow with what is really read.
  const sf_count_t MAX_RESERVE = (sf_count_t)1 << 24;
  const sf_count_t claim = frames < MAX_RESERVE ? frames : MAX_RESERVE;
  const sf_count_t wanted = stream ? (sf_count_t)((float)claim * ratio) + 16 : claim;
  const size_t reserved = (size_t)(wanted < MAX_RESERVE ? wanted : MAX_RESERVE);
  left.reserve(reserved);
  right.reserve(reserved);
  VESKO_NOTE("Loading file with  %i chnls, frames %i, bufferL size %i bufferR size %i",
             info.channels, (int)frames, (int)frames, (int)frames);

  const sf_count_t BLOCK = 4096;
  std::vector<float> block(BLOCK * info.channels), next(BLOCK * info.channels);
  std::vector<float> stereo(stream ? 2 * BLOCK : 0);
  long framesRead = 0, generated = 0;
  int err = 0;
  bool finite = true;
  sf_count_t n = sf_readf_float(f, block.data(), BLOCK);
  while (n > 0) {
    // One block ahead: the converter must be told which block is the last.
    const sf_count_t following = sf_readf_float(f, next.data(), BLOCK);
    if (stream) {
      for (sf_count_t i = 0; i < n; i++) {
        const float* frame = &block[i * info.channels];
        stereo[2 * i] = frame[0];
        stereo[2 * i + 1] = info.channels > 1 ? frame[1] : frame[0];
        finite = finite && std::isfinite(stereo[2 * i]) && std::isfinite(stereo[2 * i + 1]);
      }
      if (err == 0)
        err = resampleBlock(stream, ratio, stereo.data(), (long)n, following <= 0, left, right);
    } else {
      for (sf_count_t i = 0; i < n; i++) {
        const float* frame = &block[i * info.channels];
        const float l = frame[0], r = info.channels > 1 ? frame[1] : frame[0];
        finite = finite && std::isfinite(l) && std::isfinite(r);
        left.push_back(l);
        right.push_back(r);
      }
    }
    framesRead += (long)n;
    block.swap(next);
    n = following;
  }
  const bool readError = sf_error(f) != SF_ERR_NO_ERROR;
  if (readError)
    VESKO_ERROR("Clip %i, %i: reading %s failed: %s; the clip stays empty", track, scene,
                path.c_str(), sf_strerror(f));
  sf_close(f);
  if ((readError || !finite) && stream)
    src_delete(stream);
  if (readError)
    return 2;
  // Infinities and NaNs are not sound: once in the mix they silence or deafen everything.
  if (!finite) {
    VESKO_ERROR("Clip %i, %i: %s holds samples that are not numbers; the clip stays empty",
                track, scene, path.c_str());
    return 2;
  }

  if (resample) {
    VESKO_NOTE("%s%i%s%i", "Resampling from ", info.samplerate, " to ", samplerate);
    const long outFrames = (long)((float)framesRead * ratio);
    if (stream) {
      generated = (long)left.size();
      src_delete(stream);
      // As many frames as the rates ask for: what the converter made, cut or padded.
      left.resize(outFrames, 0.f);
      right.resize(outFrames, 0.f);
      log_message(err ? LOG_ERROR : LOG_NOTE, "Vesko", __FILE__, __func__, __LINE__, "%s%i%s%i",
                  "Resampling finished, from ", (int)framesRead, " to ",
                  (int)(generated < outFrames ? generated : outFrames));
    } else {
      for (int ch = 0; ch < 2; ch++) {
        std::vector<float>& in = ch ? right : left;
        std::vector<float> out(outFrames, 0.f);
        SRC_DATA data;
        memset(&data, 0, sizeof(data));
        data.data_in = in.data();
        data.input_frames = (long)in.size();
        data.data_out = out.data();
        data.output_frames = outFrames;
        data.src_ratio = ratio;
        err = src_simple(&data, converter, 1);
        log_message(err ? LOG_ERROR : LOG_NOTE, "Vesko", __FILE__, __func__, __LINE__, "%s%i%s%i",
                    ch ? "Resampling R finished, from " : "Resampling L finished, from ",
                    (int)data.input_frames_used, " to ", (int)data.output_frames_gen);
        in.swap(out);
      }
    }
  } else if (samplerate <= 0) {
    VESKO_WARN("The engine's sample rate is not known yet; %s is loaded without resampling",
               path.c_str());
  }

  AudioBuffer* ab = new AudioBuffer();
  ab->setLengthFrames((int64_t)left.size());
  ab->takeSamples(left, right);
  const std::string fileName = baseName(path);
  ab->setName(fileName.c_str());

  if (ab->getSize() == 0) {
    delete ab;
    return 0;
  }

  const std::string cfgPath = dirName(path) + "/audio.cfg";
  std::string cfg;
  if (!fileutil::readFile(cfgPath, cfg) || cfg.empty()) {
    VESKO_WARN("%s %s", "Empty or no audio.cfg found at ", cfgPath.c_str());
    if (askBeats(ab) != 0) {
      VESKO_WARN("cancel clicked, deleting audiobuffer");
      delete ab;
      VESKO_NOTE("AudioBuffer not loaded, missing beats info and dialog was Canceled");
      return 0;
    }
    ab->setName(fileName.c_str());
    VESKO_NOTE("AudioBuffer %s set %i beats", ab->getName(), ab->getBeats());
  } else {
    const char* end = nullptr;
    cJSON* root = cJSON_ParseWithLengthOpts(cfg.c_str(), cfg.size() + 1, &end, 0);
    if (!root) {
      VESKO_ERROR("%s %s", "Error in Sample JSON before: ", end ? end : "");
      delete ab;
      return 2;
    }
    cJSON* entry = cJSON_IsObject(root) ? cJSON_GetObjectItem(root, fileName.c_str()) : nullptr;
    bool haveBeats = false;
    if (cJSON_IsObject(entry)) {
      if (cJSON* beats = number(entry, "beats")) {
        double b = beats->valuedouble;
        if (b >= 0 && b <= MAX_BEATS) {
          ab->setBeats((int)b);
          haveBeats = true;
        } else {
          VESKO_WARN("audio.cfg: %s has %f beats, which cannot be right; ignored", fileName.c_str(), b);
        }
      }
      cJSON* name = cJSON_GetObjectItem(entry, "name");
      if (cJSON_IsString(name))
        ab->setName(name->valuestring);
    }
    cJSON_Delete(root);
    if (!haveBeats) {
      VESKO_NOTE("Warning: audio.cfg has no entry for beats.");
      if (askBeats(ab) != 0) {
        delete ab;
        VESKO_NOTE("AudioBuffer not loaded, missing beats info and dialog was Canceled");
        return 0;
      }
    }
  }

  EventLooperLoad load(track, scene, ab);
  handToEngine(&load);
  if (state)
    state->tracks[track].clipNames[scene] = ab->getName();
  lastSampleDir = dirName(path);
  return 0;
}

int DiskReader::askBeats(AudioBuffer* ab)
{
  if (ab->getBeats() <= 0) {
    ab->setBeats(0);
    if (beatsDialog)
      beatsDialog(ab);
    if (ab->getBeats() <= 0)
      ab->setBeats(-1);
  }
  return ab->getBeats() == -1 ? 2 : 0;
}

int DiskReader::loadPreferences(Preferences& prefs)
{
  std::string text;
  if (!fileutil::readFile(veskoPreferencesPath(), text) || text.empty()) {
    VESKO_WARN("Preferences, file doesn't exist: ~/.config/morvit/vesko/vesko.prefs");
    if (writer)
      writer->writeDefaultConfigToUserHome();
    // The defaults just written hold from this run on, so "Save Session" has a place to go.
    applyProjectsDir(prefs, "vesko");
    return 0;
  }

  cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
  if (!root || !cJSON_IsObject(root)) {
    VESKO_WARN("Preferences JSON not valid");
    cJSON_Delete(root);
    return 2;
  }

  if (cJSON* quality = number(root, "resampleQuality")) {
    int q = toInt(quality->valuedouble);
    resampleQuality = (q >= 0 && q <= 2) ? q : 1;
    prefs.resampleQuality = resampleQuality;
    if (q == 0)
      VESKO_NOTE("Using Linear resampling, may reduce quality. Check .config/morvit/vesko/vesko.prfs");
  }

  cJSON* controllers = cJSON_GetObjectItem(root, "defaultControllers");
  if (cJSON_IsArray(controllers)) {
    cJSON* item;
    cJSON_ArrayForEach(item, controllers) {
      if (!cJSON_IsString(item))
        continue;
      if (!isPlainFileName(item->valuestring)) {
        VESKO_WARN("Controller map name \"%s\" is not a file name in %s; skipped",
                   item->valuestring, veskoControllersDir().c_str());
        continue;
      }
      VESKO_NOTE("Loading controller %s", item->valuestring);
      prefs.controllerPaths.push_back(veskoControllersDir() + item->valuestring);
    }
  } else {
    VESKO_NOTE("No default controllers active.");
  }

  cJSON* saveDir = cJSON_GetObjectItem(root, "saveDirectory");
  applyProjectsDir(prefs, cJSON_IsString(saveDir) ? saveDir->valuestring : nullptr);

  if (cJSON* perTrack = number(root, "enablePerTrackOutput")) {
    prefs.enablePerTrackOutput = perTrack->valuedouble != 0;
    if (prefs.enablePerTrackOutput)
      VESKO_NOTE("Enabling per track output ports");
  }
  if (cJSON* metroActive = number(root, "metronomeActiveByDefault"))
    toEngine(EventMetronomeActive(metroActive->valuedouble != 0));
  if (cJSON* metroVol = number(root, "metronomeDefaultVolume"))
    toEngine(EventMetronomeVolume(toInt(metroVol->valuedouble) / 100.f));

  cJSON_Delete(root);
  return 0;
}
