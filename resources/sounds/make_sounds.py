#!/usr/bin/env python3
"""Makes the program's two sounds: 101.wav (confirmation chime) and 102.wav
(end-of-run arpeggio). Python 3 standard library only; the output is
deterministic, so running it again rewrites the same bytes.

101.wav: PCM 16-bit mono 44,100 Hz, 13,600 samples, chunks fmt, fact, data.
102.wav: Microsoft ADPCM 4-bit mono 22,050 Hz, 512-byte blocks, 46,806
         samples, chunks fmt, fact, LIST/INFO (comment), DISP, data.

Usage: make_sounds.py [output folder]   (default: this script's folder)
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- synthesis


def bell(freq, t, decay):
    """A soft bell: fundamental plus two quiet overtones, each decaying."""
    if t < 0:
        return 0.0
    attack = min(1.0, t / 0.004)  # 4 ms attack, no click
    v = (math.sin(2 * math.pi * freq * t)
         + 0.35 * math.sin(2 * math.pi * 2 * freq * t) * math.exp(-t * 6)
         + 0.12 * math.sin(2 * math.pi * 3 * freq * t) * math.exp(-t * 10))
    return attack * math.exp(-t / decay) * v


def render(count, rate, notes, peak):
    """notes: (start seconds, frequency, decay seconds, gain)."""
    out = []
    fade = int(rate * 0.02)  # last 20 ms fade to silence
    for i in range(count):
        t = i / rate
        v = sum(g * bell(f, t - s, d) for s, f, d, g in notes)
        if i >= count - fade:
            v *= (count - 1 - i) / fade
        out.append(v)
    top = max(abs(v) for v in out) or 1.0
    return [int(round(v / top * peak * 32767)) for v in out]


def chime():
    # Two notes a fifth apart (E6 then B6): short and bright.
    return render(13600, 44100, [
        (0.000, 1318.51, 0.10, 0.8),
        (0.070, 1975.53, 0.09, 0.7),
    ], 0.55)


def end_sound():
    # Descending C major arpeggio (G5 E5 C5 G4) closing on a soft chord.
    return render(46806, 22050, [
        (0.00, 783.99, 0.35, 0.7),
        (0.18, 659.25, 0.35, 0.7),
        (0.36, 523.25, 0.40, 0.7),
        (0.54, 392.00, 0.55, 0.8),
        (0.80, 261.63, 0.60, 0.5),
        (0.80, 392.00, 0.60, 0.35),
        (0.80, 523.25, 0.60, 0.3),
    ], 0.6)


# ---------------------------------------------------------------- RIFF


def chunk(cid, body):
    pad = b'\0' if len(body) % 2 else b''
    return cid + struct.pack('<I', len(body)) + body + pad


def riff(chunks):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def pcm_wave(samples, rate):
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate * 2, 2, 16)
    fact = struct.pack('<I', len(samples))
    data = struct.pack('<%dh' % len(samples), *samples)
    return riff([chunk(b'fmt ', fmt), chunk(b'fact', fact), chunk(b'data', data)])


# ---------------------------------------------------------------- MS ADPCM

COEFS = [(256, 0), (512, -256), (0, 0), (192, 64), (240, 0), (460, -208), (392, -232)]
ADAPT = [230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230]
BLOCK = 512
PER_BLOCK = (BLOCK - 7) * 2 + 2  # 1012 samples in a full mono block


def clamp16(v):
    return max(-32768, min(32767, v))


def encode_run(samples, pred, delta):
    """Encodes samples[2:] after a header (pred, delta, samples[0:2]), tracking
    the decoder's state exactly. Returns (nibbles, squared error)."""
    c1, c2 = COEFS[pred]
    s2, s1 = samples[0], samples[1]
    nibbles = []
    err = 0
    for x in samples[2:]:
        p = (s1 * c1 + s2 * c2) >> 8
        n = int(round((x - p) / delta))
        n = max(-8, min(7, n))
        y = clamp16(p + n * delta)
        err += (x - y) ** 2
        nibbles.append(n & 15)
        s2, s1 = s1, y
        delta = max(16, (ADAPT[n & 15] * delta) >> 8)
    return nibbles, err


def encode_block(samples):
    best = None
    for pred in range(len(COEFS)):
        c1, c2 = COEFS[pred]
        # Start the step size near the first prediction errors.
        s2, s1 = samples[0], samples[1]
        errs = []
        for x in samples[2:18]:
            p = (s1 * c1 + s2 * c2) >> 8
            errs.append(abs(x - p))
            s2, s1 = s1, x
        guess = max(16, sum(errs) // max(1, len(errs)) // 2)
        for delta in (guess // 2, guess, guess * 2):
            delta = max(16, min(32767, delta))
            nibbles, err = encode_run(samples, pred, delta)
            if best is None or err < best[0]:
                best = (err, pred, delta, nibbles)
    _, pred, delta, nibbles = best
    if len(nibbles) % 2:
        nibbles.append(0)
    head = struct.pack('<BhhH', pred, delta, samples[1], samples[0] & 0xFFFF)
    body = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, len(nibbles), 2))
    return head + body


def adpcm_wave(samples, rate, comment, title):
    blocks = []
    for start in range(0, len(samples), PER_BLOCK):
        # The last block is filled up with silence to a whole block, as
        # common decoders expect; the fact chunk gives the true count.
        part = samples[start:start + PER_BLOCK]
        part = part + [0] * (PER_BLOCK - len(part))
        blocks.append(encode_block(part))
    data = b''.join(blocks)
    coefs = b''.join(struct.pack('<hh', a, b) for a, b in COEFS)
    fmt = struct.pack('<HHIIHHHHH', 2, 1, rate, rate * BLOCK // PER_BLOCK, BLOCK, 4,
                      4 + len(coefs), PER_BLOCK, len(COEFS)) + coefs
    fact = struct.pack('<I', len(samples))
    info = b'INFO' + chunk(b'ICMT', comment + b'\0') + chunk(b'INAM', title + b'\0')
    disp = struct.pack('<I', 1) + title + b'\0'  # CF_TEXT
    return riff([chunk(b'fmt ', fmt), chunk(b'fact', fact), chunk(b'LIST', info),
                 chunk(b'DISP', disp), chunk(b'data', data)])


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, '101.wav'), 'wb') as f:
        f.write(pcm_wave(chime(), 44100))
    with open(os.path.join(folder, '102.wav'), 'wb') as f:
        f.write(adpcm_wave(end_sound(), 22050, b'Varnelo - fin de l\'affichage automatique',
                           b'Varnelo fin'))


if __name__ == '__main__':
    main()
