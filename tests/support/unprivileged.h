// Running a check as a user without special rights. Tests of refused permissions need one: CI
// runs as root, who may read and write whatever the file modes say. Linux only.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kvarlo::testing {

// The user and group "nobody" of Debian.
inline constexpr uid_t nobody = 65534;

// Runs `check` in a forked child, as nobody when this process is root and as this user
// otherwise, and returns what it returned (its exit status); -1 when the child could not drop
// its rights or did not end normally. The child ends with _exit: it runs no test teardown.
template <typename Check>
int runUnprivileged(Check check) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
            ::_exit(255);
        }
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

}  // namespace kvarlo::testing
