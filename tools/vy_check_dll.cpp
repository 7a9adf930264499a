// Checks a built Windows DLL without running it (the 32-bit one cannot run
// on this project's machines): its machine, that it exports exactly the
// given names, undecorated, that it imports from system DLLs only, and that
// its resources hold the licence texts (RCDATA LICENSE0..) and the string
// table (StringTable.txt) of the resource folder byte for byte.
//
//   vy_check_dll DLL i386|amd64 RESOURCE_DIR EXPORT...
//
// RESOURCE_DIR "-" expects no resources (a decoder module).
// Prints what it found and one line per fault; exits 1 on any fault.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A PE image in memory, read through relative virtual addresses.
class PeImage {
public:
    explicit PeImage(std::string bytes) : bytes_(std::move(bytes))
    {
        if (U16(0) != 0x5A4D)
            throw std::runtime_error("not an MZ image");
        const std::uint32_t pe = U32(0x3C);
        if (U32(pe) != 0x00004550)
            throw std::runtime_error("no PE header");
        machine = U16(pe + 4);
        const std::uint16_t sections = U16(pe + 6);
        const std::uint32_t optional = pe + 24;
        pe32Plus = U16(optional) == 0x20B;
        const std::uint32_t directories = optional + (pe32Plus ? 112 : 96);
        for (int i = 0; i < 3; ++i)
            directory_[i] = U32(directories + 8 * i);
        const std::uint32_t table = optional + U16(pe + 20);
        for (std::uint16_t s = 0; s < sections; ++s) {
            const std::uint32_t at = table + 40 * s;
            sections_.push_back({U32(at + 12), std::max(U32(at + 8), U32(at + 16)), U32(at + 20)});
        }
    }

    std::uint16_t machine = 0;
    bool pe32Plus = false;

    std::vector<std::string> Exports() const
    {
        std::vector<std::string> names;
        if (directory_[0] == 0)
            return names;
        const std::uint32_t at = Offset(directory_[0]);
        const std::uint32_t count = U32(at + 24);
        const std::uint32_t table = Offset(U32(at + 32));
        for (std::uint32_t i = 0; i < count; ++i)
            names.push_back(String(Offset(U32(table + 4 * i))));
        return names;
    }

    std::vector<std::string> Imports() const
    {
        std::vector<std::string> names;
        for (std::uint32_t at = directory_[1] ? Offset(directory_[1]) : 0; at && U32(at + 12) != 0; at += 20)
            names.push_back(String(Offset(U32(at + 12))));
        return names;
    }

    // Resources as "type/name" (numbers in decimal, names as text) to bytes.
    std::map<std::string, std::string> Resources() const
    {
        std::map<std::string, std::string> found;
        if (directory_[2])
            Walk(Offset(directory_[2]), Offset(directory_[2]), "", 0, found);
        return found;
    }

private:
    struct Section {
        std::uint32_t address, size, offset;
    };

    std::uint16_t U16(std::uint32_t at) const
    {
        Need(at, 2);
        return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes_[at]) |
                                          static_cast<unsigned char>(bytes_[at + 1]) << 8);
    }
    std::uint32_t U32(std::uint32_t at) const { return U16(at) | static_cast<std::uint32_t>(U16(at + 2)) << 16; }
    void Need(std::uint32_t at, std::uint32_t size) const
    {
        if (static_cast<std::uint64_t>(at) + size > bytes_.size())
            throw std::runtime_error("truncated image");
    }
    std::uint32_t Offset(std::uint32_t rva) const
    {
        for (const Section& s : sections_)
            if (rva >= s.address && rva < s.address + s.size)
                return rva - s.address + s.offset;
        throw std::runtime_error("address outside every section");
    }
    std::string String(std::uint32_t at) const
    {
        std::string text;
        for (; (Need(at, 1), bytes_[at] != 0); ++at)
            text.push_back(bytes_[at]);
        return text;
    }
    // A resource directory entry's name: its id, or its UTF-16 name (ASCII).
    std::string EntryName(std::uint32_t base, std::uint32_t name) const
    {
        if (!(name & 0x80000000u))
            return std::to_string(name);
        const std::uint32_t at = base + (name & 0x7FFFFFFFu);
        std::string text;
        for (std::uint16_t i = 0, n = U16(at); i < n; ++i)
            text.push_back(static_cast<char>(U16(at + 2 + 2 * i)));
        return text;
    }
    void Walk(std::uint32_t base, std::uint32_t at, const std::string& path, int level,
              std::map<std::string, std::string>& found) const
    {
        const std::uint32_t entries = U16(at + 12) + U16(at + 14);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint32_t entry = at + 16 + 8 * i;
            const std::uint32_t target = U32(entry + 4);
            // Type, then name; the language level is not part of the key.
            const std::string key = level == 0 ? EntryName(base, U32(entry))
                                  : level == 1 ? path + "/" + EntryName(base, U32(entry))
                                               : path;
            if (target & 0x80000000u) {
                Walk(base, base + (target & 0x7FFFFFFFu), key, level + 1, found);
            } else {
                const std::uint32_t data = base + target;
                const std::uint32_t offset = Offset(U32(data));
                Need(offset, U32(data + 4));
                found[key] = bytes_.substr(offset, U32(data + 4));
            }
        }
    }

    std::string bytes_;
    std::uint32_t directory_[3] = {};
    std::vector<Section> sections_;
};

// Strings of a string-table block (16 counted UTF-16 strings), as UTF-16.
std::u16string BlockString(const std::string& block, std::uint32_t index)
{
    std::size_t at = 0;
    const auto u16 = [&block](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(block.at(i)) |
                                     static_cast<unsigned char>(block.at(i + 1)) << 8);
    };
    for (std::uint32_t i = 0; i < index; ++i)
        at += 2 + 2 * std::size_t{u16(at)};
    std::u16string text;
    for (std::size_t i = 0, n = u16(at); i < n; ++i)
        text.push_back(u16(at + 2 + 2 * i));
    return text;
}

bool IsSystemDll(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    static const std::set<std::string> system = {"kernel32.dll", "user32.dll", "msvcrt.dll", "ucrtbase.dll",
                                                 "ole32.dll",    "oleaut32.dll", "advapi32.dll", "shell32.dll",
                                                 "ws2_32.dll"};
    return system.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0;
}

// The licence texts and the string table of `folder`, against the image's.
void CheckResources(const std::map<std::string, std::string>& resources, const std::filesystem::path& folder,
                    std::vector<std::string>& faults)
{
    for (int i = 0; std::filesystem::exists(folder / ("LICENSE" + std::to_string(i))); ++i) {
        const std::string name = "LICENSE" + std::to_string(i);
        const auto found = resources.find("10/" + name);
        std::printf("rcdata  %s  %s\n", name.c_str(), found == resources.end() ? "missing" : "present");
        if (found == resources.end() || found->second != ReadFile(folder / name))
            faults.push_back("RCDATA " + name + " is missing or differs from " + (folder / name).string());
    }
    std::istringstream table(ReadFile(folder / "StringTable.txt"));
    for (std::string line; std::getline(table, line);) {
        const std::size_t tab = line.find('\t');
        if (line.empty() || tab == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[0])))
            continue;
        const std::uint32_t id = static_cast<std::uint32_t>(std::stoul(line.substr(0, tab)));
        const std::string text = line.substr(tab + 1);
        const auto block = resources.find("6/" + std::to_string(id / 16 + 1));
        const std::u16string got = block == resources.end() ? u"" : BlockString(block->second, id % 16);
        std::printf("string  %u  %s\n", id, block == resources.end() ? "missing" : "present");
        if (got != std::u16string(text.begin(), text.end()))
            faults.push_back("string " + std::to_string(id) + " is missing or differs from \"" + text + "\"");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: vy_check_dll DLL i386|amd64 RESOURCE_DIR EXPORT...\n");
        return 2;
    }
    std::vector<std::string> faults;
    try {
        const PeImage image(ReadFile(argv[1]));
        const std::string machine = argv[2];
        const std::uint16_t expectedMachine = machine == "i386" ? 0x14C : 0x8664;
        if (image.machine != expectedMachine || image.pe32Plus != (machine == "amd64"))
            faults.push_back("machine " + std::to_string(image.machine) + ", not " + machine);

        std::vector<std::string> exports = image.Exports();
        std::vector<std::string> expected(argv + 4, argv + argc);
        std::sort(exports.begin(), exports.end());
        std::sort(expected.begin(), expected.end());
        for (const std::string& name : exports)
            std::printf("export  %s\n", name.c_str());
        if (exports != expected)
            faults.push_back("the exports are not exactly the ones asked for (undecorated)");

        for (const std::string& name : image.Imports()) {
            std::printf("import  %s\n", name.c_str());
            if (!IsSystemDll(name))
                faults.push_back("imports " + name + ", which is not a system DLL");
        }

        const std::map<std::string, std::string> resources = image.Resources();
        if (std::string(argv[3]) == "-") {
            if (!resources.empty())
                faults.push_back("has resources, and should have none");
        } else {
            CheckResources(resources, argv[3], faults);
        }
    } catch (const std::exception& e) {
        faults.push_back(e.what());
    }
    for (const std::string& fault : faults)
        std::fprintf(stderr, "%s: %s\n", argv[1], fault.c_str());
    return faults.empty() ? 0 : 1;
}
