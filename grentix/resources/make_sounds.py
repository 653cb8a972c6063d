#!/usr/bin/env python3
"""Synthesizes Grentix's six sound effects from tones, noise and envelopes.

Each effect is PCM mono with exactly the sample format and data length the
game's sound sets are made for: WATER 16-bit at 22,050 Hz, the others 8-bit
at 11,025 Hz (the game plays every effect at 11,025 Hz, so WATER sounds an
octave lower and twice as long as stored).

    make_sounds.py OUT_DIR

writes drop.wav, water.wav, boom.wav, wow.wav, coin.wav and life.wav into
OUT_DIR; they are ordinary .wav files to listen to.
"""
import math
import struct
import sys
from pathlib import Path

# name: (sample rate, bits, data bytes)
FORMATS = {
    'drop': (11025, 8, 564),
    'water': (22050, 16, 4508),
    'boom': (11025, 8, 8992),
    'wow': (11025, 8, 7552),
    'coin': (11025, 8, 5738),
    'life': (11025, 8, 16372),
}


class Noise:
    """A repeatable white noise source, so every build makes the same sounds."""
    def __init__(self, seed):
        self.state = seed

    def __call__(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def lowpass(samples, amount):
    """One-pole low-pass filter; amount 0..1, smaller is darker."""
    out, y = [], 0.0
    for x in samples:
        y += amount * (x - y)
        out.append(y)
    return out


def square(phase):
    return 1.0 if phase % 1.0 < 0.5 else -1.0


def triangle(phase):
    p = phase % 1.0
    return 4 * p - 1 if p < 0.5 else 3 - 4 * p


def drop(n, rate):
    """The fuse catching as the bomb leaves the hands: a falling blip with a fizz."""
    noise = Noise(7)
    out, phase = [], 0.0
    for i in range(n):
        t = i / rate
        phase += (1400 - 9000 * t) / rate
        env = math.exp(-t * 60)
        out.append(0.6 * env * square(phase) + 0.35 * math.exp(-t * 25) * noise())
    return out


def water(n, rate):
    """A splash: a burst of bright noise that settles, and a few bubbles."""
    noise = Noise(11)
    hiss = lowpass([noise() for _ in range(n)], 0.55)
    out = []
    for i in range(n):
        t = i / rate
        env = min(1.0, t * 400) * math.exp(-t * 28)
        bubble = 0.0
        for start, freq in ((0.02, 900), (0.045, 1300), (0.07, 1100)):
            if t > start:
                dt = t - start
                bubble += 0.3 * math.exp(-dt * 90) * math.sin(2 * math.pi * (freq + 4000 * dt) * dt)
        out.append(0.9 * env * hiss[i] + bubble)
    return out


def boom(n, rate):
    """An explosion: a low thump under rumbling noise that dies away."""
    noise = Noise(3)
    rumble = lowpass(lowpass([noise() for _ in range(n)], 0.18), 0.3)
    crack = [noise() for _ in range(n)]
    out, phase = [], 0.0
    for i in range(n):
        t = i / rate
        phase += (70 * math.exp(-t * 3) + 28) / rate
        thump = math.sin(2 * math.pi * phase) * math.exp(-t * 5)
        body = rumble[i] * 3.2 * min(1.0, t * 200) * math.exp(-t * 3.2)
        out.append(0.55 * thump + body + 0.5 * crack[i] * math.exp(-t * 45))
    return out


def wow(n, rate):
    """A cheer: a voice-like "wo-ow" whose pitch and vowel rise and fall."""
    noise = Noise(5)
    out, phase = [], 0.0
    total = n / rate
    for i in range(n):
        t = i / rate
        x = t / total
        pitch = 170 + 190 * math.sin(math.pi * min(1.0, x * 1.6)) + 20 * math.sin(2 * math.pi * 6 * t)
        phase += pitch / rate
        # the mouth opens ("o" to "a") and closes again ("u")
        opening = math.sin(math.pi * x)
        sample = 0.0
        for h in range(1, 9):
            formant = math.exp(-((h * pitch - (350 + 550 * opening)) / 300) ** 2)
            sample += (0.9 ** h + formant) * math.sin(2 * math.pi * h * phase)
        env = min(1.0, t * 30) * min(1.0, (total - t) * 6)
        out.append(env * (0.25 * sample + 0.04 * noise()))
    return out


def coin(n, rate):
    """A coin: two quick bright notes, the second ringing out."""
    out, phase = [], 0.0
    for i in range(n):
        t = i / rate
        freq = 988 if t < 0.07 else 1319
        phase += freq / rate
        env = 1.0 if t < 0.07 else math.exp(-(t - 0.07) * 6)
        out.append(0.5 * env * (0.7 * square(phase) + 0.3 * triangle(2 * phase)))
    return out


def life(n, rate):
    """A fanfare: a rising arpeggio, then the chord held and faded."""
    notes = [(0.0, 523.3), (0.11, 659.3), (0.22, 784.0), (0.33, 1046.5), (0.5, 784.0), (0.61, 1046.5)]
    chord = [523.3, 659.3, 784.0, 1046.5]
    out = []
    phases = [0.0] * (len(notes) + len(chord))
    total = n / rate
    for i in range(n):
        t = i / rate
        sample = 0.0
        for k, (start, freq) in enumerate(notes):
            end = notes[k + 1][0] if k + 1 < len(notes) else 0.72
            if start <= t < end + 0.05:
                phases[k] += freq / rate
                sample += 0.45 * square(phases[k]) * math.exp(-(t - start) * 4)
        if t >= 0.72:
            for k, freq in enumerate(chord):
                j = len(notes) + k
                phases[j] += freq * (1 + 0.003 * math.sin(2 * math.pi * 5 * t)) / rate
                sample += 0.16 * (triangle(phases[j]) + 0.4 * square(phases[j]))
            sample *= min(1.0, (total - t) / 0.5)
        out.append(sample)
    return out


EFFECTS = {'drop': drop, 'water': water, 'boom': boom, 'wow': wow, 'coin': coin, 'life': life}


def encode(samples, bits):
    peak = max(1e-9, max(abs(s) for s in samples))
    gain = 0.9 / peak
    if bits == 8:
        return bytes(max(0, min(255, round(128 + 127 * s * gain))) for s in samples)
    return b''.join(struct.pack('<h', max(-32767, min(32767, round(32767 * s * gain)))) for s in samples)


def wav(samples, rate, bits):
    data = encode(samples, bits)
    block = bits // 8
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate * block, block, bits)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data
    if len(data) % 2:
        body += b'\0'
    return b'RIFF' + struct.pack('<I', len(body)) + body


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, (rate, bits, size) in FORMATS.items():
        samples = EFFECTS[name](size // (bits // 8), rate)
        (out / f'{name}.wav').write_bytes(wav(samples, rate, bits))


if __name__ == '__main__':
    main()
