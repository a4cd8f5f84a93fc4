#pragma once
// XML document access on libxml2. Texts cross this interface as UTF-8.
//
// Loading accepts the encodings a school's document comes in (UTF-8, UTF-16 in either byte
// order, ISO-8859-1, ISO-8859-15, windows-1252, US-ASCII) and refuses any other by name, as
// it refuses a byte-order mark that contradicts the declared encoding. Windows-1252 goes
// through this program's own converter on every platform, so a document gives the same
// bytes everywhere. Loading never touches the network, never reads external entities or
// DTDs, and refuses documents that declare entities or attribute defaults, that nest
// elements deeper than kMaxElementDepth levels, that give an element more than
// kMaxAttributesPerElement attributes or kMaxNamespacesPerElement namespace declarations, or
// (when loaded from a file) that are larger than the size limit. Parse errors come back as one
// Spanish message with line and column; the parser prints nothing. Saving writes the whole document
// in its own encoding (a UTF-16 document without a declaration stays UTF-16), atomically.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// libxml2's own structure names, declared here so that this header does not need libxml2.
struct _xmlNode;  // NOLINT(bugprone-reserved-identifier)
struct _xmlDoc;   // NOLINT(bugprone-reserved-identifier)

namespace thq::data {

struct XmlScan;

// A non-owning handle on an element of an XmlDocument; valid while the document lives
// (and while the element is not removed or replaced by setText on an ancestor). A null
// handle reads as empty (no name, no text, no attributes, no children); changing one
// throws std::logic_error.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode* node) : node_(node) {}

    bool isNull() const noexcept { return node_ == nullptr; }
    explicit operator bool() const noexcept { return node_ != nullptr; }
    std::string name() const;
    // The URI of the namespace the element is in; nothing when it is in none.
    std::optional<std::string> namespaceUri() const;
    // The whole text content (all descendant text, as the DOM's `text`).
    std::string text() const;
    // The attribute's value, or nothing when the element lacks it.
    std::optional<std::string> attribute(std::string_view name) const;
    // Child elements with this exact name, in document order (the relative pattern "name").
    std::vector<XmlNode> childElements(std::string_view name) const;
    // The first child element with this name (selectSingleNode of a relative name).
    XmlNode firstChildElement(std::string_view name) const;
    // 1-based line of the element in the loaded document (0 when unknown).
    long line() const;

    void setAttribute(std::string_view name, std::string_view value);
    // Replaces the element's content by this text (no text node for an empty text).
    void setText(std::string_view text);
    void appendChild(XmlNode child);
    void removeChild(XmlNode child);

    _xmlNode* raw() const noexcept { return node_; }

private:
    _xmlNode* node_ = nullptr;
};

// Deepest element nesting a document may have (the root element is level 1).
inline constexpr int kMaxElementDepth = 256;
// Most attributes one element may have (the parser's checks grow with their square).
inline constexpr int kMaxAttributesPerElement = 256;
// Most namespace declarations (xmlns, xmlns:prefix) one element may have: the declarations
// of the enclosing elements add up, and the work on them grows with their square.
inline constexpr int kMaxNamespacesPerElement = 64;

// Limits on the documents that load() accepts.
struct XmlLimits {
    // A larger file is refused before it is read (the command line's --max-document-size).
    std::uint64_t maxDocumentBytes = 64ull << 20;
};

// Throws thq::Error unless the text is one XML can carry: well-formed UTF-8 without a NUL,
// without control characters other than tab, line feed and carriage return, and without
// U+FFFE or U+FFFF. `what` names the text in the message ("texto", "valor de atributo").
void requireXmlText(std::string_view text, const char* what);

// Where a document's parts stand in its own bytes, for writing it out again with one child
// of its document element replaced, without building its tree (see XmlDocument::outline).
struct XmlOutline {
    std::string bytes;     // the document as read
    std::string rootName;  // the document element's name as written ("prefix:local" or "local")
    // The first child element of the document element with the name asked for: from the "<"
    // of its start tag to just past its end tag (or its empty-element tag).
    bool hasChild = false;
    std::size_t childBegin = 0;
    std::size_t childEnd = 0;
    // The "<" of the document element's end tag.
    std::size_t rootEnd = 0;
    // The namespaces the document element and that child are in (none when not in one), and
    // the lines they start on.
    std::optional<std::string> rootNamespace;
    long rootLine = 0;
    std::optional<std::string> childNamespace;
    long childLine = 0;
    // The encoding the bytes are in, for XmlStreamWriter: empty for UTF-8, "UTF-16LE" or
    // "UTF-16BE" for UTF-16 (whatever the declaration says), else the encoding's name.
    std::string encoding;
};

class XmlDocument {
public:
    // Loads a file. Throws thq::Error naming the file and, for a parse error, the line,
    // column and the parser's description. A file larger than the limit is refused
    // without reading it.
    static XmlDocument load(const std::filesystem::path& path, const XmlLimits& limits = {});
    // Parses bytes already in memory; `name` stands for the file in messages.
    static XmlDocument parse(std::string_view bytes, const std::string& name);
    // Reads and checks a file exactly as load() does (the same limits, refusals and
    // messages), without building its tree, and finds where its document element's first
    // child named `childName` (its name as written) and the document element's end tag stand.
    static XmlOutline outline(const std::filesystem::path& path, std::string_view childName,
                              const XmlLimits& limits = {});

    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;
    ~XmlDocument();

    XmlNode documentElement() const;
    // The first element, in document order, whose local name is one of these and that is in
    // a namespace (with or without a prefix); a null handle when there is none.
    XmlNode firstElementInNamespace(std::initializer_list<std::string_view> localNames) const;
    // Elements matching an absolute XPath 1.0 pattern, in document order.
    std::vector<XmlNode> selectNodes(std::string_view xpath) const;
    // A new element, not yet placed. The document keeps it (and frees it with itself) until
    // it is appended somewhere, so that an element left unplaced by an error is not lost.
    XmlNode createElement(std::string_view name);
    // The encoding the document declared (empty when it declared none: UTF-8).
    std::string encoding() const;
    // Serialises the whole document in its own encoding.
    std::string serialize() const;
    // Saves atomically (temporary file in the same folder, flushed, renamed into place).
    void save(const std::filesystem::path& path) const;

private:
    explicit XmlDocument(_xmlDoc* doc);
    // Parses with every check; builds the tree, or with `scan` only notes what it looks for.
    static XmlDocument parseDocument(std::string_view bytes, const std::string& name,
                                     XmlScan* scan);
    void release() noexcept;
    _xmlDoc* doc_ = nullptr;
    // A UTF-16 document without an encoding declaration, by byte order: saved in UTF-16
    // again (libxml2 alone would write UTF-8).
    enum class Utf16 : std::uint8_t { No, LittleEndian, BigEndian };
    Utf16 undeclaredUtf16_ = Utf16::No;
    // Holder of the created elements not yet placed; outside the document's tree.
    _xmlNode* unplaced_ = nullptr;
};

}  // namespace thq::data
