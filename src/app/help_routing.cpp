#include "app/help_routing.hpp"

#include <algorithm>

#include "data/text.hpp"

namespace thq::app::help {

bool isChmFile(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return false;
    return text::lowerAscii(fileName.substr(dot)) == ".chm";
}

std::string topicWithExtension(std::string_view topic, std::string_view defaultExtension) {
    std::string_view extension;
    const auto dot = topic.rfind('.');
    if (dot != std::string_view::npos && topic.find_first_of("\\:", dot) == std::string_view::npos)
        extension = topic.substr(dot);
    const std::string lowered = text::lowerAscii(extension);
    std::string result(topic);
    if (lowered != ".htm" && lowered != ".html") result += defaultExtension;
    return result;
}

std::string keywordOfEntry(std::string_view entry) {
    const auto colon = entry.find(':');
    if (colon != std::string_view::npos) entry.remove_prefix(colon + 1);
    return std::string(text::trim(entry));
}

std::vector<std::string> ChmHelpTester::keywordEntries(std::string_view keyword) {
    return {": " + std::string(keyword)};
}

// --- HtmlHelpViewer -------------------------------------------------------------------

HtmlHelpViewer::HtmlHelpViewer(std::shared_ptr<HtmlHelpBackend> backend)
    : backend_(std::move(backend)) {}

std::string HtmlHelpViewer::currentHelpFile() const {
    if (manager_ == nullptr) return {};
    std::string file = manager_->helpFile();
    if (file.empty()) file = manager_->applicationHelpFile();
    if (file.empty()) return file;
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    if (path.has_parent_path()) return file;
    const auto full = (manager_->executableFolder() / path).u8string();
    return std::string(full.begin(), full.end());
}

void HtmlHelpViewer::call(std::string file, HtmlHelpCommand command, std::uint32_t number,
                          std::string keyword) {
    if (!backend_) return;
    HtmlHelpCall htmlCall;
    htmlCall.command = command;
    htmlCall.number = number;
    htmlCall.keyword = std::move(keyword);
    if (command != HtmlHelpCommand::CloseAll) {
        htmlCall.window = manager_ != nullptr ? manager_->windowHandle() : 0;
        htmlCall.file = std::move(file);
    }
    backend_->htmlHelp(htmlCall);
}

int HtmlHelpViewer::keywordSupport(std::string_view) { return isChmFile(currentHelpFile()); }

std::vector<std::string> HtmlHelpViewer::keywordEntries(std::string_view keyword) {
    return {std::string(kName) + ": " + std::string(keyword)};
}

void HtmlHelpViewer::showContents() {
    const std::string file = currentHelpFile();
    if (isChmFile(file)) call(file, HtmlHelpCommand::DisplayToc, 0);
}

void HtmlHelpViewer::showKeyword(std::string_view entry) {
    const std::string file = currentHelpFile();
    if (isChmFile(file)) call(file, HtmlHelpCommand::DisplayIndex, 0, keywordOfEntry(entry));
}

void HtmlHelpViewer::attach(int viewerNumber, HelpManager* manager) {
    viewerNumber_ = viewerNumber;
    manager_ = manager;
}

void HtmlHelpViewer::softShutdown() { call({}, HtmlHelpCommand::CloseAll, 0); }

void HtmlHelpViewer::shutdown() {
    softShutdown();
    manager_ = nullptr;
}

bool HtmlHelpViewer::topicSupport(std::string_view) { return isChmFile(currentHelpFile()); }

void HtmlHelpViewer::showTopic(std::string_view topic) {
    const std::string file = currentHelpFile();
    if (!isChmFile(file)) return;
    call(file + "::/" + topicWithExtension(topic, kDefaultTopicExtension),
         HtmlHelpCommand::DisplayTopic, 0);
}

bool HtmlHelpViewer::contextSupport(int, std::string_view helpFile) { return isChmFile(helpFile); }

void HtmlHelpViewer::showContext(int context, std::string_view) {
    const std::string file = currentHelpFile();
    if (isChmFile(file))
        call(file, HtmlHelpCommand::HelpContext, static_cast<std::uint32_t>(context));
}

int HtmlHelpViewer::chooseKeywordEntry(const std::vector<std::string>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view entry = entries[i];
        if (entry.substr(0, entry.find(':')) == kName) return static_cast<int>(i);
    }
    return 0;
}

int HtmlHelpViewer::chooseContentsViewer(const std::vector<std::string>& viewerNames) {
    // The lookup of the framework's text list: ASCII letters in either case are equal.
    const std::string wanted = text::lowerAscii(kName);
    for (std::size_t i = 0; i < viewerNames.size(); ++i) {
        if (text::lowerAscii(viewerNames[i]) == wanted) return static_cast<int>(i);
    }
    return -1;
}

// --- WinHelpViewer --------------------------------------------------------------------

std::string WinHelpViewer::file() const {
    if (manager_ == nullptr) return {};
    const std::string file = manager_->helpFile();
    return file.empty() ? manager_->applicationHelpFile() : file;
}

int WinHelpViewer::keywordSupport(std::string_view keyword) {
    return tester_ && tester_->keywordTest(keyword, file()) ? 1 : 0;
}

std::vector<std::string> WinHelpViewer::keywordEntries(std::string_view keyword) {
    if (tester_) return tester_->keywordEntries(keyword);
    return {};
}

bool WinHelpViewer::topicSupport(std::string_view topic) {
    return tester_ && tester_->topicTest(topic, file());
}

bool WinHelpViewer::contextSupport(int context, std::string_view helpFile) {
    return tester_ && tester_->contextTest(context, helpFile);
}

// --- HelpSystem -----------------------------------------------------------------------

HelpSystem::HelpSystem(std::filesystem::path executableFolder)
    : executableFolder_(std::move(executableFolder)), winHelp_(std::make_shared<WinHelpViewer>()) {
    registerViewer(winHelp_);
}

HelpSystem::~HelpSystem() { shutdown(); }

int HelpSystem::registerViewer(std::shared_ptr<HelpViewer> viewer) {
    const int number = nextNumber_++;
    viewer->attach(number, this);
    viewers_.push_back({number, std::move(viewer)});
    return number;
}

void HelpSystem::setTester(std::shared_ptr<WinHelpTester> tester) {
    winHelp_->setTester(std::move(tester));
}

void HelpSystem::releaseViewer(int viewerNumber) {
    std::erase_if(viewers_, [viewerNumber](const Entry& e) { return e.number == viewerNumber; });
}

void HelpSystem::showTableOfContents() {
    requestFile_.clear();
    std::vector<std::shared_ptr<HelpViewer>> able;
    for (const Entry& entry : viewers_) {
        if (entry.viewer->contentsSupport()) able.push_back(entry.viewer);
    }
    if (able.empty()) return;
    std::size_t chosen = 0;
    if (able.size() > 1 && selector_) {
        std::vector<std::string> names;
        names.reserve(able.size());
        for (const auto& viewer : able) names.push_back(viewer->name());
        const int index = selector_->chooseContentsViewer(names);
        if (index < 0 || static_cast<std::size_t>(index) >= able.size()) return;
        chosen = static_cast<std::size_t>(index);
    }
    able[chosen]->showContents();
}

void HelpSystem::showContext(int context, const std::string& helpFile) {
    requestFile_ = helpFile;
    for (const Entry& entry : viewers_) {
        if (entry.viewer->contextSupport(context, helpFile)) {
            entry.viewer->showContext(context, helpFile);
            break;
        }
    }
    requestFile_.clear();
}

void HelpSystem::showKeyword(const std::string& keyword) {
    requestFile_.clear();
    std::vector<std::shared_ptr<HelpViewer>> owners;
    std::vector<std::string> entries;
    for (const Entry& entry : viewers_) {
        if (entry.viewer->keywordSupport(keyword) <= 0) continue;
        for (std::string& text : entry.viewer->keywordEntries(keyword)) {
            owners.push_back(entry.viewer);
            entries.push_back(std::move(text));
        }
    }
    if (entries.empty()) return;
    std::size_t chosen = 0;
    if (entries.size() > 1 && selector_) {
        const int index = selector_->chooseKeywordEntry(entries);
        if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return;
        chosen = static_cast<std::size_t>(index);
    }
    owners[chosen]->showKeyword(entries[chosen]);
}

void HelpSystem::showTopic(const std::string& topic) {
    requestFile_.clear();
    for (const Entry& entry : viewers_) {
        if (entry.viewer->topicSupport(topic)) {
            entry.viewer->showTopic(topic);
            break;
        }
    }
}

void HelpSystem::shutdown() {
    const auto viewers = std::move(viewers_);
    viewers_.clear();
    for (const Entry& entry : viewers) entry.viewer->shutdown();
    selector_.reset();
}

std::shared_ptr<HtmlHelpViewer> installHelpRouting(HelpSystem& system,
                                                   std::shared_ptr<HtmlHelpBackend> backend) {
    auto viewer = std::make_shared<HtmlHelpViewer>(std::move(backend));
    system.registerViewer(viewer);
    system.setSelector(viewer);
    system.setTester(std::make_shared<ChmHelpTester>());
    return viewer;
}

}  // namespace thq::app::help
