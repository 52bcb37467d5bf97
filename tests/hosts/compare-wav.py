#!/usr/bin/env python3
"""compare-wav.py [--tolerance T] REFERENCE.wav A.wav [A2.wav ...]: compares 32-bit float WAV files.

The channels of A, A2, ... taken side by side are compared with REFERENCE's. Prints the
channel count, the frame count, how many samples differ at all and the largest difference;
exits 0 only when both hold the same channels and frames, the reference is not silent, and
no sample differs by more than T (default 0: bit for bit).
"""
import struct
import sys


def read_float_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] not in (b"RIFF", b"RF64") or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    pos, channels, bits, samples = 12, None, None, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt, channels = struct.unpack_from("<HH", body, 0)
            bits = struct.unpack_from("<H", body, 14)[0]
            if fmt == 0xFFFE:
                fmt = struct.unpack_from("<H", body, 24)[0]
            if fmt != 3 or bits != 32:
                sys.exit(f"{path}: not 32-bit float samples")
        elif tag == b"data":
            samples = struct.unpack(f"<{len(body) // 4}f", body[: len(body) // 4 * 4])
        pos += 8 + size + (size & 1)
    if channels is None or samples is None:
        sys.exit(f"{path}: no format or no data")
    return channels, samples


def main():
    args = sys.argv[1:]
    tolerance = 0.0
    if len(args) >= 2 and args[0] == "--tolerance":
        tolerance = float(args[1])
        args = args[2:]
    if len(args) < 2:
        sys.exit(__doc__)
    ca, a = read_float_wav(args[0])
    parts = [read_float_wav(path) for path in args[1:]]
    cb = sum(channels for channels, _ in parts)
    frames = min(len(samples) // channels for channels, samples in parts)
    if any(len(samples) // channels != frames for channels, samples in parts):
        print("the rendered files differ in length")
        return 1
    b = []
    for i in range(frames):
        for channels, samples in parts:
            b.extend(samples[i * channels:(i + 1) * channels])
    if ca != cb or len(a) != len(b):
        print(f"shapes differ: {ca} channels x {len(a) // ca} frames against {cb} x {len(b) // cb}")
        return 1
    raw_a = struct.pack(f"<{len(a)}f", *a)
    raw_b = struct.pack(f"<{len(b)}f", *b)
    differing = sum(1 for i in range(0, len(raw_a), 4) if raw_a[i:i + 4] != raw_b[i:i + 4])
    largest = max((abs(x - y) for x, y in zip(a, b)), default=0.0)
    peak = max((abs(x) for x in a), default=0.0)
    print(f"{ca} channels x {len(a) // ca} frames, peak {peak:.4f}; "
          f"{differing} samples differ, largest difference {largest:.3g}")
    return 0 if largest <= tolerance and peak > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
