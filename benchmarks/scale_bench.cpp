// Scaling benchmark of the export and the import: a synthetic school at sizes 1x, 10x and
// 100x (or those given), each phase of each size in a fresh child process, so that the peak
// memory a phase reports (ru_maxrss) is its own. Prints wall times, peak memory and the
// growth from one size to the next, which should stay close to the growth of the input.
//
// Each run is also set against its floor, the least any run could take: parsing the document
// into a tree plus saving the bytes the run saved, the same way (a staged file flushed to disk
// and renamed): the eight tables for the export, the result document for the import.
//
//   scale_bench [--sizes 1,10,100] [--repeat 3] [--lessons 25] [--keep] [--tmp DIR]
//
// --repeat runs the export and the import that many times (each in a fresh process) and
// reports the run of median wall time; --lessons sets the SOLUC lessons per teacher.
//
// The child processes are this same program, run as
//   scale_bench --phase prepare|export|export-floor|soluc|import|import-floor|idle
//               --scale K --folder DIR
// and report "key=value" lines on their standard output.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "school_generator.hpp"
#include "soluc_generator.hpp"

namespace fs = std::filesystem;
namespace bench = thq::bench;
namespace exporter = thq::exporter;
namespace importer = thq::importer;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(std::string_view key, const std::string& value) {
    std::cout << key << '=' << value << '\n';
}
void report(std::string_view key, double value) {
    std::ostringstream text;
    text.precision(9);
    text << value;
    report(key, text.str());
}
void report(std::string_view key, std::size_t value) { report(key, std::to_string(value)); }

// The phase process's own resource use so far: peak memory, CPU time, minor page faults.
void reportUsage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    report("maxrss_kb", static_cast<std::size_t>(usage.ru_maxrss));  // kilobytes on Linux
    report("cpu_user", seconds(usage.ru_utime));
    report("cpu_sys", seconds(usage.ru_stime));
    report("minflt", static_cast<std::size_t>(usage.ru_minflt));
}

fs::path documentPath(const fs::path& folder) { return folder / "escuela.xml"; }
fs::path workFolder(const fs::path& folder) { return folder / "work"; }
fs::path floorFolder(const fs::path& folder) { return folder / "floor"; }

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

// The floor of a run: the document parsed into a tree, and the files the run wrote (read
// beforehand, untimed) saved again under the same names in a folder of their own.
int runFloor(const fs::path& folder, const std::vector<fs::path>& outputs) {
    std::vector<std::pair<fs::path, std::string>> files;
    for (const auto& output : outputs) files.emplace_back(output.filename(), readWhole(output));
    fs::remove_all(floorFolder(folder));
    fs::create_directories(floorFolder(folder));
    std::size_t bytes = 0;
    const auto start = Clock::now();
    {
        const auto document = thq::data::XmlDocument::load(documentPath(folder), {1ull << 40});
        if (!document.documentElement()) throw std::runtime_error("no root element");
    }
    const double parsed = secondsSince(start);
    for (const auto& [name, content] : files) {
        thq::platform::writeFileAtomically(floorFolder(folder) / name, content);
        bytes += content.size();
    }
    report("seconds", secondsSince(start));
    report("parse_seconds", parsed);
    report("written_bytes", bytes);
    reportUsage();
    fs::remove_all(floorFolder(folder));
    return 0;
}

// ---------------------------------------------------------------------------------------
// The child side: one phase of one size.

int runPhase(std::string_view phase, std::size_t scale, const fs::path& folder) {
    if (phase == "idle") {
        reportUsage();
        return 0;
    }
    if (phase == "prepare") {
        const auto start = Clock::now();
        const std::string document = bench::generateSchoolDocument(scale);
        {
            std::ofstream out(documentPath(folder), std::ios::binary);
            out.write(document.data(), static_cast<std::streamsize>(document.size()));
            if (!out) throw std::runtime_error("cannot write " + documentPath(folder).string());
        }
        fs::create_directories(workFolder(folder));
        report("seconds", secondsSince(start));
        report("doc_bytes", document.size());
        return 0;
    }
    if (phase == "export") {
        std::vector<std::pair<std::string, Clock::time_point>> steps;
        exporter::ExportOptions hooks;
        hooks.beforeStep = [&steps](std::string_view step) {
            steps.emplace_back(std::string(step), Clock::now());
        };
        const auto start = Clock::now();
        const auto outcome = exporter::runExport(documentPath(folder), workFolder(folder), hooks);
        const auto end = Clock::now();
        if (outcome != exporter::ExportOutcome::Completed) throw std::runtime_error("no document");
        report("seconds", std::chrono::duration<double>(end - start).count());
        reportUsage();
        // Each step lasts until the next begins; the time before the first is the loading
        // of the document.
        if (!steps.empty()) {
            report("step.LoadDocument",
                   std::chrono::duration<double>(steps.front().second - start).count());
        }
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const auto stepEnd = i + 1 < steps.size() ? steps[i + 1].second : end;
            report("step." + steps[i].first,
                   std::chrono::duration<double>(stepEnd - steps[i].second).count());
        }
        return 0;
    }
    if (phase == "export-floor") {
        std::vector<fs::path> tables;
        for (const auto table : {thq::data::WorkTable::Asignomt, thq::data::WorkTable::Asignomt2,
                                 thq::data::WorkTable::Proft, thq::data::WorkTable::Aulat,
                                 thq::data::WorkTable::Cursost, thq::data::WorkTable::Grupost,
                                 thq::data::WorkTable::Asigt, thq::data::WorkTable::Diashorast}) {
            tables.push_back(thq::data::tableFile(workFolder(folder), table));
        }
        return runFloor(folder, tables);
    }
    if (phase == "import-floor") {
        return runFloor(folder, {importer::resultPathFor(documentPath(folder))});
    }
    if (phase == "soluc") {
        const auto start = Clock::now();
        std::size_t lessonsPerTeacher = 25;
        if (const char* wanted = std::getenv("TH_BENCH_LESSONS")) {
            lessonsPerTeacher = std::strtoul(wanted, nullptr, 10);
        }
        const auto summary = bench::writeBenchmarkSolution(workFolder(folder), lessonsPerTeacher);
        report("seconds", secondsSince(start));
        report("teachers", summary.teachers);
        report("assignments", summary.assignments);
        report("lessons", summary.lessons);
        report("unscheduled", summary.unscheduled);
        return 0;
    }
    if (phase == "import") {
        const auto start = Clock::now();
        const auto result = importer::runImport(documentPath(folder), workFolder(folder));
        const double seconds = secondsSince(start);
        if (result.outcome != importer::ImportOutcome::Completed) {
            throw std::runtime_error("no document");
        }
        report("seconds", seconds);
        reportUsage();
        report("teachers", result.teachers);
        report("lessons", result.lessons);
        report("result_bytes", static_cast<std::size_t>(fs::file_size(result.resultPath)));
        return 0;
    }
    std::cerr << "unknown phase " << phase << '\n';
    return 2;
}

// ---------------------------------------------------------------------------------------
// The parent side.

using Results = std::map<std::string, std::string>;

std::string selfPath(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(argv0) : self.string();
}

// Runs one phase in a fresh process and collects its key=value lines.
std::optional<Results> runChild(const std::string& self, std::string_view phase, std::size_t scale,
                                const fs::path& folder) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        std::perror("pipe");
        return std::nullopt;
    }
    std::cout.flush();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return std::nullopt;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const std::string phaseText(phase);
        const std::string scaleText = std::to_string(scale);
        const std::string folderText = folder.string();
        std::vector<char*> args = {
            const_cast<char*>(self.c_str()),       const_cast<char*>("--phase"),
            const_cast<char*>(phaseText.c_str()),  const_cast<char*>("--scale"),
            const_cast<char*>(scaleText.c_str()),  const_cast<char*>("--folder"),
            const_cast<char*>(folderText.c_str()), nullptr};
        execv(self.c_str(), args.data());
        std::perror("execv");
        _exit(127);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "phase " << phase << " at " << scale << "x failed (status " << status << ")\n";
        return std::nullopt;
    }
    Results results;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) results[line.substr(0, eq)] = line.substr(eq + 1);
    }
    results["#order"] = output;  // keeps the order of the step lines
    return results;
}

double number(const Results& results, const std::string& key) {
    const auto it = results.find(key);
    return it == results.end() ? 0.0 : std::strtod(it->second.c_str(), nullptr);
}

struct SizeResult {
    std::size_t scale = 0;
    Results prepare, exported, exportFloor, soluc, imported, importFloor;
};

// Runs a phase `repeat` times, each in a fresh process, and keeps the run of median time.
std::optional<Results> runMedian(const std::string& self, std::string_view phase, std::size_t scale,
                                 const fs::path& folder, std::size_t repeat) {
    std::vector<Results> runs;
    for (std::size_t i = 0; i < repeat; ++i) {
        auto got = runChild(self, phase, scale, folder);
        if (!got) return std::nullopt;
        runs.push_back(std::move(*got));
    }
    std::sort(runs.begin(), runs.end(), [](const Results& a, const Results& b) {
        return number(a, "seconds") < number(b, "seconds");
    });
    Results median = runs[(runs.size() - 1) / 2];
    median["runs"] = std::to_string(runs.size());
    median["fastest"] = runs.front().at("seconds");
    median["slowest"] = runs.back().at("seconds");
    return median;
}

std::vector<std::string> stepNames(const Results& exported) {
    std::vector<std::string> names;
    std::istringstream lines(exported.at("#order"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("step.", 0) == 0) names.push_back(line.substr(5, line.find('=') - 5));
    }
    return names;
}

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string padLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string ratio(double to, double from) {
    if (from <= 0) return "-";
    return fixed(to / from, 1) + "x";
}

std::string whole(double value) { return std::to_string(static_cast<long long>(value)); }

constexpr double kKbPerMb = 1024.0;

void printSizes(const std::vector<SizeResult>& sizes) {
    std::cout << " size | teachers | ASIGT recs | lessons | doc MB | export s | export MB | "
                 "import s | import MB | result MB\n";
    std::cout << "------+----------+------------+---------+--------+----------+-----------+-"
                 "---------+-----------+----------\n";
    for (const auto& s : sizes) {
        std::cout << padLeft(std::to_string(s.scale) + "x", 5) << " | "
                  << padLeft(whole(number(s.soluc, "teachers")), 8) << " | "
                  << padLeft(whole(number(s.soluc, "assignments")), 10) << " | "
                  << padLeft(whole(number(s.imported, "lessons")), 7) << " | "
                  << padLeft(fixed(number(s.prepare, "doc_bytes") / 1e6, 1), 6) << " | "
                  << padLeft(fixed(number(s.exported, "seconds"), 3), 8) << " | "
                  << padLeft(fixed(number(s.exported, "maxrss_kb") / kKbPerMb, 1), 9) << " | "
                  << padLeft(fixed(number(s.imported, "seconds"), 3), 8) << " | "
                  << padLeft(fixed(number(s.imported, "maxrss_kb") / kKbPerMb, 1), 9) << " | "
                  << padLeft(fixed(number(s.imported, "result_bytes") / 1e6, 1), 9) << '\n';
    }
}

// Each run against its floor (the document parsed plus the run's own output saved).
void printFloors(const std::vector<SizeResult>& sizes) {
    std::cout << "\nEach run against its floor: parsing the document into a tree plus saving the "
                 "bytes\nthe run saves (eight tables for the export, the result for the import):\n";
    std::cout << " size | run    | run s   | floor s | parse s | ratio | run MB  | floor MB | "
                 "written MB\n";
    std::cout << "------+--------+---------+---------+---------+-------+---------+----------+-"
                 "-----------\n";
    for (const auto& s : sizes) {
        for (auto [name, run, floor] : {std::tuple{"export", &s.exported, &s.exportFloor},
                                        std::tuple{"import", &s.imported, &s.importFloor}}) {
            std::cout << padLeft(std::to_string(s.scale) + "x", 5) << " | " << name << " | "
                      << padLeft(fixed(number(*run, "seconds"), 3), 7) << " | "
                      << padLeft(fixed(number(*floor, "seconds"), 3), 7) << " | "
                      << padLeft(fixed(number(*floor, "parse_seconds"), 3), 7) << " | "
                      << padLeft(ratio(number(*run, "seconds"), number(*floor, "seconds")), 5)
                      << " | " << padLeft(fixed(number(*run, "maxrss_kb") / kKbPerMb, 1), 7)
                      << " | " << padLeft(fixed(number(*floor, "maxrss_kb") / kKbPerMb, 1), 8)
                      << " | " << padLeft(fixed(number(*floor, "written_bytes") / 1e6, 1), 10)
                      << '\n';
        }
    }
}

void printGrowth(const std::vector<SizeResult>& sizes, double baselineKb) {
    std::cout << "\nGrowth between consecutive sizes (memory also net of the idle baseline):\n";
    std::cout << "        step | input | export time | export mem (net) | import time | "
                 "import mem (net)\n";
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        const auto& a = sizes[i - 1];
        const auto& b = sizes[i];
        auto time = [](const Results& to, const Results& from) {
            return ratio(number(to, "seconds"), number(from, "seconds"));
        };
        auto memory = [&](const Results& to, const Results& from) {
            const double t = number(to, "maxrss_kb");
            const double f = number(from, "maxrss_kb");
            return ratio(t, f) + " (" + ratio(t - baselineKb, f - baselineKb) + ")";
        };
        std::cout << padLeft(std::to_string(a.scale) + "x->" + std::to_string(b.scale) + "x", 12)
                  << " | "
                  << padLeft(ratio(static_cast<double>(b.scale), static_cast<double>(a.scale)), 5)
                  << " | " << padLeft(time(b.exported, a.exported), 11) << " | "
                  << padLeft(memory(b.exported, a.exported), 16) << " | "
                  << padLeft(time(b.imported, a.imported), 11) << " | "
                  << padLeft(memory(b.imported, a.imported), 16) << '\n';
    }
}

// CPU time (user, system) and minor page faults of the run shown above: wall time that grows
// faster than user CPU time is spent in the kernel (page faults) or waiting.
void printCpu(const std::vector<SizeResult>& sizes) {
    std::cout << "\nCPU seconds of the phase processes (user / sys), minor page faults, and the "
                 "spread of the wall times:\n";
    std::cout << " size | phase  | user s  | sys s   | page faults | wall s: fastest..slowest "
                 "(runs)\n";
    for (const auto& s : sizes) {
        for (auto [name, r] :
             {std::pair{"export", &s.exported}, std::pair{"import", &s.imported}}) {
            std::cout << padLeft(std::to_string(s.scale) + "x", 5) << " | " << name << " | "
                      << padLeft(fixed(number(*r, "cpu_user"), 3), 7) << " | "
                      << padLeft(fixed(number(*r, "cpu_sys"), 3), 7) << " | "
                      << padLeft(whole(number(*r, "minflt")), 11) << " | "
                      << fixed(number(*r, "fastest"), 3) << ".." << fixed(number(*r, "slowest"), 3)
                      << " (" << r->at("runs") << ")\n";
        }
    }
    if (sizes.size() < 2) return;
    std::cout << "        step | export user | export sys | import user | import sys | import "
                 "faults\n";
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        const auto& a = sizes[i - 1];
        const auto& b = sizes[i];
        auto grow = [](const Results& to, const Results& from, const char* key) {
            return ratio(number(to, key), number(from, key));
        };
        std::cout << padLeft(std::to_string(a.scale) + "x->" + std::to_string(b.scale) + "x", 12)
                  << " | " << padLeft(grow(b.exported, a.exported, "cpu_user"), 11) << " | "
                  << padLeft(grow(b.exported, a.exported, "cpu_sys"), 10) << " | "
                  << padLeft(grow(b.imported, a.imported, "cpu_user"), 11) << " | "
                  << padLeft(grow(b.imported, a.imported, "cpu_sys"), 10) << " | "
                  << padLeft(grow(b.imported, a.imported, "minflt"), 13) << '\n';
    }
}

void printSteps(const std::vector<SizeResult>& sizes) {
    std::cout << "\nExport steps, wall seconds (growth from the previous size):\n";
    std::cout << padLeft("step", 26);
    for (const auto& s : sizes) std::cout << " | " << padLeft(std::to_string(s.scale) + "x", 16);
    std::cout << '\n';
    for (const auto& name : stepNames(sizes.front().exported)) {
        std::cout << padLeft(name, 26);
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const std::string key = "step." + name;
            const double t = number(sizes[i].exported, key);
            std::string cell = fixed(t, 4);
            if (i > 0) cell += " (" + ratio(t, number(sizes[i - 1].exported, key)) + ")";
            std::cout << " | " << padLeft(cell, 16);
        }
        std::cout << '\n';
    }
}

void printReport(const std::vector<SizeResult>& sizes, double baselineKb) {
    std::cout << "\nWall times are the median of the runs; peak memory is ru_maxrss of the "
                 "phase's own\nprocess (an idle process of this program peaks at "
              << fixed(baselineKb / kKbPerMb, 1) << " MB).\n\n";
    printSizes(sizes);
    printFloors(sizes);
    if (sizes.size() >= 2) printGrowth(sizes, baselineKb);
    printCpu(sizes);
    printSteps(sizes);
    std::cout << "\nNot timed: document generation and the SOLUC stand-in (seconds):";
    for (const auto& s : sizes) {
        std::cout << "  " << s.scale << "x " << fixed(number(s.prepare, "seconds"), 2) << " + "
                  << fixed(number(s.soluc, "seconds"), 2);
    }
    std::cout << '\n';
}

std::vector<std::size_t> parseList(const std::string& text) {
    std::vector<std::size_t> values;
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto value = std::strtoul(item.c_str(), nullptr, 10);
        if (value > 0) values.push_back(value);
    }
    return values;
}

constexpr std::string_view kUsage =
    "usage: scale_bench [--sizes 1,10,100] [--repeat 3] [--lessons 25] [--keep] [--tmp DIR]\n";

int runParent(int argc, char** argv) {
    std::vector<std::size_t> scales = {1, 10, 100};
    std::size_t repeat = 3;
    bool keep = false;
    fs::path tmp = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            scales = parseList(argv[++i]);
        } else if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max<std::size_t>(1, std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--lessons" && i + 1 < argc) {
            setenv("TH_BENCH_LESSONS", argv[++i], 1);
        } else if (arg == "--keep") {
            keep = true;
        } else if (arg == "--tmp" && i + 1 < argc) {
            tmp = argv[++i];
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (scales.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string self = selfPath(argv[0]);

    const auto idle = runChild(self, "idle", 1, tmp);
    const double baselineKb = idle ? number(*idle, "maxrss_kb") : 0.0;

    std::vector<SizeResult> results;
    for (const auto scale : scales) {
        std::string pattern = (tmp / "thq-scale-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        const fs::path folder = pattern;
        SizeResult size;
        size.scale = scale;
        std::cout << "size " << scale << "x in " << folder.string() << ":" << std::flush;
        bool ok = true;
        for (auto [phase, target, runs] : {std::tuple{"prepare", &size.prepare, std::size_t{1}},
                                           std::tuple{"export", &size.exported, repeat},
                                           std::tuple{"export-floor", &size.exportFloor, repeat},
                                           std::tuple{"soluc", &size.soluc, std::size_t{1}},
                                           std::tuple{"import", &size.imported, repeat},
                                           std::tuple{"import-floor", &size.importFloor, repeat}}) {
            std::cout << ' ' << phase << std::flush;
            auto got = runMedian(self, phase, scale, folder, runs);
            if (!got) {
                ok = false;
                break;
            }
            *target = std::move(*got);
        }
        std::cout << (ok ? " done\n" : " FAILED\n");
        if (!keep) {
            std::error_code ec;
            fs::remove_all(folder, ec);
        }
        if (!ok) return 1;
        results.push_back(std::move(size));
    }
    printReport(results, baselineKb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--phase") {
        std::string phase;
        std::size_t scale = 1;
        fs::path folder;
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string_view arg = argv[i];
            if (arg == "--phase") phase = argv[i + 1];
            if (arg == "--scale") scale = std::strtoul(argv[i + 1], nullptr, 10);
            if (arg == "--folder") folder = argv[i + 1];
        }
        try {
            return runPhase(phase, scale, folder);
        } catch (const thq::Error& error) {
            std::cerr << "phase " << phase << ": " << error.what();
            if (!error.detail().empty()) std::cerr << " (" << error.detail() << ")";
            std::cerr << '\n';
        } catch (const std::exception& error) {
            std::cerr << "phase " << phase << ": " << error.what() << '\n';
        }
        return 1;
    }
    return runParent(argc, argv);
}
