#include "export/short_codes.hpp"

#include "data/error.hpp"
#include "data/text.hpp"

namespace thq::exporter {

std::string storedCodeForm(std::string_view code) {
    return std::string(text::trimTrailingBlanks(text::firstChars(code, kShortCodeWidth)));
}

bool ShortCodeRegistry::contains(std::string_view code) const {
    return codes_.count(text::foldCase1252(storedCodeForm(code))) != 0;
}

void ShortCodeRegistry::add(std::string_view code, CodeHolder holder) {
    codes_.try_emplace(text::foldCase1252(storedCodeForm(code)), holder);
}

std::optional<CodeHolder> ShortCodeRegistry::holder(std::string_view code) const {
    const auto it = codes_.find(text::foldCase1252(storedCodeForm(code)));
    if (it == codes_.end()) return std::nullopt;
    return it->second;
}

std::size_t& ShortCodeRegistry::fallbackHint(std::string_view stem, std::size_t digits) {
    // The digit count leads the key: a short stem is the same for several bands.
    std::string key(1, static_cast<char>('0' + digits));
    key += text::foldCase1252(stem);
    auto [it, inserted] = hints_.try_emplace(std::move(key), 0);
    return it->second;
}

std::string AllocateShortCode(std::string_view base, ShortCodeRegistry& registry,
                              std::size_t prefixLength, CodeHolder holder) {
    std::string code = storedCodeForm(base);
    if (registry.contains(code)) {
        const std::string_view prefix = text::firstChars(base, prefixLength);
        code.clear();
        // Counters 1-9, 10-99, 100-999, 1000-9999: each band's candidates are its stem (the
        // prefix shortened so that the candidate keeps to four characters) and the counter.
        std::size_t bandStart = 1;
        for (std::size_t digits = 1; digits <= kShortCodeWidth && code.empty(); ++digits) {
            const std::size_t bandEnd = bandStart * 10;
            const std::string_view stem = text::firstChars(prefix, kShortCodeWidth - digits);
            std::size_t& counter = registry.fallbackHint(stem, digits);
            if (counter < bandStart) counter = bandStart;
            for (; counter < bandEnd; ++counter) {
                std::string candidate = std::string(stem) + std::to_string(counter);
                if (!registry.contains(candidate)) {
                    code = std::move(candidate);
                    ++counter;
                    break;
                }
            }
            bandStart = bandEnd;
        }
        if (code.empty()) {
            throw Error(ErrorKind::Document,
                        "No queda ningún código corto libre para " +
                            text::quoted(text::cp1252ToUtf8(base)) +
                            ": todos los códigos de cuatro caracteres de su prefijo están en uso");
        }
    }
    registry.add(code, holder);
    return code;
}

bool LongCodeRegistry::admit(std::string_view longCode, CodeHolder holder) {
    return codes_.try_emplace(text::foldCase1252(longCode), holder).second;
}

std::optional<CodeHolder> LongCodeRegistry::holder(std::string_view longCode) const {
    const auto it = codes_.find(text::foldCase1252(longCode));
    if (it == codes_.end()) return std::nullopt;
    return it->second;
}

}  // namespace thq::exporter
