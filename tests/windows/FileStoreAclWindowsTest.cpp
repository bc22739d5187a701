// Saving over a file on Windows keeps who may use it. A replace by a new file would otherwise
// give the file its folder's inherited access list: a colleague granted access to one parameter
// file would lose it at the next save, and a file closed to everyone but its owner would open up.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "base/FileStore.h"

using namespace orbiqa;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kGuestRights = FILE_GENERIC_READ;

struct LocalFreer {
    void operator()(void* p) const { LocalFree(p); }
};
using LocalDescriptor = std::unique_ptr<void, LocalFreer>;

/// The security of a file as the system reports it now.
struct Security {
    LocalDescriptor descriptor;
    PACL dacl = nullptr;
    bool read = false;

    bool Protected() const {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        return GetSecurityDescriptorControl(descriptor.get(), &control, &revision) &&
               (control & SE_DACL_PROTECTED);
    }
};

Security SecurityOf(const fs::path& path) {
    Security s;
    PSECURITY_DESCRIPTOR sd = nullptr;
    s.read = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &s.dacl, nullptr, &sd) == ERROR_SUCCESS;
    s.descriptor.reset(sd);
    return s;
}

class GuestsSid {
public:
    GuestsSid() {
        DWORD size = sizeof sid_;
        CreateWellKnownSid(WinBuiltinGuestsSid, nullptr, sid_.data(), &size);
    }
    PSID Get() { return sid_.data(); }

private:
    std::array<BYTE, SECURITY_MAX_SID_SIZE> sid_{};
};

/// The allowed ACEs of the DACL, counted: those for sid set explicitly, and those inherited.
struct AceCount {
    int explicitForSid = 0;
    int inherited = 0;
};

AceCount CountAces(PACL dacl, PSID sid, DWORD rights) {
    AceCount n;
    if (!dacl) return n;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(dacl, i, &raw)) continue;
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if (ace->Header.AceFlags & INHERITED_ACE) {
            ++n.inherited;
        } else if (EqualSid(const_cast<DWORD*>(&ace->SidStart), sid) &&
                   (ace->Mask & rights) == rights) {
            ++n.explicitForSid;
        }
    }
    return n;
}

class WindowsSaveAccess : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("orbiqa-acl-" + std::to_string(GetCurrentProcessId()) + "-" + test->name());
        fs::create_directories(dir);
        path = dir / "access.VR3";
        SaveFile(path.string(), "old");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Content() {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t FilesInDir() {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    int GuestAces() {
        return CountAces(SecurityOf(path).dacl, guests.Get(), kGuestRights).explicitForSid;
    }

    /// Adds an explicit ACE for Guests to the file's DACL, keeping the rest: inherited ACEs
    /// stay inherited unless `protect` cuts the file off from its folder (they are then copied
    /// in as explicit ones, as Explorer does). Sets listsKept.
    void GrantGuests(bool protect) {
        const Security before = SecurityOf(path);
        ASSERT_TRUE(before.read);
        EXPLICIT_ACCESS_W access{};
        access.grfAccessPermissions = kGuestRights;
        access.grfAccessMode = GRANT_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = static_cast<LPWSTR>(guests.Get());
        PACL granted = nullptr;
        ASSERT_EQ(SetEntriesInAclW(1, &access, before.dacl, &granted), ERROR_SUCCESS);
        const LocalDescriptor owned(granted);
        if (protect) {
            // The inherited ACEs become explicit: drop their inherited mark.
            for (DWORD i = 0; i < granted->AceCount; ++i) {
                void* raw = nullptr;
                if (GetAce(granted, i, &raw))
                    static_cast<ACE_HEADER*>(raw)->AceFlags &= static_cast<BYTE>(~INHERITED_ACE);
            }
        }
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION |
            (protect ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        ASSERT_EQ(SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT, what,
                                        nullptr, nullptr, granted, nullptr),
                  ERROR_SUCCESS);
        listsKept = GuestAces() == 1;
    }

    /// The file's identity on its volume: a replace makes a new one, a write in place keeps it.
    std::uint64_t FileId() {
        const HANDLE h =
            CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        BY_HANDLE_FILE_INFORMATION info{};
        GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    }

    fs::path dir;
    fs::path path;
    GuestsSid guests;
    bool listsKept = false;
};

// Wine 8.0 takes a file's list, maps what it can onto the Unix mode bits and keeps nothing
// else: the list read back is made from the mode. Only Windows itself can show a list kept.
constexpr const char* kNoLists =
    "this system keeps no access control list on files (Wine maps a list onto the Unix mode "
    "bits and stores nothing more)";

}  // namespace

TEST_F(WindowsSaveAccess, ANamedGroupKeepsItsAccessAndTheFolderStaysTheSource) {
    ASSERT_NO_FATAL_FAILURE(GrantGuests(false));
    if (!listsKept) GTEST_SKIP() << kNoLists;
    const int inherited = CountAces(SecurityOf(path).dacl, guests.Get(), kGuestRights).inherited;
    SaveFile(path.string(), "new");
    EXPECT_EQ(Content(), "new");
    EXPECT_EQ(FilesInDir(), 1u);
    const Security after = SecurityOf(path);
    EXPECT_FALSE(after.Protected());
    const AceCount n = CountAces(after.dacl, guests.Get(), kGuestRights);
    EXPECT_EQ(n.explicitForSid, 1);
    EXPECT_EQ(n.inherited, inherited);  // from the folder once, not doubled by the copy

    SaveFile(path.string(), "newer");  // and again: nothing accumulates
    EXPECT_EQ(Content(), "newer");
    EXPECT_EQ(CountAces(SecurityOf(path).dacl, guests.Get(), kGuestRights).explicitForSid, 1);
}

TEST_F(WindowsSaveAccess, AFileCutOffFromItsFolderStaysCutOff) {
    ASSERT_NO_FATAL_FAILURE(GrantGuests(true));
    if (!listsKept) GTEST_SKIP() << kNoLists;
    SaveFile(path.string(), "new");
    EXPECT_EQ(Content(), "new");
    EXPECT_EQ(FilesInDir(), 1u);
    const Security after = SecurityOf(path);
    EXPECT_TRUE(after.Protected());
    const AceCount n = CountAces(after.dacl, guests.Get(), kGuestRights);
    EXPECT_EQ(n.explicitForSid, 1);
    EXPECT_EQ(n.inherited, 0);  // the folder's list must not come back
}

TEST_F(WindowsSaveAccess, TheListIsCarriedOverNotKeptByWritingIntoTheFile) {
    // Writing into the file would keep its list too, but a full disk would then cost the old
    // data: the list must travel with a new file.
    ASSERT_NO_FATAL_FAILURE(GrantGuests(false));
    const std::uint64_t before = FileId();
    SaveFile(path.string(), "new");
    EXPECT_NE(FileId(), before);
    EXPECT_EQ(Content(), "new");
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(WindowsSaveAccess, AFileHeldOpenLosesNeitherItsDataNorItsList) {
    // Runs where lists are not kept too: what a held file does to the save does not depend on it.
    ASSERT_NO_FATAL_FAILURE(GrantGuests(false));
    const int guestAces = GuestAces();
    // A reader that lets others read and write but not delete or rename, as most programs
    // open a file: the save must fail and say so, and nothing may stay behind.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string error;
    try {
        SaveFile(path.string(), "new");
    } catch (const EFileError& e) {
        error = e.what();
    }
    CloseHandle(held);
    EXPECT_EQ(error, "File access denied");
    EXPECT_EQ(Content(), "old");
    EXPECT_EQ(FilesInDir(), 1u);
    EXPECT_EQ(GuestAces(), guestAces);

    // One that shares deleting too: a file open elsewhere is still not replaced (only the
    // POSIX rename, which the save does not ask for, would), under Windows as under Wine.
    held = CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    error.clear();
    try {
        SaveFile(path.string(), "new");
    } catch (const EFileError& e) {
        error = e.what();
    }
    CloseHandle(held);
    EXPECT_EQ(error, "File access denied");
    EXPECT_EQ(Content(), "old");
    EXPECT_EQ(FilesInDir(), 1u);
    EXPECT_EQ(GuestAces(), guestAces);
}
