#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::platform {
namespace {

using ProbeAnswer = int (*)(int);

const std::string kProbe = test::testLibPath("kzprobe.so");

void copyProbe(const std::string& to) {
    std::filesystem::copy_file(kProbe, to);
}

int answerOf(const DynamicLibrary& lib) {
    auto answer = lib.entry<ProbeAnswer>("KZ_ProbeAnswer");
    return answer ? answer(1) : -1;
}

TEST(DynamicLibrary, WindowsNamesResolveWithoutRegardToCase) {
    test::TempDir dir;
    copyProbe(dir.file("exact.DLL"));
    copyProbe(dir.file("exact.so"));
    copyProbe(dir.file("Other.dll"));
    copyProbe(dir.file("other.so"));
    copyProbe(dir.file("plain.so"));
    std::filesystem::create_directory(dir.file("folder.so"));
    std::filesystem::create_directory(dir.file("Application"));
    copyProbe(dir.file("Application/KzProbe.So"));
    for (const test::CaseLine& c : test::ReadCaseFile("platform/library_names.txt")) {
        const std::string want = c.fields[1] == "-" ? std::string() : dir.file(c.fields[1]);
        EXPECT_EQ(resolveLibraryPath(dir.path() + test::Unescape(c.fields[0])), want)
            << "line " << c.number;
    }
    auto lib = DynamicLibrary::load(dir.path() + "\\Application\\KZPROBE.DLL");
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->path(), dir.file("Application/KzProbe.So"));
    EXPECT_EQ(answerOf(*lib), 42);
}

TEST(DynamicLibrary, FailuresAreReportedWithAReason) {
    test::TempDir dir;
    std::string why;
    EXPECT_FALSE(DynamicLibrary::load(dir.file("KZNONE.DLL"), &why));
    EXPECT_NE(why.find("KZNONE.DLL"), std::string::npos);

    test::writeFile(dir.file("broken.so"), "not a library");
    EXPECT_FALSE(DynamicLibrary::load(dir.file("BROKEN.DLL"), &why));
    EXPECT_NE(why.find("broken.so"), std::string::npos);

    auto lib = DynamicLibrary::load(kProbe);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->symbol("KZ_NoSuchEntry"), nullptr);
}

}  // namespace
}  // namespace kz::platform
