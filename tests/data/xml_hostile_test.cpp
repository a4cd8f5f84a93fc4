// Hostile documents: each is loaded in a child process with little address space and an
// alarm, so that a document that got through would end the child instead of the tests.
// The child reports back whether the document loaded (and its text) or which thq::Error
// refused it, and how much its peak resident memory grew meanwhile.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/xml_document.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

constexpr std::uint64_t kMegabyte = 1ull << 20;
constexpr long kChildHeadroomBytes = 512l << 20;  // address space the child may add
constexpr unsigned kChildSeconds = 10;
constexpr long kMaxGrowthKb = 64l << 10;  // peak resident memory the child may add

const std::string kEntityRefused =
    "el documento declara entidades (<!ENTITY ...>), que no se admiten";

const std::string kTooManyAttributes = "un elemento del documento tiene más de 256 atributos";
const std::string kTooManyNamespaces =
    "un elemento del documento declara más de 64 espacios de nombres (xmlns)";
const std::string kDefaultsRefused =
    "el documento declara valores por defecto de atributos (<!ATTLIST ...>), que no se admiten";

// What the child saw.
struct ChildReport {
    bool exitedNormally = false;
    int exitCode = -1;
    int signal = 0;
    bool loaded = false;     // the document loaded ...
    std::string text;        // ... and serialises to this
    std::string error;       // or thq::Error refused it with this message
    long peakGrowthKb = -1;  // growth of the child's peak resident memory
};

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child's current address space; the limit is set above it, since a sanitizer's
// shadow memory alone is far larger than any fixed limit.
long addressSpaceBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7)) * 1024;
    }
    return 0;
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) _exit(4);
        done += static_cast<std::size_t>(n);
    }
}

// Loads the file in a forked child bounded by RLIMIT_AS and alarm(). The child exits 0
// after a load or a thq::Error, 3 after any other exception; a signal means it ran out of
// time or crashed.
ChildReport loadInBoundedChild(const fs::path& file, const XmlLimits& limits) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(channel[0]);
        alarm(kChildSeconds);
        const rlim_t space = static_cast<rlim_t>(addressSpaceBytes() + kChildHeadroomBytes);
        const rlimit limit{space, space};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(5);
        const long before = peakRssKb();
        std::string report;
        try {
            const XmlDocument doc = XmlDocument::load(file, limits);
            report = "L" + doc.serialize();
        } catch (const Error& e) {
            report = std::string("E") + e.what();
        } catch (...) {
            _exit(3);
        }
        report = std::to_string(peakRssKb() - before) + "\n" + report;
        writeAll(channel[1], report);
        close(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    std::string received;
    char buffer[4096];
    ssize_t n;
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
        received.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);

    ChildReport report;
    report.exitedNormally = WIFEXITED(status);
    report.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    report.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    const auto newline = received.find('\n');
    if (newline != std::string::npos && newline + 1 < received.size()) {
        report.peakGrowthKb = std::stol(received.substr(0, newline));
        report.loaded = received[newline + 1] == 'L';
        (report.loaded ? report.text : report.error) = received.substr(newline + 2);
    }
    return report;
}

// Ten levels of ten references each: 10^10 copies of "ja" once expanded.
std::string laughsSubset(bool parameterEntities) {
    const std::string mark = parameterEntities ? "% " : "";
    const std::string ref = parameterEntities ? "%" : "&";
    std::string s = "<!DOCTYPE r [\n<!ENTITY " + mark + "l0 \"ja\">\n";
    for (int i = 1; i <= 10; ++i) {
        s += "<!ENTITY " + mark + "l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) s += ref + "l" + std::to_string(i - 1) + ";";
        s += "\">\n";
    }
    return s + (parameterEntities ? "%l10;\n]>\n" : "]>\n");
}

std::string nested(int depth) {
    std::string s;
    s.reserve(static_cast<std::size_t>(depth) * 7);
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
}

std::string repeated(const std::string& s, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += s;
    return out;
}

std::string withAttributes(int count) {
    std::string s = "<r";
    for (int i = 0; i < count; ++i) s += " a" + std::to_string(i) + "=\"\"";
    return s + "/>";
}

// Attributes written in three ways: spaces around '=', either quote, tab and line break.
std::string spacedAttributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        s += i % 3 == 0   ? " a" + n + " = 'x'"
             : i % 3 == 1 ? " b" + n + "=\"y\""
                          : "\nc" + n + "\n=\t'z'";
    }
    return s;
}

// `depth` nested elements, each declaring `count` namespaces of its own: the default one
// first, then prefixes, written with spaces around '=' and either quote.
std::string nestedNamespaces(int depth, int count) {
    std::string open;
    for (int d = 0; d < depth; ++d) {
        open += "<e";
        for (int i = 0; i < count; ++i) {
            const std::string uri = "urn:x:" + std::to_string(d) + ":" + std::to_string(i);
            open += i == 0       ? " xmlns='" + uri + "'"
                    : i % 2 == 0 ? " xmlns:p" + std::to_string(i) + " = \"" + uri + "\""
                                 : "\nxmlns:q" + std::to_string(i) + "='" + uri + "'";
        }
        open += ">";
    }
    return open + repeated("</e>", depth);
}

// Attributes whose names only look like namespace declarations.
std::string lookalikeAttributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        s += " xmlnsa" + n + "='u' Xmlns" + n + "='u' xmlns_" + n + " = 'u'";
    }
    return s;
}

// UTF-16LE with its byte-order mark, for ASCII text.
std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

std::string attributeDefaults(int count) {
    std::string s = "<!DOCTYPE r [<!ATTLIST a";
    for (int i = 0; i < count; ++i) s += " a" + std::to_string(i) + " CDATA \"\"";
    return s + ">]>\n<r>" + repeated("<a/>", count) + "</r>";
}

// A document of exactly `size` bytes: a root element padded with a comment.
std::string documentOfSize(std::uint64_t size) {
    const std::string head = "<r><!--";
    const std::string tail = "--></r>";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

// A listening socket on the loopback interface: any connection made to it stays in its
// backlog, where the test finds it afterwards.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on the loopback interface");
        }
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int port() const { return port_; }
    bool wasContacted() const {
        const int connection = accept(fd_, nullptr, nullptr);
        if (connection >= 0) close(connection);
        return connection >= 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(XmlHostile, EveryKindIsRefusedOrDefusedWithinBoundedMemory) {
    TempDir dir;
    const Listener listener;
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.port());
    writeFile(dir / "externa.dtd", "<!ENTITY secreto \"SECRETO\">\n");

    struct Case {
        const char* kind;
        std::string document;
        std::string refusal;  // the expected message after "<file>: "; empty: it loads
        std::string loadsAs;  // the document as it serialises, when it loads
        XmlLimits limits{};
    };
    const std::vector<Case> cases = {
        {"billion laughs in text", laughsSubset(false) + "<r>&l10;</r>", kEntityRefused, ""},
        {"billion laughs in an attribute value", laughsSubset(false) + "<r a=\"&l10;\"/>",
         kEntityRefused, ""},
        {"parameter entities", laughsSubset(true) + "<r/>", kEntityRefused, ""},
        {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>",
         kEntityRefused, ""},
        {"external entity over the network",
         "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "/x\">]><r>&x;</r>", kEntityRefused, ""},
        {"external DTD over the network",
         "<!DOCTYPE r SYSTEM \"" + url + "/d.dtd\">\n<r>&secreto;</r>\n", "",
         "<!DOCTYPE r SYSTEM \"" + url + "/d.dtd\">\n<r>&secreto;</r>\n"},
        {"external DTD in a file", "<!DOCTYPE r SYSTEM \"externa.dtd\">\n<r>&secreto;</r>\n", "",
         "<!DOCTYPE r SYSTEM \"externa.dtd\">\n<r>&secreto;</r>\n"},
        {"deep nesting", nested(100000), "el documento anida elementos a más de 256 niveles", ""},
        {"many attributes on one element", withAttributes(200000), kTooManyAttributes, ""},
        {"many attributes in UTF-16", utf16le(withAttributes(200000)), kTooManyAttributes, ""},
        {"attribute defaults", attributeDefaults(20000), kDefaultsRefused, ""},
        // Each element saved is compared with all the declarations in scope.
        {"namespaces declared on every level", nestedNamespaces(250, 250), kTooManyNamespaces, ""},
        {"oversize document", documentOfSize(2 * kMegabyte),
         "el documento ocupa 2 MB, más que el límite de 1 MB (opción --max-document-size)", "",
         XmlLimits{kMegabyte}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const fs::path file = dir / "hostil.xml";
        writeFile(file, c.document);
        const ChildReport report = loadInBoundedChild(file, c.limits);
        ASSERT_TRUE(report.exitedNormally) << "signal " << report.signal;
        ASSERT_EQ(report.exitCode, 0) << "3: an exception other than thq::Error";
        if (c.refusal.empty()) {
            EXPECT_TRUE(report.loaded) << report.error;
            EXPECT_EQ(report.text, c.loadsAs);
        } else {
            EXPECT_FALSE(report.loaded);
            EXPECT_EQ(report.error, file.string() + ": " + c.refusal);
        }
        EXPECT_EQ(report.text.find("SECRETO"), std::string::npos);
        EXPECT_EQ(report.text.find("root:"), std::string::npos);
        EXPECT_EQ(report.error.find("root:"), std::string::npos);
        EXPECT_GE(report.peakGrowthKb, 0);
        EXPECT_LT(report.peakGrowthKb, kMaxGrowthKb);
    }
    EXPECT_FALSE(listener.wasContacted());
}

TEST(XmlHostile, AHugeFileIsRefusedWithoutReadingIt) {
    // Sparse: 16 GB on paper, nothing on disk. Reading it would exhaust the child's
    // address space or its time.
    TempDir dir;
    const fs::path file = dir / "enorme.xml";
    writeFile(file, "<r>");
    fs::resize_file(file, 16384 * kMegabyte);
    const ChildReport report = loadInBoundedChild(file, XmlLimits{});
    ASSERT_TRUE(report.exitedNormally) << "signal " << report.signal;
    ASSERT_EQ(report.exitCode, 0);
    EXPECT_EQ(report.error, file.string() +
                                ": el documento ocupa 16384 MB, más que el límite de 64 MB (opción "
                                "--max-document-size)");
    EXPECT_LT(report.peakGrowthKb, kMaxGrowthKb);
}

TEST(XmlHostile, LimitsHoldExactlyAtTheirBoundaries) {
    TempDir dir;
    const fs::path file = dir / "borde.xml";
    struct Case {
        std::string document;
        std::uint64_t limit;
        std::string refusal;  // empty: it loads
    };
    const std::string sizeTail = " (opción --max-document-size)";
    const std::vector<Case> cases = {
        {nested(kMaxElementDepth), 64 * kMegabyte, ""},
        {nested(kMaxElementDepth + 1), 64 * kMegabyte,
         "el documento anida elementos a más de 256 niveles"},
        // Closed elements, also empty ones, give their level back.
        {"<r>" + nested(kMaxElementDepth - 1) + nested(kMaxElementDepth - 1) +
             repeated("<a/>", 300) + "</r>",
         64 * kMegabyte, ""},
        {withAttributes(kMaxAttributesPerElement), 64 * kMegabyte, ""},
        {withAttributes(kMaxAttributesPerElement + 1), 64 * kMegabyte, kTooManyAttributes},
        {utf16le(withAttributes(kMaxAttributesPerElement)), 64 * kMegabyte, ""},
        {utf16le(withAttributes(kMaxAttributesPerElement + 1)), 64 * kMegabyte, kTooManyAttributes},
        // Counted per element, with spaces around '=' and either quote; '=' in text and
        // comments is not an attribute.
        {"<r>" + repeated("<a" + spacedAttributes(kMaxAttributesPerElement) + "/>", 3) + "</r>",
         64 * kMegabyte, ""},
        {"<r" + spacedAttributes(kMaxAttributesPerElement + 1) + "/>", 64 * kMegabyte,
         kTooManyAttributes},
        {"<r><!--" + std::string(1000, '=') + "-->" + repeated("x=y ", 1000) + "</r>",
         64 * kMegabyte, ""},
        {nestedNamespaces(kMaxElementDepth, kMaxNamespacesPerElement), 64 * kMegabyte, ""},
        {"<r>" + nestedNamespaces(2, kMaxNamespacesPerElement + 1) + "</r>", 64 * kMegabyte,
         kTooManyNamespaces},
        {utf16le(nestedNamespaces(1, kMaxNamespacesPerElement + 1)), 64 * kMegabyte,
         kTooManyNamespaces},
        // Only "xmlns" and "xmlns:..." declare; names that merely start or end like it do not.
        {"<r" + lookalikeAttributes(kMaxNamespacesPerElement + 1) + "><a xmlns:p='u'/></r>",
         64 * kMegabyte, ""},
        {"<!DOCTYPE r [<!ATTLIST r a CDATA #IMPLIED b CDATA #REQUIRED>]><r b='1'/>", 64 * kMegabyte,
         ""},
        {"<!DOCTYPE r [<!ATTLIST r a CDATA #FIXED 'x'>]><r/>", 64 * kMegabyte, kDefaultsRefused},
        {documentOfSize(kMegabyte), kMegabyte, ""},
        {documentOfSize(kMegabyte + 1), kMegabyte,
         "el documento ocupa 1,1 MB, más que el límite de 1 MB" + sizeTail},
        {documentOfSize(kMegabyte / 2 + 1), kMegabyte / 2,
         "el documento ocupa 0,6 MB, más que el límite de 0,5 MB" + sizeTail},
        {documentOfSize(3 * kMegabyte - 1), 2 * kMegabyte + 1,
         "el documento ocupa 3 MB, más que el límite de 2 MB" + sizeTail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 40) + " / " + std::to_string(c.limit));
        writeFile(file, c.document);
        std::string error;
        try {
            XmlDocument::load(file, XmlLimits{c.limit});
        } catch (const Error& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.refusal.empty() ? "" : file.string() + ": " + c.refusal);
    }
}

}  // namespace
}  // namespace thq::data
