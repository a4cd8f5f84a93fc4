#pragma once
// Errors of the core. Every failure is a thq::Error: its message (UTF-8) is what the user
// sees in the error box or on stderr, `detail` optionally says where it happened, and its
// kind says what went wrong, for the callers that act on it (an export that finds its work
// folder in use, a check that goes on past a refused number...). No caller looks at the text
// of a message to decide anything.
//
// The messages of the kinds that have a fixed shape are built here, in one place each.
#include <new>
#include <stdexcept>
#include <string>

namespace thq {

enum class ErrorKind {
    InputOutput,   // a file or folder that is missing, cannot be read, written or removed
    InUse,         // a file or folder that another program (or another run) holds
    DamagedTable,  // a table whose bytes or fields are not what a dBase table holds
    Conversion,    // a text that the text-to-integer conversion refused
    Document,      // a document that cannot be loaded or whose data stops the run
    Usage,         // the command line asks for something wrongly (the program's usage)
    Internal,      // the program used a table in a way it does not allow: a fault of the caller
    OutOfMemory,   // the machine, not the data, stopped the run: memory ran out
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& message, std::string detail = {},
          std::string value = {})
        : std::runtime_error(message),
          kind_(kind),
          detail_(std::move(detail)),
          value_(std::move(value)) {}

    ErrorKind kind() const noexcept { return kind_; }
    const std::string& detail() const noexcept { return detail_; }
    // The text a conversion refused (UTF-8), for Conversion errors; empty for the others.
    const std::string& value() const noexcept { return value_; }

    // The same error with another detail (the place found out by a caller).
    Error withDetail(std::string detail) const {
        return {kind_, what(), std::move(detail), value_};
    }

private:
    ErrorKind kind_;
    std::string detail_;
    std::string value_;
};

// "<path>: <problem>", the shape of every file-related error message.
std::string fileMessage(const std::string& pathUtf8, const std::string& problem);

// A problem with a file or folder: "<path>: <problem>".
Error fileError(ErrorKind kind, const std::string& pathUtf8, const std::string& problem,
                std::string detail = {});

// A text that the text-to-integer conversion refused: "'%s' no es un valor entero válido"
// with the refused text (as UTF-8).
Error conversionError(const std::string& refusedTextUtf8, std::string detail = {});

// A file that another program (or another table object) holds: "<path>: está en uso por
// otro programa".
Error inUseError(const std::string& pathUtf8);

// Memory ran out while doing `purpose`: "No hay memoria suficiente para <purpose>".
Error outOfMemoryError(const std::string& purpose);

// Runs `action`. Memory running out inside it becomes an OutOfMemory error that says in
// Spanish what the memory was for ("No hay memoria suficiente para construir la tabla ASIGT")
// instead of the library's "std::bad_alloc".
template <typename Action>
decltype(auto) namingMemoryUse(const std::string& purpose, Action&& action) {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        throw outOfMemoryError(purpose);
    }
}

}  // namespace thq
