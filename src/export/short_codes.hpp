#pragma once
// Short codes of at most four characters for subjects, tasks, teachers, rooms and groups.
//
// A registry holds codes in the form the four-character field stores them (first four
// characters, trailing blanks removed) and compares them without regard to letter case,
// so two records never share a stored code: a teacher GARCES after GARCIA receives GAR1,
// not a second GARC that would make them receive each other's lessons.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace thq::exporter {

constexpr std::size_t kShortCodeWidth = 4;

// Which row a code (or long code) was given to, for the findings that explain a fallback.
struct CodeHolder {
    std::string_view section;  // a section name; empty when unknown
    std::size_t row = 0;
};

class ShortCodeRegistry {
public:
    // True when a code with this stored form is already given.
    bool contains(std::string_view code) const;
    void add(std::string_view code, CodeHolder holder = {});
    // The row that holds the code's stored form, if any.
    std::optional<CodeHolder> holder(std::string_view code) const;
    std::size_t size() const { return codes_.size(); }

    // The lowest fallback counter that may still be free among those with `digits` digits
    // whose candidates start with `stem` (the prefix shortened to leave room for the digits):
    // AU1..AU9, AU10..AU99, A100..A999, 1000..9999. Every prefix with the same stem shares
    // these candidates, so it shares the hint. Every counter of the band below the hint has
    // been seen taken, and since codes are only ever added it stays taken, so a search may
    // start there: the first free counter is found as if counting from 1, and the candidates
    // of a band are tried once in all, not once for every prefix that falls back to them.
    std::size_t& fallbackHint(std::string_view stem, std::size_t digits);

private:
    std::unordered_map<std::string, CodeHolder> codes_;  // case-folded stored forms
    std::unordered_map<std::string, std::size_t> hints_;
};

// The form in which a four-character field stores a code.
std::string storedCodeForm(std::string_view code);

// Gives the base when its stored form is free; otherwise the first free candidate
// prefix + counter (counting from 1), the prefix being the base's first `prefixLength`
// characters, shortened so that the candidate keeps to four characters (MA10, A100).
// The chosen code, in stored form, is added to the registry and returned.
// Throws thq::Error when no four-character code is free.
std::string AllocateShortCode(std::string_view base, ShortCodeRegistry& registry,
                              std::size_t prefixLength, CodeHolder holder = {});

// The long codes already written to the subject and task catalogue, compared without regard
// to letter case: a long code is let into the catalogue once.
class LongCodeRegistry {
public:
    // Adds the long code and returns true when it was not there yet.
    bool admit(std::string_view longCode, CodeHolder holder = {});
    // The row that brought the long code in, if any.
    std::optional<CodeHolder> holder(std::string_view longCode) const;

private:
    std::unordered_map<std::string, CodeHolder> codes_;
};

}  // namespace thq::exporter
