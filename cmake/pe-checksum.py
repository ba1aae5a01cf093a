"""Sets a PE file's checksum field to the value Windows' CheckSumMappedFile
computes: the 16-bit one's-complement-style sum of the file, the field itself
taken as zero, plus the file's length. GNU ld leaves the field zero, while
osslsigncode sets it when it removes a signature; with it set at link time, a
signed exe with its signature removed is the linked exe byte for byte.

    python3 pe-checksum.py FILE
"""
import struct
import sys

path = sys.argv[1]
with open(path, "rb") as f:
    image = bytearray(f.read())
# e_lfanew, then "PE\\0\\0", the 20-byte COFF header and 64 bytes of the
# optional header come before the field.
field = struct.unpack_from("<I", image, 0x3C)[0] + 4 + 20 + 64
struct.pack_into("<I", image, field, 0)
words = image + b"\0" * (len(image) % 2)
total = sum(struct.unpack_from("<%dH" % (len(words) // 2), words))
while total >> 16:
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", image, field, total + len(image))
with open(path, "wb") as f:
    f.write(image)
