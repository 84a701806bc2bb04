// index_bench [records]: the index half of the engine on a large table, each
// figure printed with a ratio against a baseline measured in the same run.
//
//   reindex   a tag STR(CLAIM,10)+TYPE rebuilt from the records, against GNU
//             sort of the same keys as text lines (target: ratio <= 1), with
//             the peak resident memory of the rebuild (target: < 64 MiB)
//   append    appends with the tag kept current, against the same appends
//             without an index
//   seek      random seeks by claim key in the warm tag (target: >= 500,000
//             per second), against binary search in a sorted vector; also
//             through d4seek, which positions the table as well
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/e4api.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"
#include "xbase/table_index.h"

namespace {

using dbup::Status;
using namespace dbup::xbase;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of this process and its finished children; on a shared
// machine it varies less than the wall clock.
double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    total +=
        u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

void Check(const Status& s, const char* what) {
  if (!s.ok()) {
    std::fprintf(stderr, "%s: %s\n", what, s.ToString().c_str());
    std::exit(1);
  }
}

const std::vector<TagSpec> kTags = {{"CLM_ALL", "STR(CLAIM,10)+TYPE", "", false, false}};

std::string ClaimText(uint32_t i) {
  return std::to_string((i * 2654435761u) % 100000000u);
}
const char* TypeText(uint32_t i) {
  return (i % 3 == 0) ? "A" : (i % 3 == 1 ? "B" : "CX");
}

std::unique_ptr<Table> MakeTable(const std::string& path) {
  std::unique_ptr<Table> t;
  Check(Table::Create(path, {{"CLAIM", 'N', 10, 0}, {"TYPE", 'C', 2, 0}, {"NAME", 'C', 20, 0}}, {},
                      &t),
        "create table");
  return t;
}

void Fill(Table* t, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    Check(t->AppendBlank(), "append");
    Check(t->SetText(0, ClaimText(i)), "set");
    Check(t->SetText(1, TypeText(i)), "set");
  }
  Check(t->Flush(), "flush");
}

long PeakRssKiB(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t n = argc > 1 ? static_cast<uint32_t>(std::atol(argv[1])) : 1000000;
  std::string dir =
      (std::filesystem::temp_directory_path() / ("dbup-index-bench-" + std::to_string(getpid())))
          .string() +
      "/";
  std::filesystem::create_directories(dir);
  std::printf("records: %u\n", n);

  // --- append: with the tag kept current, and without any index
  auto start = Clock::now();
  double cpu = CpuSeconds();
  {
    auto t = MakeTable(dir + "plain.dbf");
    Fill(t.get(), n);
    Check(t->Close(), "close");
  }
  double plain = Seconds(start), plain_cpu = CpuSeconds() - cpu;
  start = Clock::now();
  cpu = CpuSeconds();
  {
    auto t = MakeTable(dir + "claims.dbf");
    std::unique_ptr<TableIndexer> index;
    Check(TableIndexer::CreateProduction(t.get(), kTags, &index), "create index");
    Fill(t.get(), n);
    Check(index->Close(), "close index");
    Check(t->Close(), "close");
  }
  double indexed = Seconds(start), indexed_cpu = CpuSeconds() - cpu;
  std::printf(
      "append: %.2f s (cpu %.2f s) with the tag kept current, %.2f s (cpu %.2f s) without an "
      "index: ratio %.2f (cpu %.2f)\n",
      indexed, indexed_cpu, plain, plain_cpu, indexed / plain, indexed_cpu / plain_cpu);

  // --- reindex in a child process, so its peak memory is its own
  std::fflush(stdout);
  start = Clock::now();
  cpu = CpuSeconds();
  pid_t child = fork();
  if (child == 0) {
    std::unique_ptr<Table> t;
    Check(Table::Open(dir + "claims.dbf", {}, &t), "open");
    std::unique_ptr<TableIndexer> index;
    Check(TableIndexer::Open(t.get(), ProductionIndexPath(t->path()), &index), "open index");
    Check(index->Reindex(), "reindex");
    Check(index->Close(), "close index");
    Check(t->Close(), "close");
    std::_Exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  double reindex = Seconds(start), reindex_cpu = CpuSeconds() - cpu;
  long reindex_rss = PeakRssKiB(RUSAGE_CHILDREN);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;

  // Baseline: the same keys as text, sorted by GNU sort.
  {
    FILE* f = std::fopen((dir + "keys.txt").c_str(), "w");
    char buf[32];
    for (uint32_t i = 0; i < n; ++i) {
      std::snprintf(buf, sizeof buf, "%10s%-2s\n", ClaimText(i).c_str(), TypeText(i));
      std::fputs(buf, f);
    }
    std::fclose(f);
  }
  start = Clock::now();
  cpu = CpuSeconds();
  std::string cmd = "LC_ALL=C sort -o '" + dir + "sorted.txt' '" + dir + "keys.txt'";
  if (std::system(cmd.c_str()) != 0) return 1;
  double sort = Seconds(start), sort_cpu = CpuSeconds() - cpu;
  std::printf(
      "reindex: %.2f s (cpu %.2f s), GNU sort of the keys: %.2f s (cpu %.2f s): ratio %.2f (cpu "
      "%.2f) (target <= 1)\n",
      reindex, reindex_cpu, sort, sort_cpu, reindex / sort, reindex_cpu / sort_cpu);
  std::printf("reindex peak RSS: %.1f MiB (target < 64)\n", reindex_rss / 1024.0);

  // --- random seeks in the warm tag
  std::unique_ptr<MdxFile> mdx;
  Check(MdxFile::Open(dir + "claims.mdx", true, &mdx), "open mdx");
  {
    std::unique_ptr<Table> t;
    Check(Table::Open(dir + "claims.dbf", {true}, &t), "open");
    Check(mdx->Bind(LayoutOf(*t)), "bind");
  }
  Tag* tag = mdx->FindTag("CLM_ALL");
  std::mt19937 rng(42);
  std::vector<std::string> probes(n);
  for (std::string& p : probes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10s", ClaimText(rng() % n).c_str());
    p = buf;
  }
  TagCursor cursor;
  bool found = false;
  for (uint32_t i = 0; i < std::min<uint32_t>(n, 100000); ++i) {  // warm the cache
    Check(mdx->Seek(tag, probes[i], &cursor, &found), "seek");
  }
  start = Clock::now();
  cpu = CpuSeconds();
  uint32_t hits = 0;
  for (const std::string& p : probes) {
    Check(mdx->Seek(tag, p, &cursor, &found), "seek");
    hits += found;
  }
  double seek = Seconds(start), seek_cpu = CpuSeconds() - cpu;
  std::vector<std::string> sorted;
  sorted.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10s%-2s", ClaimText(i).c_str(), TypeText(i));
    sorted.push_back(buf);
  }
  std::sort(sorted.begin(), sorted.end());
  start = Clock::now();
  uint32_t base_hits = 0;
  for (const std::string& p : probes) {
    auto it = std::lower_bound(sorted.begin(), sorted.end(), p);
    base_hits += it != sorted.end() && it->compare(0, p.size(), p) == 0;
  }
  double base = Seconds(start);
  std::printf(
      "seek: %.0f per second (%.0f per processor second; %u found), binary search in memory "
      "%.0f per second: ratio %.2f (target >= 500000 per second)\n",
      n / seek, n / seek_cpu, hits, n / base, seek / base);
  if (hits != base_hits) std::printf("seek: MISMATCH with the baseline (%u)\n", base_hits);
  mdx.reset();

  // The same seeks through the engine, which also makes the record current.
  Code4* s = code4initP();
  code4autoOpen(s, 0);
  Data4* d = d4open(s, (dir + "claims.dbf").c_str());
  i4open(d, (dir + "claims.mdx").c_str());
  d4tagSelectP(d, d4tag(d, "CLM_ALL"));
  for (uint32_t i = 0; i < std::min<uint32_t>(n, 100000); ++i) d4seek(d, probes[i].c_str());
  start = Clock::now();
  for (const std::string& p : probes) d4seek(d, p.c_str());
  double engine_seek = Seconds(start);
  std::printf("d4seek: %.0f per second\n", n / engine_seek);
  code4initUndo(s);
  std::filesystem::remove_all(dir);
  return 0;
}
