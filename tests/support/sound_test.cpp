// The two embedded sounds: their files, their decoding and how they are
// handed to the audio output.
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/testservices.h"
#include "resources/resources_init.h"
#include "support/SonRessVRN.h"

namespace vrn {
namespace {

QByteArray resource(int id) {
  initResources();
  QFile f(QStringLiteral(":/sounds/%1.wav").arg(id));
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

quint16 u16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }
qint16 s16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<qint16>(b.constData() + at); }
quint32 u32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }

struct Chunk {
  QByteArray id;
  QByteArray body;
};

// Splits bytes from `at` on into chunks, failing the test on any size that
// runs past the end, a missing pad byte or trailing bytes.
std::vector<Chunk> chunkList(const QByteArray& bytes, qsizetype at) {
  std::vector<Chunk> out;
  while (at < bytes.size()) {
    EXPECT_LE(at + 8, bytes.size()) << "chunk header cut at " << at;
    if (at + 8 > bytes.size()) break;
    const quint32 size = u32(bytes, at + 4);
    EXPECT_LE(at + 8 + qsizetype(size), bytes.size()) << bytes.mid(at, 4).toStdString();
    out.push_back({bytes.mid(at, 4), bytes.mid(at + 8, size)});
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(at, bytes.size());
  return out;
}

std::vector<Chunk> chunksOf(const QByteArray& file, const char* form) {
  EXPECT_GE(file.size(), 12);
  if (file.size() < 12) return {};
  EXPECT_EQ(file.left(4), "RIFF");
  EXPECT_EQ(u32(file, 4), quint32(file.size() - 8));
  EXPECT_EQ(file.mid(8, 4), form);
  return chunkList(file, 12);
}

QByteArray body(const std::vector<Chunk>& chunks, const char* id) {
  for (const Chunk& c : chunks)
    if (c.id == id) return c.body;
  ADD_FAILURE() << "no chunk " << id;
  return QByteArray();
}

std::vector<QByteArray> ids(const std::vector<Chunk>& chunks) {
  std::vector<QByteArray> out;
  for (const Chunk& c : chunks) out.push_back(c.id);
  return out;
}

const int kCoefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
const int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

// A plain mono MS ADPCM decoder, to cross-check the library's output.
std::vector<qint16> decodeMsAdpcm(const QByteArray& data, int blockAlign) {
  std::vector<qint16> out;
  for (qsizetype b = 0; b + 7 <= data.size(); b += blockAlign) {
    const QByteArray block = data.mid(b, blockAlign);
    const int pred = quint8(block[0]);
    if (pred > 6) {
      ADD_FAILURE() << "predictor " << pred << " in block at " << b;
      return out;
    }
    int delta = s16(block, 1);
    int s1 = s16(block, 3);
    int s2 = s16(block, 5);
    out.push_back(qint16(s2));
    out.push_back(qint16(s1));
    for (qsizetype i = 7; i < block.size(); ++i) {
      for (int nib : {quint8(block[i]) >> 4, quint8(block[i]) & 15}) {
        const int signedNib = nib >= 8 ? nib - 16 : nib;
        const int p = (s1 * kCoefs[pred][0] + s2 * kCoefs[pred][1]) >> 8;
        const int y = std::clamp(p + signedNib * delta, -32768, 32767);
        s2 = s1;
        s1 = y;
        out.push_back(qint16(y));
        delta = std::max(16, (kAdapt[nib] * delta) >> 8);
      }
    }
  }
  return out;
}

int peak(const QByteArray& pcm) {
  int top = 0;
  for (qsizetype i = 0; i + 1 < pcm.size(); i += 2) top = std::max(top, std::abs(int(s16(pcm, i))));
  return top;
}

TEST(SoundFiles, ConfirmationSoundIsPcm16Mono44100With13600Samples) {
  const QByteArray file = resource(101);
  ASSERT_FALSE(file.isEmpty());
  EXPECT_EQ(file.size(), 27256);
  const auto chunks = chunksOf(file, "WAVE");
  EXPECT_EQ(ids(chunks), (std::vector<QByteArray>{"fmt ", "fact", "data"}));
  const QByteArray fmt = body(chunks, "fmt ");
  ASSERT_EQ(fmt.size(), 16);
  EXPECT_EQ(u16(fmt, 0), 1);       // PCM
  EXPECT_EQ(u16(fmt, 2), 1);       // mono
  EXPECT_EQ(u32(fmt, 4), 44100u);  // rate
  EXPECT_EQ(u32(fmt, 8), 88200u);  // bytes per second
  EXPECT_EQ(u16(fmt, 12), 2);      // block align
  EXPECT_EQ(u16(fmt, 14), 16);     // bits
  ASSERT_EQ(body(chunks, "fact").size(), 4);
  EXPECT_EQ(u32(body(chunks, "fact"), 0), 13600u);
  const QByteArray data = body(chunks, "data");
  EXPECT_EQ(data.size(), 13600 * 2);
  EXPECT_GT(peak(data), 8000);
  // Short sounds must start and end quietly, or the speaker clicks.
  EXPECT_LT(std::abs(s16(data, 0)), 2000);
  EXPECT_LT(std::abs(s16(data, data.size() - 2)), 200);
}

TEST(SoundFiles, EndSoundIsMsAdpcmMono22050With46806Samples) {
  const QByteArray file = resource(102);
  ASSERT_FALSE(file.isEmpty());
  const auto chunks = chunksOf(file, "WAVE");
  EXPECT_EQ(ids(chunks), (std::vector<QByteArray>{"fmt ", "fact", "LIST", "DISP", "data"}));
  const QByteArray fmt = body(chunks, "fmt ");
  ASSERT_EQ(fmt.size(), 50);
  EXPECT_EQ(u16(fmt, 0), 2);       // Microsoft ADPCM
  EXPECT_EQ(u16(fmt, 2), 1);       // mono
  EXPECT_EQ(u32(fmt, 4), 22050u);  // rate
  EXPECT_EQ(u32(fmt, 8), 11155u);  // bytes per second: 22050 * 512 / 1012
  EXPECT_EQ(u16(fmt, 12), 512);    // block align
  EXPECT_EQ(u16(fmt, 14), 4);      // bits
  EXPECT_EQ(u16(fmt, 16), 32);     // extension size
  EXPECT_EQ(u16(fmt, 18), 1012);   // samples per block: (512 - 7) * 2 + 2
  ASSERT_EQ(u16(fmt, 20), 7);      // coefficient pairs
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(s16(fmt, 22 + 4 * i), kCoefs[i][0]) << "pair " << i;
    EXPECT_EQ(s16(fmt, 24 + 4 * i), kCoefs[i][1]) << "pair " << i;
  }
  ASSERT_EQ(body(chunks, "fact").size(), 4);
  EXPECT_EQ(u32(body(chunks, "fact"), 0), 46806u);

  // Comment and display chunks: an INFO list with a comment, a text display.
  const QByteArray list = body(chunks, "LIST");
  EXPECT_EQ(list.left(4), "INFO");
  const auto info = chunkList(list, 4);
  EXPECT_GT(body(info, "ICMT").size(), 1);
  const QByteArray disp = body(chunks, "DISP");
  ASSERT_GE(disp.size(), 5);
  EXPECT_EQ(u32(disp, 0), 1u);  // CF_TEXT

  // 47 blocks of 512 bytes hold the 46,806 samples; the last is filled up.
  const QByteArray data = body(chunks, "data");
  EXPECT_EQ(data.size(), 47 * 512);
  for (qsizetype b = 0; b < data.size(); b += 512) {
    EXPECT_LE(quint8(data[b]), 6) << "block at " << b;
    EXPECT_GE(s16(data, b + 1), 16) << "block at " << b;
  }
}

TEST(SoundFiles, DecodingGivesTheSamplesTheFilesHold) {
  const QByteArray pcmFile = resource(101);
  const DecodedSound chime = decodeWave(pcmFile);
  ASSERT_TRUE(chime.pcm);
  EXPECT_EQ(chime.sampleRate, 44100);
  EXPECT_EQ(chime.channels, 1);
  EXPECT_EQ(*chime.pcm, body(chunksOf(pcmFile, "WAVE"), "data"));

  const QByteArray adpcmFile = resource(102);
  const DecodedSound end = decodeWave(adpcmFile);
  ASSERT_TRUE(end.pcm);
  EXPECT_EQ(end.sampleRate, 22050);
  EXPECT_EQ(end.channels, 1);
  ASSERT_EQ(end.pcm->size(), 46806 * 2);  // the fill-up of the last block is dropped
  const std::vector<qint16> mine = decodeMsAdpcm(body(chunksOf(adpcmFile, "WAVE"), "data"), 512);
  ASSERT_GE(mine.size(), 46806u);
  qsizetype differing = 0;
  for (qsizetype i = 0; i < 46806; ++i)
    if (s16(*end.pcm, 2 * i) != mine[size_t(i)]) ++differing;
  EXPECT_EQ(differing, 0);
  EXPECT_GT(peak(*end.pcm), 8000);
}

TEST(SoundFiles, FactChunkLimitsTheSamplesAndBadBytesGiveNothing) {
  auto wave = [](int factSamples, int dataSamples) {
    QByteArray fmt(16, '\0');
    qToLittleEndian<quint16>(1, fmt.data());
    qToLittleEndian<quint16>(1, fmt.data() + 2);
    qToLittleEndian<quint32>(8000, fmt.data() + 4);
    qToLittleEndian<quint32>(16000, fmt.data() + 8);
    qToLittleEndian<quint16>(2, fmt.data() + 12);
    qToLittleEndian<quint16>(16, fmt.data() + 14);
    auto chunk = [](const QByteArray& id, const QByteArray& b) {
      QByteArray size(4, '\0');
      qToLittleEndian<quint32>(quint32(b.size()), size.data());
      return id + size + b;
    };
    QByteArray fact(4, '\0');
    qToLittleEndian<quint32>(quint32(factSamples), fact.data());
    QByteArray data;
    for (int i = 0; i < dataSamples; ++i) data += char(i + 1), data += char(0);
    QByteArray body =
        "WAVE" + chunk("fmt ", fmt) + (factSamples >= 0 ? chunk("fact", fact) : QByteArray()) + chunk("data", data);
    return chunk("RIFF", body);
  };
  DecodedSound cut = decodeWave(wave(3, 5));
  ASSERT_TRUE(cut.pcm);
  EXPECT_EQ(*cut.pcm, QByteArray("\1\0\2\0\3\0", 6));
  DecodedSound whole = decodeWave(wave(-1, 5));
  ASSERT_TRUE(whole.pcm);
  EXPECT_EQ(whole.pcm->size(), 10);
  DecodedSound longFact = decodeWave(wave(99, 5));
  ASSERT_TRUE(longFact.pcm);
  EXPECT_EQ(longFact.pcm->size(), 10);

  EXPECT_FALSE(decodeWave(QByteArray()).pcm);
  EXPECT_FALSE(decodeWave("RIFF\x04\0\0\0WAVE").pcm);
  EXPECT_FALSE(decodeWave(QByteArray(300, 'x')).pcm);
}

class SoundPlayTest : public ::testing::Test {
 protected:
  void TearDown() override { services() = Services(); }
  TestServices svc;
};

TEST_F(SoundPlayTest, WithoutAnOutputDeviceNothingPlaysOrLoads) {
  svc.audio.devices = 0;
  const QByteArray before = SonRess();
  JouerSon();
  JouerSon2();
  EXPECT_EQ(svc.audio.plays, 0);
  EXPECT_FALSE(svc.audio.current);
  EXPECT_EQ(SonRess(), before);

  services().audio = nullptr;  // no output at all: still silent, no crash
  JouerSon();
}

TEST_F(SoundPlayTest, EachCallLoadsItsWaveAndHandsItsSamplesToTheOutput) {
  svc.audio.devices = 1;
  JouerSon();
  EXPECT_EQ(svc.audio.plays, 1);
  EXPECT_EQ(SonRess(), resource(101));
  ASSERT_TRUE(svc.audio.current);
  EXPECT_EQ(svc.audio.current->size(), 13600 * 2);
  EXPECT_EQ(svc.audio.lastRate, 44100);
  EXPECT_EQ(svc.audio.lastChannels, 1);

  JouerSon2();
  EXPECT_EQ(svc.audio.plays, 2);
  EXPECT_EQ(SonRess(), resource(102));
  ASSERT_TRUE(svc.audio.current);
  EXPECT_EQ(svc.audio.current->size(), 46806 * 2);
  EXPECT_EQ(svc.audio.lastRate, 22050);
  EXPECT_EQ(svc.audio.lastChannels, 1);
}

TEST_F(SoundPlayTest, ASecondSoundCutsOffTheFirstWhoseBytesStayIntact) {
  svc.audio.devices = 2;
  JouerSon();
  const std::shared_ptr<const QByteArray> first = svc.audio.current;
  ASSERT_TRUE(first);
  const QByteArray firstCopy(first->constData(), first->size());  // a deep copy
  JouerSon();
  EXPECT_EQ(svc.audio.plays, 2);
  EXPECT_EQ(svc.audio.cutOffs, 1);
  // The second sound has its own bytes; those still held for the first are
  // neither reused nor overwritten.
  ASSERT_TRUE(svc.audio.current);
  EXPECT_NE(svc.audio.current->constData(), first->constData());
  EXPECT_EQ(std::memcmp(first->constData(), firstCopy.constData(), size_t(firstCopy.size())), 0);
  EXPECT_EQ(*svc.audio.current, firstCopy);
}

}  // namespace
}  // namespace vrn
