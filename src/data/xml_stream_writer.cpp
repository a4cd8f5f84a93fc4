#include "data/xml_stream_writer.hpp"

#include <libxml/encoding.h>
#include <libxml/tree.h>

#include <climits>
#include <new>
#include <stdexcept>
#include <utility>

#include "data/error.hpp"
#include "data/xml_document.hpp"

namespace thq::data {

namespace {

// UTF-8 gathered before it is encoded and handed on.
constexpr std::size_t kChunk = 1 << 18;

bool isPlainName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!letter && !other) return false;
    }
    return true;
}

void requirePlainName(std::string_view name) {
    if (!isPlainName(name)) {
        throw std::logic_error("XmlStreamWriter: not a plain name: " + std::string(name));
    }
}

// As libxml2 escapes a text node's content.
void appendEscapedText(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* escaped = nullptr;
        switch (text[i]) {
            case '<':
                escaped = "&lt;";
                break;
            case '>':
                escaped = "&gt;";
                break;
            case '&':
                escaped = "&amp;";
                break;
            case '\r':
                escaped = "&#13;";
                break;
            default:
                continue;
        }
        out.append(text.substr(plain, i - plain)).append(escaped);
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

// As libxml2 escapes an attribute's value (whose characters are all ASCII here).
void appendEscapedAttribute(std::string& out, std::string_view value) {
    for (const char c : value) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace

// libxml2's converter for the output encoding, with its fallback to character references
// for what the encoding lacks: the one that saving a tree uses.
struct XmlStreamWriter::Encoder {
    explicit Encoder(const std::string& name) : handler(xmlFindCharEncodingHandler(name.c_str())) {
        if (handler == nullptr) {
            throw Error(ErrorKind::Document,
                        "No se puede escribir el documento en su codificación (" + name +
                            "): no está disponible");
        }
        in = xmlBufferCreate();
        out = xmlBufferCreate();
        if (in == nullptr || out == nullptr) {
            release();
            throw std::bad_alloc();
        }
    }
    ~Encoder() { release(); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    void release() noexcept {
        if (in != nullptr) xmlBufferFree(in);
        if (out != nullptr) xmlBufferFree(out);
        if (handler != nullptr) xmlCharEncCloseFunc(handler);
        in = out = nullptr;
        handler = nullptr;
    }

    // The UTF-8 text (whole characters) in the output encoding.
    std::string_view encode(std::string_view utf8) {
        xmlBufferEmpty(in);
        xmlBufferEmpty(out);
        if (utf8.size() > static_cast<std::size_t>(INT_MAX / 4)) throw std::bad_alloc();
        if (xmlBufferAdd(in, reinterpret_cast<const xmlChar*>(utf8.data()),
                         static_cast<int>(utf8.size())) != 0) {
            throw std::bad_alloc();
        }
        while (xmlBufferLength(in) > 0) {
            const int before = xmlBufferLength(in);
            const int result = xmlCharEncOutFunc(handler, out, in);
            if (result < 0 && xmlBufferLength(in) == before) {
                throw Error(ErrorKind::Document,
                            "No se puede escribir el documento en su codificación (" +
                                std::string(handler->name != nullptr ? handler->name : "") + ")");
            }
        }
        return std::string_view(reinterpret_cast<const char*>(xmlBufferContent(out)),
                                static_cast<std::size_t>(xmlBufferLength(out)));
    }

    xmlCharEncodingHandlerPtr handler = nullptr;
    xmlBufferPtr in = nullptr;
    xmlBufferPtr out = nullptr;
};

XmlStreamWriter::XmlStreamWriter(const std::string& encoding, Sink sink) : sink_(std::move(sink)) {
    const bool utf8 =
        encoding.empty() || xmlParseCharEncoding(encoding.c_str()) == XML_CHAR_ENCODING_UTF8;
    if (!utf8) encoder_ = std::make_unique<Encoder>(encoding);
    pending_.reserve(kChunk + 4096);
}

XmlStreamWriter::~XmlStreamWriter() = default;

void XmlStreamWriter::startElement(std::string_view name) {
    requirePlainName(name);
    pending_.append("<").append(name).append(">");
    flushWhenFull();
}

void XmlStreamWriter::startElement(std::string_view name, std::string_view attribute,
                                   std::string_view value) {
    requirePlainName(name);
    pending_.append("<").append(name);
    appendAttribute(attribute, value);
    pending_.append(">");
    flushWhenFull();
}

void XmlStreamWriter::endElement(std::string_view name) {
    requirePlainName(name);
    pending_.append("</").append(name).append(">");
    flushWhenFull();
}

void XmlStreamWriter::textElement(std::string_view name, std::string_view attribute,
                                  std::string_view value, std::string_view text) {
    requirePlainName(name);
    requireXmlText(text, "texto");
    pending_.append("<").append(name);
    appendAttribute(attribute, value);
    if (text.empty()) {
        pending_.append("/>");
    } else {
        pending_.append(">");
        appendEscapedText(pending_, text);
        pending_.append("</").append(name).append(">");
    }
    flushWhenFull();
}

void XmlStreamWriter::appendAttribute(std::string_view attribute, std::string_view value) {
    requirePlainName(attribute);
    for (const char c : value) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            throw std::logic_error("XmlStreamWriter: attribute values are ASCII");
        }
    }
    pending_.append(" ").append(attribute).append("=\"");
    appendEscapedAttribute(pending_, value);
    pending_.append("\"");
}

void XmlStreamWriter::flushWhenFull() {
    if (pending_.size() >= kChunk) flush();
}

void XmlStreamWriter::flush() {
    if (pending_.empty()) return;
    // The pending text always ends with a whole element, so never within a character.
    if (encoder_) {
        sink_(encoder_->encode(pending_));
    } else {
        sink_(pending_);
    }
    pending_.clear();
}

}  // namespace thq::data
