// Failures on demand (see fault_injection.h). Nothing here may allocate memory: it also decides
// the fate of every memory request.
#include "fault_injection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace faultInjection {
namespace {

constexpr const char *callNames[] = {"create", "read",   "write", "flush",
                                     "close",  "delete", "move",  "alloc"};
constexpr int callKinds = sizeof callNames / sizeof callNames[0];

struct Plan {
    int call = -1; // index into callNames; -1 when nothing is to fail
    unsigned long n = 0;
    bool persistent = false;
    unsigned number = 0;
};

// "<call>:<n>[+]:<number>"; anything else plans no failure.
Plan readPlan() {
    Plan plan;
    const char *text = std::getenv("FAULT_INJECTION");
    if (text == nullptr)
        return plan;
    const char *colon = std::strchr(text, ':');
    if (colon == nullptr)
        return plan;
    int call = -1;
    for (int i = 0; i < callKinds; ++i) {
        std::size_t length = std::strlen(callNames[i]);
        if (static_cast<std::size_t>(colon - text) == length &&
            std::strncmp(text, callNames[i], length) == 0)
            call = i;
    }
    char *end = nullptr;
    unsigned long n = std::strtoul(colon + 1, &end, 10);
    bool persistent = *end == '+';
    if (persistent)
        ++end;
    if (call < 0 || n == 0 || *end != ':')
        return plan;
    unsigned long number = std::strtoul(end + 1, &end, 10);
    if (*end != '\0' || number == 0)
        return plan;
    plan.call = call;
    plan.n = n;
    plan.persistent = persistent;
    plan.number = static_cast<unsigned>(number);
    return plan;
}

unsigned long callCounts[callKinds] = {};
bool logged = false;

// Appends the firing to FAULT_INJECTION_LOG with the calls made so far.
void logFiring(const Plan &plan) {
    logged = true;
    const char *path = std::getenv("FAULT_INJECTION_LOG");
    if (path == nullptr || *path == '\0')
        return;
    char line[512];
    int length =
        std::snprintf(line, sizeof line, "%s %lu %u", callNames[plan.call], plan.n, plan.number);
    for (int i = 0; i < callKinds && length > 0 && length < static_cast<int>(sizeof line); ++i)
        length += std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length),
                                " %s=%lu", callNames[i], callCounts[i]);
    if (length <= 0 || length >= static_cast<int>(sizeof line) - 1)
        return;
    line[length++] = '\n';
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::write(fd, line, static_cast<std::size_t>(length)) != length) {
        // The test sees a missing line as a call that was never reached.
    }
    ::close(fd);
}

} // namespace

unsigned injectedError(Call call) {
    static const Plan plan = readPlan();
    int kind = static_cast<int>(call);
    unsigned long count = ++callCounts[kind];
    if (kind != plan.call || count < plan.n || (count > plan.n && !plan.persistent))
        return 0;
    if (!logged)
        logFiring(plan);
    return plan.number;
}

} // namespace faultInjection

// The program's memory requests, failing on demand as when the heap is exhausted: the new
// handler runs (the fatal stop with 203), as for a real failure.
namespace {

void *allocate(std::size_t size) {
    for (;;) {
        bool fail = faultInjection::injectedError(faultInjection::Call::alloc) != 0;
        if (void *memory = fail ? nullptr : std::malloc(size == 0 ? 1 : size))
            return memory;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}

} // namespace

void *operator new(std::size_t size) {
    return allocate(size);
}
void *operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void *memory) noexcept {
    std::free(memory);
}
void operator delete[](void *memory) noexcept {
    std::free(memory);
}
void operator delete(void *memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void *memory, std::size_t) noexcept {
    std::free(memory);
}
