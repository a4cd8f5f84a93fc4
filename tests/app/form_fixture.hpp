#pragma once
// A main window wired to recording stand-ins for the user: a chooser that answers from a
// list, a presenter that keeps the messages, an embedder that keeps the handle.
#include <QApplication>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/main_form.hpp"
#include "test_support.hpp"

namespace thq::app::test {

class ScriptedChooser final : public DocumentChooser {
public:
    std::optional<std::filesystem::path> choose() override {
        ++shown;
        busyWhileShown = busyWhileShown || QApplication::overrideCursor() != nullptr;
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<std::filesystem::path>> answers;
    int shown = 0;
    bool busyWhileShown = false;
};

struct Shown {
    bool error;
    std::string text;
    std::string detail;
    bool busy;  // the busy cursor was up while the box was shown
};

class RecordingPresenter final : public MessagePresenter {
public:
    void showMessage(const std::string& text) override {
        shown.push_back({false, text, {}, QApplication::overrideCursor() != nullptr});
    }
    void showError(const std::string& text, const std::string& detail) override {
        shown.push_back({true, text, detail, QApplication::overrideCursor() != nullptr});
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& s : shown) out.push_back((s.error ? "error: " : "") + s.text);
        return out;
    }
    std::vector<Shown> shown;
};

class RecordingEmbedder final : public WindowEmbedder {
public:
    EmbedResult embed(QWidget& window, std::uint32_t hostHandle) override {
        handles.push_back(hostHandle);
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        return result;
    }
    std::optional<bool> hostStillExists(std::uint32_t) override { return hostExists; }
    std::vector<std::uint32_t> handles;
    EmbedResult result{true, {}};
    std::optional<bool> hostExists;  // the host as the window system tells it
};

struct FormFixture {
    explicit FormFixture(std::vector<std::string> parameters = {}) {
        std::filesystem::create_directories(work());
        std::filesystem::create_directories(executableFolder());
        services.parameters = std::move(parameters);
        services.executableFolder = executableFolder();
        services.workFolder = work();
        services.chooser = &chooser;
        services.messages = &messages;
        services.embedder = &embedder;
    }
    // Builds the window (the creation handler runs) and shows it (the show handler runs).
    app::TMForm& showForm() {
        form = std::make_unique<app::TMForm>(services);
        form->show();
        return *form;
    }
    std::filesystem::path work() const { return dir / "HTEMP"; }
    std::filesystem::path executableFolder() const { return dir / "bin"; }
    std::filesystem::path statusFile() const { return executableFolder() / "Horalia.ini"; }
    std::optional<std::string> status() const {
        if (!std::filesystem::exists(statusFile())) return std::nullopt;
        return thq::test::readFile(statusFile());
    }
    static std::string statusText(int value) {
        return "[Transformadores]\r\nTransformado=" + std::to_string(value) + "\r\n";
    }

    thq::test::TempDir dir;
    ScriptedChooser chooser;
    RecordingPresenter messages;
    RecordingEmbedder embedder;
    FormServices services;
    std::unique_ptr<app::TMForm> form;
};

}  // namespace thq::app::test
