#!/usr/bin/python3
# Independent reader and writer of the keyed blob file (.rmf), written from the file layout
# alone; the C++ tests check their files against it in both directions.
#
#   rmf_tool.py dump FILE    checks the layout, prints the header, texts and records:
#       header SLOTS DIREND SIZE
#       text1 HEX|-             (UTF-8 of the GBK text, hex; "-" when none)
#       text2 HEX|-
#       record SLOT KEY OFFSET STORED LENGTH ALLOCATED TIME HEX
#       removed SLOT
#     exits 2 with a message on stderr when the file breaks the layout.
#   rmf_tool.py write FILE   builds a file from lines on stdin:
#       text1 HEX  /  text2 HEX  (UTF-8, hex)
#       record KEY TIME HEX
#       removed                  (a removed slot at this place in the directory)
import struct
import sys
import zlib

MAGIC = 0x5241
HEADER = 80
SLOT = 24
REMOVED = 0xFFFFFFFF


class LayoutError(Exception):
    pass


def round_up(value, unit):
    return (value + unit - 1) // unit * unit


def decode_text(stored, area):
    if stored == 0:
        return None
    if stored > 32:
        raise LayoutError("user text length %d over 32" % stored)
    raw = zlib.decompress(area[:stored])
    if not raw.endswith(b"\0") or len(raw) > 128:
        raise LayoutError("user text not a NUL-terminated text of at most 128 bytes")
    return raw[:-1].decode("gbk")


def dump(path):
    with open(path, "rb") as f:
        blob = f.read()
    if len(blob) < HEADER:
        raise LayoutError("shorter than the header")
    magic, zero, slots, dirend, size = struct.unpack_from("<HHHHI", blob, 0)
    if magic != MAGIC or zero != 0:
        raise LayoutError("bad magic")
    if dirend == 0:
        dirend = HEADER
    if dirend != HEADER + SLOT * slots or slots % 8 != 0:
        raise LayoutError("directory end %d does not match %d slots" % (dirend, slots))
    if size != len(blob):
        raise LayoutError("header size %d, file size %d" % (size, len(blob)))
    texts = []
    for at in (12, 46):
        (stored,) = struct.unpack_from("<H", blob, at)
        texts.append(decode_text(stored, blob[at + 2:at + 34]))
    out = ["header %d %d %d" % (slots, dirend, size)]
    for i, text in enumerate(texts):
        out.append("text%d %s" % (i + 1, "-" if text is None else text.encode("utf-8").hex()))

    blocks = []
    ended = False
    for i in range(slots):
        key, offset, stored, length, allocated, stamp = struct.unpack_from(
            "<6I", blob, HEADER + SLOT * i)
        if ended:
            if key != 0:
                raise LayoutError("slot %d used after the end of the used slots" % i)
            continue
        if key == 0:
            ended = True
            continue
        if key == REMOVED:
            out.append("removed %d" % i)
            continue
        if offset < dirend or offset + allocated > size:
            raise LayoutError("record %d outside the data area" % key)
        if allocated != round_up(stored, 64) or stored == 0:
            raise LayoutError("record %d allocation %d for %d bytes" % (key, allocated, stored))
        data = zlib.decompress(blob[offset:offset + stored])
        if len(data) != length:
            raise LayoutError("record %d inflates to %d, not %d" % (key, len(data), length))
        blocks.append((offset, allocated, key))
        out.append("record %d %d %d %d %d %d %d %s" % (
            i, key, offset, stored, length, allocated, stamp, data.hex()))
    # The blocks follow one another from the directory end without gaps or overlaps.
    at = dirend
    for offset, allocated, key in sorted(blocks):
        if offset != at:
            raise LayoutError("record %d at %d, expected %d" % (key, offset, at))
        at += allocated
    keys = [k for _, _, k in blocks]
    if len(set(keys)) != len(keys):
        raise LayoutError("a key is stored twice")
    print("\n".join(out))


def write(path, lines):
    texts = [b"", b""]
    entries = []  # (key, time, data) or None for a removed slot
    for line in lines:
        parts = line.split()
        if not parts:
            continue
        if parts[0] in ("text1", "text2"):
            text = bytes.fromhex(parts[1]).decode("utf-8").encode("gbk") + b"\0"
            packed = zlib.compress(text)
            if len(packed) > 32:
                raise LayoutError("user text does not fit")
            texts[int(parts[0][-1]) - 1] = packed
        elif parts[0] == "record":
            data = bytes.fromhex(parts[3]) if len(parts) > 3 else b""
            entries.append((int(parts[1]), int(parts[2]), data))
        elif parts[0] == "removed":
            entries.append(None)
        else:
            raise LayoutError("unknown line " + parts[0])
    slots = round_up(len(entries), 8)
    dirend = HEADER + SLOT * slots
    directory = bytearray()
    data_area = bytearray()
    for entry in entries:
        if entry is None:
            directory += struct.pack("<6I", REMOVED, 0, 0, 0, 0, 0)
            continue
        key, stamp, data = entry
        packed = zlib.compress(data)
        allocated = round_up(len(packed), 64)
        directory += struct.pack("<6I", key, dirend + len(data_area), len(packed), len(data),
                                 allocated, stamp)
        data_area += packed + bytes(allocated - len(packed))
    directory += bytes(SLOT * slots - len(directory))
    size = dirend + len(data_area)
    header = struct.pack("<HHHHI", MAGIC, 0, slots, dirend, size)
    for packed in texts:
        header += struct.pack("<H", len(packed)) + packed + bytes(32 - len(packed))
    assert len(header) == HEADER
    with open(path, "wb") as f:
        f.write(header + directory + data_area)


def main(argv):
    try:
        if len(argv) == 3 and argv[1] == "dump":
            dump(argv[2])
        elif len(argv) == 3 and argv[1] == "write":
            write(argv[2], sys.stdin.read().splitlines())
        else:
            sys.stderr.write("usage: rmf_tool.py dump|write FILE\n")
            return 1
    except (LayoutError, zlib.error, struct.error, UnicodeError, ValueError) as e:
        sys.stderr.write("rmf_tool: %s\n" % e)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
