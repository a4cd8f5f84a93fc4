// Any bytes as the timetable solution SOLUC.DBF, read against the work tables of the sample
// school (exported once at start): the import must finish or stop with thq::Error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "data/error.hpp"
#include "export/export_run.hpp"
#include "fuzz_support.hpp"
#include "import/import_run.hpp"

namespace {

std::filesystem::path work;
std::filesystem::path document;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const auto& scratch = thq::fuzz::scratchFolder();
    work = scratch / "HTEMP";
    document = scratch / "quelva" / "escuela.xml";
    thq::fuzz::resetFolder(work);
    thq::fuzz::resetFolder(document.parent_path());
    const auto sample = thq::fuzz::sourceDir() / "samples" / "ies-sierra-de-la-vega.xml";
    try {
        std::filesystem::copy_file(sample, document);
        thq::exporter::runExport(document, work);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz harness: cannot export the sample school: %s\n", e.what());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    thq::fuzz::writeBytes(work / "SOLUC.DBF", data, size);
    try {
        (void)thq::importer::runImport(document, work);
    } catch (const thq::Error&) {
    }
    return 0;
}
