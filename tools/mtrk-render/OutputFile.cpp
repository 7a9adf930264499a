#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <random>

namespace mtrk {

bool OutputFile::Fail(std::string& error)
{
    const int code = errno;
    error = "cannot write ";
    error.append(target_.string()).append(": ").append(code ? std::strerror(code) : "write failed");
    Abandon();
    return false;
}

bool OutputFile::Open(const std::filesystem::path& target, std::string& error)
{
    Abandon();
    target_ = target;
    std::error_code ignored;
    if (std::filesystem::is_directory(target, ignored)) {
        error = "cannot write ";
        error.append(target.string()).append(": it is a folder");
        return false;
    }
    std::random_device random;
    std::string name = ".";
    name.append(target.filename().string()).append(".part-").append(std::to_string(random()));
    temporary_ = target.parent_path() / name;
    errno = 0;
    file_ = std::fopen(temporary_.string().c_str(), "wb");
    if (!file_) {
        temporary_.clear();
        return Fail(error);
    }
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size, std::string& error)
{
    errno = 0;
    if (!file_ || (size > 0 && std::fwrite(data, 1, size, file_) != size))
        return Fail(error);
    return true;
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size, std::string& error)
{
    errno = 0;
    if (!file_ || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(data, 1, size, file_) != size || std::fseek(file_, 0, SEEK_END) != 0)
        return Fail(error);
    return true;
}

bool OutputFile::Commit(std::string& error)
{
    errno = 0;
    if (!file_)
        return Fail(error);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed)
        return Fail(error);
    std::error_code renameError;
    std::filesystem::rename(temporary_, target_, renameError);
    if (renameError) {
        error = "cannot write ";
        error.append(target_.string()).append(": ").append(renameError.message());
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Abandon()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
    temporary_.clear();
}

} // namespace mtrk
