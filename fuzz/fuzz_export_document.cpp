// Any bytes as the school document: the export into a fresh work folder must finish or stop
// with thq::Error, never anything else.
#include <cstdint>

#include "data/error.hpp"
#include "export/export_run.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto document = thq::fuzz::scratchFolder() / "documento.xml";
    static const auto work = thq::fuzz::scratchFolder() / "HTEMP";
    thq::fuzz::writeBytes(document, data, size);
    thq::fuzz::resetFolder(work);
    try {
        (void)thq::exporter::runExport(document, work);
    } catch (const thq::Error&) {
    }
    return 0;
}
