// Help routing: which requests reach the HTML Help backend, and as which calls.
#include "app/help_routing.hpp"

#include <gtest/gtest.h>

namespace thq::app::help {
namespace {

class RecordingBackend final : public HtmlHelpBackend {
public:
    void htmlHelp(const HtmlHelpCall& call) override { calls.push_back(call); }
    std::vector<HtmlHelpCall> calls;
};

struct Routing {
    explicit Routing(std::string applicationFile = "QUELVA.chm") : system("/opt/th") {
        viewer = installHelpRouting(system, backend);
        system.setApplicationHelpFile(std::move(applicationFile));
        system.setWindowHandle(0x77);
    }
    std::shared_ptr<RecordingBackend> backend = std::make_shared<RecordingBackend>();
    HelpSystem system;
    std::shared_ptr<HtmlHelpViewer> viewer;
};

TEST(HelpRouting, ChmTest) {
    const struct {
        const char* name;
        bool chm;
    } cases[] = {
        {"QUELVA.chm", true}, {"GUIDE.CHM", true},  {"a.ChM", true}, {"guide.chm.bak", false},
        {"chm", false},       {"guide.hlp", false}, {"", false},     {"dir.chm/file", false},
        {".chm", true}};
    for (const auto& c : cases) EXPECT_EQ(isChmFile(c.name), c.chm) << c.name;
}

TEST(HelpRouting, TopicExtension) {
    const struct {
        const char* topic;
        const char* shown;
    } cases[] = {
        {"intro", "intro.htm"},           {"intro.HTML", "intro.HTML"},
        {"intro.htm", "intro.htm"},       {"page.php", "page.php.htm"},
        {"a.b\\intro", "a.b\\intro.htm"}, {"x.y:intro", "x.y:intro.htm"},
        {"intro.Htm", "intro.Htm"},       {"", ".htm"},
    };
    for (const auto& c : cases) EXPECT_EQ(topicWithExtension(c.topic, ".htm"), c.shown) << c.topic;
}

TEST(HelpRouting, KeywordEntries) {
    EXPECT_EQ(keywordOfEntry("VantoHtmlHelp: alumnos"), "alumnos");
    EXPECT_EQ(keywordOfEntry("  alumnos \t"), "alumnos");
    EXPECT_EQ(keywordOfEntry("a: b: c "), "b: c");
    EXPECT_EQ(keywordOfEntry(":"), "");

    Routing routing;
    EXPECT_EQ(routing.viewer->name(), "VantoHtmlHelp");
    EXPECT_EQ(routing.viewer->keywordEntries("alumnos"),
              std::vector<std::string>{"VantoHtmlHelp: alumnos"});
    ChmHelpTester tester;
    EXPECT_EQ(tester.keywordEntries("alumnos"), std::vector<std::string>{": alumnos"});
    EXPECT_FALSE(tester.keywordTest("a", "x.hlp"));
    EXPECT_FALSE(tester.topicTest("a", "x.hlp"));
    EXPECT_FALSE(tester.contextTest(3, "x.hlp"));
    EXPECT_EQ(tester.helpFolder(), "");
    EXPECT_EQ(tester.defaultHelpFile(), "");
}

TEST(HelpRouting, SelectorChoices) {
    Routing routing;
    HelpSelector& selector = *routing.viewer;
    const struct {
        std::vector<std::string> entries;
        int chosen;
    } keywordCases[] = {
        {{"VantoHtmlHelp: alumnos", ": alumnos"}, 0},
        {{": alumnos", "VantoHtmlHelp: alumnos"}, 1},
        {{": alumnos", "vantohtmlhelp: alumnos"}, 0},  // letter case counts
        {{"Otro: a", "VantoHtmlHelp"}, 1},             // an entry without ":" is its own name
        {{"Otro: a", "Otro: b"}, 0},
        {{}, 0},
    };
    for (const auto& c : keywordCases)
        EXPECT_EQ(selector.chooseKeywordEntry(c.entries), c.chosen) << c.entries.size();

    EXPECT_EQ(selector.chooseContentsViewer({"WinHelp", "VantoHtmlHelp"}), 1);
    EXPECT_EQ(selector.chooseContentsViewer({"VANTOHTMLHELP", "WinHelp"}), 0);
    EXPECT_EQ(selector.chooseContentsViewer({"WinHelp"}), -1);
}

TEST(HelpRouting, RequestsBecomeHtmlHelpCalls) {
    Routing routing;
    const std::string file = "/opt/th/QUELVA.chm";  // the executable's folder in front

    routing.system.showTableOfContents();         // two viewers: the selector picks the HTML one
    routing.system.showContext(3, "QUELVA.chm");  // WinHelp declines through its tester
    routing.system.showKeyword("alumnos");
    routing.system.showTopic("intro");
    routing.viewer->showKeyword("sin dos puntos ");

    const auto& calls = routing.backend->calls;
    ASSERT_EQ(calls.size(), 5u);
    const struct {
        HtmlHelpCommand command;
        std::string file;
        std::uint32_t number;
        std::string keyword;
    } expected[] = {
        {HtmlHelpCommand::DisplayToc, file, 0, ""},
        {HtmlHelpCommand::HelpContext, file, 3, ""},
        {HtmlHelpCommand::DisplayIndex, file, 0, "alumnos"},
        {HtmlHelpCommand::DisplayTopic, file + "::/intro.htm", 0, ""},
        {HtmlHelpCommand::DisplayIndex, file, 0, "sin dos puntos"},
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].command, expected[i].command) << i;
        EXPECT_EQ(static_cast<std::uint32_t>(calls[i].command),
                  std::vector<std::uint32_t>({1, 15, 2, 0, 2})[i]);
        EXPECT_EQ(calls[i].file, expected[i].file) << i;
        EXPECT_EQ(calls[i].number, expected[i].number) << i;
        EXPECT_EQ(calls[i].keyword, expected[i].keyword) << i;
        EXPECT_EQ(calls[i].window, 0x77u) << i;
    }

    routing.system.shutdown();  // the viewer closes every help window and drops the manager
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[5].command, HtmlHelpCommand::CloseAll);
    EXPECT_EQ(calls[5].window, 0u);
    EXPECT_EQ(calls[5].file, "");
    EXPECT_FALSE(routing.viewer->holdsManager());
}

TEST(HelpRouting, CurrentHelpFile) {
    const struct {
        std::string application;
        std::string current;
    } cases[] = {
        {"QUELVA.chm", "/opt/th/QUELVA.chm"},
        {"/otra/carpeta/AYUDA.CHM", "/otra/carpeta/AYUDA.CHM"},
        {"", ""},
    };
    for (const auto& c : cases) {
        Routing routing(c.application);
        EXPECT_EQ(routing.viewer->currentHelpFile(), c.current) << c.application;
    }
}

TEST(HelpRouting, NonChmFilesAreDeclined) {
    for (const std::string application : {"QUELVA.hlp", "", "QUELVA.chm.bak"}) {
        Routing routing(application);
        EXPECT_EQ(routing.viewer->keywordSupport("a"), 0);
        EXPECT_FALSE(routing.viewer->topicSupport("a"));
        EXPECT_FALSE(routing.viewer->contextSupport(3, application));
        routing.system.showTableOfContents();
        routing.system.showContext(3, application);
        routing.system.showKeyword("a");
        routing.system.showTopic("a");
        EXPECT_TRUE(routing.backend->calls.empty()) << application;
    }
    // Context support looks at the file it is given, not at the current one.
    Routing routing("QUELVA.hlp");
    EXPECT_TRUE(routing.viewer->contextSupport(3, "x.chm"));
    EXPECT_TRUE(routing.viewer->contentsSupport());
}

}  // namespace
}  // namespace thq::app::help
