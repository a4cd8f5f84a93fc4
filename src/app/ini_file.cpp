#include "app/ini_file.hpp"

#include <iterator>
#include <optional>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::app {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::string_view body;  // without its line end
    std::string_view end;   // "\r\n", "\n", "\r" or empty for a last line without one
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t endLength = 1;
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') endLength = 2;
        lines.push_back({text.substr(start, stop - start), text.substr(stop, endLength)});
        start = stop + endLength;
    }
    return lines;
}

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return text::upperAscii(trimBlanks(a)) == text::upperAscii(trimBlanks(b));
}

// The name of a section header line ("[name]"), none for other lines.
std::optional<std::string_view> sectionName(std::string_view body) {
    const std::string_view trimmed = trimBlanks(body);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const auto close = trimmed.find(']');
    if (close == std::string_view::npos) return trimmed.substr(1);
    return trimmed.substr(1, close - 1);
}

bool isKeyLine(std::string_view body, std::string_view key) {
    const std::string_view trimmed = trimBlanks(body);
    if (trimmed.empty() || trimmed.front() == ';') return false;
    const auto equals = body.find('=');
    return equals != std::string_view::npos && sameName(body.substr(0, equals), key);
}

}  // namespace

std::string setIniValue(std::string_view iniText, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::vector<Line> lines = splitLines(iniText);
    // The first line may carry a byte-order mark, which is not part of its text.
    std::string_view bom;
    if (!lines.empty() && lines.front().body.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bom = kUtf8Bom;
        lines.front().body.remove_prefix(kUtf8Bom.size());
    }
    const std::string newLine =
        (!lines.empty() && !lines.front().end.empty()) ? std::string(lines.front().end) : "\r\n";
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    std::optional<std::size_t> sectionStart;  // index of the header line
    std::optional<std::size_t> lastContent;   // last non-blank line of that section
    std::optional<std::size_t> keyAt;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].body)) {
            if (sectionStart) break;  // the section ended
            if (sameName(*name, section)) {
                sectionStart = i;
                lastContent = i;
            }
            continue;
        }
        if (!sectionStart) continue;
        if (!trimBlanks(lines[i].body).empty()) lastContent = i;
        if (isKeyLine(lines[i].body, key)) {
            keyAt = i;
            break;
        }
    }

    std::string out(bom);
    auto appendLine = [&out](std::string_view body, std::string_view end) {
        out.append(body);
        out.append(end);
    };
    if (!sectionStart) {
        for (const Line& line : lines) appendLine(line.body, line.end);
        if (!lines.empty() && lines.back().end.empty()) out += newLine;
        out += '[';
        out += section;
        out += ']';
        out += newLine;
        out += keyLine;
        out += newLine;
        return out;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (keyAt && i == *keyAt) {
            const auto equals = line.body.find('=');
            appendLine(std::string(line.body.substr(0, equals + 1)) + std::string(value), line.end);
            continue;
        }
        appendLine(line.body, line.end);
        if (!keyAt && i == *lastContent) {
            if (line.end.empty()) out += newLine;
            out += keyLine + newLine;
        }
    }
    return out;
}

namespace {

// The whole file through the file adapter, whose errors name the file and say why (a folder
// in its place, a file in use...).
std::string readWholeFile(const std::filesystem::path& file) {
    platform::File in =
        platform::File::open(file, platform::OpenIntent::ReadOnly, platform::ShareMode::Shared);
    std::string text(static_cast<std::size_t>(in.size()), '\0');
    text.resize(in.readAt(0, text.data(), text.size()));
    return text;
}

}  // namespace

void writeIniValue(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, std::string_view value) {
    try {
        std::error_code ignored;
        const std::string current =
            std::filesystem::exists(file, ignored) ? readWholeFile(file) : std::string();
        platform::writeFileAtomically(file, setIniValue(current, section, key, value));
    } catch (const std::exception& error) {
        // The system's own words go with it as the detail.
        throw Error(ErrorKind::InputOutput, "Unable to write to " + platform::displayPath(file),
                    error.what());
    }
}

}  // namespace thq::app
