#pragma once
// Errors of the core. Every failure is an exception whose message (UTF-8) is what the
// user sees in the error box or on stderr; `detail` optionally says where it happened.
#include <new>
#include <stdexcept>
#include <string>

namespace thq {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::string detail = {})
        : std::runtime_error(message), detail_(std::move(detail)) {}

    const std::string& detail() const noexcept { return detail_; }

private:
    std::string detail_;
};

// A text that the text-to-integer conversion refused. The message is the fixed
// "'%s' no es un valor entero válido" with the refused text (as UTF-8).
class ConversionError : public Error {
public:
    explicit ConversionError(const std::string& refusedTextUtf8, std::string detail = {});
    const std::string& refusedText() const noexcept { return refused_; }

private:
    std::string refused_;
};

// A file that another program (or another table object) holds: "<path>: está en uso por
// otro programa".
class InUseError : public Error {
public:
    explicit InUseError(const std::string& pathUtf8);
};

// Builds "<path>: <problem>", the shape of every file-related error message.
std::string fileMessage(const std::string& pathUtf8, const std::string& problem);

// The machine, not the data, stopped the run: memory ran out.
class OutOfMemoryError : public Error {
public:
    using Error::Error;
};

// Runs `action`. Memory running out inside it becomes an OutOfMemoryError that says in
// Spanish what the memory was for ("No hay memoria suficiente para construir la tabla ASIGT")
// instead of the library's "std::bad_alloc".
template <typename Action>
decltype(auto) namingMemoryUse(const std::string& purpose, Action&& action) {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError("No hay memoria suficiente para " + purpose);
    }
}

}  // namespace thq
