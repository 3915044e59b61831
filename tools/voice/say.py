#!/usr/bin/env python3
"""Plays messages of the speech memory image back to back into a WAV file, as PlayMessage
would append them (for review without building the simulator).

Usage: say.py LIST OUT.wav [--image FILE]    LIST: comma-separated message numbers (200 = none)
Example: say.py 110,1,91,57,200,100 reading.wav
"""
import argparse
import os
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGE = os.path.normpath(os.path.join(HERE, '..', '..', 'resources', 'voice_image.bin'))
HEADER, PAGE = 512, 528


def message(image, n):
    if n == 200:
        return b''
    lengths = image[HEADER:HEADER + n + 1]
    start = 1 + sum(lengths[:n])
    out = bytearray()
    for i in range(lengths[n] * PAGE):
        pos = HEADER + start * PAGE + i
        out.append(image[pos] if pos < len(image) else 128)
    return bytes(out)


def main():
    ap = argparse.ArgumentParser(description='messages of the speech memory image into a WAV')
    ap.add_argument('list')
    ap.add_argument('out')
    ap.add_argument('--image', default=IMAGE)
    args = ap.parse_args()
    image = open(args.image, 'rb').read()
    data = b''.join(message(image, int(x)) for x in args.list.split(',') if x.strip())
    with wave.open(args.out, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(8000)
        w.writeframes(data)


if __name__ == '__main__':
    main()
