"""Writes the small archives the zip utility tests read: the same bytes on every run.

    make_test_zips.py <plain.zip> <commented.zip> <program.zip>

plain: two entries, the first at offset 0; commented: the same with an archive comment;
program: the same behind a small program stub, its offsets counted from the start of the file.
"""
import sys
import zipfile

ENTRIES = (
    ("readme.txt", b"Solvenza Quillora test archive\r\n", zipfile.ZIP_STORED),
    ("data/numbers.txt", b"".join(b"%d\r\n" % i for i in range(200)), zipfile.ZIP_DEFLATED),
)


def write(path, mode, comment=b""):
    with zipfile.ZipFile(path, mode) as z:
        for name, data, method in ENTRIES:
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 2, 3, 4, 6))
            info.compress_type = method
            info.create_system = 0
            z.writestr(info, data)
        z.comment = comment


def main(plain, commented, program):
    write(plain, "w")
    write(commented, "w", b"Archive comment of the test archive")
    with open(program, "wb") as f:
        f.write(b"MZ" + bytes(510))
    # Appending to a file that is no archive puts the archive after it, with offsets counted
    # from the start of the file.
    write(program, "a")


if __name__ == "__main__":
    main(*sys.argv[1:])
