#!/usr/bin/python3
"""Tables written by dbup's engine read by independent dBASE readers, and
tables of independent writers read by dbup's engine, compared value by value.

Run as: compat_test.py SUITE (the name of one TestCase class). Exits 77 when
every test of the suite was skipped because its reader is not installed.
"""
import datetime
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

DBFTOOL = os.environ.get("DBFTOOL", "")
PERL = os.environ.get("DBUP_PERL", "") or shutil.which("perl") or ""
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("DBUP_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))

try:
    import dbfread
except ImportError:
    dbfread = None
try:
    import dbf as pydbf
except ImportError:
    pydbf = None


def perl_has_xbase():
    if not PERL:
        return False
    return subprocess.run([PERL, "-MXBase", "-MJSON::PP", "-e", "1"],
                          capture_output=True).returncode == 0


HAVE_PERL_XBASE = perl_has_xbase()

# One table exercising every type, memo edge cases and a deleted record.
SCHEMA = {
    "language_driver": 0x57,  # cp1252, so readers decode the accented names
    "fields": [
        {"name": "CLAIM", "type": "N", "length": 10},
        {"name": "PATIENT", "type": "C", "length": 20},
        {"name": "SERVED", "type": "D"},
        {"name": "CHARGE", "type": "N", "length": 10, "decimals": 2},
        {"name": "RATE", "type": "F", "length": 12, "decimals": 4},
        {"name": "PAID", "type": "L"},
        {"name": "NOTE", "type": "M"},
    ],
}
RECORDS = [
    {"CLAIM": 1001, "PATIENT": "Ada Lovelace", "SERVED": "20261201", "CHARGE": 125.5,
     "RATE": 0.125, "PAID": True, "NOTE": "first visit\r\nfollow-up in 2 weeks"},
    {"CLAIM": 1002, "PATIENT": "Zoë Müller", "SERVED": None, "CHARGE": -0.05,
     "RATE": None, "PAID": False, "NOTE": ""},
    {"CLAIM": -7, "PATIENT": "  leading blanks", "SERVED": "19991231", "CHARGE": 2.675,
     "RATE": 1234567.0001, "PAID": None, "NOTE": "x" * 504},  # text ends on a block end
    {"_deleted": True, "CLAIM": 4, "PATIENT": "deleted", "SERVED": "20000229", "CHARGE": 1,
     "RATE": 1, "PAID": True, "NOTE": "memo of a deleted record"},
    {"CLAIM": None, "PATIENT": "", "SERVED": None, "CHARGE": None, "RATE": None,
     "PAID": None, "NOTE": "".join(chr(32 + i % 90) for i in range(1500))},
]
# What a correct reader returns for RECORDS (numbers rounded by the field).
EXPECTED = [
    {"CLAIM": 1001, "PATIENT": "Ada Lovelace", "SERVED": "20261201", "CHARGE": 125.5,
     "RATE": 0.125, "PAID": True, "NOTE": "first visit\r\nfollow-up in 2 weeks"},
    {"CLAIM": 1002, "PATIENT": "Zoë Müller", "SERVED": None, "CHARGE": -0.05,
     "RATE": None, "PAID": False, "NOTE": ""},
    {"CLAIM": -7, "PATIENT": "  leading blanks", "SERVED": "19991231", "CHARGE": 2.68,
     "RATE": 1234567.0001, "PAID": None, "NOTE": "x" * 504},
    {"CLAIM": 4, "PATIENT": "deleted", "SERVED": "20000229", "CHARGE": 1.0,
     "RATE": 1.0, "PAID": True, "NOTE": "memo of a deleted record"},
    {"CLAIM": None, "PATIENT": "", "SERVED": None, "CHARGE": None, "RATE": None,
     "PAID": None, "NOTE": RECORDS[4]["NOTE"]},
]
DELETED = [False, False, False, True, False]


def normalise(value, kind):
    """One form for every reader: numbers as float, dates as YYYYMMDD text,
    logicals as bool, blank memos as "", blanks of other types as None."""
    if kind in "NF":
        if value is None or value == "":
            return None
        return float(value)
    if kind == "D":
        if value in (None, "", "        "):
            return None
        if isinstance(value, (datetime.date, datetime.datetime)):
            return value.strftime("%Y%m%d")
        return str(value)
    if kind == "L":
        if value is None or value == "":
            return None
        if isinstance(value, str):
            return value in "TtYy"
        return bool(value)
    if kind == "M":
        return "" if value is None else value
    return "" if value is None else value.rstrip(" \x00")


def kinds_of(schema_fields):
    return {f["name"]: f["type"] for f in schema_fields}


def run_dbftool(*args, stdin=None, check=True):
    result = subprocess.run([DBFTOOL, *args], input=stdin, capture_output=True)
    if check and result.returncode != 0:
        raise AssertionError("dbftool %s failed: %s" % (args, result.stderr.decode()))
    return result


def dump_ours(path):
    """Records as dbftool reads them: (deleted, values)."""
    out = run_dbftool("dump", "--deleted", path).stdout.decode("utf-8")
    rows = []
    for line in out.splitlines():
        record = json.loads(line)
        deleted = record.pop("_deleted")
        record.pop("_recno")
        rows.append((deleted, record))
    return rows


def memo_file_of(path):
    """The .dbt beside path, whatever the case of its name (Perl looks only
    for the exact spelling)."""
    folder, name = os.path.split(path)
    base = os.path.splitext(name)[0].lower()
    for entry in os.listdir(folder or "."):
        if entry.lower() == base + ".dbt":
            return os.path.join(folder, entry)
    return None


def read_perl(path):
    args = [PERL, os.path.join(HERE, "xbase_read.pl"), path]
    memo = memo_file_of(path)
    if memo is not None:
        args.append(memo)
    out = subprocess.run(args, capture_output=True, check=True).stdout
    rows = []
    for line in out.decode("latin-1").splitlines():
        record = json.loads(line)
        rows.append((bool(record["deleted"]), record["values"]))
    return rows


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="dbup-compat-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write_ours(self):
        schema = os.path.join(self.dir, "schema.json")
        with open(schema, "w") as f:
            json.dump(SCHEMA, f)
        path = os.path.join(self.dir, "CLAIMS.DBF")
        run_dbftool("create", path, "--schema", schema)
        lines = "".join(json.dumps(r, ensure_ascii=False) + "\n" for r in RECORDS)
        run_dbftool("append", path, stdin=lines.encode("utf-8"))
        return path

    def assert_rows(self, rows, expected, deleted, kinds, text_decode=None):
        self.assertEqual(len(rows), len(expected))
        for n, ((is_deleted, values), want, want_deleted) in enumerate(
                zip(rows, expected, deleted)):
            self.assertEqual(is_deleted, want_deleted, "record %d" % (n + 1))
            for name, kind in kinds.items():
                got = values.get(name, values.get(name.lower()))
                if text_decode and isinstance(got, str):
                    got = text_decode(got)
                self.assertEqual(normalise(got, kind), normalise(want[name], kind),
                                 "record %d field %s" % (n + 1, name))


class OursReadByDbfread(TempDirTest):
    @unittest.skipIf(dbfread is None, "python3-dbfread is not installed")
    def test_values_and_memos(self):
        path = self.write_ours()
        table = dbfread.DBF(path, load=True)
        self.assertEqual(table.header.dbversion, 0x8B)
        rows = [(False, dict(r)) for r in table.records] + \
               [(True, dict(r)) for r in table.deleted]
        # dbfread lists live and deleted records apart; put them in file order.
        order = [i for i, d in enumerate(DELETED) if not d] + [i for i, d in enumerate(DELETED) if d]
        self.assert_rows(rows, [EXPECTED[i] for i in order], [DELETED[i] for i in order],
                         kinds_of(SCHEMA["fields"]))


class OursReadByPerlXBase(TempDirTest):
    @unittest.skipUnless(HAVE_PERL_XBASE, "libdbd-xbase-perl is not installed")
    def test_values_and_memos(self):
        path = self.write_ours()
        rows = read_perl(path)
        # Perl hands out the table's bytes; the table is cp1252.
        self.assert_rows(rows, EXPECTED, DELETED, kinds_of(SCHEMA["fields"]),
                         text_decode=lambda s: s.encode("latin-1").decode("cp1252"))


class PythonDbfReadByOurs(TempDirTest):
    @unittest.skipIf(pydbf is None, "python3-dbf is not installed")
    def test_dbase3_table_with_memos(self):
        path = os.path.join(self.dir, "PYDBF.DBF")
        table = pydbf.Table(path, "NAME C(20); AMT N(10,2); SERVED D; PAID L; NOTE M",
                            dbf_type="db3")
        table.open(mode=pydbf.READ_WRITE)
        written = [
            ("Ada", 12.5, datetime.date(2026, 12, 1), True, "memo one\r\nline two"),
            ("Bob", -3, None, False, ""),
            ("Del", 1, None, None, "y" * 1200),
            ("Eve", None, datetime.date(1999, 1, 31), None, "z" * 510),
        ]
        for row in written:
            table.append(row)
        pydbf.delete(table[2])
        table.close()
        kinds = {"NAME": "C", "AMT": "N", "SERVED": "D", "PAID": "L", "NOTE": "M"}
        expected = [dict(zip(kinds, row)) for row in written]
        rows = dump_ours(path)
        self.assert_rows(rows, expected, [False, False, True, False], kinds)

        # Our appends to the dBASE III table read back in python3-dbf.
        added = {"NAME": "Fay", "AMT": 7.25, "SERVED": "20261211", "PAID": True,
                 "NOTE": "added by dbup\r\n" + "w" * 700}
        run_dbftool("append", path, stdin=(json.dumps(added) + "\n").encode())
        table = pydbf.Table(path)
        table.open(mode=pydbf.READ_ONLY)
        try:
            self.assertEqual(len(table), 5)
            last = table[4]
            self.assertEqual(last.name.rstrip(), "Fay")
            self.assertEqual(float(last.amt), 7.25)
            self.assertEqual(last.served, datetime.date(2026, 12, 11))
            self.assertIs(bool(last.paid), True)
            self.assertEqual(last.note, added["NOTE"])
            self.assertEqual(table[0].note, written[0][4])
        finally:
            table.close()


class PerlXBaseReadByOurs(TempDirTest):
    @unittest.skipUnless(HAVE_PERL_XBASE, "libdbd-xbase-perl is not installed")
    def test_dbase4_table_with_memos(self):
        path = os.path.join(self.dir, "perl.dbf")  # Perl names the .dbt after it
        fields = [["NAME", "C", 20, 0], ["AMT", "N", 10, 2], ["SERVED", "D", 8, 0],
                  ["PAID", "L", 1, 0], ["NOTE", "M", 10, 0]]
        records = [
            [0, "Ada", 12.5, "20261201", 1, "memo one\r\nline two"],
            [0, "Bob", -3, None, 0, ""],
            [1, "Del", 1, None, None, "y" * 1200],
            [0, "Eve", None, "19990131", None, "z" * 504],
        ]
        description = json.dumps({"fields": fields, "records": records})
        subprocess.run([PERL, os.path.join(HERE, "xbase_write.pl"), path],
                       input=description.encode(), check=True)
        kinds = {f[0]: f[1] for f in fields}
        expected = [dict(zip(kinds, r[1:])) for r in records]
        rows = dump_ours(path)
        self.assert_rows(rows, expected, [bool(r[0]) for r in records], kinds)
        # and what Perl itself reads back agrees
        self.assert_rows(read_perl(path), expected, [bool(r[0]) for r in records], kinds)


class DbftoolCommands(TempDirTest):
    """What support staff rely on: bad input changes nothing and says why."""

    def test_append_checks_every_line_before_appending(self):
        path = self.write_ours()
        before = open(path, "rb").read()
        bad_lines = [
            '{"CLAIM": 1}\n{"NOSUCH": 1}\n',
            '{"CLAIM": 1}\n{"SERVED": "2026-12-01"}\n',
            '{"CLAIM": 1}\nnot json\n',
            '{"CLAIM": "many"}\n',
            '{"PATIENT": "\u20ac"}\n',  # not in the table's single-byte text
        ]
        for lines in bad_lines:
            with self.subTest(lines=lines):
                result = run_dbftool("append", path, stdin=lines.encode(), check=False)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(b"nothing was appended", result.stderr)
                self.assertEqual(open(path, "rb").read(), before)

    def test_create_does_not_replace_a_table_unless_forced(self):
        path = self.write_ours()
        before = open(path, "rb").read()
        schema = os.path.join(self.dir, "schema.json")
        result = run_dbftool("create", path, "--schema", schema, check=False)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(open(path, "rb").read(), before)
        run_dbftool("create", path, "--schema", schema, "--force")
        self.assertEqual(json.loads(run_dbftool("info", path).stdout)["record_count"], 0)

    def test_damaged_table_is_reported_not_dumped(self):
        path = self.write_ours()
        data = bytearray(open(path, "rb").read())
        data[10:12] = (5).to_bytes(2, "little")  # record length that fits no field list
        open(path, "wb").write(bytes(data))
        for command in ("dump", "info"):
            result = run_dbftool(command, path, check=False)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(b"record length", result.stderr)
            self.assertEqual(result.stdout, b"")
        self.assertEqual(open(path, "rb").read(), bytes(data))


def shared_samples():
    for candidate in (os.path.join(SOURCE_DIR, "..", "shared", "samples"),):
        if os.path.isdir(candidate):
            return os.path.normpath(candidate)
    return None


class SamplesAgainstPerlXBase(unittest.TestCase):
    """The real files of other writers: ours and Perl's XBase agree on every
    value (Perl reads the memo block size from the .dbt header)."""

    TABLES = [
        "ndbfreaderex/BDE_TEST_4_512.dbf", "ndbfreaderex/BDE_TEST_4_64.dbf",
        "ndbfreaderex/TEST4D.DBF", "tdbf/current/TDBF_DEMO.DBF", "tdbf/current/disco.DBF",
        "tdbf/memo/DBASE3+.dbf", "tdbf/memo/DBASE4.dbf", "tdbf/memo/table1.DBF",
        "xbasej/odd-truncated-mdx/test.dbf",
    ]
    LEVEL7 = ["ndbfreaderex/BDE_TEST_7_1024.dbf", "ndbfreaderex/BDE_TEST_7_2048.dbf"]

    def setUp(self):
        self.samples = shared_samples()
        if self.samples is None:
            self.skipTest("shared samples are absent")

    def test_values_agree(self):
        if not HAVE_PERL_XBASE:
            self.skipTest("libdbd-xbase-perl is not installed")
        for name in self.TABLES:
            with self.subTest(table=name):
                path = os.path.join(self.samples, name)
                info = json.loads(run_dbftool("info", path).stdout)
                kinds = {f["name"]: f["type"] for f in info["fields"]}
                ours = dump_ours(path)
                perl = read_perl(path)
                # Both sides show the table's bytes one character each.
                self.assertEqual(len(ours), len(perl))
                for n, ((od, orow), (pd, prow)) in enumerate(zip(ours, perl)):
                    self.assertEqual(od, pd, "%s record %d" % (name, n + 1))
                    for field, kind in kinds.items():
                        if kind not in "CNFDLM":
                            continue
                        mine = normalise(orow[field], kind)
                        theirs = normalise(prow.get(field.upper()), kind)
                        self.assertEqual(mine, theirs,
                                         "%s record %d field %s" % (name, n + 1, field))

    def test_level7_tables_are_refused_clearly(self):
        for name in self.LEVEL7:
            with self.subTest(table=name):
                result = run_dbftool("dump", os.path.join(self.samples, name), check=False)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("dBASE 7", result.stderr.decode())
                self.assertEqual(result.stdout, b"")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: compat_test.py SUITE")
    if not DBFTOOL or not os.path.exists(DBFTOOL):
        print("DBFTOOL is not set to the built dbftool", file=sys.stderr)
        sys.exit(2)
    suite = unittest.defaultTestLoader.loadTestsFromName(sys.argv[1], sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun and len(result.skipped) == result.testsRun:
        for _, reason in result.skipped:
            print("SKIPPED:", reason)
        sys.exit(77)


if __name__ == "__main__":
    main()
