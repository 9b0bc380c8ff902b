#!/usr/bin/env python3
"""Build a seeded synthetic directory tree for the scan benchmarks.

usage: make_tree.py ROOT FILES SEED [NON_ASCII_SHARE]

The tree has about 20 files per directory, directories 1 to 8 levels below
ROOT, and about 30% of the files carry a name that also occurs elsewhere:
a few very common names (README.md, __init__.py, ...) and many small groups.
Within a group the copies sometimes share size and mtime and sometimes
don't, and some groups mix case variants (README.txt next to readme.TXT).
Files are sparse (ftruncate only), 0..4096 bytes, with seeded mtimes.

With NON_ASCII_SHARE (a fraction, default 0) that share of the names is
built from words outside ASCII (accents, Greek, Cyrillic, CJK), half of them
decomposed as macOS writes them, and some repeated names carry the marks
that file managers give copies ("report (1).pdf"). A share of 0 gives
exactly the tree that earlier versions of this script gave.

The same FILES, SEED and share always give the same tree.  A stamp file in ROOT
records the parameters; a second run with the same ones does nothing.  A
ROOT that holds no stamp and is not empty is never touched.
"""

import os
import random
import shutil
import sys
import time
import unicodedata

# Raise when the generated tree changes, so that stamped old trees get rebuilt.
GENERATOR_VERSION = 1
STAMP_NAME = ".twinseek-bench-tree"

FILES_PER_DIR = 20
MAX_DEPTH = 8
# Relative number of directories created at depth 1..MAX_DEPTH.
DEPTH_WEIGHTS = [1, 3, 6, 8, 8, 6, 4, 2]
REPEATED_SHARE = 0.30
MAX_SIZE = 4096
# mtimes fall between 2012-01-01 and 2024-12-31 (UTC).
MTIME_FIRST = 1325376000
MTIME_LAST = 1735603200

WORDS = [
    "alpha", "archive", "backup", "build", "cache", "chapter", "config",
    "data", "draft", "export", "final", "holiday", "image", "index", "invoice",
    "letter", "log", "main", "meeting", "model", "notes", "photo", "plan",
    "report", "result", "sample", "scan", "score", "setup", "song", "summary",
    "table", "test", "thesis", "track", "util", "video", "widget", "work",
    "Budget", "Scan", "IMG", "DSC", "Screenshot", "Copy of", "New",
]
EXTENSIONS = [
    ".txt", ".txt", ".md", ".jpg", ".jpg", ".jpeg", ".png", ".pdf", ".pdf",
    ".c", ".cpp", ".h", ".hpp", ".py", ".json", ".xml", ".csv", ".log",
    ".mp3", ".flac", ".docx", ".odt", ".html", ".js", ".tar.gz", ".zip",
    ".bak", "~", "",
]
SEPARATORS = ["_", " ", "."]
# Words for the non-ASCII share: accented Latin, Greek with final sigma, Cyrillic, CJK, and
# letters whose case folding differs from lower-casing.
NON_ASCII_WORDS = [
    "café", "Über", "naïve", "résumé", "Straße", "Ærø", "Øre", "crème brûlée", "Ελλάς",
    "ΟΔΟΣ", "οδός", "Привет", "Ёлка", "日本語", "写真", "İstanbul", "ǰournal", "ﬁle",
]
COPY_MARKS = [" (1)", " (2)", " - Copy", " copy", " copy 2", " (copy)"]
# Names every real tree has many of; they make up the biggest groups.
COMMON_NAMES = [
    "README.md", "README.txt", "__init__.py", "index.html", "Makefile",
    "LICENSE", ".gitignore", "CMakeLists.txt", "config.json", "Thumbs.db",
    "desktop.ini", "notes.txt",
]


def complete_stamp(files, seed, share):
    stamp = "twinseek bench tree v%d files=%d seed=%d" % (GENERATOR_VERSION, files, seed)
    if share:
        stamp += " non-ascii=%g" % share
    return stamp + "\n"


def non_ascii_word(rng):
    word = rng.choice(NON_ASCII_WORDS)
    return unicodedata.normalize("NFD" if rng.random() < 0.5 else "NFC", word)


def read_stamp(root):
    try:
        with open(os.path.join(root, STAMP_NAME)) as f:
            return f.read()
    except FileNotFoundError:
        return None


def write_stamp(root, text):
    tmp = os.path.join(root, STAMP_NAME + ".tmp")
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, os.path.join(root, STAMP_NAME))


def make_dirs(rng, count):
    """Return (paths, depths) of `count` directories below the root (index 0)."""
    paths = [""]
    depths = [0]
    by_depth = [[0]]
    for i in range(count):
        want = rng.choices(range(1, MAX_DEPTH + 1), DEPTH_WEIGHTS)[0]
        depth = min(want, len(by_depth))  # can't skip a level that is empty
        parent = rng.choice(by_depth[depth - 1])
        # " ", "." and "(...)" keep directory names apart from file names,
        # which always have "_" or "-" before their number.
        pattern = rng.choice(("%s %d", "%s.%d", "%s (%d)"))
        name = pattern % (rng.choice(WORDS).lower(), i)
        paths.append(os.path.join(paths[parent], name))
        depths.append(depth)
        if depth == len(by_depth):
            by_depth.append([])
        by_depth[depth].append(len(paths) - 1)
    return paths, depths


def random_size(rng):
    return 0 if rng.random() < 0.08 else rng.randint(1, MAX_SIZE)


def random_mtime_ns(rng):
    ns = rng.randint(MTIME_FIRST, MTIME_LAST) * 1_000_000_000
    if rng.random() < 0.5:
        ns += rng.randrange(1_000_000_000)
    return ns


def case_variant(rng, name):
    stem, dot, ext = name.rpartition(".")
    if not dot or not stem:
        stem, ext = name, ""
    else:
        ext = "." + ext
    pick = rng.randrange(5)
    if pick == 0:
        return stem.upper() + ext.lower()
    if pick == 1:
        return stem.lower() + ext.upper()
    if pick == 2:
        return stem.title() + ext
    if pick == 3:
        return name.swapcase()
    return name


def with_copy_mark(rng, name):
    stem, dot, ext = name.rpartition(".")
    if not dot or not stem:
        return name + rng.choice(COPY_MARKS)
    return stem + rng.choice(COPY_MARKS) + "." + ext


def group_sizes(rng, budget, dir_count):
    """Split `budget` repeated files into groups (common names first)."""
    sizes = []
    for _ in COMMON_NAMES:
        size = min(rng.randint(budget // 400 + 2, budget // 100 + 3), dir_count)
        if size < 2 or sum(sizes) + size > budget // 4:
            break
        sizes.append(size)
    used = sum(sizes)
    small = [2, 2, 2, 2, 3, 3, 3, 4, 4, 5, 6, 8, 12]
    while budget - used >= 2:
        size = min(rng.choice(small), budget - used, dir_count)
        if size < 2:
            break
        if budget - used - size == 1:
            size += 1  # don't leave a lone name behind
        sizes.append(size)
        used += size
    return sizes


def plan_groups(rng, file_dirs, budget, share):
    """Return {dir_index: [(name, size, mtime_ns), ...]} for the repeated names."""
    placed = {}
    for g, size in enumerate(group_sizes(rng, budget, len(file_dirs))):
        if g < len(COMMON_NAMES):
            base = COMMON_NAMES[g]
        else:
            word, ext = rng.choice(WORDS), rng.choice(EXTENSIONS)
            base = "%s-%d%s" % (word, g, ext)
            if share and rng.random() < share:
                base = "%s-%d%s" % (non_ascii_word(rng), g, ext)
        mix_case = rng.random() < 0.15
        mode = rng.choice(("same", "same", "some", "differ"))
        first = (random_size(rng), random_mtime_ns(rng))
        for member, d in enumerate(rng.sample(file_dirs, size)):
            name = case_variant(rng, base) if mix_case and member else base
            if share and member and rng.random() < 0.1:
                name = with_copy_mark(rng, name)
            if mode == "same" or member == 0 or (mode == "some" and rng.random() < 0.5):
                size_ns = first
            else:
                size_ns = (random_size(rng), random_mtime_ns(rng))
            placed.setdefault(d, []).append((name,) + size_ns)
    return placed


def unique_name(rng, serial, share):
    word = rng.choice(WORDS)
    if share and rng.random() < share:
        word = non_ascii_word(rng)
    if rng.random() < 0.3:
        word += rng.choice(SEPARATORS) + rng.choice(WORDS).lower()
    return "%s_%x%s" % (word, serial, rng.choice(EXTENSIONS))


def create_file(dir_fd, name, size, mtime_ns):
    fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC,
                 0o644, dir_fd=dir_fd)
    try:
        if size:
            os.ftruncate(fd, size)
        os.utime(fd, ns=(mtime_ns, mtime_ns))
    finally:
        os.close(fd)


def build(root, files, seed, share):
    rng = random.Random(seed)
    paths, depths = make_dirs(rng, max(1, round(files / FILES_PER_DIR)))
    file_dirs = list(range(1, len(paths)))

    repeated = plan_groups(rng, file_dirs, round(files * REPEATED_SHARE), share)
    repeated_count = sum(len(v) for v in repeated.values())
    unique_per_dir = [0] * len(paths)
    for _ in range(files - repeated_count):
        unique_per_dir[rng.choice(file_dirs)] += 1

    for path in paths[1:]:
        os.mkdir(os.path.join(root, path))

    serial = 0
    non_ascii = 0
    for d in file_dirs:
        dir_fd = os.open(os.path.join(root, paths[d]),
                         os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            for name, size, mtime_ns in repeated.get(d, ()):
                create_file(dir_fd, name, size, mtime_ns)
                non_ascii += not name.isascii()
            for _ in range(unique_per_dir[d]):
                name = unique_name(rng, serial, share)
                create_file(dir_fd, name, random_size(rng), random_mtime_ns(rng))
                non_ascii += not name.isascii()
                serial += 1
        finally:
            os.close(dir_fd)
    return len(paths) - 1, max(depths), repeated_count, non_ascii


def main(argv):
    if len(argv) not in (4, 5):
        sys.stderr.write("usage: make_tree.py ROOT FILES SEED [NON_ASCII_SHARE]\n")
        return 2
    root = argv[1]
    try:
        files, seed = int(argv[2]), int(argv[3])
        share = float(argv[4]) if len(argv) == 5 else 0.0
    except ValueError:
        sys.stderr.write("make_tree.py: FILES and SEED must be integers, the share a number\n")
        return 2
    if not 0.0 <= share <= 1.0:
        sys.stderr.write("make_tree.py: NON_ASCII_SHARE must lie between 0 and 1\n")
        return 2
    if files < 1:
        sys.stderr.write("make_tree.py: FILES must be at least 1\n")
        return 2

    wanted = complete_stamp(files, seed, share)
    if os.path.isdir(root):
        stamp = read_stamp(root)
        if stamp == wanted:
            print("%s: up to date (%d files, seed %d)" % (root, files, seed))
            return 0
        if stamp is None and os.listdir(root):
            sys.stderr.write("make_tree.py: %s is not empty and was not made "
                             "by make_tree.py; refusing to touch it\n" % root)
            return 1
        if stamp is not None:
            print("%s: removing the old tree (%s)" % (root, stamp.strip()))
            shutil.rmtree(root)
    os.makedirs(root, exist_ok=True)

    started = time.monotonic()
    # Written first so that a half-built tree is recognised as ours later.
    write_stamp(root, "incomplete\n")
    dirs, depth, repeated, non_ascii = build(root, files, seed, share)
    write_stamp(root, wanted)
    print("%s: %d files in %d directories (max depth %d), %.1f%% with a "
          "repeated name, %.1f%% with a non-ASCII name, built in %.1f s" % (
              root, files, dirs, depth, 100.0 * repeated / files,
              100.0 * non_ascii / files, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
