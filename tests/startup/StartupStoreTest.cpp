#include "startup/StartupStore.h"

#include "RunKeys.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace brenvik {
namespace {

using namespace platform;
using Bytes = std::vector<std::uint8_t>;
using test::RunKey;
using test::UserRun;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes fixture(const std::string& name) {
    const char* source = std::getenv("BRENVIK_SOURCE_DIR");
    EXPECT_NE(source, nullptr);
    return bytesOf(test::readFile(std::filesystem::path(source ? source : ".") /
                                  "tests/startup/fixtures" / name));
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes int32(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

Bytes shortString(std::string_view text) {
    return concat({{static_cast<std::uint8_t>(text.size())}, bytesOf(text)});
}

// A record with the given property bytes between the header and the two terminating zeros.
Bytes record(const Bytes& properties) {
    return concat({bytesOf("TPF0"), shortString("TStartupItem"), {0}, properties, {0, 0}});
}

Bytes property(std::string_view name, const Bytes& value) {
    return concat({shortString(name), value});
}

std::unique_ptr<TStartupItem> item(const std::string& name, const std::string& command,
                                   const std::string& location, bool enabled) {
    auto made = std::make_unique<TStartupItem>();
    made->SetName(name);
    made->SetEnabled(enabled);
    made->SetCommandLine(command);
    made->SetLocation(location);
    return made;
}

Bytes recordOf(const TStartupItem& entry) {
    Bytes out;
    writeStartupRecord(out, entry);
    return out;
}

// The bytes a text property's value is written as.
Bytes textForm(const std::string& text) {
    TStartupItem entry;
    entry.SetCommandLine(text);
    const Bytes whole = recordOf(entry);
    const Bytes name = shortString("CommandLine");
    const auto at = std::search(whole.begin(), whole.end(), name.begin(), name.end());
    return Bytes(at + static_cast<std::ptrdiff_t>(name.size()), whole.end() - 2);
}

Bytes rootForm(std::int32_t root) {
    TStartupItem entry;
    entry.SetRoot(static_cast<HKEY>(root));
    const Bytes whole = recordOf(entry);
    const Bytes name = shortString("Root");
    const auto at = std::search(whole.begin(), whole.end(), name.begin(), name.end()) +
                    static_cast<std::ptrdiff_t>(name.size());
    const Bytes enabled = shortString("Enabled");
    return Bytes(at, std::search(at, whole.end(), enabled.begin(), enabled.end()));
}

TEST(StartupStoreWriterTest, DisabledEntryIsTheDocumented199ByteRecord) {
    const auto entry = item("App", "C:\\app.exe", UserRun, false);
    const Bytes expected = fixture("disabled-app.record");
    ASSERT_EQ(expected.size(), 199u);
    EXPECT_EQ(recordOf(*entry), expected);
}

TEST(StartupStoreWriterTest, WholeFileIsTheCountThenTheRecords) {
    TStartupList list;
    EXPECT_EQ(encodeStartupStore(list), fixture("empty.dat"));
    EXPECT_EQ(encodeStartupStore(list), (Bytes{0, 0, 0, 0}));
    list.Add(item("App", "C:\\app.exe", UserRun, false));
    EXPECT_EQ(encodeStartupStore(list), fixture("one-disabled.dat"));
}

TEST(StartupStoreWriterTest, EmptyTextsAreLeftOutRootAndEnabledAlwaysWritten) {
    TStartupItem entry;
    EXPECT_EQ(recordOf(entry),
              record(concat({property("Root", {0x02, 0x00}), property("Enabled", {0x08})})));
    entry.SetEnabled(true);
    EXPECT_EQ(recordOf(entry),
              record(concat({property("Root", {0x02, 0x00}), property("Enabled", {0x09})})));
}

TEST(StartupStoreWriterTest, IntegersTakeTheSmallestFormThatHoldsThem) {
    const std::vector<std::pair<std::int32_t, Bytes>> cases{
        {0, {0x02, 0x00}},
        {127, {0x02, 0x7F}},
        {-128, {0x02, 0x80}},
        {128, {0x03, 0x80, 0x00}},
        {-129, {0x03, 0x7F, 0xFF}},
        {32767, {0x03, 0xFF, 0x7F}},
        {-32768, {0x03, 0x00, 0x80}},
        {32768, {0x04, 0x00, 0x80, 0x00, 0x00}},
        {-32769, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
        {static_cast<std::int32_t>(HKEY_CURRENT_USER), {0x04, 0x01, 0x00, 0x00, 0x80}},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(rootForm(value), expected) << value;
}

TEST(StartupStoreWriterTest, TextsTakeTheFormTheirCharactersCallFor) {
    const std::string ascii255(255, 'a');
    const std::string ascii256(256, 'b');
    const std::vector<std::pair<std::string, Bytes>> cases{
        {"abc", {0x06, 0x03, 'a', 'b', 'c'}},
        {ascii255, concat({{0x06, 0xFF}, bytesOf(ascii255)})},
        {ascii256, concat({{0x0C}, int32(256), bytesOf(ascii256)})},
        // U (5 bytes) shorter than twice W (4 units): the UTF-8 form.
        {"abc\xC3\xA9", {0x14, 0x05, 0x00, 0x00, 0x00, 'a', 'b', 'c', 0xC3, 0xA9}},
        // U (2 bytes) is twice W (1 unit): the UTF-16 form.
        {"\xC3\xA9", {0x12, 0x01, 0x00, 0x00, 0x00, 0xE9, 0x00}},
        {"\xE6\x97\xA5\xE6\x9C\xAC", {0x12, 0x02, 0x00, 0x00, 0x00, 0xE5, 0x65, 0x2C, 0x67}},
        // Outside the basic plane: a surrogate pair, counted as two units.
        {"\xF0\x9F\x98\x80", {0x12, 0x02, 0x00, 0x00, 0x00, 0x3D, 0xD8, 0x00, 0xDE}},
        // Not UTF-8 at all: kept byte for byte.
        {"a\xFF", {0x14, 0x02, 0x00, 0x00, 0x00, 'a', 0xFF}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(textForm(text), expected) << text;
}

TEST(StartupStoreWriterTest, LongNonAsciiTextsUseThirtyTwoBitCounts) {
    const Bytes utf8 = textForm(std::string(300, 'x') + "\xC3\xA9");
    EXPECT_EQ(Bytes(utf8.begin(), utf8.begin() + 5), concat({{0x14}, int32(302)}));
    EXPECT_EQ(utf8.size(), 5u + 302u);
    std::string euros;
    for (int i = 0; i < 300; ++i)
        euros += "\xE2\x82\xAC";
    const Bytes wide = textForm(euros);
    EXPECT_EQ(Bytes(wide.begin(), wide.begin() + 7), concat({{0x12}, int32(300), {0xAC, 0x20}}));
    EXPECT_EQ(wide.size(), 5u + 600u);
}

TEST(StartupStoreReaderTest, RoundTripKeepsEveryEntryAndWritesTheSameBytes) {
    TStartupList list;
    list.Add(item("App", "C:\\app.exe", UserRun, false));
    list.Add(item(std::string(300, 'n'), std::string(1000, 'c'), test::MachineRun, true));
    list.Add(item("caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC --start \xF0\x9F\x98\x80",
                  "HKEY_USERS\\S-1\\Run\xC3\xA9", false));
    list.Add(item("raw\xFF\xFE", "", "", true));
    auto rootOnly = std::make_unique<TStartupItem>();
    rootOnly->SetRoot(0x12345);
    list.Add(std::move(rootOnly));
    const Bytes bytes = encodeStartupStore(list);

    TStoreContents read = decodeStartupStore(bytes);
    EXPECT_EQ(read.damage, "");
    ASSERT_EQ(read.items.size(), 5u);
    TStartupList again;
    for (std::size_t i = 0; i < read.items.size(); ++i) {
        const TStartupItem& a = *list.Items(static_cast<int>(i));
        const TStartupItem& b = *read.items[i];
        EXPECT_EQ(b.Name(), a.Name());
        EXPECT_EQ(b.Enabled(), a.Enabled());
        EXPECT_EQ(b.CommandLine(), a.CommandLine());
        EXPECT_EQ(b.Location(), a.Location());
        EXPECT_EQ(b.Root(), a.Root());
        EXPECT_EQ(b.Key(), a.Key());
        again.Add(std::move(read.items[i]));
    }
    EXPECT_EQ(encodeStartupStore(again), bytes);
}

TEST(StartupStoreReaderTest, AcceptsEveryFormTheWriterCanProduceInEachPlace) {
    TStoreContents read = decodeStartupStore(fixture("all-forms.dat"));
    EXPECT_EQ(read.damage, "");
    ASSERT_EQ(read.items.size(), 3u);
    const TStartupItem& first = *read.items[0];
    EXPECT_EQ(first.Name(), "App");
    EXPECT_FALSE(first.Enabled());
    EXPECT_EQ(first.Root(), HKEY_CURRENT_USER);

    const TStartupItem& longOne = *read.items[1];
    EXPECT_EQ(longOne.Name(), std::string(300, 'L'));
    EXPECT_EQ(longOne.Root(), 5u); // 1-byte form, no location to derive it from
    EXPECT_TRUE(longOne.Enabled());
    EXPECT_EQ(longOne.CommandLine(), "caf\xC3\xA9 start");

    const TStartupItem& wide = *read.items[2];
    EXPECT_EQ(wide.Name(), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(wide.Location(), test::MachineRun + "\xC3\xA9");
    EXPECT_EQ(wide.Root(), HKEY_LOCAL_MACHINE); // from the location, not the stored 256
    EXPECT_EQ(wide.Key(), RunKey + "\xC3\xA9");
}

TEST(StartupStoreReaderTest, LoneSurrogateBecomesTheReplacementCharacter) {
    const Bytes bytes =
        concat({int32(1),
                record(property("Name", {0x12, 0x02, 0x00, 0x00, 0x00, 'a', 0x00, 0x00, 0xD8}))});
    TStoreContents read = decodeStartupStore(bytes);
    ASSERT_EQ(read.items.size(), 1u);
    EXPECT_EQ(read.items[0]->Name(), "a\xEF\xBF\xBD");
}

TEST(StartupStoreReaderTest, RecordNeverTouchesTheRegistryWhateverItsOrder) {
    test::FakePlatformScope fake;
    test::putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    const auto before = test::runValues();
    // Location before Enabled, which the writer never does: reading must still not delete.
    const Bytes bytes =
        concat({int32(2),
                record(concat({property("Name", concat({{0x06}, shortString("App")})),
                               property("Location", concat({{0x06}, shortString(UserRun)})),
                               property("Enabled", {0x08})})),
                record(concat({property("Name", concat({{0x06}, shortString("New")})),
                               property("CommandLine", concat({{0x06}, shortString("/new")})),
                               property("Location", concat({{0x06}, shortString(UserRun)})),
                               property("Enabled", {0x09})}))});
    TStoreContents read = decodeStartupStore(bytes);
    EXPECT_EQ(read.damage, "");
    ASSERT_EQ(read.items.size(), 2u);
    EXPECT_FALSE(read.items[0]->Enabled());
    EXPECT_EQ(read.items[0]->Root(), HKEY_CURRENT_USER);
    EXPECT_EQ(test::runValues(), before);
}

struct DamageCase {
    std::string what;
    Bytes bytes;
    bool countRead;
    std::size_t kept;
    std::string message; // a part of the damage text
};

TEST(StartupStoreReaderTest, DamagedFilesKeepWhatCameBeforeTheDamage) {
    const Bytes good = fixture("disabled-app.record");
    const Bytes header = concat({bytesOf("TPF0"), shortString("TStartupItem"), {0}});
    const std::vector<DamageCase> cases{
        {"empty file", {}, false, 0, "shorter than its count"},
        {"three bytes", {1, 0, 0}, false, 0, "shorter than its count"},
        {"negative count", int32(-1), true, 0, "negative entry count"},
        {"count promises more", concat({int32(3), good, good}), true, 2, "entry 3 of 3"},
        {"absurd count", concat({int32(0x7FFFFFFF), good}), true, 1, "ends at byte"},
        {"wrong signature", concat({int32(2), good, bytesOf("TPF1"), good}), true, 1,
         "no entry signature"},
        {"unknown property",
         concat({int32(2), good, record(property("Colour", {0x06, 0x01, 'r'})), good}), true, 1,
         "unknown property 'Colour'"},
        {"event property", concat({int32(1), record(property("OnChange", {0x07, 0x01, 'x'}))}),
         true, 0, "unknown property 'OnChange'"},
        {"binary property name", concat({int32(1), record(property("\x01\xFF", {0x02, 0}))}), true,
         0, "unknown property '?\?'"},
        {"text length past the end",
         concat({int32(1), header, shortString("Name"), {0x0C}, int32(0x7FFFFFFF), bytesOf("ab")}),
         true, 0, "ends at byte"},
        {"negative text length",
         concat({int32(1), header, shortString("Name"), {0x14}, int32(-5), bytesOf("ab")}), true, 0,
         "negative length"},
        {"wide count past the end",
         concat({int32(1), header, shortString("Name"), {0x12}, int32(0x40000000), {0x41, 0}}),
         true, 0, "ends at byte"},
        {"integer where a boolean belongs",
         concat({int32(1), record(property("Enabled", {0x02, 0x01}))}), true, 0,
         "where a boolean belongs"},
        {"text where an integer belongs",
         concat({int32(1), record(property("Root", {0x06, 0x00}))}), true, 0,
         "where an integer belongs"},
        {"boolean where a text belongs", concat({int32(1), record(property("Name", {0x09}))}), true,
         0, "where a text belongs"},
        {"cut inside a record", concat({int32(1), Bytes(good.begin(), good.begin() + 120)}), true,
         0, "ends at byte"},
        {"cut before the end markers", concat({int32(1), Bytes(good.begin(), good.end() - 2)}),
         true, 0, "ends at byte"},
        {"child components", concat({int32(1), Bytes(good.begin(), good.end() - 1), {0x01}}), true,
         0, "child components"},
        {"bytes after the last entry", concat({int32(1), good, {0}}), true, 1, "unexpected bytes"},
    };
    for (const DamageCase& c : cases) {
        const TStoreContents read = decodeStartupStore(c.bytes);
        EXPECT_EQ(read.countRead, c.countRead) << c.what;
        EXPECT_EQ(read.items.size(), c.kept) << c.what;
        EXPECT_NE(read.damage.find(c.message), std::string::npos) << c.what << ": " << read.damage;
    }
}

class StartupStoreFileTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    std::filesystem::path store = home.root() / "startup.dat";

    static std::vector<std::string> names(const TStartupList& list) {
        std::vector<std::string> result;
        for (int i = 0; i < list.Count(); ++i)
            result.push_back(list.Items(i)->Name());
        return result;
    }
    static std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
};

TEST_F(StartupStoreFileTest, MissingFileLeavesTheListAsItIs) {
    TStartupList list;
    list.Add(item("Kept", "/k", UserRun, true));
    EXPECT_EQ(list.LoadFromFile(store).outcome, TStoreLoadResult::Missing);
    EXPECT_EQ(names(list), std::vector<std::string>{"Kept"});
}

TEST_F(StartupStoreFileTest, ReadingReplacesTheListInFileOrder) {
    test::writeFile(store, text(fixture("all-forms.dat")));
    TStartupList list;
    list.Add(item("Earlier", "/e", UserRun, true));
    EXPECT_EQ(list.LoadFromFile(store).outcome, TStoreLoadResult::Read);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0)->Name(), "App");
}

TEST_F(StartupStoreFileTest, DamagedFilesAreCopiedAsideWithoutOverwritingEarlierCopies) {
    const Bytes good = fixture("disabled-app.record");
    const std::string first = text(concat({int32(2), good}));
    const std::string second = text(concat({int32(3), good, bytesOf("junk")}));
    test::writeFile(store, first);
    TStartupList list;
    TStoreLoadResult result = list.LoadFromFile(store);
    EXPECT_EQ(result.outcome, TStoreLoadResult::Damaged);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(result.keptAside, home.root() / "startup.dat.bad");
    EXPECT_EQ(test::readFile(home.root() / "startup.dat.bad"), first);

    test::writeFile(store, second);
    result = list.LoadFromFile(store);
    EXPECT_EQ(result.keptAside, home.root() / "startup.dat.bad.1");
    EXPECT_EQ(test::readFile(home.root() / "startup.dat.bad"), first);
    EXPECT_EQ(test::readFile(home.root() / "startup.dat.bad.1"), second);
    EXPECT_EQ(list.Count(), 1);
}

// Neither a folder nor a pipe in the store's place is read (a pipe would block start-up).
TEST_F(StartupStoreFileTest, StoreThatIsNoFileLeavesTheListAsItIs) {
    const std::vector<std::pair<const char*, std::function<void()>>> cases{
        {"folder", [&] { std::filesystem::create_directories(store); }},
        {"pipe", [&] { ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0); }},
    };
    for (const auto& [what, make] : cases) {
        std::filesystem::remove_all(store);
        make();
        TStartupList list;
        list.Add(item("Kept", "/k", UserRun, true));
        EXPECT_EQ(list.LoadFromFile(store).outcome, TStoreLoadResult::Unreadable) << what;
        EXPECT_EQ(list.Count(), 1) << what;
    }
}

TEST_F(StartupStoreFileTest, SavingReplacesTheFileAndLeavesNoTemporaryBehind) {
    test::writeFile(store, "old contents");
    std::filesystem::permissions(store, std::filesystem::perms(0640));
    TStartupList list;
    list.Add(item("App", "C:\\app.exe", UserRun, false));
    const TStoreSaveResult result = list.SaveToFile(store);
    EXPECT_TRUE(result.saved) << result.problem;
    EXPECT_EQ(test::readFile(store), text(fixture("one-disabled.dat")));
    EXPECT_EQ(std::filesystem::status(store).permissions(), std::filesystem::perms(0640));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(home.root()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    // The lock file stays: it serialises the saves of several copies.
    EXPECT_EQ(files, (std::vector<std::string>{"startup.dat", "startup.dat.lock"}));
}

TEST_F(StartupStoreFileTest, SavingRemovesWhatKilledSavesLeftBehind) {
    for (const char* name : {".startup.dat.a1B2c3", ".startup.dat.Zz9Zz9"})
        test::writeFile(home.root() / name, "partial");
    TStartupList list;
    ASSERT_TRUE(list.SaveToFile(store).saved);
    EXPECT_FALSE(std::filesystem::exists(home.root() / ".startup.dat.a1B2c3"));
    EXPECT_FALSE(std::filesystem::exists(home.root() / ".startup.dat.Zz9Zz9"));
}

// A write that fails half-way (a full disk; here the file size limit) leaves the old file whole.
TEST_F(StartupStoreFileTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    test::writeFile(store, "old contents");
    TStartupList list;
    for (int i = 0; i < 100; ++i)
        list.Add(item("App" + std::to_string(i), "/usr/bin/app", UserRun, false));

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 512;
    setrlimit(RLIMIT_FSIZE, &small);
    const TStoreSaveResult result = list.SaveToFile(store);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result.saved);
    EXPECT_NE(result.problem.find("cannot write"), std::string::npos) << result.problem;
    EXPECT_EQ(test::readFile(store), "old contents");
    for (const auto& entry : std::filesystem::directory_iterator(home.root()))
        if (entry.path().filename() != "startup.dat.lock") {
            EXPECT_EQ(entry.path().filename().string().find("startup.dat."), std::string::npos)
                << entry.path();
        }
}

TEST_F(StartupStoreFileTest, StoreLivesInTheProgramFolderWhenWritableElseInTheDataFolder) {
    fake->fakeSystem().program = home.root() / "portable" / "brenvik";
    EXPECT_EQ(startupStorePath(), home.data() / "brenvik" / "startup.dat");
    std::filesystem::create_directories(home.root() / "portable");
    EXPECT_EQ(startupStorePath(), home.root() / "portable" / "startup.dat");
}

TEST_F(StartupStoreFileTest, SavingCreatesTheDataFolder) {
    TStartupList list;
    const std::filesystem::path path = startupStorePath();
    EXPECT_TRUE(list.SaveToFile(path).saved);
    EXPECT_EQ(test::readFile(path), std::string(4, '\0'));
}

// Two copies of the program read the same store; one saves a change, then the other saves. The
// second save takes in what the first changed unless it changed the same entry itself.
TEST_F(StartupStoreFileTest, SaveMergesWhatAnotherCopySavedMeanwhile) {
    using Change = std::function<void(TStartupList&)>;
    const auto find = [](TStartupList& list, const std::string& name) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i)->Name() == name)
                return list.Items(i);
        return static_cast<TStartupItem*>(nullptr);
    };
    const auto flag = [&](const std::string& name, bool enabled) -> Change {
        return [=](TStartupList& list) { find(list, name)->SetEnabled(enabled); };
    };
    const auto remove = [&](const std::string& name) -> Change {
        return [=](TStartupList& list) { list.Remove(find(list, name)); };
    };
    const Change nothing = [](TStartupList&) {};
    const Change addS = [](TStartupList& list) { list.Add(item("S", "/s", UserRun, false)); };
    struct Case {
        std::string what;
        Change first;  // saved first
        Change second; // saved last
        std::vector<std::pair<std::string, bool>> stored;
    };
    // Before: P active, Q and R disabled.
    const std::vector<Case> cases{
        {"other disabled", flag("P", false), nothing, {{"P", false}, {"Q", false}, {"R", false}}},
        {"other enabled", flag("Q", true), nothing, {{"P", true}, {"Q", true}, {"R", false}}},
        {"other deleted", remove("R"), nothing, {{"P", true}, {"Q", false}}},
        {"other added", addS, nothing, {{"P", true}, {"Q", false}, {"R", false}, {"S", false}}},
        {"each its own",
         flag("P", false),
         flag("Q", true),
         {{"P", false}, {"Q", true}, {"R", false}}},
        {"both changed one",
         flag("Q", true),
         flag("Q", true),
         {{"P", true}, {"Q", true}, {"R", false}}},
        {"deleted here, enabled there", flag("Q", true), remove("Q"), {{"P", true}, {"R", false}}},
        // A disabled entry has no value to be listed by again: it is never lost.
        {"deleted here, disabled there",
         flag("P", false),
         remove("P"),
         {{"Q", false}, {"R", false}, {"P", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            TStartupList before;
            before.Add(item("P", "/p", UserRun, true));
            before.Add(item("Q", "/q", UserRun, false));
            before.Add(item("R", "/r", UserRun, false));
            ASSERT_TRUE(before.SaveToFile(store).saved);
        }
        TStartupList first;
        TStartupList second;
        first.LoadFromFile(store);
        second.LoadFromFile(store);
        c.first(first);
        EXPECT_FALSE(first.SaveToFile(store).merged);
        c.second(second);
        EXPECT_TRUE(second.SaveToFile(store).merged);
        TStartupList stored;
        stored.LoadFromFile(store);
        std::vector<std::pair<std::string, bool>> entries;
        for (int i = 0; i < stored.Count(); ++i)
            entries.emplace_back(stored.Items(i)->Name(), stored.Items(i)->Enabled());
        EXPECT_EQ(entries, c.stored);
    }
}

} // namespace
} // namespace brenvik
