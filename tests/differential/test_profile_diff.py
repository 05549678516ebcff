#!/usr/bin/env python3
"""Our Linux private-profile service against the Windows one.

One table of file cases, each a file's bytes (or no file) and a few
GetPrivateProfileStringA / WritePrivateProfileStringA calls. Every case runs
through profile_probe built on our Linux service and through profile_probe.exe
on kernel32 under Wine, on files of its own in temp directories; the values
read and the bytes of the file afterwards must be the same.

Wine is not Windows. Where a case's bytes on real Windows are known (the
`windows` column, from tests run on Windows' kernel32), our service must give
exactly those. A case where Wine answers differently from our service names
the reason in `differs`; the test then checks that Wine really does differ, so
that the list stays true. The reasons are of two kinds:
  WINE_REWRITES  Wine 8 writes the whole file anew when one value changes:
                 CRLF everywhere, blanks around '=' dropped, blank lines
                 dropped, text after a header's ']' dropped, bytes from 0x80 up
                 re-encoded. Windows, like our service, changes the one line.
  WINE DEPARTS   Wine reads or writes otherwise than Windows does (the
                 reason names the Windows behaviour); our service does as
                 Windows does, and the case's `windows_reads` or `windows`
                 column checks that.
  OURS           a decision of our service that departs from kernel32 on
                 purpose, or one where Windows' behaviour is not known;
                 shell/linux/profile/profile_file.cpp's header says why.
Cases where Wine agrees with our service although Windows does otherwise
(lengths that wrap at 65536 on Windows, a UTF-8 byte-order mark) say so in a
comment: the two services agree there, and our choice is explained in the
service's header.

Wine runs in the Japanese locale (code page 932), as a player's Windows does.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import unittest

ARGS = None

WINE_REWRITES = "Wine rewrites the whole file on a write; Windows changes only the key's line"


def ours(why):
    return "our service on purpose: " + why


def wine_departs(windows_does):
    return "Wine departs from Windows, where " + windows_does


def get(section, key, default="defaultValue", size=1024):
    return ("get", section, key, default, size)


def put(section, key, value):
    return ("put", section, key, value)


class Case:
    def __init__(self, name, before, ops, windows=None, windows_reads=None, differs=None, path="case.ini"):
        self.name = name
        self.before = before  # bytes, or None for no file
        self.ops = ops
        self.windows = windows  # the file's bytes after the calls on real Windows, when known
        self.windows_reads = windows_reads  # the texts the reads give on real Windows, when known
        self.differs = differs  # why Wine's answers differ from ours, or None
        self.path = path  # the file's name, relative to the case's folder


DEF = b"[SectionName]\r\nTestKey=TestValue\r\n[SectionName2]\r\nTestKey2=TestValue2\r\n"
S = "SectionName"
GAME = (b"; written by the game\r\n"
        b"[Video]\r\nWidth = 640\r\n\r\nHeight=480 \r\n"
        b"[KeyConfig] ; the pad\r\n"
        b"Key1 = 5\r\n\tKey2=\t9\r\nKey3=\"2\"\r\n"
        b"\r\n"
        b"[Name]\r\nPlayer=\x83v\x83\x8c\x83C\x83\x84\x81[\r\n")
KEYCONFIG_SAVE = [put("KeyConfig", "Key%d" % (i + 1), str(v)) for i, v in enumerate((7, 0, 23, 11))]

CASES = [
    # Reading.
    Case("values, missing keys and sections", DEF,
         [get(S, "TestKey"), get(S, "testkey"), get("SECTIONNAME", "TESTKEY"), get(S, "NonExistingKey"),
          get("NonExistingSection", "TestKey"), get(S, "NonExistingKey", ""), get("SectionName2", "TestKey2")]),
    Case("no file", None, [get(S, "TestKey")]),
    Case("an empty file", b"", [get(S, "TestKey")]),
    Case("blanks of a default", DEF,
         [get(S, "x", "   default   "), get(S, "x", "\tdefault\t"), get(S, "x", "default\r\n"), get(S, "x", "   ")],
         windows_reads=["   default", "\tdefault\t", "default\r\n", ""],
         differs=wine_departs("a default loses all its trailing spaces, so one of spaces only is empty")),
    Case("blanks around a value", b"[S]\r\nk1= v \r\nk2=\tv\t\r\nk3=\x0bv\x0b\r\nk4= a b \r\nk5=   \r\n",
         [get("S", "k%d" % i) for i in range(1, 6)]),
    Case("blanks around a key in the file",
         b"[S]\r\n k1 =v1\r\n\tk2\t=v2\r\n\x0bk3\x0b=v3\r\n  \t k4  =v4\r\n",
         [get("S", "k%d" % i) for i in range(1, 5)]),
    Case("blanks around names passed in", DEF,
         [get("  SectionName  ", " TestKey "), get(S, "TestKey\t"), get(S, "TestKey\n"), get("\tSectionName", "TestKey"),
          get("\x0bSectionName", "TestKey")],
         windows_reads=["TestValue"] + ["defaultValue"] * 4,
         differs=wine_departs("only spaces are trimmed from the names passed in, not tabs, VT or line breaks")),
    *[Case("a blank %r before the header" % lead, lead + b"[SectionName]\r\nTestKey=TestValue\r\n", [get(S, "TestKey")])
      for lead in (b" ", b"\t", b"\x0b", b"\r", b"\n")],
    Case("blanks inside the brackets", b"[ x ]\r\nk=1\r\n[\ty\t]\r\nk=2\r\n", [get("x", "k"), get("y", "k")]),
    Case("a repeated key: the first wins", b"[S]\r\nk=first\r\nK=second", [get("S", "k")]),
    Case("a repeated section: only its first block", b"[S]\r\n[S]\r\nk=v\r\n[T]\r\na=1\r\n[t]\r\nb=2\r\n",
         [get("S", "k"), get("T", "a"), get("T", "b")]),
    Case("comments", b"[S]\r\n;k1=v\r\n ;k2=v\r\n\t;k3=v\r\nk4=;v\r\n#k5=v\r\nk6=a ; b\r\n",
         [get("S", ";k1"), get("S", "k1"), get("S", "k2"), get("S", " ;k2"), get("S", "k3"), get("S", "k4"),
          get("S", "#k5"), get("S", "k6")],
         windows_reads=["defaultValue"] * 5 + [";v", "v", "a ; b"],
         differs=wine_departs("a comment line cannot be read, even by asking for its key with the ';'")),
    Case("an empty key name", b"[S]\r\n=;comment\r\n", [get("S", "")]),
    Case("quotes", b"[S]\r\nk1=  \"   v   \"  \r\nk2=  '   v   '  \r\nk3=\"'v'\"\r\nk4='\"v\"'\r\n"
         b"k5=''v''\r\nk6=\"v'\r\nk7=\"\r\nk8=\"\"\r\nk9=a\"b\"\r\n",
         [get("S", "k%d" % i) for i in range(1, 10)]),
    Case("a ']' inside a header", b"[sec]whoops]\r\nk=v\r\n", [get("sec]whoops", "k"), get("sec", "k")],
         windows_reads=["defaultValue", "v"], differs=wine_departs("a header's name ends at its first ']'")),
    Case("a header after a header", b"[sec][sec2]]\r\nk=v\r\n",
         [get("sec", "k", ""), get("sec2", "k", ""), get("sec2]", "k", ""), get("sec][sec2]", "k", "")],
         windows_reads=["v", "", "", ""], differs=wine_departs("a header's name ends at its first ']'")),
    Case("a header without ']'", b"[SectionName   \r\nTestKey=TestValue\r\n", [get(S, "TestKey")],
         windows_reads=["TestValue"], differs=wine_departs("a header without ']' ends at its line break")),
    Case("a header without '['", b"SectionName]\r\nTestKey=TestValue\r\n", [get(S, "TestKey")]),
    Case("keys before the first header", b"k=v\r\n[S]\r\nk2=v2\r\n", [get("", "k"), get(" ", "k"), get("S", "k2")],
         windows_reads=["defaultValue", "defaultValue", "v2"],
         differs=wine_departs("keys before the first header belong to no section that can be read")),
    Case("a header with no name", b"[]\r\nk=v\r\n", [get("", "k")], windows_reads=["v"],
         differs=wine_departs("\"[]\" is a section with an empty name")),
    Case("lines without '='", b"[S]\r\njustaword\r\nk=v\r\n  \r\nword two\r\n", [get("S", "justaword"), get("S", "k")]),
    Case("buffer sizes", DEF + b"[KeyConfig]\r\nKey1=" + b"1" * 40 + b"\r\n",
         [get(S, "TestKey", size=5), get(S, "TestKey", size=1), get(S, "TestKey", size=9), get(S, "TestKey", size=10),
          get("KeyConfig", "Key1", "3", 32), get(S, "x", "a long default", 5), get(S, "x", "abcd", 5)],
         windows_reads=["Test", "", "TestValu", "TestValue", "1" * 31, "a lo", "abcd"],
         differs=wine_departs("a cut value sets the last error to ERROR_MORE_DATA")),
    # Windows wraps the length of a value at 65536; our service, and Wine,
    # do not.
    *[Case("a value of %d bytes" % n, b"[S]\r\nk=" + b"x" * n + b"\r\n", [get("S", "k", size=n + 2)])
      for n in (65534, 65535, 65536, 65537)],
    Case("no line break at the end", b"[S]\r\nk=v\r\nk2=v2", [get("S", "k2")]),
    # Windows takes a UTF-8 byte-order mark as part of the first line, so it
    # cannot see the first section; our service skips it, as Wine does.
    Case("a UTF-8 byte-order mark", b"\xef\xbb\xbf" + DEF, [get(S, "TestKey"), get("SectionName2", "TestKey2")]),
    Case("a UTF-16LE file", b"\xff\xfe" + DEF.decode().encode("utf-16-le"), [get(S, "TestKey")],
         differs=ours("UTF-16 files are not read")),
    Case("a UTF-16BE file", b"\xfe\xff" + DEF.decode().encode("utf-16-be"), [get(S, "TestKey")],
         windows_reads=["defaultValue"], differs=wine_departs("UTF-16BE files are not read")),
    Case("bytes from 0x80 up", b"[S]\r\nk=Unicode\xe2\x9d\xa4\xef\xb8\x8e\r\n[\x83L\x81[]\r\n\x83L\x81[=\x82\xa0\r\n",
         [get("S", "k"), get("\x83L\x81[", "\x83L\x81[")],
         windows_reads=["Unicode\xe2\x9d\xa4\xef\xb8\x8e", "\x82\xa0"],
         differs=wine_departs("the A functions give a value's bytes as they are, not through the code page")),
    Case("LF line breaks", b"[S]\nk=v\nk2=v2\n", [get("S", "k"), get("S", "k2")]),
    Case("CR line breaks", b"[S]\rk=v\rk2=v2\r", [get("S", "k"), get("S", "k2")],
         differs=ours("a bare CR is no line break, so a CR-only file is one line")),
    Case("mixed line breaks and extra CRs", b"[S]\r\nk=v\r\r\nk2=v2\n[T]\r\nk=t\r\n",
         [get("S", "k"), get("S", "k2"), get("T", "k")],
         differs=ours("only the CR just before an LF belongs to the line break; another is part of the value")),
    Case("NUL bytes", b"[S]\r\nk=a\x00b\r\nk2=v2\r\n", [get("S", "k"), get("S", "k2")],
         differs=ours("a NUL is an ordinary byte of a value, so the length counts the bytes after it")),
    Case("a 1 MB line before the section", b"; " + b"z" * (1 << 20) + b"\r\n[S]\r\nk=v\r\n", [get("S", "k")]),

    # Writing.
    Case("into an empty file", b"", [put(S, "TestKey", "TestValue")], windows=b"[SectionName]\r\nTestKey=TestValue\r\n"),
    Case("no file: it is created", None, [put(S, "TestKey", "TestValue")],
         windows=b"[SectionName]\r\nTestKey=TestValue\r\n"),
    Case("the folder does not exist", None, [put(S, "TestKey", "TestValue")], path="missing/case.ini"),
    Case("a value is written as given", None, [put(S, "k1", " value "), put(S, "k2", "\tvalue\t"), put(S, "k3", "")],
         windows=b"[SectionName]\r\nk1= value \r\nk2=\tvalue\t\r\nk3=\r\n",
         differs=wine_departs("a value is written as given, blanks and all")),
    Case("spaces around names passed in", None, [put("   sec   ", "  key  ", " value "), get("sec", "key")],
         windows=b"[sec]\r\nkey= value \r\n",
         differs=wine_departs("the names lose their spaces before they are written")),
    Case("tabs in names passed in", None, [put(S, "\tkey\t", "TestValue"), put("\tsec\t", "TestKey", "TestValue")],
         windows=b"[SectionName]\r\n\tkey\t=TestValue\r\n[\tsec\t]\r\nTestKey=TestValue\r\n",
         differs=wine_departs("tabs in names are written as given")),
    Case("new keys in call order", b"", [put(S, k, "") for k in "zayb"],
         windows=b"[SectionName]\r\nz=\r\na=\r\ny=\r\nb=\r\n"),
    Case("existing keys rewritten in place", b"[SectionName]\r\nb=value\r\na=value\r\n", [put(S, k, "") for k in "zbya"],
         windows=b"[SectionName]\r\nb=\r\na=\r\nz=\r\ny=\r\n"),
    Case("the file's spelling of a key", b"[SectionName]\r\nTestKey=TestValue", [put(S, "TESTKEY", "TestValue2")],
         windows=b"[SectionName]\r\nTestKey=TestValue2\r\n"),
    Case("the file's spelling of a section", b"[SectionName]\r\nTestKey=TestValue",
         [put("SECTIONNAME", "TestKey", "TestValue2")], windows=b"[SectionName]\r\nTestKey=TestValue2\r\n"),
    Case("new keys go before the comments closing a section", b"", [put(S, k, "") for k in ("z", ";y", "a", ";b", ";c")],
         windows=b"[SectionName]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n",
         differs=wine_departs("a new line goes right after the section's last entry, before its closing comments")),
    Case("comments stay where they are",
         b";comment0\r\n[SectionName]\r\n;comment1\r\nb=value\r\n;comment2\r\na=value\r\n",
         [put(S, k, "") for k in ("z", ";x", "y", "a", "b")],
         windows=b";comment0\r\n[SectionName]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\nz=\r\ny=\r\n;x=\r\n",
         differs=wine_departs("a new line goes right after the section's last entry, before its closing comments")),
    Case("a ';' key is added each time", None, [put(S, ";key", "TestValue"), put(S, ";key", "TestValue")],
         windows=b"[SectionName]\r\n;key=TestValue\r\n;key=TestValue\r\n",
         differs=wine_departs("a ';' key never matches a comment line, so each write adds a line")),
    Case("';' in a value and an empty key", None, [put(S, "TestKey", ";nocomment"), put(S, "", ";comment")],
         windows=b"[SectionName]\r\nTestKey=;nocomment\r\n=;comment\r\n"),
    Case("a new section at the end", b"[SectionName]\r\nTestKey=TestValue\r\n", [put("SectionName2", "TestKey2", "TestValue2")],
         windows=DEF),
    Case("a new section after an unterminated line", b"[A]\r\nx=1", [put("KeyConfig", "Key1", "7")],
         windows=b"[A]\r\nx=1\r\n[KeyConfig]\r\nKey1=7\r\n"),
    Case("a repeated section: the first block is written", b"[S]\r\na=1\r\n[T]\r\n[S]\r\nk=old\r\n",
         [put("S", "k", "new"), get("S", "k")], windows=b"[S]\r\na=1\r\nk=new\r\n[T]\r\n[S]\r\nk=old\r\n"),
    # Windows would put a line break after a byte-order mark before a new
    # header, and add a second KeyConfig section after "BOM[KeyConfig]"; our
    # service skips the mark, as Wine does.
    Case("a UTF-8 byte-order mark alone", b"\xef\xbb\xbf", [put("KeyConfig", "Key1", "7")]),
    Case("a UTF-8 byte-order mark before the header", b"\xef\xbb\xbf[KeyConfig]\r\nKey1=5\r\n",
         [put("KeyConfig", "Key1", "7"), get("KeyConfig", "Key1")]),
    Case("a UTF-16LE byte-order mark alone", b"\xff\xfe", [put(S, "TestKey", "TestValue")],
         differs=ours("a UTF-16 file is refused and left as it is")),
    Case("a UTF-16BE byte-order mark and a line break", b"\xfe\xff\x00\r\x00\n", [put(S, "TestKey", "TestValue")],
         differs=ours("a UTF-16 file is refused and left as it is")),

    # keyconfig's own save: four keys into a file the game keeps other things in.
    Case("keyconfig's save into the game's file", GAME, KEYCONFIG_SAVE + [get("KeyConfig", "Key3"), get("Name", "Player")],
         differs=WINE_REWRITES),
    Case("keyconfig's save without a KeyConfig section", b"[Video]\r\nWidth=640\r\n", KEYCONFIG_SAVE,
         windows=b"[Video]\r\nWidth=640\r\n[KeyConfig]\r\nKey1=7\r\nKey2=0\r\nKey3=23\r\nKey4=11\r\n"),
    Case("keyconfig's save into an LF file", b"[Video]\nWidth=640\n[KeyConfig]\nKey1=5\n", KEYCONFIG_SAVE,
         differs=WINE_REWRITES + "; an LF-only file stays LF-only here"),
    Case("a blank line and text after ']' are kept", b"[A] note\r\n\r\nx = 1\r\n[KeyConfig]\r\nKey1=5\r\n",
         [put("KeyConfig", "Key1", "7")], windows=b"[A] note\r\n\r\nx = 1\r\n[KeyConfig]\r\nKey1=7\r\n",
         differs=WINE_REWRITES),
    Case("bytes from 0x80 up elsewhere are kept",
         b"[A]\r\nname=\x83v\x83\x8c\x83C\r\nmark=\x80\xa0\xfd\xff\r\n[KeyConfig]\r\nKey1=5\r\n",
         [put("KeyConfig", "Key1", "7")],
         windows=b"[A]\r\nname=\x83v\x83\x8c\x83C\r\nmark=\x80\xa0\xfd\xff\r\n[KeyConfig]\r\nKey1=7\r\n"),
    Case("a long line elsewhere is kept", b"[A]\r\nlong=" + b"y" * 100000 + b"\r\n[KeyConfig]\r\nKey1=5\r\n",
         [put("KeyConfig", "Key1", "7")], windows=b"[A]\r\nlong=" + b"y" * 100000 + b"\r\n[KeyConfig]\r\nKey1=7\r\n"),
]


def hexed(text):
    if isinstance(text, str):
        text = text.encode("latin-1")
    return text.hex() or "."


def case_file(folder, i, case):
    """The file of case number `i` under `folder`: each case has a folder of its own."""
    return os.path.join(folder, str(i), case.path)


def script(cases, folder, windows_paths):
    lines = []
    for i, case in enumerate(cases):
        path = case_file(folder, i, case)
        if windows_paths:
            path = "Z:" + path.replace("/", "\\")
        for op in case.ops:
            fields = [op[0], hexed(path)] + [hexed(t) for t in op[1:4]] + ([str(op[4])] if op[0] == "get" else [])
            lines.append("\t".join(fields))
    return "\n".join(lines) + "\n"


def prepare(cases, folder):
    for i, case in enumerate(cases):
        os.makedirs(os.path.join(folder, str(i)))
        if case.before is not None:
            with open(case_file(folder, i, case), "wb") as f:
                f.write(case.before)


def read_texts(answers):
    """The texts of the answers to reads ("<returned> <cut> <hex>")."""
    texts = []
    for answer in answers:
        fields = answer.split(" ")
        if len(fields) == 3:
            texts.append(b"" if fields[2] == "." else bytes.fromhex(fields[2]))
    return texts


def results(cases, folder, answers):
    """Per case: (the answers to its calls, the file's bytes afterwards or None)."""
    answers = iter(answers)
    out = []
    for i, case in enumerate(cases):
        said = [next(answers, "no answer") for _ in case.ops]
        path = case_file(folder, i, case)
        data = None
        if os.path.isfile(path):
            with open(path, "rb") as f:
                data = f.read()
        out.append((said, data))
    return out


def run(command, cases, folder, windows_paths, env=None):
    prepare(cases, folder)
    proc = subprocess.run(command, input=script(cases, folder, windows_paths).encode(), capture_output=True,
                          timeout=600, env=env)
    if proc.returncode != 0:
        raise RuntimeError("%s exited with %d: %s" % (command[0], proc.returncode, proc.stderr.decode(errors="replace")))
    return results(cases, folder, proc.stdout.decode().splitlines())


class ProfileServiceAgainstWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory(prefix="keyconfig-profile-diff-")
        linux_dir, wine_dir = os.path.join(cls.temp.name, "linux"), os.path.join(cls.temp.name, "wine")
        cls.linux = run([ARGS.linux_probe], CASES, linux_dir, windows_paths=False)
        japanese = dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        cls.wine = run(["wine", ARGS.windows_probe], CASES, wine_dir, windows_paths=True, env=japanese)

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_every_case(self):
        for case, ours_, wines in zip(CASES, self.linux, self.wine):
            with self.subTest(case=case.name):
                if case.windows is not None:
                    self.assertEqual(ours_[1], case.windows, "not the bytes Windows writes")
                if case.windows_reads is not None:
                    self.assertEqual(read_texts(ours_[0]), [t.encode("latin-1") for t in case.windows_reads],
                                     "not what Windows reads")
                if case.differs is None:
                    self.assertEqual(ours_[0], wines[0], "the calls answer differently")
                    self.assertEqual(ours_[1], wines[1], "the file differs")
                else:
                    self.assertNotEqual(ours_, wines, "listed as differing (%s), but Wine now agrees" % case.differs)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-probe", required=True, help="profile_probe of the Linux build")
    parser.add_argument("--windows-probe", required=True, help="profile_probe.exe of the Windows build, run with wine")
    ARGS, rest = parser.parse_known_args()
    result = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
