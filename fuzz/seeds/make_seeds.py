#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a meaningful input: valid frames and replies, the protocol's corner cases, address
and number texts, RTF documents and fragments with pictures. The byte layouts follow the
decoders in the targets (support/FuzzInput.h: one byte for a range of up to 256 values, two for
up to 65536, four beyond). Run it again after changing a decoder; it replaces the hand-made seeds and keeps the inputs
that scripts/fuzz.sh merged in (found-*), which may then need a fresh merge.
"""

import pathlib
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent / "corpus"


def le16(v):
    return struct.pack("<H", v & 0xFFFF)


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def frame(header, payload=b""):
    return le16(len(payload) + 4) + le16(header) + payload


def xor(data):
    x = 0
    for b in data:
        x ^= b
    return x


class Corpus:
    """A target's seed folder. The hand-made seeds are written anew; inputs that fuzzing runs
    merged in (found-*) stay."""

    def __init__(self, name):
        self.dir = ROOT / name
        self.dir.mkdir(parents=True, exist_ok=True)
        for old in self.dir.iterdir():
            if not old.name.startswith("found-"):
                old.unlink()

    def add(self, name, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        (self.dir / name).write_bytes(data)


# ---------------------------------------------------------------- datagram
def datagram_seeds():
    c = Corpus("datagram")
    CB, OBS1, OBS2, REARM, RAW, SEVERAL = 0x01, 0x02, 0x04, 0x08, 0x10, 0x80

    def one(wanted, flags, data):
        return bytes([wanted, flags]) + data

    def several(wanted, flags, datagrams):
        return bytes([wanted, flags | SEVERAL]) + b"".join(le16(len(d)) + d for d in datagrams)

    c.add("two-frames", one(0x00, CB | OBS1, frame(0x10) + frame(0x20, b"\x07")))
    c.add("single-frame", one(0x00, CB, frame(0x1A, b"\x01\x02\x03\x04")))
    c.add("reply-then-unrelated", one(0x12, CB | OBS2, frame(0x12, b"\xAA") + frame(0x30, b"\x01\x02")))
    c.add("two-awaited-frames", one(0x12, CB | OBS1, frame(0x12, b"\x01") + frame(0x12, b"\x02")))
    c.add("wide-header-not-awaited", one(0x12, CB | OBS1, frame(0x0112, b"\x05")))
    c.add("header-zero-claimed", one(0x00, CB | OBS1, frame(0x0000, b"\x09") + frame(0x10)))
    c.add("empty-reply", one(0x1A, CB, frame(0x1A)))
    c.add("datalen-below-four", one(0x00, CB | OBS1, frame(0x10) + b"\x02\x00\x20\x00\x07"))
    c.add("datalen-zero", one(0x00, CB, frame(0x10) + b"\x00\x00\x10\x00"))
    c.add("datalen-past-end", one(0x00, CB, frame(0x10) + b"\x40\x00\x20\x00\x01\x02"))
    c.add("trailing-three-bytes", one(0x00, CB | OBS1, frame(0x21, b"\x01") + b"\x05\x00\x20"))
    c.add("tunnel-ack-and-data", one(0x41, CB | OBS1,
                                      frame(0x41, b"\x00\x00") + frame(0x41, b"\x63\x21\x30\x12\x60")))
    c.add("result-frame", one(0x00, RAW | CB, frame(0x20, b"\x07")))
    c.add("result-frame-wrong-length", one(0x00, RAW | CB, frame(0x20, b"\x07\x08")))
    c.add("no-callback-observers-only", one(0x00, OBS1 | OBS2, frame(0x10, b"\x12") + frame(0x31)))
    c.add("late-reply-then-next", several(0x40, CB | OBS1, [frame(0x40, b"\x01"), frame(0x40, b"\x02"),
                                                            frame(0x10)]))
    c.add("rearm-every-datagram", several(0x40, CB | REARM, [frame(0x40, b"\x01"), frame(0x40, b"\x02")]))
    c.add("empty-datagram-skipped", several(0x20, CB, [b"", frame(0x20, b"\x01")]))
    # Handheld traffic: announcement, flash reply, update-mode reply.
    c.add("handheld-announce", one(0x00, CB | OBS1, frame(0x10, b"\x01\x02\x03")))
    c.add("flash-blank-check-reply", one(0xB0, CB, frame(0xB0, b"\xE3" + le32(0x30000) + le16(256))))
    c.add("update-mode-reply", one(0x41, CB | OBS1, frame(0x41, b"\xC0\xA8\x00\x05")))
    # A full receive buffer of small frames, and one frame of the whole buffer.
    c.add("full-buffer-small-frames", one(0x00, CB | OBS1, frame(0x10) * 2048))
    c.add("full-buffer-one-frame", one(0x33, CB, frame(0x33, bytes(range(256)) * 31 + bytes(8188 - 256 * 31))))


# ---------------------------------------------------------------- handheld replies
class HH:
    """Builds an input for handheld_replies.cpp."""

    BASES = [0, 0x30000, 0x3A000, 0xFF00, 0x1FFFF, 0x7FFFFF00, 0xFFFF0000, 0xFFFFFE00,
             0xFFFFFDA8, 0xFFFFFFFF]

    def __init__(self, flags=0x00, local_ip=None, ops=1):
        self.b = bytearray([flags | (0x02 if local_ip is not None else 0)])
        if local_ip is not None:
            ip = local_ip.encode("latin-1")
            self.b += bytes([len(ip)]) + ip
        self.b.append(ops - 1)

    def byte(self, v):
        self.b.append(v & 0xFF)
        return self

    def u16(self, v):
        self.b += le16(v)
        return self

    def address(self, base, offset=0):
        return self.byte(self.BASES.index(base)).u16(offset)

    def end_len(self, length):  # read and write: begin + length, length 0..600
        return self.byte(0).u16(length)

    def end_units(self, units, extra=0x100):  # begin + units * 64 KB + extra - 0x100, units 1..2
        return self.byte(0).byte(1).byte(units - 1).u16(extra)

    def end_short(self, length):  # erase and verify: begin + length, length 0..600
        return self.byte(0).byte(0).u16(length)

    def end_same(self):
        return self.byte(6)

    def end_reversed(self, back):
        return self.byte(7).u16(back - 1)

    def ts(self, size=256):
        return self.byte(1) if size == 256 else self.byte(0).u16(size)

    def data(self, data):
        return self.u16(len(data)).raw(data)

    def raw(self, data):
        self.b += data
        return self

    def op(self, n):
        return self.byte(n)

    def reply_normal(self, n=1):
        return self.raw(bytes(n))

    def bytes(self):
        return bytes(self.b)


def pattern(n, seed=1):
    out = bytearray()
    for _ in range(n):
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        out.append((seed >> 16) & 0xFF)
    return bytes(out)


def handheld_seeds():
    c = Corpus("handheld_replies")
    E, R, W, V, U, RCB, WCB, L = range(8)
    c.add("erase-one-unit", HH().op(E).address(0x30000).end_units(1).reply_normal(2).bytes())
    c.add("erase-0-to-10000-max-two", HH().op(E).address(0).end_units(1, 0x100).bytes())
    c.add("erase-unaligned-two-units", HH().op(E).address(0x30000, 0x123).end_units(1, 0x1FF).bytes())
    # Blank check answers page 12: damage byte 5 of its payload (E3, address, page).
    c.add("erase-data-found-page-12", HH().op(E).address(0x30000).end_units(1).reply_normal(1)
          .raw(bytes([2, 0, 5, 0, 12])).bytes())
    c.add("erase-wrong-echo", HH().op(E).address(0x30000).end_units(1)
          .raw(bytes([2, 0, 1, 0, 0x04])).bytes())
    c.add("erase-reversed-range", HH().op(E).address(0x30000).end_reversed(0x10).bytes())
    c.add("erase-near-top", HH().op(E).address(0xFFFF0000, 0x10).end_units(1, 0x1FF).bytes())
    c.add("erase-nothing-received", HH().op(E).address(0x30000).end_units(1).raw(bytes([4] * 5)).bytes())
    c.add("read-one-chunk", HH().op(R).address(0).end_len(256).ts(256).bytes())
    c.add("read-600-in-three", HH().op(R).address(0).end_len(600).ts(256).bytes())
    c.add("read-odd-transfer", HH().op(R).address(0x3A000, 3).end_len(101).ts(7).bytes())
    c.add("read-transfer-501", HH().op(R).address(0).end_len(600).ts(501).bytes())
    c.add("read-transfer-502", HH().op(R).address(0).end_len(600).ts(502).bytes())
    c.add("read-transfer-zero", HH().op(R).address(0).end_len(10).ts(0).bytes())
    c.add("read-empty-range", HH().op(R).address(0x3A000).end_same().ts(256).bytes())
    c.add("read-wraps-top", HH().op(R).address(0xFFFFFDA8, 0x100).end_len(600).ts(256).bytes())
    c.add("read-top-byte", HH().op(R).address(0xFFFFFE00, 0x1FE).end_len(1).ts(256).bytes())
    # The first reply comes 250 ms late, after the first try gave up.
    c.add("read-late-reply", HH().op(R).address(0).end_len(300).ts(256).raw(bytes([0x08]) + le16(249)).bytes())
    # The reply cut to 100 payload bytes.
    c.add("read-short-reply", HH().op(R).address(0).end_len(256).ts(256)
          .raw(bytes([2, 0, 100, 0, 2])).bytes())
    c.add("read-foreign-frames", HH().op(R).address(0).end_len(16).ts(16)
          .raw(bytes([5, 2, 3]) + le16(3) + b"abc" + bytes([4]) + le16(0x1234) + le16(2) + b"zz"
               + bytes([0]) + le16(1) + b"\x01").bytes())
    c.add("write-300-whole-stream", HH().op(W).address(0).end_same().ts(256).data(pattern(300)).bytes())
    # The count field of the reply (payload bytes 5 and 6) says 255.
    c.add("write-count-255", HH().op(W).address(0).end_len(256).ts(256).data(pattern(256))
          .raw(bytes([2, 1, 5, 0, 0, 0xFF, 6, 0, 0, 0])).bytes())
    c.add("write-memory-differs", HH().op(W).address(0x3A000).end_len(40).ts(256).data(pattern(40, 7))
          .raw(bytes([2, 0, 20, 1, 3])).bytes())
    c.add("write-empty-stream", HH().op(W).address(0).end_len(0).ts(256).data(b"").bytes())
    c.add("write-range-beyond-stream", HH().op(W).address(0).end_len(300).ts(256).data(pattern(200)).bytes())
    c.add("write-wraps-top", HH().op(W).address(0xFFFFFFFF, 0).end_same().ts(100).data(pattern(150)).bytes())
    c.add("write-odd-transfer", HH().op(W).address(0x1FFFF).end_len(77).ts(13).data(pattern(77, 3)).bytes())
    c.add("verify-languages", HH().op(V).address(0x3A000).end_short(600).ts(256).data(pattern(600, 5)).bytes())
    # Pass 2 answers a differing page: 0 is within the data, 3 above its last page.
    c.add("verify-page-differs", HH().op(V).address(0).end_short(300).ts(256).data(pattern(300, 9))
          .raw(bytes([0, 2, 0, 5, 0, 0])).bytes())
    c.add("verify-page-above-last", HH().op(V).address(0).end_short(300).ts(256).data(pattern(300, 9))
          .raw(bytes([0, 2, 0, 5, 0, 3])).bytes())
    c.add("verify-two-units", HH().op(V).address(0xFF00).end_short(512).ts(256).data(pattern(512, 2)).bytes())
    c.add("verify-near-top", HH().op(V).address(0xFFFFFE00, 0x100).end_short(400).ts(256).data(pattern(400)).bytes())
    c.add("update-init", HH().op(U).bytes())
    c.add("update-init-search", HH(flags=0x01).op(U).bytes())
    c.add("update-init-address-comment", HH(local_ip="192.168.0.5|x").op(U).bytes())
    c.add("update-init-any-address", HH(local_ip="0.0.0.0").op(U).bytes())
    c.add("update-init-260-byte-reply", HH().op(U).raw(bytes([3, 0, 0]) + le16(256) + bytes(256)).bytes())
    c.add("update-init-no-server", HH(flags=0x04).op(U).bytes())
    c.add("update-init-no-binding", HH(flags=0x08).op(U).bytes())
    c.add("control-block-read", HH().op(RCB).byte(1).bytes())
    block = struct.pack("<13I", 0x414E5556, 1, 0xFFFFFFFF, 0x56554E41, 0x414E5556, 2, 0xFFFFFFFF,
                        0x56554E41, 0x414E5556, 3, 3, 0x3A000, 0x56554E41) + bytes(204)
    c.add("control-block-write-then-read", HH(ops=3).op(E).address(0).end_units(1).reply_normal(2)
          .op(WCB).byte(1).raw(block).reply_normal(1).op(RCB).byte(1).bytes())
    c.add("erase-write-verify", HH(ops=3).op(E).address(0x30000).end_units(1).reply_normal(2)
          .op(W).address(0x3A000).end_len(200).ts(256).data(pattern(200, 4)).reply_normal(1)
          .op(V).address(0x3A000).end_short(200).ts(256).data(pattern(200, 4)).bytes())
    c.add("latch-frames", HH().op(L).byte(4)
          .byte(0).u16(8).raw(pattern(8))
          .byte(1).u16(4).raw(b"\xC0\xA8\x00\x05")
          .byte(2).u16(1).raw(b"\x01")
          .byte(3).u16(0x1234).u16(2).raw(b"ab")
          .byte(0).u16(1000).raw(pattern(1000, 8)).bytes())
    c.add("unconnected-erase", HH(flags=0xF0).op(E).address(0).end_units(1).bytes())
    c.add("search-read", HH(flags=0x01).op(R).address(0).end_len(64).ts(256).bytes())
    c.add("send-fails", HH().op(R).address(0).end_len(600).ts(256).raw(bytes([6])).bytes())
    c.add("duplicate-replies", HH().op(R).address(0).end_len(600).ts(256).raw(bytes([7, 7, 7])).bytes())


# ---------------------------------------------------------------- address text
def address_seeds():
    c = Corpus("address_text")
    texts = {
        "plain": "192.168.0.111", "comment": "192.168.0.111|anything", "blanks": "  10.0.0.1  ",
        "control-characters": "\t10.1.2.3\r\n", "too-few-points": "10.0.0", "fifth-piece": "10.0.0.1.5",
        "point-in-fourth": "10.0.0.1.", "empty-piece": "10..0.1", "out-of-range": "256.1.1.1",
        "negative": "1.2.3.-1", "letters": "a.b.c.d", "empty": "", "zero": "0.0.0.0",
        "all-ones": "255.255.255.255", "loopback-pair": "127.0.3.1", "leading-zeros": "001.002.003.004",
        "long-leading-zeros": "0000192.168.0.0001", "plus-sign": "+1.2.3.4", "hex-piece": "0x7f.0.0.1",
        "comment-after-blank": "1.2.3.4 |comment", "arabic-digits": "\u0661\u0662.1.1.1",
        "nul-inside": "1.2.\x003.4", "only-points": "...", "bar-first": "|1.2.3.4",
        "wide-blank": "\u00a010.0.0.1", "huge-piece": "1.2.3.99999999999999999999",
    }
    for name, text in texts.items():
        c.add(name, text)


# ---------------------------------------------------------------- panel numbers
def number_seeds():
    c = Corpus("panel_number")
    texts = {
        "zero": "0", "minus-one": "-1", "plus": "+17", "max": "2147483647", "min": "-2147483648",
        "max-plus-one": "2147483648", "min-minus-one": "-2147483649", "hex-all-ones": "0xFFFFFFFF",
        "hex-top-bit": "0x80000000", "dollar": "$3A000", "short-hex": "0x101", "prefix-only": "0x",
        "dollar-only": "$", "nine-hex-digits": "0x123456789", "blanks": " 42 ", "upper-x": "0X1F",
        "signed-hex": "-0x10", "letter": "12g", "read-length": "6144", "address": "0x00040000",
        "empty": "", "leading-zeros": "00000000012", "huge": "99999999999999999999",
        "lower-hex": "0xdeadbeef", "sign-only": "-", "tab": "\t0x10\n",
    }
    for name, text in texts.items():
        c.add(name, text)


# ---------------------------------------------------------------- RTF
def dib_header(width, height, bits, compression=0, colours=0):
    stride = ((width * bits + 31) // 32) * 4
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression,
                       stride * abs(height), 0, 0, colours, 0)


def hexed(data):
    return data.hex().upper().encode()


def png(width, height):
    raw = b"".join(b"\x00" + bytes([255, 0, 0]) * width for _ in range(height))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def rtf_documents():
    red = dib_header(1, 1, 24) + b"\x00\x00\xFF\x00"
    two = dib_header(2, 2, 24) + b"\x00\x00\xFF\x00\xFF\x00\x00\x00" + b"\xFF\x00\x00\x00\x00\xFF\x00\x00"
    pal8 = dib_header(4, 4, 8, 0, 2) + b"\x00\x00\x00\x00\xFF\xFF\xFF\x00" + bytes([0, 1, 0, 1]) * 4
    mono = dib_header(8, 2, 1, 0, 2) + b"\x00\x00\x00\x00\xFF\xFF\xFF\x00" + b"\xAA\x00\x00\x00\x55\x00\x00\x00"
    pict = lambda words, data: b"{\\pict" + words + b" " + hexed(data) + b"}"
    guidance = pathlib.Path(__file__).resolve().parents[2] / "resources" / "guidance"
    docs = {
        "hello": b"{\\rtf1 Hello}",
        "styles": b"{\\rtf1 a \\b bold\\b0  and \\i italic\\i0 {\\ul u\\ulnone} {\\strike s}\\super 2\\nosupersub {\\fs32 Big}\\plain x}",
        "cp1252-and-unicode": b"{\\rtf1\\ansi\\ansicpg1252\\uc1 Gr\\'fc\\'dfe \\'80 P\\u345?\\'edli\\'9a {\\uc2\\u283\\'e9\\'e9}\\u-10179?\\u-8704?}",
        "paragraphs-and-tabs": b"{\\rtf1\\pard\\qc Title\\par\\pard\\li720\\fi-360\\tx720\\tx1440 1.\\tab Item\\par\\pard\\sb120\\sa60\\qj body\\line next\\par}",
        "tables-of-fonts-colours": b"{\\rtf1{\\fonttbl{\\f0\\fswiss Tahoma;}}{\\colortbl;\\red255\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}{\\*\\generator G;}{\\*\\unknown hidden}visible}",
        "symbols": b"{\\rtf1 a\\~b\\{c\\}\\\\d\\emdash e\\endash f\\bullet g\\lquote\\rquote\\ldblquote\\rdblquote\\-h\\_i}",
        "picture-bitmap-to-rtf": b"{\\rtf1 {\\pict\\dibitmap " + hexed(red) + b" }}",
        "picture-two-by-two": b"{\\rtf1 a" + pict(b"\\dibitmap0\\picw2\\pich2", two) + b"b\\par}",
        "picture-palette": b"{\\rtf1 " + pict(b"\\dibitmap\\picwgoal300\\pichgoal150", pal8) + b"}",
        "picture-one-bit": b"{\\rtf1 " + pict(b"\\dibitmap\\picscalex500\\picscaley200", mono) + b"}",
        "picture-binary": b"{\\rtf1 {\\pict\\dibitmap\\bin44 " + red + b"}x}",
        "picture-png": b"{\\rtf1 " + pict(b"\\pngblip", png(3, 2)) + b"}",
        "picture-shppict": b"{\\rtf1 a{\\*\\shppict" + pict(b"\\dibitmap", red) + b"}{\\nonshppict{\\pict\\wmetafile8 0100}}b}",
        "picture-props": b"{\\rtf1 {\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}\\dibitmap " + hexed(red) + b"}}",
        "picture-metafile-skipped": b"{\\rtf1 a{\\pict\\wmetafile8\\picw10 0100FF}b}",
        "picture-header-lies": b"{\\rtf1 {\\pict\\dibitmap " + hexed(dib_header(1000, 1000, 24)) + b"00FF00FF}}",
        "picture-rle8": b"{\\rtf1 " + pict(b"\\dibitmap", dib_header(4, 4, 8, 1) + bytes(1024) + b"\x04\x01\x00\x00\x00\x01") + b"}",
        "picture-odd-hex": b"{\\rtf1 {\\pict\\dibitmap " + hexed(red)[:87] + b"}}",
        "unbalanced": b"{\\rtf1 {abc}",
        "deep-nesting": b"{\\rtf1 " + b"{" * 300 + b"x" + b"}" * 300 + b"}",
        "overlong-control-word": b"{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefgh x}",
        "overlong-parameter": b"{\\rtf1 \\fs12345678901 x}",
        "not-rtf": b"hello world\r\nsecond line",
        "binary-not-text": b"{\\rtf1 \x00 x}",
        "padding-after": b"{\\rtf1 a}\r\n\x00",
        "escaped-line-end": b"{\\rtf1 a\\\nb\\\rc}",
        "guidance-english": (guidance / "Kavelo_Info_English.rtf").read_bytes(),
        "guidance-czech": (guidance / "Kavelo_Info_Cestina.rtf").read_bytes(),
    }
    return docs


def rtf_seeds():
    reader = Corpus("rtf_reader")
    edit = Corpus("rich_edit")
    for k, (name, doc) in enumerate(rtf_documents().items()):
        reader.add(name, doc)
        edit.add(name, bytes([(k * 29) & 0xFF]) + doc)


if __name__ == "__main__":
    datagram_seeds()
    handheld_seeds()
    address_seeds()
    number_seeds()
    rtf_seeds()
