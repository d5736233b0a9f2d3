"""Walks the markers of a baseline JPEG file, for the evaluation scripts.

Only what make-photos and repair-eval need: the frame (size, components and their
sampling), the restart interval, whether the Huffman tables are the usual default
ones, where each scan's entropy-coded data lies, and what follows EOI.
"""

# The BITS lists (code counts per length 1..16) of the four tables that encoders use
# when they do not compute tables for the picture.
DEFAULT_BITS = {
    (0, 0): bytes([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]),
    (0, 1): bytes([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0]),
    (1, 0): bytes([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]),
    (1, 1): bytes([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77]),
}


class Layout:
    def __init__(self):
        self.width = self.height = 0
        self.sof = None              # the SOFn marker byte
        self.components = []         # (id, h, v, tq)
        self.restart = 0             # the last DRI value before the first scan
        self.default_tables = True   # every DHT table is one of DEFAULT_BITS
        self.scans = []              # (start, end): entropy-coded data, end = the FF of the next marker
        self.segments = []           # (marker byte, position of its FF, total length)
        self.eoi = None              # position of EOI's FF
        self.trailing = 0            # bytes after EOI

    @property
    def layout(self):
        """444, 422, 420, 440, 411, grey or HxV list for anything else."""
        if len(self.components) == 1:
            return "grey"
        (h0, v0), rest = self.components[0][1:3], [c[1:3] for c in self.components[1:]]
        if any(c != rest[0] for c in rest):
            return "mixed"
        h, v = h0 // rest[0][0], v0 // rest[0][1]
        return {(1, 1): "444", (2, 1): "422", (2, 2): "420", (1, 2): "440", (4, 1): "411"}.get((h, v), f"{h}x{v}")

    @property
    def sampling(self):
        return "/".join(f"{h}x{v}" for _, h, v, _ in self.components)


def parse(data):
    """Walks the markers from SOI to EOI. Raises ValueError where the file is not what
    the scripts made (they only parse files they made or damaged inside a scan)."""
    lay = Layout()
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI")
    i = 2
    n = len(data)
    while i < n:
        if data[i] != 0xFF:
            raise ValueError(f"no marker at {i:X}")
        while i + 1 < n and data[i + 1] == 0xFF:  # fill bytes
            i += 1
        m = data[i + 1]
        if m == 0xD9:
            lay.eoi = i
            lay.segments.append((m, i, 2))
            lay.trailing = n - (i + 2)
            return lay
        if m == 0x01 or 0xD0 <= m <= 0xD7:
            lay.segments.append((m, i, 2))
            i += 2
            continue
        length = data[i + 2] << 8 | data[i + 3]
        seg = data[i + 4:i + 2 + length]
        lay.segments.append((m, i, 2 + length))
        if m in (0xC0, 0xC1, 0xC2, 0xC3):
            lay.sof = m
            lay.height = seg[1] << 8 | seg[2]
            lay.width = seg[3] << 8 | seg[4]
            lay.components = [(seg[6 + 3 * k], seg[7 + 3 * k] >> 4, seg[7 + 3 * k] & 15, seg[8 + 3 * k])
                              for k in range(seg[5])]
        elif m == 0xDD and not lay.scans:
            lay.restart = seg[0] << 8 | seg[1]
        elif m == 0xC4:
            k = 0
            while k < len(seg):
                tc_th = seg[k]
                bits = bytes(seg[k + 1:k + 17])
                if DEFAULT_BITS.get((tc_th >> 4, tc_th & 15)) != bits and DEFAULT_BITS.get((tc_th >> 4, 0)) != bits \
                        and DEFAULT_BITS.get((tc_th >> 4, 1)) != bits:
                    lay.default_tables = False
                k += 17 + sum(bits)
        i += 2 + length
        if m == 0xDA:
            start = j = i
            while True:
                j = data.find(b"\xff", j)
                if j < 0 or j + 1 >= n:
                    raise ValueError("scan runs to the end of the file")
                nxt = data[j + 1]
                if nxt == 0x00 or 0xD0 <= nxt <= 0xD7:
                    j += 2
                    continue
                if nxt == 0xFF:  # fill byte before a marker
                    j += 1
                    continue
                break
            lay.scans.append((start, j))
            i = j
    raise ValueError("no EOI")
