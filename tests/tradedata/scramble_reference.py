#!/usr/bin/python3
"""Independent reader of the stored scrambling: the keyed 64-bit block scrambling (a DES
variant on one block) and the running-key XOR. Written from the algorithm, on Python
integers. Usage:
  scramble_reference.py selftest
  scramble_reference.py scramble KEYHEX DATAHEX     -> 16 letters
  scramble_reference.py unscramble KEYHEX LETTERS   -> 8 bytes as hex
  scramble_reference.py xor HEX                     -> hex
  scramble_reference.py batch                       (lines of the commands above on stdin)
"""
import sys

IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
      62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
      57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
      61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]
# The final permutation is the inverse of the initial one.
FP = [0] * 64
for _out, _in in enumerate(IP):
    FP[_in - 1] = _out + 1
E = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
     16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]
P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
     2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]
PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
       10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
       63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
       14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4]
PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10, 23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
       41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]
SHIFTS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]
SBOX_TEXT = """
14 4 13 1 2 15 11 8 3 10 6 12 5 9 0 7 0 15 7 4 14 2 13 1 10 6 12 11 9 5 3 8
4 1 14 8 13 6 2 11 15 12 9 7 3 10 5 0 15 12 8 2 4 9 1 7 5 11 3 14 10 0 6 13
15 1 8 14 6 11 3 4 9 7 2 13 12 0 5 10 3 13 4 7 15 2 8 14 12 0 1 10 6 9 11 5
0 14 7 11 10 4 13 1 5 8 12 6 9 3 2 15 13 8 10 1 3 15 4 2 11 6 7 12 0 5 14 9
10 0 9 14 6 3 15 5 1 13 12 7 11 4 2 8 13 7 0 9 3 4 6 10 2 8 5 14 12 11 15 1
13 6 4 9 8 15 3 0 11 1 2 12 5 10 14 7 1 10 13 0 6 9 8 7 4 15 14 3 11 5 2 12
7 13 14 3 0 6 9 10 1 2 8 5 11 12 4 15 13 8 11 5 6 15 0 3 4 7 2 12 1 10 14 9
10 6 9 0 12 11 7 13 15 1 3 14 5 2 8 4 3 15 0 6 10 1 13 8 9 4 5 11 12 7 2 14
2 12 4 1 7 10 11 6 8 5 3 15 13 0 14 9 14 11 2 12 4 7 13 1 5 0 15 10 3 9 8 6
4 2 1 11 10 13 7 8 15 9 12 5 6 3 0 14 11 8 12 7 1 14 2 13 6 15 0 9 10 4 5 3
12 1 10 15 9 2 6 8 0 13 3 4 14 7 5 11 10 15 4 2 7 12 9 5 6 1 13 14 0 11 3 8
9 14 15 5 2 8 12 3 7 0 4 10 1 13 11 6 4 3 2 12 9 5 15 10 11 14 1 7 6 0 8 13
4 11 2 14 15 0 8 13 3 12 9 7 5 10 6 1 13 0 11 7 4 9 1 10 14 3 5 12 2 15 8 6
1 4 11 13 12 3 7 14 10 15 6 8 0 5 9 2 6 11 13 8 1 4 10 7 9 5 0 15 14 2 3 12
13 2 8 4 6 15 11 1 10 9 3 14 5 0 12 7 1 15 13 8 10 3 7 4 12 5 6 11 0 14 9 2
7 11 4 1 9 12 14 2 0 6 10 13 15 3 5 8 2 1 14 7 4 10 8 13 15 12 9 0 3 5 6 11
"""
_flat = [int(x) for x in SBOX_TEXT.split()]
STANDARD_SBOX = [[_flat[b * 64 + r * 16:b * 64 + r * 16 + 16] for r in range(4)] for b in range(8)]
STORED_SBOX = [[row[:] for row in box] for box in STANDARD_SBOX]
STORED_SBOX[1][0][10] = 1  # the stored format's one deviation: box 2, row 0, column 10


def permute(value, table, width):
    """Bits of `value` (width bits, bit 1 = most significant) picked in table order."""
    out = 0
    for pos in table:
        out = (out << 1) | ((value >> (width - pos)) & 1)
    return out


def subkeys(key64):
    cd = permute(key64, PC1, 64)
    c, d = cd >> 28, cd & 0xFFFFFFF
    keys = []
    for s in SHIFTS:
        c = ((c << s) | (c >> (28 - s))) & 0xFFFFFFF
        d = ((d << s) | (d >> (28 - s))) & 0xFFFFFFF
        keys.append(permute((c << 28) | d, PC2, 56))
    return keys


def feistel(r, k, sbox):
    x = permute(r, E, 32) ^ k
    out = 0
    for b in range(8):
        six = (x >> (42 - 6 * b)) & 0x3F
        row = ((six >> 4) & 2) | (six & 1)
        col = (six >> 1) & 0xF
        out = (out << 4) | sbox[b][row][col]
    return permute(out, P, 32)


def des_block(key64, block64, decrypt=False, sbox=STORED_SBOX):
    keys = subkeys(key64)
    if decrypt:
        keys = keys[::-1]
    v = permute(block64, IP, 64)
    l, r = v >> 32, v & 0xFFFFFFFF
    for k in keys:
        l, r = r, l ^ feistel(r, k, sbox)
    return permute((r << 32) | l, FP, 64)


def prepare_key(key: bytes) -> int:
    key = key[:8]
    if b"\0" in key:
        key = key[:key.index(b"\0")]
    key = key[::-1].ljust(8, b"\0")
    return int.from_bytes(key, "big")


def scramble(key: bytes, data: bytes, sbox=STORED_SBOX) -> str:
    block = int.from_bytes(data[:8].ljust(8, b"\0"), "big")
    out = des_block(prepare_key(key), block, sbox=sbox).to_bytes(8, "big")
    letters = []
    for v in out:
        letters.append(chr(ord("z") - v // 26))
        letters.append(chr(ord("z") - v % 26))
    return "".join(letters)


def unscramble(key: bytes, letters: str, sbox=STORED_SBOX) -> bytes:
    raw = bytearray()
    for i in range(8):
        c1, c2 = ord(letters[2 * i]), ord(letters[2 * i + 1])
        raw.append((222 - ((26 * c1) % 256) - c2) % 256)
    v = des_block(prepare_key(key), int.from_bytes(raw, "big"), decrypt=True, sbox=sbox)
    return v.to_bytes(8, "big")


def xor_scramble(data: bytes) -> bytes:
    out = bytearray()
    for i, b in enumerate(data):
        if b == 0:
            break
        v = b ^ (255 - (i % 9))
        if v == 0:
            break
        out.append(v)
    return bytes(out)


def selftest():
    # Published worked example of the standard cipher.
    k, p, c = 0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405
    assert des_block(k, p, sbox=STANDARD_SBOX) == c
    assert des_block(k, c, decrypt=True, sbox=STANDARD_SBOX) == p
    # Standard test vector: all-zero key, 0x8000000000000000 plaintext.
    assert des_block(0x0101010101010101, 0x8000000000000000, sbox=STANDARD_SBOX) == 0x95F8A5E5DD31D900
    assert unscramble(b"key", scramble(b"key", b"ABCDEFGH")) == b"ABCDEFGH"
    print("ok")


def run(args):
    cmd = args[0]
    if cmd == "scramble":
        return scramble(bytes.fromhex(args[1]), bytes.fromhex(args[2]))
    if cmd == "scramble-standard":
        return scramble(bytes.fromhex(args[1]), bytes.fromhex(args[2]), STANDARD_SBOX)
    if cmd == "unscramble":
        return unscramble(bytes.fromhex(args[1]), args[2]).hex()
    if cmd == "xor":
        return xor_scramble(bytes.fromhex(args[1] if len(args) > 1 else "")).hex()
    raise SystemExit("unknown command " + cmd)


if __name__ == "__main__":
    if sys.argv[1] == "selftest":
        selftest()
    elif sys.argv[1] == "batch":
        for line in sys.stdin:
            parts = line.split()
            if parts:
                print(run(parts))
    else:
        print(run(sys.argv[1:]))
