// measure: runs a command several times with its standard output sent to a
// file and prints the median wall time and the largest peak memory (RSS) of
// the runs, for comparing whole programs on the same input.
//
//   measure --runs N --stdout FILE -- COMMAND [ARGS...]
//
// Output, one line: "<median seconds> <peak RSS in KiB> <exit code>".

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
    int Usage()
    {
        std::fprintf(stderr, "usage: measure --runs N --stdout FILE -- COMMAND [ARGS...]\n");
        return 2;
    }
}

int main(int argc, char** argv)
{
    int runs = 5;
    std::string stdoutPath = "/dev/null";
    int commandStart = -1;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--stdout") == 0 && i + 1 < argc)
            stdoutPath = argv[++i];
        else if (std::strcmp(argv[i], "--") == 0 && i + 1 < argc)
        {
            commandStart = i + 1;
            break;
        }
        else
            return Usage();
    }
    if (commandStart < 0)
        return Usage();

    std::vector<double> seconds;
    long peakKiB = 0;
    int lastStatus = 0;
    for (int run = 0; run < runs; ++run)
    {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child < 0)
        {
            std::perror("fork");
            return 1;
        }
        if (child == 0)
        {
            const int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
                _exit(126);
            close(fd);
            execvp(argv[commandStart], argv + commandStart);
            _exit(127);
        }
        int status = 0;
        rusage usage {};
        if (wait4(child, &status, 0, &usage) < 0)
        {
            std::perror("wait4");
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
        lastStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.6f %ld %d\n", seconds[seconds.size() / 2], peakKiB, lastStatus);
    return 0;
}
