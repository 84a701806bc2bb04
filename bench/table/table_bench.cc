// table_bench [records] [directory]: appends and scans a table of about
// 200-byte records and prints each time beside the time of copying the same
// file in the same run. Targets: sequential append or scan within 2x of the
// copy.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "engine/e4api.h"
#include "platform/env.h"
#include "platform/path.h"
#include "xbase/table.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time (user + system) of this process: on a shared, busy machine
// it says more than the wall clock about the work each phase does.
double CpuSeconds() {
#ifndef _WIN32
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#else
  return 0;
#endif
}

struct Timing {
  double wall = 1e30;
  double cpu = 1e30;
};

void Check(const dbup::Status& s, const char* what) {
  if (!s.ok()) {
    std::fprintf(stderr, "%s: %s\n", what, s.ToString().c_str());
    std::exit(1);
  }
}

// 1 + 40 + 60 + 10 + 12 + 8 + 1 + 68 = 200 bytes.
const std::vector<dbup::xbase::FieldSpec> kFields = {
    {"PATIENT", 'C', 40, 0}, {"ADDRESS", 'C', 60, 0}, {"CHARGE", 'N', 10, 2}, {"CLAIM", 'N', 12, 0},
    {"SERVED", 'D', 8, 0},   {"PAID", 'L', 1, 0},     {"REMARK", 'C', 68, 0}};

double AppendWithTable(const std::string& path, uint32_t records) {
  auto start = Clock::now();
  std::unique_ptr<dbup::xbase::Table> t;
  Check(dbup::xbase::Table::Create(path, kFields, {}, &t), "create");
  for (uint32_t i = 0; i < records; ++i) {
    Check(t->AppendBlank(), "append");
    t->SetText(0, "Patient name");
    t->SetText(1, "1 Long Street, Springfield");
    t->SetDouble(2, (i % 100000) / 100.0);
    t->SetInt(3, i);
    t->SetText(4, "20261211");
    t->SetText(5, (i & 1) ? "T" : "F");
    t->SetText(6, "remark");
  }
  Check(t->Close(), "close");
  return Seconds(start);
}

// The record path alone: buffer, cache and writes, no field formatting.
double AppendBlanks(const std::string& path, uint32_t records) {
  auto start = Clock::now();
  std::unique_ptr<dbup::xbase::Table> t;
  Check(dbup::xbase::Table::Create(path, kFields, {}, &t), "create");
  for (uint32_t i = 0; i < records; ++i) Check(t->AppendBlank(), "append");
  Check(t->Close(), "close");
  return Seconds(start);
}

double AppendWithEngine(const std::string& path, uint32_t records) {
  {
    std::unique_ptr<dbup::xbase::Table> t;
    Check(dbup::xbase::Table::Create(path, kFields, {}, &t), "create");
  }
  auto start = Clock::now();
  Code4* s = code4initP();
  Data4* d = d4open(s, path.c_str());
  if (d == nullptr) std::exit(1);
  Field4* f[7];
  for (short j = 1; j <= 7; ++j) f[j - 1] = d4fieldJ(d, j);
  for (uint32_t i = 0; i < records; ++i) {
    if (d4appendBlank(d) != 0) std::exit(1);
    f4assign(f[0], "Patient name");
    f4assign(f[1], "1 Long Street, Springfield");
    f4assignDouble(f[2], (i % 100000) / 100.0);
    f4assignInt(f[3], static_cast<int>(i));
    f4assign(f[4], "20261211");
    f4assign(f[5], (i & 1) ? "T" : "F");
    f4assign(f[6], "remark");
    if (d4writeLow(d, d4recNoLow(d), 0, 1) != 0) std::exit(1);
  }
  d4close(d);
  code4initUndo(s);
  return Seconds(start);
}

double ScanWithReadRecord(const std::string& path, uint64_t* checksum) {
  auto start = Clock::now();
  std::unique_ptr<dbup::xbase::Table> t;
  Check(dbup::xbase::Table::Open(path, {true}, &t), "open");
  std::vector<char> buf(t->record_length());
  for (uint32_t r = 1; r <= t->record_count(); ++r) {
    Check(t->ReadRecord(r, buf.data()), "read");
    *checksum += static_cast<unsigned char>(buf[60]);
  }
  return Seconds(start);
}

double ScanWithEngine(const std::string& path, uint64_t* checksum) {
  auto start = Clock::now();
  Code4* s = code4initP();
  Data4* d = d4open(s, path.c_str());
  if (d == nullptr) std::exit(1);
  Field4* claim = d4field(d, "CLAIM");
  Field4* charge = d4field(d, "CHARGE");
  for (int rc = d4top(d); rc == 0; rc = d4skip(d, 1)) {
    if (d4deleted(d)) continue;
    double v = 0;
    f4double2(charge, &v);
    *checksum += static_cast<uint64_t>(f4int(claim)) + static_cast<uint64_t>(v);
  }
  d4close(d);
  code4initUndo(s);
  return Seconds(start);
}

// Every phase starts with no dirty pages of an earlier phase, which the
// kernel would otherwise make the next writer pay for.
void Settle() {
#ifndef _WIN32
  ::sync();
#endif
}

// Best of three runs of phase, each after Settle.
template <typename Phase>
Timing Best(Phase phase) {
  Timing best;
  for (int i = 0; i < 3; ++i) {
    Settle();
    double cpu = CpuSeconds();
    best.wall = std::min(best.wall, phase());
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
  }
  return best;
}

double Copy(const std::string& from, const std::string& to) {
  dbup::Env::Default()->DeleteFile(to);
  Settle();
  auto start = Clock::now();
  Check(dbup::Env::Default()->CopyFile(from, to), "copy");
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t records = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
  dir = dbup::WithTrailingSeparator(dir) + "dbup-table-bench" + dbup::kPathSeparator;
  std::filesystem::create_directories(dir);
  std::string a = dir + "BENCH.DBF", b = dir + "ENGINE.DBF", c = dir + "COPY.DBF";

  Timing append = Best([&] { return AppendWithTable(a, records); });
  Timing append_blank = Best([&] { return AppendBlanks(b, records); });
  Timing append_engine = Best([&] { return AppendWithEngine(b, records); });
  uint64_t size = 0;
  Check(dbup::Env::Default()->GetFileSize(a, &size), "size");
  Timing base = Best([&] { return Copy(a, c); });
  uint64_t sum1 = 0, sum2 = 0;
  Timing scan = Best([&] { return ScanWithReadRecord(a, &sum1); });
  Timing scan_engine = Best([&] { return ScanWithEngine(a, &sum2); });

  std::printf("records %u, record length 200, file %.1f MB; best of 3 runs each\n", records,
              size / 1e6);
  std::printf("%-40s %8s %7s   %8s %7s\n", "", "wall", "ratio", "cpu", "ratio");
  auto row = [&](const char* name, const Timing& t) {
    std::printf("%-40s %7.3fs %6.2fx   %7.3fs %6.2fx\n", name, t.wall, t.wall / base.wall, t.cpu,
                t.cpu / base.cpu);
  };
  row("plain file copy (baseline)", base);
  row("append, blank records (record path)", append_blank);
  row("append, Table (7 fields set)", append);
  row("append, engine ops (assign + d4writeLow)", append_engine);
  row("scan, Table::ReadRecord", scan);
  row("scan, engine d4top/d4skip + 2 fields", scan_engine);
  std::printf("(checksums %llu %llu)\n", static_cast<unsigned long long>(sum1),
              static_cast<unsigned long long>(sum2));
  std::filesystem::remove_all(dir);
  return 0;
}
