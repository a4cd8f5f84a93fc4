#include "data/dbf_pending_record.hpp"

#include <algorithm>
#include <cstring>

#include "data/error.hpp"
#include "data/text.hpp"

namespace thq::data::dbf {

void PendingRecord::attach(const Layout& layout, const text::CodePage& codePage,
                           const std::string& pathText) {
    layout_ = &layout;
    codePage_ = &codePage;
    pathText_ = &pathText;
    active_ = false;
    numbers_.assign(layout.fields.size(), std::nullopt);
}

void PendingRecord::fail(const std::string& problem, ErrorKind kind) const {
    throw fileError(kind, *pathText_, problem);
}

char* PendingRecord::fieldAt(std::size_t field) {
    return record_.data() + 1 + layout_->offsets[field];
}

void PendingRecord::start() {
    record_.assign(layout_->recordLength, ' ');
    for (std::size_t i = 0; i < layout_->fields.size(); ++i) {
        const FieldInfo& info = layout_->fields[i];
        if (isBinaryNumber(info, layout_->version)) {
            std::memset(fieldAt(i), 0, static_cast<std::size_t>(info.width));
        }
    }
    numbers_.assign(layout_->fields.size(), std::nullopt);
    active_ = true;
}

void PendingRecord::setText(std::size_t field, std::string_view cp1252) {
    const FieldInfo& info = layout_->fields[field];
    const bool binary = isBinaryNumber(info, layout_->version);
    if (isDecimalNumeric(info.type) || binary) {
        if (trimTrailing(cp1252).find_first_not_of(' ') == std::string_view::npos) {
            std::memset(fieldAt(field), binary ? 0 : ' ', static_cast<std::size_t>(info.width));
            numbers_[field].reset();
            return;
        }
        auto value = parseNumber(cp1252);
        if (!value) {
            fail("el valor " + text::quoted(text::cp1252ToUtf8(cp1252)) +
                 " no es un número para el campo " + quotedName(info.name));
        }
        setNumber(field, *value);
        return;
    }
    if (info.type == 'L') {
        const char value = cp1252.empty() ? ' ' : logicalOf(cp1252[0]);
        if (value == 0 || cp1252.size() > 1) {
            fail("el valor " + text::quoted(text::cp1252ToUtf8(cp1252)) +
                 " no es lógico para el campo " + quotedName(info.name));
        }
        *fieldAt(field) = value;
        return;
    }
    if (info.type != 'C' && info.type != 'D') {
        fail("el campo " + quotedName(info.name) + " es de tipo " + typeLetter(info.type) +
                 ", que no se puede escribir",
             ErrorKind::Internal);
    }
    const auto width = static_cast<std::size_t>(info.width);
    char* target = fieldAt(field);
    std::size_t length = 0;
    if (codePage_->isWindows1252()) {
        length = std::min(width, cp1252.size());
        std::memcpy(target, cp1252.data(), length);
    } else {
        const std::string value = codePage_->fromCp1252(cp1252, width);
        length = value.size();
        std::memcpy(target, value.data(), length);
    }
    std::memset(target + length, ' ', width - length);
}

void PendingRecord::setLogical(std::size_t field, bool value) {
    if (layout_->fields[field].type != 'L') {
        fail("el campo " + quotedName(layout_->fields[field].name) + " no es lógico",
             ErrorKind::Internal);
    }
    *fieldAt(field) = value ? 'T' : 'F';
}

void PendingRecord::setNumber(std::size_t field, double value) {
    const FieldInfo& info = layout_->fields[field];
    char* target = fieldAt(field);
    if (isBinaryNumber(info, layout_->version)) {
        auto bytes = encodeBinaryNumber(info, value);
        if (!bytes) {
            fail("el valor " + shortestNumber(value) + " no cabe en el campo " +
                 quotedName(info.name));
        }
        std::copy_n(bytes->data(), bytes->size(), target);
    } else if (isDecimalNumeric(info.type)) {
        auto text = formatNumber(value, info.width, info.decimals);
        if (!text) {
            fail("el valor " + shortestNumber(value) + " no cabe en el campo " +
                 quotedName(info.name) + " (ancho " + std::to_string(info.width) + ")");
        }
        std::copy_n(text->data(), text->size(), target);
    } else {
        fail("el campo " + quotedName(info.name) + " no es numérico", ErrorKind::Internal);
    }
    numbers_[field] = value;
}

double PendingRecord::number(std::size_t field) const { return numbers_[field].value_or(0.0); }

}  // namespace thq::data::dbf
