#include <platform/Process.h>
#include <platform/ProcessOutput.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, const std::optional<std::string>& input)
{
    ProcessOutputFiles files;
    if (input)
        files.WriteInput(*input);
    const std::string inputPath = files.input.string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string output = files.output.string();
    const std::string errors = files.errors.string();

    ProcessResult result;
    const pid_t child = fork();
    if (child < 0)
        return result;
    if (child == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = input ? open(inputPath.c_str(), O_RDONLY) : STDIN_FILENO;
        if (out < 0 || err < 0 || in < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
            dup2(in, STDIN_FILENO) < 0 ||
            (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0))
            _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = ProcessOutputFiles::Read(files.output);
    result.errors = ProcessOutputFiles::Read(files.errors);
    return result;
}

} // namespace platform
