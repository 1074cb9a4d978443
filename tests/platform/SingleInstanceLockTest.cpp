#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string UniqueLockName(const char* what) {
    return std::string("kavel-test-") + what + "-" + std::to_string(::getpid());
}

// Holds the lock in a child process, as user `user` when not -1, until killed;
// returns its pid once it holds it.
pid_t HoldInChild(const std::string& name, uid_t user = static_cast<uid_t>(-1)) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        if (user != static_cast<uid_t>(-1) &&
            (::setresgid(user, user, user) != 0 || ::setresuid(user, user, user) != 0))
            ::_exit(1);
        SingleInstanceLock lock(name);
        const char state = lock.Result() == SingleInstanceLock::Outcome::Acquired ? 'y' : 'n';
        [[maybe_unused]] auto n = ::write(ready[1], &state, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char state = 0;
    [[maybe_unused]] auto n = ::read(ready[0], &state, 1);
    ::close(ready[0]);
    if (state == 'y')
        return child;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

void KillAndReap(pid_t pid, int signal) {
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace

// Made by one user under a strict umask, the lock is taken by another one; while
// that one holds it nobody else gets it, and it is free once the holder is killed.
TEST(SingleInstanceLock, EveryUserCanTakeItAndOnlyOneHoldsIt) {
    const auto name = UniqueLockName("users");
    const mode_t previous = ::umask(077);
    std::string path;
    {
        SingleInstanceLock first(name);
        ::umask(previous);
        ASSERT_EQ(first.Result(), SingleInstanceLock::Outcome::Acquired);
        path = first.LockPath();
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666u);
    }
    const bool root = ::geteuid() == 0;
    const pid_t holder = HoldInChild(name, root ? 65534 : static_cast<uid_t>(-1));
    ASSERT_GT(holder, 0) << "the lock made by another user could not be taken";
    {
        SingleInstanceLock second(name);
        EXPECT_EQ(second.Result(), SingleInstanceLock::Outcome::HeldElsewhere);
    }
    KillAndReap(holder, SIGKILL);
    SingleInstanceLock next(name);
    EXPECT_EQ(next.Result(), SingleInstanceLock::Outcome::Acquired);
    ::unlink(path.c_str());
}

// Anyone may write /tmp: what is planted at the lock's path is neither followed
// nor waited for, and the lock is not taken.
TEST(SingleInstanceLock, IsNotTakenThroughALinkOrAFifoPlantedAtItsPlace) {
    for (const bool link : {true, false}) {
        const auto name = UniqueLockName(link ? "link" : "fifo");
        const std::string path = "/tmp/" + name + ".lock";
        const std::string target = "/tmp/" + name + ".target";
        ASSERT_EQ(link ? ::symlink(target.c_str(), path.c_str()) : ::mkfifo(path.c_str(), 0666), 0);
        SingleInstanceLock lock(name);
        EXPECT_EQ(lock.Result(), SingleInstanceLock::Outcome::Failed) << path;
        EXPECT_FALSE(lock.ErrorText().empty());
        EXPECT_NE(::access(target.c_str(), F_OK), 0) << "the link's target was created";
        ::unlink(path.c_str());
    }
}
