#include "support/SonRessVRN.h"

#include <sndfile.h>

#include <QFile>
#include <QtEndian>
#include <cstring>
#include <vector>

#include "platform/services.h"
#include "resources/resources_init.h"

namespace vrn {

namespace {

// The last wave file started; module-level so it outlives the call.
QByteArray& sonRess() {
  static QByteArray bytes;
  return bytes;
}

// libsndfile reads from memory through these callbacks.
struct MemoryFile {
  const QByteArray* bytes;
  sf_count_t pos = 0;
};

sf_count_t memLength(void* user) { return static_cast<MemoryFile*>(user)->bytes->size(); }

sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  const sf_count_t size = f->bytes->size();
  sf_count_t to = offset;
  if (whence == SEEK_CUR) to = f->pos + offset;
  else if (whence == SEEK_END) to = size + offset;
  if (to < 0 || to > size) return -1;
  f->pos = to;
  return f->pos;
}

sf_count_t memRead(void* ptr, sf_count_t count, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  const sf_count_t left = f->bytes->size() - f->pos;
  const sf_count_t n = count < left ? count : left;
  if (n <= 0) return 0;
  std::memcpy(ptr, f->bytes->constData() + f->pos, static_cast<size_t>(n));
  f->pos += n;
  return n;
}

sf_count_t memWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t memTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

// The sample count of the 'fact' chunk, or -1 when there is none.
qint64 factSamples(const QByteArray& wave) {
  if (wave.size() < 12 || !wave.startsWith("RIFF") || wave.mid(8, 4) != "WAVE") return -1;
  qsizetype at = 12;
  while (at + 8 <= wave.size()) {
    const QByteArray id = wave.mid(at, 4);
    const quint32 size = qFromLittleEndian<quint32>(wave.constData() + at + 4);
    if (id == "fact" && size >= 4 && at + 12 <= wave.size())
      return qFromLittleEndian<quint32>(wave.constData() + at + 8);
    at += 8 + qsizetype(size) + (size & 1);
  }
  return -1;
}

void play(int id) {
  AudioOutput* audio = services().audio;
  if (!audio || audio->deviceCount() == 0) return;
  initResources();
  QFile resource(QStringLiteral(":/sounds/%1.wav").arg(id));
  if (!resource.open(QIODevice::ReadOnly)) return;
  sonRess() = resource.readAll();
  DecodedSound sound = decodeWave(sonRess());
  if (!sound.pcm) return;
  // The output keeps its own reference until the sound stops or is cut off.
  audio->playPcm(std::move(sound.pcm), sound.sampleRate, sound.channels);
}

}  // namespace

DecodedSound decodeWave(const QByteArray& wave) {
  SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
  MemoryFile file{&wave};
  SF_INFO info{};
  SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
  if (!sf) return {};
  DecodedSound out;
  if (info.channels > 0 && info.samplerate > 0) {
    sf_count_t frames = info.frames;
    const qint64 fact = factSamples(wave);
    if (fact >= 0 && fact < frames) frames = fact;
    std::vector<short> samples(static_cast<size_t>(frames) * info.channels);
    const sf_count_t got = frames > 0 ? sf_readf_short(sf, samples.data(), frames) : 0;
    if (got > 0) {
      out.pcm = std::make_shared<const QByteArray>(reinterpret_cast<const char*>(samples.data()),
                                                   qsizetype(got) * info.channels * qsizetype(sizeof(short)));
      out.sampleRate = info.samplerate;
      out.channels = info.channels;
    }
  }
  sf_close(sf);
  return out;
}

const QByteArray& SonRess() { return sonRess(); }

void JouerSon() { play(101); }
void JouerSon2() { play(102); }

}  // namespace vrn
