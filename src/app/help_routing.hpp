#pragma once
// Help routing: requests for compiled HTML help (".chm") go to HtmlHelpViewer, which turns
// them into HTML Help commands for a backend (the HtmlHelpA entry of HHCtrl.ocx on Windows,
// the desktop's viewer elsewhere). ChmHelpTester makes the built-in WinHelp viewer decline
// every request, so the HTML viewer gets them. HelpSystem is the small help system both
// plug into: it keeps the registered viewers in order and asks them as the window needs.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace thq::app::help {

// The HTML Help commands in use, with their API numbers.
enum class HtmlHelpCommand : std::uint32_t {
    DisplayTopic = 0,  // HH_DISPLAY_TOPIC: file text is help file + "::/" + topic
    DisplayToc = 1,    // HH_DISPLAY_TOC
    DisplayIndex = 2,  // HH_DISPLAY_INDEX: data is the keyword text
    HelpContext = 15,  // HH_HELP_CONTEXT: data is the context number
    CloseAll = 18,     // HH_CLOSE_ALL: no window, no file
};

// One HTML Help call as the viewer makes it.
struct HtmlHelpCall {
    std::uintptr_t window = 0;  // the help manager's window; 0 for CloseAll
    std::string file;           // UTF-8; empty for CloseAll
    HtmlHelpCommand command = HtmlHelpCommand::DisplayToc;
    std::uint32_t number = 0;  // data for every command but DisplayIndex
    std::string keyword;       // data for DisplayIndex (UTF-8)
};

// Where the calls go. The result of a call is not looked at.
class HtmlHelpBackend {
public:
    virtual ~HtmlHelpBackend() = default;
    virtual void htmlHelp(const HtmlHelpCall& call) = 0;
};

// The ".chm" test: the text from the last "." of the name, compared with ".chm" with ASCII
// letters in either case equal; a name without "." fails.
bool isChmFile(std::string_view fileName);
// A topic with the default extension appended unless its own (the text from its last ".",
// when no "\" or ":" follows it) is ".htm" or ".html" in any case.
std::string topicWithExtension(std::string_view topic, std::string_view defaultExtension);
// The keyword of an index entry: everything up to and including the first ":" removed,
// then trimmed of characters 0 to 32.
std::string keywordOfEntry(std::string_view entry);

// What the viewers see of the help system.
class HelpManager {
public:
    virtual ~HelpManager() = default;
    // The help file of the current request, empty when the request names none.
    virtual std::string helpFile() const = 0;
    // The application's current help file (that of the active window, else the
    // application's).
    virtual std::string applicationHelpFile() const = 0;
    virtual std::filesystem::path executableFolder() const = 0;
    virtual std::uintptr_t windowHandle() const = 0;
    virtual void releaseViewer(int viewerNumber) = 0;
};

// A help viewer (custom and extended operations in one table).
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual std::string name() const = 0;
    virtual int keywordSupport(std::string_view keyword) = 0;
    virtual std::vector<std::string> keywordEntries(std::string_view keyword) = 0;
    virtual bool contentsSupport() = 0;
    virtual void showContents() = 0;
    virtual void showKeyword(std::string_view entry) = 0;
    // Registration: the viewer takes its number and the manager it reports to.
    virtual void attach(int viewerNumber, HelpManager* manager) = 0;
    virtual void softShutdown() = 0;
    virtual void shutdown() = 0;
    virtual bool topicSupport(std::string_view topic) = 0;
    virtual void showTopic(std::string_view topic) = 0;
    virtual bool contextSupport(int context, std::string_view helpFile) = 0;
    virtual void showContext(int context, std::string_view helpFile) = 0;
};

class HelpSelector {
public:
    virtual ~HelpSelector() = default;
    virtual int chooseKeywordEntry(const std::vector<std::string>& entries) = 0;
    virtual int chooseContentsViewer(const std::vector<std::string>& viewerNames) = 0;
};

// The WinHelp-tester slot of the built-in WinHelp viewer.
class WinHelpTester {
public:
    virtual ~WinHelpTester() = default;
    virtual bool keywordTest(std::string_view keyword, std::string_view file) = 0;
    virtual bool topicTest(std::string_view topic, std::string_view file) = 0;
    virtual bool contextTest(int context, std::string_view file) = 0;
    virtual std::vector<std::string> keywordEntries(std::string_view keyword) = 0;
    virtual std::string helpFolder() = 0;
    virtual std::string defaultHelpFile() = 0;
};

class ChmHelpTester final : public WinHelpTester {
public:
    bool keywordTest(std::string_view, std::string_view) override { return false; }
    bool topicTest(std::string_view, std::string_view) override { return false; }
    bool contextTest(int, std::string_view) override { return false; }
    std::vector<std::string> keywordEntries(std::string_view keyword) override;
    std::string helpFolder() override { return {}; }
    std::string defaultHelpFile() override { return {}; }
};

class HtmlHelpViewer final : public HelpViewer, public HelpSelector {
public:
    static constexpr const char* kName = "VantoHtmlHelp";
    static constexpr const char* kDefaultTopicExtension = ".htm";

    explicit HtmlHelpViewer(std::shared_ptr<HtmlHelpBackend> backend);

    // The file every request works on (see HelpManager): the request's file, else the
    // application's; the executable's folder in front of a name without folder.
    std::string currentHelpFile() const;
    int viewerNumber() const { return viewerNumber_; }
    bool holdsManager() const { return manager_ != nullptr; }

    std::string name() const override { return kName; }
    int keywordSupport(std::string_view keyword) override;
    std::vector<std::string> keywordEntries(std::string_view keyword) override;
    bool contentsSupport() override { return true; }
    void showContents() override;
    void showKeyword(std::string_view entry) override;
    void attach(int viewerNumber, HelpManager* manager) override;
    void softShutdown() override;
    void shutdown() override;
    bool topicSupport(std::string_view topic) override;
    void showTopic(std::string_view topic) override;
    bool contextSupport(int context, std::string_view helpFile) override;
    void showContext(int context, std::string_view helpFile) override;

    int chooseKeywordEntry(const std::vector<std::string>& entries) override;
    int chooseContentsViewer(const std::vector<std::string>& viewerNames) override;

private:
    void call(std::string file, HtmlHelpCommand command, std::uint32_t number,
              std::string keyword = {});

    std::shared_ptr<HtmlHelpBackend> backend_;
    int viewerNumber_ = 0;
    HelpManager* manager_ = nullptr;
};

// The built-in viewer for WinHelp files. WinHelp itself is long gone; the viewer only
// takes what its tester allows, and with ChmHelpTester in the slot that is nothing.
class WinHelpViewer final : public HelpViewer {
public:
    static constexpr const char* kName = "WinHelp";
    void setTester(std::shared_ptr<WinHelpTester> tester) { tester_ = std::move(tester); }
    std::string name() const override { return kName; }
    int keywordSupport(std::string_view keyword) override;
    std::vector<std::string> keywordEntries(std::string_view keyword) override;
    bool contentsSupport() override { return true; }
    void showContents() override {}
    void showKeyword(std::string_view) override {}
    void attach(int, HelpManager* manager) override { manager_ = manager; }
    void softShutdown() override {}
    void shutdown() override { manager_ = nullptr; }
    bool topicSupport(std::string_view topic) override;
    void showTopic(std::string_view) override {}
    bool contextSupport(int context, std::string_view helpFile) override;
    void showContext(int, std::string_view) override {}

private:
    std::string file() const;
    std::shared_ptr<WinHelpTester> tester_;
    HelpManager* manager_ = nullptr;
};

// The help system of the application: viewers in order of registration, a selector, the
// WinHelp viewer registered first with its tester slot.
class HelpSystem final : public HelpManager {
public:
    explicit HelpSystem(std::filesystem::path executableFolder);
    ~HelpSystem() override;
    HelpSystem(const HelpSystem&) = delete;
    HelpSystem& operator=(const HelpSystem&) = delete;

    void setApplicationHelpFile(std::string file) { applicationHelpFile_ = std::move(file); }
    void setWindowHandle(std::uintptr_t handle) { window_ = handle; }
    int registerViewer(std::shared_ptr<HelpViewer> viewer);
    void setSelector(std::shared_ptr<HelpSelector> selector) { selector_ = std::move(selector); }
    void setTester(std::shared_ptr<WinHelpTester> tester);

    // The help commands of the window.
    void showTableOfContents();
    void showContext(int context, const std::string& helpFile);
    void showKeyword(const std::string& keyword);
    void showTopic(const std::string& topic);
    // Shutdown: every viewer still attached releases its number.
    void shutdown();

    std::string helpFile() const override { return requestFile_; }
    std::string applicationHelpFile() const override { return applicationHelpFile_; }
    std::filesystem::path executableFolder() const override { return executableFolder_; }
    std::uintptr_t windowHandle() const override { return window_; }
    void releaseViewer(int viewerNumber) override;

private:
    struct Entry {
        int number;
        std::shared_ptr<HelpViewer> viewer;
    };
    std::filesystem::path executableFolder_;
    std::string applicationHelpFile_;
    std::string requestFile_;
    std::uintptr_t window_ = 0;
    std::vector<Entry> viewers_;
    std::shared_ptr<WinHelpViewer> winHelp_;
    std::shared_ptr<HelpSelector> selector_;
    int nextNumber_ = 1;
};

// Start-up of the routing: the HTML viewer registered and made the selector, the
// ChmHelpTester in the tester slot. Returns the viewer.
std::shared_ptr<HtmlHelpViewer> installHelpRouting(HelpSystem& system,
                                                   std::shared_ptr<HtmlHelpBackend> backend);

}  // namespace thq::app::help
