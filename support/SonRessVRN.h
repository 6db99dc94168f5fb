#pragma once
// The program's two sounds, played from its embedded wave resources:
// JouerSon, the common confirmation sound, and JouerSon2, the sound at the
// end of an automatic run of list pages. Both return at once; a new sound
// cuts off the one still playing; nothing happens without an audio device.
#include <QByteArray>
#include <memory>

namespace vrn {

void JouerSon();
void JouerSon2();

// The wave file of the sound started last (empty before the first one).
const QByteArray& SonRess();

// Decodes a complete wave file to interleaved 16-bit PCM. Returns null when
// the bytes are not a readable sound. A 'fact' chunk, when present, gives the
// number of samples: compressed formats fill their last block up.
struct DecodedSound {
  std::shared_ptr<const QByteArray> pcm;
  int sampleRate = 0;
  int channels = 0;
};
DecodedSound decodeWave(const QByteArray& wave);

}  // namespace vrn
