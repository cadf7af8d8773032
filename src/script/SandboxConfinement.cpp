// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/SandboxConfinement.h"

#include "script/ScriptWire.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdint>

#include <grp.h>
#include <linux/capability.h>
#include <linux/futex.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tallyvox::sandbox {

namespace {

// The kernel's overflow ids: they own no files on a normal system.
constexpr uid_t kNobodyUid = 65534;
constexpr gid_t kNobodyGid = 65534;

bool IsRoot()
{
    return getuid() == 0 || geteuid() == 0;
}

// Highest capability number this kernel knows, without reading /proc.
int LastCapability()
{
    int last = 0;
    while (last < 63 && prctl(PR_CAPBSET_READ, last + 1, 0, 0, 0) >= 0)
        ++last;
    return last;
}

bool BoundingSetEmpty()
{
    for (int cap = 0, last = LastCapability(); cap <= last; ++cap) {
        if (prctl(PR_CAPBSET_READ, cap, 0, 0, 0) != 0)
            return false;
    }
    return true;
}

// Needs CAP_SETPCAP in the current user namespace.
bool DropBoundingSet()
{
    for (int cap = 0, last = LastCapability(); cap <= last; ++cap) {
        if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
            return false;
    }
    return true;
}

// Root only. Groups first, since CAP_SETGID goes with the uid; every call is
// checked, because a half switch would keep root's group.
bool BecomeUnprivilegedUser()
{
    if (setgroups(0, nullptr) != 0 || setresgid(kNobodyGid, kNobodyGid, kNobodyGid) != 0 ||
        setresuid(kNobodyUid, kNobodyUid, kNobodyUid) != 0)
        return false;
    uid_t r, e, s;
    gid_t rg, eg, sg;
    return getresuid(&r, &e, &s) == 0 && r == kNobodyUid && e == kNobodyUid && s == kNobodyUid &&
           getresgid(&rg, &eg, &sg) == 0 && rg == kNobodyGid && eg == kNobodyGid && sg == kNobodyGid &&
           getgroups(0, nullptr) == 0;
}

// An unprivileged process may own a network namespace inside a user
// namespace of its own. No uid map is written: inside, it is the overflow
// uid and owns nothing. The new namespace grants it every capability there,
// which the later steps take away again.
bool EnterNetworkNamespaceUnprivileged()
{
    return unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
}

bool DropCapabilities()
{
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    syscall(SYS_capset, &header, sets);
    if (syscall(SYS_capget, &header, sets) != 0)
        return false;
    for (const auto &set : sets) {
        if (set.effective != 0 || set.permitted != 0 || set.inheritable != 0)
            return false;
    }
    for (int cap = 0, last = LastCapability(); cap <= last; ++cap) {
        if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, cap, 0, 0) > 0)
            return false;
    }
    return true;
}

class Filter {
public:
    Filter() : ctx_(seccomp_init(SCMP_ACT_KILL_PROCESS)) {}
    ~Filter()
    {
        if (ctx_)
            seccomp_release(ctx_);
    }
    Filter(const Filter &) = delete;
    Filter &operator=(const Filter &) = delete;

    template <typename... Comparisons>
    void Add(std::uint32_t action, int syscall, Comparisons... comparisons)
    {
        if (ctx_ && seccomp_rule_add(ctx_, action, syscall, sizeof...(comparisons), comparisons...) != 0)
            ok_ = false;
    }
    template <typename... Comparisons>
    void Allow(int syscall, Comparisons... comparisons)
    {
        Add(SCMP_ACT_ALLOW, syscall, comparisons...);
    }
    bool Load()
    {
        // A syscall of another ABI (int 0x80, x32) is as bad as a forbidden one.
        return ctx_ && ok_ && seccomp_attr_set(ctx_, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0 &&
               seccomp_load(ctx_) == 0;
    }

private:
    scmp_filter_ctx ctx_;
    bool ok_ = true;
};

// What evaluating needs once the engine's libraries are loaded, and nothing
// else: every other syscall (open, socket, connect, execve, clone, fork,
// ptrace, kill, ...) kills the process with SIGSYS. Found by tracing the
// child through the tests' statements; after a Qt or glibc upgrade, a
// script_evaluator_test failure with a child ended by SIGSYS means the list
// needs another look (strace -f the test with SCMP_ACT_LOG as the default).
bool InstallSyscallFilter(const Channel &channel)
{
    Filter filter;
    using U = scmp_datum_t;
    // The request and the reply, and nothing else.
    filter.Allow(SCMP_SYS(read), SCMP_A0(SCMP_CMP_EQ, U(channel.request)));
    filter.Allow(SCMP_SYS(write), SCMP_A0(SCMP_CMP_EQ, U(channel.reply)));
    // libstdc++'s "terminate called ... bad_alloc" and glibc's malloc
    // complaints before abort(), to /dev/null: without them a memory bound
    // hit would end in SIGSYS and look like a breach.
    filter.Allow(SCMP_SYS(write), SCMP_A0(SCMP_CMP_EQ, U(channel.diagnostics)));
    filter.Allow(SCMP_SYS(writev), SCMP_A0(SCMP_CMP_EQ, U(channel.diagnostics)));

    // Memory: malloc, and the engine's heap chunks, stacks and reservations,
    // which it commits and decommits in pieces. Every new engine probes for
    // executable memory with an RWX mmap; refusing it turns the JIT off
    // (functions and regular expressions are interpreted), so no executable
    // page can appear after this point.
    filter.Allow(SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, U(PROT_EXEC), U(0)));
    filter.Add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, U(PROT_EXEC), U(PROT_EXEC)));
    filter.Allow(SCMP_SYS(mprotect), SCMP_A2(SCMP_CMP_MASKED_EQ, U(PROT_EXEC), U(0)));
    filter.Allow(SCMP_SYS(munmap));
    filter.Allow(SCMP_SYS(mremap));
    filter.Allow(SCMP_SYS(brk));
    filter.Allow(SCMP_SYS(madvise), SCMP_A2(SCMP_CMP_EQ, U(MADV_DONTNEED)));
    filter.Allow(SCMP_SYS(madvise), SCMP_A2(SCMP_CMP_EQ, U(MADV_WILLNEED)));
    // The engine backs its heap with memfds only to name the mappings;
    // refused, it falls back to anonymous memory and closes the -1 it got.
    // So no file of any kind is created after this point.
    filter.Add(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(memfd_create));
    filter.Allow(SCMP_SYS(close));

    // The child's own CPU time: it retires before its lifetime CPU budget
    // could end a request.
    filter.Allow(SCMP_SYS(getrusage), SCMP_A0(SCMP_CMP_EQ, U(RUSAGE_SELF)));
    // Date.now() goes through the vDSO, which falls back to the syscall where
    // the clock source cannot be read from user space (some VMs).
    filter.Allow(SCMP_SYS(clock_gettime));
    // pthread_once wakes waiters after every first-time initialisation, even
    // with none, e.g. the unwinder's on the first exception (bad_alloc at the
    // memory bound). With one thread nobody ever waits: only the wake.
    filter.Allow(SCMP_SYS(futex), SCMP_A1(SCMP_CMP_EQ, U(FUTEX_WAKE_PRIVATE)));

    // Leaving: exit_group, and abort(), which unblocks SIGABRT and sends it
    // to this very thread (pid == tid, the child has one thread).
    filter.Allow(SCMP_SYS(exit_group));
    const pid_t self = getpid();
    filter.Allow(SCMP_SYS(rt_sigprocmask));
    filter.Allow(SCMP_SYS(getpid));
    filter.Allow(SCMP_SYS(gettid));
    filter.Allow(SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, U(self)), SCMP_A1(SCMP_CMP_EQ, U(self)));
    return filter.Load();
}

} // namespace

std::uint8_t Confine(const Channel &channel)
{
    using namespace scriptwire;
    std::uint8_t steps = 0;
    bool network = false;
    bool bounding = false;
    if (IsRoot()) {
        // Each while root still has what it needs: the namespace needs
        // CAP_SYS_ADMIN, dropping the bounding set CAP_SETPCAP. The uid
        // switch then clears the permitted and effective sets by itself.
        // CLONE_NEWUSER is no choice for root: its files would stay its own.
        network = unshare(CLONE_NEWNET) == 0;
        bounding = DropBoundingSet();
        if (BecomeUnprivilegedUser())
            steps |= kUnprivilegedUser;
    } else {
        steps |= kUnprivilegedUser;
    }
    // Unprivileged from the start, or root without CAP_SYS_ADMIN. Where user
    // namespaces are off (a sysctl, a container's profile) the child goes on
    // without: it holds no descriptor to the outside, and socket() is fatal.
    if (!network && EnterNetworkNamespaceUnprivileged()) {
        network = true;
        bounding = DropBoundingSet();
    }
    if (network)
        steps |= kOwnNetwork;
    if (bounding || BoundingSetEmpty())
        steps |= kNoBoundingSet;
    if (DropCapabilities())
        steps |= kNoCapabilities;

    // A uid change resets the dumpable flag; set it again, so no process of
    // the same user may trace this one or read its memory.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // Also what lets an unprivileged process install a filter.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0)
        steps |= kNoNewPrivileges;
    if ((steps & kNoNewPrivileges) && InstallSyscallFilter(channel))
        steps |= kSyscallFilter;
    return steps;
}

} // namespace tallyvox::sandbox
