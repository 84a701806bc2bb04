#!/usr/bin/python3
"""Production indexes written by dbup's engine read by Perl's XBase::Index,
and indexes of other writers read by dbup's engine, compared key by key.

Run as: index_compat_test.py. Exits 77 when Perl's XBase is not installed.
"""
import datetime
import decimal
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

DBFTOOL = os.environ.get("DBFTOOL", "")
PERL = os.environ.get("DBUP_PERL", "") or shutil.which("perl") or ""
HERE = os.path.dirname(os.path.abspath(__file__))
SHARED = os.environ.get("DBUP_SHARED_DIR") or os.path.join(
    os.environ.get("DBUP_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE))), "..", "shared")
SAMPLES = os.path.join(SHARED, "samples")

HAVE_PERL_XBASE = bool(PERL) and subprocess.run(
    [PERL, "-MXBase::Index", "-MJSON::PP", "-e", "1"], capture_output=True).returncode == 0

SCHEMA = {
    "language_driver": 0x57,
    "fields": [
        {"name": "CLAIM", "type": "N", "length": 10},
        {"name": "TYPE", "type": "C", "length": 2},
        {"name": "NAME", "type": "C", "length": 20},
        {"name": "AMT", "type": "N", "length": 10, "decimals": 2},
        {"name": "DUE", "type": "D"},
    ],
    "tags": [
        {"name": "CLM_ALL", "expression": "STR(CLAIM,10)+TYPE"},
        {"name": "NAME", "expression": "UPPER(NAME)"},
        {"name": "AMT", "expression": "AMT"},
        {"name": "DUE", "expression": "DUE"},
        {"name": "LIVE_DUE", "expression": "DTOS(DUE)+NAME", "for": ".NOT. DELETED()"},
        {"name": "UNAME", "expression": "NAME", "unique": True},
        {"name": "DAMT", "expression": "AMT", "descending": True},
    ],
}


def decode_numeric(raw):
    digits = "".join("%02x" % b for b in raw[2:12]).rstrip("0")
    if not digits or set(digits) == {"0"}:
        return decimal.Decimal(0)
    exponent = raw[0] - 0x34
    value = decimal.Decimal("0." + digits).scaleb(exponent)
    return -value if raw[1] & 0x80 else value


def decode_date(raw):
    jdn = struct.unpack("<d", raw)[0]
    if jdn == 0:
        return ""
    return datetime.date.fromordinal(int(jdn) - 1721425).strftime("%Y%m%d")


def run(*args, stdin=None, check=True):
    result = subprocess.run([DBFTOOL, *args], input=stdin, capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("dbftool %s failed: %s%s" % (args, result.stdout, result.stderr))
    return result


def our_keys(table, tag):
    out = run("keys", table, "--tag", tag).stdout
    return [json.loads(line, parse_float=decimal.Decimal) for line in out.splitlines()]


def perl_index(mdx):
    result = subprocess.run([PERL, os.path.join(HERE, "index_read.pl"), mdx],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("Perl could not read %s: %s" % (mdx, result.stderr))
    return json.loads(result.stdout)


class IndexCompat(unittest.TestCase):
    def setUp(self):
        if not HAVE_PERL_XBASE or not DBFTOOL:
            self.skipTest("Perl XBase or dbftool not available")
        self.dir = tempfile.mkdtemp(prefix="dbup-index-compat-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def assertSameAsPerl(self, table, mdx, types):
        perl = perl_index(mdx)
        self.assertEqual(sorted(perl["tags"]), sorted(types))
        for tag, kind in types.items():
            ours = our_keys(table, tag)
            theirs = perl["entries"][tag]
            self.assertEqual([e["recno"] for e in ours], [r for r, _ in theirs], tag)
            for mine, (recno, hexkey) in zip(ours, theirs):
                raw = bytes.fromhex(hexkey)
                if kind == "N":
                    self.assertEqual(decimal.Decimal(str(mine["key"])), decode_numeric(raw), tag)
                elif kind == "D":
                    self.assertEqual(mine["key"], decode_date(raw), tag)
                else:
                    self.assertEqual(mine["key"], raw.decode("latin-1"), tag)

    def test_our_indexes_read_by_perl_after_maintenance_and_rebuild(self):
        table = os.path.join(self.dir, "claims.dbf")
        schema = os.path.join(self.dir, "schema.json")
        with open(schema, "w") as f:
            json.dump(SCHEMA, f)
        run("create", table, "--schema", schema)
        rng = random.Random(5)
        names = ["Miller", "Adams", "adams", "Baker", "Zoë", "", "Ng", "O'Brien"]
        lines = []
        for i in range(2500):
            rec = {"CLAIM": rng.randrange(-50, 900), "TYPE": rng.choice(["A", "B", ""]),
                   "NAME": rng.choice(names) + str(rng.randrange(40)),
                   "AMT": rng.randrange(-100000, 100000) / 100,
                   "DUE": None if rng.random() < 0.1 else
                   (datetime.date(1990, 1, 1) + datetime.timedelta(rng.randrange(15000))).strftime("%Y%m%d"),
                   "_deleted": rng.random() < 0.1}
            lines.append(json.dumps(rec))
        # Half appended to the empty indexed table in one run, half in small
        # batches: keys go in one by one and the trees split as they grow.
        run("append", table, stdin="\n".join(lines[:1250]) + "\n")
        for start in range(1250, 2500, 250):
            run("append", table, stdin="\n".join(lines[start:start + 250]) + "\n")
        mdx = os.path.join(self.dir, "claims.mdx")
        types = {"CLM_ALL": "C", "NAME": "C", "AMT": "N", "DUE": "D", "LIVE_DUE": "C",
                 "UNAME": "C", "DAMT": "N"}
        self.assertSameAsPerl(table, mdx, types)
        self.assertEqual(run("check", table, check=False).returncode, 0)
        run("reindex", table)
        self.assertSameAsPerl(table, mdx, types)
        run("pack", table)
        self.assertSameAsPerl(table, mdx, types)
        live = len(run("dump", table).stdout.splitlines())
        self.assertEqual(len(our_keys(table, "AMT")), live)  # nothing deleted is left
        self.assertEqual(run("check", table, check=False).returncode, 0)

    def test_check_finds_records_changed_behind_the_index(self):
        table = os.path.join(self.dir, "small.dbf")
        schema = os.path.join(self.dir, "schema.json")
        with open(schema, "w") as f:
            json.dump({"fields": [{"name": "NAME", "type": "C", "length": 8}],
                       "tags": [{"name": "NAME", "expression": "NAME"}]}, f)
        run("create", table, "--schema", schema)
        run("append", table, stdin='{"NAME": "Adams"}\n{"NAME": "Baker"}\n')
        self.assertEqual(run("check", table, check=False).returncode, 0)
        # Another program changes record 2 without keeping the index up.
        with open(table, "r+b") as f:
            data = f.read()
            at = data.rindex(b"Baker")
            f.seek(at)
            f.write(b"Abbot")
        result = run("check", table, check=False)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("tag NAME", result.stdout)
        self.assertIn('the record\'s key is "Abbot   "', result.stdout)
        run("reindex", table)
        self.assertEqual(run("check", table, check=False).returncode, 0)
        self.assertEqual([k["key"] for k in our_keys(table, "NAME")], ["Abbot   ", "Adams   "])

    def test_sample_indexes_read_alike_check_and_survive_reindex(self):
        if not os.path.isdir(SAMPLES):
            self.skipTest("shared samples absent")
        cases = [("tdbf/current", "TDBF_DEMO.DBF", "tdbf_demo.mdx", {"ID": "C"}),
                 ("tdbf/current", "disco.DBF", "disco.mdx", {"AUTHOR": "C"}),
                 ("tdbf/old-683e037", "TDBF_DEMO.DBF", "tdbf_demo.mdx", {"ID": "C"}),
                 ("tdbf/old-683e037", "disco.DBF", "disco.mdx", {"AUTHOR": "C"})]
        for folder, dbf, mdx, types in cases:
            with self.subTest(folder=folder, table=dbf):
                work = os.path.join(self.dir, folder.replace("/", "_") + dbf)
                shutil.copytree(os.path.join(SAMPLES, folder), work)
                for name in os.listdir(work):
                    os.chmod(os.path.join(work, name), 0o644)
                table, index = os.path.join(work, dbf), os.path.join(work, mdx)
                self.assertSameAsPerl(table, index, types)
                self.assertEqual(run("check", table, check=False).returncode, 0)
                run("reindex", table)
                self.assertSameAsPerl(table, index, types)
                self.assertEqual(run("check", table, check=False).returncode, 0)

    def test_header_only_sample_is_reported_not_misread(self):
        folder = os.path.join(SAMPLES, "xbasej", "odd-truncated-mdx")
        if not os.path.isdir(folder):
            self.skipTest("shared samples absent")
        work = os.path.join(self.dir, "xbasej")
        shutil.copytree(folder, work)
        result = run("check", os.path.join(work, "test.dbf"), check=False)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("index file has 544 bytes", result.stdout)
        self.assertIn("no tags", result.stdout)


if __name__ == "__main__":
    program = unittest.main(exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(77)
    sys.exit(0)
