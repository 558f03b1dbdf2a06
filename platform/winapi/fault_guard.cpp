#include "fault_guard.h"

#include <windows.h>

namespace vantrel {
namespace {

struct GuardFrame {
    void* jump[5];  // __builtin_setjmp's buffer
    GuardFrame* outer;
#ifndef _WIN64
    void* seh_chain;  // fs:[0] when the guard was entered; frames below it are abandoned
#endif
};

thread_local GuardFrame* t_frame = nullptr;

#ifndef _WIN64
// The thread's SEH chain head, fs:[0]. GCC 12 takes the segment-relative read inside
// NtCurrentTeb for an access to a zero-sized object and warns; the read is the platform's own.
NT_TIB* ThreadTib() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    return reinterpret_cast<NT_TIB*>(NtCurrentTeb());
#pragma GCC diagnostic pop
}
#endif

bool IsFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
        return true;
    default:
        return false;
    }
}

[[noreturn]] __attribute__((noinline)) void Recover() {
    GuardFrame* frame = t_frame;
#ifndef _WIN64
    ThreadTib()->ExceptionList =
        static_cast<EXCEPTION_REGISTRATION_RECORD*>(frame->seh_chain);
#endif
    __builtin_longjmp(frame->jump, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* e) {
    if (!t_frame || !IsFault(e->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    // Resume the thread in Recover, on its own stack just below the faulting frame; the
    // exception is then over and Recover jumps back to the guard.
    CONTEXT* c = e->ContextRecord;
#ifdef _WIN64
    c->Rsp = ((c->Rsp - 128) & ~DWORD64(15)) - 8;
    c->Rip = reinterpret_cast<DWORD64>(&Recover);
#else
    c->Esp = ((c->Esp - 128) & ~DWORD(15)) - 4;
    c->Eip = reinterpret_cast<DWORD>(&Recover);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

__attribute__((noinline)) bool Enter(GuardFrame* frame, void (*body)(void*), void* context) {
    if (__builtin_setjmp(frame->jump) != 0) return false;
    body(context);
    return true;
}

}  // namespace

bool RunGuarded(void (*body)(void*), void* context) {
    PVOID handler = ::AddVectoredExceptionHandler(1, OnException);
    GuardFrame frame;
    frame.outer = t_frame;
#ifndef _WIN64
    frame.seh_chain = ThreadTib()->ExceptionList;
#endif
    t_frame = &frame;
    bool completed = Enter(&frame, body, context);
    t_frame = frame.outer;
    if (handler) ::RemoveVectoredExceptionHandler(handler);
    return completed;
}

}  // namespace vantrel
