#!/usr/bin/python3
"""Packs the release a user downloads: dimmio-VERSION-x86.zip.

  scripts/dist.py NT_TREE OUT_DIR

NT_TREE is the nt preset's build tree (dimmio.sys, dimmio.exe, dimmio-gui.exe,
pci.ids, generated/dimmio_version.h); the archive goes into OUT_DIR. Its one
folder, dimmio-VERSION-x86, holds the three images, pci.ids, the user's
README.txt, the licence texts of what the images and pci.ids contain, and
SHA256SUMS over all of them.

The archive is the same bytes for the same inputs, wherever and whenever it is
packed: the entries in a fixed order, each dated 1980-01-01 00:00 (or
SOURCE_DATE_EPOCH, when it is set), with the same permissions and
compression, and nothing of this machine's paths.
"""
import hashlib
import os
import re
import sys
import time
import zipfile

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The licences of what is shipped, from the Debian packages the build used:
# the GCC runtime (libgcc, libstdc++) and the mingw-w64 runtime are linked
# into dimmio.exe and dimmio-gui.exe; pci.ids is Debian's.
LICENCES = [
    ("licences/gcc-runtime.txt", "/usr/share/doc/gcc-mingw-w64-base/copyright"),
    ("licences/GPL-3.txt", "/usr/share/common-licenses/GPL-3"),
    ("licences/mingw-w64-runtime.txt", "/usr/share/doc/mingw-w64-i686-dev/copyright"),
    ("licences/pci.ids.txt", "/usr/share/doc/pci.ids/copyright"),
]


def fail(message):
    sys.exit("dist: " + message)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        fail("cannot read %s: %s" % (path, e.strerror))


def windows_text(data):
    """Text for Windows' own editors: CRLF line ends."""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def version(nt_tree):
    header = read(os.path.join(nt_tree, "generated", "dimmio_version.h")).decode()
    m = re.search(r'#define DIMMIO_VERSION_TEXT "([0-9.]+)"', header)
    if not m:
        fail("no DIMMIO_VERSION_TEXT in %s/generated/dimmio_version.h" % nt_tree)
    return m.group(1)


def entry_date():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return (1980, 1, 1, 0, 0, 0)
    date = time.gmtime(int(epoch))[:6]
    return max(date, (1980, 1, 1, 0, 0, 0))


def contents(nt_tree, release):
    """The archive's files in their order: (name in the folder, bytes)."""
    files = [("README.txt", windows_text(read(os.path.join(SOURCE_DIR, "release", "README.txt"))
                                         .replace(b"@VERSION@", release.encode())))]
    for image in ("dimmio.sys", "dimmio.exe", "dimmio-gui.exe", "pci.ids"):
        files.append((image, read(os.path.join(nt_tree, image))))
    for name, path in LICENCES:
        files.append((name, windows_text(read(path))))
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in files)
    files.append(("SHA256SUMS", sums.encode()))
    return files


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: " + __doc__.strip().splitlines()[2].strip())
    nt_tree, out_dir = argv[1], argv[2]
    release = version(nt_tree)
    folder = "dimmio-%s-x86" % release
    os.makedirs(out_dir, exist_ok=True)
    archive = os.path.join(out_dir, folder + ".zip")
    partial = archive + ".partial"
    date = entry_date()
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in contents(nt_tree, release):
            info = zipfile.ZipInfo(folder + "/" + name, date_time=date)
            info.create_system = 3  # Unix: the permissions below hold
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=6)
    os.replace(partial, archive)
    digest = hashlib.sha256(read(archive)).hexdigest()
    print("dist: %s (sha256 %s)" % (archive, digest))


if __name__ == "__main__":
    main(sys.argv)
