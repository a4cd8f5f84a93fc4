#include "test_support.hpp"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "data/platform_file.hpp"

namespace thq::test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("thq-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string utf8(const std::filesystem::path& path) {
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

std::filesystem::path fromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + utf8(path));
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + utf8(path));
    out << bytes;
}

namespace {
// Relative paths as UTF-8 with forward slashes, the same on every platform.
std::string keyOf(const std::filesystem::path& relative) {
    const auto u8 = relative.generic_u8string();
    return std::string(u8.begin(), u8.end());
}
}  // namespace

std::map<std::string, std::string> snapshotFolder(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[keyOf(std::filesystem::relative(entry.path(), folder))] = readFile(entry.path());
        } else if (entry.is_directory()) {
            files[keyOf(std::filesystem::relative(entry.path(), folder)) + "/"] = "";
        }
    }
    return files;
}

namespace {
std::vector<std::string> listedHolds(const char* option) {
    const ProcessResult listed = runProcess({TH_FILE_HOLDER, option});
    std::vector<std::string> holds;
    std::string line;
    for (char c : listed.out) {
        if (c == '\n') {
            if (!line.empty()) holds.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return holds;
}
}  // namespace

std::vector<std::string> holdsOfThisPlatform() { return listedHolds("--list"); }

std::vector<std::string> readerHoldsOfThisPlatform() { return listedHolds("--readers"); }

HeldByAnotherProcess::HeldByAnotherProcess(const std::filesystem::path& file,
                                           const std::string& hold)
    : child_({TH_FILE_HOLDER, hold, utf8(file)}), holds_(child_.readLine() == "H") {}

#ifdef TH_FAULT_INJECTION
const bool kFaultInjection = true;
void failNextWrite() { platform::testing::failNthCall(1, ENOSPC); }
void stopFailing() { platform::testing::resetFaults(); }
#else
const bool kFaultInjection = false;
void failNextWrite() {}
void stopFailing() {}
#endif

ProcessResult runPython(const std::string& code, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {TH_PYTHON, "-c", code};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

std::filesystem::path copySampleDocument(const std::filesystem::path& folder) {
    const auto target = folder / "horario.xml";
    std::filesystem::copy_file(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml", target,
                               std::filesystem::copy_options::overwrite_existing);
    return target;
}

std::filesystem::path writeFailingDocument(const std::filesystem::path& folder) {
    const auto target = folder / "malo.xml";
    writeFile(target,
              "<SERVICIO><SALIDAS><listasal seq='MATERIAS'><listasal><salida>M</salida>"
              "<salida>n</salida><salida>C</salida><salida>K</salida><salida>90.5</salida>"
              "</listasal></listasal><listasal seq='CURSOS'><listasal><salida>K</salida>"
              "<salida/></listasal></listasal><listasal seq='GRUPOS'><listasal><salida>G</salida>"
              "<salida>1A</salida><salida>K</salida></listasal></listasal></SALIDAS></SERVICIO>");
    return target;
}

std::filesystem::path testDataDir() { return TH_TEST_DATA_DIR; }
std::filesystem::path sourceDir() { return TH_SOURCE_DIR; }
std::filesystem::path binDir() { return TH_BIN_DIR; }

}  // namespace thq::test
