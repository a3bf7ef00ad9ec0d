// Import patching on hookee.dll, a module that calls the registry and the
// SCM through its own import table, as the applet does inside the test.
#include "HarnessFiles.h"
#include "Handles.h"
#include "ImportFaults.h"
#include "ImportHook.h"
#include "RegValue.h"
#include "Scm.h"
#include "TestKeys.h"

#include <gtest/gtest.h>

using namespace harness;

namespace {

using SetValueFunction = LONG (*)(HKEY, const char*, DWORD);
using CreateKeyFunction = LONG (*)(const char*);
using CreateServiceFunction = DWORD (*)(const char*, const char*);

constexpr const char* kService = "QB480TestHookee";

LONG WINAPI RefuseRegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return ERROR_ACCESS_DENIED;
}

bool ValueExists(HKEY key, const char* name)
{
    return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

class ImportHook : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetBaseline());
        m_hookee.reset(LoadLibraryA(HarnessBinary("hookee.dll").c_str()));
        ASSERT_TRUE(m_hookee) << GetLastError();
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_key.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        m_key.reset();
        ResetBaseline();
    }

    template <typename Function>
    Function Export(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_hookee.get(), name)));
    }

    UniqueModule m_hookee;
    fw::UniqueHkey m_key;
};

}  // namespace

TEST_F(ImportHook, PatchedCallFailsInThatModuleOnlyUntilRestored)
{
    const auto setValue = Export<SetValueFunction>("HookeeSetValue");
    ASSERT_TRUE(setValue);
    const void* real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegSetValueExA"));
    {
        CImportHook hook(m_hookee.get(), "ADVAPI32.dll", "RegSetValueExA", reinterpret_cast<void*>(RefuseRegSetValueExA));
        ASSERT_TRUE(hook);
        EXPECT_EQ(hook.original(), real);
        EXPECT_EQ(setValue(m_key.get(), "Hooked", 1), ERROR_ACCESS_DENIED);
        EXPECT_FALSE(ValueExists(m_key.get(), "Hooked"));
        const DWORD own = 2;
        EXPECT_EQ(RegSetValueExA(m_key.get(), "Own", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&own), sizeof own),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(setValue(m_key.get(), "Restored", 3), ERROR_SUCCESS);
    EXPECT_TRUE(ValueExists(m_key.get(), "Restored"));
}

TEST_F(ImportHook, DllNameMatchesInAnyCaseAndUnknownImportsAreNotPatched)
{
    const auto fake = reinterpret_cast<void*>(RefuseRegSetValueExA);
    CImportHook anyCase(m_hookee.get(), "advapi32.DLL", "RegSetValueExA", fake);
    EXPECT_TRUE(anyCase);
    EXPECT_EQ(PatchImport(m_hookee.get(), "kernel32.dll", "RegSetValueExA", fake), nullptr);
    EXPECT_EQ(PatchImport(m_hookee.get(), nullptr, "NoSuchFunction", fake), nullptr);
    // Any DLL: finds the slot, which already holds the fake.
    EXPECT_EQ(PatchImport(m_hookee.get(), nullptr, "RegSetValueExA", fake), fake);
}

TEST_F(ImportHook, MovedHookRestoresOnceFromItsNewOwner)
{
    const auto setValue = Export<SetValueFunction>("HookeeSetValue");
    CImportHook moved;
    {
        CImportHook hook(m_hookee.get(), nullptr, "RegSetValueExA", reinterpret_cast<void*>(RefuseRegSetValueExA));
        moved = std::move(hook);
        EXPECT_FALSE(hook);
    }
    EXPECT_EQ(setValue(m_key.get(), "WhileMoved", 1), ERROR_ACCESS_DENIED);
    moved.reset();
    EXPECT_EQ(setValue(m_key.get(), "AfterReset", 1), ERROR_SUCCESS);
}

TEST_F(ImportHook, ReadyMadeFaultsFailWithTheChosenErrorAndChangeNothing)
{
    const auto createService = Export<CreateServiceFunction>("HookeeCreateService");
    const auto createKey = Export<CreateKeyFunction>("HookeeCreateKey");
    const std::string createdKey = std::string(kTestKey) + "\\Created";
    {
        CImportFaults faults(m_hookee.get());
        EXPECT_TRUE(faults.Inject("CreateServiceA", ERROR_SERVICE_MARKED_FOR_DELETE));
        EXPECT_TRUE(faults.Inject("RegCreateKeyExA", ERROR_ACCESS_DENIED));
        EXPECT_FALSE(faults.Inject("StartServiceA", 5)) << "hookee.dll does not import it";
        EXPECT_FALSE(faults.Inject("ControlService", 5)) << "not a ready-made fault";
        EXPECT_EQ(faults.Injected(), (std::vector<std::string>{"CreateServiceA", "RegCreateKeyExA"}));
        EXPECT_EQ(createService(kService, "C:\\windows\\system32\\drivers\\qb480testhookee.sys"),
                  DWORD{ERROR_SERVICE_MARKED_FOR_DELETE});
        EXPECT_FALSE(IsServiceListed(kService));
        EXPECT_EQ(createKey(createdKey.c_str()), ERROR_ACCESS_DENIED);
        EXPECT_FALSE(KeyExists(createdKey.c_str()));
    }
    EXPECT_EQ(createService(kService, "C:\\windows\\system32\\drivers\\qb480testhookee.sys"), DWORD{0});
    EXPECT_TRUE(IsServiceListed(kService));
    EXPECT_EQ(createKey(createdKey.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(createdKey.c_str()));
}

TEST_F(ImportHook, AccessSelectiveFaultFailsOnlyThatAccess)
{
    const auto createKey = Export<CreateKeyFunction>("HookeeCreateKey");
    const std::string createdKey = std::string(kTestKey) + "\\Selective";
    CImportFaults faults(m_hookee.get());
    EXPECT_FALSE(faults.InjectForAccess("CreateServiceA", KEY_READ, 5)) << "no access to tell apart";
    ASSERT_TRUE(faults.InjectForAccess("RegCreateKeyExA", KEY_READ, ERROR_ACCESS_DENIED));
    // hookee.dll asks KEY_ALL_ACCESS.
    EXPECT_EQ(createKey(createdKey.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(createdKey));
    ASSERT_TRUE(faults.InjectForAccess("RegCreateKeyExA", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED));
    EXPECT_EQ(createKey((createdKey + "\\Below").c_str()), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(KeyExists(createdKey + "\\Below"));
}
