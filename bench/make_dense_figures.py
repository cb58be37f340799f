#!/usr/bin/env python3
"""Writes bench/dense_figures.txt: dense figures of five kinds for the best-ending search.

Each line is a name and the slots as node:direction (kvarlo-cli figure --slots). The kinds:
separated blobs, a blob plus lonely matches, rings (whole and thinned), the full board less a
few slots, random scatters of 50 to 90 %. The draws are seeded, so the list is the same on every
run; the list itself is kept in the repository all the same.

    bench/make_dense_figures.py > bench/dense_figures.txt
"""
import random

SIDE = 7
CENTRE = (3, 3)
STEPS = [(1, 0), (1, 1), (0, 1)]  # the forward directions 0..2


def active(x, y):
    return 0 <= x < SIDE and 0 <= y < SIDE and abs(x - y) <= 3


def slots():
    """Every slot of the board: ((x, y), direction)."""
    out = []
    for y in range(SIDE):
        for x in range(SIDE):
            for d, (dx, dy) in enumerate(STEPS):
                if active(x, y) and active(x + dx, y + dy):
                    out.append(((x, y), d))
    return out


def far_end(slot):
    (x, y), d = slot
    return (x + STEPS[d][0], y + STEPS[d][1])


def hex_distance(a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    if dx * dy >= 0:
        return max(abs(dx), abs(dy))
    return abs(dx) + abs(dy)


def midpoint_distance(slot, node):
    """How far a slot lies from a node: the sum of its ends' distances (0 .. 2n+1)."""
    return hex_distance(slot[0], node) + hex_distance(far_end(slot), node)


def name_of(slot):
    (x, y), d = slot
    return f"{x + SIDE * y}:{d}"


ALL = slots()


def blob(node, size, rng, taken=()):
    """The `size` slots nearest a node, ties broken at random."""
    pool = [s for s in ALL if s not in taken]
    pool.sort(key=lambda s: (midpoint_distance(s, node), rng.random()))
    return pool[:size]


def separated(rng):
    corners = [(0, 0), (3, 0), (6, 3), (6, 6), (3, 6), (0, 3)]
    figures = []
    for i in range(6):
        count = 2 if i < 4 else 3
        centres = rng.sample(corners, count)
        size = rng.randint(12, 20) if count == 2 else rng.randint(10, 14)
        chosen = []
        for c in centres:
            chosen += blob(c, size, rng, chosen)
        figures.append((f"blobs-{i + 1}", chosen))
    return figures


def blob_plus_lonely(rng):
    corners = [(0, 0), (3, 0), (6, 3), (6, 6), (3, 6), (0, 3)]
    figures = []
    for i in range(6):
        home = rng.choice(corners)
        body = blob(home, rng.randint(28, 50), rng)
        lonely = rng.randint(1, 3)
        far = [s for s in ALL if s not in body]
        far.sort(key=lambda s: (-midpoint_distance(s, home), rng.random()))
        # Lonely matches: far from the blob and not touching one another.
        picked = []
        for s in far:
            ends = {s[0], far_end(s)}
            if all(not ends & {p[0], far_end(p)} for p in picked):
                picked.append(s)
            if len(picked) == lonely:
                break
        figures.append((f"lonely-{i + 1}", body + picked))
    return figures


def rings(rng):
    bands = [(1, 2), (2, 3), (1, 3), (2, 3), (1, 2), (2, 3)]
    figures = []
    for i, (lo, hi) in enumerate(bands):
        band = [s for s in ALL
                if lo <= hex_distance(s[0], CENTRE) <= hi and lo <= hex_distance(far_end(s), CENTRE) <= hi]
        # The later ones thinned: a few slots of the band left out.
        thin = 0 if i < 2 else rng.randint(2, 8)
        kept = rng.sample(band, len(band) - thin) if thin else band
        figures.append((f"ring-{lo}-{hi}-{i + 1}", sorted(kept, key=ALL.index)))
    return figures


def full_less(rng):
    figures = []
    for i, less in enumerate([2, 2, 3, 3, 4, 5]):
        gone = rng.sample(ALL, less)
        figures.append((f"full-less-{less}-{i + 1}", [s for s in ALL if s not in gone]))
    return figures


def scatters(rng):
    figures = []
    for i, share in enumerate([0.5, 0.6, 0.65, 0.7, 0.8, 0.9]):
        kept = [s for s in ALL if rng.random() < share]
        figures.append((f"random-{round(share * 100)}-{i + 1}", kept))
    return figures


def main():
    rng = random.Random(20261207)
    print("# Dense figures for the best-ending search (BENCHMARKS.md, \"Bests within 2 s\"), made by")
    print("# bench/make_dense_figures.py: name, then the slots as node:direction.")
    for make in (separated, blob_plus_lonely, rings, full_less, scatters):
        for name, chosen in make(rng):
            print(name, ",".join(name_of(s) for s in sorted(chosen, key=ALL.index)))


if __name__ == "__main__":
    main()
