#include <platform/Process.h>
#include <platform/ProcessOutput.h>
#include <platform/windows/WindowsApi.h>

#include <vymultitrack/Utf16Text.h>

namespace platform {

namespace {

// The C runtime's text-mode reading of a line end.
std::string TextLines(std::string bytes)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            bytes[kept++] = bytes[i];
    bytes.resize(kept);
    return bytes;
}

// One argument as the C runtime's command-line parser reads it back:
// quoted, with backslashes doubled where they precede a quote.
void AppendQuoted(std::u16string& line, const std::u16string& argument)
{
    line.push_back(u'"');
    std::size_t backslashes = 0;
    for (const char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        line.push_back(c);
    }
    line.append(backslashes * 2, u'\\');
    line.push_back(u'"');
}

HANDLE InheritableFile(const std::filesystem::path& path, bool write = true)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, const std::optional<std::string>& input)
{
    ProcessOutputFiles files;
    if (input)
        files.WriteInput(*input);
    std::u16string line;
    AppendQuoted(line, vytext::ToUtf16(program));
    for (const std::string& argument : arguments) {
        line.push_back(u' ');
        AppendQuoted(line, vytext::ToUtf16(argument));
    }
    const std::u16string directory = vytext::ToUtf16(workingDirectory);

    ProcessResult result;
    const HANDLE output = InheritableFile(files.output);
    const HANDLE errors = InheritableFile(files.errors);
    const HANDLE in = input ? InheritableFile(files.input, false) : ::GetStdHandle(STD_INPUT_HANDLE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    const bool started = output != INVALID_HANDLE_VALUE && errors != INVALID_HANDLE_VALUE && in != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(nullptr, Wide(line.data()), nullptr, nullptr, TRUE, 0, nullptr,
                                          directory.empty() ? nullptr : Wide(directory.c_str()), &startup, &process);
    if (output != INVALID_HANDLE_VALUE)
        ::CloseHandle(output);
    if (errors != INVALID_HANDLE_VALUE)
        ::CloseHandle(errors);
    if (input && in != INVALID_HANDLE_VALUE)
        ::CloseHandle(in);
    if (!started)
        return result;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.exitCode = static_cast<int>(code);
    result.output = TextLines(ProcessOutputFiles::Read(files.output));
    result.errors = TextLines(ProcessOutputFiles::Read(files.errors));
    return result;
}

} // namespace platform
