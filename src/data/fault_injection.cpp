#include "data/fault_injection.hpp"

#ifdef TH_FAULT_INJECTION
#include <cstdlib>
#include <mutex>
#include <vector>

namespace thq::platform {
namespace {

// Never compiled into a release: the count is the test process's own.
struct FaultInjector {
    std::mutex mutex;
    std::size_t calls = 0;
    std::size_t failAt = 0;
    std::size_t failCount = 0;  // calls that fail from failAt on
    std::size_t stopAt = 0;     // the call at which the process ends; 0 for none
    int error = 0;
    std::filesystem::path failedPath;
    std::vector<testing::Call> log;
};

FaultInjector& injector() {
    static FaultInjector instance;
    return instance;
}

void arm(std::size_t n, std::size_t count, int error) {
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    state.calls = 0;
    state.failAt = n;
    state.failCount = count;
    state.stopAt = 0;
    state.error = error;
    state.failedPath.clear();
    state.log.clear();
}

}  // namespace

int detail::countCall(testing::CallKind kind, const std::filesystem::path& subject) {
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    state.log.push_back({kind, subject});
    ++state.calls;
    if (state.calls == state.stopAt) std::_Exit(testing::kStoppedExitCode);
    if (state.failAt == 0 || state.calls < state.failAt ||
        state.calls - state.failAt >= state.failCount) {
        return 0;
    }
    if (state.calls == state.failAt) state.failedPath = subject;
    return state.error;
}

void testing::failNthCall(std::size_t n, int error) { arm(n, 1, error); }

void testing::failCalls(std::size_t n, std::size_t count, int error) { arm(n, count, error); }

std::size_t testing::callsSoFar() {
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    return state.calls;
}

void testing::resetFaults() { failNthCall(0, 0); }

void testing::stopAtNthCall(std::size_t n) {
    arm(0, 0, 0);
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    state.stopAt = n;
}

std::filesystem::path testing::failedCallPath() {
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    return state.failedPath;
}

std::vector<testing::Call> testing::callLog() {
    auto& state = injector();
    std::lock_guard guard(state.mutex);
    return state.log;
}

}  // namespace thq::platform
#endif
