#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

std::string UniqueLockName(const char* what) {
    return std::string("kavel-test-") + what + "-" + std::to_string(::getpid());
}

// Holds the lock in a child process until killed; returns its pid once it holds it.
pid_t HoldInChild(const std::string& name) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
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
    return state == 'y' ? child : -1;
}

void KillAndReap(pid_t pid, int signal) {
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace

TEST(SingleInstanceLock, ASecondHolderIsRefusedWhileTheFirstLives) {
    const auto name = UniqueLockName("second");
    const pid_t first = HoldInChild(name);
    ASSERT_GT(first, 0);
    {
        SingleInstanceLock second(name);
        EXPECT_EQ(second.Result(), SingleInstanceLock::Outcome::HeldElsewhere);
    }
    KillAndReap(first, SIGTERM);
    SingleInstanceLock third(name);
    EXPECT_EQ(third.Result(), SingleInstanceLock::Outcome::Acquired);
    ::unlink(third.LockPath().c_str());
}

TEST(SingleInstanceLock, IsFreedWhenTheHolderIsKilled) {
    const auto name = UniqueLockName("killed");
    const pid_t first = HoldInChild(name);
    ASSERT_GT(first, 0);
    KillAndReap(first, SIGKILL);
    SingleInstanceLock next(name);
    EXPECT_EQ(next.Result(), SingleInstanceLock::Outcome::Acquired);
    ::unlink(next.LockPath().c_str());
}

TEST(SingleInstanceLock, DoesNotFollowALinkPlantedAtItsPlace) {
    const auto name = UniqueLockName("link");
    const std::string path = "/tmp/" + name + ".lock";
    const std::string target = "/tmp/" + name + ".target";
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    SingleInstanceLock lock(name);
    EXPECT_EQ(lock.Result(), SingleInstanceLock::Outcome::Failed);
    EXPECT_NE(::access(target.c_str(), F_OK), 0) << "the link's target was created";
    ::unlink(path.c_str());
}
