// Failures on demand, for test builds only (the FAULT_INJECTION build option). A test chooses
// one platform call and makes it fail as the system would, to prove that a failure at any point
// of a run loses no byte of the user's files. The choice comes from the environment, read once:
//
//   FAULT_INJECTION=<call>:<n>:<number>    the n-th call of that kind fails with error <number>
//   FAULT_INJECTION=<call>:<n>+:<number>   ... and so does every later one
//
// <call> is create, read, write, flush, close, delete, move, or alloc: a memory request of the
// program, which then fails as an exhausted heap does (through the new handler; <number> is
// not used). Calls are counted from the start of the process.
//
//   FAULT_INJECTION_LOG=<file>             the first injected failure appends one line there:
//                                          "<call> <n> <number> create=<count> read=<count> ..."
//                                          with the calls of each kind made up to that moment
//
// so that a test can tell whether a run reached the n-th call, and what it had done before.
#pragma once

namespace faultInjection {

enum class Call { create, read, write, flush, close, erase, move, alloc };

// Counts a call of that kind: 0 when it may go ahead, else the error number it must fail with.
unsigned injectedError(Call call);

} // namespace faultInjection

#if defined(FAULT_INJECTION)
// At the top of a platform function: fails the call on demand, with its failure result.
#define FAIL_ON_DEMAND(call, failure)                                                              \
    do {                                                                                           \
        if (unsigned injected = faultInjection::injectedError(faultInjection::Call::call)) {       \
            setNumber(injected);                                                                   \
            return failure;                                                                        \
        }                                                                                          \
    } while (false)
#else
#define FAIL_ON_DEMAND(call, failure)                                                              \
    do {                                                                                           \
    } while (false)
#endif
