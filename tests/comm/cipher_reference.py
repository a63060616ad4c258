#!/usr/bin/python3
# Independent model of the body ciphers: builds the expected packets from the wire layout,
# with the openssl command line as the Blowfish and RC4 reference.
#   cipher_reference.py <Std|BF|rc4> <key text> <E|D>:<packet hex> ...
# prints one result packet (hex) per operation; exit 77 when the openssl program is absent.
import shutil
import subprocess
import sys


def openssl(args, data):
    cmd = ["openssl", "enc"] + args + ["-provider", "legacy", "-provider", "default", "-nopad"]
    return subprocess.run(cmd, input=data, stdout=subprocess.PIPE, check=True).stdout


def blowfish(key, data, decrypt):
    # Blowfish cycles its key bytes through the schedule, so an 8-byte key schedules like
    # the same 8 bytes written twice (the command line takes a 16-byte key).
    k = (key[:8] * 2).hex()
    iv = key[8:16].hex()
    return openssl(["-bf-cbc", "-K", k, "-iv", iv] + (["-d"] if decrypt else []), data)


def header_length(p, n):
    p[0:2] = n.to_bytes(2, "little")


def main():
    if shutil.which("openssl") is None:
        print("openssl program not found", file=sys.stderr)
        sys.exit(77)
    name, key = sys.argv[1], sys.argv[2].encode()
    ops = [(a.split(":")[0], bytearray.fromhex(a.split(":")[1])) for a in sys.argv[3:]]
    stream = b""
    if name == "rc4":
        total = sum(len(p) - 14 for _, p in ops)
        stream = openssl(["-rc4", "-K", key.hex()], bytes(total)) if total else b""
    pos = 0
    for op, p in ops:
        body = bytes(p[14:])
        if name == "Std":
            x = bytes(b ^ key[i % 8] for i, b in enumerate(body))
            if op == "E":
                p[7] |= 1
            p[14:] = x
        elif name == "BF":
            if op == "E":
                n = len(body)
                if n:
                    pad = (-n) % 8
                    c = blowfish(key, body + bytes(pad), False)
                    p[14:] = c + n.to_bytes(2, "little")
                    p[7] |= 1
                    header_length(p, len(p))
            else:
                n = int.from_bytes(body[-2:], "little")
                plain = blowfish(key, body[:-2], True)
                p[14:] = plain[:n]
                header_length(p, len(p))
        elif name == "rc4":
            p[14:] = bytes(b ^ stream[pos + i] for i, b in enumerate(body))
            pos += len(body)
            p[7] = (p[7] | 1) if op == "E" else (p[7] & ~1)
            header_length(p, len(p))
        print(p.hex())


main()
