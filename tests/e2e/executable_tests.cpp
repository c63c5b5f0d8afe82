// What the built QXDIAG.exe carries: its manifest, its version resource, and
// imports from nothing but the system's own DLLs.

#include "driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace qx::e2e {
namespace {

std::string ManifestOf(const std::filesystem::path& exe)
{
    HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::string text;
    if (HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        if (HGLOBAL loaded = ::LoadResource(module, resource)) {
            text.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, resource));
        }
    }
    ::FreeLibrary(module);
    return text;
}

// The start tags of every element `name` ("<name a="1"/>"), namespace prefixes not included.
std::vector<std::string> StartTags(const std::string& xml, const std::string& name)
{
    std::vector<std::string> tags;
    const std::string open = "<" + name;
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        const char next = xml[at + open.size()];
        if (next != ' ' && next != '>' && next != '/' && next != '\t' && next != '\r' && next != '\n') continue;
        tags.push_back(xml.substr(at, xml.find('>', at) - at + 1));
    }
    return tags;
}

std::string Attribute(const std::string& tag, const std::string& name)
{
    for (const char space : {' ', '\t', '\r', '\n'}) {
        const std::string key = std::string(1, space) + name + "=\"";
        if (const size_t at = tag.find(key); at != std::string::npos) {
            const size_t start = at + key.size();
            return tag.substr(start, tag.find('"', start) - start);
        }
    }
    return {};
}

std::string ElementText(const std::string& xml, const std::string& name)
{
    const std::string open = "<" + name + ">";
    const size_t start = xml.find(open);
    if (start == std::string::npos) return {};
    const size_t end = xml.find("</" + name + ">", start);
    return end == std::string::npos ? std::string{} : xml.substr(start + open.size(), end - start - open.size());
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(Executable, ManifestRequestsAdministratorDpiAwarenessCommonControls6AndFiveWindowsVersions)
{
    const std::string manifest = ManifestOf(QxdiagExePath());
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST 1 in " << QxdiagExePath().string();

    const auto level = StartTags(manifest, "requestedExecutionLevel");
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(Attribute(level[0], "level"), "requireAdministrator");
    EXPECT_EQ(Attribute(level[0], "uiAccess"), "false");

    EXPECT_EQ(ElementText(manifest, "dpiAware"), "true");

    const auto identities = StartTags(manifest, "assemblyIdentity");
    const auto controls = std::find_if(identities.begin(), identities.end(), [](const std::string& tag) {
        return Attribute(tag, "name") == "Microsoft.Windows.Common-Controls";
    });
    ASSERT_NE(controls, identities.end()) << manifest;
    EXPECT_EQ(Attribute(*controls, "version"), "6.0.0.0");
    EXPECT_EQ(Attribute(*controls, "type"), "win32");
    EXPECT_EQ(Lower(Attribute(*controls, "publicKeyToken")), "6595b64144ccf1df");

    std::multiset<std::string> supported;
    for (const std::string& tag : StartTags(manifest, "supportedOS")) supported.insert(Lower(Attribute(tag, "Id")));
    EXPECT_EQ(supported, (std::multiset<std::string>{
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
                         }));
}

TEST(Executable, FixedFileVersionIs2_1_0_26611)
{
    const std::wstring exe = QxdiagExePath().wstring();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "GetFileVersionInfoSizeW failed: " << ::GetLastError();
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, block.data())) << ::GetLastError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(std::make_tuple(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)),
              std::make_tuple(WORD{2}, WORD{1}, WORD{0}, WORD{26611}));
}

// The names in the import directory of a PE32+ image; empty when it is none.
struct PeImage {
    WORD machine = 0;
    WORD subsystem = 0;
    std::vector<std::string> imports;
};

template <class T>
bool ReadAt(const std::string& bytes, size_t offset, T& out)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof out) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof out);
    return true;
}

PeImage ReadPeImage(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PeImage image;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (!ReadAt(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return image;
    const size_t ntOffset = static_cast<size_t>(dos.e_lfanew);
    if (!ReadAt(bytes, ntOffset, nt) || nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        return image;
    }
    image.machine = nt.FileHeader.Machine;
    image.subsystem = nt.OptionalHeader.Subsystem;

    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    const size_t sectionsOffset =
        ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!ReadAt(bytes, sectionsOffset + i * sizeof(IMAGE_SECTION_HEADER), sections[i])) return image;
    }
    const auto fileOffset = [&](DWORD rva) -> size_t {
        for (const auto& s : sections) {
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return std::string::npos;
    };

    const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    if (!importRva) return image;
    for (size_t at = fileOffset(importRva);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor{};
        if (!ReadAt(bytes, at, descriptor) || descriptor.Name == 0) break;
        const size_t name = fileOffset(descriptor.Name);
        if (name >= bytes.size()) break;
        image.imports.emplace_back(bytes.c_str() + name);
    }
    return image;
}

TEST(Executable, Is64BitGuiImportingOnlySystemDlls)
{
    const PeImage image = ReadPeImage(QxdiagExePath());
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(image.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    ASSERT_FALSE(image.imports.empty());

    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    for (const std::string& dll : image.imports) {
        SCOPED_TRACE(dll);
        const std::string name = Lower(dll);
        for (const char* runtime : {"libstdc++", "libgcc", "libwinpthread"}) {
            EXPECT_EQ(name.find(runtime), std::string::npos) << "the compiler's runtime must be linked in";
        }
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(system) / name)) << "not a DLL of the system";
    }
}

}  // namespace
}  // namespace qx::e2e
