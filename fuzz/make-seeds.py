#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/: valid inputs of each kind and
the near misses that sit on the parsers' edges. Run it again after changing it; the seeds are kept in
the repository, so a fuzzing run needs neither this script nor ImageMagick. Regression inputs found by
fuzzing are kept beside the seeds under names starting with "regression-" and are left alone here."""

import os
import shutil
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("cp1252")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def write_all(target, seeds):
    for name, data in seeds.items():
        write(target, name, data)


def profile_reader():
    write_all("fuzz_profile_reader", {
        "readme": "[Dados]\nDir=dbserver:/var/lib/kelmora/KELMORA.FDB\n\n[Backup]\nSistema=Linux\n",
        "windows-crlf": "[Dados]\r\nDir=SERVIDOR:C:\\Kelmora\\Dados\\DADOS.FDB\r\n[Backup]\r\nSistema=Windows\r\n",
        "bom-and-comments": "\xef\xbb\xbf; sistema da loja\n[dados]\n  DIR =  localhost:/dados/loja.fdb  \n;[Backup]\n",
        "no-backup-section": "[Dados]\nDir=localhost:/dados/app.fdb\n[Outros]\nSistema=Linux\n",
        "quoted": "[Dados]\nDir=\"srv:/caminho com espaço/app.fdb\"\n[Backup]\nSistema='Linux'\n",
        "empty-value": "[Dados]\nDir=\n[Backup]\nSistema=\n",
        "repeated": "[Dados]\nDir=primeiro:/a.fdb\nDir=segundo:/b.fdb\n[Dados]\nDir=terceiro:/c.fdb\n",
        "unclosed": "[Dados\nDir=x:/y.fdb\n[Backup]Sistema=Linux\n=semnome\nsemigual\n",
        "old-mac": "[Dados]\rDir=mac:/antigo.fdb\r[Backup]\rSistema=Linux",
    })


def database_name():
    write_all("fuzz_database_name", {
        "readme": "dbserver:/var/lib/kelmora/KELMORA.FDB",
        "port": "localhost/3050:/data/app.fdb",
        "tcp-drive": "srv:C:\\base\\db.fdb",
        "local-drive": "C:\\base\\db.fdb",
        "unc": "\\\\srv\\share\\db.fdb",
        "unc-no-share": "\\\\srv",
        "novell": "srv@vol:db",
        "plain-name": "BASE",
        "two-words": "two words",
        "local-path": "/var/lib/db.fdb",
        "drive-no-separator": "C:db.fdb",
        "quoted-colon": "srv:\"C:\"db.fdb",
        "blank-location": " : ",
        "colon-only": ":",
    })


def attach_params():
    write_all("fuzz_attach_params", {
        "backup-instance": "user_name=SYSDBA\npassword=tidewater",
        "prefixed-any-case": "ISC_SPB_USER_NAME=SYSDBA\nIsc_Spb_Password=x=y",
        "not-supported": "user_name=SYSDBA\ndb_name=/dados/app.fdb",
        "unknown": "user_name =SYSDBA",
        "skipped-lines": "sem igual\n  =vazio\n\nuser_name=\npassword= com brancos ",
        "longest-value": "password=" + "p" * 255,
        "too-long-value": "user_name=" + "u" * 256,
    })


def output_line():
    t = "fuzz_output_line"

    def line(text):
        data = text.encode("cp1252") if isinstance(text, str) else text
        return bytes([62]) + struct.pack("<H", len(data)) + data + bytes([1])

    def replies(buffer_size, *items):
        out = struct.pack("<H", buffer_size)
        for item in items:
            out += struct.pack("<H", len(item)) + item
        return out

    end = line("")
    write(t, "backup-run", replies(0,
        line("gbak:readied database /dados/app.fdb for backup"),
        line("gbak:creating file /backup/app_20240105_0200.gbk"),
        line("gbak:starting transaction"),
        line("gbak:writing domains"),
        line("gbak:closing file, committing, and finishing. 1048576 bytes written"),
        end))
    write(t, "empty-first", replies(0, end))
    write(t, "small-buffer", replies(16, line("0123456789AB"), line("x"), end))
    write(t, "line-fills-buffer", replies(8, line("abcd"), line("abcde")))
    write(t, "wrong-item", replies(0, bytes([63, 1, 0, 65, 1])))
    write(t, "wrong-end-byte", replies(0, bytes([62, 2, 0, 65, 66, 0])))
    write(t, "length-past-buffer", replies(32, bytes([62, 0xFF, 0x7F, 65, 1])))
    write(t, "negative-length", replies(0, bytes([62, 0x00, 0x80, 65, 1])))
    write(t, "nul-inside", replies(0, line(b"gbak:\x00hidden"), end))
    write(t, "short-after-long", replies(64, line("a long line that leaves its tail behind"), bytes([62, 3, 0])))


def info_item(code, data):
    return bytes([code]) + struct.pack("<H", len(data)) + data


def counted(*texts):
    out = b""
    for text in texts:
        data = text.encode("cp1252")
        out += bytes([len(data)]) + data
    return out


def characteristics():
    t = "fuzz_characteristics"
    fb3 = b"".join([
        info_item(21, struct.pack("<i", 1632)),
        info_item(13, bytes([1, 10])),
        info_item(4, bytes([2]) + counted("/var/lib/kelmora/KELMORA.FDB", "dbserver")),
        info_item(11, bytes([1, 60, 1])),
        info_item(34, struct.pack("<i", 0)),
        info_item(52, struct.pack("<i", 1)),
        info_item(33, struct.pack("<i", 0)),
        info_item(32, struct.pack("<i", 12)),
        info_item(14, struct.pack("<i", 8192)),
        info_item(12, bytes([1]) + counted("LI-V6.3.11.33703 Firebird 3.0")),
        info_item(103, bytes([1]) + counted("LI-V3.0.11.33703 Firebird 3.0")),
        info_item(31, struct.pack("<i", 20000)),
        info_item(61, struct.pack("<i", 0)),
        info_item(62, struct.pack("<i", 3)),
        info_item(63, struct.pack("<i", 0)),
        info_item(64, struct.pack("<i", 1632)),
    ]) + bytes([1])
    write(t, "firebird3", fb3)
    write(t, "firebird3-in-4096", fb3 + bytes(4096 - len(fb3)))
    write(t, "interbase-no-103", info_item(32, struct.pack("<h", 9)) + info_item(62, bytes([1])) + bytes([1]))
    write(t, "truncated", info_item(32, struct.pack("<i", 12)) + bytes([2]))
    write(t, "length-past-end", bytes([62, 0x40, 0x00, 3]))
    write(t, "short-strings", info_item(4, bytes([2, 200])) + info_item(103, bytes([1, 50, 65])) + bytes([1]))


def firebird_version():
    write_all("fuzz_firebird_version", {
        "fb3": "LI-V3.0.11.33703 Firebird 3.0",
        "fb25-windows": "WI-V2.5.9.27139 Firebird 2.5",
        "fb4": "LI-V4.0.2.2816 Firebird 4.0",
        "fb5-beta": "WI-T5.0.0.1306 Firebird 5.0 Beta 1",
        "three-numbers": "LI-V1.5.6 Firebird 1.5",
        "two-numbers": "LI-V2.1",
        "with-network": "LI-V3.0.11.33703 Firebird 3.0/tcp (dbserver)/P15:C",
        "no-dash": "Firebird",
        "dash-only": "-",
    })


def statement_info():
    t = "fuzz_statement_info"
    write(t, "type-update", bytes([0, 21, 4, 0, 4, 0, 0, 0, 1]))
    write(t, "type-delete", bytes([0, 21, 4, 0, 5, 0, 0, 0, 1]))
    write(t, "type-exec-procedure", bytes([0, 21, 4, 0, 8, 0, 0, 0, 1]))
    write(t, "type-wrong-item", bytes([0, 22, 1, 0, 4, 1]))
    write(t, "type-too-long", bytes([0, 21, 0x00, 0x01, 4, 1]))
    write(t, "type-longest", bytes([0, 21, 0xFF, 0x00, 4, 1]))
    aliases = bytes([4, 7]) + info_item(9, struct.pack("<h", 1)) + info_item(25, b"SIS") + bytes([8])
    aliases += info_item(9, struct.pack("<h", 2)) + info_item(25, b"B") + bytes([8, 1])
    write(t, "aliases-two-columns", bytes([1]) + aliases)
    write(t, "aliases-truncated", bytes([1, 4, 7]) + info_item(9, struct.pack("<h", 1)) + bytes([2]))
    write(t, "aliases-length-past-end", bytes([1, 4, 7, 25, 0xFF, 0xFF, 65]))


def jpeg():
    t = "fuzz_jpeg"
    splash = os.path.join(HERE, "..", "resources", "splash.jpg")
    if os.path.exists(splash):
        with open(splash, "rb") as f:
            write(t, "splash.jpg", f.read())
    if shutil.which("convert") is None:
        return
    with tempfile.TemporaryDirectory() as work:
        def make(name, *options):
            path = os.path.join(work, name)
            subprocess.run(["convert", *options, path], check=True)
            with open(path, "rb") as f:
                write(t, name, f.read())
        make("small-baseline.jpg", "-size", "16x8", "gradient:navy-white", "-quality", "75", "-strip")
        make("small-progressive.jpg", "-seed", "7", "-size", "24x16", "plasma:fractal", "-interlace", "JPEG",
             "-quality", "60", "-strip")
        make("small-gray.jpg", "-size", "8x8", "gradient:", "-colorspace", "Gray", "-strip")
        make("small-cmyk.jpg", "-size", "8x8", "xc:red", "-colorspace", "CMYK", "-strip")
        make("restart-markers.jpg", "-size", "32x32", "pattern:checkerboard", "-define", "jpeg:restart-interval=1",
             "-strip")
    with open(os.path.join(CORPUS, t, "small-baseline.jpg"), "rb") as f:
        whole = f.read()
    write(t, "cut-short.jpg", whole[: len(whole) // 2])


if __name__ == "__main__":
    profile_reader()
    database_name()
    attach_params()
    output_line()
    characteristics()
    firebird_version()
    statement_info()
    jpeg()
