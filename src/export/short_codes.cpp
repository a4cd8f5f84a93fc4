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

void ShortCodeRegistry::add(std::string_view code) {
    codes_.insert(text::foldCase1252(storedCodeForm(code)));
}

std::size_t& ShortCodeRegistry::fallbackHint(std::string_view prefix) {
    auto [it, inserted] = hints_.try_emplace(text::foldCase1252(prefix), 1);
    return it->second;
}

namespace {

std::string fallbackCandidate(std::string_view prefix, std::size_t counter) {
    const std::string digits = std::to_string(counter);
    const std::size_t room = kShortCodeWidth - digits.size();
    return std::string(text::firstChars(prefix, room)) + digits;
}

}  // namespace

std::string AllocateShortCode(std::string_view base, ShortCodeRegistry& registry,
                              std::size_t prefixLength) {
    std::string code = storedCodeForm(base);
    if (registry.contains(code)) {
        const std::string_view prefix = text::firstChars(base, prefixLength);
        std::size_t& counter = registry.fallbackHint(prefix);
        code.clear();
        for (; std::to_string(counter).size() <= kShortCodeWidth; ++counter) {
            std::string candidate = fallbackCandidate(prefix, counter);
            if (!registry.contains(candidate)) {
                code = std::move(candidate);
                ++counter;
                break;
            }
        }
        if (code.empty()) {
            throw Error("No queda ningún código corto libre para '" + text::cp1252ToUtf8(base) +
                        "': todos los códigos de cuatro caracteres de su prefijo están en uso");
        }
    }
    registry.add(code);
    return code;
}

bool LongCodeRegistry::admit(std::string_view longCode) {
    return codes_.insert(text::foldCase1252(longCode)).second;
}

}  // namespace thq::exporter
