#!/usr/bin/env python3
"""Builds the speech memory image (resource 101) from the text table.

Reads resources/voice_messages.txt (one line per message: number, TAB, Russian text),
speaks every text with espeak-ng's Russian voice, converts it with sox to 8000 Hz mono,
trims the silence before and after the speech, fits it to its fixed length in whole 528-byte
pages (a gentle sox tempo change when it is too long, trailing silence when it is short),
fades its last FADE_MS out, brings every message to the same speech level (the gated block
loudness of speech_level()), holds its peaks under PEAK_MAX with a look-ahead limiter, lifts
the faint release of a final plosive, turns it into 8-bit unsigned samples (128 = silence)
and writes the image: the 512-byte header, the directory page 0, then the messages back to
back from page 1, and the figures of every message into tools/voice/voice_levels.tsv.
The image is cut at 992,768 bytes, 384 bytes into the last page of message 112.

Before writing anything the finished bytes of every message are checked (see check()): the
speech level within LEVEL_TOLERANCE_DB of the median, no peak above PEAK_MAX, the last LAST_MS
at the noise floor of the 8-bit format and nothing but the faint end of the fade in the last
END_MS. A message that breaks one of these stops the run and nothing is written.

Only the Python standard library, espeak-ng and sox are used; the output depends only on the
table and on the espeak-ng and sox versions (no dither, no random numbers, no time stamps),
so a second run reproduces the image byte for byte.

Usage: make_voice_image.py [--table FILE] [--out FILE] [--levels FILE] [--report] [--dry-run]
"""

import argparse
import array
import math
import os
import statistics
import subprocess
import sys
from collections import deque

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..'))

MESSAGES = 113
PAGE = 528
HEADER = 512
IMAGE_SIZE = 992768           # 512 + 1880 * 528 - 384
TOTAL_PAGES = 1879
CUT_OFF = 384                 # bytes of message 112 that lie past the end of the image
RATE_HZ = 8000
VERSION_TAG = b'RU-V1.01'     # 8 characters

# The directory: the length of every message in pages. The instrument fixes messages 0-3,
# 99-102, 107, 109 and 112; the others were fitted once to the natural lengths of the
# recordings at 105 words per minute and are kept, so that re-recording never moves a message.
PAGES = [
    7, 8, 7, 5, 9, 7, 8, 7, 8, 9, 8, 15, 14, 14, 16, 15, 17, 15, 17, 16,        # 0-19
    12, 11, 9, 12, 14, 11, 13, 11,                                              # 20-27
    6, 9, 9, 12, 10, 12, 10, 12, 12,                                            # 28-36
    18, 17, 16, 19, 16, 18, 17, 18, 19,                                         # 37-45
    19, 18, 18, 20, 17, 19, 17, 19, 21,                                         # 46-54
    15, 14, 14, 17, 15, 16, 15, 16, 17,                                         # 55-63
    23, 22, 22, 24, 23, 25, 23, 25, 25,                                         # 64-72
    16, 15, 15, 18, 16, 17, 15, 17, 19,                                         # 73-81
    24, 23, 24, 25, 24, 26, 24, 25, 26,                                         # 82-90
    13, 12, 10, 13, 15, 12, 14, 13,                                             # 91-98
    21, 23, 28, 27,                                                             # 99-102
    16, 18, 27, 25, 19, 23, 31, 17, 26, 23,                                     # 103-112
]

# espeak-ng settings.
VOICE = 'ru'
SPEAK_RATE = 105
PITCH = 45
AMPLITUDE = 60

LEAD_MS = 4                   # kept (faded in) before the onset of the speech
FADE_MS = 20                  # raised-cosine fade over the end of the speech
TAIL_MS = 24                  # silence after the fade, at least (the end of every message)
AUDIBLE = 1.5                 # levels (8-bit) that count as sound when trimming
FAINT = 0.5                   # levels (8-bit) of the faintest end of a word that is kept
ONSET = 3.0                   # levels (8-bit) where a word is taken to begin
MAX_PAUSE_MS = 120            # longest pause kept inside a recording
MAX_TEMPO = 1.2               # refuse to squeeze a recording harder than this

# Loudness. Every message is scaled to the same speech level (speech_level()); those whose
# peaks would then pass PEAK_MAX are held under it by a look-ahead limiter (a smooth gain dip
# over a few milliseconds around the peak, not clipping), and scaled up again so that the
# limiter costs them as little level as it can.
TARGET_DBFS = -19.5           # speech level, dB re 128 levels
BLOCK_MS = 100
BLOCK_HOP_MS = 25
ABSOLUTE_GATE_DBFS = -50.0
RELATIVE_GATE_DB = -10.0
PEAK_MAX = 100                # largest deviation from 128 in any message
LIMIT_LOOKAHEAD_MS = 4
LIMIT_RELEASE_MS = 40

# The faint release of a final plosive, after its closure.
RELEASE_PAUSE_MS = 30
RELEASE_PEAK = 6.0
RELEASE_MAX_DB = 12.0

# The checks on the finished bytes.
LEVEL_TOLERANCE_DB = 1.5      # every message's speech level within this of the median
NOISE_FLOOR = 1               # levels from 128 that count as silence in 8-bit samples
LAST_MS = 10                  # the end of every message lies at the noise floor for this long
END_MS = 30                   # the last 30 ms hold at most the faint end of a fade:
END_PEAK_MAX = 8              # no deviation above this (-24 dB) in them


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
    return [float(v) for v in a]


def speech_level(samples):
    """The loudness of a recording as an RMS value in the samples' own units (0 for silence):
    the gating of ITU-R BS.1770 on blocks of BLOCK_MS every BLOCK_HOP_MS (blocks shorter than
    its 400 ms, since a message is a word or two). Blocks quieter than ABSOLUTE_GATE_DBFS are
    silence; of the others, those more than RELATIVE_GATE_DB under their mean power (pauses,
    the fading ends of words) are left out, and the level is the mean power of the rest. A
    block that holds a short word together with silence counts as quieter, as the ear hears a
    short sound quieter than a long one of the same strength. No frequency weighting: the
    8000 Hz recordings hold only the speech band."""
    size = BLOCK_MS * RATE_HZ // 1000
    hop = BLOCK_HOP_MS * RATE_HZ // 1000
    x = list(samples) + [0.0] * max(size - len(samples), 0)
    acc = [0.0]
    for v in x:
        acc.append(acc[-1] + v * v)
    power = [(acc[i + size] - acc[i]) / size for i in range(0, len(x) - size + 1, hop)]
    floor = (128.0 * 10 ** (ABSOLUTE_GATE_DBFS / 20)) ** 2
    power = [p for p in power if p >= floor]
    if not power:
        return 0.0
    gate = sum(power) / len(power) * 10 ** (RELATIVE_GATE_DB / 10)
    power = [p for p in power if p >= gate]
    return math.sqrt(sum(power) / len(power))


def db(level, ref=128.0):
    return 20 * math.log10(level / ref) if level > 0 else -math.inf


def trim(samples, gain):
    """The speech from LEAD_MS before its onset (the first sample of ONSET levels) to its last
    sample above the faint level (a weak final release is kept), with no pause inside longer
    than MAX_PAUSE_MS. What comes before the onset lies at the 8-bit noise floor and would
    only delay the word; the lead fades in so that the cut makes no step."""
    loud = [i for i, v in enumerate(samples) if abs(v) >= ONSET / gain]
    if not loud:
        return []
    faint = [i for i, v in enumerate(samples) if abs(v) >= FAINT / gain]
    lead = LEAD_MS * RATE_HZ // 1000
    first = max(loud[0] - lead, 0)
    out = samples[first:faint[-1] + 1]
    for k in range(min(lead, len(out))):
        out[k] *= 0.5 - 0.5 * math.cos(math.pi * (k + 1) / (lead + 1))
    return shorten_pauses(out, AUDIBLE / gain)


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


def fade_out(samples):
    """The last FADE_MS of the speech faded to zero along a raised cosine, so that a word that
    ends on a voiced sound does not stop with a step (heard as a click where the next word
    joins it)."""
    n = FADE_MS * RATE_HZ // 1000
    out = list(samples)
    m = min(n, len(out))
    for k in range(m):
        # k samples before the end: gain rises from 0 at the end to 1 at n samples before.
        out[len(out) - 1 - k] *= 0.5 - 0.5 * math.cos(math.pi * (k + 1) / (n + 1))
    return out


def limit(samples, ceiling):
    """A look-ahead peak limiter: the gain each sample needs to stay within `ceiling`, taken
    as the smallest over +-LIMIT_LOOKAHEAD_MS, averaged over a look-ahead window (a smooth dip
    around the peak) and released over LIMIT_RELEASE_MS. Never louder than the input."""
    n = len(samples)
    need = [min(1.0, ceiling / abs(v)) if v else 1.0 for v in samples]
    w = LIMIT_LOOKAHEAD_MS * RATE_HZ // 1000
    # Smallest need within +-w (a sliding minimum).
    low = [1.0] * n
    window = deque()
    for i in range(n + w):
        if i < n:
            while window and need[window[-1]] >= need[i]:
                window.pop()
            window.append(i)
        c = i - w
        if c < 0:
            continue
        while window[0] < c - w:
            window.popleft()
        low[c] = need[window[0]]
    # Moving average over w + 1 samples centred on the sample: every sample that enters the
    # average of a peak lies within +-w of it, so the average stays at or below its need.
    half = w // 2
    smooth = []
    total = 0.0
    pad = [1.0] * half + low + [1.0] * half
    for i in range(len(pad)):
        total += pad[i]
        if i >= 2 * half + 1:
            total -= pad[i - 2 * half - 1]
        if i >= 2 * half:
            smooth.append(min(total / (2 * half + 1), 1.0))
    rel = 1.0 - math.exp(-1.0 / (RATE_HZ * LIMIT_RELEASE_MS / 1000))
    out = []
    gain = 1.0
    for v, s in zip(samples, smooth):
        gain = min(s, gain + (1.0 - gain) * rel)
        out.append(v * gain)
    return out


def loudness_matched(samples, length):
    """The samples scaled to TARGET_DBFS and held under PEAK_MAX, and how far the limiter
    pulled the highest peak down (dB). The limiter lowers the level a little, so the gain is
    corrected a few times over. The level is measured as it will be heard, on the message
    with its trailing silence (`length` samples)."""
    target = 128.0 * 10 ** (TARGET_DBFS / 20)
    ceiling = PEAK_MAX - 0.5  # still PEAK_MAX after rounding
    pad = [0.0] * (length - len(samples))
    gain = target / speech_level(samples + pad)
    for _ in range(6):
        out = [v * gain for v in samples]
        peak = max(abs(v) for v in out)
        reduction = 0.0
        if peak > ceiling:
            out = limit(out, ceiling)
            reduction = 20 * math.log10(peak / ceiling)
        correction = target / speech_level(out + pad)
        if abs(correction - 1.0) < 0.002:
            break
        gain *= correction
    return out, reduction


def lift_final_release(samples):
    """A word that ends in a plosive ("пять", "девять", "двадцать") ends with the closure, a
    pause, then a faint release burst. At the common speech level that burst can fall to the
    noise floor of the 8-bit samples, and the word would be heard cut short ("пя") with a long
    silence after it. A final stretch of sound after a pause of at least RELEASE_PAUSE_MS whose
    peak lies under RELEASE_PEAK levels is raised to that peak (by RELEASE_MAX_DB at most)."""
    pause = RELEASE_PAUSE_MS * RATE_HZ // 1000
    quiet = FAINT / 2
    end = len(samples)
    loud = [i for i, v in enumerate(samples) if abs(v) >= quiet]
    if not loud:
        return samples
    # The last pause: a run of at least `pause` samples under `quiet` before the last sound.
    start = None
    run = 0
    for i in range(loud[-1], -1, -1):
        if abs(samples[i]) < quiet:
            run += 1
            if run >= pause:
                start = i + run
                break
        else:
            run = 0
    if start is None:
        return samples
    peak = max(abs(v) for v in samples[start:end])
    if peak >= RELEASE_PEAK:
        return samples
    lift = min(RELEASE_PEAK / peak, 10 ** (RELEASE_MAX_DB / 20))
    return samples[:start] + [v * lift for v in samples[start:]]


def to_bytes(samples, length):
    out = bytearray([128]) * length
    for i, v in enumerate(samples[:length]):
        q = 128 + int(math.floor(v + 0.5))
        out[i] = min(max(q, 0), 255)
    return out


def measure(data):
    """The figures the checks use, from a message's finished bytes."""
    v = [b - 128 for b in data]
    last = LAST_MS * RATE_HZ // 1000
    tail = END_MS * RATE_HZ // 1000
    end = len(v)
    while end > 0 and abs(v[end - 1]) <= NOISE_FLOOR:
        end -= 1
    return {
        'level': db(speech_level(v)),
        'peak': max(abs(x) for x in v),
        'last10': max(abs(x) for x in v[-last:]),
        'last30': max(abs(x) for x in v[-tail:]),
        'silence_ms': (len(v) - end) * 1000 / RATE_HZ,
        'gap_ms': longest_inner_silence(data) * 1000 // RATE_HZ,
    }


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


def check(figures):
    """The properties every message must have; returns the list of faults."""
    faults = []
    median = statistics.median(f['level'] for f in figures.values())
    for n, f in sorted(figures.items()):
        if abs(f['level'] - median) > LEVEL_TOLERANCE_DB:
            faults.append('message %d: speech level %.2f dBFS, %.2f dB from the median' %
                          (n, f['level'], f['level'] - median))
        if f['peak'] > PEAK_MAX:
            faults.append('message %d: peak %d over %d' % (n, f['peak'], PEAK_MAX))
        if f['last10'] > NOISE_FLOOR:
            faults.append('message %d: sound (%d) in its last %d ms' % (n, f['last10'], LAST_MS))
        if f['last30'] > END_PEAK_MAX:
            faults.append('message %d: sound (%d) in its last %d ms' % (n, f['last30'], END_MS))
    return faults


def build(table, report=False):
    texts = read_table(table)
    assert len(PAGES) == MESSAGES and sum(PAGES) == TOTAL_PAGES
    target = 128.0 * 10 ** (TARGET_DBFS / 20)
    tail = TAIL_MS * RATE_HZ // 1000
    data = {}
    fit = {}
    for n in range(MESSAGES):
        want = PAGES[n] * PAGE
        inside = want - (CUT_OFF if n == MESSAGES - 1 else 0)  # what the image holds
        raw = speak(texts[n])
        # Only a first estimate: it sets what counts as audible when trimming.
        gain0 = target / speech_level(raw)
        s = trim(raw, gain0)
        t = None
        if len(s) + tail > inside:
            t = len(s) / (inside - tail)
            while True:
                if t > MAX_TEMPO:
                    sys.exit('message %d needs tempo %.3f' % (n, t))
                s = trim(speak(texts[n], t), gain0)
                if len(s) + tail <= inside:
                    break
                t *= 1.005
        s, reduction = loudness_matched(fade_out(s), inside)
        s = lift_final_release(s)
        data[n] = to_bytes(s, want)
        fit[n] = (t, (want - len(s)) * 1000 // RATE_HZ, reduction)

    figures = {n: measure(data[n][:len(data[n]) - (CUT_OFF if n == MESSAGES - 1 else 0)])
               for n in range(MESSAGES)}
    faults = check(figures)

    image = bytearray()
    head = VERSION_TAG + b'\0'
    for num in (MESSAGES, TOTAL_PAGES, RATE_HZ):
        head += str(num).encode('ascii') + b'\0'
    head += b'\x55' * (HEADER - len(head))
    image += head
    directory = bytearray(PAGE)
    for n in range(MESSAGES):
        directory[n] = PAGES[n]
    for i in range(512, PAGE):
        directory[i] = 128
    image += directory
    for n in range(MESSAGES):
        image += data[n]
    image = image[:IMAGE_SIZE]

    levels = [f['level'] for f in figures.values()]
    median = statistics.median(levels)
    lines = ['# Speech memory image: the figures of every message, measured on its finished bytes',
             '# by tools/voice/make_voice_image.py, which rewrites this file with the image.',
             '# level: speech level (gated 100 ms blocks, see speech_level()), dB re 128 levels;',
             '# dev: from the median %.2f dBFS (spread %.2f dB, %.2f .. %.2f);'
             % (median, max(levels) - min(levels), min(levels), max(levels)),
             '# peak: largest deviation from 128; limit: how far the limiter pulled that peak down;',
             '# last10, last30: largest deviation in the last 10 / 30 ms; silence: trailing silence',
             '# (ms at the noise floor, deviation at most 1); tempo: sox tempo factor that fits the',
             '# pages (- none).',
             'msg\tpages\tlevel\tdev\tpeak\tlimit\tlast10\tlast30\tsilence\ttempo\ttext']
    for n in range(MESSAGES):
        f = figures[n]
        lines.append('%d\t%d\t%.2f\t%+.2f\t%d\t%.1f\t%d\t%d\t%.0f\t%s\t%s' % (
            n, PAGES[n], f['level'], f['level'] - median, f['peak'], fit[n][2], f['last10'],
            f['last30'], f['silence_ms'], ('%.3f' % fit[n][0]) if fit[n][0] else '-', texts[n]))
    table_text = '\n'.join(lines) + '\n'

    if report:
        used = [v[0] for v in fit.values() if v[0]]
        print('speaking rate %d wpm, pitch %d; level %.1f dBFS, peaks at most %d' % (
            SPEAK_RATE, PITCH, TARGET_DBFS, PEAK_MAX))
        if used:
            print('tempo applied to %d messages, %.3f .. %.3f' % (len(used), min(used), max(used)))
        print('speech level median %.2f dBFS, %.2f .. %.2f (spread %.2f dB)' % (
            median, min(levels), max(levels), max(levels) - min(levels)))
        for n in range(MESSAGES):
            f = figures[n]
            print('%3d %2d pages  tempo %-6s  level %6.2f (%+.2f)  peak %3d  limit %.1f dB'
                  '  pad %4d ms  gap %3d ms  last30 %d  %s' % (
                      n, PAGES[n], ('%.3f' % fit[n][0]) if fit[n][0] else '-', f['level'],
                      f['level'] - median, f['peak'], fit[n][2], fit[n][1], f['gap_ms'],
                      f['last30'], texts[n]))
    return bytes(image), table_text, faults


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--table', default=os.path.join(ROOT, 'resources', 'voice_messages.txt'))
    ap.add_argument('--out', default=os.path.join(ROOT, 'resources', 'voice_image.bin'))
    ap.add_argument('--levels', default=os.path.join(HERE, 'voice_levels.tsv'),
                    help='where to write the per-message figures')
    ap.add_argument('--report', action='store_true', help='print the fit of every message')
    ap.add_argument('--dry-run', action='store_true', help='write nothing')
    args = ap.parse_args()
    image, table_text, faults = build(args.table, args.report)
    if len(image) != IMAGE_SIZE:
        sys.exit('image is %d bytes' % len(image))
    if faults:
        print('\n'.join(faults), file=sys.stderr)
        sys.exit('%d messages break the checks; nothing written' % len(faults))
    if not args.dry_run:
        with open(args.out, 'wb') as f:
            f.write(image)
        with open(args.levels, 'w', encoding='utf-8') as f:
            f.write(table_text)


if __name__ == '__main__':
    main()
