#include "skin/package/skin_package.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/skin/zip_entries.h"
#include "tests/support/case_printing.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

struct Unpacked {
    std::unique_ptr<unsigned char[]> archive;
    std::size_t length = 0;
    std::string printed;
};

Unpacked Unpack(const Bytes& package) {
    Unpacked result;
    result.length = 12345;
    ::testing::internal::CaptureStdout();
    result.archive = UnpackSkinPackage(package.data(), package.size(), result.length);
    result.printed = ::testing::internal::GetCapturedStdout();
    return result;
}

int RunPacker(const std::vector<std::string>& arguments) {
    std::string command = "'" SKINPACKER "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    return std::system((command + " 2>/dev/null").c_str());
}

class SkinPacker : public ::testing::Test {
protected:
    void AddSkinFile(const std::string& name, const std::string& contents) {
        fs::create_directories((m_skin / name).parent_path());
        WriteBytes((m_skin / name).string(), contents);
        m_files[name] = contents;
    }
    std::vector<std::string> PackerArguments() const {
        std::vector<std::string> arguments = {m_package, m_source, m_skin.string()};
        for (const auto& file : m_files) arguments.push_back(file.first);
        return arguments;
    }

    ScratchDir m_dir;
    fs::path m_skin = m_dir.path() / "skin";
    std::string m_package = m_dir.file("skin.packed");
    std::string m_source = m_dir.file("skin_resource_data.cpp");
    std::map<std::string, std::string> m_files;
};

TEST_F(SkinPacker, RoundTripGivesBackEveryFile) {
    AddSkinFile("style.xml", "<Styles/>");
    AddSkinFile("DlgLogin.xml", "<Window text=\"\xE7\x99\xBB\xE5\xBD\x95\"/>");
    AddSkinFile("images/logo.png", std::string("\x89PNG\r\n\x1A\n\0\0\xFF", 11));
    AddSkinFile("empty.txt", "");
    ASSERT_EQ(RunPacker(PackerArguments()), 0);

    const std::string packed = ReadBytes(m_package);
    const Bytes package(packed.begin(), packed.end());
    ASSERT_GT(package.size(), kSkinPackageHeaderSize);
    EXPECT_EQ(Bytes(package.begin(), package.begin() + 4), (Bytes{0x20, 0x11, 0x27, 0x05}));
    EXPECT_EQ(Bytes(package.begin() + 16, package.begin() + 20), (Bytes{0, 0, 0, 1}));
    EXPECT_NE(packed.substr(kSkinPackageHeaderSize, 4), "PK\x03\x04") << "payload stored as is";

    const Unpacked unpacked = Unpack(package);
    ASSERT_NE(unpacked.archive, nullptr) << unpacked.printed;
    EXPECT_EQ(unpacked.printed, "");
    EXPECT_EQ(unpacked.length, package.size() - kSkinPackageHeaderSize);
    EXPECT_EQ(ZipEntries(unpacked.archive.get(), unpacked.length), m_files);
    EXPECT_NE(ReadBytes(m_source).find("\"skin.packed\", \"SKIN\""), std::string::npos);
}

struct DamageCase : testcases::NamedCase {
    std::function<void(Bytes&)> damage;
    std::string message;
};

class DamagedPackage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedPackage, IsRefusedWithItsMessage) {
    Bytes package = PackSkinPackage(Bytes{'P', 'K', 3, 4, 'a', 'r', 'c', 'h', 'i', 'v', 'e'});
    GetParam().damage(package);
    const Unpacked unpacked = Unpack(package);
    EXPECT_EQ(unpacked.archive, nullptr);
    EXPECT_EQ(unpacked.length, 0u);
    EXPECT_EQ(unpacked.printed, GetParam().message);
}

void FlipByte(Bytes& bytes, std::size_t at) {
    bytes.at(at) ^= 0x01;
}

INSTANTIATE_TEST_SUITE_P(
    Packages, DamagedPackage,
    ::testing::Values(
        DamageCase{"HeaderOnly", [](Bytes& p) { p.resize(kSkinPackageHeaderSize); },
                   "file too small!\n"},
        DamageCase{"WrongMagic", [](Bytes& p) { FlipByte(p, 3); }, "Bad Magic Number!\n"},
        DamageCase{"ReservedChanged", [](Bytes& p) { FlipByte(p, 19); }, "Bad header crc!\n"},
        DamageCase{"LengthFieldChanged", [](Bytes& p) { FlipByte(p, 15); }, "Bad header crc!\n"},
        DamageCase{"ByteAppended", [](Bytes& p) { p.push_back(0); }, "Bad header crc!\n"},
        DamageCase{"PayloadByteFlipped", [](Bytes& p) { FlipByte(p, p.size() - 3); },
                   "Bad data crc!"}),
    testcases::kCaseName);

}  // namespace
