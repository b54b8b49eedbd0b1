#!/usr/bin/python3
# Writes the engine's tables of the code pages patches may use, taken from
# Python's own codecs: cp874, cp932, cp936, cp949, cp950 and cp1250 to
# cp1258 follow Windows' tables but for the few differences set right in
# tables() below; ascii is 20127 and latin-1 is 28591.
# For reading, each page gets the characters of the bytes 0x80-0xFF and, for
# a double-byte page, its lead-byte ranges and the characters of their byte
# pairs. For writing, it gets its cells (a byte or a pair) in the order of
# their characters; where two cells give one character, the one Python's
# encoder writes, which is the one Windows writes.
# The tables are committed, so that every build and every release gets the
# same ones whatever Python its builder has; the code_page_tables test writes
# them afresh and compares. Into FOLDER go code_page_tables.cpp and, for each
# page, cpNUMBER.inc that it includes: a double-byte page's pairs one lead byte
# a line.
# Usage: make_code_pages.py FOLDER
import os
import sys

PAGES = [
    (874, "cp874", "874 (Thai)"),
    (932, "cp932", "932 (Japanese, Shift_JIS)"),
    (936, "cp936", "936 (Simplified Chinese, GBK)"),
    (949, "cp949", "949 (Korean, Unified Hangul Code)"),
    (950, "cp950", "950 (Traditional Chinese, Big5)"),
    (1250, "cp1250", "Windows-1250 (Central European)"),
    (1251, "cp1251", "Windows-1251 (Cyrillic)"),
    (1252, "cp1252", "Windows-1252 (Western European)"),
    (1253, "cp1253", "Windows-1253 (Greek)"),
    (1254, "cp1254", "Windows-1254 (Turkish)"),
    (1255, "cp1255", "Windows-1255 (Hebrew)"),
    (1256, "cp1256", "Windows-1256 (Arabic)"),
    (1257, "cp1257", "Windows-1257 (Baltic)"),
    (1258, "cp1258", "Windows-1258 (Vietnamese)"),
    (20127, "ascii", "20127 (US-ASCII)"),
    (28591, "latin-1", "28591 (ISO 8859-1, Latin 1)"),
]


def decode(data, codec):
    """The one character `data` gives, or None."""
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    return text if len(text) == 1 else None


def ranges(values):
    """Runs of consecutive values as (first, last) pairs."""
    runs = []
    for value in values:
        if runs and runs[-1][1] == value - 1:
            runs[-1][1] = value
        else:
            runs.append([value, value])
    return runs


def tables(number, codec):
    """The page's singles, lead ranges, trail range, doubles and cells in character order."""
    for byte in range(0x80):
        if decode(bytes([byte]), codec) != chr(byte) or chr(byte).encode(codec) != bytes([byte]):
            sys.exit("make_code_pages.py: %s does not keep ASCII" % codec)
    singles = [decode(bytes([byte]), codec) for byte in range(0x80, 0x100)]
    pairs = {}
    for lead in range(0x80, 0x100):
        if singles[lead - 0x80] is None:
            for trail in range(0x100):
                char = decode(bytes([lead, trail]), codec)
                if char is not None:
                    pairs[lead, trail] = char
    # Where Windows' tables are not Python's: 936 has the euro sign at 0x80,
    # which Python's GBK lacks; 950 leaves 0xC6A1-0xC7FC to characters users
    # define, where Python's gives ETEN's kana, Cyrillic and symbols.
    if number == 936:
        singles[0] = "\u20ac"
    if number == 950:
        for lead, trail in list(pairs):
            if (lead, trail) >= (0xC6, 0xA1) and (lead, trail) <= (0xC7, 0xFC):
                del pairs[lead, trail]
    leads = sorted({lead for lead, _ in pairs})
    trails = [trail for _, trail in pairs]
    first, last = (min(trails), max(trails)) if trails else (0, 0)
    doubles = [pairs.get((lead, trail)) for lead in leads for trail in range(first, last + 1)]

    # Cell numbers: the byte 0x80 + n is cell n, a pair follows the 128 bytes.
    def cell(data):
        if len(data) == 1:
            return data[0] - 0x80
        return 128 + leads.index(data[0]) * (last - first + 1) + data[1] - first

    options = {}
    for data, char in [(bytes([0x80 + n]), c) for n, c in enumerate(singles)] + \
            [(bytes(pair), c) for pair, c in sorted(pairs.items())]:
        if char is not None:
            options.setdefault(char, []).append(data)
    points = singles + doubles
    cells = []
    for char in sorted(options):
        written = options[char][0]
        if len(options[char]) > 1:
            written = char.encode(codec)
            # Windows writes a character of 932's IBM extensions (lead bytes
            # 0xFA-0xFC) as such, Python as its NEC-selected copy (0xED-0xEE);
            # and 950's box drawing characters 0xA2A4-0xA2A7 as their copies
            # with lead byte 0xF9, where Python keeps them.
            if (number == 932 and 0xED <= written[0] <= 0xEE and options[char][-1][0] >= 0xFA) or \
                    (number == 950 and b"\xa2\xa4" <= written <= b"\xa2\xa7"):
                written = options[char][-1]
        at = cell(written)
        if points[at] != char or not 0x80 <= ord(char) <= 0xFFFF:
            sys.exit("make_code_pages.py: %s writes U+%04X as another character" % (codec, ord(char)))
        cells.append(at)
    return singles, ranges(leads), (first, last), doubles, cells


def array(kind, name, values, width=24):
    lines = [",".join(str(v) for v in values[i:i + width]) for i in range(0, len(values), width)]
    return "static const %s %s[] = {\n%s};\n" % (kind, name, ",\n".join(lines))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_code_pages.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    written = "// Written by make_code_pages.py from Python's codecs.\n"
    out = [written, '#include "code_page_tables.h"\n\n']
    entries = []
    for number, codec, name in PAGES:
        singles, leads, (first, last), doubles, cells = tables(number, codec)
        code = lambda chars: [ord(char) if char is not None else 0 for char in chars]
        page = [written]
        page.append(array("unsigned short", "Singles%d" % number, code(singles)))
        fields = ["%d" % number, '"%s"' % name, "Singles%d" % number]
        if leads:
            page.append(array("unsigned char", "Leads%d" % number, [b for run in leads for b in run]))
            page.append(array("unsigned short", "Doubles%d" % number, code(doubles), last - first + 1))
            fields += ["Leads%d" % number, "%d" % len(leads), "%d" % first, "%d" % last, "Doubles%d" % number]
        else:
            fields += ["nullptr", "0", "0", "0", "nullptr"]
        if cells:
            page.append(array("unsigned short", "Cells%d" % number, cells, 192))
        fields += ["Cells%d" % number if cells else "nullptr", "%d" % len(cells)]
        entries.append("    {%s},\n" % ", ".join(fields))
        write(folder, "cp%d.inc" % number, page)
        out.append('#include "cp%d.inc"\n' % number)
    out.append("\nconst CodePageTable CodePageTables[] = {\n%s};\n" % "".join(entries))
    out.append("const unsigned CodePageTableCount = %d;\n" % len(entries))
    write(folder, "code_page_tables.cpp", out)


def write(folder, name, parts):
    with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(parts))


if __name__ == "__main__":
    main()
