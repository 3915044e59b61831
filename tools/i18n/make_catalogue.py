#!/usr/bin/env python3
"""Builds the interface's catalogues from the gettext files.

The page and the desktop app write their words in English in their sources: the page's
index.html as data-i18n="..." and data-i18n-label="..." attributes, its scripts as t('...'),
the desktop app as Tr("...") or Word("..."). This tool gathers those words (the English catalogue, written as
a .pot for translators), takes their Russian from resources/po/ru.po and the English glosses
of the speech messages from resources/voice_glosses_en.txt, and writes the page's catalogue
(a script) and the desktop app's (a C++ table). A word with no Russian, a Russian entry no
source uses, or a speech message with no gloss fails the build.

  make_catalogue.py --po ru.po --glosses FILE --voice FILE --pot OUT.pot --js OUT.js
                    --cpp OUT.cpp SOURCE...
"""
import argparse
import html
import json
import re
import sys

PATTERNS = [
    re.compile(r'data-i18n(?:-label)?="([^"]*)"'),
    re.compile(r"\bt\('((?:[^'\\]|\\.)*)'"),
    # C++: Tr("...") where it is used, Word("...") where it is only marked; adjacent literals
    # are joined, as the compiler joins them.
    re.compile(r'\b(?:Tr|Word)\(((?:\s*"(?:[^"\\]|\\.)*")+)\s*\)'),
]
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')


def unescape(text):
    return text.replace("\\'", "'").replace('\\"', '"').replace('\\\\', '\\')


def gather(sources):
    found = []
    for name in sources:
        with open(name, encoding='utf-8') as f:
            text = f.read()
        for index, pattern in enumerate(PATTERNS):
            for match in pattern.finditer(text):
                if index == 0:
                    word = html.unescape(match.group(1))
                elif index == 2:
                    word = ''.join(unescape(part) for part in LITERAL.findall(match.group(1)))
                else:
                    word = unescape(match.group(1))
                if word and word not in found:
                    found.append(word)
    return found


def po_string(lines):
    return ''.join(json.loads(line) for line in lines)


def read_po(name):
    """msgid -> msgstr of a .po file (no plural forms, no contexts)."""
    entries, key, current, parts = {}, None, None, {}
    with open(name, encoding='utf-8') as f:
        for raw in f.read().split('\n') + ['']:
            line = raw.strip()
            if line.startswith('msgid '):
                if 'msgstr' in parts:
                    entries[po_string(parts['msgid'])] = po_string(parts['msgstr'])
                parts, current = {'msgid': [line[6:]]}, 'msgid'
            elif line.startswith('msgstr '):
                parts['msgstr'], current = [line[7:]], 'msgstr'
            elif line.startswith('"') and current:
                parts[current].append(line)
            elif not line and 'msgstr' in parts:
                entries[po_string(parts['msgid'])] = po_string(parts['msgstr'])
                parts, current = {}, None
    entries.pop('', None)  # the header
    return entries


def read_numbered(name):
    table = {}
    with open(name, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\r\n')
            number, tab, text = line.partition('\t')
            if tab and number.isdigit():
                table[int(number)] = text
    return table


def po_quote(text):
    return json.dumps(text, ensure_ascii=False)


def cpp_quote(text):
    out = '"'
    for ch in text:
        if ch in '"\\':
            out += '\\' + ch
        elif ch == '\n':
            out += '\\n'
        else:
            out += ch
    return out + '"'


def main():
    parser = argparse.ArgumentParser()
    for option in ('po', 'glosses', 'voice', 'pot', 'js', 'cpp'):
        parser.add_argument('--' + option, required=True)
    parser.add_argument('sources', nargs='+')
    args = parser.parse_args()

    words = gather(args.sources)
    russian = read_po(args.po)
    voice = read_numbered(args.voice)
    glosses = read_numbered(args.glosses)
    faults = [f'no Russian for "{w}"' for w in words if not russian.get(w)]
    faults += [f'ru.po has "{w}", which no source uses' for w in russian if w not in words]
    faults += [f'speech message {n} has no gloss' for n in voice if not glosses.get(n)]
    faults += [f'gloss {n} has no speech message' for n in glosses if n not in voice]
    if faults:
        for fault in faults:
            print(f'make_catalogue: {fault}', file=sys.stderr)
        return 1
    count = max(voice) + 1

    with open(args.pot, 'w', encoding='utf-8') as f:
        f.write('# The interface\'s words, gathered from the sources by tools/i18n/make_catalogue.py.\n')
        f.write('msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n')
        for w in words:
            f.write(f'\nmsgid {po_quote(w)}\nmsgstr ""\n')

    catalogue = {
        'ru': {w: russian[w] for w in words},
        'glossEn': [glosses.get(n, '') for n in range(count)],
    }
    with open(args.js, 'w', encoding='utf-8') as f:
        f.write('// Generated by tools/i18n/make_catalogue.py from resources/po/ru.po and\n')
        f.write('// resources/voice_glosses_en.txt: do not edit.\n')
        f.write('window.DrkCatalogue = ')
        json.dump(catalogue, f, ensure_ascii=False, indent=1)
        f.write(';\n')

    with open(args.cpp, 'w', encoding='utf-8') as f:
        f.write('// Generated by tools/i18n/make_catalogue.py from resources/po/ru.po and\n')
        f.write('// resources/voice_glosses_en.txt: do not edit.\n')
        f.write('#include "i18n.h"\n\n')
        f.write('const char* const RussianTexts[][2] = {\n')
        for w in words:
            f.write(f'    {{{cpp_quote(w)}, {cpp_quote(russian[w])}}},\n')
        f.write('};\nconst int RussianTextCount = sizeof RussianTexts / sizeof RussianTexts[0];\n\n')
        f.write(f'const char* const VoiceGlossesEn[{count}] = {{\n')
        for n in range(count):
            f.write(f'    {cpp_quote(glosses.get(n, ""))},\n')
        f.write('};\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
