// "Product ID:" shows an identifier derived from the machine id, never the machine id itself.

#include "platform/Sha256.h"
#include "platform/linux/OsRelease.h"
#include "support/TempHome.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik {
namespace {

using platform::Sha256Digest;

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string toHex(const Sha256Digest& digest) {
    std::string text;
    char pair[3];
    for (const std::uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

TEST(Sha256, FipsVectors) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // 56 to 64 bytes: the length no longer fits in the message's own block.
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, digest] : cases)
        EXPECT_EQ(toHex(platform::sha256(bytes(message))), digest) << message.size();
}

TEST(HmacSha256, Rfc4231Vectors) {
    struct Case {
        std::vector<std::uint8_t> key, data;
        const char* mac;
    };
    const Case cases[] = {
        {std::vector<std::uint8_t>(20, 0x0b), bytes("Hi There"),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {bytes("Jefe"), bytes("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {std::vector<std::uint8_t>(20, 0xaa), std::vector<std::uint8_t>(50, 0xdd),
         "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        // A key longer than a block is hashed first.
        {std::vector<std::uint8_t>(131, 0xaa),
         bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toHex(platform::hmacSha256(c.key, c.data)), c.mac);
}

TEST(AppSpecificId, DerivesAVersion4IdFromTheMachineId) {
    const std::string app = "17fc16fb1fcb4087a3cc4decfa144918";
    // Expected values from an independent HMAC implementation, for made-up machines.
    EXPECT_EQ(platform::appSpecificId("0123456789abcdef0123456789abcdef", app),
              "b41dd8a500894995a8d613908d8b6a61");
    EXPECT_EQ(platform::appSpecificId("5F2B8A0C9E4D4C7A8B1E2D3F4A5B6C7D", app),
              "57e00f0d174d48ac8f9bf56f7abe7c48");
    for (const char* bad : {"", "0123456789abcdef", "0123456789abcdef0123456789abcdeg"})
        EXPECT_EQ(platform::appSpecificId(bad, app), "") << bad;
}

// What systemd derives for this machine and this program's application id.
std::string systemdAppSpecificId() {
    const std::string command =
        "systemd-id128 machine-id --app-specific=" + std::string(platform::BrenvikAppId) +
        " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    std::string text = read ? line : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

TEST(AppSpecificId, AgreesWithSystemdOnThisMachine) {
    std::ifstream file("/etc/machine-id");
    std::string machineId;
    if (!std::getline(file, machineId) || machineId.size() != 32)
        GTEST_SKIP() << "this machine has no machine id";
    const std::string systemd = systemdAppSpecificId();
    if (systemd.empty())
        GTEST_SKIP() << "systemd-id128 is not installed";
    const std::string derived = platform::appSpecificId(machineId, platform::BrenvikAppId);
    EXPECT_EQ(derived, systemd);
    EXPECT_NE(derived, machineId);
}

TEST(AppSpecificId, TheMachineIdFileCanBeReplacedForPictures) {
    test::TempHome home;
    test::writeFile(home.root() / "machine-id", "0123456789abcdef0123456789abcdef\n");
    home.setEnv("BRENVIK_MACHINE_ID_FILE", (home.root() / "machine-id").string());
    platform::OsReleaseKey key;
    const auto value = key.value("ProductID");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->text, "b41dd8a500894995a8d613908d8b6a61");
}

} // namespace
} // namespace brenvik
