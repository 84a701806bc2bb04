// dbup-fixture: writes a complete host installation for tests and demos.
//
//   dbup-fixture install DIR --version 2.49.0.100 [--claims N] [--seed S]
//                [--archives N] [--converted-archive archub92/ARC2019 ...]
//                [--omit-archive-table arch1500/ARC2020/bsattchd ...]
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>

#include "installation.h"
#include "update/host_version.h"
#include "update/level_table.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a deterministic host installation (server, install, data, registry.reg)."};
  app.require_subcommand(1);
  CLI::App* install = app.add_subcommand("install", "Write an installation into DIR");
  dbup::fixture::InstallOptions options;
  install->add_option("DIR", options.root, "Folder to write (created when missing)")->required();
  install->add_option("--version", options.version, "Host version, e.g. 2.49.0.100")->required();
  install->add_option("--claims", options.claims, "Claims per claim family in the data folder")
      ->check(CLI::Range(0, 10000000));
  install->add_option("--seed", options.seed, "Seed of the generated records");
  install
      ->add_option("--archives", options.archives_per_family,
                   "Claim archive folders per claim family")
      ->check(CLI::Range(0, 100));
  install->add_option(
      "--converted-archive", options.converted_archives,
      "Archive written in the newest structures, e.g. archub92/ARC2019 (repeatable)");
  install->add_option("--omit-archive-table", options.omitted_archive_tables,
                      "Table left out of an archive, e.g. arch1500/ARC2020/bsattchd (repeatable)");
  CLI11_PARSE(app, argc, argv);

  dbup::update::THostVersion version;
  if (!dbup::update::ParseVersionText(options.version, &version)) {
    std::fprintf(stderr, "dbup-fixture: not a version: %s\n", options.version.c_str());
    return 2;
  }
  const dbup::update::LevelLookup lookup = dbup::update::LookUpStructureLevel(version);
  switch (lookup.outcome) {
    case dbup::update::LevelLookup::Outcome::kRejected:
      std::fprintf(stderr, "dbup-fixture: version %s is not in the level table\n",
                   options.version.c_str());
      return 2;
    case dbup::update::LevelLookup::Outcome::kNoUpdate:
      options.level = 0;  // the newest structures
      break;
    case dbup::update::LevelLookup::Outcome::kStartAt:
      options.level = lookup.level;
      break;
  }
  const auto started = std::chrono::steady_clock::now();
  const dbup::Status s = dbup::fixture::WriteInstallation(options);
  if (!s.ok()) {
    std::fprintf(stderr, "dbup-fixture: %s\n", s.ToString().c_str());
    return 1;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  std::printf("installation of version %s (structure level %d) written to %s in %.2f s\n",
              options.version.c_str(), options.level > 0 ? options.level : 204,
              options.root.c_str(), took.count());
  return 0;
}
