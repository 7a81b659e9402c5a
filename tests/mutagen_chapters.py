"""Chapters through mutagen, as another program writes and reads them.

  mutagen_chapters.py read FILE
      prints "CHAP id start end title" and "CTOC id top-level ordered child,child..." lines
  mutagen_chapters.py write FILE VERSION TABLE UNSYNC start:end:title...
      tags FILE (an MP3 without a tag) with a TIT2 and those chapters, in ID3v2.VERSION;
      TABLE "ctoc" adds a top-level ordered CTOC listing them in the order given; UNSYNC
      "unsync" (v2.3 only) rewrites the tag unsynchronised.
"""
import sys

from mutagen.id3 import CHAP, CTOC, ID3, TIT2, CTOCFlags


def read(path):
    tags = ID3(path)
    for frame in tags.getall("CHAP"):
        title = str(frame.sub_frames["TIT2"].text[0]) if "TIT2" in frame.sub_frames else ""
        print("CHAP %s %d %d %s" % (frame.element_id, frame.start_time, frame.end_time, title))
    for frame in tags.getall("CTOC"):
        print("CTOC %s %d %d %s" % (frame.element_id, bool(frame.flags & CTOCFlags.TOP_LEVEL),
                                    bool(frame.flags & CTOCFlags.ORDERED),
                                    ",".join(frame.child_element_ids)))


def unsynchronise(path):
    data = bytearray(open(path, "rb").read())
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    body = bytes(data[10:10 + size])
    out = bytearray()
    for i, byte in enumerate(body):
        out.append(byte)
        following = body[i + 1] if i + 1 < len(body) else 0
        if byte == 0xFF and (following >= 0xE0 or following == 0):
            out.append(0)
    assert len(out) > len(body), "the tag holds nothing to unsynchronise"
    header = bytearray(data[:10])
    header[5] |= 0x80
    n = len(out)
    header[6:10] = bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
    open(path, "wb").write(bytes(header) + bytes(out) + bytes(data[10 + size:]))


def write(path, version, table, unsync, marks):
    tags = ID3()
    tags.add(TIT2(encoding=3, text=["Book"]))
    ids = []
    for i, mark in enumerate(marks):
        start, end, title = mark.split(":", 2)
        ids.append("ch%d" % i)
        tags.add(CHAP(element_id=ids[-1], start_time=int(start), end_time=int(end),
                      start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF,
                      sub_frames=[TIT2(encoding=3, text=[title])]))
    if table == "ctoc":
        tags.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED,
                      child_element_ids=ids, sub_frames=[]))
    tags.save(path, v2_version=int(version), padding=lambda info: 64)
    if unsync == "unsync":
        unsynchronise(path)


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2])
    else:
        write(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6:])
