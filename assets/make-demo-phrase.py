#!/usr/bin/env python3
"""Writes demo-phrase.mid: the phrase scripts/demo renders.

A Standard MIDI File of format 1 at 480 ticks a quarter: a tempo track
(96 bpm, slowing over the last bar), a chord track, a bass track and a
melody track, eight bars in 4/4. Run it again to regenerate the file.
"""
import os
import struct

TPQ = 480
BAR = 4 * TPQ


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes) in any order; ends with end-of-track."""
    events = sorted(events, key=lambda e: e[0])
    body = b""
    now = 0
    for tick, data in events:
        body += vlq(tick - now) + data
        now = tick
    body += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def tempo(tick, bpm):
    return (tick, b"\xff\x51\x03" + struct.pack(">I", round(60e6 / bpm))[1:])


def note(channel, start, length, key, velocity):
    return [(start, bytes([0x90 | channel, key, velocity])), (start + length, bytes([0x80 | channel, key, 0]))]


tempo_track = [(0, b"\xff\x58\x04\x04\x02\x18\x08"), tempo(0, 96)]
for i, bpm in enumerate([90, 84, 76, 68]):
    tempo_track.append(tempo(7 * BAR + i * TPQ, bpm))

progression = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62),
               (57, 60, 64), (50, 53, 57), (52, 56, 59), (57, 61, 64)]
chords = []
bass = []
for bar, chord in enumerate(progression):
    start = bar * BAR
    length = 2 * BAR if bar == 7 else BAR - 40
    for key in chord:
        chords += note(0, start, length, key, 64)
    root = chord[0] - 12
    bass += note(0, start, TPQ * 3 // 2, root, 100)
    bass += note(0, start + TPQ * 2, TPQ - 40, root + 7, 88)
    bass += note(0, start + TPQ * 3, TPQ // 2, root + 12, 80)

melody_notes = [
    (0, 2, 76), (2, 1, 74), (3, 1, 72), (4, 3, 71), (7, 1, 72), (8, 2, 69), (10, 2, 72), (12, 4, 76),
    (16, 2, 79), (18, 1, 77), (19, 1, 76), (20, 2, 74), (22, 2, 72), (24, 3, 71), (27, 1, 72), (28, 4, 74),
    (32, 2, 76), (34, 2, 72), (36, 2, 69), (38, 2, 72), (40, 3, 77), (43, 1, 76), (44, 4, 74),
    (48, 2, 71), (50, 2, 74), (52, 2, 76), (54, 2, 80), (56, 8, 81),
]
melody = []
for step, length, key in melody_notes:
    melody += note(0, step * TPQ // 2, length * TPQ // 2 - 30, key, 92 + (step % 4) * 6)

data = b"MThd" + struct.pack(">IHHH", 6, 1, 4, TPQ)
data += track(tempo_track) + track(chords) + track(bass) + track(melody)
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo-phrase.mid")
with open(path, "wb") as out:
    out.write(data)
print(f"{path}: {len(data)} bytes")
