// Windows' COM port database as the set-up reaches it: the stand-in that
// the tests put in Wine's place keeps the documented rules, a system without
// a usable database is told apart without a call, and the board's numbers
// are claimed, shown and given back by the steps both programs share.
#include <gtest/gtest.h>

#include "ComDatabaseStandIn.h"
#include "Handles.h"
#include "RegValue.h"
#include "Scm.h"
#include "SimulatedBoard.h"
#include "board/BoardState.h"
#include "board/ComClaims.h"
#include "board/RemoveDriver.h"
#include "windows/ComDatabase.h"

using namespace harness;

namespace {

constexpr char kParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
constexpr ULONG kBits = 0, kBytes = 1;

// The five functions of the msports.dll in the system folder, called raw.
struct Msports {
    Msports()
    {
        char folder[MAX_PATH] = "";
        GetSystemDirectoryA(folder, MAX_PATH);
        module.reset(LoadLibraryA((std::string(folder) + "\\msports.dll").c_str()));
        open = Export<decltype(open)>("ComDBOpen");
        close = Export<decltype(close)>("ComDBClose");
        usage = Export<decltype(usage)>("ComDBGetCurrentPortUsage");
        claim = Export<decltype(claim)>("ComDBClaimPort");
        release = Export<decltype(release)>("ComDBReleasePort");
        resize = Export<decltype(resize)>("ComDBResizeDatabase");
    }
    template <typename F>
    F Export(const char* name)
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)));
    }
    LONG Claim(HANDLE db, DWORD number) { return claim(db, number, FALSE, nullptr); }

    UniqueModule module;
    LONG(WINAPI* open)(HANDLE*) = nullptr;
    LONG(WINAPI* close)(HANDLE) = nullptr;
    LONG(WINAPI* usage)(HANDLE, BYTE*, DWORD, ULONG, DWORD*) = nullptr;
    LONG(WINAPI* claim)(HANDLE, DWORD, BOOL, BOOL*) = nullptr;
    LONG(WINAPI* release)(HANDLE, DWORD) = nullptr;
    LONG(WINAPI* resize)(HANDLE, DWORD) = nullptr;
};

class ComDatabase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ResetBaseline()); }
    void TearDown() override { ResetBaseline(); }
};

std::vector<qb480::ComNumberState> States()
{
    std::vector<qb480::ComNumberState> states;
    for (const auto& view : qb480::ReadComNumberStates(qb480::ReadBoardState()))
        states.push_back(view.state);
    return states;
}

}  // namespace

TEST_F(ComDatabase, TheStandInKeepsTheDocumentedRules)
{
    CComDatabaseSwap swap(ComDatabaseKind::StandIn);
    Msports db;
    HANDLE h = nullptr;
    ASSERT_TRUE(db.open && db.close && db.usage && db.claim && db.release && db.resize);
    ASSERT_EQ(db.open(&h), ERROR_SUCCESS);
    EXPECT_EQ(db.Claim(h, 5), ERROR_SUCCESS);
    EXPECT_EQ(db.Claim(h, 5), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(db.Claim(h, 4097), ERROR_INVALID_PARAMETER);   // above COMDB_MAX_PORTS_ARBITRATED
    EXPECT_EQ(db.release(h, 300), ERROR_INVALID_PARAMETER);  // beyond the database's 256
    EXPECT_EQ(db.Claim(h, 300), ERROR_INVALID_PARAMETER);    // not documented: refused until it grows
    // ComDBResizeDatabase's page: a multiple of 1024, above the size, at most 4096.
    EXPECT_EQ(std::vector<LONG>({db.resize(h, 1000), db.resize(h, 5120), db.resize(h, 1024), db.resize(h, 1024)}),
              std::vector<LONG>({ERROR_INVALID_PARAMETER, ERROR_BAD_LENGTH, ERROR_SUCCESS, ERROR_BAD_LENGTH}));
    EXPECT_EQ(db.Claim(h, 300), ERROR_SUCCESS);
    EXPECT_EQ(db.release(h, 300), ERROR_SUCCESS);

    // The page's Remarks: the bit form reports its count, the byte form
    // "does not set *MaxPortsReported", and a zero-sized bit buffer reports 0.
    BYTE bits[2] = {0xEE, 0xEE};
    std::vector<BYTE> bytes(300, 0xEE);
    DWORD inBits = 0xDEADBEEF, inBytes = 0xDEADBEEF, inNoBits = 0xDEADBEEF, size = 0;
    EXPECT_EQ(db.usage(h, bits, 1, kBits, &inBits), ERROR_SUCCESS);
    EXPECT_EQ(db.usage(h, bytes.data(), 290, kBytes, &inBytes), ERROR_SUCCESS);
    EXPECT_EQ(db.usage(h, bits, 0, kBits, &inNoBits), ERROR_SUCCESS);
    EXPECT_EQ(db.usage(h, nullptr, 0, kBits, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<DWORD>({inBits, bits[0], bits[1], inBytes, bytes[3], bytes[4], bytes[289], bytes[290], inNoBits, size}),
              std::vector<DWORD>({8, 0x10, 0xEE, 0xDEADBEEF, 0, 1, 0, 0xEE, 0, 1024}));
    EXPECT_EQ(db.usage(h, nullptr, 0, kBits, nullptr), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(db.release(h, 5), ERROR_SUCCESS);
    EXPECT_EQ(ComNumbersInUse(), std::set<DWORD>{});
    EXPECT_EQ(db.close(h), ERROR_SUCCESS);
    EXPECT_EQ(db.Claim(h, 6), ERROR_INVALID_PARAMETER);
}

TEST_F(ComDatabase, WinesOwnAMissingDllAndARefusedOpenAreNoDatabase)
{
    // Wine's own would end this process at the first call.
    EXPECT_FALSE(qb480::CComDatabase().IsOpen());
    {
        CComDatabaseSwap missing(ComDatabaseKind::Missing);
        EXPECT_FALSE(qb480::CComDatabase().IsOpen());
    }
    CComDatabaseSwap standIn(ComDatabaseKind::StandIn);
    ASSERT_TRUE(WriteValue(kComDatabaseKey, "OpenRefused", Dword(1)));
    EXPECT_FALSE(qb480::CComDatabase().IsOpen());
    ASSERT_TRUE(DeleteValue(kComDatabaseKey, "OpenRefused"));
    ASSERT_TRUE(ClaimForOtherDevice({5}));
    const qb480::CComDatabase db;
    const auto usage = db.Usage();
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->size(), 256u);
    EXPECT_TRUE((*usage)[4]);
    EXPECT_FALSE((*usage)[3]);
}

TEST_F(ComDatabase, TheBoardsNumbersAreClaimedShownAndGivenBackByTheRemoval)
{
    CComDatabaseSwap swap(ComDatabaseKind::StandIn);
    ASSERT_TRUE(RegisterBoardDriver(SERVICE_DEMAND_START));
    ASSERT_TRUE(WriteValue(kParamKey, "TotalNumberOfPorts", Dword(3)));
    ASSERT_TRUE(WriteValue(kParamKey, "PortsStartingAt", Dword(4)));
    ASSERT_TRUE(ClaimForOtherDevice({1, 5}));
    const std::string device = EnterSerialComm("COM5", "COM5");
    using State = qb480::ComNumberState;
    EXPECT_EQ(States(), (std::vector<State>{State::Free, State::Other, State::Free}));
    EXPECT_EQ(qb480::ReadComNumberStates(qb480::ReadBoardState())[1].device, device);

    // Ports numbered from 1030 next: the database grows to hold them.
    ASSERT_TRUE(WriteValue(kParamKey, "FirstPort", Dword(1030)));
    const qb480::ClaimOutcome outcome = qb480::UpdateComClaims();
    EXPECT_TRUE(outcome.checked);
    EXPECT_EQ(outcome.claimed, (qb480::ComNumbers{4, 6, 1030, 1031, 1032}));
    EXPECT_EQ(outcome.heldByOthers, qb480::ComNumbers{5});
    EXPECT_EQ(States(), (std::vector<State>{State::Claimed, State::Other, State::Claimed}));
    ASSERT_TRUE(WriteValue(kParamKey, "PortNamePrefix", Sz("TTY")));
    EXPECT_EQ(States(), std::vector<State>(3, State::Unchecked));

    // COM6 claimed for the stopped board, yet another device uses it now:
    // it is that device's, and the removal leaves it claimed.
    EnterSerialComm("COM6", "COM6");
    EXPECT_EQ(qb480::RemoveBoardDriver(), qb480::RemovalOutcome::Removed);
    EXPECT_EQ(ComNumbersInUse(), (std::set<DWORD>{1, 5, 6}));
    EXPECT_TRUE(WaitUntilUnlisted("VDXQB480"));
    EXPECT_FALSE(KeyExists(kParamKey));  // the record went with the service, and was not made again
}
