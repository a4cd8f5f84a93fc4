#include "data/xml_document.hpp"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::data {

namespace {

const xmlChar* xml(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

std::string fromXml(const xmlChar* s) {
    return s == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(s));
}

// Takes ownership of a string libxml2 allocated.
std::string takeXml(xmlChar* s) {
    std::string out = fromXml(s);
    xmlFree(s);
    return out;
}

// The name as written in the document: "prefix:local" or "local".
std::string qualifiedName(const xmlNode* node) {
    std::string name = fromXml(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        name = fromXml(node->ns->prefix) + ":" + name;
    }
    return name;
}

bool hasName(const xmlNode* node, std::string_view name) {
    if (node->type != XML_ELEMENT_NODE || node->name == nullptr) return false;
    if (node->ns == nullptr || node->ns->prefix == nullptr) {
        return name == reinterpret_cast<const char*>(node->name);
    }
    return name == qualifiedName(node);
}

// Texts handed to libxml2 must be well-formed UTF-8 (anything else would be written out as
// garbage or make libxml2 relabel the whole document as ISO-8859-1) made of characters that
// XML admits: a NUL would cut the text short, and the other control characters (but tab,
// line feed and carriage return) or U+FFFE and U+FFFF would be written as they stand,
// giving a document that no parser reads back.
std::string checkedUtf8(std::string_view s, const char* what) {
    requireXmlText(s, what);
    return std::string(s);
}

// Changing a null handle is a mistake of the caller, not of the document.
void requireElement(const xmlNode* node, const char* operation) {
    if (node == nullptr)
        throw std::logic_error(std::string("XmlNode::") + operation + ": null node");
}

// ---------------------------------------------------------------------------------------
// Windows-1252 through our own converter.
//
// libxml2 has no Windows-1252 of its own: on Linux it borrows iconv's, and where it is built
// without iconv (the Windows build) a document declaring windows-1252 does not load at all.
// This converter, registered under the names a document may declare, is the one used on
// every platform, so the same document gives the same bytes everywhere. The five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the C1 controls of the
// same number, as Windows' own MultiByteToWideChar gives them (iconv refuses them), and are
// written back as the same bytes.

// Bytes to UTF-8. Every byte is defined, so the conversion cannot fail; it stops when the
// output has no room for another character.
int windows1252ToUtf8(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (out == nullptr || outlen == nullptr || inlen == nullptr) return -1;
    if (in == nullptr) {
        *outlen = 0;
        *inlen = 0;
        return 0;
    }
    int read = 0;
    int written = 0;
    std::string encoded;
    while (read < *inlen) {
        encoded.clear();
        text::appendUtf8(encoded, text::cp1252CodePoint(in[read]));
        if (written + static_cast<int>(encoded.size()) > *outlen) break;
        std::copy(encoded.begin(), encoded.end(), out + written);
        written += static_cast<int>(encoded.size());
        ++read;
    }
    *outlen = written;
    *inlen = read;
    return written;
}

// UTF-8 to bytes. A character Windows-1252 lacks stops the conversion with -2 right before
// it: libxml2 then writes it as a character reference (&#321;) and goes on, so nothing is
// replaced by a wrong byte.
int utf8ToWindows1252(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (out == nullptr || outlen == nullptr || inlen == nullptr) return -1;
    if (in == nullptr) {  // libxml2's call to start a document: nothing to write
        *outlen = 0;
        *inlen = 0;
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(in),
                                 static_cast<std::size_t>(*inlen));
    std::size_t read = 0;
    int written = 0;
    int result = 0;
    while (read < input.size() && written < *outlen) {
        const auto lead = static_cast<unsigned char>(input[read]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (read + length > input.size() && lead >= 0xC0) break;  // the rest comes later
        std::size_t next = read;
        const auto cp = text::nextUtf8(input, next);
        const int byte = cp ? text::cp1252Byte(*cp) : -1;
        if (byte < 0) {
            result = -2;
            break;
        }
        out[written++] = static_cast<unsigned char>(byte);
        read = next;
    }
    *outlen = written;
    *inlen = static_cast<int>(read);
    return result == 0 ? written : result;
}

// Registers the converter with libxml2, once per process and before any parse or save.
void registerWindows1252() {
    static const bool registered = [] {
        xmlInitParser();
        for (const char* name : {"WINDOWS-1252", "CP1252"}) {
            xmlNewCharEncodingHandler(name, windows1252ToUtf8, utf8ToWindows1252);
        }
        return true;
    }();
    (void)registered;
}

// ---------------------------------------------------------------------------------------
// The encodings a document may come in.
//
// The encoding is found the way the parser finds it (byte-order mark, the first bytes, the
// declaration) before the parser sees the document: an encoding outside the accepted ones
// would otherwise be parsed as something else (EBCDIC and UTF-7 slip past the count of
// attributes, which looks for ASCII), or saved as a result no reader opens.

struct Detected {
    std::size_t unitSize = 1;  // 2 for UTF-16
    bool bigEndian = false;
    bool bom = false;
    std::string declared;  // the declaration's encoding as written; empty when none
};

std::string upperAsciiOf(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The XML declaration's text in ASCII (code units of the detected size), if the document
// starts with one.
std::string declarationText(std::string_view bytes, const Detected& units) {
    std::string ascii;
    for (std::size_t at = 0; at + units.unitSize <= bytes.size() && ascii.size() < 512;
         at += units.unitSize) {
        std::uint32_t code = 0;
        for (std::size_t k = 0; k < units.unitSize; ++k) {
            const std::size_t byte = units.bigEndian ? at + k : at + units.unitSize - 1 - k;
            code = code << 8 | static_cast<unsigned char>(bytes[byte]);
        }
        if (code == 0 || code > 0x7E) break;
        ascii.push_back(static_cast<char>(code));
        if (ascii.size() >= 2 && ascii.compare(ascii.size() - 2, 2, "?>") == 0) break;
    }
    if (ascii.size() < 6 || ascii.compare(0, 5, "<?xml") != 0) return {};
    if (ascii[5] != ' ' && ascii[5] != '\t' && ascii[5] != '\r' && ascii[5] != '\n') return {};
    return ascii;
}

// The value of the declaration's encoding="..." pseudo-attribute.
std::string declaredEncoding(const std::string& declaration) {
    std::size_t at = declaration.find("encoding");
    if (at == std::string::npos) return {};
    at += 8;
    while (at < declaration.size() && declaration[at] == ' ') ++at;
    if (at >= declaration.size() || declaration[at] != '=') return {};
    ++at;
    while (at < declaration.size() && declaration[at] == ' ') ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
    const char quote = declaration[at++];
    const std::size_t end = declaration.find(quote, at);
    if (end == std::string::npos) return {};
    return declaration.substr(at, end - at);
}

bool isOneOf(const std::string& upper, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return upper == n; });
}

constexpr const char* kAccepted = "UTF-8, UTF-16, ISO-8859-1, ISO-8859-15, windows-1252 o US-ASCII";

Detected detectEncoding(std::string_view bytes, const std::string& name) {
    using namespace std::string_view_literals;
    const auto refuse = [&](const std::string& problem) -> Detected {
        throw Error(ErrorKind::Document, fileMessage(name, problem));
    };
    const auto startsWith = [&](std::string_view start) { return bytes.starts_with(start); };
    if (startsWith("\0\0\xFE\xFF"sv) || startsWith("\xFF\xFE\0\0"sv) || startsWith("\0\0\0<"sv) ||
        startsWith("<\0\0\0"sv)) {
        return refuse("el documento está en UTF-32, que no se admite: guárdelo en " +
                      std::string(kAccepted));
    }
    if (startsWith("\x4C\x6F\xA7\x94"sv)) {
        return refuse("el documento está en EBCDIC, que no se admite: guárdelo en " +
                      std::string(kAccepted));
    }
    if (startsWith("+/v"sv)) {
        return refuse("el documento está en UTF-7, que no se admite: guárdelo en " +
                      std::string(kAccepted));
    }
    Detected found;
    std::size_t skip = 0;
    if (startsWith("\xEF\xBB\xBF"sv)) {
        found.bom = true;
        skip = 3;
    } else if (startsWith("\xFE\xFF"sv) || startsWith("\xFF\xFE"sv)) {
        found = {2, bytes[0] == '\xFE', true, {}};
        skip = 2;
    } else if (startsWith("\0<\0?"sv) || startsWith("<\0?\0"sv)) {
        found = {2, bytes[0] == '\0', false, {}};
    }
    found.declared = declaredEncoding(declarationText(bytes.substr(skip), found));
    const std::string upper = upperAsciiOf(found.declared);
    const std::string quoted = "encoding=\"" + found.declared + "\"";
    if (found.unitSize == 2) {
        const bool fits = found.declared.empty() || isOneOf(upper, {"UTF-16", "UTF16"}) ||
                          upper == (found.bigEndian ? "UTF-16BE" : "UTF-16LE");
        if (!fits) {
            return refuse("el documento está escrito en UTF-16 pero declara " + quoted +
                          ": corrija la declaración");
        }
        return found;
    }
    if (found.bom && !found.declared.empty() && !isOneOf(upper, {"UTF-8", "UTF8"})) {
        return refuse("el documento empieza con la marca de UTF-8 pero declara " + quoted +
                      ": no puede estar en las dos; quite la marca o corrija la declaración");
    }
    if (isOneOf(upper, {"UTF-16", "UTF16", "UTF-16LE", "UTF-16BE"})) {
        return refuse("el documento declara " + quoted +
                      " pero está escrito con un byte por carácter: corrija la declaración");
    }
    if (!found.declared.empty() &&
        !isOneOf(upper, {"UTF-8", "UTF8", "ISO-8859-1", "ISO-LATIN-1", "ISO-8859-15",
                         "WINDOWS-1252", "CP1252", "US-ASCII", "ASCII"})) {
        return refuse("la codificación «" + found.declared +
                      "» no se admite: guarde el documento en " + std::string(kAccepted));
    }
    // US-ASCII has no byte above 0x7F; the parser would only say that the data ends early.
    if (isOneOf(upper, {"US-ASCII", "ASCII"})) {
        const auto high = std::find_if(bytes.begin(), bytes.end(),
                                       [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
        if (high != bytes.end()) {
            const auto offset = static_cast<std::size_t>(high - bytes.begin());
            const auto line = std::count(bytes.begin(), high, '\n') + 1;
            static const char digits[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(*high);
            return refuse("el documento declara " + quoted + " pero tiene el byte 0x" +
                          digits[byte >> 4] + digits[byte & 0xF] + " (línea " +
                          std::to_string(line) + ", posición " + std::to_string(offset + 1) +
                          "), que US-ASCII no tiene: declare la codificación en que está");
        }
    }
    return found;
}

// ---------------------------------------------------------------------------------------
// Parse errors, collected and told in Spanish.

struct ParseError {
    int domain = 0;
    int code = 0;
    int line = 0;
    int column = 0;
    int int1 = 0;
    std::string str1;
    std::string str2;
    std::string message;  // libxml2's own text, for what has no Spanish text here
};

// What the parse of one document found wrong, reached from the parser context.
struct ParseState {
    bool declaresEntities = false;
    bool declaresDefaults = false;
    bool tooDeep = false;
    int depth = 0;
    std::vector<ParseError> errors;
    struct XmlScan* scan = nullptr;  // set when the document is only scanned, not built
};

std::string orEmpty(const char* s) { return s == nullptr ? std::string() : std::string(s); }

void collect(ParseState& state, const xmlError& error) {
    if (error.level < XML_ERR_ERROR || state.errors.size() >= 16) return;
    state.errors.push_back({error.domain, error.code, error.line, error.int2, error.int1,
                            orEmpty(error.str1), orEmpty(error.str2),
                            std::string(text::trim(orEmpty(error.message)))});
}

// The first byte of libxml2's "Bytes: 0xF1 0x61 ..." or "0x81 0x3C ...".
std::string firstByteOf(const std::string& bytes) {
    const std::size_t at = bytes.find("0x");
    return at == std::string::npos ? std::string() : bytes.substr(at, 4);
}

std::string spanishOf(const ParseError& e) {
    const std::string line = std::to_string(e.int1);
    if (e.domain == XML_FROM_I18N) {
        return "los bytes no corresponden a la codificación del documento (byte " +
               firstByteOf(e.str1.empty() ? e.message : e.str1) + ")";
    }
    switch (e.code) {
        case XML_ERR_DOCUMENT_EMPTY:
            return "no hay ningún elemento: el documento tiene que empezar por '<'";
        case XML_ERR_DOCUMENT_END:
            return "hay contenido después del final del elemento raíz";
        case XML_ERR_INVALID_HEX_CHARREF:
        case XML_ERR_INVALID_DEC_CHARREF:
        case XML_ERR_INVALID_CHARREF:
            return "una referencia de carácter (&#...;) no es válida";
        case XML_ERR_INVALID_CHAR:
            if (e.message.rfind("Input is not proper UTF-8", 0) == 0) {
                return "el texto no está en UTF-8 (byte " + firstByteOf(e.str1) +
                       "): si el documento está en otra codificación, declárela, por ejemplo "
                       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
            }
            return "hay un carácter que XML no admite";
        case XML_ERR_ENTITYREF_SEMICOL_MISSING:
            return "falta ';' tras una referencia a entidad: un '&' suelto se escribe '&amp;'";
        case XML_ERR_UNDECLARED_ENTITY:
        case XML_WAR_UNDECLARED_ENTITY:
            return "la entidad «&" + e.str1 + ";» no está declarada";
        case XML_ERR_STRING_NOT_STARTED:
        case XML_ERR_STRING_NOT_CLOSED:
        case XML_ERR_LITERAL_NOT_STARTED:
        case XML_ERR_LITERAL_NOT_FINISHED:
            return "falta una comilla";
        case XML_ERR_LT_IN_ATTRIBUTE:
            return "el valor de un atributo no puede contener '<'";
        case XML_ERR_ATTRIBUTE_NOT_STARTED:
            return "el valor de un atributo tiene que ir entre comillas";
        case XML_ERR_ATTRIBUTE_NOT_FINISHED:
            return "el valor de un atributo no termina: falta la comilla de cierre";
        case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
            return "el atributo «" + e.str1 + "» no tiene valor";
        case XML_ERR_ATTRIBUTE_REDEFINED:
        case XML_NS_ERR_ATTRIBUTE_REDEFINED:
            return "el atributo «" + e.str1 + "» está repetido";
        case XML_ERR_COMMENT_NOT_FINISHED:
            return "un comentario no termina: falta '-->'";
        case XML_ERR_HYPHEN_IN_COMMENT:
            return "'--' no puede aparecer dentro de un comentario";
        case XML_ERR_PI_NOT_FINISHED:
            return "una instrucción de proceso no termina: falta '?>'";
        case XML_ERR_XMLDECL_NOT_FINISHED:
            return "la declaración XML no termina: falta '?>'";
        case XML_ERR_VERSION_MISSING:
            return "falta la versión en la declaración XML";
        case XML_ERR_DOCTYPE_NOT_FINISHED:
            return "la declaración DOCTYPE no termina";
        case XML_ERR_MISPLACED_CDATA_END:
            return "']]>' no puede aparecer en el texto";
        case XML_ERR_CDATA_NOT_FINISHED:
            return "una sección CDATA no termina: falta ']]>'";
        case XML_ERR_RESERVED_XML_NAME:
            return "la declaración XML solo puede ir al principio del documento";
        case XML_ERR_SPACE_REQUIRED:
            return "falta un espacio";
        case XML_ERR_NAME_REQUIRED:
            if (e.message.find("EntityRef") != std::string::npos) {
                return "un '&' suelto se escribe '&amp;'";
            }
            return "se esperaba un nombre de elemento o de atributo";
        case XML_ERR_LT_REQUIRED:
            return "se esperaba un elemento y no hay '<'";
        case XML_ERR_GT_REQUIRED:
            return "falta el '>' que cierra la etiqueta <" + e.str1 + "> de la línea " + line;
        case XML_ERR_LTSLASH_REQUIRED:
            return "falta una etiqueta de cierre";
        case XML_ERR_EQUAL_REQUIRED:
            return "falta '=' tras el nombre de un atributo";
        case XML_ERR_TAG_NAME_MISMATCH:
            return "la etiqueta de cierre </" + e.str2 + "> no corresponde a <" + e.str1 +
                   ">, abierta en la línea " + line;
        case XML_ERR_TAG_NOT_FINISHED:
            return "el documento termina sin cerrar <" + e.str1 + ">, abierto en la línea " + line;
        case XML_ERR_UNSUPPORTED_ENCODING:
        case XML_ERR_UNKNOWN_ENCODING:
            return "la codificación del documento no se admite";
        case XML_NS_ERR_UNDEFINED_NAMESPACE:
            return "un prefijo de espacio de nombres no está declarado";
        default:
            return "error de sintaxis (" + e.message + ")";
    }
}

// One message for all the parser said: its first error, told in Spanish with its place. Of
// the errors at that place, a missing '>' says best what is wrong.
std::string parseProblem(const ParseState& state) {
    std::string problem = "el documento XML no es válido";
    if (state.errors.empty()) return problem;
    const ParseError* chosen = &state.errors.front();
    for (const auto& e : state.errors) {
        if (e.code == XML_ERR_GT_REQUIRED && e.line == chosen->line && e.column == chosen->column) {
            chosen = &e;
        }
    }
    // An error of the conversion has no place of its own: the parser's next one has it.
    const ParseError* placed = chosen;
    if (chosen->line == 0) {
        for (const auto& e : state.errors) {
            if (e.line != 0) {
                placed = &e;
                break;
            }
        }
    }
    if (placed->line != 0) {
        problem += " (línea " + std::to_string(placed->line) + ", columna " +
                   std::to_string(placed->column) + ")";
    }
    return problem + ": " + spanishOf(*chosen);
}

// While it lives, libxml2 reports to `state` what it would otherwise print (the conversion
// modules report without a parser context). The handlers are the thread's own in libxml2,
// and are put back as they were.
class CollectingErrors {
public:
    explicit CollectingErrors(ParseState& state)
        : structured_(xmlStructuredError),
          structuredContext_(xmlStructuredErrorContext),
          generic_(xmlGenericError),
          genericContext_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(&state, onError);
        xmlSetGenericErrorFunc(nullptr, ignore);
    }
    ~CollectingErrors() {
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
        xmlSetGenericErrorFunc(genericContext_, generic_);
    }
    CollectingErrors(const CollectingErrors&) = delete;
    CollectingErrors& operator=(const CollectingErrors&) = delete;

private:
    static void onError(void* state, xmlErrorPtr error) {
        if (error != nullptr) collect(*static_cast<ParseState*>(state), *error);
    }
    static void ignore(void*, const char*, ...) {}

    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
    xmlGenericErrorFunc generic_;
    void* genericContext_;
};

ParseState& stateOf(void* ctx) {
    return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

// Any entity declaration stops the parse at once, before a reference to it could be
// expanded: this is what keeps "billion laughs" documents and external entities out.
void refuseEntity(void* ctx) {
    stateOf(ctx).declaresEntities = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

void onEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    refuseEntity(ctx);
}

void onUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*,
                          const xmlChar*) {
    refuseEntity(ctx);
}

// Element nesting is counted here and stops the parse past kMaxElementDepth levels, with
// a message of its own (libxml2's own limit, one level further, would only say "internal
// error").
void onStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount,
                    int defaultedCount, const xmlChar** attributes) {
    ParseState& state = stateOf(ctx);
    if (++state.depth > kMaxElementDepth) {
        state.tooDeep = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
        return;
    }
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
}

void onEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
    --stateOf(ctx).depth;
    xmlSAX2EndElementNs(ctx, localname, prefix, uri);
}

// A scan: the parse with every check of a load, but no tree; it notes where the document
// element's first child of one name, and the document element's end tag, stand in the bytes.
}  // namespace

struct XmlScan {
    std::string_view bytes;
    std::string_view childName;
    XmlOutline* outline = nullptr;
    bool inChild = false;
    bool childDone = false;
};

namespace {

// The size of the code units the document's bytes are in, as the parser detected them.
std::size_t unitSizeOf(const xmlParserCtxt* ctxt) {
    const xmlParserInputBuffer* buffer = ctxt->input != nullptr ? ctxt->input->buf : nullptr;
    const xmlCharEncodingHandler* encoder = buffer != nullptr ? buffer->encoder : nullptr;
    if (encoder == nullptr || encoder->name == nullptr) return 1;
    const std::string_view name = encoder->name;
    return name == "UTF-16LE" || name == "UTF-16BE" || name == "UTF-16" ? 2 : 1;
}

// The offset of the last "<" before `end`: the start of the tag the parser is in or has just
// read (a tag holds no "<" of its own, not even in an attribute's value).
std::size_t tagStartBefore(std::string_view bytes, std::size_t end, std::size_t unitSize,
                           bool bigEndian) {
    end = std::min(end, bytes.size());
    end -= end % unitSize;
    while (end >= unitSize) {
        end -= unitSize;
        if (unitSize == 1) {
            if (bytes[end] == '<') return end;
        } else {
            const char high = bytes[end + (bigEndian ? 0 : 1)];
            const char low = bytes[end + (bigEndian ? 1 : 0)];
            if (high == '\0' && low == '<') return end;
        }
    }
    return std::string_view::npos;
}

std::size_t consumed(void* ctx) {
    const long offset = xmlByteConsumed(static_cast<xmlParserCtxtPtr>(ctx));
    return offset < 0 ? std::string_view::npos : static_cast<std::size_t>(offset);
}

bool isBigEndianUtf16(const xmlParserCtxt* ctxt) {
    const xmlCharEncodingHandler* encoder = ctxt->input->buf->encoder;
    return std::string_view(encoder->name) == "UTF-16BE";
}

std::size_t tagStartHere(void* ctx, std::string_view bytes) {
    const auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    const std::size_t unitSize = unitSizeOf(ctxt);
    const std::size_t offset = consumed(ctx);
    if (offset == std::string_view::npos) return offset;
    return tagStartBefore(bytes, offset, unitSize, unitSize == 2 && isBigEndianUtf16(ctxt));
}

void onScanStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                        const xmlChar* uri, int, const xmlChar**, int, int, const xmlChar**) {
    ParseState& state = stateOf(ctx);
    if (++state.depth > kMaxElementDepth) {
        state.tooDeep = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
        return;
    }
    XmlScan& scan = *state.scan;
    std::string name = fromXml(localname);
    if (prefix != nullptr) name = fromXml(prefix) + ":" + name;
    // The line the parser is on, as a built tree would give the element.
    const long line = static_cast<xmlParserCtxtPtr>(ctx)->input->line;
    const auto inNamespace = [&]() -> std::optional<std::string> {
        if (uri == nullptr) return std::nullopt;
        return fromXml(uri);
    };
    if (state.depth == 1) {
        scan.outline->rootName = name;
        scan.outline->rootNamespace = inNamespace();
        scan.outline->rootLine = line;
    }
    if (state.depth == 2 && !scan.childDone && !scan.inChild && name == scan.childName) {
        scan.inChild = true;
        scan.outline->childBegin = tagStartHere(ctx, scan.bytes);
        scan.outline->childNamespace = inNamespace();
        scan.outline->childLine = line;
    }
}

void onScanEndElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    ParseState& state = stateOf(ctx);
    XmlScan& scan = *state.scan;
    if (state.depth == 2 && scan.inChild) {
        scan.inChild = false;
        scan.childDone = true;
        scan.outline->hasChild = true;
        scan.outline->childEnd = consumed(ctx);
    } else if (state.depth == 1) {
        const auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
        scan.outline->rootEnd = tagStartHere(ctx, scan.bytes);
        const xmlCharEncodingHandler* encoder = ctxt->input->buf->encoder;
        scan.outline->encoding =
            encoder == nullptr || encoder->name == nullptr ? std::string() : encoder->name;
        if (scan.outline->encoding == "UTF-16") scan.outline->encoding = "UTF-16LE";
    }
    --state.depth;
}

bool isDepthError(const xmlError& error) {
    return error.code == XML_ERR_INTERNAL_ERROR && error.message != nullptr &&
           std::string_view(error.message).find("depth") != std::string_view::npos;
}

// A default value in an <!ATTLIST ...> declaration: libxml2 checks every default of an
// element against every attribute of each of its start tags, so a few thousand defaults
// and many small elements would take hours. Defaults are never applied here anyway.
void onAttributeDecl(void* ctx, const xmlChar* element, const xmlChar* name, int type, int def,
                     const xmlChar* defaultValue, xmlEnumerationPtr values) {
    if (defaultValue != nullptr) {
        xmlFreeEnumeration(values);
        stateOf(ctx).declaresDefaults = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
        return;
    }
    xmlSAX2AttributeDecl(ctx, element, name, type, def, defaultValue, values);
}

// libxml2 compares each attribute of a start tag with all those before it, so the parse
// of one tag with millions of attributes would take hours: the attributes are counted on
// the raw text before parsing. Between one '<' and the next (an attribute value cannot
// hold '<') every attribute has an '=' followed by a quote; the text is read in code units
// of the encoding that its first bytes show, as the parser itself detects it.
struct CodeUnits {
    std::size_t size = 1;
    bool bigEndian = false;
};

CodeUnits codeUnitsOf(std::string_view bytes) {
    using namespace std::string_view_literals;
    static constexpr std::pair<std::string_view, CodeUnits> kStarts[] = {
        {"\0\0\0<"sv, {4, true}}, {"<\0\0\0"sv, {4, false}}, {"\0<\0?"sv, {2, true}},
        {"<\0?\0"sv, {2, false}}, {"\xFE\xFF"sv, {2, true}}, {"\xFF\xFE"sv, {2, false}},
    };
    for (const auto& [start, units] : kStarts) {
        if (bytes.starts_with(start)) return units;
    }
    return {};
}

// What a start tag has too many of, if anything.
enum class TagExcess { None, Attributes, Namespaces };

// Namespace declarations are attributes named "xmlns" or "xmlns:prefix". They are bounded on
// their own: the declarations of all enclosing elements are in scope, and saving the document
// compares each element's declarations with those in scope, so a few hundred nested elements
// each declaring a few hundred namespaces took minutes.
TagExcess tooMuchInOneTag(std::string_view bytes) {
    const CodeUnits units = codeUnitsOf(bytes);
    auto codeAt = [&](std::size_t i) {
        std::uint32_t code = 0;
        for (std::size_t k = 0; k < units.size; ++k) {
            const std::size_t byte = units.bigEndian ? i + k : i + units.size - 1 - k;
            code = code << 8 | static_cast<unsigned char>(bytes[byte]);
        }
        return code;
    };
    static constexpr char kXmlns[] = "xmlns";
    const std::size_t count = bytes.size() / units.size;
    int attributes = 0;
    int namespaces = 0;
    bool afterEquals = false;
    bool equalsAfterDeclaration = false;
    // The name being read: its length so far and whether it still reads as "xmlns" or
    // "xmlns:..."; and whether the last name read was one.
    std::size_t nameLength = 0;
    bool nameIsXmlns = false;
    bool lastNameDeclares = false;
    for (std::size_t u = 0; u < count; ++u) {
        const std::uint32_t c = codeAt(u * units.size);
        if (c == '<') {
            attributes = 0;
            namespaces = 0;
            afterEquals = false;
            nameLength = 0;
            lastNameDeclares = false;
        } else if (c == '=') {
            afterEquals = true;
            equalsAfterDeclaration = lastNameDeclares;
            nameLength = 0;
            lastNameDeclares = false;
        } else if (afterEquals && (c == '"' || c == '\'')) {
            afterEquals = false;
            if (++attributes > kMaxAttributesPerElement) return TagExcess::Attributes;
            if (equalsAfterDeclaration && ++namespaces > kMaxNamespacesPerElement) {
                return TagExcess::Namespaces;
            }
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            nameLength = 0;  // "xmlns = '...'" still declares
        } else {
            afterEquals = false;
            if (nameLength < 5) {
                nameIsXmlns = (nameLength == 0 || nameIsXmlns) &&
                              c == static_cast<unsigned char>(kXmlns[nameLength]);
            } else if (nameLength == 5) {
                nameIsXmlns = nameIsXmlns && c == ':';
            }
            ++nameLength;
            lastNameDeclares = nameIsXmlns && nameLength >= 5;
        }
    }
    return TagExcess::None;
}

// Keeps the errors for the message and keeps libxml2 from printing anything.
void onParseError(void* ctx, xmlErrorPtr error) {
    ParseState& state = stateOf(ctx);
    if (error == nullptr) return;
    if (isDepthError(*error)) state.tooDeep = true;
    collect(state, *error);
}

void onXPathError(void* userData, xmlErrorPtr error) {
    auto* message = static_cast<std::string*>(userData);
    if (message->empty() && error != nullptr && error->message != nullptr) {
        *message = std::string(text::trim(error->message));
    }
}

struct ParserContextDeleter {
    void operator()(xmlParserCtxtPtr ctxt) const {
        if (ctxt->myDoc != nullptr) xmlFreeDoc(ctxt->myDoc);
        xmlFreeParserCtxt(ctxt);
    }
};

bool internalSubsetDeclaresEntities(const xmlDoc* doc) {
    const xmlDtd* dtd = doc->intSubset;
    return dtd != nullptr && (dtd->entities != nullptr || dtd->pentities != nullptr);
}

}  // namespace

void requireXmlText(std::string_view s, const char* what) {
    if (!text::isValidUtf8(s))
        throw Error(ErrorKind::Document, std::string("El ") + what + " no está en UTF-8 válido");
    for (const char c : s) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            throw Error(ErrorKind::Document, std::string("El ") + what +
                                                 " tiene un carácter de control (código " +
                                                 std::to_string(code) + "), que XML no admite");
        }
    }
    if (s.find("\xEF\xBF\xBE") != std::string_view::npos ||
        s.find("\xEF\xBF\xBF") != std::string_view::npos) {
        throw Error(
            ErrorKind::Document,
            std::string("El ") + what + " tiene un carácter que XML no admite (U+FFFE o U+FFFF)");
    }
}

// ---------------------------------------------------------------------------------------
// XmlNode

std::string XmlNode::name() const {
    return node_ == nullptr ? std::string() : qualifiedName(node_);
}

std::optional<std::string> XmlNode::namespaceUri() const {
    if (node_ == nullptr || node_->ns == nullptr || node_->ns->href == nullptr) return std::nullopt;
    return fromXml(node_->ns->href);
}

std::string XmlNode::text() const {
    return node_ == nullptr ? std::string() : takeXml(xmlNodeGetContent(node_));
}

std::optional<std::string> XmlNode::attribute(std::string_view name) const {
    if (node_ == nullptr) return std::nullopt;
    const std::string key(name);
    xmlChar* value = xmlGetProp(node_, xml(key));
    if (value == nullptr) return std::nullopt;
    return takeXml(value);
}

std::vector<XmlNode> XmlNode::childElements(std::string_view name) const {
    std::vector<XmlNode> out;
    if (node_ == nullptr) return out;
    for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
        if (hasName(child, name)) out.emplace_back(child);
    }
    return out;
}

XmlNode XmlNode::firstChildElement(std::string_view name) const {
    if (node_ == nullptr) return XmlNode();
    for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
        if (hasName(child, name)) return XmlNode(child);
    }
    return XmlNode();
}

long XmlNode::line() const { return node_ == nullptr ? 0 : xmlGetLineNo(node_); }

void XmlNode::setAttribute(std::string_view name, std::string_view value) {
    requireElement(node_, "setAttribute");
    const std::string key = checkedUtf8(name, "nombre de atributo");
    const std::string text = checkedUtf8(value, "valor de atributo");
    if (xmlSetProp(node_, xml(key), xml(text)) == nullptr) throw std::bad_alloc();
}

void XmlNode::setText(std::string_view text) {
    requireElement(node_, "setText");
    const std::string value = checkedUtf8(text, "texto");
    // xmlNodeSetContent would read entity references out of the text; the text node is
    // built directly instead, so that "&" stays a character.
    xmlNodeSetContent(node_, nullptr);
    if (value.empty()) return;
    xmlNode* textNode = xmlNewDocTextLen(node_->doc, xml(value), static_cast<int>(value.size()));
    if (textNode == nullptr) throw std::bad_alloc();
    xmlAddChild(node_, textNode);
}

void XmlNode::appendChild(XmlNode child) {
    requireElement(node_, "appendChild");
    if (child.node_ == nullptr) throw std::logic_error("XmlNode::appendChild: null node");
    xmlUnlinkNode(child.node_);
    if (xmlAddChild(node_, child.node_) == nullptr) {
        throw std::logic_error("XmlNode::appendChild: the node cannot be placed");
    }
}

void XmlNode::removeChild(XmlNode child) {
    requireElement(node_, "removeChild");
    if (child.node_ == nullptr || child.node_->parent != node_) {
        throw std::logic_error("XmlNode::removeChild: not a child of this element");
    }
    xmlUnlinkNode(child.node_);
    xmlFreeNode(child.node_);
}

// ---------------------------------------------------------------------------------------
// XmlDocument

XmlDocument::XmlDocument(_xmlDoc* doc) : doc_(doc) {}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : doc_(other.doc_), undeclaredUtf16_(other.undeclaredUtf16_), unplaced_(other.unplaced_) {
    other.doc_ = nullptr;
    other.unplaced_ = nullptr;
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    if (this != &other) {
        release();
        doc_ = other.doc_;
        undeclaredUtf16_ = other.undeclaredUtf16_;
        unplaced_ = other.unplaced_;
        other.doc_ = nullptr;
        other.unplaced_ = nullptr;
    }
    return *this;
}

XmlDocument::~XmlDocument() { release(); }

void XmlDocument::release() noexcept {
    if (unplaced_ != nullptr) xmlFreeNode(unplaced_);
    if (doc_ != nullptr) xmlFreeDoc(doc_);
    unplaced_ = nullptr;
    doc_ = nullptr;
}

namespace {

// Megabytes (of 2^20 bytes) as shown in messages: whole when exact, else to one decimal
// place with a decimal comma, rounded up or down.
std::string megabytes(std::uint64_t bytes, bool roundUp) {
    constexpr std::uint64_t kMegabyte = 1ull << 20;
    const std::uint64_t whole = bytes / kMegabyte;
    const std::uint64_t rest = bytes % kMegabyte;
    std::uint64_t tenths = rest * 10 / kMegabyte;
    if (roundUp && rest * 10 % kMegabyte != 0) ++tenths;
    if (tenths == 10) return std::to_string(whole + 1);
    if (tenths == 0) return std::to_string(whole);
    return std::to_string(whole) + "," + std::to_string(tenths);
}

[[noreturn]] void refuseSize(const std::string& shown, std::uint64_t size,
                             const XmlLimits& limits) {
    throw Error(ErrorKind::Document,
                fileMessage(shown, "el documento ocupa " + megabytes(size, true) +
                                       " MB, más que el límite de " +
                                       megabytes(limits.maxDocumentBytes, false) +
                                       " MB (opción --max-document-size)"));
}

}  // namespace

namespace {

// The file's bytes, refused when larger than the limit.
std::string readDocument(const std::filesystem::path& path, const std::string& shown,
                         const XmlLimits& limits) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        throw Error(ErrorKind::InputOutput, fileMessage(shown, "el archivo no existe"));
    }
    if (std::filesystem::is_directory(status)) {
        throw Error(ErrorKind::InputOutput, fileMessage(shown, "es una carpeta, no un archivo"));
    }
    // The size is checked before reading, and the reading stops one byte past the limit
    // all the same: the file may grow meanwhile, or not be a regular file at all.
    if (std::filesystem::is_regular_file(status)) {
        const std::uint64_t size = std::filesystem::file_size(path, ec);
        if (!ec && size > limits.maxDocumentBytes) refuseSize(shown, size, limits);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(ErrorKind::InputOutput, fileMessage(shown, "no se puede leer"));
    std::string bytes;
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > limits.maxDocumentBytes) refuseSize(shown, bytes.size(), limits);
    }
    if (!in.eof()) throw Error(ErrorKind::InputOutput, fileMessage(shown, "no se puede leer"));
    return bytes;
}

}  // namespace

XmlDocument XmlDocument::load(const std::filesystem::path& path, const XmlLimits& limits) {
    const std::string shown = platform::displayPath(path);
    return parseDocument(readDocument(path, shown, limits), shown, nullptr);
}

XmlDocument XmlDocument::parse(std::string_view bytes, const std::string& name) {
    return parseDocument(bytes, name, nullptr);
}

XmlOutline XmlDocument::outline(const std::filesystem::path& path, std::string_view childName,
                                const XmlLimits& limits) {
    const std::string shown = platform::displayPath(path);
    XmlOutline outline;
    outline.bytes = readDocument(path, shown, limits);
    XmlScan scan;
    scan.bytes = outline.bytes;
    scan.childName = childName;
    scan.outline = &outline;
    parseDocument(outline.bytes, shown, &scan);
    // The places found must be where the tags are; anything else (an encoding whose "<" is
    // not the byte the search looks for) is refused rather than copied wrongly.
    const std::size_t unit = outline.encoding.starts_with("UTF-16") ? 2 : 1;
    const bool bigEndian = outline.encoding == "UTF-16BE";
    auto isAt = [&](std::size_t offset, char c) {
        if (offset == std::string_view::npos || offset + unit > outline.bytes.size()) return false;
        if (unit == 1) return outline.bytes[offset] == c;
        return outline.bytes[offset + (bigEndian ? 1 : 0)] == c &&
               outline.bytes[offset + (bigEndian ? 0 : 1)] == '\0';
    };
    const bool placed =
        isAt(outline.rootEnd, '<') && isAt(outline.rootEnd + unit, '/') &&
        (!outline.hasChild ||
         (isAt(outline.childBegin, '<') && outline.childEnd >= unit &&
          isAt(outline.childEnd - unit, '>') && outline.childBegin < outline.childEnd &&
          outline.childEnd <= outline.rootEnd));
    if (!placed) {
        throw Error(ErrorKind::Document,
                    fileMessage(shown, "no se puede copiar el documento en su codificación (" +
                                           outline.encoding + ")"));
    }
    return outline;
}

XmlDocument XmlDocument::parseDocument(std::string_view bytes, const std::string& name,
                                       XmlScan* scan) {
    if (bytes.empty())
        throw Error(ErrorKind::Document, fileMessage(name, "el documento XML está vacío"));
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        throw Error(ErrorKind::Document, fileMessage(name, "el documento XML es demasiado grande"));
    }
    const Detected encoding = detectEncoding(bytes, name);
    switch (tooMuchInOneTag(bytes)) {
        case TagExcess::Attributes:
            throw Error(
                ErrorKind::Document,
                fileMessage(name, "un elemento del documento tiene más de " +
                                      std::to_string(kMaxAttributesPerElement) + " atributos"));
        case TagExcess::Namespaces:
            throw Error(ErrorKind::Document,
                        fileMessage(name, "un elemento del documento declara más de " +
                                              std::to_string(kMaxNamespacesPerElement) +
                                              " espacios de nombres (xmlns)"));
        case TagExcess::None:
            break;
    }
    registerWindows1252();

    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> ctxt(
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
    if (!ctxt) throw std::bad_alloc();

    // Never the network, never an external DTD or entity, no entity substitution, and
    // the text kept exactly as written (whitespace and CDATA sections included).
    xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                      XML_PARSE_BIG_LINES);

    ParseState state;
    CollectingErrors collecting(state);
    ctxt->_private = &state;
    ctxt->sax->entityDecl = onEntityDecl;
    ctxt->sax->attributeDecl = onAttributeDecl;
    ctxt->sax->startElementNs = onStartElement;
    ctxt->sax->endElementNs = onEndElement;
    if (scan != nullptr) {
        // Every check of the parser, but nothing kept: no element, text or comment node.
        state.scan = scan;
        ctxt->sax->startElementNs = onScanStartElement;
        ctxt->sax->endElementNs = onScanEndElement;
        ctxt->sax->characters = nullptr;
        ctxt->sax->ignorableWhitespace = nullptr;
        ctxt->sax->cdataBlock = nullptr;
        ctxt->sax->comment = nullptr;
        ctxt->sax->processingInstruction = nullptr;
        ctxt->sax->reference = nullptr;
    }
    ctxt->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    ctxt->sax->serror = onParseError;
    ctxt->sax->error = nullptr;
    ctxt->sax->warning = nullptr;
    ctxt->vctxt.error = nullptr;
    ctxt->vctxt.warning = nullptr;

    xmlParseDocument(ctxt.get());

    const bool entities = state.declaresEntities ||
                          (ctxt->myDoc != nullptr && internalSubsetDeclaresEntities(ctxt->myDoc));
    if (entities) {
        throw Error(
            ErrorKind::Document,
            fileMessage(name, "el documento declara entidades (<!ENTITY ...>), que no se admiten"));
    }
    if (state.declaresDefaults) {
        throw Error(ErrorKind::Document,
                    fileMessage(name,
                                "el documento declara valores por defecto de atributos "
                                "(<!ATTLIST ...>), que no se admiten"));
    }
    if (state.tooDeep) {
        throw Error(ErrorKind::Document,
                    fileMessage(name, "el documento anida elementos a más de " +
                                          std::to_string(kMaxElementDepth) + " niveles"));
    }
    // A conversion error means text was lost even where the parser went on.
    const bool conversionFailed =
        std::any_of(state.errors.begin(), state.errors.end(),
                    [](const ParseError& e) { return e.domain == XML_FROM_I18N; });
    if (!ctxt->wellFormed || ctxt->myDoc == nullptr || conversionFailed) {
        throw Error(ErrorKind::Document, fileMessage(name, parseProblem(state)));
    }
    if (scan != nullptr) return XmlDocument(nullptr);
    xmlDoc* doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    XmlDocument document(doc);
    if (encoding.unitSize == 2 && encoding.declared.empty()) {
        document.undeclaredUtf16_ = encoding.bigEndian ? Utf16::BigEndian : Utf16::LittleEndian;
    }
    return document;
}

XmlNode XmlDocument::documentElement() const { return XmlNode(xmlDocGetRootElement(doc_)); }

XmlNode XmlDocument::firstElementInNamespace(
    std::initializer_list<std::string_view> localNames) const {
    // Iterative, in document order: first child, else next sibling, else up.
    xmlNode* node = xmlDocGetRootElement(doc_);
    while (node != nullptr) {
        if (node->type == XML_ELEMENT_NODE && node->ns != nullptr && node->name != nullptr) {
            const std::string_view local = reinterpret_cast<const char*>(node->name);
            if (std::find(localNames.begin(), localNames.end(), local) != localNames.end()) {
                return XmlNode(node);
            }
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == nullptr || node->type == XML_DOCUMENT_NODE) return XmlNode();
        }
        if (node != nullptr) node = node->next;
    }
    return XmlNode();
}

std::vector<XmlNode> XmlDocument::selectNodes(std::string_view xpath) const {
    const std::string expression(xpath);
    std::string problem;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
        xmlXPathNewContext(doc_), xmlXPathFreeContext);
    if (!context) throw std::bad_alloc();
    context->error = onXPathError;
    context->userData = &problem;

    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(xml(expression), context.get()), xmlXPathFreeObject);
    if (!result || result->type != XPATH_NODESET) {
        if (problem.empty()) problem = "no selecciona elementos";
        throw Error(ErrorKind::Document,
                    "La expresión XPath '" + expression + "' no es válida: " + problem);
    }
    std::vector<XmlNode> out;
    xmlNodeSet* nodes = result->nodesetval;
    if (nodes == nullptr) return out;
    xmlXPathNodeSetSort(nodes);
    out.reserve(static_cast<std::size_t>(nodes->nodeNr));
    for (int i = 0; i < nodes->nodeNr; ++i) {
        if (nodes->nodeTab[i]->type == XML_ELEMENT_NODE) out.emplace_back(nodes->nodeTab[i]);
    }
    return out;
}

XmlNode XmlDocument::createElement(std::string_view name) {
    const std::string value = checkedUtf8(name, "nombre de elemento");
    if (unplaced_ == nullptr) {
        unplaced_ = xmlNewDocNode(doc_, nullptr, xml(std::string("unplaced")), nullptr);
        if (unplaced_ == nullptr) throw std::bad_alloc();
    }
    xmlNode* node = xmlNewDocNode(doc_, nullptr, xml(value), nullptr);
    if (node == nullptr) throw std::bad_alloc();
    xmlAddChild(unplaced_, node);
    return XmlNode(node);
}

std::string XmlDocument::encoding() const { return fromXml(doc_->encoding); }

namespace {

// UTF-8 as UTF-16 in the given byte order, with its byte-order mark.
std::string utf16WithMark(std::string_view utf8, bool bigEndian) {
    std::string out;
    out.reserve(2 + utf8.size() * 2);
    const auto put = [&](char16_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    };
    put(0xFEFF);
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = text::nextUtf8(utf8, i).value_or(0xFFFD);
        if (cp >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace

std::string XmlDocument::serialize() const {
    registerWindows1252();
    ParseState state;
    CollectingErrors collecting(state);
    if (doc_->encoding != nullptr) {
        xmlChar* memory = nullptr;
        int size = 0;
        xmlDocDumpMemoryEnc(doc_, &memory, &size, reinterpret_cast<const char*>(doc_->encoding));
        if (memory == nullptr || !state.errors.empty()) {
            if (memory != nullptr) xmlFree(memory);
            throw Error(ErrorKind::Document,
                        "No se pudo escribir el documento XML en la codificación " +
                            fromXml(doc_->encoding));
        }
        std::string out(reinterpret_cast<const char*>(memory), static_cast<std::size_t>(size));
        xmlFree(memory);
        return out;
    }

    // No declared encoding: UTF-8. Left to itself libxml2 would write every non-ASCII
    // character as a character reference, so the output encoding is named explicitly
    // and the declaration (when the document had one) is written here, without it.
    std::string out;
    if (doc_->standalone != -1) {
        out = "<?xml version=\"" +
              (doc_->version != nullptr ? fromXml(doc_->version) : std::string("1.0")) + "\"";
        if (doc_->standalone == 1) out += " standalone=\"yes\"";
        if (doc_->standalone == 0) out += " standalone=\"no\"";
        out += "?>\n";
    }
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
    if (!buffer) throw std::bad_alloc();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL);
    if (save == nullptr) throw std::bad_alloc();
    const long written = xmlSaveDoc(save, doc_);
    xmlSaveClose(save);
    if (written < 0)
        throw Error(ErrorKind::Document, "No se pudo convertir el documento XML en texto");
    out.append(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
               static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    // A UTF-16 document without a declaration is saved in UTF-16 again, in its byte order.
    if (undeclaredUtf16_ != Utf16::No) {
        return utf16WithMark(out, undeclaredUtf16_ == Utf16::BigEndian);
    }
    return out;
}

void XmlDocument::save(const std::filesystem::path& path) const {
    platform::writeFileAtomically(path, serialize());
}

}  // namespace thq::data
