#pragma once
// Elements written out as text as they are made, in a document's own encoding, for documents
// too large to build as a tree first. The bytes are those that saving the same elements from
// a tree (XmlDocument::serialize) gives: no whitespace between elements, a text element with
// an empty text as <name/>, "<", ">", "&" and carriage returns in texts escaped, and
// characters that the encoding lacks written as decimal character references (&#8364;).
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace thq::data {

class XmlStreamWriter {
public:
    // Receives the encoded bytes, in order, in pieces of any size.
    using Sink = std::function<void(std::string_view bytes)>;

    // `encoding` is the output encoding by its name ("ISO-8859-1", "windows-1252",
    // "UTF-16LE"...); empty for UTF-8. Throws thq::Error when the encoding is not available.
    XmlStreamWriter(const std::string& encoding, Sink sink);
    ~XmlStreamWriter();
    XmlStreamWriter(const XmlStreamWriter&) = delete;
    XmlStreamWriter& operator=(const XmlStreamWriter&) = delete;

    // <name> or <name attribute="value">. Names are plain ASCII names.
    void startElement(std::string_view name);
    void startElement(std::string_view name, std::string_view attribute, std::string_view value);
    // </name>
    void endElement(std::string_view name);
    // <name attribute="value">text</name>, or <name attribute="value"/> when the text is empty.
    // A text that XML cannot carry (not UTF-8, a control character) throws thq::Error as
    // XmlNode::setText does, and nothing of the element is written.
    void textElement(std::string_view name, std::string_view attribute, std::string_view value,
                     std::string_view text);
    // Hands everything written so far to the sink.
    void flush();

private:
    void appendAttribute(std::string_view attribute, std::string_view value);
    void flushWhenFull();

    struct Encoder;
    std::unique_ptr<Encoder> encoder_;  // none for UTF-8
    Sink sink_;
    std::string pending_;  // UTF-8 not yet handed on
};

}  // namespace thq::data
