#!/usr/bin/env python3
"""Compares what was recorded from the sound device with the song that was played.

    compare_recording.py <recording.raw> <song.mp3> [volume percent] [least pause, seconds]

The recording is raw s16le, 44100 Hz, 2 channels. The song is decoded with sox. Checked: how long
sound was heard (10 ms windows above a threshold, so a pause for buffering in the middle does not
count, while sound played twice or lost does), its level (RMS, scaled by the volume) and its pitch
(zero crossings) in the middle. Prints the figures; exits 1 on a mismatch."""
import array
import math
import subprocess
import sys

RATE, CHANNELS = 44100, 2


def samples(raw):
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    if sys.byteorder != "little":
        a.byteswap()
    return a


def left(a):
    return a[0::CHANNELS]


def sound_span(ch, threshold):
    first = next((i for i, v in enumerate(ch) if abs(v) > threshold), None)
    if first is None:
        return None
    last = len(ch) - 1 - next(i for i, v in enumerate(reversed(ch)) if abs(v) > threshold)
    return first, last


def rms(ch):
    return math.sqrt(sum(v * v for v in ch) / max(1, len(ch)))


def pitch(ch):
    crossings = sum(1 for a, b in zip(ch, ch[1:]) if (a < 0) != (b < 0))
    return crossings / 2 / (len(ch) / RATE)


def loud_windows(ch, threshold):
    """The 10 ms windows whose level is above the threshold, as sample lists."""
    window = RATE // 100
    return [ch[i:i + window] for i in range(0, len(ch) - window + 1, window) if rms(ch[i:i + window]) > threshold]


def describe(ch, threshold):
    span = sound_span(ch, threshold)
    loud = loud_windows(ch, threshold)
    if span is None or not loud:
        return None
    first, last = span
    # Level and pitch from the sound only (not a pause), away from its first and last tenth.
    middle = loud[len(loud) // 10: len(loud) - len(loud) // 10] or loud
    sound = [v for w in middle for v in w]
    return {"audible": len(loud) * (RATE // 100) / RATE, "seconds": (last - first + 1) / RATE,
            "rms": rms(sound), "pitch": pitch(sound),
            "starts": first / RATE, "recorded": len(ch) / RATE}


def main():
    rec_path, song = sys.argv[1], sys.argv[2]
    volume = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    least_pause = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
    with open(rec_path, "rb") as f:
        rec = left(samples(f.read()))
    ref_raw = subprocess.run(["sox", song, "-t", "raw", "-e", "signed", "-b", "16", "-c", str(CHANNELS),
                              "-r", str(RATE), "-"], check=True, capture_output=True).stdout
    ref = left(samples(ref_raw))
    threshold = 0.05 * 32768 * volume / 100
    want, got = describe(ref, threshold), describe(rec, threshold)
    print("reference: %s" % want)
    print("recorded:  %s (volume %d)" % (got, volume))
    if got is None:
        print("FAIL: nothing audible was recorded")
        return 1
    problems = []
    if abs(got["audible"] - want["audible"]) > 0.3:
        problems.append("sound for %.2f s, song %.2f s" % (got["audible"], want["audible"]))
    expected_rms = want["rms"] * volume / 100
    if abs(got["rms"] - expected_rms) > 0.1 * expected_rms:
        problems.append("level %.0f, expected %.0f" % (got["rms"], expected_rms))
    # A pause for buffering is silence between the first and the last sound.
    if least_pause > 0 and got["seconds"] - got["audible"] < least_pause:
        problems.append("no pause of %.1f s in the middle" % least_pause)
    if abs(got["pitch"] - want["pitch"]) > 0.02 * want["pitch"]:
        problems.append("pitch %.1f Hz, song %.1f Hz" % (got["pitch"], want["pitch"]))
    for p in problems:
        print("FAIL: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
