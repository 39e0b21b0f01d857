#include "audioprocessor.hxx"

#include "eventhandler.hxx"

void AudioProcessor::process(unsigned int, Buffers*)
{
  dspPrint("AudioProcessor::process() not derived");
}
