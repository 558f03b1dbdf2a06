/* Preloaded into every emulated 32-bit Wine process (tools/wine32.sh). qemu-user puts -1
 * into the trap number of the signal context it builds for a guest fault, and Wine's i386
 * fault handler tells page faults (stack guard pages, write watches, probed reads) from
 * other faults by that number alone, so without this every such fault ends the process.
 * The handler Wine installs for SIGSEGV is wrapped: a fault with no trap number gets the
 * one the kernel would give (14 for a page fault, 13 for a protection fault). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

typedef void (*handler_fn)(int, siginfo_t *, void *);
typedef int (*sigaction_fn)(int, const struct sigaction *, struct sigaction *);

static handler_fn wine_handler;

static void with_trap_number(int sig, siginfo_t *info, void *context)
{
    ucontext_t *uc = context;
    if (uc->uc_mcontext.gregs[REG_TRAPNO] == -1)
        uc->uc_mcontext.gregs[REG_TRAPNO] =
            (info->si_code == SEGV_MAPERR || info->si_code == SEGV_ACCERR) ? 14 : 13;
    wine_handler(sig, info, context);
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old)
{
    static sigaction_fn next;
    if (!next) next = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    if (sig == SIGSEGV && act && (act->sa_flags & SA_SIGINFO) &&
        act->sa_sigaction != with_trap_number) {
        struct sigaction wrapped = *act;
        wine_handler = act->sa_sigaction;
        wrapped.sa_sigaction = with_trap_number;
        return next(sig, &wrapped, old);
    }
    return next(sig, act, old);
}
