#pragma once
// The fields of a dBase table: those to create and those a file holds. The lowest layer of
// the table engine: the byte format (dbf_format.hpp) and the tables above it share these.
#include <string>

namespace thq::data {

enum class FieldType { Text, Integer, Logical, Number };

// A field to create. Integers are written as numeric fields without decimals, numbers
// as numeric fields with decimals; `width` matters for text fields only.
struct FieldSpec {
    std::string name;
    FieldType type = FieldType::Text;
    int width = 0;
};

// A field as the file holds it (any table, also one written by another program).
struct FieldInfo {
    std::string name;
    char type = 'C';  // the dBase type letter: C, N, F, L, D, I, ...
    int width = 0;
    int decimals = 0;
    bool system = false;  // a Visual FoxPro bookkeeping field (_NullFlags), not user data
};

}  // namespace thq::data
