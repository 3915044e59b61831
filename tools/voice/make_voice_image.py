#!/usr/bin/env python3
"""Builds the speech memory image (resource 101) from the text table.

Reads resources/voice_messages.txt (one line per message: number, TAB, Russian text),
speaks every text with espeak-ng's Russian voice, converts it with sox to 8000 Hz mono,
trims the silence before and after the speech, fits it to its length in whole 528-byte pages
(a gentle sox tempo change when it is too long, trailing silence when it is short), turns it
into 8-bit unsigned samples (128 = silence), each message scaled so that its peaks reach
PEAK_LEVEL (but boosted no more than MAX_BOOST over the gain that fits the loudest message,
so that quiet words stay quiet), and writes the image: the 512-byte header, the directory
page 0, then the messages back to back from page 1.
The image is cut at 992,768 bytes, 384 bytes into the last page of message 112.

Only the Python standard library, espeak-ng and sox are used; the output depends only on the
table and on the espeak-ng and sox versions (no dither, no random numbers, no time stamps),
so a second run reproduces the image byte for byte.

Usage: make_voice_image.py [--table FILE] [--out FILE] [--report] [--rate WPM]
"""

import argparse
import array
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..'))

MESSAGES = 113
PAGE = 528
HEADER = 512
IMAGE_SIZE = 992768           # 512 + 1880 * 528 - 384
TOTAL_PAGES = 1879
RATE_HZ = 8000
VERSION_TAG = b'RU-V1.00'     # 8 characters

# espeak-ng settings: the speaking rate (words per minute) is chosen so that the natural
# lengths of the 113 recordings add up close to the 1879 pages of the image.
VOICE = 'ru'
SPEAK_RATE = 105
PITCH = 45
AMPLITUDE = 60

# Lengths the instrument fixes.
FIXED_PAGES = {0: 7, 1: 8, 2: 7, 3: 5, 99: 21, 100: 23, 101: 28, 102: 27,
               107: 19, 109: 31, 112: 23}
SHORTEST, LONGEST = 3, 109

# Messages that stand alone (a prompt played on its own): trailing silence does no harm
# there, so they take the pages left over when the natural lengths fall short of the total.
STANDALONE = [103, 104, 105, 106, 108, 111]

PEAK_LEVEL = 92               # largest deviation from 128 in a message
MAX_BOOST = 2.0               # at most +6 dB over the gain of the loudest message
LEAD_MS = 4                   # kept before the first audible sample
TAIL_MS = 24                  # kept after the last audible sample (ends every message in silence)
AUDIBLE = 1.5                 # levels (8-bit) that count as sound when trimming
MAX_PAUSE_MS = 120             # longest pause kept inside a recording
MAX_TEMPO = 1.2               # refuse to squeeze a recording harder than this


def read_table(path):
    texts = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line.strip() or line.startswith('#'):
                continue
            num, text = line.split('\t', 1)
            texts[int(num)] = text.strip()
    if sorted(texts) != list(range(MESSAGES)):
        sys.exit('table must hold messages 0..%d exactly once' % (MESSAGES - 1))
    return texts


def espeak_text(text):
    """The text as espeak-ng is given it. The conjunction "и" that opens the fraction words
    (46-54, 73-98: "один и двадцать три сотых") is a clitic, spoken without stress; espeak-ng
    stresses a word "и" that opens an utterance, so it is given as the phoneme [[i]]."""
    if text.startswith('и '):
        return '[[i]] ' + text[2:]
    return text


def speak(text, tempo=None):
    """Speech at 8000 Hz as a list of signed 16-bit values."""
    text = espeak_text(text)
    wav = subprocess.run(['espeak-ng', '-v', VOICE, '-s', str(SPEAK_RATE), '-p', str(PITCH),
                          '-a', str(AMPLITUDE),
                          '--stdout', text], check=True, capture_output=True).stdout
    effects = []
    if tempo is not None:
        effects += ['tempo', '-s', '%.4f' % tempo]
    effects += ['rate', '-h', str(RATE_HZ)]
    raw = subprocess.run(['sox', '-D', '-t', 'wav', '-', '-t', 'raw', '-e', 'signed',
                          '-b', '16', '-c', '1', '-'] + effects,
                         input=wav, check=True, capture_output=True).stdout
    a = array.array('h')
    a.frombytes(raw)
    if sys.byteorder != 'little':
        a.byteswap()
    return list(a)


def trim(samples, gain):
    """The speech with LEAD_MS before and TAIL_MS after it (zeros where the input ends)."""
    thr = AUDIBLE / gain
    loud = [i for i, v in enumerate(samples) if abs(v) >= thr]
    if not loud:
        return []
    lead = LEAD_MS * RATE_HZ // 1000
    tail = TAIL_MS * RATE_HZ // 1000
    first = max(loud[0] - lead, 0)
    last = loud[-1] + tail
    out = samples[first:last + 1]
    out += [0] * (last + 1 - first - len(out))
    return shorten_pauses(out, thr)


def shorten_pauses(samples, thr):
    """Cuts every run of inaudible samples inside the speech down to MAX_PAUSE_MS (from its
    middle), so that no pause between two words of a reading is longer than that."""
    keep = MAX_PAUSE_MS * RATE_HZ // 1000
    out = []
    i = 0
    n = len(samples)
    while i < n:
        if abs(samples[i]) < thr:
            j = i
            while j < n and abs(samples[j]) < thr:
                j += 1
            run = samples[i:j]
            if len(run) > keep and i > 0 and j < n:
                half = keep // 2
                run = run[:half] + run[len(run) - (keep - half):]
            out += run
            i = j
        else:
            out.append(samples[i])
            i += 1
    return out


def to_bytes(samples, gain, length):
    out = bytearray([128]) * length
    for i, v in enumerate(samples[:length]):
        q = 128 + int(math.floor(v * gain + 0.5))
        out[i] = min(max(q, 0), 255)
    return out


def longest_inner_silence(data):
    """Longest run (in samples) of levels within 1 of 128 between the first and last sound."""
    idx = [i for i, b in enumerate(data) if abs(b - 128) > 1]
    if not idx:
        return 0
    best = run = 0
    for b in data[idx[0]:idx[-1] + 1]:
        run = run + 1 if abs(b - 128) <= 1 else 0
        best = max(best, run)
    return best


def choose_pages(natural):
    """Page counts: the fixed ones, and for the others the natural length rounded up, then
    evened out to the total (pages added to stand-alone prompts, or taken from the messages
    that need the gentlest squeeze)."""
    pages = {}
    for n in range(MESSAGES):
        if n in FIXED_PAGES:
            pages[n] = FIXED_PAGES[n]
        else:
            pages[n] = max(-(-natural[n] // PAGE), FIXED_PAGES[SHORTEST] + 1)
            pages[n] = min(pages[n], FIXED_PAGES[LONGEST] - 1)
    free = [n for n in range(MESSAGES) if n not in FIXED_PAGES]
    while sum(pages.values()) < TOTAL_PAGES:
        cands = [n for n in STANDALONE if pages[n] < FIXED_PAGES[LONGEST] - 1]
        if not cands:
            sys.exit('natural lengths too short for %d pages' % TOTAL_PAGES)
        n = min(cands, key=lambda m: (pages[m] * PAGE - natural[m], m))
        pages[n] += 1
    while sum(pages.values()) > TOTAL_PAGES:
        cands = [n for n in free if pages[n] - 1 > FIXED_PAGES[SHORTEST]]
        n = min(cands, key=lambda m: (natural[m] / ((pages[m] - 1) * PAGE), m))
        pages[n] -= 1
    return pages


def build(table, rate=None, report=False):
    global SPEAK_RATE
    if rate:
        SPEAK_RATE = rate
    texts = read_table(table)
    raw = {n: speak(texts[n]) for n in range(MESSAGES)}
    peaks = {n: max(abs(v) for v in raw[n]) for n in range(MESSAGES)}
    peak = max(peaks.values())
    base = PEAK_LEVEL / peak
    gains = {n: min(PEAK_LEVEL / peaks[n], base * MAX_BOOST) for n in range(MESSAGES)}
    natural = {n: len(trim(raw[n], gains[n])) for n in range(MESSAGES)}
    total_natural = sum(natural.values())
    pages = choose_pages(natural)

    assert sum(pages.values()) == TOTAL_PAGES
    assert all(pages[n] > pages[SHORTEST] for n in pages if n != SHORTEST)
    assert all(pages[n] < pages[LONGEST] for n in pages if n != LONGEST)
    data = {}
    tempo = {}
    pad = {}
    for n in range(MESSAGES):
        want = pages[n] * PAGE
        gain = gains[n]
        s = trim(raw[n], gain)
        t = None
        if len(s) > want:
            t = len(s) / want
            while True:
                if t > MAX_TEMPO:
                    if not report:
                        sys.exit('message %d needs tempo %.3f' % (n, t))
                    print('message %d needs tempo %.3f' % (n, t))
                    s = s[:want]
                    break
                s = trim(speak(texts[n], t), gain)
                if len(s) <= want:
                    break
                t *= 1.005
        tempo[n] = t
        pad[n] = want - len(s)
        data[n] = to_bytes(s, gain, want)

    image = bytearray()
    head = VERSION_TAG + b'\0'
    for num in (MESSAGES, TOTAL_PAGES, RATE_HZ):
        head += str(num).encode('ascii') + b'\0'
    head += b'\x55' * (HEADER - len(head))
    image += head
    directory = bytearray(PAGE)
    for n in range(MESSAGES):
        directory[n] = pages[n]
    for i in range(512, PAGE):
        directory[i] = 128
    image += directory
    for n in range(MESSAGES):
        image += data[n]
    image = image[:IMAGE_SIZE]

    if report:
        print('speaking rate %d wpm, pitch %d, gains %.5f .. %.5f (loudest raw peak %d)' % (
            SPEAK_RATE, PITCH, min(gains.values()), max(gains.values()), peak))
        print('natural total %d samples = %.1f pages; image pages %d' %
              (total_natural, total_natural / PAGE, sum(pages.values())))
        used = [t for t in tempo.values() if t]
        if used:
            print('tempo applied to %d messages, %.3f .. %.3f' % (len(used), min(used), max(used)))
        for n in range(MESSAGES):
            d = data[n]
            print('%3d %5.1f -> %2d pages  tempo %-6s  pad %4d ms  gap %3d ms  peak %+d/%+d  %s' % (
                n, natural[n] / PAGE, pages[n], ('%.3f' % tempo[n]) if tempo[n] else '-',
                pad[n] * 1000 // RATE_HZ,
                longest_inner_silence(d) * 1000 // RATE_HZ,
                max(d) - 128, min(d) - 128, texts[n]))
    return bytes(image)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--table', default=os.path.join(ROOT, 'resources', 'voice_messages.txt'))
    ap.add_argument('--out', default=os.path.join(ROOT, 'resources', 'voice_image.bin'))
    ap.add_argument('--rate', type=int, help='speaking rate override (for trials)')
    ap.add_argument('--report', action='store_true', help='print the fit of every message')
    ap.add_argument('--dry-run', action='store_true', help='do not write the image')
    args = ap.parse_args()
    image = build(args.table, args.rate, args.report)
    if len(image) != IMAGE_SIZE:
        sys.exit('image is %d bytes' % len(image))
    if not args.dry_run:
        with open(args.out, 'wb') as f:
            f.write(image)


if __name__ == '__main__':
    main()
