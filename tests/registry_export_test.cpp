// The registry readers and the registry export: the exact bytes of the text
// files written from real keys, a generated tree read back value by value, the
// collector's four exports with their run-log entries, and a whole collection
// with the tool's own plan.

#include "collect/collection_run.h"
#include "collect/run_log.h"
#include "collectors/registry_export.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/registry_values.h"
#include "files_fixture.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::Bytes;
using test::DaclBytes;
using test::DwordBytes;
using test::EnumeratedSubkeyNames;
using test::EnumeratedValueNames;
using test::ReadBytes;
using test::SetDword;
using test::SetString;
using test::SetValue;
using test::StringBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kTime = "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d";
const std::string kExportEntries = kTime + ": export registry >> orvek\\.reg\r\n" + kTime +
                                   ": export registry >> poricies_orvek\\.reg\r\n" + kTime +
                                   ": export registry >> wow6432node_orvek\\.reg\r\n" + kTime +
                                   ": export registry >> wow6432node_poricies_orvek\\.reg\r\n";

std::string Narrow(std::wstring_view ascii) { return std::string(ascii.begin(), ascii.end()); }

// Code page 932 back to wide text, to read a generated tree's file.
std::wstring From932(const std::string& bytes)
{
    if (bytes.empty()) return {};
    const int length = ::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// The file's bytes of a section header.
std::string Header(const std::wstring& keyPath) { return "\r\n[" + Narrow(keyPath) + "]\r\n"; }

class RegistryReadersTest : public test::RegistryTest {};

TEST_F(RegistryReadersTest, ListsFollowTheRegistryAndMissingKeysGiveNothing)
{
    const std::wstring key = TestPath(L"Lists");
    for (const wchar_t* name : {L"zeta", L"Alpha", L"mid", L""}) SetString(key, name, L"x");
    for (const wchar_t* name : {L"z", L"B", L"a"}) test::CreateKey(key + L"\\" + name);
    // A name as long as a value name can be.
    const std::wstring longName(16383, L'n');
    SetString(key, longName, L"long");

    EXPECT_EQ(ListValueNames(key), EnumeratedValueNames(key));
    EXPECT_EQ(ListValueNames(key).size(), 5u) << "the unnamed default value is listed as the empty name";
    EXPECT_EQ(ListSubkeyNames(key), EnumeratedSubkeyNames(key));
    EXPECT_EQ(ListSubkeyNames(key).size(), 3u);
    EXPECT_TRUE(ListSubkeyNames(key + L"\\a").empty());
    EXPECT_TRUE(ListValueNames(key + L"\\a").empty());
    EXPECT_EQ(RegistryValueText(key, longName, L"d"), L"long");

    EXPECT_TRUE(ListValueNames(TestPath(L"Missing")).empty());
    EXPECT_TRUE(ListSubkeyNames(TestPath(L"Missing")).empty());
    EXPECT_EQ(RegistryValueText(TestPath(L"Missing"), L"x", L"default"), L"default");
    EXPECT_EQ(RegistryValueText(key, L"missing", L"default"), L"default");
    EXPECT_EQ(RegistryValueText(key, L"zeta", L"default"), L"x");
}

TEST_F(RegistryReadersTest, StringValueIsBoundedAndNeverExpanded)
{
    const std::wstring key = TestPath(L"Strings");
    const std::wstring longest(259, L'p');
    SetString(key, L"plain", L"C:\\Server");
    SetValue(key, L"expand", REG_EXPAND_SZ, StringBytes(L"%SystemRoot%\\x"));
    SetValue(key, L"empty", REG_SZ, {});
    SetString(key, L"longest", longest);
    SetString(key, L"tooLong", longest + L"p");
    SetValue(key, L"unterminated", REG_SZ, StringBytes(L"abc", false));
    // The text fits, but the data does not fit the buffer of 260 characters.
    Bytes padded = StringBytes(L"abc");
    padded.resize(261 * sizeof(wchar_t), 0);
    SetValue(key, L"padded", REG_SZ, padded);
    SetDword(key, L"number", 1);

    EXPECT_EQ(ReadLocalMachineString(key, L"plain", MAX_PATH), L"C:\\Server");
    EXPECT_EQ(ReadLocalMachineString(key, L"expand", MAX_PATH), L"%SystemRoot%\\x");
    EXPECT_EQ(ReadLocalMachineString(key, L"empty", MAX_PATH), L"");
    EXPECT_EQ(ReadLocalMachineString(key, L"longest", MAX_PATH), longest);
    EXPECT_EQ(ReadLocalMachineString(key, L"unterminated", MAX_PATH), L"abc");
    EXPECT_EQ(ReadLocalMachineString(key, L"tooLong", MAX_PATH), std::nullopt);
    EXPECT_EQ(ReadLocalMachineString(key, L"padded", MAX_PATH), std::nullopt);
    EXPECT_EQ(ReadLocalMachineString(key, L"number", MAX_PATH), std::nullopt);
    EXPECT_EQ(ReadLocalMachineString(key, L"missing", MAX_PATH), std::nullopt);
    EXPECT_EQ(ReadLocalMachineString(TestPath(L"Missing"), L"plain", MAX_PATH), std::nullopt);
}

struct ValueRow {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    // The line in the file, in code page 932, without CR LF.
    std::string line;
};

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(i * 7 + 3);
    return bytes;
}

std::string HexOf(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (BYTE byte : bytes) text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

std::wstring LongText(size_t length)
{
    std::wstring text;
    for (size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
    return text;
}

TEST_F(RegistryReadersTest, DumpWritesEachValueTypeAndMasksSecrets)
{
    const Bytes binary10k = Pattern(10 * 1024);
    const std::wstring text20k = LongText(20 * 1024);
    Bytes oddString = StringBytes(L"abc", false);
    oddString.push_back('d');

    const std::vector<ValueRow> rows = {
        {L"Password", REG_SZ, StringBytes(L"hunter2"), "Password=****"},
        {L"PASSWORD", REG_SZ, StringBytes(L"hunter2"), "PASSWORD=****"},
        {L"UserPassPhrase", REG_SZ, StringBytes(L"x"), "UserPassPhrase=****"},
        {L"Bypass", REG_SZ, StringBytes(L"x"), "Bypass=****"},
        {L"Seed", REG_BINARY, Bytes{1, 2}, "Seed=****"},
        {L"mySEEDvalue", REG_SZ, StringBytes(L"x"), "mySEEDvalue=****"},
        {L"Password", REG_DWORD, DwordBytes(7), "Password=****"},
        {L"Minus", REG_DWORD, DwordBytes(0xFFFFFFFF), "Minus=-1"},
        {L"Lowest", REG_DWORD, DwordBytes(0x80000000), "Lowest=-2147483648"},
        {L"Port", REG_DWORD, DwordBytes(443), "Port=443"},
        {L"ShortDword", REG_DWORD, Bytes{1, 0}, "ShortDword="},
        {L"Blob", REG_BINARY, Bytes{0x0A, 0xFF}, "Blob=0AFF"},
        {L"EmptyBlob", REG_BINARY, {}, "EmptyBlob="},
        {L"Multi", REG_MULTI_SZ, StringBytes(std::wstring(L"a\0b\0", 4)), "Multi="},
        {L"Expand", REG_EXPAND_SZ, StringBytes(L"%TEMP%\\x"), "Expand="},
        {L"Quad", REG_QWORD, Bytes(8, 1), "Quad="},
        {L"None", REG_NONE, Bytes{1}, "None="},
        {L"BigEndian", REG_DWORD_BIG_ENDIAN, DwordBytes(1), "BigEndian="},
        {L"a=b]", REG_SZ, StringBytes(L"x=[y]"), "a=b]=x=[y]"},
        {L"表示名", REG_SZ, StringBytes(L"設定値"), "\x95\x5C\x8E\xA6\x96\xBC=\x90\xDD\x92\xE8\x92\x6C"},
        // Japanese Windows' forms of the six JIS characters; "?" for ¥ and é, never a backslash or e.
        {L"価格\u00a3\u00a2", REG_SZ, StringBytes(L"\u00a5" L"100\u301c\u2212\u2016\u00ac caf\u00e9"),
         "\x89\xBF\x8A\x69\x81\x92\x81\x91=?100\x81\x60\x81\x7C\x81\x61\x81\xCA caf?"},
        {L"Pass\u00e9\u301c", REG_SZ, StringBytes(L"x"), "Pass?\x81\x60=****"},
        {L"EmptyString", REG_SZ, {}, "EmptyString="},
        {L"Unterminated", REG_SZ, StringBytes(L"abc", false), "Unterminated=abc"},
        {L"HalfCharacter", REG_SZ, oddString, "HalfCharacter=abc"},
        {L"EmbeddedZero", REG_SZ, StringBytes(std::wstring(L"ab\0cd", 5)), "EmbeddedZero=ab"},
        {L"Long", REG_SZ, StringBytes(text20k), "Long=" + Narrow(text20k)},
        {L"LongBlob", REG_BINARY, binary10k, "LongBlob=" + HexOf(binary10k)},
    };
    TempFolder folder;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ValueRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        // One key and one file per row: names differing in case alone are one value.
        const std::wstring key = TestPath(L"row" + std::to_wstring(i));
        SetValue(key, row.name, row.type, row.data);
        const std::wstring file = folder / (L"row" + std::to_wstring(i) + L".reg");
        DumpRegistryKey(key, file);
        EXPECT_EQ(ReadBytes(file), Header(key) + row.line + "\r\n");
    }
}

TEST_F(RegistryReadersTest, DumpIsDepthFirstWithValuesBeforeSubkeysInRegistryOrder)
{
    const std::wstring root = TestPath(L"Tree");
    // Inserted out of name order; the file follows the registry's enumeration.
    for (const wchar_t* name : {L"zz", L"aa", L"mm"}) SetString(root, name, name);
    SetString(root + L"\\Sub2\\Deep", L"d", L"1");
    test::CreateKey(root + L"\\Sub2\\Empty");
    SetValue(root + L"\\Sub1", L"", REG_SZ, StringBytes(L"default only"));
    SetString(root + L"\\Sub1\\Leaf", L"leaf", L"2");

    std::string expected = Header(root);
    for (const std::wstring& name : EnumeratedValueNames(root)) expected += Narrow(name) + "=" + Narrow(name) + "\r\n";
    const std::map<std::wstring, std::string> subtree = {
        // Only a default value: the header and no line under it.
        {L"Sub1", Header(root + L"\\Sub1") + Header(root + L"\\Sub1\\Leaf") + "leaf=2\r\n"},
        // No values: no header of its own, the full path below; nothing for the empty key.
        {L"Sub2", Header(root + L"\\Sub2\\Deep") + "d=1\r\n"},
    };
    const std::vector<std::wstring> subkeys = EnumeratedSubkeyNames(root);
    ASSERT_EQ(subkeys.size(), 2u);
    for (const std::wstring& subkey : subkeys) expected += subtree.at(subkey);

    TempFolder folder;
    DumpRegistryKey(root, folder / L"tree.reg");
    EXPECT_EQ(ReadBytes(folder / L"tree.reg"), expected);

    // Appends to what is there; a key without any value in its tree writes nothing.
    DumpRegistryKey(root + L"\\Sub2\\Empty", folder / L"tree.reg");
    DumpRegistryKey(TestPath(L"Missing"), folder / L"tree.reg");
    DumpRegistryKey(TestPath(L"Missing"), folder / L"missing.reg");
    EXPECT_EQ(ReadBytes(folder / L"tree.reg"), expected);
    bool exists = true;
    ReadBytes(folder / L"missing.reg", &exists);
    EXPECT_FALSE(exists);
}

// A tree of random keys, values and types, as the registry holds it, and the
// text each value must come out as.
class RandomTree {
public:
    explicit RandomTree(unsigned seed) : random_(seed) {}

    void Build(const std::wstring& path, int depth)
    {
        std::map<std::wstring, std::wstring>& lines = keys_[path];
        const int values = Pick(0, 5);
        for (int i = 0; i < values; ++i) AddValue(path, lines);
        if (Pick(0, 4) == 0) {
            SetString(path, L"", L"unnamed");
            lines.emplace(L"", L"");
        }
        if (lines.empty()) keys_.erase(path);
        const int subkeys = depth < 3 ? Pick(0, 3) : 0;
        for (int i = 0; i < subkeys; ++i) {
            const std::wstring name = OneOf({L"k", L"鍵", L"k]", L"K="}) + std::to_wstring(++counter_);
            if (Pick(0, 3) == 0) test::CreateKey(path + L"\\" + name);  // may stay without values
            Build(path + L"\\" + name, depth + 1);
        }
    }

    // Key path -> value name -> expected text after "name=" (empty name: the default value).
    const std::map<std::wstring, std::map<std::wstring, std::wstring>>& Keys() const { return keys_; }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::wstring OneOf(std::initializer_list<const wchar_t*> choices)
    {
        return *(choices.begin() + Pick(0, static_cast<int>(choices.size()) - 1));
    }
    std::wstring RandomText()
    {
        static const std::wstring alphabet = L" !\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~設定値テストあア漢字";
        std::wstring text;
        for (int i = Pick(0, 40); i > 0; --i) text += alphabet[static_cast<size_t>(Pick(0, int(alphabet.size()) - 1))];
        return text;
    }

    void AddValue(const std::wstring& path, std::map<std::wstring, std::wstring>& lines)
    {
        std::wstring name = OneOf({L"v", L"値", L"a=b", L"x]"});
        const bool secret = Pick(0, 3) == 0;
        if (secret) name += OneOf({L"pass", L"PASS", L"Pass", L"pAsS", L"seed", L"SEED", L"Seed", L"sEeD"});
        name += std::to_wstring(++counter_);

        std::wstring text;
        switch (Pick(0, 7)) {
        case 0:
        case 1: {
            text = RandomText();
            SetString(path, name, text);
            break;
        }
        case 2: {
            const DWORD number = std::uniform_int_distribution<DWORD>()(random_);
            SetDword(path, name, number);
            text = std::to_wstring(static_cast<int32_t>(number));
            break;
        }
        case 3: {
            Bytes data(static_cast<size_t>(Pick(0, 24)));
            for (BYTE& byte : data) byte = static_cast<BYTE>(Pick(0, 255));
            SetValue(path, name, REG_BINARY, data);
            const std::string hex = HexOf(data);
            text.assign(hex.begin(), hex.end());
            break;
        }
        case 4:
            SetValue(path, name, REG_EXPAND_SZ, StringBytes(RandomText()));
            break;
        case 5:
            SetValue(path, name, REG_MULTI_SZ, StringBytes(RandomText() + L'\0' + RandomText() + L'\0'));
            break;
        case 6:
            SetValue(path, name, REG_QWORD, Bytes(8, 0x11));
            break;
        default:
            SetValue(path, name, REG_NONE, {});
            break;
        }
        lines.emplace(name, secret ? L"****" : text);
    }

    std::mt19937 random_;
    int counter_ = 0;
    std::map<std::wstring, std::map<std::wstring, std::wstring>> keys_;
};

// The sections of a registry text file: key path -> its lines in file order.
std::map<std::wstring, std::vector<std::wstring>> ReadSections(const std::wstring& text)
{
    std::map<std::wstring, std::vector<std::wstring>> sections;
    std::vector<std::wstring>* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            ADD_FAILURE() << "the last line has no CR LF";
            break;
        }
        const std::wstring line = text.substr(start, end - start);
        start = end + 2;
        if (!line.empty()) {
            if (current) current->push_back(line);
            else ADD_FAILURE() << "a line before the first header";
            continue;
        }
        // An empty line opens a section: the next line is "[path]".
        const size_t headerEnd = text.find(L"\r\n", start);
        const std::wstring header = text.substr(start, headerEnd - start);
        start = headerEnd + 2;
        EXPECT_TRUE(header.size() > 2 && header.front() == L'[' && header.back() == L']') << "header";
        const std::wstring path = header.substr(1, header.size() - 2);
        EXPECT_EQ(sections.count(path), 0u) << "a second section for one key";
        current = &sections[path];
    }
    return sections;
}

TEST_F(RegistryReadersTest, GeneratedTreeReadsBackValueForValue)
{
    for (unsigned seed : {1u, 20240624u, 77u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const std::wstring root = TestPath(L"Random" + std::to_wstring(seed));
        RandomTree tree(seed);
        tree.Build(root, 0);

        TempFolder folder;
        DumpRegistryKey(root, folder / L"random.reg");
        const auto sections = ReadSections(From932(ReadBytes(folder / L"random.reg")));

        ASSERT_EQ(sections.size(), tree.Keys().size()) << "one section per key with values";
        for (const auto& [path, values] : tree.Keys()) {
            ASSERT_EQ(sections.count(path), 1u);
            std::vector<std::wstring> expected;
            for (const std::wstring& name : EnumeratedValueNames(path)) {
                if (!name.empty()) expected.push_back(name + L"=" + values.at(name));
            }
            EXPECT_EQ(sections.at(path), expected);
        }
    }
}

// A progress that records what the collector reports, in order.
class RecordingProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return cancel; }
    void SetStepTitle(const std::wstring& text) override { reported.push_back(L"title " + text); }
    void SetStatus(const std::wstring& text) override { reported.push_back(L"status " + text); }
    void SetProgress(int position) override { reported.push_back(L"bar " + std::to_wstring(position)); }
    // Slept as the progress dialog sleeps them: the tests time the closing pauses.
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }

    CollectRequest request;
    bool cancel = false;
    std::vector<std::wstring> reported;
};

// The collector against the product's keys, which the fake machine holds: they
// are moved aside for each test and put back afterwards.
class ExportRegistryTest : public test::RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        progress.request.OutputFolder = folder.Path();
        ::CreateDirectoryW((folder / L"registry").c_str(), nullptr);
    }

    std::string RegistryFile(const wchar_t* name, bool* exists = nullptr)
    {
        return ReadBytes(folder / (std::wstring(L"registry\\") + name), exists);
    }
    // Runs the collector, which must end with its pause and go on.
    void Run()
    {
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_TRUE(ExportRegistry(progress, RunLogPath(folder.Path())));
        // The tick count moves in steps of about 16 ms: allow one step less.
        EXPECT_GE(::GetTickCount64() - start + 32u, 1000u) << "the closing pause";
        EXPECT_EQ(progress.reported, (std::vector<std::wstring>{L"title レジストリ情報の取得:", L"bar 0", L"bar 100",
                                                                L"status レジストリ情報を取得しています。"}));
    }
    // The run log: the four entries of a 64-bit machine, or `entries`, between
    // `before` and `after` (patterns).
    void ExpectRunLogEntries(const std::string& before = "", const std::string& after = "",
                             const std::string& entries = kExportEntries)
    {
        const std::string log = ReadBytes(RunLogPath(folder.Path()));
        EXPECT_TRUE(std::regex_match(log, std::regex(before + entries + after))) << log;
    }

    test::MovedAside productKeys{{L"SOFTWARE\\Orvek", L"SOFTWARE\\Policies\\Orvek", L"SOFTWARE\\Wow6432Node\\Orvek",
                                  L"SOFTWARE\\Wow6432Node\\Policies\\Orvek"}};
    TempFolder folder;
    RecordingProgress progress;
};

TEST_F(ExportRegistryTest, WritesTheFourKeysOfThis64BitMachineOverEarlierFiles)
{
    SetString(L"SOFTWARE\\Orvek\\TOVRA", L"LogPath", L"C:\\Log");
    SetDword(L"SOFTWARE\\Orvek\\TOVRA", L"LogLevel", 3);
    SetString(L"SOFTWARE\\Orvek\\TOVRA\\Agent", L"AdminPassword", L"not for export");
    SetDword(L"SOFTWARE\\Policies\\Orvek\\TOVRA", L"DisableCache", 1);
    SetString(L"SOFTWARE\\Wow6432Node\\Orvek\\TOVRA", L"Legacy32", L"yes");
    SetValue(L"SOFTWARE\\Wow6432Node\\Policies\\Orvek", L"Seed", REG_BINARY, {1});
    // Left by an earlier run into the same folder: replaced, not appended to.
    ASSERT_TRUE(WriteBytes(folder / L"registry\\orvek.reg", "earlier run\r\n"));
    // The run-log entries go on after what the log holds.
    AppendRunLogLine(RunLogPath(folder.Path()), L"before");

    Run();

    std::string tovra = Header(L"SOFTWARE\\Orvek\\TOVRA");
    for (const std::wstring& name : EnumeratedValueNames(L"SOFTWARE\\Orvek\\TOVRA")) {
        tovra += name == L"LogLevel" ? "LogLevel=3\r\n" : "LogPath=C:\\Log\r\n";
    }
    EXPECT_EQ(RegistryFile(L"orvek.reg"), tovra + Header(L"SOFTWARE\\Orvek\\TOVRA\\Agent") + "AdminPassword=****\r\n");
    EXPECT_EQ(RegistryFile(L"wow6432node_orvek.reg"),
              Header(L"SOFTWARE\\Wow6432Node\\Orvek\\TOVRA") + "Legacy32=yes\r\n");
    // Both views share one Policies key (as on Windows 7 and later): the same
    // values under the path each export asked for.
    const auto policies = [](const std::wstring& key) {
        return Header(key) + "Seed=****\r\n" + Header(key + L"\\TOVRA") + "DisableCache=1\r\n";
    };
    EXPECT_EQ(RegistryFile(L"poricies_orvek.reg"), policies(L"SOFTWARE\\Policies\\Orvek"));
    EXPECT_EQ(RegistryFile(L"wow6432node_poricies_orvek.reg"), policies(L"SOFTWARE\\Wow6432Node\\Policies\\Orvek"));

    ExpectRunLogEntries("before\r\n");

    // Each file gets open access, which a new file does not have of itself.
    ASSERT_TRUE(WriteBytes(folder / L"new.txt", "new"));
    ASSERT_TRUE(WriteBytes(folder / L"open.txt", "open"));
    ApplyOpenAccess(folder / L"open.txt");
    ASSERT_NE(DaclBytes(folder / L"new.txt"), DaclBytes(folder / L"open.txt"));
    for (const wchar_t* name :
         {L"orvek.reg", L"poricies_orvek.reg", L"wow6432node_orvek.reg", L"wow6432node_poricies_orvek.reg"}) {
        EXPECT_EQ(DaclBytes(folder / (std::wstring(L"registry\\") + name)), DaclBytes(folder / L"open.txt"))
            << Narrow(name);
    }
}

// The text as a regular expression that matches only itself.
std::string Literally(const std::string& text)
{
    std::string pattern;
    for (char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

TEST_F(ExportRegistryTest, AnOldFileThatCannotBeDeletedIsNeitherWrittenNorOpenedAndLoggedAsFailed)
{
    SetString(L"SOFTWARE\\Orvek\\TOVRA", L"LogPath", L"C:\\Log");
    SetDword(L"SOFTWARE\\Policies\\Orvek\\TOVRA", L"DisableCache", 1);
    const std::wstring old = folder / L"registry\\orvek.reg";
    enum class Kept { ReadOnly, OpenElsewhere, Folder };
    const struct {
        const char* What;
        Kept How;
    } cases[] = {
        {"a read-only file", Kept::ReadOnly},
        {"a file another program holds open without delete sharing", Kept::OpenElsewhere},
        {"a folder of that name", Kept::Folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        ::DeleteFileW(RunLogPath(folder.Path()).c_str());
        progress.reported.clear();
        UniqueHandleFile holder;
        if (c.How == Kept::Folder) {
            ASSERT_TRUE(::CreateDirectoryW(old.c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteBytes(old, "earlier run\r\n"));
        }
        if (c.How == Kept::ReadOnly) {
            ASSERT_TRUE(::SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.How == Kept::OpenElsewhere) {
            holder.reset(::CreateFileW(old.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder);
        }
        // The output folder without what the run writes anew.
        const auto others = [this] {
            std::map<std::wstring, std::string> entries = test::Snapshot(folder.Path());
            for (const wchar_t* name : {L"QXDIAG.log", L"registry\\poricies_orvek.reg", L"registry\\wow6432node_orvek.reg",
                                        L"registry\\wow6432node_poricies_orvek.reg"})
                entries.erase(name);
            return entries;
        };
        const std::map<std::wstring, std::string> kept = others();

        Run();

        holder.reset();
        EXPECT_EQ(others(), kept) << "the old file as it was: bytes and security";
        EXPECT_EQ(RegistryFile(L"poricies_orvek.reg"),
                  Header(L"SOFTWARE\\Policies\\Orvek\\TOVRA") + "DisableCache=1\r\n")
            << "the other exports go on";
        const std::string failed =
            kTime + Literally(": export registry error. SOFTWARE\\Orvek >> " + Narrow(old) + "\r\n");
        ExpectRunLogEntries("", "", failed + kExportEntries.substr(kExportEntries.find("\r\n") + 2));

        ::SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(old.c_str());
        ::RemoveDirectoryW(old.c_str());
    }
}

TEST_F(ExportRegistryTest, MissingKeysLeaveNoFilesButTheirRunLogEntries)
{
    // Keys without any value in their tree are as good as missing.
    test::CreateKey(L"SOFTWARE\\Orvek\\TOVRA\\Empty");
    ASSERT_TRUE(WriteBytes(folder / L"registry\\poricies_orvek.reg", "earlier run\r\n"));

    Run();

    for (const wchar_t* name :
         {L"orvek.reg", L"poricies_orvek.reg", L"wow6432node_orvek.reg", L"wow6432node_poricies_orvek.reg"}) {
        bool exists = true;
        RegistryFile(name, &exists);
        EXPECT_FALSE(exists) << Narrow(name);
    }
    ExpectRunLogEntries();
}

TEST_F(ExportRegistryTest, DefaultPlanLogsOsVersionAndSoftwareFirstThenTheRegistry)
{
    constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    test::MovedAside uninstall{{kUninstall}};
    SetString(std::wstring(kUninstall) + L"\\{A1}", L"Publisher", L"Orvek, Inc.");
    SetString(std::wstring(kUninstall) + L"\\{A1}", L"DisplayName", L"TOVRA Agent");
    SetString(L"SOFTWARE\\Orvek\\TOVRA", L"Version", L"5.2.1");
    CollectRequest& request = progress.request;
    request.WantEventLogs = request.WantDebugLogs = request.WantCrashDumps = request.WantVorlixFiles = 0;
    request.WantRegistry = 1;

    EXPECT_EQ(RunCollection(progress, DefaultCollectionPlan()), RunOutcome::Completed);

    const std::string separator = std::string(75, '-') + "\r\n";
    ExpectRunLogEntries(separator + kTime + ": os version:\r\n\tmajor:10, minor:0, build:\\d+\r\n" + kTime +
                        ": install software:\r\n" + kTime + ": \tTOVRA Agent\r\n",
                        separator);
    EXPECT_EQ(ReadBytes(folder / L"registry\\orvek.reg"), Header(L"SOFTWARE\\Orvek\\TOVRA") + "Version=5.2.1\r\n");
}

}  // namespace
}  // namespace qx
